// What a user waits for in the 3D preview of a large mesh: a generated
// 63 MB mesh of 3.5 million triangles (grids of triangle strips with
// normals and texture coordinates, 16 textured materials), drawn at the
// enlarged preview's size (864 x 544) as the editor draws it: one step of
// an orbit while the camera is dragged (a part of the triangles, two
// threads) and the whole picture after the drag (one thread and two),
// beside a frame of a textured model of 102,400 triangles. Then the memory
// the view takes above the open mesh. Medians of alternating runs; the
// machine may be shared, so the figures move from run to run.
//
// usage: preview_big_bench [RUNS]
#include <algorithm>
#include <chrono>
#include <ctime>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "bench/support/bigmesh.h"
#include "mesh/msh.h"
#include "preview/render.h"

namespace {

constexpr int kW = 864, kH = 544;

// A grid of nu x nv vertices bent into a tube at `at`, as strips of rows.
void Tube(bigmesh::Writer& w, int nu, int nv, float at, float radius) {
    const int verts = nu * nv;
    auto list = [&](const char* name, auto&& each) {
        const size_t c = w.Open(name);
        w.Int(verts);
        for (int i = 0; i < nu; ++i)
            for (int j = 0; j < nv; ++j) each(i, j);
        w.Close(c);
    };
    auto f = [&](float v) {
        uint8_t x[4];
        std::memcpy(x, &v, 4);
        w.b.insert(w.b.end(), x, x + 4);
    };
    const float tau = 6.2831853f;
    list("POSL", [&](int i, int j) {
        const float u = tau * float(i) / float(nu - 1), v = tau * float(j) / float(nv - 1);
        f(at + (radius + 0.3f * std::cos(v)) * std::cos(u)), f(0.3f * std::sin(v)), f((radius + 0.3f * std::cos(v)) * std::sin(u));
    });
    list("NRML", [&](int i, int j) {
        const float u = tau * float(i) / float(nu - 1), v = tau * float(j) / float(nv - 1);
        f(std::cos(v) * std::cos(u)), f(std::sin(v)), f(std::cos(v) * std::sin(u));
    });
    list("UV0L", [&](int i, int j) { f(float(i) / 8), f(float(j) / 8); });
    const size_t strp = w.Open("STRP");
    const int per = 2 * nu;
    w.Int(per * (nv - 1));
    for (int j = 0; j + 1 < nv; ++j)
        for (int i = 0; i < nu; ++i) {
            uint16_t a = uint16_t(i * nv + j), b = uint16_t(i * nv + j + 1);
            if (i == 0) a |= 0x8000, b |= 0x8000;
            w.b.insert(w.b.end(), {uint8_t(a), uint8_t(a >> 8), uint8_t(b), uint8_t(b >> 8)});
        }
    w.Close(strp);
}

std::vector<uint8_t> Mesh(int models, int segments, int nu, int nv) {
    bigmesh::Writer w;
    const size_t hedr = w.Open("HEDR");
    const size_t msh2 = w.Open("MSH2");
    const size_t sinf = w.Open("SINF");
    w.Text("NAME", "large");
    w.Close(sinf);
    const size_t matl = w.Open("MATL");
    w.Int(16);
    for (int i = 0; i < 16; ++i) {
        const size_t matd = w.Open("MATD");
        w.Text("NAME", "material" + std::to_string(i));
        const size_t data = w.Open("DATA");
        for (float v : {1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 20.0f}) {
            uint8_t x[4];
            std::memcpy(x, &v, 4);
            w.b.insert(w.b.end(), x, x + 4);
        }
        w.Close(data);
        w.Leaf("ATRB", 4, 0);
        w.Text("TX0D", "texture" + std::to_string(i) + ".tga");
        w.Close(matd);
    }
    w.Close(matl);
    for (int m = 0; m < models; ++m) {
        const size_t modl = w.Open("MODL");
        const size_t mtyp = w.Open("MTYP");
        w.Int(4);
        w.Close(mtyp);
        w.Text("NAME", "model" + std::to_string(m));
        const size_t geom = w.Open("GEOM");
        w.Leaf("BBOX", 44, 0);
        for (int s = 0; s < segments; ++s) {
            const size_t segm = w.Open("SEGM");
            const size_t mati = w.Open("MATI");
            w.Int((m + s) % 16);
            w.Close(mati);
            Tube(w, nu, nv, float(m % 10) * 3 + float(s) * 0.2f, 1 + float(m / 10) * 0.1f);
            w.Close(segm);
        }
        w.Close(geom);
        w.Close(modl);
    }
    w.Close(msh2);
    w.Close(hedr);
    return std::move(w.b);
}

double Rss() {
    std::ifstream in("/proc/self/statm");
    long pages = 0, resident = 0;
    in >> pages >> resident;
    return double(resident) * 4096.0 / 1048576.0;
}

double Ms(const std::chrono::steady_clock::time_point& t0) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

// Processor time of the whole process (both threads of a frame drawn on
// two), in ms: on a shared machine, what a frame costs regardless of the
// others' load.
double CpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

preview::Textures OneTexture(size_t materials) {
    preview::Textures t;
    preview::Texture image;
    image.width = image.height = 256;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) image.texels.push_back(((x / 32 + y / 32) & 1) ? 0xFFD0A070 : 0xFF604030);
    t.images.push_back(std::move(image));
    t.material.assign(materials, 0);
    return t;
}

struct Scene {
    mesh::mshptr m;
    preview::Geometry g;
    std::vector<uint8_t> shown;
    preview::Textures textures;
    preview::Camera cam;
    preview::Frame frame;
};

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    // 105 models of four segments, each a grid of 128 x 34 vertices: 3.5
    // million triangles in 63 MB.
    auto bytes = std::make_shared<std::vector<uint8_t>>(Mesh(105, 4, 128, 34));
    auto small = std::make_shared<std::vector<uint8_t>>(Mesh(1, 4, 161, 81));
    const mesh::namelist list = {"MSH2", "SINF", "MATL", "MATD", "MODL", "GEOM", "SEGM", "HEDR", "NAME", "MTYP", "BBOX", "MATI"};
    const double before = Rss();
    Scene big, little;
    big.m = mesh::OpenBytes(bytes, list, 1);
    little.m = mesh::OpenBytes(small, list, 1);
    if (!big.m || !little.m) {
        std::fprintf(stderr, "the generated mesh does not read\n");
        return 1;
    }
    const double open = Rss();
    auto t0 = std::chrono::steady_clock::now();
    big.g = preview::Build(*big.m->hedr);
    const double build = Ms(t0);
    little.g = preview::Build(*little.m->hedr);
    for (Scene* s : {&big, &little}) {
        s->shown = preview::Shown(s->g, -1, {});
        s->textures = OneTexture(s->g.materials.size());
        s->cam = preview::Fit(s->g, s->shown, 30, 20, float(kW) / kH);
    }
    std::printf("mesh: %.1f MB, %zu triangles, %zu points; small model: %zu triangles\n",
                double(bytes->size()) / 1048576.0, big.g.triangles.size(), big.g.points.size(),
                little.g.triangles.size());
    std::printf("geometry built in %.0f ms (once, when the mesh changes)\n", build);

    auto frame = [](Scene& s, uint32_t stride, int threads, float turn) {
        preview::Style style;
        style.textures = &s.textures;
        style.stride = stride;
        style.threads = threads;
        s.cam.yaw += turn;
        auto t = std::chrono::steady_clock::now();
        const double c = CpuMs();
        preview::Render(s.g, s.shown, s.cam, style, {}, kW, kH, s.frame);
        return std::pair<double, double>{Ms(t), CpuMs() - c};
    };
    const uint32_t stride = uint32_t(big.g.triangles.size() / 400000 + 1);
    struct Row {
        const char* what;
        Scene* s;
        uint32_t stride;
        int threads;
        float turn;
        const char* target;
        std::vector<double> wall, cpu;
    } rows[] = {
        {"orbit step while dragging (a part, 2 threads)", &big, stride, 2, 1, "50 ms", {}, {}},
        {"whole picture after the drag, 2 threads", &big, 1, 2, 0, "300 ms", {}, {}},
        {"whole picture, 1 thread", &big, 1, 1, 0, "", {}, {}},
        {"baseline: textured 102,400 triangles, 1 thread", &little, 1, 1, 1, "16 ms", {}, {}},
        {"baseline: textured 102,400 triangles, 2 threads", &little, 1, 2, 1, "", {}, {}},
    };
    // Alternated, so that a busy spell of the machine touches all alike.
    for (int r = 0; r < runs; ++r)
        for (Row& row : rows) {
            const auto [wall, cpu] = frame(*row.s, row.stride, row.threads, row.turn);
            row.wall.push_back(wall), row.cpu.push_back(cpu);
        }
    std::printf("%d runs, medians, %d x %d, a part = 1 of %u triangles; processor time is both threads' sum:\n",
                runs, kW, kH, stride);
    std::printf("  %-50s %9s %9s  %s\n", "", "wall ms", "cpu ms", "target");
    for (const Row& row : rows)
        std::printf("  %-50s %9.1f %9.1f  %s\n", row.what, Median(row.wall), Median(row.cpu), row.target);
    const double after = Rss();
    std::printf("memory: the open meshes %.0f MB (the file %.0f MB); the view above them %.0f MB   target 150 MB\n",
                open - before, double(bytes->size()) / 1048576.0, after - open);
    return 0;
}
