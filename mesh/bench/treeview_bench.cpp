// Time of one frame of the chunk tree view (a 16 x 40 tree grid) on a mesh of
// a million chunks:
//   BM_DeepPath/<first>:  one path a million chunks deep, opened all the way,
//                         the root selected and every chunk flagged by
//                         verification; first row 0, the middle, the end
//   BM_WideRoot/<first>:  a root with a million leaf children, opened
// Rows above the first are counted but not painted, so the time grows with
// the first row; the walk ends at the bottom of the grid.
#include <benchmark/benchmark.h>

#include <memory>

#include "display/display.h"
#include "host/headless_host.h"
#include "mesh/treeview.h"
#include "widgets/toolkit.h"

namespace {

constexpr int kChunks = 1000000;

struct Scene {
    host::HeadlessHost host;
    display::Display display{host};
    widgets::Toolkit ui{display};
    std::unique_ptr<widgets::gadget> panel = widgets::gadget::CreateLabel("", 1, 7, 16, 40, 1);
    display::tilemap grid{16, 40};
    mesh::msh deep, wide;
    mesh::chunkptr selchunk;
    mesh::TreeView view;

    Scene() {
        panel->dx = 1;
        panel->dy = 7;
        ui.mx = 5;
        ui.my = 12;  // hovering a row: the hover tint is part of the work
        view.ui = &ui;
        view.selchunk = &selchunk;
        view.treepanel = panel.get();

        // Built from the bottom up: every append is to a chunk without a parent.
        mesh::chunkptr c = mesh::chunk::Create("DEEP");
        deep.errors.push_back(c);
        for (int i = 1; i < kChunks; i++) {
            mesh::chunkptr p = mesh::chunk::Create(i == kChunks - 1 ? "HEDR" : "DEEP");
            p->AppendKid(c);
            p->expanded = 1;
            deep.errors.push_back(p);
            c = p;
        }
        deep.hedr = c;
        deep.hedr->Update(0);
        selchunk = deep.hedr;

        wide.hedr = mesh::chunk::Create("HEDR");
        for (int i = 1; i < kChunks; i++) wide.hedr->AppendKid(mesh::chunk::Create("LEAF"));
        wide.hedr->expanded = 1;
        wide.hedr->Update(0);
    }
};

Scene& TheScene() {
    static Scene scene;
    return scene;
}

void Frame(benchmark::State& state, mesh::msh& m) {
    Scene& s = TheScene();
    const int first = static_cast<int>(state.range(0));
    for (auto _ : state) {
        s.grid.Fill(0, 0, 25, 0);
        mesh::Render(m, s.view, s.grid, first);
        benchmark::DoNotOptimize(s.grid.tmap.data());
    }
}

void BM_DeepPath(benchmark::State& state) { Frame(state, TheScene().deep); }
void BM_WideRoot(benchmark::State& state) { Frame(state, TheScene().wide); }

}  // namespace

BENCHMARK(BM_DeepPath)->Arg(0)->Arg(kChunks / 2)->Arg(kChunks - 40)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WideRoot)->Arg(0)->Arg(kChunks / 2)->Arg(kChunks - 40)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
