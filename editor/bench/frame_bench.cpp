// One main-loop frame of the editor over the headless host, without a mesh
// and on meshes with many models, all of them visible in the tree. Shows that
// a frame costs the rows on screen, not the size of the mesh.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "display/display.h"
#include "editor/editor.h"
#include "host/headless_host.h"

namespace fs = std::filesystem;

namespace {

std::string Enc(const std::string& name, const std::string& data) {
    std::string out = name;
    uint32_t n = static_cast<uint32_t>(data.size());
    for (int i = 0; i < 4; ++i) out += static_cast<char>((n >> (8 * i)) & 255);
    return out + data;
}

// A scratch working directory with the shipped configuration and images.
struct Scratch {
    Scratch() {
        char tmpl[] = "/tmp/vorna-bench-XXXXXX";
        dir = mkdtemp(tmpl);
        fs::create_directories(dir + "/mdata");
        fs::create_directories(dir + "/data/image");
        for (const char* f : {"mdata/format.txt", "mdata/graphics.txt"})
            fs::copy_file(std::string(SOURCE_DIR) + "/" + f, dir + "/" + f);
        for (const auto& e : fs::directory_iterator(std::string(SOURCE_DIR) + "/data/image"))
            fs::copy_file(e.path(), dir + "/data/image/" + e.path().filename().string());
        old = fs::current_path();
        fs::current_path(dir);
    }
    ~Scratch() {
        fs::current_path(old);
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    std::string dir;
    fs::path old;
};

void Frame(benchmark::State& state, int models) {
    Scratch scratch;
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
    if (ed.st.curmesh) {
        ed.st.curmesh->hedr->expanded = 1;
        ed.st.curmesh->hedr->kids[0]->expanded = 1;
        ed.st.selchunk = ed.st.modllist[models / 2];
        ed.Refresh();
        ed.w.treescroll->state = ed.w.treescroll->h / 2;
        ed.w.modlscroll->state = ed.w.modlscroll->h / 2;
    }
    ed.Frame();
    for (auto _ : state) ed.Frame();
    state.counters["models"] = models;
}

void BM_FrameWithoutMesh(benchmark::State& state) { Frame(state, 0); }
void BM_FrameManyModels(benchmark::State& state) { Frame(state, static_cast<int>(state.range(0))); }

}  // namespace

BENCHMARK(BM_FrameWithoutMesh)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FrameManyModels)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
