// Rendering grids into the window, and the line prompt.
#include <algorithm>
#include <vector>

#include "display/display.h"
#include "display/tilemap.h"

namespace display {

int tilemap::Draw(Display& display, int x, int y, int viewx, int viewy, int vieww, int viewh) const {
    host::Host& host = display.host;
    const int s = display.settings.scale;
    const float cw = float(display.tilew) * s, ch = float(display.tileh) * s;
    host.SetDrawScale(float(s), float(s));

    if (vieww == -1) vieww = tmapw;
    if (viewh == -1) viewh = tmaph;
    vieww = std::min(vieww, tmapw);
    viewh = std::min(viewh, tmaph);
    const float ox = x * cw, oy = y * ch;
    viewx = std::min(std::max(viewx, 0), tmapw - vieww);
    viewy = std::min(std::max(viewy, 0), tmaph - viewh);

    // Cells never overlap, so the solid blocks, the background frames and
    // the foreground frames can go out as three runs, one texture each,
    // instead of one call per cell; the picture is the same as painting
    // cell by cell with the background before the foreground.
    std::vector<host::Quad> solid, back, fore;
    if (vieww > 0 && viewh > 0) {
        size_t cells = size_t(vieww) * size_t(viewh);
        solid.reserve(cells / 4);
        back.reserve(cells);
        fore.reserve(cells);
    }
    const size_t plane = Plane();
    const int transparent = transparentcolor;
    auto paintable = [transparent](int c) { return c != transparent && c != 255; };
    for (int col = 0; col < vieww; col++) {
        const float px = ox + col * cw;
        for (int row = 0; row < viewh; row++) {
            const size_t i = size_t(viewx + col) + size_t(viewy + row) * size_t(tmapw);
            const int g = tmap[i], f = tmap[plane + i], b = tmap[2 * plane + i];
            const float py = oy + row * ch;
            if (f == b) {
                if (paintable(f))
                    solid.push_back({px, py, cw, ch, nullptr, 0, display.Red(f), display.Green(f), display.Blue(f)});
                continue;
            }
            if (paintable(b) && display.bgtiles)
                back.push_back({px, py, cw, ch, display.bgtiles.get(), g, display.Red(b), display.Green(b),
                                display.Blue(b)});
            if (paintable(f) && display.fgtiles)
                fore.push_back({px, py, cw, ch, display.fgtiles.get(), g, display.Red(f), display.Green(f),
                                display.Blue(f)});
        }
    }
    if (!solid.empty()) host.DrawQuads(solid.data(), solid.size());
    if (!back.empty()) host.DrawQuads(back.data(), back.size());
    if (!fore.empty()) host.DrawQuads(fore.data(), fore.size());
    host.SetDrawScale(1, 1);
    return 0;
}

std::string InputLine(Display& display, const std::string& prompt, int /*row*/, int colour) {
    host::Host& host = display.host;
    tilemap bar(display.settings.width - 4, 1);
    bar.Fill(0, 0, 9, 0);
    std::string typed, cursor;
    host.ClearKeys();
    long frame = 0;
    for (;;) {
        host.ClearScreen();
        std::string previous = cursor;
        cursor = frame % 80 < 40 ? "_" : "";
        frame++;
        bar.Draw(display, 2, 2, 0, 0, -1, -1);

        int c = host.NextTypedChar();
        if (c > 0 && c < 256 && kInputLineChars.find(static_cast<char>(c)) != std::string::npos)
            typed += static_cast<char>(c);
        if (c == 8 && !typed.empty()) typed.pop_back();
        std::string line = prompt + "@" + std::to_string(colour) + "@" + typed;
        if (c == 13) {
            host.ClearKeys();
            return typed;
        }
        if (c > 0) cursor.clear();
        std::string shown = line + "@@" + cursor;
        if (c > 0 || cursor != previous) {
            bar.Fill(0, 0, 255, 0);
            int column = bar.tmapw / 2 - static_cast<int>((shown.size() - cursor.size()) / 2);
            bar.InsertString(column, 0, shown, 0, 255, 1, 0, 1, -1);
        }
        host.Flip(-1);
        if (host.CloseRequested()) host.EndProgram();
    }
}

}  // namespace display
