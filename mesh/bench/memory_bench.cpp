// Peak memory of mshtool tree, verify and check, each beside the size of the
// file it read, all from the same run:
//   1. a mesh of two million empty leaf chunks (HEDR > MSH2 > 2,000,000 SINF
//      of size 0, 16 MB): the cost of a chunk itself;
//   2. the realistic 64 MB mesh of bench/support/bigmesh.h.
// Each command runs as a process of its own (output to /dev/null); its peak
// resident memory is that process's alone. Medians of RUNS runs (default 3),
// with the wall time. The target: at most 10 times the file for all three.
//
//   memory_bench [RUNS]
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/support/bigmesh.h"
#include "bench/support/timing.h"

#ifndef MSHTOOL_PATH
#error MSHTOOL_PATH must name the mshtool program
#endif

namespace {

struct Figure {
    double mb = 0, seconds = 0;
    int status = 0;
};

// Runs mshtool with the arguments, stdout and stderr to /dev/null.
Figure RunTool(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    std::string tool = MSHTOOL_PATH;
    argv.push_back(tool.data());
    std::vector<std::string> copy = args;
    for (std::string& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    const auto t = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execv(argv[0], argv.data());
        _exit(127);
    }
    Figure f;
    rusage u{};
    if (pid < 0 || wait4(pid, &f.status, 0, &u) != pid) f.status = -1;
    f.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
    f.mb = double(u.ru_maxrss) / 1024;
    return f;
}

using benchtime::Median;

bool WriteFile(const std::string& path, const std::vector<uint8_t>& b) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    bool ok = f && std::fwrite(b.data(), 1, b.size(), f) == b.size();
    if (f && std::fclose(f) != 0) ok = false;
    return ok;
}

std::vector<uint8_t> Leaves(uint32_t n) {
    bigmesh::Writer w;
    const size_t hedr = w.Open("HEDR");
    const size_t msh2 = w.Open("MSH2");
    for (uint32_t i = 0; i < n; ++i) w.Leaf("SINF", 0, 0);
    w.Close(msh2);
    w.Close(hedr);
    return std::move(w.b);
}

void Measure(const char* what, const std::string& path, int runs) {
    const double file = double(std::filesystem::file_size(path)) / (1 << 20);
    std::printf("%s: file %.1f MB (the baseline)\n", what, file);
    for (const char* cmd : {"tree", "verify", "check"}) {
        std::vector<double> mb, s;
        bool failed = false;
        for (int r = 0; r < runs; ++r) {
            const Figure f = RunTool({cmd, path});
            failed = failed || !WIFEXITED(f.status) || WEXITSTATUS(f.status) > 1;
            mb.push_back(f.mb);
            s.push_back(f.seconds);
        }
        std::printf("  mshtool %-6s peak %6.0f MB = %4.1f x the file (target <= 10), %.2f s%s\n", cmd, Median(mb),
                    Median(mb) / file, Median(s), failed ? "  FAILED" : "");
    }
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const std::string dir = std::filesystem::temp_directory_path().string();
    const std::string leaves = dir + "/memory_bench_leaves.msh", big = dir + "/memory_bench_64mb.msh";
    if (!WriteFile(leaves, Leaves(2000000)) || !WriteFile(big, bigmesh::Make(size_t(64) << 20))) {
        std::fprintf(stderr, "cannot write the meshes to %s\n", dir.c_str());
        return 1;
    }
    std::printf("peak memory of whole mshtool processes, medians of %d runs\n", runs);
    Measure("2,000,000 empty leaf chunks", leaves, runs);
    Measure("64 MB mesh", big, runs);
    std::filesystem::remove(leaves);
    std::filesystem::remove(big);
    return 0;
}
