// The chunk actions window and the grouping box.
#include "editor/chunkactions.h"

#include <string>

#include "editor/editor.h"

namespace editor {

using widgets::gadget;

namespace {

// The buttons top to bottom.
constexpr const char* kCaptions[7] = {"export",   "import under", "import after", "rename",
                                      "shift up", "shift down",   "delete"};

}  // namespace

void ChunkActionsPanel::Build(gadget& root, gadget& rows, int height) {
    groupbox = gadget::CreateCheckbox("recognize matl", 0, height + 1, rows);
    groupbox->state = ed_.doc.recognizematl;
    window = gadget::CreateWindow("chunk actions", 19, 5, 20, 16, root);
    for (int k = 0; k < 7; ++k) buttons_[k] = gadget::CreateButton(kCaptions[k], 4, 2 + 2 * k, 12, 1, *window);
}

void ChunkActionsPanel::AddCommands() {
    Editor& ed = ed_;
    auto selected = [&ed] { return ed.doc.selchunk != nullptr; };
    auto add = [&ed, &selected](const std::string& name, gadget* button, std::function<void()> run) {
        ed.commands.push_back({name, button, {}, selected, std::move(run)});
    };
    add("rename", buttons_[3], [&ed] { ed.RenameChunk(); });
    add("delete", buttons_[6], [&ed] { ed.DeleteChunk(); });
    add("export", buttons_[0], [&ed] { ed.ExportChunk(); });
    add("import after", buttons_[2], [&ed] { ed.ImportAfter(); });
    add("import under", buttons_[1], [&ed] { ed.ImportUnder(); });
    add("shift up", buttons_[4], [&ed] { ed.ShiftUp(); });
    add("shift down", buttons_[5], [&ed] { ed.ShiftDown(); });
}

void ChunkActionsPanel::View() {
    if (groupbox->state > 1) groupbox->state = 1;
    const int state = groupbox->state;
    ed_.doc.recognizematl = state;
    if (state != lastgrouping_) ed_.doc.GroupMaterials(state == 1);
    lastgrouping_ = state;

    ed_.doc.selchunk ? window->enable() : window->disable();
}

void ChunkActionsPanel::ShowSelectedName() {
    window->title = "chunk actions";
    if (!ed_.doc.selchunk) return;
    const std::string name = ed_.doc.selchunk->FetchName();
    if (!name.empty()) window->title = name;
}

}  // namespace editor
