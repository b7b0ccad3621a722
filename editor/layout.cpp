// The widget tree and the grids of the editor window. Every position follows
// from the grid size W x H (see Layout); the order in which widgets are made
// under one parent is the order in which they are drawn.
#include "display/palette.h"
#include "editor/checkpanel.h"
#include "editor/chunkactions.h"
#include "editor/editor.h"
#include "editor/filerow.h"
#include "editor/inspector.h"
#include "editor/modellist.h"
#include "editor/toolrow.h"
#include "editor/treepanel.h"

namespace editor {

namespace pal = display::palette;

using widgets::gadget;

Layout Layout::For(int W, int H) {
    Layout l;
    l.W = W;
    l.H = H;
    l.T = H - 17;
    l.L = l.T - 19;
    l.M = l.T - 32;
    l.e = (W - 10) / 3;
    return l;
}

void Editor::BuildWidgets() {
    const Layout& l = layout;
    const int W = l.W, T = l.T, L = l.L, M = l.M;

    w.rootlabel = gadget::CreateLabel("", 0, 0, 1, 1, 1);
    gadget& root = *w.rootlabel;
    files = std::make_unique<FileRowPanel>(*this);
    files->Build(root, l);

    tree = std::make_unique<TreePanel>(*this);
    tree->Build(root, L);
    w.datascroll = gadget::CreateScroll(16, L + 3, 8, gadget::vertical, 0, *tree->panel);
    g.datagrid = display::tilemap(16, 8);
    g.datagrid.Fill(0, pal::kText, pal::kPanel, 0);
    w.datascroll->SetArea(-16, 0, 17, 8);

    actions = std::make_unique<ChunkActionsPanel>(*this);
    actions->Build(root, *tree->panel, L);
    modellist = std::make_unique<ModelListPanel>(*this);
    modellist->Build(*actions->window, root, M);

    w.datawindow = gadget::CreateWindow("data", 1, T, W - 22, 16, root);
    gadget& data = *w.datawindow;
    w.infowindow = gadget::CreateWindow("", W - 22, 0, 20, 16, data);
    w.deletelabel = gadget::CreateLabel("delete", 3, 2, 12, 1, data, 1);
    w.insertlabel = gadget::CreateLabel("insert", 3, 4, 12, 1, data, 1);
    w.handlebox = gadget::CreateCheckbox("handle", 3, 6, data);
    w.inputlabel = gadget::CreateLabel("input data", 2, 9, 14, 1, data, 1);
    w.fltbutton = gadget::CreateButton("flt", 9, 10, 3, 1, data);
    w.strbutton = gadget::CreateButton("str", 13, 10, 3, 1, data);
    w.valuebox = gadget::CreateTextbox("012345", 2, 12, 14, 3, data, gadget::defaultchars);
    for (int k = 0; k < 3; ++k) {
        std::string caption = std::to_string(1 << k);
        w.removebuttons[k] = gadget::CreateButton(caption, W - 30 + 2 * k, 2, 1, 1, data);
        w.insertbuttons[k] = gadget::CreateButton(caption, W - 30 + 2 * k, 4, 1, 1, data);
        w.inputbuttons[k] = gadget::CreateButton(caption, 2 * k + 2, 10, 1, 1, data);
    }
    w.tableanchor = gadget::CreateLabel("", 2, 0, 1, 1, *w.infowindow, 1);

    g.bytetable = display::tilemap(16, 16);
    g.byteoverlay = display::tilemap(16, 16);
    g.byteoverlay.Fill(pal::kKeep, pal::kKeep, pal::kKeep, 1);
    for (int i = 0; i < 256; ++i) g.bytetable.SetTile(i % 16, i / 16, i, pal::kPickerGlyph, pal::kScreen, 1);

    // The tool row of the free area, right of the chunk actions window.
    tools = std::make_unique<ToolRowPanel>(*this);
    tools->Build(root);
    // The check window under the tool row.
    checks_ = std::make_unique<CheckPanel>(*this);
    checks_->Build(root);

    inspector = std::make_unique<InspectorPanel>(*this);
    inspector->Build(*w.rootlabel);
}

}  // namespace editor
