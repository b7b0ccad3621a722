// Figures of the text form and the diff, each beside its baseline from the
// same run (medians of RUNS runs, 5 by default, in processor seconds):
//   1. two meshes of about 64 MB that differ in one vertex, as files: reading
//      both (as mshtool reads them) against reading both and comparing them;
//      target: diff under 2x reading;
//   2. the text form of one: reading the mesh file against reading and
//      dumping it into memory (writing the text is the same for any program
//      and left out); the text is then built back and compared.
// The build is measured as a whole mshtool process beside resave of the same
// mesh by tools/measure_build.sh, which makes its mesh with --make.
//
//   textform_bench [DIR [RUNS]]    (DIR: a scratch folder, /tmp by default)
//   textform_bench --make PATH MB  (writes the mesh of about MB megabytes)
#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "diff/diff.h"
#include "format/bytes.h"
#include "files/files.h"
#include "mesh/msh.h"
#include "tests/support/chunks.h"
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

// A mesh of about `target` bytes whose lists hold values as real meshes do
// (the shared generator fills them with any bytes, which the text form
// keeps as bytes): positions and texture coordinates with every bit of
// their mantissa, unit normals, strips of 12 entries that begin with two
// strip starts.
std::vector<uint8_t> Make(size_t target) {
    std::vector<uint8_t> b = bigmesh::Make(target);
    int64_t p = 0;
    const int64_t n = static_cast<int64_t>(b.size());
    uint32_t seed = 1;
    const auto unit = [&] { return float((seed = seed * 1664525u + 1013904223u) >> 8) / float(1 << 24); };
    // Every list, found by its name where a header stands.
    while (p + 8 <= n) {
        const std::string name(reinterpret_cast<const char*>(&b[static_cast<size_t>(p)]), 4);
        const int32_t size = format::LoadI32(&b[static_cast<size_t>(p) + 4]);
        if (name == "HEDR" || name == "MSH2" || name == "MODL" || name == "GEOM" || name == "SEGM" ||
            name == "MATL" || name == "MATD" || name == "SINF") {
            p += name == "MATL" ? 12 : 8;
            continue;
        }
        uint8_t* const data = &b[static_cast<size_t>(p) + 12];
        const int64_t bytes = size - 4;
        if (name == "POSL" || name == "UV0L")
            for (int64_t q = 0; q + 4 <= bytes; q += 4) format::StoreF32(data + q, name == "UV0L" ? unit() : 40 * unit() - 20);
        if (name == "NRML")
            for (int64_t q = 0; q + 12 <= bytes; q += 12) {
                const float x = 2 * unit() - 1, y = 2 * unit() - 1, z = 2 * unit() - 1;
                const float l = std::sqrt(x * x + y * y + z * z) + 1e-6f;
                for (int k = 0; k < 3; ++k) format::StoreF32(data + q + 4 * k, (k == 0 ? x : k == 1 ? y : z) / l);
            }
        if (name == "STRP")
            for (int64_t q = 0, i = 0; q + 2 <= bytes; q += 2, ++i)
                format::StoreU16(data + q, static_cast<uint16_t>(i % 30000 | (i % 12 < 2 ? 0x8000 : 0)));
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
    if (argc == 4 && std::string(argv[1]) == "--make") {
        // The mesh alone, for the measures of whole mshtool processes.
        const std::vector<uint8_t> m = Make(size_t(std::max(1, std::atoi(argv[3]))) << 20);
        return WriteFile(argv[2], m.data(), m.size()) ? 0 : 1;
    }
    const std::string dir = argc > 1 ? argv[1] : "/tmp";
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const mesh::namelist list = testsupport::Containers();
    std::vector<uint8_t> a = Make(64u << 20);
    std::vector<uint8_t> b = a;
    // One vertex of the last model moved.
    const size_t at = b.size() - 5000;
    b[at] ^= 0x40;
    const std::string pa = dir + "/textform_bench_a.msh", pb = dir + "/textform_bench_b.msh";
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
    std::vector<uint8_t> built;
    std::string error;
    const bool same = textform::Build(text, built, error) && built == a;
    if (!same) std::printf("build: NOT THE SAME BYTES %s\n", error.c_str());
    if (!std::getenv("TEXTFORM_BENCH_KEEP"))
        for (const std::string& p : {pa, pb}) std::remove(p.c_str());
    return same ? 0 : 1;
}
