// Makes the run-time images of the character display:
//   curses_fg.png  the 256 code page 437 glyphs in a 16 x 16 grid: glyph
//                  pixels white, the rest black (black is masked when loaded)
//   curses_bg.png  the complement: white where the glyph has no pixel
//   palette.png    16 x 16 pixels, the 256 colours
// The glyph pictures come from a Linux console font (PSF 1 or 2, optionally
// gzip-compressed) with a Unicode table, looked up by each code's Unicode
// character. The few pictures such fonts lack are drawn here.
//
// usage: make_images FONT.psf[.gz] OUTPUT_DIRECTORY
#include <zlib.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "host/host.h"

namespace {

// Unicode characters of code page 437, with fallbacks for a code whose
// usual character a font may lack.
const std::vector<std::vector<uint32_t>> kCp437 = [] {
    std::vector<std::vector<uint32_t>> t(256);
    const uint32_t low[32] = {0,      0x263A, 0x263B, 0x2665, 0x2666, 0x2663, 0x2660, 0x2022,
                              0x25D8, 0x25CB, 0x25D9, 0x2642, 0x2640, 0x266A, 0x266B, 0x263C,
                              0x25BA, 0x25C4, 0x2195, 0x203C, 0x00B6, 0x00A7, 0x25AC, 0x21A8,
                              0x2191, 0x2193, 0x2192, 0x2190, 0x221F, 0x2194, 0x25B2, 0x25BC};
    const uint32_t high[128] = {
        0xC7,   0xFC,   0xE9,   0xE2,   0xE4,   0xE0,   0xE5,   0xE7,   0xEA,   0xEB,   0xE8,   0xEF,   0xEE,
        0xEC,   0xC4,   0xC5,   0xC9,   0xE6,   0xC6,   0xF4,   0xF6,   0xF2,   0xFB,   0xF9,   0xFF,   0xD6,
        0xDC,   0xA2,   0xA3,   0xA5,   0x20A7, 0x192,  0xE1,   0xED,   0xF3,   0xFA,   0xF1,   0xD1,   0xAA,
        0xBA,   0xBF,   0x2310, 0xAC,   0xBD,   0xBC,   0xA1,   0xAB,   0xBB,   0x2591, 0x2592, 0x2593, 0x2502,
        0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, 0x2514,
        0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550,
        0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C,
        0x2588, 0x2584, 0x258C, 0x2590, 0x2580, 0x3B1,  0xDF,   0x393,  0x3C0,  0x3A3,  0x3C3,  0xB5,   0x3C4,
        0x3A6,  0x398,  0x3A9,  0x3B4,  0x221E, 0x3C6,  0x3B5,  0x2229, 0x2261, 0xB1,   0x2265, 0x2264, 0x2320,
        0x2321, 0xF7,   0x2248, 0xB0,   0x2219, 0xB7,   0x221A, 0x207F, 0xB2,   0x25A0, 0xA0};
    for (int i = 0; i < 32; i++) t[i] = {low[i]};
    for (int i = 32; i < 127; i++) t[i] = {uint32_t(i)};
    t[127] = {0x2302};
    for (int i = 0; i < 128; i++) t[128 + i] = {high[i]};
    t[0x10].push_back(0x25B6);  // right-pointing pointer or triangle
    t[0x11].push_back(0x25C0);
    t[0xE1].push_back(0x3B2);   // sharp s or beta
    t[0xE6].push_back(0x3BC);
    t[0xF9].push_back(0xB7);
    t[0xFA].push_back(0x2219);
    return t;
}();

// 8 x 8 pictures for characters console fonts rarely have; each byte is a
// row, the high bit at the left.
const std::map<uint32_t, std::vector<uint8_t>> kDrawn = {
    {0x20A7, {0xF8, 0xCC, 0xCC, 0xFA, 0xC6, 0xCF, 0xC6, 0xC7}},  // peseta
    {0x221E, {0x00, 0x00, 0x6C, 0x92, 0x92, 0x6C, 0x00, 0x00}},  // infinity
    {0x2229, {0x00, 0x38, 0x44, 0x44, 0x44, 0x44, 0x44, 0x00}},  // intersection
    {0x2261, {0x00, 0x7E, 0x00, 0x7E, 0x00, 0x7E, 0x00, 0x00}},  // identical to
};

struct Font {
    int width = 0, height = 0, rowbytes = 0, bytesperglyph = 0, count = 0;
    std::vector<uint8_t> glyphs;
    std::map<uint32_t, int> unicode;  // character -> glyph index (first wins)
    bool Pixel(int glyph, int x, int y) const {
        return glyphs[size_t(glyph) * bytesperglyph + size_t(y) * rowbytes + x / 8] & (0x80 >> (x % 8));
    }
};

bool ReadAll(const std::string& path, std::vector<uint8_t>& out) {
    gzFile f = gzopen(path.c_str(), "rb");  // reads plain files too
    if (!f) return false;
    uint8_t buf[65536];
    int n;
    while ((n = gzread(f, buf, sizeof buf)) > 0) out.insert(out.end(), buf, buf + n);
    gzclose(f);
    return n == 0;
}

uint32_t Le32(const std::vector<uint8_t>& d, size_t at) {
    return d[at] | (d[at + 1] << 8) | (d[at + 2] << 16) | (uint32_t(d[at + 3]) << 24);
}

// Decodes one UTF-8 character at d[i], advancing i; 0xFFFFFFFF when malformed.
uint32_t NextUtf8(const std::vector<uint8_t>& d, size_t& i, size_t end) {
    uint8_t c = d[i++];
    int more = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
    if (more < 0) return 0xFFFFFFFF;
    uint32_t v = more == 0 ? c : c & (0x3F >> more);
    for (int k = 0; k < more; k++) {
        if (i >= end || (d[i] & 0xC0) != 0x80) return 0xFFFFFFFF;
        v = (v << 6) | (d[i++] & 0x3F);
    }
    return v;
}

bool LoadFont(const std::string& path, Font& font) {
    std::vector<uint8_t> d;
    if (!ReadAll(path, d) || d.size() < 4) return false;
    size_t table = 0;
    bool hastable = false, psf2 = false;
    if (d[0] == 0x36 && d[1] == 0x04) {
        font.width = 8;
        font.height = d[3];
        font.rowbytes = 1;
        font.bytesperglyph = d[3];
        font.count = (d[2] & 1) ? 512 : 256;
        hastable = (d[2] & 6) != 0;
        table = 4 + size_t(font.count) * font.bytesperglyph;
        if (d.size() < table) return false;
        font.glyphs.assign(d.begin() + 4, d.begin() + table);
    } else if (d.size() >= 32 && Le32(d, 0) == 0x864AB572) {
        psf2 = true;
        uint32_t header = Le32(d, 8), flags = Le32(d, 12);
        font.count = int(Le32(d, 16));
        font.bytesperglyph = int(Le32(d, 20));
        font.height = int(Le32(d, 24));
        font.width = int(Le32(d, 28));
        font.rowbytes = (font.width + 7) / 8;
        hastable = flags & 1;
        table = header + size_t(font.count) * font.bytesperglyph;
        if (d.size() < table || font.rowbytes * font.height > font.bytesperglyph) return false;
        font.glyphs.assign(d.begin() + header, d.begin() + table);
    } else {
        return false;
    }
    if (!hastable) return false;  // without it the glyphs cannot be found by character
    int glyph = 0;
    bool sequence = false;
    size_t i = table;
    while (i < d.size() && glyph < font.count) {
        if (psf2) {
            if (d[i] == 0xFF) { glyph++; sequence = false; i++; continue; }
            if (d[i] == 0xFE) { sequence = true; i++; continue; }
            uint32_t c = NextUtf8(d, i, d.size());
            if (!sequence && c != 0xFFFFFFFF) font.unicode.emplace(c, glyph);
        } else {
            if (i + 1 >= d.size()) break;
            uint32_t c = d[i] | (d[i + 1] << 8);
            i += 2;
            if (c == 0xFFFF) { glyph++; sequence = false; continue; }
            if (c == 0xFFFE) { sequence = true; continue; }
            if (!sequence) font.unicode.emplace(c, glyph);
        }
    }
    return true;
}

// The palette: the interface's own colours at the indices it uses, a grey
// ramp, and a grid of hues in light to dark rows for everything else.
std::vector<uint32_t> MakePalette() {
    std::vector<uint32_t> p(256);
    auto rgb = [](int r, int g, int b) { return uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b); };
    const uint32_t first[16] = {
        rgb(232, 234, 238),  // 0 text
        rgb(128, 136, 150),  // 1 hover, disabled
        rgb(255, 255, 255), rgb(0, 0, 0), rgb(200, 64, 56), rgb(64, 176, 96), rgb(56, 128, 200),
        rgb(232, 152, 40),
        rgb(84, 92, 108),    // 8 dim
        rgb(12, 15, 20),     // 9 the usual transparent colour
        rgb(255, 88, 88),    // 10 error mark
        rgb(128, 216, 128), rgb(112, 184, 255), rgb(216, 140, 255),
        rgb(255, 214, 72),   // 14 marker
        rgb(72, 224, 224)};
    for (int i = 0; i < 16; i++) p[i] = first[i];
    for (int i = 0; i < 32; i++) {  // 16..47: blue-grey ramp, dark to light
        int v = 16 + i * 224 / 31;
        p[16 + i] = rgb(v * 92 / 100, v * 96 / 100, v);
    }
    p[22] = rgb(46, 62, 88);    // popup choices
    p[25] = rgb(26, 31, 40);    // panel background
    p[28] = rgb(52, 90, 140);   // frames, title bars, buttons
    p[38] = rgb(40, 104, 72);   // selected subtree
    for (int row = 0; row < 13; row++)  // 48..255: 16 hues, lightness by row
        for (int hue = 0; hue < 16; hue++) {
            double h = hue / 16.0 * 6, l = 0.85 - row * 0.055, s = 0.6;
            double c = (1 - std::abs(2 * l - 1)) * s, x = c * (1 - std::abs(std::fmod(h, 2) - 1)), m = l - c / 2;
            double r = 0, g = 0, b = 0;
            int sector = int(h);
            if (sector == 0) r = c, g = x;
            else if (sector == 1) r = x, g = c;
            else if (sector == 2) g = c, b = x;
            else if (sector == 3) g = x, b = c;
            else if (sector == 4) r = x, b = c;
            else r = c, b = x;
            p[48 + row * 16 + hue] = rgb(int((r + m) * 255), int((g + m) * 255), int((b + m) * 255));
        }
    return p;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s FONT.psf[.gz] OUTPUT_DIRECTORY\n", argv[0]);
        return 2;
    }
    Font font;
    if (!LoadFont(argv[1], font)) {
        std::fprintf(stderr, "%s: not a console font with a Unicode table\n", argv[1]);
        return 1;
    }
    const int tw = font.width, th = font.height;
    host::PixelBuffer fg, bg, pal;
    fg.width = bg.width = tw * 16;
    fg.height = bg.height = th * 16;
    fg.pixels.assign(size_t(fg.width) * fg.height, 0xFF000000u);
    bg.pixels = fg.pixels;
    int drawn = 0;
    for (int code = 0; code < 256; code++) {
        // Code 0 and the no-break space (255) are blank: no glyph pixels.
        std::vector<std::vector<bool>> on(th, std::vector<bool>(tw, false));
        bool found = code == 0 || code == 255 || code == 32;
        for (uint32_t u : kCp437[code]) {
            if (found) break;
            if (auto it = font.unicode.find(u); it != font.unicode.end()) {
                for (int y = 0; y < th; y++)
                    for (int x = 0; x < tw; x++) on[y][x] = font.Pixel(it->second, x, y);
                found = true;
            } else if (auto d = kDrawn.find(u); d != kDrawn.end() && tw == 8 && th == 8) {
                for (int y = 0; y < 8; y++)
                    for (int x = 0; x < 8; x++) on[y][x] = d->second[y] & (0x80 >> x);
                found = true;
                drawn++;
            }
        }
        if (!found && code == 0xA9) {  // reversed not sign: the not sign mirrored
            auto it = font.unicode.find(0xAC);
            if (it != font.unicode.end()) {
                for (int y = 0; y < th; y++)
                    for (int x = 0; x < tw; x++) on[y][x] = font.Pixel(it->second, tw - 1 - x, y);
                found = true;
                drawn++;
            }
        }
        if (!found) std::fprintf(stderr, "no picture for code %d (U+%04X)\n", code, kCp437[code][0]);
        int ox = (code % 16) * tw, oy = (code / 16) * th;
        for (int y = 0; y < th; y++)
            for (int x = 0; x < tw; x++) {
                size_t i = size_t(oy + y) * fg.width + ox + x;
                (on[y][x] ? fg : bg).pixels[i] = 0xFFFFFFFFu;
            }
    }
    pal.width = pal.height = 16;
    for (uint32_t c : MakePalette()) pal.pixels.push_back(0xFF000000u | c);
    std::string dir = argv[2];
    if (!host::SavePng(dir + "/curses_fg.png", fg) || !host::SavePng(dir + "/curses_bg.png", bg) ||
        !host::SavePng(dir + "/palette.png", pal)) {
        std::fprintf(stderr, "cannot write the images into %s\n", dir.c_str());
        return 1;
    }
    std::printf("%d x %d glyphs, %d drawn here\n", tw, th, drawn);
    return 0;
}
