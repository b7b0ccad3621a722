// The cost of the undo history on a 64 MB mesh: 1,000 single-byte edits
// through the editor's byte picker, then every step undone and redone.
// Prints the peak memory beside the file size and the memory of the mesh
// alone, and the time of one undo or redo beside the time of the edit itself.
// Then 1,000 bytes written into MSH2 itself, in handle mode, on the realistic
// 64 MB mesh of bench/support/bigmesh.h: the peak memory and what the
// history holds, beside the file size and the history's bounds.
//
// usage: editor_undo_bench [EDITED_CHUNKS]
// The edits fall at random places of EDITED_CHUNKS (default 4) of the 16
// vertex lists of 4 MB each. A chunk's first edit copies its data (the mesh's
// copy on write, without undo too), so the peak grows by 4 MB a chunk.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench/support/bigmesh.h"
#include "display/display.h"
#include "editor/bench/scratch.h"
#include "editor/dataview.h"
#include "editor/editor.h"
#include "editor/modellist.h"
#include "host/headless_host.h"
#include "tests/support/chunks.h"

namespace fs = std::filesystem;

namespace {

std::string Enc(const std::string& name, const std::string& data) {
    const testsupport::Bytes b = testsupport::Ck(name, testsupport::Text(data));
    return std::string(b.begin(), b.end());
}

// A kernel figure of this process from /proc/self/status, in MB.
double StatusMb(const char* key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key, 0) == 0) return std::stod(line.substr(std::string(key).size())) / 1024.0;
    return 0;
}

// Starts a new peak: the kernel's high-water mark is set back to now.
void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

double Ms(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// 1,000 bytes written into MSH2 at random places (most inside a leaf's
// data, a few on headers), each one step.
void ContainerWrites() {
    {
        const std::vector<uint8_t> bytes = bigmesh::Make(size_t{64} << 20);
        std::ofstream("scene.msh", std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    const double filemb = static_cast<double>(fs::file_size("scene.msh")) / (1 << 20);
    host::HeadlessHost host;
    display::Display display(host);
    editor::Editor ed(host, display);
    const double before = StatusMb("VmRSS:");
    ed.Startup({"scene.msh"});
    const double loaded = StatusMb("VmRSS:");
    ed.data->SetHandle(1);
    const mesh::chunkptr msh2 = ed.doc.mesh->hedr->getkid("MSH2");
    ResetPeak();
    std::mt19937 rng(2);
    constexpr int kWrites = 1000;
    int intoleaf = 0;
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < kWrites; ++i) {
        ed.doc.selchunk = msh2;
        ed.doc.datacursor = static_cast<int>(rng() % static_cast<unsigned>(msh2->size));
        ed.data->pickedbyte = static_cast<int>((msh2->readbyte(ed.doc.datacursor) + 1 + rng() % 255) % 256);
        int64_t at = 0;
        if (editor::LeafHolding(msh2, ed.doc.datacursor, 1, at)) ++intoleaf;
        ed.Execute("pick byte");
    }
    const double writems = Ms(std::chrono::steady_clock::now() - t0) / kWrites;
    const double peak = StatusMb("VmHWM:");
    std::printf("\ncontainer writes: %d bytes written into MSH2 (handle mode) of a %.1f MB mesh: %d inside a leaf's "
                "data, %d on a header; %.3f ms a write\n",
                kWrites, filemb, intoleaf, kWrites - intoleaf, writems);
    std::printf("container writes: memory %.1f MB before reading, %.1f MB with the mesh read (baseline), peak %.1f MB "
                "over the writes = %.2f x the file\n",
                before, loaded, peak, (peak - before) / filemb);
    std::printf("container writes: the history holds %.3f MB in %zu steps (bounds %zu MB, %zu steps)\n",
                static_cast<double>(ed.doc.history.Bytes()) / (1 << 20), ed.doc.history.Steps(),
                editor::History::kMaxBytes >> 20, editor::History::kMaxSteps);
}

}  // namespace

int main(int argc, char** argv) {
    const int edited = argc > 1 ? std::clamp(std::atoi(argv[1]), 1, 16) : 4;
    editorbench::Scratch scratch("undo-bench");
    constexpr int kModels = 16;
    constexpr size_t kList = 4u << 20;
    {
        // Written piece by piece, so that building the file leaves no large
        // freed blocks behind for the measurement to miss.
        auto header = [](const std::string& name, size_t size) {
            const testsupport::Bytes h = testsupport::Ck(name, {}, static_cast<int32_t>(size));
            return std::string(h.begin(), h.end());
        };
        const std::string sinf = Enc("SINF", Enc("NAME", std::string("big\0", 4)));
        auto model = [&](int i) {
            std::string posl(kList, '\0');
            for (size_t k = 0; k < posl.size(); ++k) posl[k] = static_cast<char>(k * 7 + i);
            const std::string segm = Enc("SEGM", Enc("MATI", std::string(4, '\0')) + Enc("POSL", posl));
            return Enc("MODL", Enc("MTYP", std::string(4, '\0')) + Enc("NAME", "m" + std::to_string(i % 10) + "\0\0") +
                                   Enc("GEOM", Enc("BBOX", std::string(44, '\0')) + segm));
        };
        const size_t modelsize = model(0).size();
        const size_t msh2 = sinf.size() + kModels * modelsize;
        std::ofstream out("big.msh", std::ios::binary);
        out << header("HEDR", msh2 + 8) << header("MSH2", msh2) << sinf;
        for (int i = 0; i < kModels; ++i) out << model(i);
    }
    const double filemb = static_cast<double>(fs::file_size("big.msh")) / (1 << 20);

    host::HeadlessHost host;
    display::Display display(host);
    editor::Editor ed(host, display);
    const double before = StatusMb("VmRSS:");
    ed.Startup({"big.msh"});
    const double loaded = StatusMb("VmRSS:");
    std::vector<mesh::chunkptr> lists;
    for (const mesh::chunkptr& m : ed.modellist->models) lists.push_back(m->getkid("GEOM")->getkid("SEGM")->getkid("POSL"));
    if (lists.size() != kModels) {
        std::fprintf(stderr, "the mesh did not read as expected\n");
        return 1;
    }

    ResetPeak();
    std::printf("memory: peak set back to %.1f MB\n", StatusMb("VmHWM:"));
    std::mt19937 rng(1);
    constexpr int kEdits = 1000;
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < kEdits; ++i) {
        const mesh::chunkptr& c = lists[rng() % static_cast<unsigned>(edited)];
        ed.doc.selchunk = c;
        ed.doc.datacursor = static_cast<int>(rng() % static_cast<unsigned>(c->size));
        ed.data->pickedbyte = static_cast<int>((c->readbyte(ed.doc.datacursor) + 1 + rng() % 255) % 256);
        ed.Execute("pick byte");
    }
    const double editms = Ms(std::chrono::steady_clock::now() - t0) / kEdits;
    const size_t steps = ed.doc.history.Steps();
    const double historymb = static_cast<double>(ed.doc.history.Bytes()) / (1 << 20);

    double undomax = 0, redomax = 0;
    const auto t1 = std::chrono::steady_clock::now();
    for (size_t i = 0; i < steps; ++i) {
        const auto s = std::chrono::steady_clock::now();
        ed.Execute("undo");
        undomax = std::max(undomax, Ms(std::chrono::steady_clock::now() - s));
    }
    const double undoms = Ms(std::chrono::steady_clock::now() - t1) / static_cast<double>(steps);
    const auto t2 = std::chrono::steady_clock::now();
    for (size_t i = 0; i < steps; ++i) {
        const auto s = std::chrono::steady_clock::now();
        ed.Execute("redo");
        redomax = std::max(redomax, Ms(std::chrono::steady_clock::now() - s));
    }
    const double redoms = Ms(std::chrono::steady_clock::now() - t2) / static_cast<double>(steps);
    const double peak = StatusMb("VmHWM:");
    const double end = StatusMb("VmRSS:");

    std::printf("mesh: %.1f MB file, %d vertex lists of %zu MB, %d of them edited\n", filemb, kModels, kList >> 20,
                edited);
    std::printf("memory: process %.1f MB before reading, %.1f MB with the mesh read (baseline)\n", before, loaded);
    std::printf("memory: %.1f MB at the end, of which %d MB are the edited lists' own copies (copy on write, "
                "as without undo)\n",
                end, edited * static_cast<int>(kList >> 20));
    std::printf("memory: peak %.1f MB over %zu recorded edits and their undo and redo; the mesh's part %.1f MB = "
                "%.2f x the file (limit 1.50 x); the history holds %.3f MB\n",
                peak, steps, peak - before, (peak - before) / filemb, historymb);
    std::printf("time: one edit %.3f ms (baseline); undo %.3f ms a step (at most %.3f); redo %.3f ms a step "
                "(at most %.3f); limit 16 ms\n",
                editms, undoms, undomax, redoms, redomax);
    ContainerWrites();
    return 0;
}
