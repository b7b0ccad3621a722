// Reading the display configuration and loading the tile set and palette,
// with every fatal message.
#include <gtest/gtest.h>

#include "display/display.h"
#include "display/tests/fixture.h"
#include "host/headless_host.h"

using namespace testdata;

namespace {

// Runs f and returns the fatal error text it raised ("" when none).
template <class F>
std::string FatalOf(F f) {
    try {
        f();
    } catch (const host::FatalErrorRaised& e) {
        return e.what();
    }
    return "";
}

struct ConfigTest : ::testing::Test {
    host::HeadlessHost h;
    display::Display d{h};

    std::string Config(const std::string& name, const std::string& text) {
        std::string path = TmpPath(name);
        WriteText(path, text);
        return path;
    }
};

}  // namespace

TEST_F(ConfigTest, EmptyFileKeepsDefaultsShortLinesAndCommentsAreSkipped) {
    d.ReadDisplayConfig(Config("empty.txt", ""));
    EXPECT_TRUE(d.configloaded);
    EXPECT_EQ(d.settings.width, 96);
    EXPECT_EQ(d.settings.height, 32);
    EXPECT_EQ(d.settings.tileset, "data\\image\\curses.png");
    EXPECT_EQ(d.settings.palette, "data\\image\\palette.png");
    EXPECT_EQ(d.settings.title, "Caldrith");
    EXPECT_EQ(d.settings.scale, 1);

    d.ReadDisplayConfig(Config("short.txt", "x\r\n// width 5\r\nabc\r\nWIDTH 80 // wide screen\r\nheight = $30\n"
                                            "\twidth,70\nwidth 60"));
    EXPECT_EQ(d.settings.width, 60);  // later lines win; the last line needs no line feed
    EXPECT_EQ(d.settings.height, 48);
}

TEST_F(ConfigTest, QuotedArgumentsKeepCommasAndSpaces) {
    d.ReadDisplayConfig(Config("title.txt", "TITLE \"My, Editor\"\ntileset  my tiles/a.png  \n"));
    EXPECT_EQ(d.settings.title, "My, Editor");
    EXPECT_EQ(d.settings.tileset, "my tiles/a.png");
    std::string path = Config("title2.txt", "TITLE My, Editor\n");
    EXPECT_EQ(FatalOf([&] { d.ReadDisplayConfig(path); }), "Incorrect number of arguments on line 1 of " + path);
    path = Config("noarg.txt", "\n\nscale\n");
    EXPECT_EQ(FatalOf([&] { d.ReadDisplayConfig(path); }), "Incorrect number of arguments on line 3 of " + path);
}

TEST_F(ConfigTest, UnknownKeywordsAndIndentedCommentsAreFatal) {
    std::string path = Config("indented.txt", "width 90\n // comment\n");
    EXPECT_EQ(FatalOf([&] { d.ReadDisplayConfig(path); }), "Unrecognized keyword '' on line 2 of " + path);
    path = Config("unknown.txt", "Depth 32\n");
    EXPECT_EQ(FatalOf([&] { d.ReadDisplayConfig(path); }), "Unrecognized keyword 'Depth' on line 1 of " + path);
    EXPECT_EQ(FatalOf([&] { d.ReadDisplayConfig(TmpPath("absent.txt")); }), "Failed to read " + TmpPath("absent.txt"));
    EXPECT_EQ(FatalOf([&] { d.LoadDisplay(TmpPath("absent.txt")); }), "Failed to read " + TmpPath("absent.txt"));
}

TEST_F(ConfigTest, SplitterSlotsCharactersAndUnterminatedQuote) {
    EXPECT_EQ(d.SplitConfigLine("key a b ,c=<d>, \"e,f\" // g", "w"), "key");
    ASSERT_EQ(d.slotcount, 3);
    EXPECT_EQ(d.slots[0], "a b");
    EXPECT_EQ(d.slots[1], "cd");
    EXPECT_EQ(d.slots[2], "e,f");
    EXPECT_EQ(d.SplitConfigLine("title \"a//b\"", "w"), "title");  // "//" inside quotes is text
    EXPECT_EQ(d.slots[0], "a//b");
    EXPECT_EQ(d.SplitConfigLine("ke\"y,1", "w"), "key");  // a comma right after the keyword opens slot 0
    EXPECT_EQ(d.slotcount, 1);
    EXPECT_EQ(d.slots[0], "1");
    EXPECT_EQ(d.SplitConfigLine("k ,,,,,,,,,,,,,,,,,,,x", "w"), "k");  // scanning stops past slot 15
    EXPECT_EQ(d.slotcount, 17);
    EXPECT_TRUE(h.messages.empty());

    d.SplitConfigLine("title \"abc", "on line 4 of g.txt");
    ASSERT_EQ(h.messages.size(), 1u);
    EXPECT_EQ(h.messages[0].title, "Improperly teminated string on line 4 of g.txt ( abc )");
    d.ReadDisplayConfig(Config("quote.txt", "title \"Half open\n"));
    EXPECT_EQ(d.settings.title, "Half open");  // used as read
}

TEST_F(ConfigTest, LoadDisplayOpensTheWindowFromGridTileSizeAndScale) {
    std::string tiles = WriteTileSet("t8", 8, 8);
    std::string pal = WritePalette("pal.png");
    std::string path = Config("graphics.txt", "scale 2\ntileset " + tiles + "\npalette \"" + pal + "\"\n");
    d.LoadDisplay(path);
    EXPECT_EQ(d.tilew, 8);
    EXPECT_EQ(d.tileh, 8);
    EXPECT_EQ(d.windoww, 1536);
    EXPECT_EQ(d.windowh, 512);
    EXPECT_EQ(h.WindowWidth(), 1536);
    EXPECT_EQ(h.WindowHeight(), 512);
    EXPECT_EQ(h.WindowTitle(), "Caldrith");
    EXPECT_EQ(h.open_hertz, 60);
    EXPECT_EQ(d.Rgb(0), PaletteRgb(0));
    EXPECT_EQ(d.Rgb(200), PaletteRgb(200));
    ASSERT_TRUE(d.fgtiles && d.bgtiles);
    EXPECT_EQ(d.fgtiles->count, 256);

    // A missing configuration after one was read keeps the loaded settings.
    display::Display again(h);
    again.ReadDisplayConfig(path);
    again.LoadDisplay(TmpPath("gone.txt"), "Given");
    EXPECT_EQ(h.WindowTitle(), "Given");
}

TEST_F(ConfigTest, TileSetAndPaletteFailures) {
    std::string base = host::PathWithoutExtension(TmpPath("none.png"));
    EXPECT_EQ(FatalOf([&] { d.LoadTileSet(TmpPath("none.png")); }), "Failed to load " + base + "_fg.png");
    // A foreground picture without its background picture.
    std::string tiles = WriteTileSet("half", 4, 4);
    std::remove(TmpPath("half_bg.png").c_str());
    EXPECT_EQ(FatalOf([&] { d.LoadTileSet(tiles); }),
              "Failed to load tileset image " + host::PathWithoutExtension(tiles) + "_bg.png");
    // Too small to hold 16 x 16 tiles.
    WritePalette("tiny_fg.png", 8, 8);
    EXPECT_EQ(FatalOf([&] { d.LoadTileSet(TmpPath("tiny.png")); }),
              "Failed to load tileset image " + host::PathWithoutExtension(TmpPath("tiny.png")) + "_fg.png");

    EXPECT_EQ(FatalOf([&] { d.LoadPalette(TmpPath("nopal.png")); }), "Failed to load " + TmpPath("nopal.png"));
    std::string tall = WritePalette("tall.png", 16, 17);
    EXPECT_EQ(FatalOf([&] { d.LoadPalette(tall); }),
              "Too many colors in palette " + tall + ", 256 is the proper amount.");
    // A smaller picture leaves the later entries as they were.
    display::Display fresh(h);
    fresh.LoadPalette(WritePalette("small.png", 4, 2));
    EXPECT_EQ(fresh.Rgb(7), PaletteRgb(7));
    EXPECT_EQ(fresh.Rgb(8), 0u);
}

TEST_F(ConfigTest, ImpossibleWindowSizeIsFatal) {
    std::string tiles = WriteTileSet("t4", 4, 4);
    std::string pal = WritePalette("pal4.png");
    std::string path = Config("neg.txt", "scale -1\ntileset " + tiles + "\npalette " + pal + "\n");
    EXPECT_EQ(FatalOf([&] { d.LoadDisplay(path); }), "Failed to open a window of -384 x -128 pixels");
}
