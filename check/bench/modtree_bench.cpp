// The mod tree check's figure: a generated tree of 800 meshes (about 20 KB
// each, with hardpoints, bones, collision and two textures), 900 ODFs (each
// mesh's object, some naming a second mesh, and parents they inherit from)
// and 1,500 TGAs in eight sides and Common, checked by "mshtool check --jobs 2 DIR";
// beside it, the baseline of the same run: "mshtool check --jobs 2" of the
// 800 meshes alone, named one by one. Runs alternate; medians of five each.
//
//   modtree_bench [DIR]    (default: a folder under the temporary folder,
//                           removed afterwards)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "bench/support/bigmesh.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kSides = 8, kMeshes = 800, kOdfs = 900, kTgas = 1500;

void Put(const std::string& path, const std::vector<uint8_t>& bytes) {
    fs::create_directories(fs::path(path).parent_path());
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        std::exit(1);
    }
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}
void Put(const std::string& path, const std::string& text) { Put(path, std::vector<uint8_t>(text.begin(), text.end())); }

// A counted list of zeros.
void Zeros(bigmesh::Writer& w, const char* name, int count, int width) {
    const size_t at = w.Open(name);
    w.Int(count);
    w.b.resize(w.b.size() + size_t(count) * width, 0);
    w.Close(at);
}

// A mesh of a building: a root, an aimer and barrel (kept by -keep), two
// hardpoints, a bone, collision primitives and a collision mesh, and a body
// whose segments bring it to about 20 KB; its textures lie beside it (or in
// its PC folder) and in Common.
std::vector<uint8_t> Mesh(int n) {
    bigmesh::Writer w;
    const size_t hedr = w.Open("HEDR");
    const size_t msh2 = w.Open("MSH2");
    const size_t matl = w.Open("MATL");
    w.Int(2);
    for (int i = 0; i < 2; ++i) {
        const size_t matd = w.Open("MATD");
        w.Text("NAME", "mat" + std::to_string(i));
        w.Leaf("DATA", 52, 0);
        w.Leaf("ATRB", 4, 0);
        w.Text("TX0D", i == 0 ? "tex" + std::to_string(n) + ".tga" : "fx" + std::to_string(n % 700) + ".tga");
        w.Close(matd);
    }
    w.Close(matl);
    const char* names[] = {"root", "aimer", "barrel", "hp_fire", "hp_smoke_1", "bone_a", "p_wall", "p_armor",
                           "collision_base", "body"};
    const char* parents[] = {"", "root", "aimer", "barrel", "root", "root", "root", "root", "root", "root"};
    for (int m = 0; m < 10; ++m) {
        const size_t modl = w.Open("MODL");
        const size_t mtyp = w.Open("MTYP");
        w.Int(m == 5 ? 3 : 4);
        w.Close(mtyp);
        const size_t mndx = w.Open("MNDX");
        w.Int(m + 1);
        w.Close(mndx);
        w.Text("NAME", names[m]);
        if (*parents[m]) w.Text("PRNT", parents[m]);
        w.Leaf("TRAN", 40, 0);
        if (m == 9) {
            const size_t geom = w.Open("GEOM");
            w.Leaf("BBOX", 44, 0);
            for (int s = 0; s < 2; ++s) {
                const size_t segm = w.Open("SEGM");
                const size_t mati = w.Open("MATI");
                w.Int(s);
                w.Close(mati);
                Zeros(w, "POSL", 250, 12);
                Zeros(w, "NRML", 250, 12);
                Zeros(w, "UV0L", 250, 8);
                Zeros(w, "STRP", 300, 2);
                w.Close(segm);
            }
            w.Close(geom);
        }
        w.Close(modl);
    }
    w.Close(msh2);
    w.Leaf("CL1L", 0, 0);
    w.Close(hedr);
    return std::move(w.b);
}

std::vector<uint8_t> Tga() {
    std::vector<uint8_t> b(18 + 64 * 64 * 3, 0x55);
    std::fill(b.begin(), b.begin() + 18, 0);
    b[2] = 2, b[12] = 64, b[14] = 64, b[16] = 24;
    return b;
}

std::string Side(int s) { return "/Sides/s" + std::to_string(s); }

// Writes the tree; returns the meshes' paths.
std::vector<std::string> Generate(const std::string& dir) {
    std::vector<std::string> meshes;
    const std::vector<uint8_t> tga = Tga();
    int tgas = 0;
    for (int n = 0; n < kMeshes; ++n) {
        const std::string side = dir + Side(n % kSides);
        const std::string mesh = side + "/msh/m" + std::to_string(n) + ".msh";
        Put(mesh, Mesh(n));
        Put(mesh + ".option", std::string("-keep aimer barrel\n"));
        meshes.push_back(mesh);
        Put(side + "/msh/" + (n % 2 ? "PC/" : "") + "tex" + std::to_string(n) + ".tga", tga);
        ++tgas;
    }
    for (int e = 0; tgas < kTgas; ++e, ++tgas) Put(dir + "/Common/effects/fx" + std::to_string(e) + ".tga", tga);
    const int parents = kOdfs - kMeshes;
    for (int p = 0; p < parents; ++p)
        Put(dir + Side(p % kSides) + "/odf/parent" + std::to_string(p) + ".odf",
            "[GameObjectClass]\nClassLabel = \"armedbuilding\"\n\n[Properties]\nMaxHealth = 800\n"
            "DamageAttachPoint = \"hp_smoke_1\"\nSoldierCollision = \"p_wall\"\nOrdnanceCollision = \"CollisionMesh\"\n");
    for (int n = 0; n < kMeshes; ++n) {
        const int side = n % kSides;
        std::string odf = "[GameObjectClass]\nClassLabel = \"armedbuilding\"\nGeometryName = \"m" + std::to_string(n) +
                          ".msh\"\nClassParent = \"parent" + std::to_string(n % parents) + "\"\n\n[Properties]\n"
                          "GeometryName = \"m" + std::to_string(n) + "\"\nChunkGeometryName = \"m" +
                          std::to_string((n + kSides) % kMeshes) + "\"\n"
                          "TurretNodeName = \"aimer\"\nBarrelNodeName = \"barrel\"\nFirePointName = \"hp_fire\"\n"
                          "AimerNodeName = \"bone_a\"\nSoldierCollision = \"p_armor\"\n";
        if (n % 10 == 0) odf += "DamageAttachPoint = \"hp_smoke_2\"\n";  // a fault now and then
        Put(dir + Side(side) + "/odf/o" + std::to_string(n) + ".odf", odf);
    }
    return meshes;
}

double Run(const std::string& cmd) {
    const auto t = Clock::now();
    const int status = std::system(cmd.c_str());
    if (!WIFEXITED(status) || WEXITSTATUS(status) > 1) std::fprintf(stderr, "failed: %s\n", cmd.c_str());
    return std::chrono::duration<double>(Clock::now() - t).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const bool own = argc < 2;
    const std::string dir = own ? (fs::temp_directory_path() / ("vorna-modtree-bench-" + std::to_string(getpid()))).string()
                                : std::string(argv[1]);
    fs::remove_all(dir + "/Sides");
    fs::remove_all(dir + "/Common");
    const std::vector<std::string> meshes = Generate(dir);
    const std::string tool = std::string("'") + MSHTOOL_PATH + "' check --jobs 2 ";
    std::string list;
    for (const std::string& m : meshes) list += " '" + m + "'";
    const std::string tree = tool + "'" + dir + "' >/dev/null 2>&1";
    const std::string alone = tool + list + " >/dev/null 2>&1";
    (void)Run(tree);  // warm the file cache
    std::vector<double> t, b;
    for (int run = 0; run < 5; ++run) {
        t.push_back(Run(tree));
        b.push_back(Run(alone));
    }
    double load[1] = {0};
    getloadavg(load, 1);
    std::printf("mod tree of %d meshes, %d ODFs, %d TGAs: mshtool check --jobs 2 DIR %.3f s (target < 2 s); "
                "baseline, the meshes alone: %.3f s\n",
                kMeshes, kOdfs, kTgas, Median(t), Median(b));
    std::printf("  medians of 5 alternating runs; load average %.1f on %u cores while measuring\n", load[0],
                std::thread::hardware_concurrency());
    if (own) fs::remove_all(dir);
    return 0;
}
