// How bytes become chunks: the reading of one header and the order in which
// a container's children are read. The chunk tree (mesh/chunk_io.cpp) and the
// flat index (mesh/flatindex.h) both parse through these, so the two always
// see the same chunks.
//
// A source is anything with read(pos, count, out) that copies bytes at
// positions pos .. pos+count-1, all inside it. A builder turns headers into
// the nodes of its own kind:
//   handle make(const header& h, const handle& parent, int64_t datapos)
//     a node for h under parent (a null handle for a root); its data stands
//     at datapos .. datapos+h.size-1 of the source;
//   void adopt(const handle& parent, const handle& kid)
//     appends kid to parent's children.
// Nothing here recurses: a million nested chunks parse with one stack.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "format/bytes.h"
#include "format/records.h"
#include "mesh/chunk.h"

namespace mesh {

// One chunk's header as parsing takes it.
struct header {
    std::string name;        // the four bytes read, "NULL" where they do not fit
    int32_t size = 0;        // cut to what remains of the window, never negative
    bool cut = false;        // size is not the one stored (cut, or negative)
    bool container = false;  // its data is parsed into children next
};

// The header at position offset of the window [base, base+n) of src.
template <class Src>
header ReadHeader(const Src& src, int64_t base, int64_t n, int64_t offset, const namelist& list) {
    auto name = [&](int64_t p) {
        if (p < 0 || p + 4 > n) return std::string("NULL");
        char b[4];
        src.read(base + p, 4, reinterpret_cast<uint8_t*>(b));
        return std::string(b, 4);
    };
    header h;
    h.name = name(offset);
    int64_t raw = -1;
    if (offset + 8 <= n) {
        uint8_t b[4];
        src.read(base + offset + 4, 4, b);
        raw = format::LoadI32(b);
    }
    // A chunk that claims more bytes than remain keeps only what remains. A
    // negative size (from the file, or because fewer than 8 bytes remained
    // for the header) becomes an empty leaf: it stays in the tree under the
    // name read ("NULL" when the name did not fit) so the damage shows, is
    // stepped over by 8 bytes like any empty chunk, and is written back as
    // an 8-byte header with size 0.
    int64_t size = std::min(raw, n - offset - 8);
    if (size < 0) size = 0;
    h.cut = size != raw;
    h.size = static_cast<int32_t>(size);
    h.container = size >= 8 && !format::IsRecordName(h.name) && NameInList(name(offset + 8), list);
    return h;
}

// Parses the chunk whose header starts at position offset of the window
// [base, base+n) of src, and its children, under parent. A container's
// children follow one another from its data position 0 until the position
// reaches its size - 1 (so a single stray byte at the end belongs to no
// child); the first child is always parsed. Each size is cut to what remains
// of the window it stands in (its parent's data for a child). *size (when
// given) gets the size the chunk was given.
template <class Src, class Build>
typename Build::handle ParseChunk(const Src& src, Build& b, int64_t base, int64_t n, int64_t offset,
                                  const namelist& list, const typename Build::handle& parent,
                                  int32_t* size = nullptr) {
    using handle = typename Build::handle;
    const header h = ReadHeader(src, base, n, offset, list);
    if (size) *size = h.size;
    handle root = b.make(h, parent, base + offset + 8);
    if (!h.container) return root;
    struct Frame {
        handle node;
        int64_t i;     // where the next child's header starts in the window
        int64_t base;  // the window: this chunk's data
        int64_t size;
    };
    std::vector<Frame> stack{{root, 0, base + offset + 8, h.size}};
    while (!stack.empty()) {
        Frame& f = stack.back();
        if (f.i > 0 && f.i >= f.size - 1) {
            stack.pop_back();
            continue;
        }
        const int64_t at = f.i, window = f.base;
        const header kh = ReadHeader(src, window, f.size, at, list);
        handle k = b.make(kh, f.node, window + at + 8);
        f.i += int64_t(kh.size) + 8;
        b.adopt(f.node, k);
        if (kh.container) stack.push_back({k, 0, window + at + 8, kh.size});
    }
    return root;
}

// Children of parent from the window [base, base+n) of src, one after the
// other from position start until the position reaches limit; the first is
// always parsed (the children of a container read again, of a material list
// grouped into its MATD chunks).
template <class Src, class Build>
void ParseRun(const Src& src, Build& b, int64_t base, int64_t n, int64_t start, int64_t limit,
              const namelist& list, const typename Build::handle& parent) {
    int64_t i = start;
    do {
        int32_t size = 0;
        typename Build::handle k = ParseChunk(src, b, base, n, i, list, parent, &size);
        i += int64_t(size) + 8;
        b.adopt(parent, k);
    } while (i < limit);
}

}  // namespace mesh
