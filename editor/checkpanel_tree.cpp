// The check window's part of the mod tree around the mesh's file: the ODFs
// that use the mesh and the references of theirs that fail, and the mesh's
// texture records whose file is missing.
#include <unordered_map>

#include "check/modtree.h"
#include "editor/checkpanel.h"
#include "mesh/records.h"

namespace editor {

namespace {

// A file of the tree by its path below the tree's folder.
std::string Below(const std::string& root, const std::string& file) {
    return file.size() > root.size() + 1 && file.compare(0, root.size(), root) == 0 ? file.substr(root.size() + 1) : file;
}

bool TextureRecord(const mesh::chunk& c) {
    return c.kids.empty() && (c.name == "TX0D" || c.name == "TX1D" || c.name == "TX2D" || c.name == "TX3D" ||
                              c.name == "CTEX");
}

}  // namespace

std::vector<check::Finding> TreeFindings(const Document& doc, std::string_view options,
                                         std::vector<std::weak_ptr<mesh::chunk>>& missing) {
    std::vector<check::Finding> out;
    const mesh::chunkptr root = doc.Root();
    if (doc.path.empty() || !root) return out;
    // The mesh as it is now, with its changes.
    std::vector<uint8_t> bytes;
    root->save(bytes, doc.recognizematl);
    const check::MeshInTree tree = check::CheckMeshInTree(doc.path, bytes, options);
    if (tree.root.empty()) return out;
    // The texture records by their paths, found without recursion.
    std::unordered_map<std::string, mesh::chunkptr> records;
    std::vector<mesh::chunkptr> todo = {root};
    while (!todo.empty()) {
        const mesh::chunkptr c = std::move(todo.back());
        todo.pop_back();
        if (TextureRecord(*c)) records.emplace(mesh::ChunkPath(c), c);
        for (const mesh::chunkptr& k : c->kids) todo.push_back(k);
    }
    for (const std::string& odf : tree.odfs) {
        check::Finding f;
        f.severity = check::Severity::note;
        f.rule = "odf-user";
        f.path = Below(tree.root, odf);
        f.message = "uses this mesh (" + odf + ")";
        out.push_back(std::move(f));
    }
    for (const check::TreeFinding& t : tree.findings) {
        check::Finding f;
        f.severity = t.severity;
        f.rule = t.rule;
        f.path = t.line > 0 ? Below(tree.root, t.file) + ":" + std::to_string(t.line) + " " + t.property : t.path;
        f.message = t.message;
        if (t.line == 0) {
            if (const auto it = records.find(t.path); it != records.end()) {
                f.where = it->second;
                if (t.rule == "texture-missing" || t.rule == "texture-elsewhere") missing.push_back(it->second);
            }
        }
        out.push_back(std::move(f));
    }
    return out;
}

}  // namespace editor
