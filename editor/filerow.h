// The file row at the top of the window: the title line (the mesh's title,
// marked " *" while it has changes that were not saved), and the "save msh",
// "open msh", "new msh" and "verify" buttons (their commands are the
// editor's: editor/chunk_commands.cpp).
#pragma once

#include <string>

#include "editor/panel.h"
#include "widgets/gadget.h"

namespace editor {

class FileRowPanel : public Panel {
public:
    explicit FileRowPanel(Desk& ed) : ed_(ed) {}

    // Makes the title and the buttons under root.
    void Build(widgets::gadget& root, const Layout& layout);
    // At the start of a frame: the title, and save and verify enabled while
    // there is a mesh.
    void Prepare() override;
    // Shows text in place of the mesh's title for this frame, with the same
    // mark.
    void ShowTitle(const std::string& text);

    // ---- open to tests
    widgets::gadget* title = nullptr;
    // The buttons of the editor's file commands.
    widgets::gadget* savebutton = nullptr;
    widgets::gadget* openbutton = nullptr;
    widgets::gadget* newbutton = nullptr;
    widgets::gadget* verifybutton = nullptr;

private:
    Desk& ed_;
};

}  // namespace editor
