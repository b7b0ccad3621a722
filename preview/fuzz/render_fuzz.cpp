// Feeds arbitrary bytes through the preview: the mesh's geometry, its
// materials, the fitted camera and one the input chooses, a picture of each
// with every overlay, and the pick of every pixel. Besides the sanitizers
// (which also catch a float turned into an int it does not fit) it checks
// what must hold for any input:
//   - the picture has the size asked for, every pixel opaque;
//   - every pixel's triangle is one of the geometry's, or none.
//
// Input: 28 bytes of camera (target x, y, z, distance, yaw, pitch, fov as
// floats), then the mesh file.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "format/bytes.h"
#include "mesh/msh.h"
#include "preview/render.h"

namespace {

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

void Draw(const preview::Geometry& g, const std::vector<uint8_t>& shown, const preview::Camera& cam, bool wire,
          int threads) {
    preview::Style style;
    style.wireframe = wire;
    style.bones = true;
    style.hardpoints = true;
    style.threads = threads;
    preview::Highlight mark;
    mark.segment = g.segments.empty() ? -1 : 0;
    mark.vertex = 0;
    preview::Frame f;
    preview::Render(g, shown, cam, style, mark, 40, 30, f);
    if (f.width != 40 || f.height != 30 || f.pixels.size() != 1200 || f.ids.size() != 1200)
        Fail("the picture's size");
    for (size_t i = 0; i < f.pixels.size(); ++i) {
        if ((f.pixels[i] >> 24) != 0xFF) Fail("a pixel that is not opaque");
        if (f.ids[i] != preview::Frame::kNone && f.ids[i] >= g.triangles.size()) Fail("a pixel's triangle");
    }
    preview::MarkerAt(g, shown, cam, style, 40, 30, 20, 15, 8);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 28) return 0;
    float v[7];
    for (int i = 0; i < 7; ++i) v[i] = format::LoadF32(data + 4 * i);
    auto bytes = std::make_shared<std::vector<uint8_t>>(data + 28, data + size);
    static const mesh::namelist list = {"MSH2", "SINF", "MATL", "MATD", "MODL", "GEOM", "SEGM", "CLTH", "HEDR"};
    std::string why;
    mesh::mshptr m = mesh::OpenBytes(bytes, list, 1, &why);
    if (!m || !m->hedr) return 0;
    const preview::Geometry g = preview::Build(*m->hedr);
    preview::Visibility all{true, true, true};
    const std::vector<uint8_t> shown = preview::Shown(g, -1, all);
    Draw(g, shown, preview::Fit(g, shown, 30, 20, 4.0f / 3), false, 1);
    preview::Camera cam;
    cam.target = {v[0], v[1], v[2]};
    cam.distance = v[3], cam.yaw = v[4], cam.pitch = v[5], cam.fov = v[6], cam.span = v[3];
    Draw(g, shown, cam, true, 2);
    return 0;
}
