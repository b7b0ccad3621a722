// The inspector's hex mode: the selected chunk's bytes with their offsets,
// following the data cursor.
#include <algorithm>
#include <climits>

#include "display/palette.h"
#include "editor/panel.h"
#include "editor/inspector.h"

namespace editor {

namespace {

using namespace display::palette;

std::string Hex(int64_t v, int digits) {
    static const char* const kDigits = "0123456789ABCDEF";
    std::string s(static_cast<size_t>(digits), '0');
    for (int i = digits - 1; i >= 0 && v > 0; --i, v >>= 4) s[static_cast<size_t>(i)] = kDigits[v & 15];
    return s;
}

}  // namespace

void InspectorPanel::PaintHex() {
    const mesh::chunk& c = *ed_.doc.selchunk;
    const int64_t size = c.size;
    // Offset digits for the last offset; 16 bytes a row when the digits fit
    // beside them, and the glyphs beside the digits or on a line below.
    int digits = 4;
    while (digits < 8 && (int64_t(1) << (4 * digits)) < size) ++digits;
    hexbytes = digits + 1 + 32 <= grid.tmapw ? 16 : 8;
    hexlines = digits + 1 + 3 * hexbytes + 1 <= grid.tmapw ? 1 : 2;
    const int visible = (grid.tmaph - 1) / hexlines;
    const int64_t rows = (size + hexbytes - 1) / hexbytes;
    scroll->h = static_cast<int>(std::clamp<int64_t>(rows - visible, 0, INT_MAX));

    // The dump follows the data cursor.
    const int cursor = ed_.doc.datacursor;
    if (cursor != lastcursor_ && cursor >= 0) {
        const int64_t row = cursor / hexbytes;
        if (row < scroll->state || row >= scroll->state + visible)
            scroll->state = static_cast<int>(std::max<int64_t>(0, row - visible / 2));
    }
    lastcursor_ = cursor;
    scroll->state = std::clamp(scroll->state, 0, scroll->h);
    if (size == 0) {
        grid.InsertString(0, 1, "no data", kText, kPanel, 0, 1, 0, -1);
        return;
    }

    const int hx = digits + 1;                                   // first hex digit
    const int gx = hexlines == 1 ? hx + 2 * hexbytes + 1 : hx;   // first glyph
    uint8_t bytes[16];
    for (int r = 0; r < visible; ++r) {
        const int64_t first = (scroll->state + int64_t(r)) * hexbytes;
        if (first >= size) break;
        const int y = 1 + r * hexlines;
        const int n = static_cast<int>(c.readbytes(first, std::min<int64_t>(hexbytes, size - first), bytes));
        grid.InsertString(0, y, Hex(first, digits), kText, kLabel, 0, 1, 0, -1);
        for (int i = 0; i < n; ++i) {
            int bg = (i / 4) % 2 == 0 ? kMarked : kValue;
            if (first + i == cursor) bg = kCursor;
            const std::string pair = Hex(bytes[i], 2);
            grid.InsertString(hx + 2 * i, y, pair, kText, bg, 0, 1, 0, -1);
            if (hexlines == 1) {
                grid.SetTile(gx + i, y, bytes[i], kText, bg, 1);
            } else {
                // Under its two digits: the glyph, then a blank of the same colour.
                grid.SetTile(gx + 2 * i, y + 1, bytes[i], kText, bg, 1);
                grid.SetTile(gx + 2 * i + 1, y + 1, 0, kText, bg, 1);
            }
        }
    }
}

bool InspectorPanel::ByteCell(int64_t offset, int& x, int& y) const {
    if (!window || !ed_.doc.selchunk || offset < 0 || offset >= ed_.doc.selchunk->size) return false;
    int digits = 4;
    while (digits < 8 && (int64_t(1) << (4 * digits)) < ed_.doc.selchunk->size) ++digits;
    const int64_t r = offset / hexbytes - scroll->state;
    if (r < 0 || r >= (grid.tmaph - 1) / hexlines) return false;
    x = gx_ + digits + 1 + 2 * static_cast<int>(offset % hexbytes);
    y = gy_ + 1 + static_cast<int>(r) * hexlines;
    return true;
}

}  // namespace editor
