// Materials in the picture: textures with their coordinates, the diffuse
// tint, vertex colours, the ATRB modes and smooth shading, on a square seen
// straight on, with tiny TGAs written by the test.
#include <gtest/gtest.h>

#include <cstdlib>

#include "format/records.h"
#include "preview/render.h"
#include "tests/support/materials.h"
#include "tests/support/scratch.h"

namespace {

using namespace testsupport;
namespace mf = preview::matflag;

constexpr uint32_t kRed = 0xFFFF0000, kBlue = 0xFF0000FF, kWhite = 0xFFFFFFFF;
constexpr uint32_t kBg = preview::kBackground;

// A square from (-1, -1) to (1, 1) at z = 0, u and v from 0 to `repeat`,
// with colours (CLRL, blue green red alpha) and normals where given.
mesh::chunkptr Square(float repeat, const Bytes& colours, const std::vector<float>& normals) {
    mesh::chunkptr s = Segm({-1, -1, 0, 1, -1, 0, 1, 1, 0, -1, 1, 0}, "NDXT", {0, 1, 2, 0, 2, 3});
    s->AppendKid(Leaf("UV0L", FloatList({0, 0, repeat, 0, repeat, repeat, 0, repeat}, 2)));
    if (!colours.empty()) s->AppendKid(Leaf("CLRL", Cat({I32s({4}), colours})));
    if (!normals.empty()) s->AppendKid(Leaf("NRML", FloatList(normals, 3)));
    return s;
}

int Channel(uint32_t c, int shift) { return int((c >> shift) & 255); }

bool Near(uint32_t a, uint32_t b, int tolerance) {
    for (int s : {0, 8, 16})
        if (std::abs(Channel(a, s) - Channel(b, s)) > tolerance) return false;
    return true;
}

uint32_t Grey(int v) { return uint32_t(v) * 0x010101u; }

TEST(Materials, EachModeColoursTheSquareAsTheGameWould) {
    const Bytes yellow = Cat({Bytes{0, 255, 255, 255}, Bytes{0, 255, 255, 255}, Bytes{0, 255, 255, 255},
                              Bytes{0, 255, 255, 255}});
    const std::vector<float> tilted = {0, 0, 1, 0.7071f, 0, 0.7071f, 0.7071f, 0, 0.7071f, 0, 0, 1};
    struct Case {
        const char* what;
        Bytes texture;             // written as tex.tga; empty: none written
        std::vector<float> diffuse;
        uint8_t flags;
        float repeat;
        Bytes colours;
        std::vector<float> normals;
        float yaw;
        // Expected colours (0xRRGGBB) at x = 20, 28, 36 and 44 on the middle row.
        std::vector<uint32_t> seen;
        int tolerance;
    } cases[] = {
        {"texture sampled", Tga(2, 1, {kRed, kBlue}), {1, 1, 1, 1}, mf::unlit, 1, {}, {}, 0,
         {0xFF0000, 0xFF0000, 0x0000FF, 0x0000FF}, 0},
        {"texture repeated outside 0..1", Tga(2, 1, {kRed, kBlue}), {1, 1, 1, 1}, mf::unlit, 2, {}, {}, 0,
         {0xFF0000, 0x0000FF, 0xFF0000, 0x0000FF}, 0},
        {"texture missing", {}, {1, 1, 1, 1}, mf::unlit, 1, {}, {}, 0,
         {preview::kMissingTexture, preview::kMissingTexture, preview::kMissingTexture, preview::kMissingTexture}, 0},
        {"diffuse tints", Tga(1, 1, {kWhite}), {0.5f, 1, 0.25f, 1}, mf::unlit, 1, {}, {}, 0,
         {0x80FF40, 0x80FF40, 0x80FF40, 0x80FF40}, 1},
        {"vertex colours multiply", Tga(1, 1, {kWhite}), {1, 1, 1, 1}, mf::unlit, 1, yellow, {}, 0,
         {0xFFFF00, 0xFFFF00, 0xFFFF00, 0xFFFF00}, 0},
        {"hard-edged alpha cut at 0.5", Tga(2, 1, {0x40FF0000, 0xC00000FF}), {1, 1, 1, 1}, mf::unlit | mf::hardedged,
         1, {}, {}, 0, {kBg, kBg, 0x0000FF, 0x0000FF}, 0},
        {"blended by alpha", Tga(1, 1, {kWhite}), {1, 1, 1, 0.5f}, mf::unlit | mf::blended, 1, {}, {}, 0,
         {0x909296, 0x909296, 0x909296, 0x909296}, 2},
        {"additive", Tga(1, 1, {kWhite}), {0.5f, 0.5f, 0.5f, 1}, mf::unlit | mf::additive, 1, {}, {}, 0,
         {0xA0A4AC, 0xA0A4AC, 0xA0A4AC, 0xA0A4AC}, 2},
        {"lit without glow", Tga(1, 1, {kWhite}), {1, 1, 1, 1}, 0, 1, {}, {}, 0,
         {Grey(211), Grey(211), Grey(211), Grey(211)}, 2},
        {"glow drawn unlit", Tga(1, 1, {kWhite}), {1, 1, 1, 1}, mf::glow, 1, {}, {}, 0,
         {0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF}, 0},
        {"smooth shading from the normals", Tga(1, 1, {kWhite}), {1, 1, 1, 1}, 0, 1, {}, tilted, 0,
         {Grey(199), Grey(178), Grey(157), Grey(137)}, 3},
        {"single-sided transparency from behind", Tga(1, 1, {kWhite}), {1, 1, 1, 0.5f}, mf::unlit | mf::blended, 1,
         {}, {}, 180, {kBg, kBg, kBg, kBg}, 0},
        {"double-sided transparency from behind", Tga(1, 1, {kWhite}), {1, 1, 1, 0.5f},
         mf::unlit | mf::blended | mf::doublesided, 1, {}, {}, 180, {0x909296, 0x909296, 0x909296, 0x909296}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchDir dir("materials");
        if (!c.texture.empty()) dir.Write("tex.tga", c.texture);
        mesh::chunkptr root = MaterialMesh({Matd("m", "tex.tga", c.diffuse, c.flags)},
                                           {Modl("square", "", 4, {}, {Square(c.repeat, c.colours, c.normals)})});
        const preview::Geometry g = preview::Build(*root);
        const preview::Textures t = preview::LoadTextures(g, dir / "m.msh", {});
        EXPECT_EQ(t.missing.size(), c.texture.empty() ? 1u : 0u);
        preview::Camera cam;
        cam.yaw = c.yaw, cam.pitch = 0, cam.fov = 0, cam.span = 4, cam.distance = 10;
        preview::Style style;
        style.textures = &t;
        preview::Frame f;
        preview::Render(g, preview::Shown(g, -1, {}), cam, style, {}, 64, 64, f);
        const int xs[4] = {20, 28, 36, 44};
        for (int i = 0; i < 4; ++i) {
            // From behind, the square's left is on the right.
            const int x = c.yaw == 0 ? xs[i] : 63 - xs[i];
            const uint32_t got = f.pixels[size_t(32 * 64 + x)];
            EXPECT_TRUE(Near(got, c.seen[size_t(i)], c.tolerance))
                << "at x " << x << ": " << std::hex << got << " for " << c.seen[size_t(i)];
        }
    }
}

}  // namespace
