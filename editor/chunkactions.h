// The chunk actions window: export, import under, import after, rename,
// shift up, shift down and delete of the selected chunk (the editor's
// commands: editor/chunk_commands.cpp), titled with the selected chunk's name when it
// has one; and the "recognize matl" box under the tree, which groups the
// materials' MATD chunks under their MATL or takes them back into its data.
#pragma once

#include <string>

#include "editor/panel.h"
#include "widgets/gadget.h"

namespace editor {

class ChunkActionsPanel : public Panel {
public:
    explicit ChunkActionsPanel(Desk& ed) : ed_(ed) {}

    // Makes the window and its buttons under root, and the "recognize matl"
    // box under rows (the tree's panel of rows, `height` rows high).
    void Build(widgets::gadget& root, widgets::gadget& rows, int height);
    // The button of the action of that caption ("rename"), or null.
    widgets::gadget* Button(const std::string& caption) const;
    // At the frame's start: applies the grouping of the box, and enables the
    // window while a chunk is selected.
    void Prepare() override;
    // Once the lists have taken their clicks: the window's title.
    void View(display::tilemap& screen) override;

    // ---- open to tests
    widgets::gadget* window = nullptr;
    widgets::gadget* groupbox = nullptr;  // "recognize matl"

private:
    Desk& ed_;
    widgets::gadget* buttons_[7] = {};
    int lastgrouping_ = 0;  // the box's state last applied to the mesh
};

}  // namespace editor
