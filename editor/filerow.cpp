// The file row: the title line and the file buttons.
#include "editor/filerow.h"

#include "editor/editor.h"

namespace editor {

using widgets::gadget;

void FileRowPanel::Build(gadget& root, const Layout& l) {
    title = gadget::CreateLabel("welcome", 1, 1, 32, 1, root, 1);
    save_ = gadget::CreateButton("save msh", 1, 3, l.e - 1, 1, root);
    open_ = gadget::CreateButton("open msh", l.e + 1, 3, l.e - 1, 1, root);
    new_ = gadget::CreateButton("new msh", 2 * l.e + 1, 3, l.e - 1, 1, root);
    verify_ = gadget::CreateButton("verify", l.W - 9, 3, 8, 1, root);
}

void FileRowPanel::AddCommands() {
    Editor& ed = ed_;
    auto loaded = [&ed] { return ed.doc.mesh != nullptr; };
    ed.commands.push_back({"open msh", open_, {{kKeyOpen}}, nullptr, [&ed] { ed.OpenMesh(); }});
    ed.commands.push_back({"save msh", save_, {{kKeySave}}, loaded, [&ed] { ed.SaveMeshAs(); }});
    ed.commands.push_back({"new msh", new_, {{kKeyNew}}, nullptr, [&ed] { ed.NewMesh(); }});
    ed.commands.push_back({"verify", verify_, {{kKeyVerify}}, loaded, [&ed] { ed.VerifyMesh(); }});
}

void FileRowPanel::View() {
    ShowTitle(ed_.doc.title);
    if (!ed_.doc.mesh) {
        save_->disable();
        verify_->disable();
    } else {
        save_->enable();
        verify_->enable();
    }
}

void FileRowPanel::ShowTitle(const std::string& text) {
    title->title = text + (ed_.doc.Modified() ? " *" : "");
}

}  // namespace editor
