#include "preview/geometry.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string_view>
#include <unordered_map>

#include "format/bytes.h"
#include "format/records.h"
#include "mesh/records.h"
#include "mesh/walk.h"

namespace preview {
namespace {

// A leaf's data cut to its size; empty for a container or no chunk.
std::span<const uint8_t> Bytes(const mesh::chunk* c) { return c ? mesh::LeafBytes(*c) : std::span<const uint8_t>(); }

// The elements of a counted list that its data has room for.
int64_t Elements(std::span<const uint8_t> b, int width) {
    if (b.size() < 4) return 0;
    const int64_t count = format::LoadU32(b.data());
    return std::min<int64_t>(count, int64_t(b.size() - 4) / width);
}

using mesh::Kid;

std::string Text(const mesh::chunk* c) { return c && c->kids.empty() ? c->datatostring() : std::string(); }

int64_t Value(const mesh::chunk* c) {
    std::span<const uint8_t> b = Bytes(c);
    return b.size() >= 4 ? int64_t(format::LoadU32(b.data())) : -1;
}

std::string Lower(std::string s) {
    for (char& ch : s) ch = char(std::tolower(static_cast<unsigned char>(ch)));
    return s;
}

Kind KindOf(const mesh::chunk& modl, const std::string& name) {
    const std::string n = Lower(name);
    const int64_t type = Value(Kid(modl, "MTYP"));
    if (type == 6 || n.rfind("sv_", 0) == 0) return Kind::shadow;
    if (n.rfind("collision", 0) == 0 || n.rfind("p_", 0) == 0 || n.find("_collision") != std::string::npos)
        return Kind::collision;
    if (type == 2 || Kid(modl, "CLTH")) return Kind::cloth;
    const int64_t flags = Value(Kid(modl, "FLGS"));
    if (flags > 0 && (flags & 1)) return Kind::hidden;
    return Kind::normal;
}

// The model's own transform; identity when its TRAN is missing, short or not
// finite.
Mat4 Local(const mesh::chunk& modl) {
    std::span<const uint8_t> b = Bytes(Kid(modl, "TRAN"));
    if (b.size() < 40) return {};
    float v[10];
    for (int i = 0; i < 10; ++i) {
        v[i] = format::LoadF32(b.data() + 4 * i);
        if (!std::isfinite(v[i])) return {};
    }
    return Transform({v[0], v[1], v[2]}, v + 3, {v[7], v[8], v[9]});
}

// World transforms from the parent links, each model once: a chain is
// followed up to the first model already placed, then composed on the way
// down. A chain that comes back to a model on it is cut there: that model
// counts as a root.
void Place(std::vector<Model>& models, const std::vector<Mat4>& local) {
    std::vector<uint8_t> state(models.size(), 0);  // 0 new, 1 on the chain, 2 placed
    std::vector<int> chain;
    for (size_t start = 0; start < models.size(); ++start) {
        if (state[start]) continue;
        int i = int(start);
        while (i >= 0 && state[size_t(i)] == 0) {
            state[size_t(i)] = 1;
            chain.push_back(i);
            i = models[size_t(i)].parent;
        }
        if (i >= 0 && state[size_t(i)] == 1) models[size_t(i)].parent = -1;  // the loop closes at i
        while (!chain.empty()) {
            const int k = chain.back();
            chain.pop_back();
            Model& m = models[size_t(k)];
            m.world = m.parent >= 0 ? models[size_t(m.parent)].world * local[size_t(k)] : local[size_t(k)];
            state[size_t(k)] = 2;
        }
    }
}

class Builder {
public:
    explicit Builder(Geometry& g) : g_(g) {}

    void Segment(const mesh::chunk& c, int model, bool cloth, const mesh::chunk* owner) {
        const mesh::chunk* posl = Kid(c, cloth ? "CPOS" : "POSL");
        std::span<const uint8_t> p = Bytes(posl);
        const int64_t n = Elements(p, 12);
        if (n <= 0) return;
        preview::Segment s;
        s.chunk = owner ? owner : &c;
        s.points = posl;
        s.model = model;
        s.first = uint32_t(g_.points.size());
        s.count = uint32_t(n);
        const Mat4& w = g_.models[size_t(model)].world;
        for (int64_t i = 0; i < n; ++i) {
            const uint8_t* e = p.data() + 4 + 12 * i;
            const Vec3 v{format::LoadF32(e), format::LoadF32(e + 4), format::LoadF32(e + 8)};
            const bool ok = Finite(v);
            const Vec3 world = ok ? w.Apply(v) : v;
            g_.points.push_back(world);
            g_.sound.push_back(ok && Finite(world));
        }
        const uint32_t seg = uint32_t(g_.segments.size());
        if (cloth) {
            s.faces = Kid(c, "CMSH");
            std::span<const uint8_t> b = Bytes(s.faces);
            const int64_t t = Elements(b, 12);
            for (int64_t i = 0; i < t; ++i) {
                const uint8_t* e = b.data() + 4 + 12 * i;
                Add(s, seg, format::LoadU32(e), format::LoadU32(e + 4), format::LoadU32(e + 8), uint32_t(3 * i), 3);
            }
        } else if ((s.faces = Kid(c, "STRP"))) {
            Strips(s, seg, Bytes(s.faces));
        } else if ((s.faces = Kid(c, "NDXT"))) {
            std::span<const uint8_t> b = Bytes(s.faces);
            const int64_t t = Elements(b, 6);
            for (int64_t i = 0; i < t; ++i) {
                const uint8_t* e = b.data() + 4 + 6 * i;
                Add(s, seg, format::LoadU16(e), format::LoadU16(e + 2), format::LoadU16(e + 4), uint32_t(3 * i), 3);
            }
        } else if ((s.faces = Kid(c, "NDXL"))) {
            Polygons(s, seg, Bytes(s.faces));
        }
        g_.segments.push_back(s);
    }

private:
    void Add(const preview::Segment& s, uint32_t seg, uint32_t a, uint32_t b, uint32_t c, uint32_t at,
             uint32_t span) {
        if (a >= s.count || b >= s.count || c >= s.count || a == b || b == c || a == c) return;
        a += s.first, b += s.first, c += s.first;
        if (!g_.sound[a] || !g_.sound[b] || !g_.sound[c]) return;
        g_.triangles.push_back({{a, b, c}, seg, at, span});
    }

    // Each strip opens with two indices that carry the strip-start bit; a
    // triangle is every three indices in a row within a strip.
    void Strips(const preview::Segment& s, uint32_t seg, std::span<const uint8_t> b) {
        const int64_t n = Elements(b, 2);
        const uint32_t flag = format::records::kStripStart;
        auto at = [&](int64_t i) { return uint32_t(format::LoadU16(b.data() + 4 + 2 * i)); };
        int64_t start = 0;
        for (int64_t i = 0; i < n; ++i) {
            if (i != start + 1 && i + 1 < n && (at(i) & flag) && (at(i + 1) & flag)) start = i;
            if (i - start >= 2)
                Add(s, seg, at(i - 2) & ~flag, at(i - 1) & ~flag, at(i) & ~flag, uint32_t(i - 2), 3);
        }
    }

    // A polygon: its vertex count, then its indices; drawn as a fan.
    void Polygons(const preview::Segment& s, uint32_t seg, std::span<const uint8_t> b) {
        format::records::ForEachPolygon(b, [&](int64_t pos, uint32_t k, std::span<const uint8_t> indices) {
            if (indices.size() < size_t(k) * 2) return false;
            const uint8_t* e = indices.data();
            for (uint32_t j = 2; j < k; ++j)
                Add(s, seg, format::LoadU16(e), format::LoadU16(e + 2 * (j - 1)), format::LoadU16(e + 2 * j),
                    uint32_t(pos), k);
            return true;
        });
    }

    Geometry& g_;
};

// The children of a GEOM that the container-name list left a leaf because
// it opens with a SEGM or a CLTH: parsed from a copy of its bytes, kept in
// g.loose. Null when its data opens with neither.
const mesh::chunk* Loose(const mesh::chunk& geom, Geometry& g) {
    // The names the data of a GEOM, a SEGM and a CLTH open with.
    static const mesh::namelist kInside = {"SEGM", "CLTH", "ENVL", "BBOX", "MATI", "CTEX", "SHDW"};
    std::span<const uint8_t> d = Bytes(&geom);
    const std::string_view first = d.size() >= 4 ? std::string_view(reinterpret_cast<const char*>(d.data()), 4) : "";
    if (first != "SEGM" && first != "CLTH") return nullptr;
    std::vector<uint8_t> bytes(8 + d.size());
    std::memcpy(bytes.data(), "GEOM", 4);
    format::StoreI32(bytes.data() + 4, int32_t(d.size()));
    std::copy(d.begin(), d.end(), bytes.begin() + 8);
    g.loose.push_back(mesh::chunk::GetChunk(bytes, 0, kInside, nullptr));
    return g.loose.back().get();
}

}  // namespace

int Geometry::ModelOf(const mesh::chunk* c) const {
    // Models are few next to chunks: a lookup of each ancestor is cheap.
    for (; c; c = c->getparent().get()) {
        if (c->name != "MODL") continue;
        for (size_t i = 0; i < models.size(); ++i)
            if (models[i].chunk == c) return int(i);
    }
    return -1;
}

Geometry Build(const mesh::chunk& root) {
    Geometry g;
    std::vector<const mesh::chunk*> modls;
    mesh::PreOrder(root, [&](const mesh::chunk& c) {
        if (c.name != "MODL") return true;
        modls.push_back(&c);
        return false;
    });
    std::unordered_map<std::string, int> byname;
    std::vector<std::string> parents;
    std::vector<Mat4> local;
    for (const mesh::chunk* c : modls) {
        Model m;
        m.chunk = c;
        m.name = Text(Kid(*c, "NAME"));
        m.kind = KindOf(*c, m.name);
        m.hardpoint = m.name.rfind("hp_", 0) == 0;
        byname.emplace(m.name, int(g.models.size()));
        parents.push_back(Text(Kid(*c, "PRNT")));
        local.push_back(Local(*c));
        g.models.push_back(std::move(m));
    }
    for (size_t i = 0; i < g.models.size(); ++i) {
        auto it = parents[i].empty() ? byname.end() : byname.find(parents[i]);
        if (it != byname.end() && it->second != int(i)) g.models[i].parent = it->second;
    }
    Place(g.models, local);

    Builder b(g);
    for (size_t i = 0; i < g.models.size(); ++i) {
        const mesh::chunk& c = *g.models[i].chunk;
        for (const mesh::chunkptr& k : c.kids) {
            if (!k || k->name != "GEOM") continue;
            const mesh::chunk* geom = k.get();
            const mesh::chunk* owner = nullptr;
            if (geom->kids.empty()) {
                if (!(geom = Loose(*k, g))) continue;
                owner = k.get();
            }
            for (const mesh::chunkptr& s : geom->kids) {
                if (s && s->name == "SEGM") b.Segment(*s, int(i), false, owner);
                else if (s && s->name == "CLTH") b.Segment(*s, int(i), true, owner);
            }
        }
    }
    return g;
}

std::vector<uint8_t> Shown(const Geometry& g, int focus, const Visibility& v) {
    const size_t n = g.models.size();
    std::vector<uint8_t> in(n, focus < 0 ? 1 : 0);
    if (focus >= 0 && size_t(focus) < n) {
        // The focus and its descendants: children lists, then a walk.
        std::vector<std::vector<int>> kids(n);
        for (size_t i = 0; i < n; ++i)
            if (g.models[i].parent >= 0) kids[size_t(g.models[i].parent)].push_back(int(i));
        std::vector<int> stack{focus};
        while (!stack.empty()) {
            const int i = stack.back();
            stack.pop_back();
            in[size_t(i)] = 1;
            for (int k : kids[size_t(i)]) stack.push_back(k);
        }
    }
    std::vector<uint8_t> out = in;
    for (size_t i = 0; i < n; ++i) {
        if (!in[i] || int(i) == focus) continue;
        const Kind k = g.models[i].kind;
        if ((k == Kind::collision && !v.collision) || (k == Kind::shadow && !v.shadow) ||
            (k == Kind::hidden && !v.hidden))
            out[i] = 0;
    }
    for (const Triangle& t : g.triangles)
        if (out[size_t(g.segments[t.segment].model)]) return out;
    return in;
}

int FindModel(const Geometry& g, const std::string& name) {
    for (size_t i = 0; i < g.models.size(); ++i)
        if (g.models[i].name == name) return int(i);
    return -1;
}

}  // namespace preview
