// What the mod tree check needs of a mesh: its models (name, type, parent,
// index), the models its envelopes and cloth collision name, and its texture
// records, each with the path of its chunk. Read straight from the file's
// bytes, once, without building the chunk tree.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "check/options.h"

namespace check {

struct MeshModel {
    std::string name;
    std::string path;    // HEDR/MSH2/MODL[name]
    int64_t type = -1;   // MTYP; -1 none
    int64_t index = -1;  // MNDX; -1 none
    std::string parent;  // PRNT; empty for a root
};

struct MeshTexture {
    std::string name;  // as the record holds it ("wood.tga")
    std::string path;  // HEDR/MSH2/MATL/MATD[1]/TX0D
};

struct MeshFacts {
    std::vector<MeshModel> models;
    std::vector<uint32_t> envelope;           // MNDX numbers named by ENVL lists
    std::vector<std::string> cloth_parents;   // parents of cloth collision objects
    std::vector<MeshTexture> textures;        // TX0D-TX3D of the materials, CTEX of cloths
};

// Reads the facts out of a mesh file's bytes; a part that does not read is
// left out (the deep check reports it).
MeshFacts ReadMeshFacts(std::span<const uint8_t> file);

// Whether the model compiler keeps the model as a node of the game model
// (a bone, a root, an hp_ hardpoint, a model named by -keep or kept by
// -keepall, one an envelope or a cloth collision object names); every
// other node is merged into its parent and its name is gone.
bool KeptByCompiler(const MeshFacts& facts, const MeshModel& m, const ParsedOptions& options);

}  // namespace check
