// The model list: its rows, their hover and click.
#include "editor/modellist.h"

#include <algorithm>
#include <cctype>

#include "display/codepage.h"
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

void ModelListPanel::BuildFind(gadget& root) {
    const Layout& l = ed_.layout;
    if (!l.HasFreeArea()) return;
    gadget::CreateLabel("find model", 41, l.T - 16, 10, 1, root, 1);
    findbox = gadget::CreateTextbox("", 52, l.T - 16, l.W - 53, 1, root, gadget::defaultchars);
    findbox->maxchars = 255;
}

void ModelListPanel::AddCommands() {
    if (!findbox) return;
    Command find;
    find.name = "find model";
    find.button = findbox;
    find.enabled = [this] { return !models.empty() && !findbox->title.empty(); };
    find.run = [this] {
        Find(true);
        // The box keeps the focus, so Enter goes on to the next one.
        findbox->at = static_cast<int>(findbox->title.size());
    };
    ed_.commands.push_back(std::move(find));
}

void ModelListPanel::Find(bool next) {
    const std::string& want = findbox->title;
    auto lower = [](std::string s) {
        for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return s;
    };
    const std::string key = lower(want);
    std::vector<size_t> hits;
    for (size_t i = 0; i < models.size(); ++i)
        if (lower(models[i]->FetchName()).find(key) != std::string::npos) hits.push_back(i);
    if (hits.empty()) {
        ed_.Status("no model name holds \"" + want + "\"");
        return;
    }
    size_t pick = 0;
    if (next) {
        const auto at = std::find(models.begin(), models.end(), ed_.doc.selchunk);
        const size_t sel = static_cast<size_t>(at - models.begin());
        while (pick < hits.size() && hits[pick] <= sel && at != models.end()) ++pick;
        if (pick == hits.size()) pick = 0;  // round to the first again
    }
    const size_t i = hits[pick];
    ed_.Reveal(models[i]);
    scroll->state = std::clamp(static_cast<int>(i) - grid.tmaph / 2, 0, scroll->h);
    ed_.Status("model " + std::to_string(pick + 1) + " of " + std::to_string(hits.size()) +
                             " whose name holds \"" + want + "\": " + models[i]->FetchName());
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
    // What is typed in the find box selects a model at once.
    if (findbox && findbox->title != lastfind_) {
        lastfind_ = findbox->title;
        if (!lastfind_.empty() && !models.empty()) Find(false);
    }
    // Entries scrolled off above the panel are neither shown nor hovered, so
    // the walk starts at the first shown one and stops below the panel: a
    // frame costs the rows shown, however many models there are. A click
    // refreshes the mesh, which refills the list with the same entries, so
    // the walk goes on by index.
    for (size_t i = static_cast<size_t>(std::max(0, first)); i < models.size(); ++i) {
        const mesh::chunkptr c = models[i];
        const int r = static_cast<int>(i) - first;
        // A name that is not ASCII shows the characters it holds.
        std::string name = display::TextGlyphs(c->FetchName());
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
        // A name cut at the panel's edge ends in a mark.
        if (name.size() > size_t(grid.tmapw) && r < grid.tmaph) {
            const int x = grid.tmapw - 1;
            grid.SetTile(x, r, display::kCutMark, grid.fg(x, r), grid.bg(x, r), 1);
        }
        if (r >= grid.tmaph) break;
    }
}

void ModelListPanel::Paste(display::tilemap& screen) {
    screen.InsertMapImage(grid, anchor->dx, anchor->dy, 1);
    placed_ = true;
}

}  // namespace editor
