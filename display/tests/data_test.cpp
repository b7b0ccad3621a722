// The shipped display configuration, tile set and palette.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>

#include "display/display.h"
#include "host/headless_host.h"

namespace {

// Relative luminance contrast ratio of two palette entries.
double Contrast(const display::Display& d, int a, int b) {
    auto lum = [&](int i) {
        auto ch = [](int v) {
            double c = v / 255.0;
            return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * ch(d.Red(i)) + 0.7152 * ch(d.Green(i)) + 0.0722 * ch(d.Blue(i));
    };
    double x = lum(a), y = lum(b);
    return (std::max(x, y) + 0.05) / (std::min(x, y) + 0.05);
}

}  // namespace

TEST(ShippedData, ConfigurationTileSetAndPaletteLoad) {
    ASSERT_EQ(chdir(SOURCE_DIR), 0);  // the program runs from the project root
    host::HeadlessHost h;
    display::Display d(h);
    d.LoadDisplay("mdata/graphics.txt");
    EXPECT_GE(d.settings.width, 96);
    EXPECT_GE(d.settings.height, 60);
    EXPECT_GE(d.windoww, 1400);
    EXPECT_LE(d.windoww, 1600);
    EXPECT_LE(d.windowh, 1000);  // fits a 1080p screen with its panels

    // Every glyph cell: the background picture is exactly the complement of
    // the foreground picture; code 0 and the space have no glyph pixels, the
    // full block (219) has nothing else.
    ASSERT_TRUE(d.fgtiles && d.bgtiles);
    const host::PixelBuffer& fg = d.fgtiles->pixels;
    const host::PixelBuffer& bg = d.bgtiles->pixels;
    ASSERT_EQ(fg.width, bg.width);
    ASSERT_EQ(fg.height, bg.height);
    int mismatched = 0;
    for (size_t i = 0; i < fg.pixels.size(); i++)
        mismatched += ((fg.pixels[i] >> 24) >= 128) == ((bg.pixels[i] >> 24) >= 128);
    EXPECT_EQ(mismatched, 0);
    auto count = [&](int glyph) {
        int sx, sy, n = 0;
        d.fgtiles->FrameOrigin(glyph, sx, sy);
        for (int y = 0; y < d.tileh; y++)
            for (int x = 0; x < d.tilew; x++) n += (host::ReadPixel(fg, sx + x, sy + y) >> 24) >= 128;
        return n;
    };
    EXPECT_EQ(count(0), 0);
    EXPECT_EQ(count(32), 0);
    EXPECT_EQ(count(219), d.tilew * d.tileh);
    for (int g : {65, 186, 251, 30, 31, 4, 214, 183, 211, 189}) EXPECT_GT(count(g), 0) << g;

    // The interface's colour pairs stay readable.
    EXPECT_GE(Contrast(d, 0, 25), 7.0);   // text on panels
    EXPECT_GE(Contrast(d, 0, 28), 4.5);   // text on buttons and title bars
    EXPECT_GE(Contrast(d, 0, 22), 4.5);   // popup choices
    EXPECT_GE(Contrast(d, 0, 38), 4.5);   // text on the selected subtree
    EXPECT_GE(Contrast(d, 10, 25), 3.0);  // error mark
    EXPECT_GE(Contrast(d, 14, 25), 3.0);  // markers
    EXPECT_GE(Contrast(d, 1, 25), 3.0);   // disabled text still legible
}
