// Shadow volumes the compiler builds from triangles: which models it takes
// (sv_ models, or with -hiresshadow a level of detail of the drawn ones),
// and whether their triangles close (mesh/shadow_edges).
#include <cmath>

#include "check/checker.h"
#include "mesh/shadow_edges.h"

namespace check::detail {

namespace {

constexpr int64_t kClothType = 2;

bool LodIs(const std::string& s, const char* a, const char* b = nullptr) {
    return ContainsNoCase(s, a) || (b && ContainsNoCase(s, b));
}

// As in Collision: a model the compiler draws.
bool Drawn(const Model& m) {
    const bool lod = LodIs(m.name, "lod2", "lod3") || LodIs(m.name, "lowres", "lowrez");
    if (m.hidden && !lod) return false;
    if (m.type == kClothType || m.name.compare(0, 2, "p_") == 0 || m.name.compare(0, 3, "hp_") == 0) return false;
    if (StartsWithNoCase(m.name, "collision") || StartsWithNoCase(m.name, "terraincutter")) return false;
    return m.segments;
}

// What a vertex's skin makes of it in a shadow volume: the bone slots it
// follows and, soft skinned, its weights in bytes.
uint64_t Skin(Bytes w, int64_t v, bool soft) {
    const size_t p = size_t(4 + 32 * v);
    const uint32_t b0 = U32(w, p) & 0xFF, b1 = U32(w, p + 8) & 0xFF, b2 = U32(w, p + 16) & 0xFF;
    if (!soft) return b0;
    float x = F32(w, p + 4), y = F32(w, p + 12), z = F32(w, p + 20);
    const float total = x + y + z;
    if (total == 0.0f) x = 1, y = 0, z = 0;
    else x /= total, y /= total, z /= total;
    const uint64_t bones = b0 | uint64_t(y > 0 ? b1 : b0) << 8 | uint64_t(z > 0 ? b2 : b0) << 16;
    auto byte = [](float f) { return std::isfinite(f) ? uint64_t(uint8_t(f * 255.0f + 0.5f)) : 0u; };
    return bones | byte(x) << 24 | byte(y) << 32;
}

}  // namespace

void Checker::Shadows() {
    const size_t n = models_.size();
    std::vector<uint8_t> shadow(n, 0);
    for (size_t i = 0; i < n; ++i) {
        const Model& m = models_[i];
        if (m.type == kClothType || m.name.compare(0, 2, "p_") == 0 || m.name.compare(0, 3, "hp_") == 0 ||
            StartsWithNoCase(m.name, "collision") || StartsWithNoCase(m.name, "terraincutter"))
            continue;
        shadow[i] = m.name.compare(0, 3, "sv_") == 0 || (!m.hidden && m.shadowvolume);
    }
    // The levels of detail of the drawn models; shadows go with the first.
    std::vector<size_t> lod[4];  // 0, lod2, lod3, lowres
    for (size_t i = 0; i < n; ++i) {
        if (!Drawn(models_[i])) continue;
        const std::string& s = models_[i].name;
        lod[LodIs(s, "lod2") ? 1 : LodIs(s, "lod3") ? 2 : LodIs(s, "lowres", "lowrez") ? 3 : 0].push_back(i);
    }
    if (lod[0].empty() && lod[1].empty() && lod[2].empty()) lod[0] = lod[3];
    if (lod[0].empty()) return;
    if (options_.hiresshadow) {
        const int level = options_.hiresshadowlod;
        const std::vector<size_t>& from = level >= 3 && !lod[3].empty()   ? lod[3]
                                          : level >= 2 && !lod[2].empty() ? lod[2]
                                          : level >= 1 && !lod[1].empty() ? lod[1]
                                                                          : lod[0];
        std::fill(shadow.begin(), shadow.end(), 0);
        for (size_t i : from) shadow[i] = 1;
    }
    for (const SegmentRef& s : segments_) {
        const Model& m = models_[size_t(s.model)];
        // A model with its own SHDW keeps it, unless named sv_.
        if (!shadow[size_t(s.model)] || (m.shadowvolume && m.name.compare(0, 3, "sv_") != 0)) continue;
        ShadowClosed(s);
    }
}

void Checker::ShadowClosed(const SegmentRef& s) {
    if (!s.hasposl || !s.hasstrp || s.posl.cut || s.strp.cut) return;
    Bytes posl = Data(s.posl);
    if (posl.size() < 4) return;
    const int64_t nv = std::min<int64_t>(U32(posl, 0), int64_t(posl.size() - 4) / 12);
    std::vector<std::array<uint32_t, 3>> tris;
    if (nv <= 0 || StripTriangles(Data(s.strp), &tris) == 0) return;
    std::vector<std::array<float, 3>> points(static_cast<size_t>(nv));
    for (int64_t v = 0; v < nv; ++v)
        for (size_t c = 0; c < 3; ++c) points[size_t(v)][c] = F32(posl, size_t(4 + 12 * v) + 4 * c);
    std::vector<uint64_t> skin;
    if (s.haswght && !s.wght.cut) {
        Bytes w = Data(s.wght);
        if (w.size() >= 4 && U32(w, 0) == uint32_t(nv) && int64_t(w.size() - 4) / 32 >= nv) {
            skin.resize(size_t(nv));
            for (int64_t v = 0; v < nv; ++v) skin[size_t(v)] = Skin(w, v, options_.softskinshadow);
        }
    }
    const mesh::ShadowEdges e = mesh::FindShadowEdges(tris, points, skin);
    if (e.open.empty() && !e.overused && !e.degenerate && !e.merged && !e.mergedskin) return;
    std::vector<std::string> parts;
    std::optional<uint32_t> element;
    if (!e.open.empty()) {
        const mesh::ShadowEdges::Edge& o = e.open[0];
        uint32_t corner = 0;
        while (corner < 2 && !(tris[o.triangle][corner] == o.a && tris[o.triangle][(corner + 1) % 3] == o.b)) ++corner;
        element = 3 * o.triangle + corner;
        parts.push_back(Num(int64_t(e.open.size())) + (e.open.size() == 1 ? " open edge" : " open edges") +
                        " (the first from vertex " + Num(o.a) + " to " + Num(o.b) + " of triangle " + Num(o.triangle) +
                        ")");
    }
    if (e.overused)
        parts.push_back(Num(int64_t(e.overused)) + (e.overused == 1 ? " edge" : " edges") +
                        " used by more than two triangles (the first from vertex " + Num(e.firstoverused.a) + " to " +
                        Num(e.firstoverused.b) + ")");
    if (e.degenerate)
        parts.push_back(Num(int64_t(e.degenerate)) + (e.degenerate == 1 ? " triangle" : " triangles") +
                        " of no area (the first is triangle " + Num(e.firstdegenerate) + ")");
    if (e.merged) parts.push_back(Num(int64_t(e.merged)) + " corners welded to another within 1 mm at another position");
    if (e.mergedskin) parts.push_back(Num(int64_t(e.mergedskin)) + " corners welded to another of other bones or weights");
    std::string text;
    for (size_t i = 0; i < parts.size(); ++i) text += (i == 0 ? "" : i + 1 == parts.size() ? " and " : ", ") + parts[i];
    const Model& m = models_[size_t(s.model)];
    Add("shadow-closed", Severity::warning, s.strp, s.path,
        "the shadow volume of " + Quoted(m.name) + " does not close: " + text, element);
}

}  // namespace check::detail
