// CPU time to build and submit one frame of a full 96 x 60 grid.
//   BM_BuildFrame:     Draw into a host that drops the quads (building only)
//   BM_HeadlessFrame:  Draw into the headless host's frame buffer (software)
//   BM_SdlFrame:       Draw into the real window and send it to OpenGL (needs
//                      an X display, e.g. xvfb-run); the swap is not counted
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

#include "display/display.h"
#include "display/tilemap.h"
#include "host/headless_host.h"
#ifdef HAVE_SDL_HOST
#include "host/sdl_host.h"
#endif

namespace {

// A busy screen: every cell a glyph with distinct colours, some solid.
display::tilemap BusyGrid() {
    display::tilemap t(96, 60);
    unsigned seed = 12345;
    for (int y = 0; y < 60; y++)
        for (int x = 0; x < 96; x++) {
            seed = seed * 1103515245 + 12345;
            int f = (seed >> 8) & 63, b = (seed >> 16) & 63;
            if (b == 9) b = 25;
            t.SetTile(x, y, (seed >> 20) & 255, f, b, 1);
        }
    return t;
}

class DroppingHost : public host::HeadlessHost {
public:
    void DrawQuads(const host::Quad*, size_t count) override { quads += count; }
    size_t quads = 0;
};

template <class H>
void Run(benchmark::State& state, H& h) {
    display::Display d(h);
    d.LoadDisplay("mdata/graphics.txt");
    display::tilemap grid = BusyGrid();
    for (auto _ : state) {
        grid.Draw(d, 0, 0);
        benchmark::ClobberMemory();
    }
}

void BM_BuildFrame(benchmark::State& state) {
    DroppingHost h;
    Run(state, h);
    state.counters["quads/frame"] = double(h.quads) / double(state.iterations());
}
BENCHMARK(BM_BuildFrame)->Unit(benchmark::kMicrosecond);

void BM_HeadlessFrame(benchmark::State& state) {
    host::HeadlessHost h;
    Run(state, h);
}
BENCHMARK(BM_HeadlessFrame)->Unit(benchmark::kMicrosecond);

#ifdef HAVE_SDL_HOST
// Argument: 1 draws grids through the shader, 0 as rectangles.
void BM_SdlFrame(benchmark::State& state) {
    if (!std::getenv("DISPLAY")) {
        state.SkipWithError("no X display");
        return;
    }
    host::SdlHost h;
    h.UseGridShader(state.range(0) != 0);
    display::Display d(h);
    d.LoadDisplay("mdata/graphics.txt");
    display::tilemap grid = BusyGrid();
    grid.Draw(d, 0, 0);  // uploads the textures once
    h.Flip(host::Pace::kNow);
    for (auto _ : state) {
        h.ClearScreen();
        grid.Draw(d, 0, 0);
        h.FlushBatch();  // everything is handed to OpenGL
        state.PauseTiming();
        h.Finish();  // the drawing itself is the GPU's part, not counted
        h.Flip(host::Pace::kNow);
        state.ResumeTiming();
    }
    state.counters["GL calls/frame"] = h.LastFrameDrawCalls();
    state.counters["shader"] = h.GridShaderInUse();
}
BENCHMARK(BM_SdlFrame)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond)->Iterations(300);

// Wall time of a whole presented frame, drawing included (on this machine's
// OpenGL; without a GPU that is a software rasterizer).
void BM_SdlPresentedFrame(benchmark::State& state) {
    if (!std::getenv("DISPLAY")) {
        state.SkipWithError("no X display");
        return;
    }
    host::SdlHost h;
    h.UseGridShader(state.range(0) != 0);
    display::Display d(h);
    d.LoadDisplay("mdata/graphics.txt");
    display::tilemap grid = BusyGrid();
    for (auto _ : state) {
        h.ClearScreen();
        grid.Draw(d, 0, 0);
        h.RequestRedraw();  // the same picture each time: shown all the same
        h.Flip(host::Pace::kNow);
        h.Finish();
    }
}
BENCHMARK(BM_SdlPresentedFrame)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(60);
#endif

}  // namespace

BENCHMARK_MAIN();
