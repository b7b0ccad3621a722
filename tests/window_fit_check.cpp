// The real window on a screen smaller than the configured window (run under
// an X server of 1024 x 768): the window shrinks until it fits, the whole
// grid is drawn scaled into it, and the pointer maps back to the same cells;
// the same once the window is resized.
//
// usage: window_fit_check   (run from the project root, under X)
#include <cstdio>
#include <string>

#include "display/display.h"
#include "display/tilemap.h"
#include "host/sdl_host.h"

namespace {

int failures = 0;

void Check(bool ok, const std::string& what) {
    if (!ok) {
        std::fprintf(stderr, "FAILED: %s\n", what.c_str());
        failures++;
    }
}

// Every cell solid, its colour from its position.
int Colour(int x, int y) { return 16 + (x * 7 + y * 13) % 200; }

}  // namespace

int main() {
    host::SdlHost window;
    display::Display d(window);
    d.LoadDisplay("mdata/graphics.txt");
    display::tilemap grid(d.settings.width, d.settings.height);
    for (int y = 0; y < grid.tmaph; y++)
        for (int x = 0; x < grid.tmapw; x++) grid.SetTile(x, y, 0, Colour(x, y), Colour(x, y), 1);
    host::PixelBuffer palette;
    host::LoadPng(d.settings.palette, palette);
    auto pal = [&](int i) { return host::ReadPixel(palette, i % 16, i / 16) & 0xFFFFFF; };
    const int cw = d.CellPixelWidth(), ch = d.CellPixelHeight();

    auto frame = [&] {
        window.ClearScreen();
        grid.Draw(d, 0, 0);
        window.Flip(host::Pace::kNow);
        window.ClearScreen();
        grid.Draw(d, 0, 0);
    };
    // The cells seen in the window, and the cells the pointer maps to.
    auto check = [&](const std::string& when) {
        int ww = 0, wh = 0;
        SDL_GetWindowSize(window.window(), &ww, &wh);
        const host::Placement& p = window.placement();
        Check(p.w <= ww && p.h <= wh, when + ": the picture lies inside the window");
        Check(p.w == ww || p.h == wh, when + ": the picture fills the window one way");
        host::PixelBuffer pic;
        Check(window.ReadBackBuffer(pic) && pic.width == p.w && pic.height == p.h, when + ": picture read back");
        int wrong = 0, wrongpointer = 0;
        for (int cy : {0, 7, grid.tmaph / 2, grid.tmaph - 1})
            for (int cx : {0, 5, grid.tmapw / 2, grid.tmapw - 1}) {
                const int px = int((cx * cw + cw / 2) * p.scale), py = int((cy * ch + ch / 2) * p.scale);
                if ((host::ReadPixel(pic, px, py) & 0xFFFFFF) != pal(Colour(cx, cy))) wrong++;
                SDL_Event e{};
                e.type = SDL_MOUSEMOTION;
                e.motion.windowID = SDL_GetWindowID(window.window());
                e.motion.x = p.x + px;
                e.motion.y = p.y + py;
                SDL_PushEvent(&e);
                window.PumpEvents();
                if (window.PointerX() / cw != cx || window.PointerY() / ch != cy) wrongpointer++;
            }
        Check(wrong == 0, when + ": " + std::to_string(wrong) + " cells show the wrong colour");
        Check(wrongpointer == 0, when + ": " + std::to_string(wrongpointer) + " pointer positions map to other cells");
        std::printf("%s: window %dx%d, picture %dx%d at %d,%d, scale %.3f\n", when.c_str(), ww, wh, p.w, p.h, p.x, p.y,
                    p.scale);
    };

    int ww = 0, wh = 0;
    SDL_GetWindowSize(window.window(), &ww, &wh);
    SDL_Rect usable{};
    SDL_GetDisplayUsableBounds(0, &usable);
    Check(d.windoww > usable.w || d.windowh > usable.h, "the configured window is larger than this screen");
    Check(ww <= usable.w && wh <= usable.h, "the window fits the screen: " + std::to_string(ww) + "x" +
                                                std::to_string(wh) + " in " + std::to_string(usable.w) + "x" +
                                                std::to_string(usable.h));
    Check(window.WindowWidth() == d.windoww, "the program keeps drawing in its own pixels");
    frame();
    check("opened");

    // As a window manager would: another size, of another shape.
    SDL_SetWindowSize(window.window(), 900, 400);
    for (int i = 0; i < 20; i++) {
        window.PumpEvents();
        SDL_Delay(10);
    }
    frame();
    check("resized");

    std::printf(failures ? "%d checks failed\n" : "window fit checks passed\n", failures);
    return failures ? 1 : 0;
}
