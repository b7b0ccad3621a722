// The repairs, one planner a rule. Each planner walks the tree with the
// shared pre-order walk and returns closures that change only the chunks
// they name.
#include "check/repair.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <limits>
#include <unordered_map>

#include "format/schema.h"
#include "format/bytes.h"
#include "mesh/records.h"
#include "format/records.h"
#include "format/values.h"
#include "mesh/walk.h"

namespace check {

namespace {

using mesh::chunk;
using mesh::chunkptr;
using Bytes = std::vector<uint8_t>;

// ---- Small helpers -------------------------------------------------------------

// Every chunk of the tree with that name, in pre-order.
std::vector<chunkptr> All(const chunkptr& root, std::string_view name) {
    std::vector<chunkptr> out;
    mesh::PreOrder(*root, [&](chunk& c) {
        if (c.name == name) out.push_back(c.shared_from_this());
    });
    return out;
}

chunkptr KidPtr(const chunkptr& c, std::string_view name) {
    for (const chunkptr& k : c->kids)
        if (k && k->name == name) return k;
    return nullptr;
}

Bytes DataOf(const chunk& c) {
    std::span<const uint8_t> d = mesh::LeafBytes(c);
    return Bytes(d.begin(), d.end());
}

void SetU32At(const chunkptr& c, size_t at, uint32_t v) {
    Bytes d = DataOf(*c);
    if (d.size() < at + 4) return;
    format::StoreU32(d.data() + at, v);
    c->setdata(std::move(d));
}

std::string Num(int64_t v) { return std::to_string(v); }

// ---- chunk-layout ------------------------------------------------------------------

// Data whose size is not a multiple of four gets the zero padding exporters
// write; the sizes above follow on the rebuild. A chunk the tree holds as
// bytes but the format opens is left alone: its padding belongs inside.
std::vector<Repair> Paddings(const chunkptr& root) {
    std::vector<Repair> out;
    mesh::PreOrder(*root, [&](chunk& c) {
        if (!c.kids.empty() || c.size % 4 == 0 || c.size < 0 || !c.getparent()) return;
        if (c.name.size() == 4 && format::schema::FindContainer(format::schema::Tag(c.name))) return;
        const int pad = 4 - c.size % 4;
        chunkptr k = c.shared_from_this();
        out.push_back({"chunk-layout", "", "pad " + Num(c.size) + " bytes with " + Num(pad) + " zero bytes", k,
                       [k, pad] { k->GrowData(pad); }});
    });
    return out;
}

// ---- list-count ------------------------------------------------------------------

// Lists of fixed-size elements whose bytes fix the count: the data after the
// count holds whole elements, or whole elements and the zero padding to the
// next multiple of four.
std::vector<Repair> ListCounts(const chunkptr& root) {
    std::vector<Repair> out;
    mesh::PreOrder(*root, [&](chunk& c) {
        for (const chunkptr& k : c.kids) {
            if (!k || !k->kids.empty() || k->size < 4) continue;
            const format::ChunkKind* kind = format::FindKind(k->name);
            if (!kind) continue;
            const format::RecordLayout& l = format::LayoutOf(*kind, c.name);
            if (l.layout != format::Layout::List || l.elementsize <= 0 || !l.sublists.empty()) continue;
            // The counts whose elements leave nothing after them, or only the
            // zero padding to a multiple of four: one, or the bytes do not
            // say which (a u16 list's padding reads as one more entry).
            const std::span<const uint8_t> d = mesh::LeafBytes(*k);
            const int64_t declared = mesh::LeadingU32(k.get());
            std::vector<int64_t> fits;
            for (int64_t rest = 0; rest < 4 && rest <= int64_t(d.size()) - 4; ++rest) {
                if ((int64_t(d.size()) - 4 - rest) % l.elementsize) continue;
                if (rest && (d.size() % 4 || std::any_of(d.end() - rest, d.end(), [](uint8_t b) { return b; })))
                    continue;
                fits.push_back((int64_t(d.size()) - 4 - rest) / l.elementsize);
            }
            if (fits.size() != 1 || fits[0] == declared || fits[0] > std::numeric_limits<uint32_t>::max()) continue;
            const int64_t held = fits[0];
            out.push_back({"list-count", "", "count " + Num(declared) + " -> " + Num(held), k,
                           [k, held] { SetU32At(k, 0, uint32_t(held)); }});
        }
    });
    return out;
}

// ---- model-index -------------------------------------------------------------------

// Models without an MNDX, or sharing one, are all numbered 1..N in tree order;
// each ENVL entry that named an old number names the first model that had it.
std::vector<Repair> ModelIndices(const chunkptr& root) {
    std::vector<chunkptr> models = All(root, "MODL");
    std::unordered_map<uint32_t, size_t> first;  // old number -> first model with it
    chunkptr culprit;
    for (size_t i = 0; i < models.size(); ++i) {
        chunkptr n = KidPtr(models[i], "MNDX");
        const int64_t v = mesh::LeadingU32(n.get());
        if (v < 0 || first.count(uint32_t(v))) {
            if (!culprit) culprit = models[i];
            continue;
        }
        first.emplace(uint32_t(v), i);
    }
    if (!culprit) return {};
    auto apply = [models, first, root] {
        std::unordered_map<uint32_t, uint32_t> renumber;
        for (const auto& [old, i] : first) renumber[old] = uint32_t(i + 1);
        for (size_t i = 0; i < models.size(); ++i) {
            Bytes v(4);
            format::StoreU32(v.data(), uint32_t(i + 1));
            chunkptr n = KidPtr(models[i], "MNDX");
            if (n && n->kids.empty()) {
                n->setdata(std::move(v));
                continue;
            }
            n = mesh::chunk::Create("MNDX");
            n->setdata(std::move(v));
            chunkptr type = KidPtr(models[i], "MTYP");
            models[i]->InsertKid(type ? size_t(models[i]->IndexOfKid(type.get()) + 1) : 0, n);
        }
        for (const chunkptr& e : All(root, "ENVL")) {
            Bytes d = DataOf(*e);
            for (size_t at = 4; at + 4 <= d.size(); at += 4) {
                auto it = renumber.find(format::LoadU32(d.data() + at));
                if (it != renumber.end()) format::StoreU32(d.data() + at, it->second);
            }
            if (d != DataOf(*e)) e->setdata(std::move(d));
        }
    };
    return {{"model-index", "", "number the " + Num(int64_t(models.size())) + " models 1.." +
                                    Num(int64_t(models.size())) + " in tree order, envelopes following",
             culprit, apply}};
}

// ---- bbox ------------------------------------------------------------------------

struct Box {
    std::array<float, 3> lo{std::numeric_limits<float>::max(), std::numeric_limits<float>::max(),
                            std::numeric_limits<float>::max()};
    std::array<float, 3> hi{-lo[0], -lo[1], -lo[2]};
    bool empty = true;
    void Add(const std::array<float, 3>& p) {
        for (int i = 0; i < 3; ++i) {
            if (!std::isfinite(p[i])) return;
        }
        for (int i = 0; i < 3; ++i) lo[i] = std::min(lo[i], p[i]), hi[i] = std::max(hi[i], p[i]);
        empty = false;
    }
    // The BBOX record: no rotation, the centre, the half extents, the radius
    // of the sphere around them.
    Bytes Record() const {
        Bytes b(44);
        float c[3], e[3];
        for (int i = 0; i < 3; ++i) c[i] = empty ? 0 : (lo[i] + hi[i]) / 2, e[i] = empty ? 0 : (hi[i] - lo[i]) / 2;
        const float v[11] = {0, 0, 0, 1, c[0], c[1], c[2], e[0], e[1], e[2],
                             std::sqrt(e[0] * e[0] + e[1] * e[1] + e[2] * e[2])};
        for (int i = 0; i < 11; ++i) format::StoreF32(b.data() + 4 * i, v[i]);
        return b;
    }
};

// The positions of a list (POSL, CPOS): a count, then x, y, z floats.
template <class F>
void Positions(const chunk& list, F&& each) {
    format::Reader r(mesh::LeafBytes(list));
    const uint32_t n = r.U32();
    for (uint32_t i = 0; r.ok() && i < n; ++i) {
        std::array<float, 3> p{r.F32(), r.F32(), r.F32()};
        if (r.ok()) each(p);
    }
}

bool BoxIsFinite(const chunk& box) {
    format::Reader r(mesh::LeafBytes(box));
    for (int i = 0; i < 11; ++i)
        if (!std::isfinite(r.F32())) return false;
    return r.ok();
}

// A model's placement: scale, rotation quaternion (x, y, z, w), translation.
struct Placement {
    float s[3] = {1, 1, 1}, q[4] = {0, 0, 0, 1}, t[3] = {0, 0, 0};
    std::array<float, 3> Apply(std::array<float, 3> p) const {
        for (int i = 0; i < 3; ++i) p[i] *= s[i];
        // p + 2w(v x p) + 2 v x (v x p), v = (x, y, z)
        const float x = q[0], y = q[1], z = q[2], w = q[3];
        const float cx = y * p[2] - z * p[1], cy = z * p[0] - x * p[2], cz = x * p[1] - y * p[0];
        const float dx = y * cz - z * cy, dy = z * cx - x * cz, dz = x * cy - y * cx;
        return {p[0] + 2 * (w * cx + dx) + t[0], p[1] + 2 * (w * cy + dy) + t[1], p[2] + 2 * (w * cz + dz) + t[2]};
    }
};

Placement PlacementOf(const chunk& model) {
    Placement pl;
    const chunk* tran = mesh::Kid(model, "TRAN");
    if (!tran) return pl;
    format::Reader r(mesh::LeafBytes(*tran));
    Placement read;
    for (float& v : read.s) v = r.F32();
    for (float& v : read.q) v = r.F32();
    for (float& v : read.t) v = r.F32();
    return r.ok() ? read : pl;
}

// GEOM boxes from the positions of their segments and cloth, in the model's
// space; the scene's box (SINF) from every model's positions placed by the
// chain of its parents. Only boxes that are missing (a GEOM with positions
// and no BBOX) or hold a value that is not finite.
std::vector<Repair> Boxes(const chunkptr& root) {
    std::vector<Repair> out;
    std::vector<chunkptr> models = All(root, "MODL");
    std::vector<chunkptr> scenes;
    for (const chunkptr& sinf : All(root, "SINF")) {
        chunkptr box = KidPtr(sinf, "BBOX");
        if (box && box->size == 44 && !BoxIsFinite(*box)) scenes.push_back(box);
    }
    // The positions are read only where a box is wanted.
    std::unordered_map<std::string, const chunk*> byname;
    if (!scenes.empty())
        for (const chunkptr& m : models) byname.emplace(mesh::TextOf(mesh::Kid(*m, "NAME")), m.get());
    Box scene;
    for (const chunkptr& m : models) {
        chunkptr geom = KidPtr(m, "GEOM");
        if (!geom) continue;
        chunkptr box = KidPtr(geom, "BBOX");
        // Cloth alone carries no box (the tools accept that); segments do.
        const bool wanted = box ? !BoxIsFinite(*box) : geom->haskid("SEGM") != 0;
        if (!wanted && scenes.empty()) continue;
        Box local;
        std::vector<std::array<float, 3>> points;
        mesh::PreOrder(*geom, [&](const chunk& c) {
            if ((c.name == "POSL" || c.name == "CPOS") && c.kids.empty())
                Positions(c, [&](const std::array<float, 3>& p) {
                    local.Add(p);
                    if (!scenes.empty()) points.push_back(p);
                });
        });
        if (!scenes.empty()) {
            // Place the points in the scene: up the parents, a loop stops it.
            const chunk* cur = m.get();
            for (size_t guard = 0; cur && guard <= models.size(); ++guard) {
                const Placement pl = PlacementOf(*cur);
                for (auto& p : points) p = pl.Apply(p);
                auto it = byname.find(mesh::TextOf(mesh::Kid(*cur, "PRNT")));
                cur = mesh::Kid(*cur, "PRNT") && it != byname.end() ? it->second : nullptr;
            }
            for (const auto& p : points) scene.Add(p);
        }
        if (!wanted || local.empty) continue;
        const Bytes rec = local.Record();
        if (box)
            out.push_back({"bbox", "", "box from the positions below", box, [box, rec] { box->setdata(rec); }});
        else
            out.push_back({"bbox", "", "add a box from the positions below", geom, [geom, rec] {
                               chunkptr b = mesh::chunk::Create("BBOX");
                               b->setdata(rec);
                               geom->InsertKid(0, b);
                           }});
    }
    for (const chunkptr& box : scenes) {
        const Bytes rec = scene.Record();
        out.push_back({"bbox", "", scene.empty ? "zeros: the scene has no positions" : "box around every model's positions",
                       box, [box, rec] { box->setdata(rec); }});
    }
    return out;
}

// ---- material-index ---------------------------------------------------------

std::vector<Repair> MaterialIndices(const chunkptr& root) {
    std::vector<Repair> out;
    for (const chunkptr& msh2 : All(root, "MSH2")) {
        chunkptr matl = KidPtr(msh2, "MATL");
        if (!matl) continue;
        const int64_t count = matl->kids.empty() ? mesh::LeadingU32(matl.get()) : matl->numkids("MATD");
        if (count != 1) continue;
        for (const chunkptr& mati : All(msh2, "MATI")) {
            const int64_t v = mesh::LeadingU32(mati.get());
            if (v < 1 || !mati->kids.empty()) continue;
            out.push_back({"material-index", "", "material " + Num(v) + " -> 0 (the only material)", mati,
                           [mati] { SetU32At(mati, 0, 0); }});
        }
    }
    return out;
}

// ---- segment-empty ----------------------------------------------------------

bool Counted(const chunk* list) { return list && mesh::LeadingU32(list) > 0; }

std::vector<Repair> EmptySegments(const chunkptr& root) {
    std::vector<Repair> out;
    for (const chunkptr& segm : All(root, "SEGM")) {
        const chunk* posl = mesh::Kid(*segm, "POSL");
        if (mesh::Kid(*segm, "SHDW")) continue;  // a shadow volume keeps its geometry elsewhere
        const bool triangles = Counted(mesh::Kid(*segm, "STRP")) || Counted(mesh::Kid(*segm, "NDXL")) ||
                               Counted(mesh::Kid(*segm, "NDXT"));
        if (Counted(posl) && triangles) continue;
        std::weak_ptr<chunk> weak = segm;
        out.push_back({"segment-empty", "", Counted(posl) ? "remove the segment (no triangles)"
                                                             : "remove the segment (no vertices)",
                       segm, [weak] {
                           chunkptr s = weak.lock();
                           chunkptr p = s ? s->getparent() : nullptr;
                           const int i = p ? p->IndexOfKid(s.get()) : -1;
                           if (i >= 0) p->RemoveKid(size_t(i));
                       }});
    }
    return out;
}

// ---- name-case ----------------------------------------------------------------

// The prefix of a name in other than lower case: HP_, Hp_, SV_, P_ ...
size_t BadPrefix(const std::string& name) {
    for (std::string_view p : {"hp_", "sv_", "p_"}) {
        if (name.size() <= p.size()) continue;
        bool same = true, lower = true;
        for (size_t i = 0; i < p.size(); ++i) {
            same = same && std::tolower(static_cast<unsigned char>(name[i])) == p[i];
            lower = lower && name[i] == p[i];
        }
        if (same && !lower) return p.size();
    }
    return 0;
}

std::vector<Repair> NameCases(const chunkptr& root) {
    std::vector<Repair> out;
    for (const chunkptr& m : All(root, "MODL")) {
        chunkptr name = KidPtr(m, "NAME");
        const std::string old = mesh::TextOf(name.get());
        const size_t n = BadPrefix(old);
        if (!name || n == 0) continue;
        std::string fixed = old;
        for (size_t i = 0; i < n; ++i) fixed[i] = char(std::tolower(static_cast<unsigned char>(fixed[i])));
        out.push_back({"name-case", "", "rename " + old + " -> " + fixed + ", with its references", m,
                       [root, name, old, fixed] {
                           // Same length: every record keeps its size.
                           name->setdata(format::TextRecord(fixed));
                           for (const chunkptr& p : All(root, "PRNT"))
                               if (mesh::TextOf(p.get()) == old) p->setdata(format::TextRecord(fixed));
                           for (const chunkptr& w : All(root, "FWGT")) {
                               Bytes d = DataOf(*w);
                               for (size_t at = 4; at + old.size() < d.size();) {
                                   auto zero = std::find(d.begin() + long(at), d.end(), uint8_t(0));
                                   const size_t end = size_t(zero - d.begin());
                                   if (std::string(d.begin() + long(at), zero) == old)
                                       std::copy(fixed.begin(), fixed.end(), d.begin() + long(at));
                                   at = end + 1;
                               }
                               if (d != DataOf(*w)) w->setdata(std::move(d));
                           }
                       }});
    }
    return out;
}

// ---- shadow-visible -------------------------------------------------------------

std::vector<Repair> HiddenShadows(const chunkptr& root) {
    std::vector<Repair> out;
    for (const chunkptr& m : All(root, "MODL")) {
        const std::string name = mesh::TextOf(mesh::Kid(*m, "NAME"));
        if (name.rfind("sv_", 0) != 0) continue;
        chunkptr flags = KidPtr(m, "FLGS");
        const int64_t v = mesh::LeadingU32(flags.get());
        if (v >= 0 && (v & 1)) continue;
        if (flags && v < 0) continue;  // a FLGS too short to read is another fault
        out.push_back({"shadow-visible", "", flags ? "set the hidden flag" : "add FLGS with the hidden flag", m,
                       [m, flags, v] {
                           if (flags) {
                               SetU32At(flags, 0, uint32_t(v) | 1u);
                               return;
                           }
                           chunkptr f = mesh::chunk::Create("FLGS");
                           f->setdata({1, 0, 0, 0});
                           chunkptr after = KidPtr(m, "PRNT") ? KidPtr(m, "PRNT") : KidPtr(m, "NAME");
                           m->InsertKid(after ? size_t(m->IndexOfKid(after.get()) + 1) : 0, f);
                       }});
    }
    return out;
}

struct Planner {
    std::string_view rule;
    std::vector<Repair> (*plan)(const chunkptr&);
};

constexpr Planner kPlanners[] = {
    {"chunk-layout", Paddings},          {"segment-empty", EmptySegments}, {"list-count", ListCounts},         {"model-index", ModelIndices},
    {"material-index", MaterialIndices}, {"name-case", NameCases},        {"shadow-visible", HiddenShadows},
    {"bbox", Boxes},
};

constexpr std::array<std::string_view, std::size(kPlanners)> kRuleIds = [] {
    std::array<std::string_view, std::size(kPlanners)> ids{};
    for (size_t i = 0; i < ids.size(); ++i) ids[i] = kPlanners[i].rule;
    return ids;
}();

}  // namespace

std::span<const std::string_view> RepairRules() { return kRuleIds; }

std::vector<Repair> PlanRepairs(const chunkptr& root, std::string_view rule) {
    if (!root) return {};
    for (const Planner& p : kPlanners) {
        if (p.rule != rule) continue;
        std::vector<Repair> out = p.plan(root);
        for (Repair& r : out)
            if (chunkptr w = r.where.lock()) r.path = mesh::ChunkPath(w);
        return out;
    }
    return {};
}

std::vector<Repair> FixTree(const chunkptr& root, std::span<const std::string> rules, int recognizematl) {
    std::vector<Repair> done;
    if (!root) return done;
    for (std::string_view rule : RepairRules()) {
        if (!rules.empty() && std::find(rules.begin(), rules.end(), rule) == rules.end()) continue;
        std::vector<Repair> planned = PlanRepairs(root, rule);
        for (Repair& r : planned) {
            r.apply();
            r.apply = nullptr;
            done.push_back(std::move(r));
        }
        if (!planned.empty()) root->Update(recognizematl);
    }
    return done;
}

}  // namespace check
