// Opens the real window with the shipped display configuration, draws a grid
// with known cells, takes an X screenshot of the window with ImageMagick's
// import and checks the window size and the pixels of chosen cells against
// the palette. The same grid is rendered by the headless host, and the two
// pictures must agree pixel for pixel.
//
// usage: window_check SCREENSHOT.png   (run from the project root, under X)
#include <SDL2/SDL_syswm.h>
// Xlib names None as a macro; the display layer has an enumerator of that name.
#undef None
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "display/display.h"
#include "display/tilemap.h"
#include "host/headless_host.h"
#include "host/sdl_host.h"

namespace {

int failures = 0;

void Check(bool ok, const std::string& what) {
    if (!ok) {
        std::fprintf(stderr, "FAILED: %s\n", what.c_str());
        failures++;
    }
}

std::string Hex(uint32_t v) {
    char b[16];
    std::snprintf(b, sizeof b, "%06X", v & 0xFFFFFF);
    return b;
}

// Runs a program with arguments; true when it exits with status 0.
bool Run(const std::vector<std::string>& args) {
    pid_t pid = fork();
    if (pid == 0) {
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The screen grid: panel background, a title bar, text and some solid cells.
display::tilemap MakeGrid(const display::Display& d) {
    display::tilemap t(d.settings.width, d.settings.height);
    t.Fill(0, 0, 25, 1);
    t.SetTiles(0, 0, t.tmapw, 1, 0, 28, 28, 1);
    t.InsertString(2, 0, "Known cells", 0, 28, 0, 0, 0, -1);
    t.InsertString(2, 3, "@10@Error@@ text ABC 0123 " + std::string("\xDA\xC4\xBF\xB3\xC0\xD9\xFB\x1E\x1F"), 0, 25,
                   1, 0, 0, -1);
    t.SetTile(0, 5, 65, 10, 10, 1);  // solid error colour whatever the glyph
    t.SetTile(1, 5, 219, 14, 25, 1);  // full block in the marker colour
    t.SetTile(2, 5, 65, 0, 9, 1);     // transparent background: black shows through
    t.SetTile(t.tmapw - 1, t.tmaph - 1, 0, 38, 38, 1);
    for (int i = 0; i < 16; i++) t.SetTile(4 + i, 5, 0, i, i, 1);
    return t;
}

// A picture the program makes itself: a colour ramp with a transparent
// corner, drawn stretched twice over.
host::PixelBuffer Ramp() {
    host::PixelBuffer p{24, 16, {}};
    for (int y = 0; y < p.height; y++)
        for (int x = 0; x < p.width; x++)
            p.pixels.push_back((x < 4 && y < 4 ? 0x10000000u : 0xFF000000u) | uint32_t(x * 10) << 16 |
                               uint32_t(y * 15) << 8 | 0x40);
    return p;
}
constexpr float kRampX = 300, kRampY = 200, kRampW = 48, kRampH = 32;

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s SCREENSHOT.png\n", argv[0]);
        return 2;
    }
    const std::string shot = argv[1];
    host::SdlHost window;
    display::Display d(window);
    d.LoadDisplay("mdata/graphics.txt");
    display::tilemap grid = MakeGrid(d);
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window.window(), &info) || info.subsystem != SDL_SYSWM_X11) {
        std::fprintf(stderr, "not an X11 window\n");
        return 1;
    }
    const std::string id = std::to_string(static_cast<unsigned long>(info.info.x11.window));
    // Shown first with other pixels, so the capture sees them replaced.
    host::ImagePtr ramp = window.MakeImage(host::PixelBuffer{1, 1, {0xFFFF0000}});
    window.ClearScreen();
    window.DrawImage(*ramp, kRampX, kRampY, kRampW, kRampH);
    window.Flip(host::Pace::kHertz);
    window.SetImagePixels(*ramp, Ramp());
    // Draws the grid for a few frames and takes the window's picture.
    auto capture = [&](const std::string& path, host::PixelBuffer& pic) {
        for (int frame = 0; frame < 3; frame++) {
            window.ClearScreen();
            grid.Draw(d, 0, 0);
            window.DrawImage(*ramp, kRampX, kRampY, kRampW, kRampH);
            window.Flip(host::Pace::kHertz);
        }
        window.Finish();
        std::printf("%s: %d GL draw calls for a %dx%d grid\n", window.GridShaderInUse() ? "shader" : "rectangles",
                    window.LastFrameDrawCalls(), grid.tmapw, grid.tmaph);
        Check(window.LastFrameDrawCalls() <= 4, "the grid is drawn in a handful of calls");
        return Run({"import", "-window", id, "png:" + path}) && host::LoadPng(path, pic);
    };
    host::PixelBuffer pic, rects;
    if (!capture(shot, pic)) {
        std::fprintf(stderr, "no screenshot of the window\n");
        return 1;
    }
    window.UseGridShader(false);
    if (!capture(shot + ".rects.png", rects)) {
        std::fprintf(stderr, "no screenshot of the window\n");
        return 1;
    }
    Check(pic.width == d.windoww && pic.height == d.windowh,
          "window is " + std::to_string(pic.width) + "x" + std::to_string(pic.height) + ", expected " +
              std::to_string(d.windoww) + "x" + std::to_string(d.windowh));
    Check(d.windoww >= 1400 && d.windoww <= 1600, "window about 1400 to 1600 pixels wide");
    Check(d.settings.width >= 96 && d.settings.height >= 60, "grid of at least 96 x 60");

    // Chosen cells against the palette, read straight from the image file.
    host::PixelBuffer palette;
    host::LoadPng(d.settings.palette, palette);
    auto pal = [&](int i) { return host::ReadPixel(palette, i % 16, i / 16) & 0xFFFFFF; };
    const int cw = d.CellPixelWidth(), ch = d.CellPixelHeight();
    auto centre = [&](int cx, int cy) { return host::ReadPixel(pic, cx * cw + cw / 2, cy * ch + ch / 2) & 0xFFFFFF; };
    auto expect = [&](int cx, int cy, int index) {
        Check(centre(cx, cy) == pal(index), "cell " + std::to_string(cx) + "," + std::to_string(cy) + " is " +
                                                Hex(centre(cx, cy)) + ", expected colour " + std::to_string(index) +
                                                " " + Hex(pal(index)));
    };
    expect(0, 5, 10);
    expect(1, 5, 14);
    expect(d.settings.width - 1, d.settings.height - 1, 38);
    expect(40, 20, 25);
    expect(50, 0, 28);
    for (int i = 0; i < 16; i++)
        if (i != 9) expect(4 + i, 5, i);
    Check(centre(4 + 9, 5) == 0, "colour 9 is not painted");

    // An on and an off pixel of glyph 'A' in cell (2, 5): text colour, then
    // nothing (the window was cleared to black).
    host::PixelBuffer fgtiles;
    host::LoadPng(host::PathWithoutExtension(d.settings.tileset) + "_fg.png", fgtiles);
    int on = -1, off = -1;
    for (int i = 0; i < d.tilew * d.tileh; i++) {
        uint32_t p = host::ReadPixel(fgtiles, (65 % 16) * d.tilew + i % d.tilew, (65 / 16) * d.tileh + i / d.tilew);
        if ((p & 0xFFFFFF) != 0 && on < 0) on = i;
        if ((p & 0xFFFFFF) == 0 && off < 0) off = i;
    }
    const int s = d.settings.scale;
    Check(on >= 0 && off >= 0, "glyph A has pixels on and off");
    if (on >= 0 && off >= 0) {
        uint32_t pon = host::ReadPixel(pic, 2 * cw + (on % d.tilew) * s, 5 * ch + (on / d.tilew) * s) & 0xFFFFFF;
        uint32_t poff = host::ReadPixel(pic, 2 * cw + (off % d.tilew) * s, 5 * ch + (off / d.tilew) * s) & 0xFFFFFF;
        Check(pon == pal(0), "glyph pixel in the text colour, got " + Hex(pon));
        Check(poff == 0, "unpainted part of the glyph stays black, got " + Hex(poff));
    }

    // The whole picture against the headless host's rendering.
    host::HeadlessHost memory;
    display::Display md(memory);
    md.LoadDisplay("mdata/graphics.txt");
    memory.ClearScreen();
    grid.Draw(md, 0, 0);
    memory.DrawImage(*memory.MakeImage(Ramp()), kRampX, kRampY, kRampW, kRampH);
    auto differing = [&](const host::PixelBuffer& a) {
        long n = 0;
        if (a.width != memory.Frame().width || a.height != memory.Frame().height) return -1L;
        for (size_t i = 0; i < a.pixels.size(); i++)
            n += (a.pixels[i] & 0xFFFFFF) != (memory.Frame().pixels[i] & 0xFFFFFF);
        return n;
    };
    Check(differing(pic) == 0, std::to_string(differing(pic)) + " pixels differ from the headless rendering");
    Check(differing(rects) == 0,
          std::to_string(differing(rects)) + " pixels drawn as rectangles differ from the headless rendering");

    // Changes drawn alone over the picture shown: a few cells far apart and
    // the picture's new pixels, with the grid as one rectangle again.
    window.UseGridShader(true);
    window.ClearScreen();
    grid.Draw(d, 0, 0);
    window.DrawImage(*ramp, kRampX, kRampY, kRampW, kRampH);
    window.Flip(host::Pace::kHertz);
    grid.InsertString(3, 8, "changed", 0, 25, 1, 0, 0, -1);
    grid.SetTile(d.settings.width - 2, d.settings.height - 3, 219, 12, 25, 1);
    grid.SetTile(60, 30, 66, 10, 14, 1);
    host::PixelBuffer flipped = Ramp();
    std::reverse(flipped.pixels.begin(), flipped.pixels.end());
    window.SetImagePixels(*ramp, flipped);
    window.ClearScreen();
    grid.Draw(d, 0, 0);
    window.DrawImage(*ramp, kRampX, kRampY, kRampW, kRampH);
    window.Flip(host::Pace::kHertz);
    window.Finish();
    std::printf("changes only: %s, %d GL draw calls\n", window.DrawsChangesOnly() ? "yes" : "no",
                window.LastFrameDrawCalls());
    host::PixelBuffer changed;
    if (!Run({"import", "-window", id, "png:" + shot + ".changed.png"}) ||
        !host::LoadPng(shot + ".changed.png", changed)) {
        std::fprintf(stderr, "no screenshot of the window\n");
        return 1;
    }
    memory.ClearScreen();
    grid.Draw(md, 0, 0);
    memory.DrawImage(*memory.MakeImage(flipped), kRampX, kRampY, kRampW, kRampH);
    Check(differing(changed) == 0,
          std::to_string(differing(changed)) + " pixels differ from the headless rendering after drawing changes");

    std::printf(failures ? "%d checks failed\n" : "window checks passed\n", failures);
    return failures ? 1 : 0;
}
