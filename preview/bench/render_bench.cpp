// CPU time of one preview frame, beside the cost of an empty frame in the
// same run: a model of about 100,000 triangles (four segments of a torus
// knot of tubes, 102,400 triangles) drawn fitted at the size the enlarged
// preview has in the shipped window (54 x 34 cells of 16 pixels: 864 x 544)
// and at twice that, with and without the wireframe. The target: under
// 16 ms a frame at the enlarged size.
//
// usage: preview_bench [--benchmark_repetitions=N ...]   (Google Benchmark flags)
#include <benchmark/benchmark.h>

#include <cmath>

#include "preview/render.h"
#include "tests/support/models.h"

namespace {

using namespace testsupport;

// One segment: a torus of 160 x 80 quads (25,600 triangles), moved along x.
mesh::chunkptr Torus(float at) {
    const int nu = 160, nv = 80;
    std::vector<float> xyz;
    for (int i = 0; i <= nu; ++i)
        for (int j = 0; j <= nv; ++j) {
            const float u = 6.2831853f * i / nu, v = 6.2831853f * j / nv;
            const float r = 2 + 0.6f * std::cos(v);
            xyz.insert(xyz.end(), {at + r * std::cos(u), 0.6f * std::sin(v), r * std::sin(u)});
        }
    std::vector<uint16_t> tris;
    for (int i = 0; i < nu; ++i)
        for (int j = 0; j < nv; ++j) {
            const uint16_t a = uint16_t(i * (nv + 1) + j), b = uint16_t(a + nv + 1);
            tris.insert(tris.end(), {a, b, uint16_t(b + 1), a, uint16_t(b + 1), uint16_t(a + 1)});
        }
    return Segm(xyz, "NDXT", tris);
}

struct Scene {
    preview::Geometry g;
    std::vector<uint8_t> shown;
    Scene(bool full) {
        std::vector<mesh::chunkptr> segs;
        if (full)
            for (int k = 0; k < 4; ++k) segs.push_back(Torus(k * 4.5f));
        root = Mesh({Modl("knot", "", 4, {}, segs)});
        g = preview::Build(*root);
        shown = preview::Shown(g, -1, {});
    }
    mesh::chunkptr root;
};

void Frame(benchmark::State& state, bool full, int scale, bool wire) {
    static Scene empty(false), model(true);
    const Scene& s = full ? model : empty;
    const int w = 864 * scale, h = 544 * scale;
    const preview::Camera cam = preview::Fit(s.g, s.shown, 30, 20, float(w) / h);
    preview::Frame f;
    for (auto _ : state) {
        preview::Render(s.g, s.shown, cam, {wire}, {}, w, h, f);
        benchmark::DoNotOptimize(f.pixels.data());
    }
    state.counters["triangles"] = double(s.g.triangles.size());
}

BENCHMARK_CAPTURE(Frame, empty_864x544, false, 1, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Frame, model_864x544, true, 1, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Frame, model_864x544_wireframe, true, 1, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Frame, empty_1728x1088, false, 2, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Frame, model_1728x1088, true, 2, false)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
