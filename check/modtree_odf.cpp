// The references of the ODFs of a mod tree: the meshes and ODFs they name,
// and the nodes they name in their meshes, with what they inherit through
// ClassParent.
#include <algorithm>
#include <optional>

#include "check/checker.h"
#include "check/modtree.h"
#include "check/odf.h"
#include "files/files.h"

namespace check {

namespace {

using detail::EqualNoCase;
using detail::Quoted;
using detail::StartsWithNoCase;

constexpr int64_t kMostOdfBytes = 4 << 20;  // ODFs are a few kilobytes
constexpr int kMostParents = 64;            // a longer chain is a loop

struct Loaded {
    bool ok = false;
    std::string why;
    Odf odf;
};

// The name a value gives, as a key of the tree's index.
std::string KeyOf(const std::string& target) {
    std::string t = target;
    std::replace(t.begin(), t.end(), '\\', '/');
    return StemKey(t + ".x");
}

// How many leading folders two paths share.
size_t Shared(const std::string& a, const std::string& b) {
    size_t n = 0, folders = 0;
    while (n < a.size() && n < b.size() && a[n] == b[n]) {
        if (a[n] == '/') ++folders;
        ++n;
    }
    return folders;
}

// Of the files of one name, the one nearest to the file `from` (the most
// leading folders shared; the first in order among equals): a side's build
// takes its own folder's file before another's.
size_t Nearest(const std::vector<size_t>& candidates, const std::vector<std::string>& files, const std::string& from) {
    size_t best = candidates.front(), most = 0;
    for (size_t c : candidates) {
        const size_t s = Shared(files[c], from);
        if (s > most) best = c, most = s;
    }
    return best;
}

std::string Joined(const ModTree& t, const std::vector<size_t>& meshes) {
    std::string s;
    for (size_t m : meshes) s += (s.empty() ? "" : ", ") + t.meshes[m];
    return s;
}

class Resolver {
public:
    Resolver(const ModTree& t, std::vector<TreeFinding>& out) : t_(t), out_(out), odfs_(t.odfs.size()) {
        for (size_t i = 0; i < odfs_.size(); ++i) {
            std::vector<uint8_t> bytes;
            Loaded& l = odfs_[i];
            l.ok = host::ReadWholeFile(t.odfs[i], kMostOdfBytes, bytes, &l.why);
            if (l.ok) l.odf = ParseOdf(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
        }
    }

    void Check(size_t i) {
        const Loaded& l = odfs_[i];
        if (!l.ok) {
            Add(Severity::error, "unreadable", i, nullptr, "", "Unable to read the file: " + l.why + ".");
            return;
        }
        for (const OdfProperty& p : l.odf.properties) {
            const OdfRef kind = RefOf(p.key);
            if (kind == OdfRef::mesh) OwnReference(i, p, kind, t_.mesh_index, t_.base_meshes, "mesh");
            if (kind == OdfRef::odf) OwnReference(i, p, kind, t_.odf_index, t_.base_odfs, "ODF");
        }
        if (l.odf.weapon) return;  // its nodes are those of the object that carries it
        bool known = true;
        const std::vector<size_t> meshes = MeshesOf(i, known);
        if (!known || meshes.empty()) return;
        const std::vector<size_t> chain = Chain(i);
        for (size_t c : chain) {
            if (c != i) {
                bool parentknown = true;
                if (MeshesOf(c, parentknown) == meshes && parentknown) continue;  // reported with the parent itself
            }
            for (const OdfProperty& p : odfs_[c].odf.properties) {
                const OdfRef kind = RefOf(p.key);
                if ((kind == OdfRef::node || kind == OdfRef::collision) && !Overridden(chain, c, p.key))
                    Node(i, c, p, kind, meshes);
            }
        }
    }

    bool Uses(size_t i, size_t mesh) const {
        if (!odfs_[i].ok) return false;
        bool known = true;
        const std::vector<size_t> meshes = MeshesOf(i, known);
        return std::find(meshes.begin(), meshes.end(), mesh) != meshes.end();
    }

private:
    void Add(Severity s, const char* rule, size_t file, const OdfProperty* p, const std::string& target,
             std::string message) {
        TreeFinding f;
        f.severity = s;
        f.rule = rule;
        f.file = t_.odfs[file];
        if (p) f.line = p->line, f.property = p->key;
        f.target = target;
        f.message = std::move(message);
        out_.push_back(std::move(f));
    }

    // A mesh or ODF the ODF names itself: in the tree, or in a base folder.
    void OwnReference(size_t i, const OdfProperty& p, OdfRef kind, const ModTree::Index& index,
                      const ModTree::Index& base, const char* what) {
        const std::string target = RefTarget(kind, p.value);
        if (target.empty()) return;
        const std::string key = KeyOf(target);
        if (index.count(key) || base.count(key)) return;
        const bool stock = !t_.has_base;
        Add(stock ? Severity::note : Severity::warning, kind == OdfRef::mesh ? "odf-mesh" : "odf-class", i, &p, target,
            std::string(what) + " " + Quoted(target) + " is in no folder of the tree" +
                (stock ? " (a stock asset? give --base to look there)" : " nor of the base folders"));
        out_.back().maybe_stock = stock;
    }

    // The ODF, then its parents as far as the tree holds them.
    std::vector<size_t> Chain(size_t i) const {
        std::vector<size_t> chain{i};
        for (int depth = 0; depth < kMostParents; ++depth) {
            const std::optional<size_t> parent = ParentOf(chain.back());
            if (!parent || std::find(chain.begin(), chain.end(), *parent) != chain.end()) break;
            chain.push_back(*parent);
        }
        return chain;
    }

    // The tree's ODF that ClassParent names, or null (none, or not in the tree).
    std::optional<size_t> ParentOf(size_t i) const {
        for (const OdfProperty& p : odfs_[i].odf.properties) {
            if (!EqualNoCase(p.key, "ClassParent")) continue;
            const auto found = t_.odf_index.find(KeyOf(RefTarget(OdfRef::odf, p.value)));
            if (found == t_.odf_index.end()) return std::nullopt;
            const size_t parent = Nearest(found->second, t_.odfs, t_.odfs[i]);
            if (!odfs_[parent].ok) return std::nullopt;
            return parent;
        }
        return std::nullopt;
    }

    // Whether a key is set by an ODF of the chain before c: the nearer
    // definition overrides the inherited one.
    bool Overridden(const std::vector<size_t>& chain, size_t c, const std::string& key) const {
        for (size_t k : chain) {
            if (k == c) return false;
            for (const OdfProperty& p : odfs_[k].odf.properties)
                if (EqualNoCase(p.key, key)) return true;
        }
        return false;
    }

    // The tree's meshes the ODF names, itself and through its parents (a
    // key set nearer overrides the one inherited). known is false when one
    // of them, or a parent, lies outside the tree (its nodes are not known
    // here), or the ODF names no main mesh at all.
    std::vector<size_t> MeshesOf(size_t i, bool& known) const {
        std::vector<size_t> meshes;
        const std::vector<size_t> chain = Chain(i);
        for (const OdfProperty& p : odfs_[chain.back()].odf.properties)
            if (EqualNoCase(p.key, "ClassParent") && !RefTarget(OdfRef::odf, p.value).empty()) known = false;
        bool geometry = false;
        for (size_t c : chain)
            for (const OdfProperty& p : odfs_[c].odf.properties) {
                if (RefOf(p.key) != OdfRef::mesh || Overridden(chain, c, p.key)) continue;
                const std::string target = RefTarget(OdfRef::mesh, p.value);
                if (target.empty()) continue;
                const bool main = EqualNoCase(p.key, "GeometryName");
                geometry = geometry || main;
                const auto found = t_.mesh_index.find(KeyOf(target));
                if (found == t_.mesh_index.end()) {
                    if (main) known = false;
                    continue;
                }
                const size_t m = Nearest(found->second, t_.meshes, t_.odfs[i]);
                if (!t_.info[m].read) known = false;
                if (std::find(meshes.begin(), meshes.end(), m) == meshes.end()) meshes.push_back(m);
            }
        if (!geometry) known = false;
        return meshes;
    }

    // A node property of ODF c, checked for ODF i (c itself, or a parent).
    void Node(size_t i, size_t c, const OdfProperty& p, OdfRef kind, const std::vector<size_t>& meshes) {
        const std::string target = RefTarget(kind, p.value);
        if (target.empty()) return;
        const bool collisionmesh = kind == OdfRef::collision && EqualNoCase(target, "CollisionMesh");
        const MeshModel* found = nullptr;
        size_t in = 0;
        for (size_t m : meshes)
            for (const MeshModel& model : t_.info[m].facts.models) {
                const bool match = collisionmesh ? StartsWithNoCase(model.name, "collision") : EqualNoCase(model.name, target);
                if (!match) continue;
                if (kind != OdfRef::node || KeptByCompiler(t_.info[m].facts, model, t_.info[m].options)) return;
                if (!found) found = &model, in = m;
            }
        const std::string inherited = c == i ? "" : " (inherited by " + t_.odfs[i] + ")";
        if (!found) {
            Add(Severity::warning, "odf-node", c, &p, target,
                (collisionmesh ? std::string("\"CollisionMesh\" names the collision meshes (collision*), which none")
                               : "node " + Quoted(target) + " is in none") +
                    " of the object's meshes (searched " + Joined(t_, meshes) + ")" + inherited);
            out_.back().target_file = t_.meshes[meshes.front()];
            return;
        }
        Add(Severity::warning, "odf-node-dropped", c, &p, target,
            "node " + Quoted(target) + " of " + t_.meshes[in] +
                " is merged away by the model compiler: it is not hp_, not a bone, and no -keep in " +
                t_.meshes[in] + ".option names it" + inherited);
        out_.back().target_file = t_.meshes[in];
        out_.back().path = found->path;
    }

    const ModTree& t_;
    std::vector<TreeFinding>& out_;
    std::vector<Loaded> odfs_;
};

}  // namespace

std::vector<TreeFinding> CheckOdfs(const ModTree& tree, std::optional<size_t> mesh, std::vector<size_t>* users) {
    std::vector<TreeFinding> out;
    Resolver r(tree, out);
    for (size_t i = 0; i < tree.odfs.size(); ++i) {
        if (mesh && !r.Uses(i, *mesh)) continue;
        if (mesh && users) users->push_back(i);
        r.Check(i);
    }
    std::stable_sort(out.begin(), out.end(), [](const TreeFinding& a, const TreeFinding& b) {
        return a.file != b.file ? a.file < b.file : a.line < b.line;
    });
    return out;
}

}  // namespace check
