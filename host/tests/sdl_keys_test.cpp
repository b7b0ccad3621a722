// The window host hands the program its own key numbers.
#include <gtest/gtest.h>

#include "host/sdl_host.h"

using namespace host;

TEST(SdlKeys, EveryKeyTheProgramReadsHasItsCode) {
    const std::pair<SDL_Keycode, int> table[] = {
        {SDLK_TAB, 9},   {SDLK_RETURN, 13}, {SDLK_KP_ENTER, 13}, {SDLK_ESCAPE, 27}, {SDLK_SPACE, 32},
        {SDLK_LEFT, 37}, {SDLK_UP, 38},     {SDLK_RIGHT, 39},    {SDLK_DOWN, 40},   {SDLK_DELETE, 46},
        {SDLK_a, 65},    {SDLK_d, 68},      {SDLK_n, 78},        {SDLK_o, 79},      {SDLK_s, 83},
        {SDLK_v, 86},    {SDLK_w, 87},      {SDLK_LCTRL, 162},   {SDLK_RCTRL, 163}, {SDLK_BACKSPACE, 8},
        {SDLK_z, 90},    {SDLK_0, 48},      {SDLK_9, 57},
    };
    for (auto [sdl, code] : table) EXPECT_EQ(MapSdlKey(sdl), code) << SDL_GetKeyName(sdl);
    EXPECT_EQ(MapSdlKey(SDLK_CAPSLOCK), 0);
    // Nothing maps to a code outside the input table.
    for (SDL_Keycode k : {SDLK_F12, SDLK_RALT, SDLK_RSHIFT, SDLK_PAGEDOWN}) {
        EXPECT_GT(MapSdlKey(k), 0);
        EXPECT_LT(MapSdlKey(k), InputState::kKeys);
    }
}

// A window that does not fit the screen shrinks; the picture is scaled into
// whatever size the window has, and the pointer maps back to the same pixel
// of the picture.
TEST(SdlPlacement, FitsScalesCentresAndMapsThePointerBack) {
    EXPECT_EQ(FitFactor(1536, 960, 1920, 1080), 1.0f) << "fits: its own size";
    const float f = FitFactor(1536, 960, 1366, 768 - 40);
    EXPECT_FLOAT_EQ(f, 728.0f / 960.0f);
    EXPECT_LE(int(1536 * f), 1366);
    EXPECT_LE(int(960 * f), 728);

    Placement same = PlacePicture(1536, 960, 1536, 960);
    EXPECT_EQ(same.scale, 1.0f);
    EXPECT_EQ(same.x, 0);
    EXPECT_EQ(same.w, 1536);

    // A window made wider than the picture's shape: bars left and right.
    Placement p = PlacePicture(1536, 960, 1000, 500);
    EXPECT_FLOAT_EQ(p.scale, 500.0f / 960.0f);
    EXPECT_EQ(p.h, 500);
    EXPECT_EQ(p.w, 800);
    EXPECT_EQ(p.x, 100);
    EXPECT_EQ(p.y, 0);
    int x, y;
    // Every pixel of the picture comes back to itself through the drawable.
    for (int cx : {0, 7, 400, 1535})
        for (int cy : {0, 9, 480, 959}) {
            const int px = p.x + int(cx * p.scale), py = p.y + int(cy * p.scale);
            PictureFromDrawable(p, px, py, x, y);
            EXPECT_NEAR(x, cx, 2);
            EXPECT_NEAR(y, cy, 2);
        }
    // A 16-pixel cell maps to the cell it is drawn in: the centre of cell
    // (10, 20) in the window is read back in cell (10, 20).
    const int px = p.x + int((10 * 16 + 8) * p.scale), py = p.y + int((20 * 16 + 8) * p.scale);
    PictureFromDrawable(p, px, py, x, y);
    EXPECT_EQ(x / 16, 10);
    EXPECT_EQ(y / 16, 20);
    PictureFromDrawable(p, 50, 10, x, y);  // on the bar: left of the picture
    EXPECT_LT(x, 0);

    // Larger than the picture: scaled up.
    Placement big = PlacePicture(800, 600, 1600, 1200);
    EXPECT_FLOAT_EQ(big.scale, 2.0f);
    PictureFromDrawable(big, 1599, 1199, x, y);
    EXPECT_EQ(x, 799);
    EXPECT_EQ(y, 599);
}
