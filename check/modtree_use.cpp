// The mod tree around one mesh: the tree's files found from the mesh's
// folder, and what its ODFs say of the mesh.
#include <algorithm>
#include <filesystem>

#include "check/modtree.h"
#include "check/odf.h"
#include "files/files.h"

namespace check {

namespace {

namespace fs = std::filesystem;

std::string Lower(std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool HasFolder(const fs::path& dir, std::initializer_list<const char*> names) {
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code fec;
        if (!it->is_directory(fec)) continue;
        const std::string name = Lower(it->path().filename().string());
        for (const char* n : names)
            if (name == n) return true;
    }
    return false;
}

std::string RootOf(const std::string& meshpath) {
    fs::path dir = fs::path(meshpath).parent_path();
    if (dir.empty()) dir = ".";
    std::string nearest;
    for (int up = 0; up < 4 && !dir.empty(); ++up) {
        if (HasFolder(dir, {"sides", "worlds", "common"})) return dir.string();
        if (nearest.empty() && HasFolder(dir, {"odf", "odfs"})) nearest = dir.string();
        if (dir == dir.parent_path()) break;
        dir = dir.parent_path();
    }
    return nearest;
}

}  // namespace

std::vector<std::string> FilesBelow(const std::vector<std::string>& folders) {
    std::vector<std::string> files;
    for (const std::string& top : folders) {
        std::vector<fs::path> todo = {top};  // a list, not the call stack, however deep they nest
        while (!todo.empty()) {
            const fs::path dir = std::move(todo.back());
            todo.pop_back();
            std::error_code ec;
            for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
                std::error_code fec;
                const fs::file_status own = it->symlink_status(fec);
                const std::string name = it->path().filename().string();
                if (fs::is_directory(own)) {
                    todo.push_back(it->path());
                    continue;
                }
                const std::string ext = Lower(it->path().extension().string());
                if (name.starts_with("._") || (ext != ".msh" && ext != ".odf" && ext != ".tga")) continue;
                files.push_back(it->path().string());
            }
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

MeshInTree CheckMeshInTree(const std::string& meshpath, std::span<const uint8_t> bytes, std::string_view options) {
    MeshInTree out;
    out.root = RootOf(meshpath);
    if (out.root.empty()) return out;
    std::vector<std::string> meshes, odfs, tgas;
    for (std::string& f : FilesBelow({out.root})) {
        const std::string ext = Lower(fs::path(f).extension().string());
        (ext == ".msh" ? meshes : ext == ".odf" ? odfs : tgas).push_back(std::move(f));
    }
    // The open mesh by the path the walk found it under.
    std::error_code ec;
    const fs::path self = fs::weakly_canonical(meshpath, ec);
    size_t me = meshes.size();
    for (size_t i = 0; i < meshes.size() && me == meshes.size(); ++i)
        if (fs::equivalent(meshes[i], self, ec)) me = i;
    if (me == meshes.size()) meshes.push_back(meshpath);
    ModTree tree = IndexModTree(std::move(meshes), std::move(odfs), std::move(tgas), {});
    // Every mesh the ODFs may name; only the nodes are needed of the others.
    for (size_t i = 0; i < tree.meshes.size(); ++i) {
        ModTree::MeshInfo& info = tree.info[i];
        if (i == me) {
            info.facts = ReadMeshFacts(bytes);
            info.options = ParseOptions(options);
            info.read = true;
            continue;
        }
        std::vector<uint8_t> other;
        if (!host::ReadWholeFile(tree.meshes[i], int64_t(1) << 31, other, nullptr)) continue;
        info.facts = ReadMeshFacts(other);
        std::vector<uint8_t> text;
        int64_t size = 0;
        if (host::ReadFileStart(tree.meshes[i] + ".option", 1 << 20, text, &size, nullptr))
            info.options = ParseOptions(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
        info.read = true;
    }
    out.findings = CheckMeshTextures(tree, me, tree.info[me].facts);
    std::vector<size_t> users;
    for (TreeFinding& f : CheckOdfs(tree, me, &users)) out.findings.push_back(std::move(f));
    for (size_t u : users) out.odfs.push_back(tree.odfs[u]);
    return out;
}

}  // namespace check
