// The chunk tree panel: the "chunk view" title, the rows of the mesh's tree
// (drawn by treeview/treeview.h) and their scroll bar. A click on a row
// selects, opens or closes its chunk. The data view and the "recognize
// matl" box are made under its panel of rows, below them.
#pragma once

#include "display/tilemap.h"
#include "editor/panel.h"
#include "treeview/treeview.h"
#include "widgets/gadget.h"

namespace editor {

class TreePanel : public Panel {
public:
    explicit TreePanel(Desk& ed) : ed_(ed) {}

    // Makes the panel's widgets under root; rows is how many rows it shows.
    void Build(widgets::gadget& root, int rows);
    // How many rows the panel shows.
    int Rows() const { return scroll->w; }
    // After a refresh: the scroll maximum; the tree is not left scrolled
    // past its end.
    void SetScrollMax(int max);
    int ScrollMax() const { return scroll->h; }
    // Puts a row of the tree at the panel's top.
    void ScrollTo(int row) { scroll->state = row; }
    // After the screen grid is drawn: paints the visible rows, takes the
    // click of the last pointer sample and draws the rows over the screen.
    void Draw() override;

    // ---- open to tests
    widgets::gadget* box = nullptr;     // holds the title, the bar and the rows
    widgets::gadget* title = nullptr;   // "chunk view"
    widgets::gadget* scroll = nullptr;
    widgets::gadget* panel = nullptr;   // the rows; the data view stands under it
    display::tilemap grid;              // the rows

private:
    Desk& ed_;
    TreeView view_;
    std::vector<std::weak_ptr<mesh::chunk>> missing_;  // of the last check
};

}  // namespace editor
