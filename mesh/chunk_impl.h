// Shared by the chunk sources (chunk_storage, chunk_io, chunk_query,
// chunk_edit) and nothing else: the little-endian helpers, the header and
// MATL grouping facts, and chunkimpl, the walks that reach into a chunk's
// private storage.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "mesh/chunk.h"

namespace mesh {

inline uint32_t Le32(const uint8_t* b) {
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

inline void PutLe32(uint8_t* b, int32_t v) {
    uint32_t u = static_cast<uint32_t>(v);
    b[0] = uint8_t(u);
    b[1] = uint8_t(u >> 8);
    b[2] = uint8_t(u >> 16);
    b[3] = uint8_t(u >> 24);
}

// The 8 header bytes of a chunk as written to a file or into a parent's data.
inline void Header(const chunk& c, uint8_t out[8]) {
    std::string n = FitName(c.name);
    std::memcpy(out, n.data(), 4);
    PutLe32(out + 4, c.size);
}

// Whether c is written as a grouped MATL: the MATD count before its children.
inline bool Grouped(const chunk& c, int recognizematl) {
    return recognizematl && c.name == "MATL" && !c.kids.empty();
}

inline int32_t MatdCount(const chunk& c) {
    return c.numkids("MATD");
}

// The parts of parsing and of producing derived data that reach into a
// chunk's private storage (chunk names it its friend).
struct chunkimpl {
    // Parses the chunk whose header starts at `offset` of the byte array
    // (*buf)[arr .. arr+n-1], and its children, without recursion.
    static chunkptr Parse(const std::shared_ptr<std::vector<uint8_t>>& buf, int64_t arr, int64_t n,
                          int64_t offset, const namelist& list, const chunkptr& parent);
    // Parses children from c's own data array as a container does: one after
    // the other from position `start` until the position reaches `limit`; the
    // first is always parsed.
    static void ParseKids(chunk& c, int64_t start, int64_t limit, const namelist& list);
    // Writes data[a .. b-1] of c into dst (dst[0] is position a); bytes that
    // belong to nothing stay as they are (the caller zeroes them).
    static void Fill(const chunk& c, int64_t a, int64_t b, uint8_t* dst);

    // Makes the chunk whose header starts at `offset` (no children yet);
    // container tells whether its data is to be parsed into children.
    // The buffer a leaf's data stands in and where (null when it has none
    // or its data is derived).
    static const std::vector<uint8_t>* LeafBytes(const chunk& c, int64_t& off, int64_t& len);

    static chunkptr MakeOne(const std::shared_ptr<std::vector<uint8_t>>& buf, int64_t arr, int64_t n,
                            int64_t offset, const std::weak_ptr<chunk>& parent, const namelist& list,
                            bool& container);
};

}  // namespace mesh
