// The "rename all" command: a model or a texture takes a new name with every
// record that names it (check::PlanRename), asked on the prompt line, as one
// undo step. Its button stands on the inspector's lower edge; Control+R.
#pragma once

#include <string>

#include "mesh/chunk.h"

namespace editor {

class Editor;

// Builds the button (when the inspector is shown) and appends the command to
// the editor's table.
void AddRenameAll(Editor& ed);

// The record a rename of the selection changes: a model's NAME (the model
// itself or its NAME selected), a material's texture (TX0D-TX3D) or a
// cloth's (CTEX); null for any other chunk.
mesh::chunkptr RenamableRecord(const Editor& ed);
// The name that rename starts from; empty when there is none.
std::string RenamableName(const Editor& ed);

}  // namespace editor
