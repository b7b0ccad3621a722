// The schema of the mesh format as the check reads it: which chunks are
// containers, which children each container takes (once, or any number of
// times), and the list layouts whose entries vary in length.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace format::schema {

// The four name bytes of a chunk as one number (byte 0 lowest).
constexpr uint32_t Tag(std::string_view s) {
    return uint32_t(uint8_t(s[0])) | uint32_t(uint8_t(s[1])) << 8 | uint32_t(uint8_t(s[2])) << 16 |
           uint32_t(uint8_t(s[3])) << 24;
}
std::string TagName(uint32_t tag);

struct Container {
    uint32_t tag;
    bool counted;                     // the data starts with a u32 count of the children (MATL)
    std::span<const uint32_t> once;   // children it reads once
    std::span<const uint32_t> many;   // children it reads any number of times
};

// The container of this name, or null for a record or an unknown name.
const Container* FindContainer(uint32_t tag);

enum class Place : uint8_t { once, many, closing, not_here };
// Where a child of this name stands in the parent container.
Place PlaceIn(const Container& parent, uint32_t kid);

// Whether the model compiler reads a child of this name in the parent (the
// chunks it reads, in the containers it reads): NDXT, NDXL, SINF, CAMR,
// ANM2, a GEOM's BBOX and the like it steps over unread.
bool CompilerReads(uint32_t parent, uint32_t kid);

}  // namespace format::schema
