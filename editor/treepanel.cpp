// The chunk tree panel: its widgets and the rows painted once a frame.
#include "editor/treepanel.h"

#include <algorithm>

#include "display/palette.h"
#include "editor/panel.h"

namespace editor {

namespace pal = display::palette;
using widgets::gadget;

void TreePanel::Build(gadget& root, int rows) {
    box = gadget::CreateLabel("", 1, 5, 2, 1, root, 1);
    title = gadget::CreateWindow("chunk view", 0, 0, 17, 3, *box);
    scroll = gadget::CreateScroll(16, 2, rows, gadget::vertical, 0, *box);
    grid = display::tilemap(16, rows);
    grid.Fill(0, pal::kText, pal::kPanel, 0);
    scroll->SetArea(-16, 0, 17, rows);
    panel = gadget::CreateLabel("", 0, 2, 16, rows, *box, 1);
    // A tree that got shorter must not leave the panel scrolled past its
    // end, where no row could be seen or clicked.
    ed_.doc.changed.Subscribe([this](const Changed& e) { SetScrollMax(std::max(0, e.rows - Rows())); });
    ed_.doc.findingschanged.Subscribe([this](const FindingsChanged& e) { missing_ = e.missingfiles; });
    view_.missing = [this](const mesh::chunk* c) { return !missing_.empty() && Holds(missing_, c); };
}

void TreePanel::SetScrollMax(int max) {
    scroll->h = max;
    scroll->state = std::clamp(scroll->state, 0, scroll->h);
}

void TreePanel::Draw() {
    grid.Fill(0, pal::kText, pal::kPanel, 0);
    if (ed_.doc.mesh && ed_.doc.mesh->hedr) {
        view_.ui = &ed_.ui;
        view_.selchunk = &ed_.doc.selchunk;
        view_.treepanel = panel;
        if (!view_.update) view_.update = [this] { ed_.doc.Refresh(); };
        Render(*ed_.doc.mesh, view_, grid, scroll->state);
    }
    grid.Draw(ed_.display, panel->dx, panel->dy, 0, 0, -1, -1);
}

}  // namespace editor
