// The file row: the title line and the file buttons.
#include "editor/filerow.h"

#include "editor/panel.h"

namespace editor {

using widgets::gadget;

void FileRowPanel::Build(gadget& root, const Layout& l) {
    title = gadget::CreateLabel("welcome", 1, 1, 32, 1, root, 1);
    savebutton = gadget::CreateButton("save msh", 1, 3, l.e - 1, 1, root);
    openbutton = gadget::CreateButton("open msh", l.e + 1, 3, l.e - 1, 1, root);
    newbutton = gadget::CreateButton("new msh", 2 * l.e + 1, 3, l.e - 1, 1, root);
    verifybutton = gadget::CreateButton("verify", l.W - 9, 3, 8, 1, root);
}

void FileRowPanel::Prepare() {
    ShowTitle(ed_.doc.title);
    if (!ed_.doc.mesh) {
        savebutton->disable();
        verifybutton->disable();
    } else {
        savebutton->enable();
        verifybutton->enable();
    }
}

void FileRowPanel::ShowTitle(const std::string& text) {
    title->title = text + (ed_.doc.mesh && ed_.doc.history.Modified() ? " *" : "");
}

}  // namespace editor
