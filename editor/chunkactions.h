// The chunk actions window: export, import under, import after, rename,
// shift up, shift down and delete of the selected chunk (their code is in
// editor/chunk_commands.cpp), titled with the selected chunk's name when it
// has one; and the "recognize matl" box under the tree, which groups the
// materials' MATD chunks under their MATL or takes them back into its data.
#pragma once

#include "widgets/gadget.h"

namespace editor {

class Editor;

class ChunkActionsPanel {
public:
    explicit ChunkActionsPanel(Editor& ed) : ed_(ed) {}

    // Makes the window and its buttons under root, and the "recognize matl"
    // box under rows (the tree's panel of rows, `height` rows high).
    void Build(widgets::gadget& root, widgets::gadget& rows, int height);
    // Appends the chunk actions to the editor's table.
    void AddCommands();
    // Before the lists are drawn: applies the grouping of the box, and
    // enables the window while a chunk is selected.
    void View();
    // Once the lists have taken their clicks: the window's title.
    void ShowSelectedName();

    // ---- open to tests
    widgets::gadget* window = nullptr;
    widgets::gadget* groupbox = nullptr;  // "recognize matl"

private:
    Editor& ed_;
    widgets::gadget* buttons_[7] = {};
    int lastgrouping_ = 0;  // the box's state last applied to the mesh
};

}  // namespace editor
