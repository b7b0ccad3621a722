// The model list: its rows, their hover and click.
#include "editor/modellist.h"

#include <algorithm>

#include "display/palette.h"
#include "editor/panel.h"

namespace editor {

namespace pal = display::palette;
using widgets::gadget;

void ModelListPanel::Build(gadget& actions, gadget& root, int rows) {
    view = gadget::CreateWindow("modl view", 0, 17, 20, 3, actions);
    grid = display::tilemap(19, rows);
    grid.Fill(0, pal::kText, pal::kPanel, 0);
    anchor = gadget::CreateLabel("", 0, 19, 1, 1, actions, 1);
    scroll = gadget::CreateScroll(38, 24, rows, gadget::vertical, 0, root);
    scroll->SetArea(-19, 0, 20, rows);
    ed_.doc.changed.Subscribe([this](const Changed& e) {
        SetModels(e.models, std::max(0, static_cast<int>(e.models.size()) - Rows()));
    });
}

void ModelListPanel::SetModels(std::vector<mesh::chunkptr> list, int scrollmax) {
    models = std::move(list);
    scroll->h = scrollmax;
    scroll->state = std::clamp(scroll->state, 0, scroll->h);
}

void ModelListPanel::View(display::tilemap&) {
    const widgets::Toolkit& ui = ed_.ui;
    const int first = scroll->state, x0 = anchor->dx, y0 = anchor->dy;
    grid.Fill(0, pal::kText, pal::kPanel, 0);
    // Entries scrolled off above the panel are neither shown nor hovered, so
    // the walk starts at the first shown one and stops below the panel: a
    // frame costs the rows shown, however many models there are. A click
    // refreshes the mesh, which refills the list with the same entries, so
    // the walk goes on by index.
    for (size_t i = static_cast<size_t>(std::max(0, first)); i < models.size(); ++i) {
        const mesh::chunkptr c = models[i];
        const int r = static_cast<int>(i) - first;
        std::string name = c->FetchName();
        if (name.empty()) name = "[unnamed]";
        // Only rows that the panel shows react to the pointer, and only once
        // the panel has been placed by a first draw.
        const bool hovered =
            placed_ && r < grid.tmaph && ui.mx >= x0 && ui.mx < x0 + grid.tmapw && ui.my == y0 + r;
        if (hovered) {
            ed_.HintModel(name);
            if (ui.Released(1)) ed_.Reveal(c);
        }
        if (ed_.doc.selchunk == c)
            grid.InsertString(0, r, name, pal::kPanel, pal::kText, 0, 0, 0, -1);
        else
            grid.InsertString(0, r, name, pal::kText, hovered ? pal::kHover : pal::kPanel, 0, 0, 0, -1);
        if (r >= grid.tmaph) break;
    }
}

void ModelListPanel::Paste(display::tilemap& screen) {
    screen.InsertMapImage(grid, anchor->dx, anchor->dy, 1);
    placed_ = true;
}

}  // namespace editor
