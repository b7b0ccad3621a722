// Records read out of a chunk tree: the helpers the deep check and the
// inspector share, and the parts of a chunk's path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "mesh/chunk.h"

namespace mesh {

// The data of a leaf, cut to its size; empty for a container (its data are
// its children) or an empty chunk.
std::span<const uint8_t> LeafBytes(const mesh::chunk& c);

// The first child of that name, or null.
const mesh::chunk* Kid(const mesh::chunk& c, std::string_view name);

// The text of a leaf text record, up to its first zero byte; empty for a
// container or null.
std::string TextOf(const mesh::chunk* c);

// The u32 a leaf's data begins with (a list's count, a record's value), or -1
// when the data has no room for it or there is no chunk.
int64_t LeadingU32(const mesh::chunk* c);

// A model's name in a path is cut to this many characters.
inline constexpr size_t kNameInPath = 100;

// One part of a chunk's path as findings and the inspector write it: the
// name, then [model name] for a MODL with a NAME (cut to kNameInPath
// characters), or else [sibling], its index among same-named siblings
// (sibling -1: the name is unique among them).
std::string PathPart(const mesh::chunk& c, int sibling);

// The full path of a chunk from the root of its tree, its parts joined with
// '/' (HEDR/MSH2/MODL[body]/GEOM/SEGM[1]/STRP); a path deeper than 4096
// parts keeps its last ones behind "...".
std::string ChunkPath(const mesh::chunkptr& c);

}  // namespace mesh
