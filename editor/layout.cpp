// The widget tree and the grids of the editor window. Every position follows
// from the grid size W x H (see Layout); the order in which widgets are made
// under one parent is the order in which they are drawn.
#include "editor/checkpanel.h"
#include "editor/chunkactions.h"
#include "editor/dataview.h"
#include "editor/editor.h"
#include "editor/filerow.h"
#include "editor/inspector.h"
#include "editor/modellist.h"
#include "editor/toolrow.h"
#include "editor/treepanel.h"

namespace editor {

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
    const int T = l.T, L = l.L, M = l.M;

    w.rootlabel = gadget::CreateLabel("", 0, 0, 1, 1, 1);
    gadget& root = *w.rootlabel;
    files = std::make_unique<FileRowPanel>(*this);
    files->Build(root, l);

    tree = std::make_unique<TreePanel>(*this);
    tree->Build(root, L);
    data = std::make_unique<DataPanel>(*this);
    data->BuildView(*tree->panel);

    actions = std::make_unique<ChunkActionsPanel>(*this);
    actions->Build(root, *tree->panel, L);
    modellist = std::make_unique<ModelListPanel>(*this);
    modellist->Build(*actions->window, root, M);

    // The data window; the readouts fill the model list's column (its rows
    // and their scroll bar) from under its rows to the row above the window.
    const gadget& rows = *modellist->anchor;
    const int rx = actions->window->x + rows.x, ry = actions->window->y + rows.y + M + 1;
    data->Build(root, {rx, ry, modellist->grid.tmapw + 1, T - ry - 1});

    // The tool row of the free area, right of the chunk actions window.
    tools = std::make_unique<ToolRowPanel>(*this);
    tools->Build(root);
    // The check window under the tool row.
    checks_ = std::make_unique<CheckPanel>(*this);
    checks_->Build(root);

    checks_->checkbutton = tools->checkbutton;
    checks_->diffbutton = tools->diffbutton;

    inspector = std::make_unique<InspectorPanel>(*this);
    inspector->Build(*w.rootlabel);
    // The preview over the check window: the finding clicked there is
    // looked at, and the enlarged picture hides the window.
    if (inspector->preview) {
        CheckPanel& checks = *checks_;
        inspector->preview->chosen = [&checks] { return checks.Chosen(); };
        if (checks.HasWindow()) inspector->preview->cover = [&checks](bool covered) { checks.Cover(covered); };
    }

    // The order of the steps of a frame: the lists take their clicks before
    // the chunk actions name the selection, and the data view and the
    // inspector show what they selected.
    panels_ = {files.get(), tree.get(), modellist.get(), checks_.get(), actions.get(), data.get(),
               inspector.get(), tools.get()};
}

}  // namespace editor
