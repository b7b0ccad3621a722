// The tool row: undo, redo, and the buttons of check and diff.
#include "editor/toolrow.h"

#include "editor/panel.h"

namespace editor {

using widgets::gadget;

void ToolRowPanel::Build(gadget& root) {
    if (!ed_.layout.HasFreeArea()) return;
    undo_ = gadget::CreateButton("undo", 41, 5, 6, 1, root);
    redo_ = gadget::CreateButton("redo", 48, 5, 6, 1, root);
    checkbutton = gadget::CreateButton("check", 55, 5, 7, 1, root);
    diffbutton = gadget::CreateButton("diff", 63, 5, 6, 1, root);
}

void ToolRowPanel::AddCommands() {
    Desk& ed = ed_;
    ed.commands.push_back({"undo", undo_, {{kKeyZ, Shortcut::without}},
                           [&ed] { return ed.doc.mesh && ed.doc.history.CanUndo(); }, [&ed] { ed.doc.Undo(); }});
    ed.commands.push_back({"redo", redo_, {{kKeyY}, {kKeyZ, Shortcut::with}},
                           [&ed] { return ed.doc.mesh && ed.doc.history.CanRedo(); }, [&ed] { ed.doc.Redo(); }});
}

void ToolRowPanel::AfterCommands() {
    if (!undo_) return;
    (ed_.doc.mesh && ed_.doc.history.CanUndo()) ? undo_->enable() : undo_->disable();
    (ed_.doc.mesh && ed_.doc.history.CanRedo()) ? redo_->enable() : redo_->disable();
    ed_.doc.mesh ? checkbutton->enable() : checkbutton->disable();
}

}  // namespace editor
