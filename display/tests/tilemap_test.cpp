// The cell grid's writing and reading operations.
#include <gtest/gtest.h>

#include "display/textint.h"
#include "display/tilemap.h"

using display::tilemap;

namespace {

struct Cell {
    int g, f, b;
    bool operator==(const Cell&) const = default;
};

Cell At(const tilemap& t, int x, int y) { return {t.glyph(x, y), t.fg(x, y), t.bg(x, y)}; }

std::string Row(const tilemap& t, int y) {
    std::string s;
    for (int x = 0; x < t.tmapw; x++) s += static_cast<char>(t.glyph(x, y) ? t.glyph(x, y) : '.');
    return s;
}

}  // namespace

TEST(Tilemap, CreateLaysOutThreePlanes) {
    auto t = tilemap::Create(4, 3);
    EXPECT_EQ(t->tmap.size(), 36u);
    EXPECT_EQ(t->transparentcolor, 9);
    t->SetTile(1, 2, 10, 20, 30, 0);
    EXPECT_EQ(t->tmap[1 + 2 * 4], 10);
    EXPECT_EQ(t->tmap[12 + 1 + 2 * 4], 20);
    EXPECT_EQ(t->tmap[24 + 1 + 2 * 4], 30);
    EXPECT_EQ(tilemap::Create(-3, 2)->tmap.size(), 0u);
}

TEST(Tilemap, SetTileKeepsOn255UnlessForcedAndRefusesOutside) {
    tilemap t(5, 3);
    t.SetTile(3, 1, 66, 7, 0, 1);
    EXPECT_EQ(t.SetTile(3, 1, 65, 255, 4, 0), 1);
    EXPECT_EQ(At(t, 3, 1), (Cell{65, 7, 4}));
    t.SetTile(3, 1, 66, 7, 0, 1);
    t.SetTile(3, 1, 65, 255, 4, 1);
    EXPECT_EQ(At(t, 3, 1), (Cell{65, 255, 4}));

    std::vector<uint8_t> before = t.tmap;
    EXPECT_EQ(t.SetTile(5, 0, 1, 1, 1, 1), 0);
    EXPECT_EQ(t.SetTile(0, -1, 1, 1, 1, 1), 0);
    EXPECT_EQ(t.tmap, before);

    uint8_t g = 11, f = 12, b = 13;
    t.GrabTile(-1, 0, g, f, b);
    EXPECT_EQ((Cell{g, f, b}), (Cell{11, 12, 13}));
    t.GrabTile(3, 1, g, f, b);
    EXPECT_EQ((Cell{g, f, b}), (Cell{65, 255, 4}));
}

TEST(Tilemap, FillAndSetTiles) {
    tilemap t(4, 4);
    std::vector<uint8_t> before = t.tmap;
    EXPECT_EQ(t.Fill(255, 255, 255, 0), 0);
    EXPECT_EQ(t.tmap, before);
    EXPECT_EQ(t.Fill(255, 255, 255, 1), 1);
    EXPECT_EQ(t.tmap, std::vector<uint8_t>(48, 255));
    EXPECT_EQ(t.Fill(1, 255, 3, 0), 1);
    EXPECT_EQ(At(t, 2, 2), (Cell{1, 255, 3}));

    t.SetTiles(-1, 2, 3, 5, 7, 8, 255, 0);  // hangs off the left and the bottom
    EXPECT_EQ(At(t, 0, 2), (Cell{7, 8, 3}));
    EXPECT_EQ(At(t, 1, 3), (Cell{7, 8, 3}));
    EXPECT_EQ(At(t, 2, 3), (Cell{1, 255, 3}));
    EXPECT_EQ(At(t, 0, 1), (Cell{1, 255, 3}));
}

TEST(Tilemap, InsertStringColourCodesLineBreaksAndLimits) {
    tilemap t(10, 3);
    t.InsertString(0, 0, "A@3@B@@C", 7, 0, 1, 0, 0, -1);
    EXPECT_EQ(At(t, 0, 0), (Cell{'A', 7, 0}));
    EXPECT_EQ(At(t, 1, 0), (Cell{'B', 3, 0}));
    EXPECT_EQ(At(t, 2, 0), (Cell{'C', 7, 0}));
    EXPECT_EQ(At(t, 3, 0), (Cell{0, 0, 0}));

    // Two codes with no character between them concatenate their digits.
    t.InsertString(0, 1, "@1@@2@X", 5, 0, 1, 0, 0, -1);
    EXPECT_EQ(At(t, 0, 1), (Cell{'X', 12, 0}));
    // A code beyond a byte wraps.
    t.InsertString(1, 1, "@300@Y", 5, 0, 1, 0, 0, -1);
    EXPECT_EQ(At(t, 1, 1), (Cell{'Y', 300 % 256, 0}));

    tilemap u(10, 3);
    u.InsertString(0, 0, "a@b", 1, 2, 0, 0, 0, -1);  // codes off: @ is a glyph
    EXPECT_EQ(u.glyph(1, 0), 64);
    tilemap v(10, 3);
    v.InsertString(0, 0, "@3@AB", 1, 2, 1, 0, 0, 3);
    EXPECT_EQ(v.tmap, tilemap(10, 3).tmap);  // three code characters examined, nothing drawn
    v.InsertString(0, 0, "xyz", 1, 2, 0, 0, 0, 0);
    EXPECT_EQ(Row(v, 0), "..........");

    tilemap w(10, 3);
    w.InsertString(8, 0, "abcd", 1, 2, 0, 0, 0, -1);  // cut at the edge
    EXPECT_EQ(Row(w, 0), "........ab");
    std::string broken = std::string("ab") + char(255) + "cd";
    w.InsertString(3, 1, broken, 1, 2, 0, 0, 1, -1);
    EXPECT_EQ(Row(w, 1), "...ab.....");
    EXPECT_EQ(Row(w, 2), "...cd.....");
    // Without line breaks, 255 is a glyph: under force 0 it keeps the glyph
    // but still sets the colours.
    w.InsertString(3, 1, broken, 6, 4, 0, 0, 0, -1);
    EXPECT_EQ(At(w, 5, 1), (Cell{0, 6, 4}));
    // Text that runs off the right edge stops there, following lines included.
    tilemap z(4, 3);
    z.InsertString(2, 0, std::string("abc") + char(255) + "de", 1, 2, 0, 0, 1, -1);
    EXPECT_EQ(Row(z, 0), "..ab");
    EXPECT_EQ(Row(z, 1), "....");
}

TEST(Tilemap, InsertWrappedStringCutsAtFixedCounts) {
    tilemap t(12, 5);
    t.InsertWrappedString(0, 0, "abcdefghij", 3, 0, 1, 2, 0, 0);
    EXPECT_EQ(Row(t, 0), "abcd........");
    EXPECT_EQ(Row(t, 1), "efg.........");
    EXPECT_EQ(Row(t, 2), "hij.........");
    tilemap u(12, 5);
    u.InsertWrappedString(1, 1, "abcdefghij", 3, 2, 1, 2, 0, 0);  // two lines at most
    EXPECT_EQ(Row(u, 2), ".efg........");
    EXPECT_EQ(Row(u, 3), "............");
    tilemap v(12, 5);
    v.InsertWrappedString(0, 0, std::string("ab") + char(255) + "cdef", 10, 0, 1, 2, 0, 1);
    EXPECT_EQ(v.glyph(0, 0), 'a');
    EXPECT_EQ(v.fg(2, 0), 1);  // the break stays at the end of its segment (a kept glyph)
    EXPECT_EQ(v.fg(3, 0), 0);
    EXPECT_EQ(Row(v, 1), "cdef........");
}

TEST(Tilemap, CopyRectCarriesValuesAndHandlesOverlap) {
    tilemap src(3, 2);
    for (int x = 0; x < 3; x++)
        for (int y = 0; y < 2; y++) src.SetTile(x, y, 10 * x + y, 1, 2, 1);
    tilemap dst(6, 3);
    tilemap::CopyRect(src, 1, 0, 4, 2, dst, 0, 0, 0);  // columns 3 and 4 hang off the source
    EXPECT_EQ(At(dst, 0, 0).g, 10);
    EXPECT_EQ(At(dst, 1, 1).g, 21);
    EXPECT_EQ(At(dst, 2, 0).g, 21);  // the last cell read inside the source
    EXPECT_EQ(At(dst, 3, 1).g, 21);
    EXPECT_EQ(At(dst, 4, 0), (Cell{0, 0, 0}));  // outside the copied block

    // A source block wholly outside gives zeros at the first cell.
    tilemap d2(2, 2);
    d2.Fill(5, 5, 5, 0);
    tilemap::CopyRect(src, 7, 7, 1, 1, d2, 0, 0, 1);
    EXPECT_EQ(At(d2, 0, 0), (Cell{0, 0, 0}));

    // Overlapping copy inside one grid with force 1 equals copying from an
    // untouched copy.
    tilemap g(6, 1);
    for (int x = 0; x < 6; x++) g.SetTile(x, 0, x + 1, x + 1, x + 1, 1);
    tilemap expected = g;
    tilemap untouched = g;
    tilemap::CopyRect(untouched, 0, 0, 4, 1, expected, 2, 0, 1);
    tilemap::CopyRect(g, 0, 0, 4, 1, g, 2, 0, 1);
    EXPECT_EQ(g.tmap, expected.tmap);
    EXPECT_EQ(Row(g, 0), std::string("\x01\x02\x01\x02\x03\x04"));
    // With force 0 a 255 travels through the fresh intermediate grid as 0.
    tilemap k(4, 1);
    k.Fill(7, 7, 7, 1);
    k.SetTile(0, 0, 255, 255, 255, 1);
    tilemap::CopyRect(k, 0, 0, 2, 1, k, 1, 0, 0);
    EXPECT_EQ(At(k, 1, 0), (Cell{0, 0, 0}));
    EXPECT_EQ(At(k, 2, 0), (Cell{7, 7, 7}));

    tilemap big(5, 5);
    big.InsertMapImage(src, 4, 4, 0);
    EXPECT_EQ(At(big, 4, 4), (Cell{0, 1, 2}));
}

TEST(Tilemap, OverlapTestCountsTouchingBlocks) {
    EXPECT_TRUE(tilemap::BlocksOverlap(0, 0, 2, 2, 2, 0, 2, 2));   // edge to edge
    EXPECT_FALSE(tilemap::BlocksOverlap(0, 0, 2, 2, 3, 0, 2, 2));  // a column apart
    EXPECT_FALSE(tilemap::BlocksOverlap(3, 0, 2, 2, 0, 0, 2, 2));
    EXPECT_FALSE(tilemap::BlocksOverlap(0, 0, 2, 2, 0, 3, 2, 2));
    EXPECT_FALSE(tilemap::BlocksOverlap(0, 3, 2, 2, 0, 0, 2, 2));
    EXPECT_TRUE(tilemap::BlocksOverlap(0, 2, 2, 2, 0, 0, 2, 2));
    EXPECT_TRUE(tilemap::BlocksOverlap(1, 1, 2, 2, 0, 0, 2, 2));
}

TEST(TextToInt, BasesSignsBlanksAndWrapping) {
    using display::TextToInt;
    EXPECT_EQ(TextToInt("  42xyz"), 42);
    EXPECT_EQ(TextToInt("-17"), -17);
    EXPECT_EQ(TextToInt("+8"), 8);
    EXPECT_EQ(TextToInt("$fF"), 255);
    EXPECT_EQ(TextToInt("-$10"), -16);
    EXPECT_EQ(TextToInt("%1012"), 5);
    EXPECT_EQ(TextToInt("abc"), 0);
    EXPECT_EQ(TextToInt(""), 0);
    EXPECT_EQ(TextToInt("$"), 0);
    EXPECT_EQ(TextToInt("4294967297"), 1);
    EXPECT_EQ(TextToInt("$FFFFFFFF"), -1);
    EXPECT_EQ(TextToInt("2147483648"), INT32_MIN);
}
