// The mod tree's index of names, the texture records of its meshes and the
// headers of its .tga files.
#include "check/modtree.h"

#include <algorithm>

#include "check/checker.h"
#include "check/tga.h"
#include "files/files.h"
#include "mesh/texture_lookup.h"

namespace check {

namespace {

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

ModTree::Index IndexOf(const std::vector<std::string>& files) {
    ModTree::Index index;
    for (size_t i = 0; i < files.size(); ++i) index[StemKey(files[i])].push_back(i);
    return index;
}

// The key of a texture record's name, as the build reads it: its last
// component (a name written with a folder counts by its file name), without
// case and without ".tga" (a name without an extension is a .tga).
std::string TextureKey(const std::string& name) {
    const size_t slash = name.find_last_of("/\\");
    std::string key = Lower(slash == std::string::npos ? name : name.substr(slash + 1));
    if (key.size() > 4 && key.ends_with(".tga")) key.resize(key.size() - 4);
    return key;
}

std::string WithoutSlash(std::string folder) {
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

// Whether the .tga lies where the build looks for a texture of the mesh:
// the mesh's folder and its PC subfolder (mesh::TextureFolders); for a mesh
// in a PC folder (a platform's own copy), in the folder above too.
bool BesideMesh(const std::string& tga, const std::vector<std::string>& folders) {
    const std::string folder = FolderOf(tga);
    for (const std::string& f : folders)
        if (WithoutSlash(f) == folder) return true;
    const std::string own = WithoutSlash(folders.front());
    const size_t slash = own.find_last_of('/');
    return slash != std::string::npos && Lower(own.substr(slash + 1)) == "pc" && folder == own.substr(0, slash);
}

// The part of a mod whose build munges all its textures together: a side
// or a world (Sides/NAME, Worlds/NAME), or Common, whose textures every
// side's build reads too; empty for a file in none (a custom level's tree is
// then one build).
std::string Section(const std::string& path, bool* common = nullptr) {
    size_t at = 0;
    std::string section;
    std::string prev;
    while (true) {
        const size_t slash = path.find('/', at);
        if (slash == std::string::npos) break;
        const std::string part = Lower(path.substr(at, slash - at));
        if (prev == "sides" || prev == "worlds") section = path.substr(0, slash);
        if (part == "common") {
            section = path.substr(0, slash);
            if (common) *common = true;
        }
        prev = part;
        at = slash + 1;
    }
    return section;
}

}  // namespace

std::string StemKey(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0) name.resize(dot);
    return Lower(name);
}

ModTree IndexModTree(std::vector<std::string> meshes, std::vector<std::string> odfs, std::vector<std::string> tgas,
                     const std::vector<std::string>& base) {
    ModTree t;
    t.meshes = std::move(meshes);
    t.odfs = std::move(odfs);
    t.tgas = std::move(tgas);
    t.mesh_index = IndexOf(t.meshes);
    t.odf_index = IndexOf(t.odfs);
    t.tga_index = IndexOf(t.tgas);
    t.has_base = !base.empty();
    for (const std::string& f : base) {
        std::string ext = Lower(f.substr(std::min(f.size(), f.find_last_of('.'))));
        ModTree::Index* into = ext == ".msh" ? &t.base_meshes : ext == ".odf" ? &t.base_odfs : ext == ".tga" ? &t.base_tgas : nullptr;
        if (into) (*into)[StemKey(f)];
    }
    t.info.resize(t.meshes.size());
    return t;
}

std::vector<TreeFinding> CheckMeshTextures(const ModTree& tree, size_t i, const MeshFacts& facts) {
    std::vector<TreeFinding> out;
    if (tree.tgas.empty()) return out;
    const std::string& mesh = tree.meshes[i];
    const std::vector<std::string> folders = mesh::TextureFolders(mesh, {});
    for (const MeshTexture& tex : facts.textures) {
        const std::string key = TextureKey(tex.name);
        const auto found = tree.tga_index.find(key);
        const std::vector<size_t> none;
        const std::vector<size_t>& where = found == tree.tga_index.end() ? none : found->second;
        // Beside the mesh, or anywhere its build munges textures: then found.
        const std::string section = Section(mesh);
        const bool found_here = std::any_of(where.begin(), where.end(), [&](size_t k) {
            bool common = false;
            const std::string other = Section(tree.tgas[k], &common);
            return BesideMesh(tree.tgas[k], folders) || other == section || common;
        });
        if (found_here) continue;
        TreeFinding f;
        f.file = mesh;
        f.property = tex.path.substr(tex.path.find_last_of('/') + 1);
        f.target = tex.name;
        f.path = tex.path;
        if (!where.empty()) {
            f.rule = "texture-elsewhere";
            f.target_file = tree.tgas[where.front()];
            f.message = "texture " + detail::Quoted(tex.name) + " is found only in another side or world (" +
                        f.target_file + "), whose files the build of " + (section.empty() ? "this mesh" : section) +
                        " does not read" +
                        (where.size() > 1 ? " (and " + std::to_string(where.size() - 1) + " more)" : "");
        } else if (tree.base_tgas.count(key)) {
            continue;  // a stock texture
        } else {
            f.rule = "texture-missing";
            f.message = "texture " + detail::Quoted(tex.name) + " is in no folder of the tree";
            if (tree.has_base) {
                f.message += " nor of the base folders";
            } else {
                f.severity = Severity::note;
                f.maybe_stock = true;
                f.message += " (a stock texture? give --base to look there)";
            }
        }
        out.push_back(std::move(f));
    }
    return out;
}

std::vector<TreeFinding> CheckTgas(const ModTree& tree) {
    std::vector<TreeFinding> out;
    std::vector<uint8_t> head;
    for (const std::string& tga : tree.tgas) {
        int64_t size = 0;
        std::string why;
        if (!host::ReadFileStart(tga, kTgaHeader, head, &size, &why)) {
            TreeFinding f;
            f.severity = Severity::error;
            f.rule = "unreadable";
            f.file = tga;
            f.message = "Unable to read the file: " + why + ".";
            out.push_back(std::move(f));
            continue;
        }
        // The option file beside it says how the build lays the image out.
        TgaShape shape = TgaShape::plain;
        std::vector<uint8_t> options;
        int64_t optionsize = 0;
        if (host::ReadFileStart(tga + ".option", 64 << 10, options, &optionsize, nullptr))
            shape = ShapeFromOptions(std::string_view(reinterpret_cast<const char*>(options.data()), options.size()));
        for (TgaProblem& p : CheckTgaHeader(head, size, shape)) {
            TreeFinding f;
            f.severity = p.severity;
            f.rule = p.rule;
            f.file = tga;
            f.message = std::move(p.message);
            out.push_back(std::move(f));
        }
    }
    return out;
}

}  // namespace check
