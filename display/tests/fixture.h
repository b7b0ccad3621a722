// Test data for the display: a tile set whose glyph pictures are easy to
// tell apart by pixel, a palette of distinct colours, and configuration files.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "files/files.h"
#include "host/host.h"

namespace testdata {

// Files are named after the running test, so tests can run in parallel.
inline std::string TmpPath(const std::string& name) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string prefix = info ? std::string(info->test_suite_name()) + "." + info->name() + "-" : "";
    return std::string(TEST_TMP_DIR) + "/" + prefix + name;
}

inline void WriteText(const std::string& path, const std::string& text) {
    auto s = host::OpenWrite(path);
    s->WriteText(text);
    s->Close();
}

// Tiles of tw x th. In the foreground picture every glyph's left half is
// white and its right half black (masked); the background picture is the
// reverse. So a drawn cell shows its foreground colour on the left and its
// background colour on the right. Returns the configured path ("<base>.png").
inline std::string WriteTileSet(const std::string& base, int tw, int th) {
    host::PixelBuffer fg, bg;
    fg.width = bg.width = tw * 16;
    fg.height = bg.height = th * 16;
    fg.pixels.resize(size_t(fg.width) * fg.height);
    bg.pixels.resize(fg.pixels.size());
    for (int y = 0; y < fg.height; y++)
        for (int x = 0; x < fg.width; x++) {
            bool left = (x % tw) < tw / 2;
            fg.pixels[size_t(y) * fg.width + x] = left ? 0xFFFFFFFF : 0xFF000000;
            bg.pixels[size_t(y) * fg.width + x] = left ? 0xFF000000 : 0xFFFFFFFF;
        }
    host::SavePng(TmpPath(base + "_fg.png"), fg);
    host::SavePng(TmpPath(base + "_bg.png"), bg);
    return TmpPath(base + ".png");
}

// Entry i is (i, 255 - i, (i * 7) & 255).
inline uint32_t PaletteRgb(int i) { return (uint32_t(i) << 16) | (uint32_t(255 - i) << 8) | ((i * 7) & 255); }

inline std::string WritePalette(const std::string& name, int w = 16, int h = 16) {
    host::PixelBuffer pb;
    pb.width = w;
    pb.height = h;
    for (int i = 0; i < w * h; i++) pb.pixels.push_back(0xFF000000u | PaletteRgb(i & 255));
    host::SavePng(TmpPath(name), pb);
    return TmpPath(name);
}

}  // namespace testdata
