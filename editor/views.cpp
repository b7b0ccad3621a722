// The views of the editor: the data view with its byte picker, and the
// readouts. They paint their grids once a frame and turn clicks into
// selections; changes of the mesh go through commands.
#include <algorithm>
#include <climits>
#include <cmath>

#include "display/palette.h"
#include "editor/dataview.h"
#include "editor/editor.h"
#include "editor/inspector.h"
#include "editor/modellist.h"
#include "editor/treepanel.h"

namespace editor {

namespace pal = display::palette;

// ---- data view -------------------------------------------------------------

void Editor::DataView() {
    st.dataat = doc.datacursor;
    if (!doc.selchunk) {
        doc.datacursor = kNoCursor;
        return;
    }
    mesh::chunk& c = *doc.selchunk;
    if (doc.datacursor >= c.size) doc.datacursor = kNoCursor;

    const int px = tree->panel->dx;
    const int py = tree->panel->dy + tree->Rows() + 3;
    const int scroll = w.datascroll->state;
    int b = kNoCursor;  // the hovered byte among those shown, or none
    if (ui.mx >= px && ui.mx < px + 16 && ui.my >= py && ui.my < py + 8) {
        b = (ui.mx - px) + 16 * (ui.my - py);
        st.dataat = b + 16 * scroll;
        if (ui.Released(1)) doc.datacursor = st.dataat;
    }

    // Paint the visible bytes.
    uint8_t bytes[128] = {};
    const int64_t first = 16 * static_cast<int64_t>(scroll);
    const int64_t count = first < c.size ? std::min<int64_t>(128, c.size - first) : 0;
    if (count > 0) c.readbytes(first, count, bytes);
    for (int i = 0; i < count; ++i) {
        const int64_t idx = first + i;
        int bg = (i / 4) % 2 == 0 ? w.datascroll->bordercolor : pal::kByteGroup;
        if (idx - doc.datacursor >= 0 && idx - doc.datacursor < 4) bg = pal::kCursor;
        if (i - b >= 0 && i - b < 4) bg = pal::kHover;
        g.datagrid.SetTile(i % 16, i / 16, bytes[i], pal::kText, bg, 0);
    }
    w.datascroll->h = std::max(0, static_cast<int>(std::ceil(c.size / 16.0)) - 8);

    if (doc.datacursor >= c.size) doc.datacursor = kNoCursor;

    // Byte picker.
    const int tx = w.tableanchor->dx, ty = w.tableanchor->dy;
    if (ui.mx >= tx && ui.mx < tx + 16 && ui.my >= ty && ui.my < ty + 16) {
        const int v = (((ui.mx - tx) + 16 * (ui.my - ty)) % 256 + 256) % 256;
        g.byteoverlay.SetTile(ui.mx - tx, ui.my - ty, v, pal::kKeep, w.tableanchor->bordercolor, 0);
        if (ui.Released(1)) {
            st.pickedbyte = v;
            Execute("pick byte");
        }
    }
}

void Editor::Readouts() {
    // Under the model list's rows, as wide as they and their scroll bar.
    const int x0 = modellist->anchor->dx;
    const int y0 = modellist->anchor->dy + modellist->grid.tmaph + 1;
    const int n = layout.T - y0 - 1;
    g.screen.SetTiles(x0, y0, modellist->grid.tmapw + 1, n, 0, pal::kText, pal::kPanel, 0);
    g.screen.SetTiles(x0, y0, 4, n, 0, pal::kText, pal::kLabel, 0);
    if (st.dataat < 0 || !doc.selchunk || doc.selchunk->size == 0) return;

    const mesh::chunk& c = *doc.selchunk;
    std::vector<std::string> lines = ReadoutLines(c, st.dataat);
    for (size_t i = 0; i < lines.size(); ++i)
        g.screen.InsertString(x0, y0 + static_cast<int>(i), lines[i], pal::kKeep, pal::kKeep, 0, 0, 0, -1);
    if (st.dataat < c.size) {
        const int v = c.readbyte(st.dataat);
        if (v >= 0) g.byteoverlay.SetTile(v % 16, v / 16, pal::kKeep, pal::kText, pal::kCursor, 0);
    }
}

void Editor::ShowInDataView(int64_t offset) {
    widgets::gadget* ds = w.datascroll;
    const int64_t row = offset / 16;
    if (row < ds->state || row >= ds->state + 8) ds->state = static_cast<int>(std::min<int64_t>(row, INT_MAX));
}

}  // namespace editor
