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
