// The cell grid. Every cell holds a glyph (an index into the 16 x 16 tile
// set) and a foreground and a background palette index. A glyph or colour of
// 255 given to a writing operation keeps the cell's current value unless the
// force flag is set; a stored colour 255 is never painted.
//
// tmap holds three planes of tmapw x tmaph bytes, each row-major: glyphs,
// then foreground colours, then background colours.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace display {

class Display;

// The glyph that ends a text cut short where it ran out of room ('\xaf', a
// double angle quote in the tile set), so a cut name or number is never read
// as a whole one.
inline constexpr int kCutMark = 175;

class tilemap {
public:
    int32_t tmapw = 0;
    int32_t tmaph = 0;
    std::vector<uint8_t> tmap;
    int32_t transparentcolor = 9;  // never painted by Draw

    tilemap() = default;
    tilemap(int width, int height);  // every byte 0; negative sizes become 0

    static std::shared_ptr<tilemap> Create(int width, int height);

    // Copies the w x h block at (sx, sy) of source to (dx, dy) of destination,
    // columns outer and rows inner. A source cell outside the source grid
    // repeats the last values read (0, 0, 0 before the first). Overlapping
    // blocks in one grid go through an intermediate grid first.
    static int CopyRect(const tilemap& source, int sx, int sy, int w, int h, tilemap& destination, int dx,
                        int dy, int force);
    // The overlap test CopyRect uses; blocks that only touch count as
    // overlapping.
    static bool BlocksOverlap(int ax, int ay, int aw, int ah, int bx, int by, int bw, int bh);

    // Pastes the whole source grid at (x, y).
    int InsertMapImage(const tilemap& source, int x, int y, int force);
    // Writes the given components into every cell; does nothing and returns
    // 0 when all three are 255 and force is 0, else returns 1.
    int Fill(int glyph, int fg, int bg, int force);

    // Copies the cell's bytes to the outputs when the cell is inside the grid;
    // otherwise leaves them untouched. Returns 0.
    int GrabTile(int x, int y, uint8_t& glyph, uint8_t& fg, uint8_t& bg) const;
    // Writes the components that are not 255 (all with force); 1 when the
    // cell is inside the grid, 0 (and nothing written) otherwise.
    int SetTile(int x, int y, int glyph, int fg, int bg, int force);
    int SetTiles(int x, int y, int w, int h, int glyph, int fg, int bg, int force);

    // Writes text from (x, y) one cell per character. With colourcodes, "@"
    // toggles a code mode in which the characters read are digits of the
    // foreground colour (text-to-integer rule); "@@" returns to fg. With
    // linebreaks, character 255 goes to column x of the next row. Stops at
    // the first cell outside the grid and after maxchars characters examined
    // (negative: no limit). Returns 0.
    int InsertString(int x, int y, const std::string& text, int fg, int bg, int colourcodes, int force,
                     int linebreaks, int maxchars);
    // Cuts the text at fixed counts (first row up to width + 1 characters,
    // later rows up to width; also after character 255 with breakon255) and
    // writes row k at (x, y + k), at most maxlines rows (0 or less: no
    // limit). Returns 0.
    int InsertWrappedString(int x, int y, const std::string& text, int width, int maxlines, int fg, int bg,
                            int force, int breakon255);

    // Renders the vieww x viewh view whose top-left is cell (viewx, viewy)
    // with its top-left at window cell (x, y); -1 means the whole width or
    // height. Returns 0. (display/render.cpp)
    int Draw(Display& display, int x, int y, int viewx = 0, int viewy = 0, int vieww = -1, int viewh = -1) const;

    // Plane accessors for code that reads cells in bulk.
    uint8_t glyph(int x, int y) const { return tmap[Index(x, y)]; }
    uint8_t fg(int x, int y) const { return tmap[Plane() + Index(x, y)]; }
    uint8_t bg(int x, int y) const { return tmap[2 * Plane() + Index(x, y)]; }
    bool Inside(int x, int y) const { return x >= 0 && y >= 0 && x < tmapw && y < tmaph; }
    size_t Plane() const { return static_cast<size_t>(tmapw) * static_cast<size_t>(tmaph); }

private:
    size_t Index(int x, int y) const { return static_cast<size_t>(x) + static_cast<size_t>(y) * tmapw; }
};

}  // namespace display
