// Rendering grids through the headless host, checked pixel by pixel, and the
// line prompt.
#include <gtest/gtest.h>

#include "display/display.h"
#include "display/tests/fixture.h"
#include "display/tilemap.h"
#include "host/headless_host.h"

using namespace testdata;
using display::tilemap;

namespace {

// 4 x 4 tiles: a cell's left two pixel columns show its foreground colour,
// the right two its background colour.
struct RenderTest : ::testing::Test {
    host::HeadlessHost h;
    display::Display d{h};
    static constexpr uint32_t kCleared = 0x000000;

    void Load(int width, int height, int scale) {
        std::string tiles = WriteTileSet("r4", 4, 4);
        std::string pal = WritePalette("rpal.png");
        std::string cfg = TmpPath("render.txt");
        WriteText(cfg, "width " + std::to_string(width) + "\nheight " + std::to_string(height) + "\nscale " +
                           std::to_string(scale) + "\ntileset " + tiles + "\npalette " + pal + "\n");
        d.LoadDisplay(cfg);
        h.ClearScreen();
    }
    // Colour of the left (foreground) and right (background) part of a window cell.
    uint32_t Left(int cx, int cy) { return h.Pixel(cx * d.CellPixelWidth(), cy * d.CellPixelHeight()); }
    uint32_t Right(int cx, int cy) {
        return h.Pixel((cx + 1) * d.CellPixelWidth() - 1, (cy + 1) * d.CellPixelHeight() - 1);
    }
};

}  // namespace

TEST_F(RenderTest, CellsShowGlyphColoursSolidBlocksAndSkipUnpaintable) {
    Load(10, 5, 1);
    tilemap t(4, 2);
    t.Fill(65, 1, 2, 1);
    t.SetTile(1, 0, 200, 4, 4, 1);    // same colours: a solid block
    t.SetTile(2, 0, 65, 5, 9, 1);     // background transparent
    t.SetTile(3, 0, 65, 255, 6, 1);   // foreground 255
    t.SetTile(0, 1, 65, 9, 9, 1);     // both transparent: nothing painted
    t.SetTile(1, 1, 65, 255, 255, 1);
    t.Draw(d, 1, 2, 0, 0, -1, -1);
    EXPECT_EQ(Left(1, 2), PaletteRgb(1));
    EXPECT_EQ(Right(1, 2), PaletteRgb(2));
    EXPECT_EQ(Left(2, 2), PaletteRgb(4));
    EXPECT_EQ(Right(2, 2), PaletteRgb(4));
    EXPECT_EQ(Left(3, 2), PaletteRgb(5));
    EXPECT_EQ(Right(3, 2), kCleared);
    EXPECT_EQ(Left(4, 2), kCleared);
    EXPECT_EQ(Right(4, 2), PaletteRgb(6));
    EXPECT_EQ(Left(1, 3), kCleared);
    EXPECT_EQ(Right(1, 3), kCleared);
    EXPECT_EQ(Left(2, 3), kCleared);
    EXPECT_EQ(Left(0, 2), kCleared);  // nothing left of the drawn position
    EXPECT_EQ(h.Pixel(0, 0), kCleared);
    EXPECT_LE(h.draw_calls, 3);       // batched, not a call per cell

    // Another transparent colour: 9 paints, 2 does not.
    tilemap u(1, 1);
    u.transparentcolor = 2;
    u.SetTile(0, 0, 65, 9, 2, 1);
    u.Draw(d, 0, 0);
    EXPECT_EQ(Left(0, 0), PaletteRgb(9));
    EXPECT_EQ(Right(0, 0), kCleared);
}

TEST_F(RenderTest, ViewIsClampedToTheGrid) {
    Load(10, 5, 1);
    tilemap t(10, 3);
    for (int x = 0; x < 10; x++) t.SetTiles(x, 0, 1, 3, 0, 20 + x, 20 + x, 1);
    t.SetTiles(0, 2, 10, 1, 0, 50, 50, 1);
    // The view is the full width, so viewx 5 is lowered to 0.
    t.Draw(d, 0, 0, 5, 0, -1, 1);
    EXPECT_EQ(Left(0, 0), PaletteRgb(20));
    EXPECT_EQ(Left(9, 0), PaletteRgb(29));
    EXPECT_EQ(Left(0, 1), kCleared);  // one row only
    h.ClearScreen();
    // A partial view from column 7 (3 wide) and row 2, then an oversized one.
    t.Draw(d, 0, 0, 7, 2, 3, 1);
    EXPECT_EQ(Left(0, 0), PaletteRgb(50));
    h.ClearScreen();
    t.Draw(d, 0, 0, 8, -4, 3, 2);  // viewx lowered to 7, viewy raised to 0
    EXPECT_EQ(Left(0, 0), PaletteRgb(27));
    EXPECT_EQ(Left(2, 1), PaletteRgb(29));
    EXPECT_EQ(Left(3, 0), kCleared);
    h.ClearScreen();
    t.Draw(d, 0, 0, 0, 0, 50, 50);  // cut to the grid
    EXPECT_EQ(Left(9, 2), PaletteRgb(50));
    EXPECT_EQ(Left(0, 3), kCleared);
    t.Draw(d, 0, 0, 0, 0, 0, 0);    // empty view draws nothing and does not fail
}

TEST_F(RenderTest, ScaleEnlargesCellsAndIsResetAfterwards) {
    Load(6, 3, 2);
    EXPECT_EQ(h.WindowWidth(), 48);
    tilemap t(2, 1);
    t.SetTile(0, 0, 1, 3, 7, 1);
    t.SetTile(1, 0, 1, 12, 12, 1);
    t.Draw(d, 1, 1);
    // Cell (1, 1) covers pixels 8..15 x 8..15: 4 columns of fg, then bg.
    EXPECT_EQ(h.Pixel(8, 8), PaletteRgb(3));
    EXPECT_EQ(h.Pixel(11, 15), PaletteRgb(3));
    EXPECT_EQ(h.Pixel(12, 8), PaletteRgb(7));
    EXPECT_EQ(h.Pixel(15, 15), PaletteRgb(7));
    EXPECT_EQ(h.Pixel(16, 16), kCleared);
    EXPECT_EQ(h.Pixel(23, 15), PaletteRgb(12));
}

TEST_F(RenderTest, InputLineEditsAndReturnsOnEnter) {
    Load(20, 5, 1);
    h.Type("junk");  // flushed when the prompt starts
    h.OnFrame(1, [](host::HeadlessHost& x) { x.Type(std::string("\b a,") + char(200)); });
    h.OnFrame(6, [](host::HeadlessHost& x) { x.Type("bc\b"); });
    h.OnFrame(12, [](host::HeadlessHost& x) {
        x.Type("\r");
        x.PressKey(host::kKeyEnter);
    });
    h.SetFrameLimit(100);
    EXPECT_EQ(display::InputLine(d, "Name:", 7, 14), "a,b");
    EXPECT_EQ(h.KeyPresses(host::kKeyEnter), 0);  // flushed on return
    EXPECT_GE(h.flips, 12);
}

TEST_F(RenderTest, InputLineShowsPromptAndTypedTextCentredInTheBar) {
    Load(20, 5, 1);
    // Bar of 16 cells at window cell (2, 2); "P@3@xy@@" has 8 characters
    // (codes included), so the text starts at column 8 - 4 = 4 of the bar.
    h.OnFrame(1, [](host::HeadlessHost& x) { x.Type("xy"); });
    h.OnFrame(4, [&](host::HeadlessHost& x) {
        // The bar is drawn before the frame's key is read, so the text
        // typed by frame 3 shows in frame 4.
        EXPECT_EQ(Left(2 + 4, 2), PaletteRgb(0));   // "P" in colour 0
        EXPECT_EQ(Left(2 + 5, 2), PaletteRgb(3));   // "x" in the given colour
        EXPECT_EQ(Left(2 + 6, 2), PaletteRgb(3));   // "y"
        EXPECT_EQ(Right(2 + 5, 2), kCleared);       // background 9 is transparent
        x.Type("\r");
    });
    h.SetFrameLimit(50);
    EXPECT_EQ(display::InputLine(d, "P", 0, 3), "xy");
}

TEST_F(RenderTest, InputLineEndsTheProgramWhenTheWindowIsClosed) {
    Load(20, 5, 1);
    h.OnFrame(2, [](host::HeadlessHost& x) { x.RequestClose(); });
    h.SetFrameLimit(50);
    EXPECT_THROW(display::InputLine(d, "Name:", 0, 14), host::ProgramEnded);
    EXPECT_EQ(h.Frames(), 2);
}

TEST_F(RenderTest, EditLineStartsWithTheTextAndEscapeLeavesIt) {
    Load(20, 5, 1);
    h.OnFrame(1, [](host::HeadlessHost& x) { x.Type("\bX\r"); });
    h.SetFrameLimit(100);
    std::string text = "MODL";
    EXPECT_TRUE(display::EditLine(d, "Name:", 14, text));
    EXPECT_EQ(text, "MODX");

    h.OnFrame(h.Frames() + 2, [](host::HeadlessHost& x) {
        x.Type("ab");
        x.PressKey(host::kKeyEscape);
    });
    EXPECT_FALSE(display::EditLine(d, "Name:", 14, text));
    EXPECT_EQ(text, "MODX");
    EXPECT_EQ(h.KeyPresses(host::kKeyEscape), 0);
}
