// Rendering grids into the window, and the line prompt.
#include <algorithm>
#include <vector>

#include "display/display.h"
#include "display/lineedit.h"
#include "display/tilemap.h"

namespace display {

int tilemap::Draw(Display& display, int x, int y, int viewx, int viewy, int vieww, int viewh) const {
    host::Host& host = display.host;
    const int s = display.settings.scale;
    const float cw = float(display.tilew) * s, ch = float(display.tileh) * s;

    if (vieww == -1) vieww = tmapw;
    if (viewh == -1) viewh = tmaph;
    vieww = std::min(vieww, tmapw);
    viewh = std::min(viewh, tmaph);
    const float ox = x * cw, oy = y * ch;
    viewx = std::min(std::max(viewx, 0), tmapw - vieww);
    viewy = std::min(std::max(viewy, 0), tmaph - viewh);

    // The view buffer: the same three planes as tmap, vieww cells a row.
    std::vector<uint8_t> view;
    if (vieww > 0 && viewh > 0) {
        const size_t cells = size_t(vieww) * size_t(viewh), plane = Plane();
        view.resize(cells * 3);
        for (int p = 0; p < 3; p++)
            for (int row = 0; row < viewh; row++) {
                const uint8_t* from = &tmap[p * plane + size_t(viewx) + size_t(viewy + row) * size_t(tmapw)];
                std::copy(from, from + vieww, &view[p * cells + size_t(row) * size_t(vieww)]);
            }
        host::GridView v;
        v.x = ox;
        v.y = oy;
        v.cols = vieww;
        v.rows = viewh;
        v.cellw = cw;
        v.cellh = ch;
        v.cells = view.data();
        v.transparent = transparentcolor;
        v.fgimage = display.fgtiles.get();
        v.bgimage = display.bgtiles.get();
        v.palette = display.palette;
        host.DrawGrid(v);
    }
    return 0;
}

namespace {

// The line prompt's loop: starts with text and returns on Enter (true) or,
// when escape is set, on Escape (false, text as it was).
bool RunLine(Display& display, const std::string& prompt, int colour, std::string& text, bool escape) {
    host::Host& host = display.host;
    tilemap bar(display.settings.width - 4, 1);
    bar.Fill(0, 0, 9, 0);
    std::string typed = text, cursor;
    host.ClearKeys();
    long frame = 0;
    for (;;) {
        host.ClearScreen();
        std::string previous = cursor;
        cursor = frame % 80 < 40 ? "_" : "";
        frame++;
        bar.Draw(display, 2, 2, 0, 0, -1, -1);

        if (escape && host.KeyPresses(host::kKeyEscape) > 0) {
            host.ClearKeys();
            return false;
        }
        const int c = host.NextTypedChar();
        const LineKey key = TypeInto(typed, c, LineChars::Prompt);
        std::string line = prompt + "@" + std::to_string(colour) + "@" + typed;
        if (key == LineKey::Enter) {
            host.ClearKeys();
            text = typed;
            return true;
        }
        if (c > 0) cursor.clear();
        std::string shown = line + "@@" + cursor;
        if (c > 0 || cursor != previous) {
            bar.Fill(0, 0, 255, 0);
            int column = bar.tmapw / 2 - static_cast<int>((shown.size() - cursor.size()) / 2);
            bar.InsertString(column, 0, shown, 0, 255, 1, 0, 1, -1);
        }
        host.ModalFlip();
    }
}

}  // namespace

std::string InputLine(Display& display, const std::string& prompt, int /*row*/, int colour) {
    std::string text;
    RunLine(display, prompt, colour, text, false);
    return text;
}

bool EditLine(Display& display, const std::string& prompt, int colour, std::string& text) {
    return RunLine(display, prompt, colour, text, true);
}

}  // namespace display
