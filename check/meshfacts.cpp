// Reading a mesh's models and texture records out of its bytes: the
// containers are opened by name (HEDR, MSH2, MATL, MATD, MODL, GEOM, CLTH)
// with a stack of their own, so no file nests this reader deeper than the
// format does.
#include "check/meshfacts.h"

#include <algorithm>
#include <unordered_map>

#include "check/checker.h"
#include "mesh/records.h"

namespace check {

namespace {

using detail::Bytes;
using detail::Tag;
using detail::U32;

struct Kid {
    uint32_t tag;
    size_t data;  // offset of its data
    size_t size;  // its data bytes, cut to its parent
    int sibling;  // index among same-named siblings; -1 when unique
};

// The chunks inside [from, to): headers read while they fit, each child at
// the next multiple of 4 after the one before.
std::vector<Kid> Kids(Bytes b, size_t from, size_t to) {
    std::vector<Kid> kids;
    size_t p = from;
    while (p + 8 <= to) {
        const size_t size = std::min<size_t>(U32(b, p + 4), to - p - 8);
        kids.push_back({U32(b, p), p + 8, size, -1});
        p += 8 + ((size + 3) & ~size_t{3});
    }
    std::unordered_map<uint32_t, int> seen;
    for (const Kid& k : kids) ++seen[k.tag];
    std::unordered_map<uint32_t, int> next;
    for (Kid& k : kids)
        if (seen[k.tag] > 1) k.sibling = next[k.tag]++;
    return kids;
}

std::string Text(Bytes b, const Kid& k) {
    const uint8_t* s = b.data() + k.data;
    const uint8_t* zero = std::find(s, s + k.size, uint8_t(0));
    return std::string(s, zero);
}

std::string Part(const Kid& k) {
    std::string part = format::schema::TagName(k.tag);
    if (k.sibling >= 0) part += "[" + std::to_string(k.sibling) + "]";
    return part;
}

const Kid* Find(const std::vector<Kid>& kids, uint32_t tag) {
    for (const Kid& k : kids)
        if (k.tag == tag) return &k;
    return nullptr;
}

// COLL: a count, then per object a name, its parent's name, a u32 shape and
// three floats.
void ClothParents(Bytes b, const Kid& k, std::vector<std::string>& out) {
    if (k.size < 4) return;
    const size_t end = k.data + k.size;
    size_t p = k.data + 4;
    auto text = [&](std::string* into) {
        const uint8_t* zero = std::find(b.data() + p, b.data() + end, uint8_t(0));
        if (zero == b.data() + end) return false;
        if (into) into->assign(b.data() + p, zero);
        p = size_t(zero - b.data()) + 1;
        return true;
    };
    for (uint32_t i = 0, n = U32(b, k.data); i < n; ++i) {
        std::string parent;
        if (!text(nullptr) || !text(&parent) || p + 16 > end) return;
        p += 16;
        out.push_back(std::move(parent));
    }
}

void Material(Bytes b, const Kid& matd, const std::string& path, MeshFacts& f) {
    for (const Kid& k : Kids(b, matd.data, matd.data + matd.size))
        if (k.tag == Tag("TX0D") || k.tag == Tag("TX1D") || k.tag == Tag("TX2D") || k.tag == Tag("TX3D")) {
            std::string name = Text(b, k);
            if (!name.empty()) f.textures.push_back({std::move(name), path + "/" + Part(k)});
        }
}

void Geometry(Bytes b, const Kid& geom, const std::string& path, MeshFacts& f) {
    for (const Kid& k : Kids(b, geom.data, geom.data + geom.size)) {
        if (k.tag == Tag("ENVL") && k.size >= 4) {
            const size_t n = std::min<size_t>(U32(b, k.data), (k.size - 4) / 4);
            for (size_t i = 0; i < n; ++i) f.envelope.push_back(U32(b, k.data + 4 + 4 * i));
        } else if (k.tag == Tag("CLTH")) {
            const std::string cloth = path + "/" + Part(k);
            for (const Kid& c : Kids(b, k.data, k.data + k.size)) {
                if (c.tag == Tag("CTEX")) {
                    std::string name = Text(b, c);
                    if (!name.empty()) f.textures.push_back({std::move(name), cloth + "/" + Part(c)});
                } else if (c.tag == Tag("COLL")) {
                    ClothParents(b, c, f.cloth_parents);
                }
            }
        }
    }
}

void Model(Bytes b, const Kid& modl, const std::string& scene, MeshFacts& f) {
    const std::vector<Kid> kids = Kids(b, modl.data, modl.data + modl.size);
    MeshModel m;
    const Kid* name = Find(kids, Tag("NAME"));
    if (name) m.name = Text(b, *name);
    std::string part = "MODL";
    if (name) part += "[" + m.name.substr(0, mesh::kNameInPath) + "]";
    else if (modl.sibling >= 0) part += "[" + std::to_string(modl.sibling) + "]";
    m.path = scene + "/" + part;
    if (const Kid* t = Find(kids, Tag("MTYP")); t && t->size >= 4) m.type = U32(b, t->data);
    if (const Kid* t = Find(kids, Tag("MNDX")); t && t->size >= 4) m.index = U32(b, t->data);
    if (const Kid* t = Find(kids, Tag("PRNT"))) m.parent = Text(b, *t);
    for (const Kid& k : kids)
        if (k.tag == Tag("GEOM")) Geometry(b, k, m.path + "/" + Part(k), f);
    f.models.push_back(std::move(m));
}

}  // namespace

MeshFacts ReadMeshFacts(std::span<const uint8_t> file) {
    MeshFacts f;
    for (const Kid& hedr : Kids(file, 0, file.size())) {
        if (hedr.tag != Tag("HEDR")) continue;
        for (const Kid& msh2 : Kids(file, hedr.data, hedr.data + hedr.size)) {
            if (msh2.tag != Tag("MSH2")) continue;
            const std::string scene = "HEDR/" + Part(msh2);
            for (const Kid& k : Kids(file, msh2.data, msh2.data + msh2.size)) {
                if (k.tag == Tag("MATL") && k.size >= 4) {
                    // A counted list: the MATD chunks follow the count.
                    const std::string matl = scene + "/" + Part(k);
                    for (const Kid& matd : Kids(file, k.data + 4, k.data + k.size))
                        if (matd.tag == Tag("MATD")) Material(file, matd, matl + "/" + Part(matd), f);
                } else if (k.tag == Tag("MODL")) {
                    Model(file, k, scene, f);
                }
            }
        }
        break;  // the root; what follows it is no part of the scene
    }
    return f;
}

bool KeptByCompiler(const MeshFacts& facts, const MeshModel& m, const ParsedOptions& options) {
    using detail::EqualNoCase;
    // hp_ in any case: the compiler's own test is case-sensitive, but a
    // finding here must be certain.
    if (options.keepall || m.type == 3 || m.parent.empty() || detail::StartsWithNoCase(m.name, "hp_")) return true;
    bool parented = false;
    for (const MeshModel& other : facts.models) parented = parented || (other.name == m.parent && &other != &m);
    if (!parented) return true;  // a parent that is not there: the compiler refuses the file anyway
    for (const auto& k : options.keep)
        if (EqualNoCase(k.name, m.name)) return true;
    if (m.index >= 0 && std::find(facts.envelope.begin(), facts.envelope.end(), uint32_t(m.index)) != facts.envelope.end())
        return true;
    for (const std::string& p : facts.cloth_parents)
        if (EqualNoCase(p, m.name)) return true;
    return false;
}

}  // namespace check
