// The deep check of a mesh: the rules the model compiler and the game
// enforce, read from the file's bytes by the format's own schema.
//
// The check reads every container the format defines (HEDR, MSH2, SINF,
// CAMR, MATL, MATD, MODL, GEOM, SEGM, CLTH, ANM2) by its name, whatever the
// order of its children and whatever the container-name list made of it in
// the editor's tree; it never changes the tree or the bytes.
//
// A finding names its severity (an error: the model compiler refuses the
// file or the game crashes on it; a warning: the file works, but this is
// likely a mistake), its rule (check/rules.h), the path of the chunk it is
// about, a message with the numbers, the chunk's byte offset in the file and
// its declared size, and where it applies the element (vertex, triangle,
// edge) it names. A path joins the chunk names from the root with '/'; a
// MODL with a NAME is written MODL[name], a chunk with same-named siblings
// gets its 0-based index among them: HEDR/MSH2/MODL[body]/GEOM/SEGM[2]/STRP.
// Findings about an option file have that file's name and line as path.
//
// The walk keeps its own stack and only descends into containers where the
// schema puts them, so it is shallow whatever the file; its cost grows
// linearly with the size of the mesh.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "check/rules.h"
#include "mesh/chunk.h"
#include "mesh/msh.h"

namespace check {

struct Finding {
    Severity severity = Severity::error;
    std::string rule;
    std::string path;
    std::string message;
    std::weak_ptr<mesh::chunk> where;  // the chunk, or the tree chunk that holds its bytes
    int64_t offset = -1;               // of the chunk's header in the file; -1 for an option file
    int64_t size = 0;                  // the data size the chunk declares
    std::optional<uint32_t> element;   // the vertex, triangle, edge or entry it names
};

// Findings of one rule beyond this many are counted, not listed: a closing
// finding of that rule tells how many more there were.
inline constexpr size_t kRuleLimit = 10000;

// The compiler option file that lies beside a mesh (NAME.msh.option).
struct OptionFile {
    std::string name;  // as findings name it: "body.msh.option"
    std::string text;
};

// Checks a file's bytes. trailer: the bytes after the root are read as
// chunks of their own (real files often close with a CL1L there).
std::vector<Finding> CheckBytes(std::span<const uint8_t> file, const OptionFile* options = nullptr);

// Checks the tree below root as it would be saved; findings point at its
// chunks. trailer: the name of the chunk that followed the root in its file
// (msh::trailer), empty when none did.
std::vector<Finding> CheckTree(const mesh::chunk& root, std::string_view trailer = {},
                               const OptionFile* options = nullptr);

// Checks a loaded mesh (nothing when it has no root).
std::vector<Finding> CheckMesh(const mesh::msh& m, const OptionFile* options = nullptr);

// Reads PATH.option when it exists; nothing when it does not.
std::optional<OptionFile> OptionFileBeside(const std::string& meshpath);

// What keeps a texture name (TX0D-TX3D) out of the .req file the compiler
// writes beside the model, or null: a double quote, a line break, "//" or
// '=' followed by text in the name without its extension.
const char* TextureNameFault(std::string_view name);

// Errors first, in file order, then the warnings in file order.
void SortErrorsFirst(std::vector<Finding>& findings);

}  // namespace check
