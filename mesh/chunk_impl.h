// Shared by the chunk sources (chunk_storage, chunk_io, chunk_query,
// chunk_edit) and nothing else: the header and MATL grouping facts, and chunkimpl, the walks that reach into a chunk's
// private storage.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "format/bytes.h"
#include "mesh/chunk.h"

namespace mesh {

// The 8 header bytes of a chunk as written to a file or into a parent's data.
inline void Header(const chunk& c, uint8_t out[8]) {
    std::string n = FitName(c.name);
    std::memcpy(out, n.data(), 4);
    format::StoreI32(out + 4, c.size);
}

// Whether c is written as a grouped MATL: the MATD count before its children.
inline bool Grouped(const chunk& c, int recognizematl) {
    return recognizematl && c.name == "MATL" && !c.kids.empty();
}

inline int32_t MatdCount(const chunk& c) {
    return c.numkids("MATD");
}

// Where parsing reads chunks from: an array of n bytes (positions 0 .. n-1),
// and how a chunk made from it gets its data.
struct bytesource {
    int64_t n = 0;
    // Set when a chunk's size was not taken as it stands (cut to what
    // remains, or negative).
    bool changed = false;
    // Copies positions pos .. pos+count-1, all inside the array, to out.
    virtual void read(int64_t pos, int64_t count, uint8_t* out) const = 0;
    // Gives c the data at positions pos .. pos+len-1 (none when len is 0); container
    // tells whether its children are parsed from those bytes next.
    virtual void give(chunk& c, int64_t pos, int64_t len, bool container) = 0;

protected:
    ~bytesource() = default;
};

// The parts of parsing and of producing derived data that reach into a
// chunk's private storage (chunk names it its friend).
struct chunkimpl {
    // Parses the chunk whose header starts at position `offset` of the array
    // window [base, base+n) of src, and its children, without recursion.
    // Each chunk's size is cut to what remains of the window it stands in
    // (its parent's data for a child).
    static chunkptr Parse(bytesource& src, int64_t base, int64_t n, int64_t offset, const namelist& list,
                          const chunkptr& parent);
    // The same over (*buf)[arr .. arr+n-1]: the chunks keep slices of buf.
    static chunkptr Parse(const std::shared_ptr<std::vector<uint8_t>>& buf, int64_t arr, int64_t n,
                          int64_t offset, const namelist& list, const chunkptr& parent);
    // Parses children from c's own data array as a container does: one after
    // the other from position `start` until the position reaches `limit`; the
    // first is always parsed.
    static void ParseKids(chunk& c, int64_t start, int64_t limit, const namelist& list);
    // Writes data[a .. b-1] of c into dst (dst[0] is position a); bytes that
    // belong to nothing stay as they are (the caller zeroes them).
    static void Fill(const chunk& c, int64_t a, int64_t b, uint8_t* dst);
    // Hands the parts of data[a .. b-1] of c, in order, to
    // emit(bytes, position, count, leaf): leaf is the chunk whose own data
    // array the bytes stand in, null for bytes made here (headers, a MATD
    // count) that live only until emit returns. Positions that belong to
    // nothing are skipped.
    template <class Emit>
    static void Parts(const chunk& c, int64_t a, int64_t b, Emit&& emit);
    // SetBytes on a container whose data is derived, without producing that
    // data; false (nothing changed) when the fast way does not apply.
    static bool WriteThrough(chunk& c, int64_t p, std::span<const uint8_t> v, const namelist& list);

    // Makes c's data the slice (*buf)[off .. off+len-1].
    static void GiveSlice(chunk& c, const std::shared_ptr<std::vector<uint8_t>>& buf, int64_t off, int64_t len);
    // Makes c a container whose data is derived from its children as they
    // stand (no MATD count).
    static void MakeDerived(chunk& c);
    // The shared buffer c's data stands in (null when it has none).
    static const std::shared_ptr<std::vector<uint8_t>>& Buffer(const chunk& c) { return c.buf_; }
    // The buffer a leaf's data stands in and where (null when it has none
    // or its data is derived).
    static const std::vector<uint8_t>* LeafBytes(const chunk& c, int64_t& off, int64_t& len);

    // Appends kid to parent's children (parsing: kid is new and names parent).
    static void Adopt(chunk& parent, const chunkptr& kid);
};

template <class Emit>
void chunkimpl::Parts(const chunk& c, int64_t a, int64_t b, Emit&& emit) {
    if (a >= b) return;
    // Hands on the bytes src[0 .. len-1], standing at position `at`, where
    // they meet [at, hi) and [a, b).
    auto put = [&](const uint8_t* src, int64_t at, int64_t len, int64_t hi, const chunk* leaf) {
        int64_t from = std::max(at, a);
        int64_t to = std::min({at + len, b, hi});
        if (from < to) emit(src + (from - at), from, to - from, leaf);
    };
    if (!c.derived_) {
        if (c.buf_) put(c.buf_->data() + c.off_, 0, c.len_, c.len_, &c);
        return;
    }
    // A derived container: [MATD count] then each child's header and data,
    // each part cut to the size its owner declares.
    struct Frame {
        const chunk* c;
        int64_t end;   // where this chunk's data ends
        size_t kid;    // next child
        int64_t cur;   // where the next child's header starts
    };
    std::vector<Frame> stack;
    auto enter = [&](const chunk* d, int64_t start, int64_t end) {
        int64_t cur = start;
        if (d->group_) {
            uint8_t cnt[4];
            format::StoreI32(cnt, d->matdcount_);
            put(cnt, start, 4, end, nullptr);
            cur += 4;
        }
        stack.push_back({d, end, 0, cur});
    };
    enter(&c, 0, std::max<int64_t>(0, c.size));
    while (!stack.empty()) {
        Frame& f = stack.back();
        if (f.kid >= f.c->kids.size() || f.cur >= std::min(f.end, b)) {
            stack.pop_back();
            continue;
        }
        const chunk* k = f.c->kids[f.kid++].get();
        int64_t hs = f.cur;
        int64_t ksize = std::max<int64_t>(0, k->size);
        int64_t ds = hs + 8;
        int64_t de = std::min(ds + ksize, f.end);
        f.cur = ds + ksize;
        int64_t end = f.end;
        if (hs + 8 > a && hs < b) {
            uint8_t h[8];
            Header(*k, h);
            put(h, hs, 8, end, nullptr);
        }
        if (ds < de && de > a && ds < b) {
            if (k->derived_) {
                enter(k, ds, de);  // f is no longer valid from here
            } else if (k->buf_) {
                put(k->buf_->data() + k->off_, ds, std::min(k->len_, ksize), de, k);
            }
        }
    }
}

}  // namespace mesh
