// Figures of the text form and the diff, each beside its baseline from the
// same run (medians of RUNS runs, 5 by default, in processor seconds; build
// also in wall seconds, as it reads a large text on every core: the count of
// cores is printed, and build uses them all):
//   1. two meshes of about 64 MB that differ in one vertex, as files: reading
//      both (as mshtool reads them) against reading both and comparing them;
//      target: diff under 2x reading;
//   2. the text form of one: reading the mesh file against reading and
//      dumping it into memory, and reading the text file against reading it
//      and building the mesh's bytes in memory; target: build under 3x
//      reading the text, in wall time. (Writing the results is the same for any program
//      and left out.)
//
//   textform_bench [DIR [RUNS]]    (DIR: a scratch folder, /tmp by default)
#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "diff/diff.h"
#include "format/bytes.h"
#include "files/files.h"
#include "mesh/msh.h"
#include "tests/support/chunks.h"
#include "textform/builder.h"
#include "textform/textform.h"
#include "bench/support/bigmesh.h"

namespace {

// The processor time of this program (user and system): on a machine shared
// with other work it tells the cost of a step better than the wall clock.
double Cpu() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

double Wall() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

struct Times {
    double cpu, wall;  // medians
};

Times Medians(int runs, const std::function<void()>& f) {
    std::vector<double> cpu, wall;
    for (int i = 0; i < runs; ++i) {
        const double c = Cpu(), w = Wall();
        f();
        cpu.push_back(Cpu() - c);
        wall.push_back(Wall() - w);
    }
    std::sort(cpu.begin(), cpu.end());
    std::sort(wall.begin(), wall.end());
    return {cpu[cpu.size() / 2], wall[wall.size() / 2]};
}

double Median(int runs, const std::function<void()>& f) { return Medians(runs, f).cpu; }

// A mesh of about `target` bytes with finite floats in its lists (the shared
// generator fills them with any bytes, which the text form keeps as bytes).
std::vector<uint8_t> Make(size_t target) {
    std::vector<uint8_t> b = bigmesh::Make(target);
    int64_t p = 0;
    const int64_t n = static_cast<int64_t>(b.size());
    // Every list of floats, found by its name where a header stands.
    while (p + 8 <= n) {
        const std::string name(reinterpret_cast<const char*>(&b[static_cast<size_t>(p)]), 4);
        const int32_t size = format::LoadI32(&b[static_cast<size_t>(p) + 4]);
        if (name == "HEDR" || name == "MSH2" || name == "MODL" || name == "GEOM" || name == "SEGM" ||
            name == "MATL" || name == "MATD" || name == "SINF") {
            p += name == "MATL" ? 12 : 8;
            continue;
        }
        if (name == "POSL" || name == "NRML" || name == "UV0L")
            for (int64_t q = p + 12, i = 0; q + 4 <= p + 8 + size; q += 4, ++i) {
                const float f = static_cast<float>(i % 1000) * 0.125f - 60.0f;
                std::memcpy(&b[static_cast<size_t>(q)], &f, 4);
            }
        if (name == "STRP")
            for (int64_t q = p + 12, i = 0; q + 2 <= p + 8 + size; q += 2, ++i) {
                const uint16_t v = static_cast<uint16_t>(i % 30000);
                std::memcpy(&b[static_cast<size_t>(q)], &v, 2);
            }
        p += 8 + std::max(0, size);
    }
    return b;
}

bool WriteFile(const std::string& path, const void* data, size_t n) {
    host::AtomicFile f(path);
    return f.Ok() && f.Write(static_cast<const uint8_t*>(data), n) && f.Commit();
}

}  // namespace

int main(int argc, char** argv) {
    const std::string dir = argc > 1 ? argv[1] : "/tmp";
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const mesh::namelist list = testsupport::Containers();
    std::vector<uint8_t> a = Make(64u << 20);
    std::vector<uint8_t> b = a;
    // One vertex of the last model moved.
    const size_t at = b.size() - 5000;
    b[at] ^= 0x40;
    const std::string pa = dir + "/textform_bench_a.msh", pb = dir + "/textform_bench_b.msh";
    const std::string pt = dir + "/textform_bench_a.txt";
    if (!WriteFile(pa, a.data(), a.size()) || !WriteFile(pb, b.data(), b.size())) {
        std::fprintf(stderr, "cannot write the meshes in %s\n", dir.c_str());
        return 1;
    }
    std::printf("meshes: %.1f MB each, %d runs, medians of processor time\n", a.size() / 1048576.0, runs);

    size_t lines = 0;
    const double read2 = Median(runs, [&] {
        mesh::mshptr x = mesh::OpenMesh(pa, list, 1), y = mesh::OpenMesh(pb, list, 1);
    });
    const double diff = Median(runs, [&] {
        mesh::mshptr x = mesh::OpenMesh(pa, list, 1), y = mesh::OpenMesh(pb, list, 1);
        lines = meshdiff::Diff(*x->hedr, *y->hedr).size();
    });
    std::printf("diff:  read both %.3f s, read both and diff %.3f s (%zu line): %.2fx (target under 2x)\n", read2,
                diff, lines, diff / read2);

    std::vector<uint8_t> bytes;
    const double readmesh = Median(runs, [&] { host::ReadWholeFile(pa, mesh::msh::kMaxFileBytes, bytes, nullptr); });
    std::string text;
    const double dump = Median(runs, [&] {
        host::ReadWholeFile(pa, mesh::msh::kMaxFileBytes, bytes, nullptr);
        text.clear();
        textform::Dump(bytes, list, [&](std::string_view s) {
            text += s;
            return true;
        });
    });
    std::printf("dump:  read the mesh %.3f s, read and dump it %.3f s: %.2fx\n", readmesh, dump, dump / readmesh);
    if (!WriteFile(pt, text.data(), text.size())) return 1;

    std::vector<uint8_t> txt;
    const Times readtext = Medians(runs, [&] { host::ReadWholeFile(pt, int64_t(1) << 40, txt, nullptr); });
    std::vector<uint8_t> built;
    std::string error;
    const Times build = Medians(runs, [&] {
        host::ReadWholeFile(pt, int64_t(1) << 40, txt, nullptr);
        textform::Build({reinterpret_cast<const char*>(txt.data()), txt.size()}, built, error);
    });
    bool same = built == a;
    const Times alone = Medians(runs, [&] {
        host::ReadWholeFile(pt, int64_t(1) << 40, txt, nullptr);
        textform::Build({reinterpret_cast<const char*>(txt.data()), txt.size()}, built, error, {.threads = 1});
    });
    same = same && built == a;
    std::printf("build: read the text (%.1f MB) %.3f s wall, read it and build the mesh %.3f s wall on %u cores: "
                "%.2fx (target under 3x)%s\n",
                txt.size() / 1048576.0, readtext.wall, build.wall, std::thread::hardware_concurrency(),
                build.wall / readtext.wall, same ? "" : "  NOT THE SAME BYTES");
    std::printf("build: read the text %.3f s processor time, read it and build the mesh %.3f s: %.2fx\n",
                readtext.cpu, build.cpu, build.cpu / readtext.cpu);
    std::printf("build: on one thread %.3f s wall (%.2fx reading), %.3f s processor time\n", alone.wall,
                alone.wall / readtext.wall, alone.cpu);
    std::printf("build: lines read with 512-bit vectors: %s\n", textform::WideAvailable() ? "yes" : "no (this processor has none)");
    if (!std::getenv("TEXTFORM_BENCH_KEEP"))
        for (const std::string& p : {pa, pb, pt}) std::remove(p.c_str());
    return same ? 0 : 1;
}
