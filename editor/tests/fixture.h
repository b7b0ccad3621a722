// A whole editor over the headless host, started in a scratch working
// directory that holds its own mdata/ (display configuration, container
// names) and a small generated tile set and palette.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "display/display.h"
#include "editor/chunkactions.h"
#include "editor/dataview.h"
#include "editor/editor.h"
#include "editor/filerow.h"
#include "editor/modellist.h"
#include "editor/treepanel.h"
#include "host/headless_host.h"
#include "mesh/chunk.h"
#include "mesh/msh.h"
#include "tests/support/chunks.h"
#include "tests/support/scratch.h"

namespace edtest {

namespace fs = std::filesystem;

constexpr int kTile = 4;  // tile size of the generated tile set, in pixels

inline std::string Slurp(const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void Spit(const std::string& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
}

// The editor's tests hold file contents as strings (Slurp, Spit, the
// screen's rows); these give the chunk builders of the test support as such.
inline std::string AsString(const testsupport::Bytes& b) { return std::string(b.begin(), b.end()); }

// One chunk's encoding.
inline std::string Enc(const std::string& name, const std::string& data) {
    return AsString(testsupport::Ck(name, testsupport::Text(data)));
}

inline std::string Int(int32_t v) { return AsString(testsupport::I32s({v})); }

inline std::string Floats(std::initializer_list<float> v) { return AsString(testsupport::F32s(v)); }

// A text record's data: the text, a zero byte, zeros to a multiple of four.
inline std::string Text(const std::string& s) { return AsString(testsupport::Str(s)); }

// A MODL holding MTYP 0 and a NAME.
inline std::string Model(const std::string& name) {
    return Enc("MODL", Enc("MTYP", Int(0)) + Enc("NAME", Text(name)));
}

// HEDR { MSH2 { SINF { NAME }, MODL one, MODL two }, CL1L }
inline std::string SmallMesh() {
    return Enc("HEDR", Enc("MSH2", Enc("SINF", Enc("NAME", Text("scene"))) + Model("one") + Model("two")) +
                           Enc("CL1L", ""));
}

class EditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        scratch = std::make_unique<testsupport::ScratchDir>("editor");
        dir = scratch->path();
        oldcwd = fs::current_path().string();
        fs::create_directories(dir + "/mdata");
        fs::create_directories(dir + "/data/image");
        fs::copy_file(std::string(SOURCE_DIR) + "/mdata/format.txt", dir + "/mdata/format.txt");
        WriteImages();
        Configure(80, 50);
        fs::current_path(dir);
        host.SetFrameLimit(20000);
    }
    void TearDown() override {
        fs::current_path(oldcwd);
        scratch.reset();
    }

    void Configure(int W, int H) {
        Spit(dir + "/mdata/graphics.txt", "width " + std::to_string(W) + "\nheight " + std::to_string(H) +
                                              "\ntitle \"vornabel test\"\n");
    }

    void WriteImages() {
        host::PixelBuffer tiles;
        tiles.width = tiles.height = 16 * kTile;
        // Every glyph a solid block but for its top-left pixel (masked), so a
        // painted cell shows its colour.
        tiles.pixels.assign(tiles.width * tiles.height, 0xFFFFFFFFu);
        for (int gy = 0; gy < 16; ++gy)
            for (int gx = 0; gx < 16; ++gx) tiles.pixels[(gy * kTile) * tiles.width + gx * kTile] = 0xFF000000u;
        ASSERT_TRUE(host::SavePng(dir + "/data/image/curses_fg.png", tiles));
        ASSERT_TRUE(host::SavePng(dir + "/data/image/curses_bg.png", tiles));
        host::PixelBuffer pal;
        pal.width = pal.height = 16;
        for (int i = 0; i < 256; ++i)
            pal.pixels.push_back(0xFF000000u | (uint32_t(i) << 16) | (uint32_t(255 - i) << 8) | uint32_t(i * 7 & 255));
        ASSERT_TRUE(host::SavePng(dir + "/data/image/palette.png", pal));
    }

    // Makes and starts the editor with these program arguments.
    void Start(const std::vector<std::string>& args = {}) {
        ed = std::make_unique<editor::Editor>(host, display);
        ed->Startup(args);
    }

    // The window pixel at the centre-ish of a cell.
    static int Px(int cell) { return cell * kTile + 1; }
    void Point(int cx, int cy) { host.SetPointer(Px(cx), Py(cy)); }
    static int Py(int cell) { return cell * kTile + 1; }

    bool Frame() { return ed->Frame(); }
    void Frames(int n) {
        for (int i = 0; i < n; ++i) Frame();
    }
    // Press and release button 1 over a cell: the click completes in the
    // second frame, in which the clicked command runs.
    void Click(int cx, int cy, int button = 1) {
        Point(cx, cy);
        host.SetButton(button, true);
        Frame();
        host.SetButton(button, false);
        Frame();
    }
    void ClickWidget(const widgets::gadget* g) { Click(g->dx, g->dy); }
    // Control + key, handled in the next frame.
    void Shortcut(int key) {
        host.HoldKey(editor::kKeyLeftCtrl, true);
        host.PressKey(key);
        Frame();
        host.HoldKey(editor::kKeyLeftCtrl, false);
    }
    // Writes root's tree to the file name in the scratch folder, opens it
    // and runs the deep check (Control+K).
    void OpenAndCheck(const mesh::chunkptr& root, const std::string& name) {
        mesh::msh file;
        file.hedr = root;
        ASSERT_TRUE(file.Save(dir + "/" + name, 1));
        Start({name});
        Frame();
        Shortcut(editor::kKeyK);
        Frame();
    }
    // Presses a key in the frame after the next, when a popup or prompt that
    // opens during the coming frame is waiting for it.
    void KeyInModal(int key, int after = 1) {
        host.OnFrame(host.Frames() + after, [key](host::HeadlessHost& h) { h.PressKey(key); });
    }
    void TypeInModal(const std::string& text, int after = 1) {
        host.OnFrame(host.Frames() + after, [text](host::HeadlessHost& h) { h.Type(text); });
    }

    // The text of one row of the screen grid (glyph bytes).
    std::string Row(int y) const {
        std::string s;
        for (int x = 0; x < ed->g.screen.tmapw; ++x) s += static_cast<char>(ed->g.screen.glyph(x, y));
        return s;
    }
    std::string GridRow(const display::tilemap& g, int y) const {
        std::string s;
        for (int x = 0; x < g.tmapw; ++x) s += static_cast<char>(g.glyph(x, y));
        return s;
    }

    std::unique_ptr<testsupport::ScratchDir> scratch;
    std::string dir, oldcwd;
    host::HeadlessHost host;
    display::Display display{host};
    std::unique_ptr<editor::Editor> ed;
};

// Every container's size equals the bytes of its children's encodings (plus
// the MATD count of a grouped MATL); returns the first chunk that breaks it.
inline std::string SizesConsistent(const mesh::chunkptr& root, int recognizematl) {
    std::vector<mesh::chunkptr> stack{root};
    while (!stack.empty()) {
        mesh::chunkptr c = stack.back();
        stack.pop_back();
        if (c->kids.empty()) continue;
        int64_t sum = (recognizematl && c->name == "MATL") ? 4 : 0;
        for (const auto& k : c->kids) {
            sum += k->size + 8;
            stack.push_back(k);
        }
        if (sum != c->size) return c->name + " " + std::to_string(c->size) + " != " + std::to_string(sum);
    }
    return "";
}

}  // namespace edtest
