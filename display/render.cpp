// Rendering grids into the window, and the line prompt.
#include <algorithm>
#include <vector>

#include "display/display.h"
#include "display/lineedit.h"
#include "display/palette.h"
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

void PaintLineEdit(tilemap& grid, int x, int y, int w, const LineEdit& line, long frame, int colour) {
    namespace pal = palette;
    if (w < 1) return;
    // The caret stays in view: the line scrolls by what runs past the right.
    const std::string& text = line.Text();
    const size_t caret = line.Caret();
    const size_t first = caret + 1 > size_t(w) ? caret + 1 - size_t(w) : 0;
    const bool all = line.AllSelected();
    grid.SetTiles(x, y, w, 1, 0, colour, all ? pal::kText : pal::kScreen, 1);
    grid.InsertString(x, y, text.substr(first, size_t(w)), all ? pal::kScreen : colour,
                      all ? pal::kText : pal::kScreen, 0, 1, 0, -1);
    // The caret: its cell drawn inverted, blinking.
    if (!all && frame % 40 < 28) {
        const int cx = x + static_cast<int>(caret - first);
        uint8_t g = 0, f = 0, b = 0;
        grid.GrabTile(cx, y, g, f, b);
        grid.SetTile(cx, y, g, pal::kScreen, pal::kText, 1);
    }
}

bool EditLine(Display& display, const std::string& prompt, int colour, std::string& text, LineChars set) {
    namespace pal = palette;
    host::Host& host = display.host;
    tilemap bar(std::max(1, display.settings.width - 4), 2);
    LineEdit line(text, set);
    const int promptw = std::min(static_cast<int>(prompt.size()), bar.tmapw / 2);
    host.ClearKeys();
    for (long frame = 0;; ++frame) {
        if (host.KeyPresses(host::kKeyEscape) > 0) {
            host.ClearKeys();
            return false;
        }
        line.Keys(host);
        // Every character typed since the last frame, so a paste through
        // the window system is quick.
        for (int c = host.NextTypedChar(); c != 0; c = host.NextTypedChar()) {
            if (line.Type(c) != LineKey::Enter) continue;
            host.ClearKeys();
            text = line.Text();
            return true;
        }
        host.ClearScreen();
        bar.Fill(0, pal::kText, pal::kPanel, 1);
        bar.InsertString(0, 0, prompt.substr(0, size_t(promptw)), pal::kText, pal::kPanel, 0, 1, 0, -1);
        PaintLineEdit(bar, promptw, 0, bar.tmapw - promptw, line, frame, colour);
        const std::string help = line.Refused().empty()
                                     ? "Enter: accept  Escape: cancel  Home, End  Control+A: all  Control+V: paste"
                                     : line.Refused();
        bar.InsertString(0, 1, help.substr(0, size_t(bar.tmapw)), line.Refused().empty() ? pal::kLabel : pal::kText,
                         line.Refused().empty() ? pal::kPanel : pal::kFlagged, 0, 1, 0, -1);
        bar.Draw(display, 2, 2, 0, 0, -1, -1);
        host.ModalFlip();
    }
}

}  // namespace display
