// The cell grid: glyph and colours per cell, and the writing operations on it.
#include "display/tilemap.h"

#include <algorithm>

#include "display/textint.h"

namespace display {

tilemap::tilemap(int width, int height)
    : tmapw(std::max(0, width)), tmaph(std::max(0, height)), tmap(Plane() * 3, 0) {}

std::shared_ptr<tilemap> tilemap::Create(int width, int height) {
    return std::make_shared<tilemap>(width, height);
}

int tilemap::SetTile(int x, int y, int glyph, int fg, int bg, int force) {
    if (!Inside(x, y)) return 0;
    size_t i = Index(x, y), plane = Plane();
    uint8_t g = static_cast<uint8_t>(glyph), f = static_cast<uint8_t>(fg), b = static_cast<uint8_t>(bg);
    if (force || g != 255) tmap[i] = g;
    if (force || f != 255) tmap[plane + i] = f;
    if (force || b != 255) tmap[2 * plane + i] = b;
    return 1;
}

int tilemap::GrabTile(int x, int y, uint8_t& glyph, uint8_t& fg, uint8_t& bg) const {
    if (!Inside(x, y)) return 0;
    size_t i = Index(x, y), plane = Plane();
    glyph = tmap[i];
    fg = tmap[plane + i];
    bg = tmap[2 * plane + i];
    return 0;
}

int tilemap::SetTiles(int x, int y, int w, int h, int glyph, int fg, int bg, int force) {
    // Only the part inside the grid can change; clipping first keeps a huge
    // rectangle cheap.
    int x0 = std::max(x, 0), y0 = std::max(y, 0);
    int64_t x1 = std::min<int64_t>(int64_t(x) + w, tmapw), y1 = std::min<int64_t>(int64_t(y) + h, tmaph);
    for (int i = x0; i < x1; i++)
        for (int j = y0; j < y1; j++) SetTile(i, j, glyph, fg, bg, force);
    return 0;
}

int tilemap::Fill(int glyph, int fg, int bg, int force) {
    uint8_t g = static_cast<uint8_t>(glyph), f = static_cast<uint8_t>(fg), b = static_cast<uint8_t>(bg);
    if (g == 255 && f == 255 && b == 255 && !force) return 0;
    size_t plane = Plane();
    if (force || g != 255) std::fill(tmap.begin(), tmap.begin() + plane, g);
    if (force || f != 255) std::fill(tmap.begin() + plane, tmap.begin() + 2 * plane, f);
    if (force || b != 255) std::fill(tmap.begin() + 2 * plane, tmap.end(), b);
    return 1;
}

bool tilemap::BlocksOverlap(int ax, int ay, int aw, int ah, int bx, int by, int bw, int bh) {
    // 64-bit differences: coordinates near the int limits must not overflow.
    int64_t AX = ax, AY = ay, AW = aw, AH = ah, BX = bx, BY = by, BW = bw, BH = bh;
    if (AX < BX && AW < BX - AX) return false;
    if (BX < AX && BW < AX - BX) return false;
    if (AY < BY && AH < BY - AY) return false;
    return BY >= AY || BH >= AY - BY;
}

int tilemap::CopyRect(const tilemap& source, int sx, int sy, int w, int h, tilemap& destination, int dx, int dy,
                      int force) {
    if (&source == &destination && BlocksOverlap(sx, sy, w, h, dx, dy, w, h)) {
        tilemap middle(w, h);
        CopyRect(source, sx, sy, w, h, middle, 0, 0, force);
        return CopyRect(middle, 0, 0, w, h, destination, dx, dy, force);
    }
    uint8_t g = 0, f = 0, b = 0;  // carried over from cell to cell
    for (int i = 0; i < w; i++)
        for (int j = 0; j < h; j++) {
            source.GrabTile(sx + i, sy + j, g, f, b);
            destination.SetTile(dx + i, dy + j, g, f, b, force);
        }
    return 0;
}

int tilemap::InsertMapImage(const tilemap& source, int x, int y, int force) {
    return CopyRect(source, 0, 0, source.tmapw, source.tmaph, *this, x, y, force);
}

int tilemap::InsertString(int x, int y, const std::string& text, int fg, int bg, int colourcodes, int force,
                          int linebreaks, int maxchars) {
    int column = x;
    int colour = fg;
    bool codemode = false;
    std::string digits;
    int examined = 0;
    for (unsigned char c : text) {
        if (examined == maxchars) break;
        examined++;
        if (c == '@' && colourcodes) {
            codemode = !codemode;
            if (codemode) colour = fg;
        } else if (c == 255 && linebreaks) {
            column = x;
            y++;
        } else if (codemode && colourcodes) {
            digits += static_cast<char>(c);
            colour = TextToInt(digits) & 255;
        } else {
            digits.clear();
            if (!SetTile(column, y, c, colour, bg, force)) break;
            column++;
        }
    }
    return 0;
}

int tilemap::InsertWrappedString(int x, int y, const std::string& text, int width, int maxlines, int fg, int bg,
                                 int force, int breakon255) {
    size_t p = 0;
    int n = 0, k = 0;
    std::string segment;
    while (p < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[p]);
        segment += text[p];
        p++;
        if (n >= width || (c == 255 && breakon255) || p >= text.size()) {
            n = 0;
            InsertString(x, y + k, segment, fg, bg, 0, force, 0, -1);
            segment.clear();
            k++;
            if (k == maxlines) break;
        }
        n++;
    }
    return 0;
}

}  // namespace display
