// The model list under the chunk actions: the MODL chunks of the mesh in tree
// order, one a row, the selected one shown inverted. A click on a row selects
// its model (Editor::Reveal); the pointer over a row names the model
// (Editor::HintModel).
#pragma once

#include <vector>

#include "display/tilemap.h"
#include "editor/panel.h"
#include "mesh/chunk.h"
#include "widgets/gadget.h"

namespace editor {

class ModelListPanel : public Panel {
public:
    explicit ModelListPanel(Desk& ed) : ed_(ed) {}

    // Makes the "modl view" title and the anchor of the rows inside the chunk
    // actions window, and the scroll bar under root; rows is how many rows
    // the list shows.
    void Build(widgets::gadget& actions, widgets::gadget& root, int rows);
    // How many rows the list shows.
    int Rows() const { return scroll->w; }
    // After a refresh: the models in tree order and the scroll maximum; the
    // list is not left scrolled past its end.
    void SetModels(std::vector<mesh::chunkptr> list, int scrollmax);
    // Before the widgets are drawn: paints the rows and takes the hover and
    // the click of the last pointer sample.
    void View(display::tilemap& screen) override;
    // After the widgets are drawn: pastes the rows into the screen.
    void Paste(display::tilemap& screen) override;

    // ---- open to tests
    widgets::gadget* view = nullptr;    // the "modl view" title
    widgets::gadget* anchor = nullptr;  // the top-left cell of the rows
    widgets::gadget* scroll = nullptr;
    display::tilemap grid;              // the rows
    std::vector<mesh::chunkptr> models; // in tree order

private:
    Desk& ed_;
    bool placed_ = false;  // the rows have been placed by a first draw
};

}  // namespace editor
