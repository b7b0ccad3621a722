// The mod tree check: the references between the files of a mod (its
// meshes, their option files, its object definitions and its textures),
// checked together.
//
// A mesh's texture records must name a .tga where the build looks for it
// (the mesh's folder and its PC subfolder); one found only in another folder
// of the tree is a warning that says where. An ODF's properties name meshes,
// other ODFs (ClassParent, ClothODF) and nodes of its meshes; a node must be
// in one of the meshes the ODF names (its own and those it inherits through
// ClassParent), and a node that the game finds in the game model must be one
// the model compiler keeps. Every .tga's header is read for what the texture
// build refuses.
//
// Names are compared without case, as the game's name hashes compare them.
// A mesh, ODF or texture that no folder of the tree holds may be one of the
// game's stock assets: such a finding is a note unless base folders (the
// stock assets) are given, where a name that resolves is fine.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <string>
#include <unordered_map>
#include <vector>

#include "check/meshfacts.h"
#include "check/options.h"
#include "check/rules.h"

namespace check {

// A finding with both ends of the reference.
struct TreeFinding {
    Severity severity = Severity::warning;
    std::string rule;
    std::string file;         // where the reference is written (the ODF, the mesh, the .tga)
    int line = 0;             // its line in an ODF; 0 for a mesh or a .tga
    std::string property;     // the ODF property or the texture record (TX0D)
    std::string target;       // the name it gives
    std::string target_file;  // the file it was looked for in, or found in elsewhere
    std::string path;         // the chunk of a mesh: the texture record, the model of a node
    std::string message;
    bool maybe_stock = false;  // a note: unresolved, but perhaps a stock asset
};

// The files of a mod tree and their names, and what its meshes hold once
// they have been read.
struct ModTree {
    using Index = std::unordered_map<std::string, std::vector<size_t>>;  // StemKey -> files
    struct MeshInfo {
        bool read = false;
        MeshFacts facts;
        ParsedOptions options;
    };

    std::vector<std::string> meshes, odfs, tgas;  // as printed, sorted
    Index mesh_index, odf_index, tga_index;
    Index base_meshes, base_odfs, base_tgas;  // names under the base folders
    bool has_base = false;
    std::vector<MeshInfo> info;  // one a mesh, filled as they are read
};

// Indexes the files under the folders checked, and those under the base
// folders (only their names are used).
ModTree IndexModTree(std::vector<std::string> meshes, std::vector<std::string> odfs, std::vector<std::string> tgas,
                     const std::vector<std::string>& base);

// The texture findings of mesh i. Reads only the tree: may run on several
// threads at once.
std::vector<TreeFinding> CheckMeshTextures(const ModTree& tree, size_t i, const MeshFacts& facts);

// Reads every ODF and checks its references, with what tree.info holds of
// the meshes; findings by file and line. With a mesh (its number), only the
// ODFs that use it (name it, themselves or through ClassParent) are
// checked, and their numbers go to *users.
std::vector<TreeFinding> CheckOdfs(const ModTree& tree, std::optional<size_t> mesh = std::nullopt,
                                   std::vector<size_t>* users = nullptr);

// Reads every .tga's header; findings by file.
std::vector<TreeFinding> CheckTgas(const ModTree& tree);

// Every .msh, .odf and .tga below the folders, sorted (macOS "._"
// companions left out; links to folders are not followed; a folder that
// cannot be read is passed over).
std::vector<std::string> FilesBelow(const std::vector<std::string>& folders);

// What the mod tree around a mesh says of it: the ODFs that use the mesh
// (name it, themselves or through ClassParent) and the references among
// theirs that fail, and the mesh's texture findings.
struct MeshInTree {
    std::string root;                   // the mod tree's folder; empty when the mesh lies in none
    std::vector<std::string> odfs;      // the ODFs that use it, sorted
    std::vector<TreeFinding> findings;  // texture findings first, then the ODFs' by file and line
};

// The mod tree of a mesh file is the folder above its Sides, Worlds or
// Common folder, else the nearest folder above it with an odf folder (at
// most four levels up). bytes are the mesh as it is now (the editor's, with
// its changes), options its option file's text.
MeshInTree CheckMeshInTree(const std::string& meshpath, std::span<const uint8_t> bytes, std::string_view options);

// The lower-case name of a file without its folder and extension.
std::string StemKey(const std::string& path);

}  // namespace check
