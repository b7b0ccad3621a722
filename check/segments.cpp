// The rules of a segment (its lists against its vertices, its indices, its
// weights against the envelope), of shadow volumes and of cloth.
//
// A list whose count disagrees with its bytes has its own finding
// (list-count); the rules here leave such a list out, so that one fault
// gives one finding: a POSL that is faulty stands for its segment's counts
// and indices as well.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "check/checker.h"
#include "format/records.h"

namespace check::detail {

namespace {

constexpr uint32_t kMati = Tag("MATI"), kPosl = Tag("POSL"), kNrml = Tag("NRML"), kUv0l = Tag("UV0L"),
                   kClrl = Tag("CLRL"), kWght = Tag("WGHT"), kStrp = Tag("STRP"), kNdxt = Tag("NDXT"),
                   kNdxl = Tag("NDXL"), kShdw = Tag("SHDW"), kCpos = Tag("CPOS"), kCuv0 = Tag("CUV0"),
                   kFidx = Tag("FIDX"), kFwgt = Tag("FWGT"), kCmsh = Tag("CMSH"), kSprs = Tag("SPRS"),
                   kCprs = Tag("CPRS"), kBprs = Tag("BPRS"), kColl = Tag("COLL");

constexpr int64_t kSegmentVertices = 0x8000;

// The entries of a fixed-width list when its count agrees with its bytes;
// -1 when it does not (list-count has said so) or the list is empty of data.
int64_t Agreed(Bytes d, int width) {
    if (d.size() < 4) return d.empty() ? 0 : -1;
    const int64_t declared = U32(d, 0);
    const int64_t held = int64_t(d.size() - 4) / width;
    return declared <= held ? declared : -1;
}

}  // namespace

int64_t StripTriangles(Bytes d, std::vector<std::array<uint32_t, 3>>* out) {
    if (d.size() < 4) return 0;
    const int64_t count = int32_t(U32(d, 0));
    const int64_t have = std::min<int64_t>(count, int64_t(d.size() - 4) / 2);
    if (count < 3) return 0;
    int64_t n = 0;
    uint32_t s0 = 0, s1 = 0;  // the two indices before the next one of the strip
    int64_t inStrip = 0;      // indices of the current strip so far
    auto index = [&](int64_t i) { return U16(d, size_t(4 + 2 * i)); };
    for (int64_t i = 0; i < have; ++i) {
        uint32_t v = index(i);
        if (i < 2 || (v & format::records::kStripStart)) {
            // A strip opens with this index and the next one (the first
            // strip with the first two, flagged or not).
            if (i >= 2) {
                if (i + 1 >= have) break;
                s0 = v & ~format::records::kStripStart;
                s1 = index(++i) & ~format::records::kStripStart;
                inStrip = 2;
                continue;
            }
            (i == 0 ? s0 : s1) = v & ~format::records::kStripStart;
            inStrip = i + 1;
            continue;
        }
        // The triangle of s0, s1, v: even ones as they come, odd ones turned.
        const bool even = (inStrip - 2) % 2 == 0;
        const std::array<uint32_t, 3> t = even ? std::array<uint32_t, 3>{s0, s1, v} : std::array<uint32_t, 3>{v, s1, s0};
        if (t[0] != t[1] && t[0] != t[2] && t[1] != t[2]) {
            ++n;
            if (out) out->push_back(t);
        }
        s0 = s1, s1 = v;
        ++inStrip;
    }
    return n;
}

void Checker::Segment(const Frame& f) {
    const std::string path = Path();
    const Node* posl = Kid(f, kPosl);
    const Node* shdw = Kid(f, kShdw);
    const Node* strp = Kid(f, kStrp);
    Model* model = f.ctx.model >= 0 ? &models_[size_t(f.ctx.model)] : nullptr;
    if (shdw && !shdw->cut) Shadow(*shdw, KidPath(*shdw));
    // The compiler makes a segment of a SEGM with any of these; a SEGM of a
    // SHDW alone is a shadow volume only.
    bool real = false;
    for (const Node& k : f.kids)
        for (uint32_t t : {kMati, kPosl, kWght, kNrml, kUv0l, kClrl, Tag("CLRB"), kStrp}) real = real || k.tag == t;

    if (const Node* mati = Kid(f, kMati); real && f.ctx.materials >= 0 && (!mati || mati->have >= 4)) {
        const int64_t v = mati ? int64_t(int32_t(U32(Data(*mati), 0))) : 0;
        if (v < 0 || v >= f.ctx.materials)
            Add("material-index", Severity::error, mati ? *mati : f.node, mati ? KidPath(*mati) : path,
                (mati ? "material " + Num(v) : std::string("no MATI: the compiler takes material 0, which")) +
                    " is not below the number of materials (" + Num(f.ctx.materials) + ")");
    }

    const int64_t vertices = posl ? Agreed(Data(*posl), 12) : 0;
    const bool triangles = strp || Kid(f, kNdxt) || Kid(f, kNdxl);
    if (!f.node.cut && !shdw && (!posl || vertices == 0 || !triangles))
        Add("segment-empty", Severity::warning, f.node, path,
            !posl || vertices == 0 ? "the segment has no vertices" : "the segment has no STRP, NDXT or NDXL chunk");
    const int64_t strips = strp && !strp->cut ? StripTriangles(Data(*strp), nullptr) : 0;
    if (model) {
        model->segments = model->segments || real;
        model->shadowvolume = model->shadowvolume || shdw;
        model->vertices += std::max<int64_t>(vertices, 0);
        model->triangles += strips;
        if (strips > 0) model->meshdata = true;
        if (const Node* w = Kid(f, kWght); w && Agreed(Data(*w), 32) > 1) model->weights = true;
    }
    if (real && f.ctx.model >= 0) {
        SegmentRef r;
        r.model = f.ctx.model;
        if (posl) r.posl = *posl, r.hasposl = true;
        if (strp) r.strp = *strp, r.hasstrp = true, r.path = KidPath(*strp);
        if (const Node* w = Kid(f, kWght)) r.wght = *w, r.haswght = true;
        segments_.push_back(std::move(r));
    }
    if (vertices > kSegmentVertices)
        Add("vertex-limit", Severity::error, *posl, KidPath(*posl),
            Num(vertices) + " vertices, more than " + Num(kSegmentVertices) + " in one segment");
    if (vertices < 0 || f.node.cut) return;  // the POSL's own finding stands for the rest

    for (const Node& k : f.kids) {
        if (k.cut) continue;
        const uint32_t t = k.tag;
        if (t == kNrml || t == kUv0l || t == kClrl || t == kWght) {
            const int width = t == kWght ? 32 : t == kNrml ? 12 : t == kUv0l ? 8 : 4;
            const int64_t n = Agreed(Data(k), width);
            if (n >= 0 && n != vertices)
                Add("segment-counts", Severity::error, k, KidPath(k),
                    format::schema::TagName(t) + " has " + Num(n) + " entries, POSL has " + Num(vertices));
            if (n < 0) continue;
            if (t == kWght) Weights(f, k, n);
            if (t == kUv0l && !options_.largetexcoords) {
                // The compiler keeps u and 1 - v in 16 bits, 2048 a unit.
                constexpr float kLow = -32768.0f / 2048.0f, kHigh = 32767.0f / 2048.0f;
                Bytes d = Data(k);
                int64_t bad = 0, first = -1;
                float value = 0;
                for (int64_t i = 0; i < 2 * n; ++i) {
                    const float raw = F32(d, size_t(4 + 4 * i));
                    const float u = i % 2 ? 1.0f - raw : raw;
                    if ((u < kLow || u > kHigh) && bad++ == 0) first = i, value = raw;
                }
                if (bad) {
                    char buf[32];
                    std::snprintf(buf, sizeof buf, "%g", double(value));
                    Add("uv-range", Severity::warning, k, KidPath(k),
                        std::string("texture coordinate ") + (first % 2 ? "v " : "u ") + buf + " of vertex " +
                            Num(first / 2) + " is outside what 16 bits hold (u and 1 - v in [-16, 16))" +
                            More(bad - 1, "values"),
                        uint32_t(first / 2));
                }
            }
        } else if (t == kStrp || t == kNdxt || t == kNdxl) {
            Indices(k, KidPath(k), vertices);
        }
    }
}

// Every index of STRP (without its strip-start bit), NDXT and NDXL below
// the segment's vertex count.
void Checker::Indices(const Node& k, const std::string& path, int64_t vertices) {
    Bytes d = Data(k);
    if (d.size() < 4) return;
    const int64_t count = U32(d, 0);
    int64_t bad = 0, firstpos = -1, firstv = 0;
    auto test = [&](int64_t pos, int64_t v) {
        if (v >= vertices && bad++ == 0) firstpos = pos, firstv = v;
    };
    if (k.tag == kNdxl) {
        format::records::ForEachPolygon(d, [&](int64_t pos, uint32_t, Bytes indices) {
            for (size_t j = 0; 2 * j < indices.size(); ++j) test(pos + int64_t(j), U16(indices, 2 * j));
            return true;
        });
    } else {
        const bool strip = k.tag == kStrp;
        const int64_t n = std::min<int64_t>(strip ? count : 3 * count, int64_t(d.size() - 4) / 2);
        for (int64_t i = 0; i < n; ++i) {
            uint32_t v = U16(d, size_t(4 + 2 * i));
            if (strip) v &= ~format::records::kStripStart;
            test(i, v);
        }
    }
    // The compiler reads its triangles from STRP only.
    if (bad)
        Add("index-range", k.tag == kStrp ? Severity::error : Severity::warning, k, path,
            "index " + Num(firstv) + " at position " + Num(firstpos) + " is not below the vertex count " +
                Num(vertices) + More(bad - 1, "indices") +
                (k.tag == kStrp ? "" : " (the compiler does not read " + format::schema::TagName(k.tag) + ")"),
            uint32_t(firstpos));
}

// Every bone slot of every vertex (at weight 0 too) names an entry of the
// GEOM's envelope; the weights themselves are finite.
void Checker::Weights(const Frame& f, const Node& k, int64_t vertices) {
    const std::string path = KidPath(k);
    Bytes d = Data(k);
    int64_t nonfinite = 0, firstnf = -1;
    // The envelope's entries the weights use (the others are faults of their own).
    std::vector<uint8_t> used(size_t(std::max<int64_t>(f.ctx.envelope, 0)), 0);
    int64_t distinct = 0;
    int64_t bad = 0, firstv = -1, firstbone = 0;
    for (int64_t i = 0; i < vertices; ++i) {
        for (int s = 0; s < 4; ++s) {
            const size_t p = size_t(4 + 32 * i + 8 * s);
            const uint32_t bone = U32(d, p);
            const float w = F32(d, p + 4);
            if (!std::isfinite(w) && nonfinite++ == 0) firstnf = i;
            if (w > 0 && bone < used.size() && !used[bone]) used[bone] = 1, ++distinct;
            if (f.ctx.envelope >= 0 && int64_t(bone) >= f.ctx.envelope && bad++ == 0) firstv = i, firstbone = bone;
        }
    }
    // A hard skin follows each vertex's first bone whatever its weight;
    // soft skinning blends by the weights.
    if (nonfinite)
        Add("not-finite", options_.softskin ? Severity::error : Severity::warning, k, path,
            "the weight of vertex " + Num(firstnf) + " is not a finite number" + More(nonfinite - 1, "values") +
                (options_.softskin ? " (-softskin blends by it)" : " (used only with -softskin)"),
            uint32_t(firstnf));
    if (f.ctx.envelope < 0 && vertices > 0)
        Add("weight-bone", Severity::error, k, path, "the segment has weights, but its GEOM has no ENVL");
    else if (bad)
        Add("weight-bone", Severity::error, k, path,
            "vertex " + Num(firstv) + " uses bone " + Num(firstbone) + ", but the ENVL has " + Num(f.ctx.envelope) +
                " entries" + More(bad - 1, "weights"),
            uint32_t(firstv));
    if (distinct > 15)
        Add("bones-per-segment", Severity::warning, f.node, Path(),
            "the weights use " + Num(distinct) + " bones, more than 15 (the segment will be split)");
}

// A shadow volume: its vertices, then half edges of four u16 each (vertex,
// next edge, twin edge, unused). Each index in range, every twin pointing
// back, every edge on one closed loop.
void Checker::Shadow(const Node& k, const std::string& path) {
    Bytes d = Data(k);
    const int64_t have = int64_t(d.size());
    const int64_t nv = have >= 4 ? int64_t(U32(d, 0)) : -1;
    const int64_t at = 4 + 12 * std::max<int64_t>(nv, 0);
    const int64_t ne = nv >= 0 && at + 4 <= have ? int64_t(U32(d, size_t(at))) : -1;
    if (nv < 0 || ne < 0 || at + 4 + 8 * ne > have) {
        Add("list-count", Severity::error, k, path,
            nv < 0 ? std::string("the data has no room for the vertex count")
            : ne < 0 ? "the vertex count is " + Num(nv) + ", the bytes hold " + Num((have - 4) / 12) + " vertices"
                     : "the edge count is " + Num(ne) + ", the bytes hold " + Num((have - at - 4) / 8) + " edges");
        return;
    }
    auto edge = [&](int64_t e, int field) { return int64_t(U16(d, size_t(at + 4 + 8 * e + 2 * field))); };
    for (int64_t e = 0; e < ne; ++e) {
        const char* what = nullptr;
        int64_t v = 0, limit = 0;
        if (edge(e, 0) >= nv) what = "vertex", v = edge(e, 0), limit = nv;
        else if (edge(e, 1) >= ne) what = "next edge", v = edge(e, 1), limit = ne;
        else if (edge(e, 2) >= ne) what = "twin edge", v = edge(e, 2), limit = ne;
        if (what) {
            Add("shadow-edges", Severity::error, k, path,
                "edge " + Num(e) + ": its " + what + " " + Num(v) + " is not below " + Num(limit), uint32_t(e));
            return;
        }
    }
    for (int64_t e = 0; e < ne; ++e) {
        const int64_t twin = edge(e, 2);
        if (edge(e, 0) != edge(edge(twin, 1), 0) || edge(twin, 0) != edge(edge(e, 1), 0)) {
            Add("shadow-edges", Severity::error, k, path,
                "edge " + Num(e) + ": its twin " + Num(twin) + " does not run between the same vertices back",
                uint32_t(e));
            return;
        }
    }
    std::vector<bool> visited(size_t(ne), false);
    for (int64_t e = 0; e < ne; ++e) {
        if (visited[size_t(e)]) continue;
        visited[size_t(e)] = true;
        for (int64_t cur = edge(e, 1); cur != e; cur = edge(cur, 1)) {
            if (visited[size_t(cur)]) {
                Add("shadow-edges", Severity::error, k, path,
                    "edge " + Num(e) + " is on no closed loop of its own (edge " + Num(cur) + " is met twice)",
                    uint32_t(e));
                return;
            }
            visited[size_t(cur)] = true;
        }
    }
}

// Cloth: as many texture coordinates as vertices, every index below the
// vertex count, fixed vertices paired with bones, collision objects with a
// known shape. Names are judged once every model is known.
void Checker::Cloth(const Frame& f) {
    const Node* cpos = Kid(f, kCpos);
    const int64_t vertices = cpos ? Agreed(Data(*cpos), 12) : 0;
    int64_t fixed = -1, weights = -1;
    for (const Node& k : f.kids) {
        if (k.cut) continue;
        const uint32_t t = k.tag;
        Bytes d = Data(k);
        if (t == kCuv0 && vertices >= 0) {
            const int64_t n = Agreed(d, 8);
            if (n >= 0 && n != vertices)
                Add("cloth", Severity::error, k, KidPath(k), "CUV0 has " + Num(n) + " entries, CPOS has " + Num(vertices));
        } else if (t == kCmsh && f.ctx.model >= 0 && Agreed(d, 12) > 0) {
            models_[size_t(f.ctx.model)].clothtriangles = true;
        }
        int width = 0, per = 0;
        if (t == kFidx) width = 4, per = 1;
        else if (t == kSprs || t == kCprs || t == kBprs) width = 2, per = 2;
        else if (t == kCmsh) width = 4, per = 3;
        if (width && vertices >= 0) {
            const int64_t n = Agreed(d, width * per);
            if (t == kFidx) fixed = n;
            int64_t bad = 0, firstpos = -1, firstv = 0;
            for (int64_t i = 0; i < n * per; ++i) {
                const size_t p = size_t(4 + width * i);
                const int64_t v = width == 4 ? int64_t(U32(d, p)) : int64_t(U16(d, p));
                if (v >= vertices && bad++ == 0) firstpos = i, firstv = v;
            }
            if (bad)
                Add("cloth", Severity::error, k, KidPath(k),
                    "index " + Num(firstv) + " at position " + Num(firstpos) + " is not below the cloth vertex count " +
                        Num(vertices) + More(bad - 1, "indices"),
                    uint32_t(firstpos / per));
        }
        if (t == kFwgt || t == kColl) {
            // FWGT: a count, then names; COLL: a count, then per object a
            // name, its parent's name, a u32 shape and three floats.
            Names names{k, KidPath(k), f.ctx.model, {}, {}};
            const int64_t count = d.size() >= 4 ? int64_t(U32(d, 0)) : 0;
            size_t p = 4;
            int64_t i = 0;
            auto text = [&](std::string& out) {
                const auto zero = std::find(d.begin() + std::ptrdiff_t(std::min(p, d.size())), d.end(), uint8_t(0));
                if (zero == d.end()) return false;
                out.assign(d.begin() + std::ptrdiff_t(p), zero);
                p = size_t(zero - d.begin()) + 1;
                return true;
            };
            for (; i < count; ++i) {
                std::string name, parent;
                if (!text(name)) break;
                if (t == kFwgt) {
                    names.names.push_back(name);
                    continue;
                }
                if (!text(parent) || p + 16 > d.size()) break;
                const uint32_t shape = U32(d, p);
                p += 16;
                names.names.push_back(parent);
                if (shape > 2)
                    Add("cloth", Severity::error, k, names.path,
                        "collision object " + Quoted(name) + " has shape " + Num(shape) +
                            ", none of sphere, cylinder, box (0-2)",
                        uint32_t(i));
            }
            if (i < count && d.size() >= 4)
                Add("list-count", Severity::error, k, names.path,
                    "the count is " + Num(count) + ", the bytes hold " + Num(i) + " entries");
            if (t == kFwgt) weights = int64_t(names.names.size());
            (t == kFwgt ? fixedweights_ : clothcollision_).push_back(std::move(names));
        }
    }
    if (fixed >= 0 && weights >= 0 && fixed != weights)
        Add("cloth-weights", Severity::warning, f.node, Path(),
            "FIDX has " + Num(fixed) + " fixed vertices, FWGT " + Num(weights) + " bone names");
}

}  // namespace check::detail
