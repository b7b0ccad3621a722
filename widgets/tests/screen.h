// A headless display for widget tests: a screen of W x H cells of 10 x 2
// pixels whose pictures can be read back cell by cell. In every glyph picture
// the foreground covers the left half of the top pixel row and the glyph's
// bits the bottom row; the background covers the right half of the top row.
// So the frame buffer tells each drawn cell's glyph, foreground and
// background.
#pragma once

#include <cstdint>
#include <memory>

#include "display/display.h"
#include "host/headless_host.h"
#include "widgets/toolkit.h"

namespace testscreen {

constexpr int kTileW = 10;
constexpr int kTileH = 2;

inline uint32_t PaletteRgb(int i) { return (uint32_t(i) << 16) | (uint32_t(255 - i) << 8) | ((i * 7) & 255); }

inline host::ImagePtr TileImage(bool foreground) {
    auto img = std::make_shared<host::Image>();
    img->width = kTileW * 16;
    img->height = kTileH * 16;
    img->cellw = kTileW;
    img->cellh = kTileH;
    img->first = 0;
    img->count = 256;
    img->pixels.width = img->width;
    img->pixels.height = img->height;
    img->pixels.pixels.assign(size_t(img->width) * img->height, 0u);  // alpha 0: masked
    for (int g = 0; g < 256; g++) {
        const int ox = (g % 16) * kTileW, oy = (g / 16) * kTileH;
        auto at = [&](int x, int y) -> uint32_t& { return img->pixels.pixels[size_t(oy + y) * img->width + ox + x]; };
        for (int x = 0; x < kTileW; x++) {
            const bool left = x < kTileW / 2;
            if (left == foreground) at(x, 0) = 0xFFFFFFFFu;
        }
        if (foreground)
            for (int b = 0; b < 8; b++)
                if (g & (1 << b)) at(b, 1) = 0xFFFFFFFFu;
    }
    return img;
}

struct Cell {
    int glyph = -1;  // -1: not readable (solid block or no foreground)
    int fg = -1;     // -1: nothing painted there
    int bg = -1;
};

// A headless host, a display of w x h cells and a toolkit over them.
struct Screen {
    host::HeadlessHost host;
    display::Display display{host};
    std::unique_ptr<widgets::Toolkit> ui;

    explicit Screen(int w = 80, int h = 50) {
        display.settings.width = w;
        display.settings.height = h;
        display.settings.scale = 1;
        display.tilew = kTileW;
        display.tileh = kTileH;
        display.fgtiles = TileImage(true);
        display.bgtiles = TileImage(false);
        for (int i = 0; i < 256; i++) {
            display.palette[i] = uint8_t(i);
            display.palette[256 + i] = uint8_t(255 - i);
            display.palette[512 + i] = uint8_t((i * 7) & 255);
        }
        host.OpenWindow(w * kTileW, h * kTileH, 60);
        ui = std::make_unique<widgets::Toolkit>(display);
    }

    // Puts the pointer on the middle of a cell.
    void PointAt(int cx, int cy) { host.SetPointer(cx * kTileW + kTileW / 2, cy * kTileH + 1); }

    static int ColourOf(uint32_t rgb) {
        for (int i = 0; i < 256; i++)
            if (PaletteRgb(i) == rgb) return i;
        return -1;
    }

    // What the frame buffer shows in cell (cx, cy).
    Cell Read(int cx, int cy) const {
        Cell c;
        const int px = cx * kTileW, py = cy * kTileH;
        c.fg = ColourOf(host.Pixel(px, py));
        c.bg = ColourOf(host.Pixel(px + kTileW - 1, py));
        if (c.fg >= 0 && c.fg != c.bg) {
            c.glyph = 0;
            for (int b = 0; b < 8; b++)
                if (host.Pixel(px + b, py + 1) == PaletteRgb(c.fg)) c.glyph |= 1 << b;
        }
        return c;
    }
};

}  // namespace testscreen
