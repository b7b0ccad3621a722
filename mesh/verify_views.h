// What verification reads of a tree, for the two trees it runs on: the chunk
// objects of the editor (chunkview) and the flat index of mshtool
// (flatview). The rules (mesh/verify.cpp) are written once against this:
//   node, none             a chunk, and no chunk
//   kids(n) / next(cur)    the children of n in order (next gives none at the end)
//   last(n), haskids(n)    the last child (none when there is none), whether there is one
//   name, size, parentname the header, and the name of the parent ("" for none)
//   root(n)                the root of the tree n stands in
//   readint, readbyte, readbytes, isstring, datatostring, determinesize
//                          the data, with the values out of range chunk.h gives
// Only verification includes this.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "format/bytes.h"
#include "format/records.h"
#include "mesh/chunk.h"
#include "mesh/flatindex.h"

namespace mesh {

class chunkview {
public:
    using node = const chunk*;
    static constexpr node none = nullptr;
    struct cursor {
        node p;
        size_t i;
    };
    cursor kids(node n) const { return {n, 0}; }
    node next(cursor& c) const {
        while (c.i < c.p->kids.size())
            if (node k = c.p->kids[c.i++].get()) return k;
        return none;
    }
    node last(node n) const { return n->kids.empty() ? none : n->kids.back().get(); }
    bool haskids(node n) const { return !n->kids.empty(); }
    std::string_view name(node n) const { return n->name; }
    int32_t size(node n) const { return n->size; }
    std::string parentname(node n) const {
        chunkptr p = n->getparent();
        return p ? p->name : std::string();
    }
    // The root through the parents; kept alive while the view lives.
    node root(node n) {
        for (chunkptr p = n->getparent(); p; p = p->getparent()) {
            n = p.get();
            keep_ = p;
        }
        return n;
    }
    int32_t readint(node n, int64_t p) const { return n->readint(p); }
    int readbyte(node n, int64_t p) const { return n->readbyte(p); }
    int64_t readbytes(node n, int64_t p, int64_t count, uint8_t* out) const { return n->readbytes(p, count, out); }
    bool isstring(node n) const { return n->isstring() != 0; }
    std::string datatostring(node n) const { return n->datatostring(); }
    int32_t determinesize(node n) const { return n->determinesize(); }

private:
    chunkptr keep_;
};

class flatview {
public:
    using node = uint32_t;
    static constexpr node none = flatindex::none;
    struct cursor {
        node k;
    };
    explicit flatview(const flatindex& x) : x_(x) {}
    cursor kids(node n) const { return {x_[n].first}; }
    node next(cursor& c) const {
        const node k = c.k;
        if (k != none) c.k = x_[k].next;
        return k;
    }
    node last(node n) const { return x_[n].last; }
    bool haskids(node n) const { return x_.container(n); }
    std::string_view name(node n) const { return x_.name(n); }
    int32_t size(node n) const { return x_[n].size; }
    std::string parentname(node n) const { return x_[n].parent == none ? std::string() : std::string(name(x_[n].parent)); }
    node root(node) const { return x_.root(); }
    int32_t readint(node n, int64_t p) const {
        uint8_t v[4];
        if (p < 0 || p + 4 > x_.datalen(n)) return -1;
        x_.readbytes(n, p, 4, v);
        return format::LoadI32(v);
    }
    int readbyte(node n, int64_t p) const {
        uint8_t v;
        if (p < 0 || p >= x_.datalen(n)) return -1;
        x_.readbytes(n, p, 1, &v);
        return v;
    }
    int64_t readbytes(node n, int64_t p, int64_t count, uint8_t* out) const { return x_.readbytes(n, p, count, out); }
    bool isstring(node n) const { return size(n) > 0 && size(n) % 4 == 0 && readbyte(n, size(n) - 1) == 0; }
    std::string datatostring(node n) const {
        std::string d(size_t(std::min<int64_t>(x_.datalen(n), std::max<int32_t>(0, size(n)))), '\0');
        d.resize(size_t(readbytes(n, 0, int64_t(d.size()), reinterpret_cast<uint8_t*>(d.data()))));
        const size_t zero = d.find('\0');
        return zero == std::string::npos ? std::string() : d.substr(0, zero);
    }
    int32_t determinesize(node n) const {
        if (size(n) == 0) return 0;
        const uint32_t w = uint32_t(format::ListWidth(name(n)));
        return int32_t(w * uint32_t(readint(n, 0)) + 4u);
    }

private:
    const flatindex& x_;
};

}  // namespace mesh
