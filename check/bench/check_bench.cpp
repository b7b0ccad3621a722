// Figures of the deep check, each beside its baseline from the same run:
//   1. a mesh of about 64 MB (skinned models with many vertices), written to
//      a file: the check of its bytes (as mshtool runs it) and of the tree
//      the editor opens, beside the time of reading the file and of opening
//      it, medians of five runs;
//   2. 10,000 tiny meshes (a model of one segment, about 2 KB) written to a
//      scratch folder: "mshtool check --jobs 1" over the folder, its wall
//      time a file, beside the check of one such mesh's bytes in this process
//      and the command on the folder's first file alone (the start-up);
//   3. with --folder DIR (and mshtool built): 5,000 meshes of about 20 KB
//      written to DIR, then "mshtool check" over the folder with --jobs 1 and
//      --jobs 2: both wall times and their ratio.
// The targets: check under 0.2 s; under 20 us a tiny file; 2 jobs at most 0.6
// times the time of 1.
// (The peak memory of mshtool check is measured by mesh/bench/memory_bench.)
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "check/check.h"
#include "format/bytes.h"
#include "mesh/chunk.h"
#include "mesh/msh.h"
#include "tests/support/chunks.h"

using mesh::chunk;
using mesh::chunkptr;

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

void Put(std::vector<uint8_t>& b, uint32_t v) { format::Writer(b).U32(v); }
void PutF(std::vector<uint8_t>& b, float f) { format::Writer(b).F32(f); }

using testsupport::Leaf;
chunkptr U32(const char* name, uint32_t v) { return Leaf(name, testsupport::U32s({v})); }
chunkptr Text(const char* name, const std::string& s) { return Leaf(name, testsupport::Str(s)); }
chunkptr Floats(const char* name, std::initializer_list<float> v) { return Leaf(name, testsupport::F32s(v)); }

// One skinned segment: a grid of vertices in strips, weighted to two bones.
chunkptr Segment(uint32_t verts, uint32_t material) {
    std::vector<uint8_t> posl, nrml, uv, wght, strp;
    for (std::vector<uint8_t>* b : {&posl, &nrml, &uv, &wght}) Put(*b, verts);
    for (uint32_t i = 0; i < verts; ++i) {
        for (float f : {float(i % 64), float(i / 64), 0.5f}) PutF(posl, f);
        for (float f : {0.0f, 0.0f, 1.0f}) PutF(nrml, f);
        for (float f : {float(i % 64) / 64, float(i / 64) / 64}) PutF(uv, f);
        Put(wght, i % 2);
        PutF(wght, 0.75f);
        Put(wght, 1 - i % 2);
        PutF(wght, 0.25f);
        for (int k = 0; k < 4; ++k) Put(wght, 0);
    }
    Put(strp, verts);
    for (uint32_t i = 0; i < verts; ++i) {
        const uint16_t v = uint16_t(i | (i % 64 < 2 ? 0x8000 : 0));
        format::Writer(strp).U16(v);
    }
    chunkptr s = chunk::Create("SEGM");
    s->AppendKid(U32("MATI", material));
    s->AppendKid(Leaf("POSL", std::move(posl)));
    s->AppendKid(Leaf("WGHT", std::move(wght)));
    s->AppendKid(Leaf("NRML", std::move(nrml)));
    s->AppendKid(Leaf("UV0L", std::move(uv)));
    s->AppendKid(Leaf("STRP", std::move(strp)));
    return s;
}

// A mesh: two bones, then models of segments.
chunkptr Mesh(int models, int segments, uint32_t verts) {
    chunkptr msh2 = chunk::Create("MSH2");
    chunkptr sinf = chunk::Create("SINF");
    sinf->AppendKid(Text("NAME", "scene"));
    sinf->AppendKid(Floats("FRAM", {0, 1, 30}));
    sinf->AppendKid(Floats("BBOX", {0, 0, 0, 1, 0, 0, 0, 1, 1, 1, 2}));
    msh2->AppendKid(sinf);
    chunkptr matl = chunk::Create("MATL");
    for (int i = 0; i < 2; ++i) {
        chunkptr matd = chunk::Create("MATD");
        matd->AppendKid(Text("NAME", "material" + std::to_string(i)));
        matd->AppendKid(Leaf("DATA", std::vector<uint8_t>(52, 0)));
        matd->AppendKid(U32("ATRB", 0));
        matd->AppendKid(Text("TX0D", "texture.tga"));
        matl->AppendKid(matd);
    }
    msh2->AppendKid(matl);
    auto model = [](const std::string& name, uint32_t type, uint32_t index, const std::string& parent) {
        chunkptr m = chunk::Create("MODL");
        m->AppendKid(U32("MTYP", type));
        m->AppendKid(U32("MNDX", index));
        m->AppendKid(Text("NAME", name));
        if (!parent.empty()) m->AppendKid(Text("PRNT", parent));
        m->AppendKid(Floats("TRAN", {1, 1, 1, 0, 0, 0, 1, 0, 0, 0}));
        return m;
    };
    msh2->AppendKid(model("root", 0, 0, ""));
    msh2->AppendKid(model("bone_a", 3, 1, "root"));
    msh2->AppendKid(model("bone_b", 3, 2, "bone_a"));
    for (int i = 0; i < models; ++i) {
        chunkptr m = model("body" + std::to_string(i), 1, uint32_t(3 + i), "root");
        chunkptr g = chunk::Create("GEOM");
        g->AppendKid(Floats("BBOX", {0, 0, 0, 1, 0, 0, 0, 1, 1, 1, 2}));
        for (int s = 0; s < segments; ++s) g->AppendKid(Segment(verts, uint32_t(s % 2)));
        std::vector<uint8_t> envl;
        Put(envl, 2);
        Put(envl, 1);
        Put(envl, 2);
        g->AppendKid(Leaf("ENVL", std::move(envl)));
        m->AppendKid(g);
        msh2->AppendKid(m);
    }
    chunkptr hedr = chunk::Create("HEDR");
    hedr->AppendKid(msh2);
    hedr->AppendKid(chunk::Create("CL1L"));
    return hedr;
}


bool Write(const chunkptr& root, const std::string& path) {
    mesh::msh m;
    m.hedr = root;
    return m.Save(path, 1);
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

int BigMesh(const std::string& dir, double& bigcheck) {
    const std::string path = dir + "/check_bench_64mb.msh";
    if (!Write(Mesh(32, 8, 4000), path)) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return 1;
    }
    const double mb = double(std::filesystem::file_size(path)) / (1 << 20);
    std::vector<double> read, open, bytescheck, treecheck;
    std::vector<uint8_t> bytes;
    mesh::mshptr m;
    size_t findings = 0;
    for (int run = 0; run < 5; ++run) {
        auto t = Clock::now();
        {
            std::ifstream in(path, std::ios::binary | std::ios::ate);
            bytes.resize(size_t(in.tellg()));
            in.seekg(0);
            in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size()));
        }
        read.push_back(Seconds(t));
        t = Clock::now();
        m = mesh::OpenMesh(path, testsupport::Containers(), 1);
        open.push_back(Seconds(t));
        if (!m) return 1;
        t = Clock::now();
        findings = check::CheckBytes(bytes).size();
        bytescheck.push_back(Seconds(t));
        t = Clock::now();
        (void)check::CheckMesh(*m);
        treecheck.push_back(Seconds(t));
    }
    std::filesystem::remove(path);
    std::printf("mesh of %.1f MB, %d chunks, medians of 5 runs:\n", mb, m->totalchunks);
    std::printf("  check of the file's bytes (mshtool) %.3f s (target < 0.2 s), %zu findings\n", Median(bytescheck),
                findings);
    std::printf("  check of the editor's tree %.3f s\n", Median(treecheck));
    bigcheck = Median(bytescheck);
    std::printf("  baseline on the same mesh: reading the file %.3f s, opening it as the editor does %.3f s\n",
                Median(read), Median(open));
    return 0;
}

double ChildrenCpu() {
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Wall time of a command; cpu gets the processor time it took.
double Run(const std::string& cmd, double* cpu = nullptr) {
    auto t = Clock::now();
    const double before = ChildrenCpu();
    const int status = std::system(cmd.c_str());
    const double s = Seconds(t);
    if (cpu) *cpu = ChildrenCpu() - before;
    if (!WIFEXITED(status) || WEXITSTATUS(status) > 1) std::fprintf(stderr, "failed: %s\n", cmd.c_str());
    return s;
}

// The per-file cost of the check on many tiny files, in the process and as
// the whole command; runs alternate between the two commands.
int Tiny(const std::string& tmp, double bigcheck) {
#ifndef MSHTOOL_PATH
    (void)tmp, (void)bigcheck;
    return 0;
#else
    const std::string dir = tmp + "/check_bench_tiny";
    std::filesystem::remove_all(dir);
    const chunkptr small = Mesh(1, 1, 24);
    std::vector<uint8_t> bytes;
    small->Update(1);
    small->save(bytes, 1);
    constexpr int kFiles = 10000;
    for (int i = 0; i < kFiles; ++i) {
        const std::string sub = dir + "/" + std::to_string(i / 500);
        if (i % 500 == 0) std::filesystem::create_directories(sub);
        FILE* f = std::fopen((sub + "/m" + std::to_string(i) + ".msh").c_str(), "wb");
        if (!f) return 1;
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    std::vector<double> inproc;
    for (int run = 0; run < 5; ++run) {
        auto t = Clock::now();
        size_t n = 0;
        for (int i = 0; i < kFiles; ++i) n += check::CheckBytes(bytes).size();
        inproc.push_back(Seconds(t) / kFiles);
        if (n == size_t(-1)) return 1;
    }
    const std::string tool = std::string("'") + MSHTOOL_PATH + "' check --jobs 1 '";
    std::vector<double> folder, one;
    (void)Run(tool + dir + "' >/dev/null 2>&1");  // warm the file cache
    for (int run = 0; run < 5; ++run) {
        one.push_back(Run(tool + dir + "/0/m0.msh' >/dev/null 2>&1"));
        folder.push_back(Run(tool + dir + "' >/dev/null 2>&1") / kFiles);
    }
    std::filesystem::remove_all(dir);
    double load[1] = {0};
    getloadavg(load, 1);
    std::printf("%d tiny meshes of %zu bytes, medians of 5 runs (load average %.1f on %u cores):\n", kFiles,
                bytes.size(), load[0], std::thread::hardware_concurrency());
    std::printf("  mshtool check --jobs 1 over the folder: %.1f us a file (target < 20 us)\n", Median(folder) * 1e6);
    std::printf("  the check of one's bytes in this process %.1f us; the command on one file %.1f ms (start-up)\n",
                Median(inproc) * 1e6, Median(one) * 1e3);
    std::printf("  beside the 64 MB mesh: its check %.3f s\n", bigcheck);
    return 0;
#endif
}

int Folder(const std::string& dir) {
#ifndef MSHTOOL_PATH
    (void)dir;
    std::fprintf(stderr, "built without mshtool\n");
    return 1;
#else
    std::filesystem::create_directories(dir);
    const chunkptr small = Mesh(1, 2, 140);
    std::vector<uint8_t> bytes;
    small->Update(1);
    small->save(bytes, 1);
    for (int i = 0; i < 5000; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "/%02d/mesh%04d.msh", i / 250, i);
        std::filesystem::create_directories(std::filesystem::path(dir + name).parent_path());
        FILE* f = std::fopen((dir + name).c_str(), "wb");
        if (!f) return 1;
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    const std::string base = std::string("'") + MSHTOOL_PATH + "' check --jobs ";
    const std::string tail = " '" + dir + "' >/dev/null 2>&1";
    (void)Run(base + "2" + tail);  // warm the file cache
    double one = 1e9, two = 1e9, cpu = 0;
    for (int run = 0; run < 3; ++run) {
        one = std::min(one, Run(base + "1" + tail, &cpu));
        two = std::min(two, Run(base + "2" + tail));
    }
    double load[1] = {0};
    getloadavg(load, 1);
    std::printf("5000 meshes of %zu bytes: --jobs 2 %.3f s, baseline --jobs 1 %.3f s: ratio %.2f (target <= 0.6)\n",
                bytes.size(), two, one, two / one);
    std::printf("  processor time of one run %.3f s; load average %.1f on %u cores while measuring\n", cpu, load[0],
                std::thread::hardware_concurrency());
    return 0;
#endif
}

}  // namespace

int main(int argc, char** argv) {
    std::string folder;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--folder" && i + 1 < argc) folder = argv[++i];
    }
    const std::string tmp = std::filesystem::temp_directory_path().string();
    double bigcheck = 0;
    if (int r = BigMesh(tmp, bigcheck)) return r;
    if (int r = Tiny(tmp, bigcheck)) return r;
    if (!folder.empty()) return Folder(folder);
    return 0;
}
