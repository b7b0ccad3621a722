// The file row at the top of the window: the title line (the mesh's title,
// marked " *" while it has changes that were not saved), and the "save msh",
// "open msh", "new msh" and "verify" buttons (their code is in
// editor/chunk_commands.cpp).
#pragma once

#include <string>

#include "widgets/gadget.h"

namespace editor {

class Editor;
struct Layout;

class FileRowPanel {
public:
    explicit FileRowPanel(Editor& ed) : ed_(ed) {}

    // Makes the title and the buttons under root.
    void Build(widgets::gadget& root, const Layout& layout);
    // Appends open, save, new and verify to the editor's table.
    void AddCommands();
    // At the start of a frame: the title, and save and verify enabled while
    // there is a mesh.
    void View();
    // Shows text in place of the mesh's title for this frame, with the same
    // mark.
    void ShowTitle(const std::string& text);

    // ---- open to tests
    widgets::gadget* title = nullptr;

private:
    Editor& ed_;
    widgets::gadget* save_ = nullptr;
    widgets::gadget* open_ = nullptr;
    widgets::gadget* new_ = nullptr;
    widgets::gadget* verify_ = nullptr;
};

}  // namespace editor
