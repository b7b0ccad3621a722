// The chunk actions window and the grouping box.
#include "editor/chunkactions.h"

#include <string>

#include "editor/panel.h"

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

gadget* ChunkActionsPanel::Button(const std::string& caption) const {
    for (int k = 0; k < 7; ++k)
        if (caption == kCaptions[k]) return buttons_[k];
    return nullptr;
}

void ChunkActionsPanel::Prepare() {
    if (groupbox->state > 1) groupbox->state = 1;
    const int state = groupbox->state;
    ed_.doc.recognizematl = state;
    if (state != lastgrouping_) ed_.doc.GroupMaterials(state == 1);
    lastgrouping_ = state;

    ed_.doc.selchunk ? window->enable() : window->disable();
}

void ChunkActionsPanel::View(display::tilemap&) {
    window->title = "chunk actions";
    if (!ed_.doc.selchunk) return;
    const std::string name = ed_.doc.selchunk->FetchName();
    if (!name.empty()) window->title = name;
}

}  // namespace editor
