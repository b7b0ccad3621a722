// The "rename all" command: a model or a texture takes a new name with every
// record that names it (check::PlanRename), asked on the prompt line, as one
// undo step. Its button stands on the inspector's lower edge; Control+R.
#pragma once

#include <string>

namespace editor {

class Editor;

// Builds the button (when the inspector is shown) and appends the command to
// the editor's table.
void AddRenameAll(Editor& ed);

// The name a rename of the selected chunk starts from: a model's NAME, a
// material's texture (TX0D-TX3D) or a cloth's (CTEX); empty for any other
// chunk.
std::string RenamableName(const Editor& ed);

}  // namespace editor
