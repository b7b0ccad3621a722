// Opening a mesh whose chunk sizes leave out the zero padding that follows
// them. Read at their word, such sizes make the padding and the next header
// look like a chunk that is not there, and saving that tree would write a
// size into the next chunk's header. The file is re-laid first (as mshtool
// fix does, all data kept), and the editor says so.
#pragma once

#include <string>

#include "mesh/msh.h"

namespace editor {

// Opens the mesh at path as mesh::OpenMesh does (grouped) or as
// msh::ReadMsh does, from its re-laid bytes when sizes left out their
// padding; note then says what was re-laid (else it is the file's cut note,
// or empty).
mesh::mshptr OpenRelaid(const std::string& path, const mesh::namelist& list, int recognizematl, bool grouped,
                        std::string& why, std::string& note);

}  // namespace editor
