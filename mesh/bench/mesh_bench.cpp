// Prints how the mesh model performs on a realistic large mesh:
//   - reading plus saving, against copying the same file (same run);
//   - one handle-mode byte insertion followed by the refresh;
//   - peak memory while the mesh is loaded, against the file size.
//
// usage: mesh_bench [MEGABYTES [DIRECTORY]]   (default 64 MB in /tmp)
//        mesh_bench --make FILE [MEGABYTES]     writes the mesh only (for scripts)
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "files/files.h"
#include "mesh/msh.h"
#include "bench/support/bigmesh.h"
#include "tests/support/chunks.h"

using namespace mesh;

namespace {

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

long StatusKb(const char* key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + std::strlen(key));
    return -1;
}

void ResetPeak() {
    std::ofstream out("/proc/self/clear_refs");
    out << "5";
}

// Copies a file the plain way: read it all, write it all (and, like the
// editor's save, flush it to disk when asked).
double CopyFile(const std::string& from, const std::string& to, bool sync) {
    double t = Now();
    std::unique_ptr<host::Stream> in = host::OpenRead(from);
    std::vector<uint8_t> bytes = in->ReadRest();
    in->Close();
    int fd = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    if (sync) ::fsync(fd);
    ::close(fd);
    return Now() - t;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 2 && std::strcmp(argv[1], "--make") == 0) {
        std::vector<uint8_t> bytes = bigmesh::Make(static_cast<size_t>(argc > 3 ? std::atoi(argv[3]) : 64) << 20);
        std::FILE* f = std::fopen(argv[2], "wb");
        bool ok = f && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
        if (f && std::fclose(f) != 0) ok = false;
        if (!ok) std::fprintf(stderr, "cannot write %s\n", argv[2]);
        return ok ? 0 : 1;
    }
    size_t mb = argc > 1 ? static_cast<size_t>(std::atoi(argv[1])) : 64;
    std::string dir = argc > 2 ? argv[2] : "/tmp";
    std::string path = dir + "/mesh_bench_in.msh";
    std::string copy = dir + "/mesh_bench_copy.msh";
    std::string out = dir + "/mesh_bench_out.msh";
    const namelist list = testsupport::Containers();

    const int models = bigmesh::kModels, segments = bigmesh::kModels * bigmesh::kSegments;
    size_t filesize = 0;
    {
        std::vector<uint8_t> bytes = bigmesh::Make(mb << 20);
        filesize = bytes.size();
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
        std::fclose(f);
    }
    std::printf("mesh: %.1f MB, %d models, %d segments\n", filesize / 1048576.0, models, segments);

    // Read plus save against copy, alternating, five rounds each.
    std::vector<double> copysync, copyplain, readsave, readonly, saveonly;
    for (int round = 0; round < 5; ++round) {
        copysync.push_back(CopyFile(path, copy, true));
        copyplain.push_back(CopyFile(path, copy, false));
        double t0 = Now();
        mshptr m = OpenMesh(path, list, 1);
        double t1 = Now();
        std::string err;
        if (!m || !m->Save(out, 1, &err)) {
            std::fprintf(stderr, "read or save failed: %s\n", err.c_str());
            return 1;
        }
        double t2 = Now();
        readonly.push_back(t1 - t0);
        saveonly.push_back(t2 - t1);
        readsave.push_back(t2 - t0);
    }
    bool same = false;
    {
        std::ifstream a(path, std::ios::binary), b(out, std::ios::binary);
        same = std::equal(std::istreambuf_iterator<char>(a), {}, std::istreambuf_iterator<char>(b));
    }
    std::printf("copy (read, write, fsync):   %7.1f ms (median of 5)\n", 1000 * Median(copysync));
    std::printf("copy (read, write):          %7.1f ms\n", 1000 * Median(copyplain));
    std::printf("open (read, group, rebuild): %7.1f ms\n", 1000 * Median(readonly));
    std::printf("save (rebuild, write, fsync, rename): %7.1f ms\n", 1000 * Median(saveonly));
    std::printf("read + save:                 %7.1f ms = %.2f x copy with fsync, %.2f x plain copy; output %s\n",
                1000 * Median(readsave), Median(readsave) / Median(copysync), Median(readsave) / Median(copyplain),
                same ? "identical" : "DIFFERENT");

    // Memory while loaded.
    ResetPeak();
    long before = StatusKb("VmRSS:");
    mshptr m = OpenMesh(path, list, 1);
    refresh r = msh::Update(m.get(), 1, 40, 20);
    long peak = StatusKb("VmHWM:");
    long rss = StatusKb("VmRSS:");
    std::printf("memory: peak %.1f MB while opening (%.2f x file), %.1f MB loaded (%.2f x file), %d chunks\n",
                (peak - before) / 1024.0, (peak - before) * 1024.0 / filesize, (rss - before) / 1024.0,
                (rss - before) * 1024.0 / filesize, m->totalchunks);

    // One handle-mode insertion into a leaf, then the refresh, as the data
    // view's insert button does: at the selected leaf itself, and through
    // the root down to a leaf in the middle of the file.
    std::vector<chunkptr> posl;
    m->hedr->addtolist(posl, "POSL");
    chunkptr leaf = posl[posl.size() / 2];
    std::vector<double> atleaf, atroot;
    for (int i = 0; i < 50; ++i) {
        double t = Now();
        leaf->InsertBytes(leaf->size / 2, 1, 1, 1, list, 1);
        r = msh::Update(m.get(), 1, 40, 20);
        atleaf.push_back(Now() - t);
    }
    int64_t rootpos = static_cast<int64_t>(m->hedr->size) / 2;
    for (int i = 0; i < 50; ++i) {
        double t = Now();
        m->hedr->InsertBytes(rootpos, 1, 1, 1, list, 1);
        r = msh::Update(m.get(), 1, 40, 20);
        atroot.push_back(Now() - t);
    }
    std::printf("insert 1 byte + refresh, selected leaf:   median %.2f ms, worst %.2f ms (50 runs)\n",
                1000 * Median(atleaf), 1000 * *std::max_element(atleaf.begin(), atleaf.end()));
    std::printf("insert 1 byte + refresh, through the root: median %.2f ms, worst %.2f ms (50 runs)\n",
                1000 * Median(atroot), 1000 * *std::max_element(atroot.begin(), atroot.end()));
    // The data view reads 128 bytes of the selected chunk each frame.
    uint8_t view[128];
    double t = Now();
    for (int i = 0; i < 100; ++i) m->hedr->readbytes(static_cast<int64_t>(m->hedr->size) / 2 + i, 128, view);
    std::printf("128-byte window of the root's data: %.3f ms\n", 1000 * (Now() - t) / 100);
    std::printf("peak memory over the whole run after opening: %.1f MB (%.2f x file)\n",
                (StatusKb("VmHWM:") - before) / 1024.0, (StatusKb("VmHWM:") - before) * 1024.0 / filesize);

    std::remove(path.c_str());
    std::remove(copy.c_str());
    std::remove(out.c_str());
    return 0;
}
