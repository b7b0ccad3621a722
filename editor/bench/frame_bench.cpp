// One main-loop frame of the editor over the headless host, without a mesh
// and on meshes with many models, all of them visible in the tree. Shows that
// a frame costs the rows on screen, not the size of the mesh.
//
// BM_InspectorList/<n>: the inspector's part of a frame (decoding and
// painting its window) with a POSL of n vertices selected and scrolled to the
// middle: a million vertices cost what ten do.
//
// BM_FrameView/<mode>: a frame with a model of 20,000 triangles selected:
// 0 the inspector's values (the baseline), 1 its 3D preview idle (the
// picture kept from the frame before), 2 the preview turned a degree a
// frame (a new picture each frame).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "display/display.h"
#include "editor/bench/scratch.h"
#include "editor/editor.h"
#include "editor/modellist.h"
#include "editor/treepanel.h"
#include "editor/inspector.h"
#include "format/bytes.h"
#include "host/headless_host.h"
#include "tests/support/chunks.h"

namespace fs = std::filesystem;

namespace {

std::string Enc(const std::string& name, const std::string& data) {
    const testsupport::Bytes b = testsupport::Ck(name, testsupport::Text(data));
    return std::string(b.begin(), b.end());
}

void Frame(benchmark::State& state, int models) {
    editorbench::Scratch scratch("bench");
    std::vector<std::string> args;
    if (models > 0) {
        std::string kids = Enc("SINF", "");
        for (int i = 0; i < models; ++i)
            kids += Enc("MODL", Enc("MTYP", std::string(4, '\0')) + Enc("NAME", "m" + std::to_string(i % 1000) + std::string(3, '\0')));
        std::ofstream("big.msh", std::ios::binary) << Enc("HEDR", Enc("MSH2", kids) + Enc("CL1L", ""));
        args.push_back("big.msh");
    }
    host::HeadlessHost host;
    display::Display display(host);
    editor::Editor ed(host, display);
    ed.Startup(args);
    if (ed.doc.mesh) {
        ed.doc.mesh->hedr->expanded = 1;
        ed.doc.mesh->hedr->kids[0]->expanded = 1;
        ed.doc.selchunk = ed.modellist->models[models / 2];
        ed.doc.Refresh();
        ed.tree->scroll->state = ed.tree->scroll->h / 2;
        ed.modellist->scroll->state = ed.modellist->scroll->h / 2;
    }
    ed.Frame();
    for (auto _ : state) ed.Frame();
    state.counters["models"] = models;
}

void BM_FrameWithoutMesh(benchmark::State& state) { Frame(state, 0); }
void BM_FrameManyModels(benchmark::State& state) { Frame(state, static_cast<int>(state.range(0))); }

void BM_InspectorList(benchmark::State& state) {
    editorbench::Scratch scratch("bench");
    const int n = static_cast<int>(state.range(0));
    std::string posl(4 + 12 * static_cast<size_t>(n), '\0');
    format::StoreI32(reinterpret_cast<uint8_t*>(posl.data()), n);
    for (size_t i = 4; i < posl.size(); i += 4) posl[i + 3] = 0x3F;  // floats near 0.5
    const std::string segm = Enc("SEGM", Enc("MATI", std::string(4, '\0')) + Enc("POSL", posl));
    const std::string modl = Enc("MODL", Enc("NAME", std::string("m\0\0\0", 4)) +
                                             Enc("GEOM", Enc("BBOX", std::string(44, '\0')) + segm));
    std::ofstream("list.msh", std::ios::binary)
        << Enc("HEDR", Enc("MSH2", Enc("SINF", Enc("NAME", std::string("s\0\0\0", 4))) + modl));
    host::HeadlessHost host;
    display::Display display(host);
    editor::Editor ed(host, display);
    ed.Startup({"list.msh"});
    std::vector<mesh::chunkptr> lists;
    ed.doc.mesh->hedr->addtolist(lists, "POSL");
    ed.doc.selchunk = lists.at(0);
    ed.Frame();
    ed.inspector->scroll->state = ed.inspector->scroll->h / 2;
    ed.Frame();
    for (auto _ : state) {
        ed.inspector->View(ed.g.screen);
        ed.inspector->Paste(ed.g.screen);
    }
    state.counters["rows"] = static_cast<double>(ed.inspector->inspection.rows);
}

void BM_FrameView(benchmark::State& state) {
    editorbench::Scratch scratch("bench");
    // A grid of 101 x 101 vertices, two triangles a square.
    const int side = 101;
    std::string posl, ndxt;
    auto u32 = [](uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); };
    auto f32 = [&](float v) { uint32_t u; std::memcpy(&u, &v, 4); return u32(u); };
    posl = u32(side * side);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) posl += f32(float(x)) + f32(float(y)) + f32(float((x * y) % 7) * 0.1f);
    ndxt = u32(2 * (side - 1) * (side - 1));
    for (int y = 0; y + 1 < side; ++y)
        for (int x = 0; x + 1 < side; ++x) {
            const uint16_t a = uint16_t(y * side + x), b = uint16_t(a + 1), c = uint16_t(a + side), d = uint16_t(c + 1);
            for (uint16_t i : {a, b, c, b, d, c}) ndxt += std::string(reinterpret_cast<const char*>(&i), 2);
        }
    const std::string modl = Enc("MODL", Enc("NAME", std::string("m\0\0\0", 4)) +
                                             Enc("GEOM", Enc("BBOX", std::string(44, '\0')) +
                                                             Enc("SEGM", Enc("POSL", posl) + Enc("NDXT", ndxt))));
    std::ofstream("grid.msh", std::ios::binary)
        << Enc("HEDR", Enc("MSH2", Enc("SINF", Enc("NAME", std::string("s\0\0\0", 4))) + modl));
    host::HeadlessHost host;
    display::Display display(host);
    editor::Editor ed(host, display);
    ed.Startup({"grid.msh"});
    ed.doc.selchunk = ed.modellist->models.at(0);
    ed.inspector->preview->viewbox->state = state.range(0) > 0;
    ed.Frame();
    for (auto _ : state) {
        if (state.range(0) == 2) ed.inspector->preview->camera.yaw += 1;
        ed.Frame();
    }
    state.counters["renders"] = ed.inspector->preview->renders;
}

}  // namespace

BENCHMARK(BM_FrameView)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InspectorList)->Arg(10)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FrameWithoutMesh)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FrameManyModels)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
