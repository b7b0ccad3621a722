// The deep check: one walk over the tree with its own stack (pre-order, the
// order of verification), the rules that need the whole mesh (model names,
// parents, envelopes) after it.
//
// What a chunk's rules need from above travels down the walk with each stack
// entry: the material count of the enclosing MSH2, the ENVL count of a GEOM,
// the vertex count of a SEGM or a CLTH. The structural findings come from
// verification, which walks in the same order and tells which chunk gave
// each message, so they are merged in as the walk meets their chunks.
#include "mesh/check.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

#include "format/chunks.h"
#include "format/records.h"
#include "mesh/verify.h"

namespace mesh {

using namespace format;

namespace {

using Bytes = std::span<const uint8_t>;

// ---- Reading records ----------------------------------------------------------

// The data of a leaf, cut to its size; nothing for a container (its data are
// its children, judged by verification) or an empty chunk.
Bytes LeafBytes(const chunk& c) {
    if (!c.kids.empty() || c.size <= 0) return {};
    Bytes d = c.data();
    return d.first(std::min<size_t>(d.size(), size_t(c.size)));
}

uint32_t U32(Bytes b, size_t p) {
    return uint32_t(b[p]) | uint32_t(b[p + 1]) << 8 | uint32_t(b[p + 2]) << 16 | uint32_t(b[p + 3]) << 24;
}
uint32_t U16(Bytes b, size_t p) { return uint32_t(b[p]) | uint32_t(b[p + 1]) << 8; }
int32_t I32(Bytes b, size_t p) { return int32_t(U32(b, p)); }
float F32(Bytes b, size_t p) { return std::bit_cast<float>(U32(b, p)); }

// The leading u32 count of a list, or -1 when the data has no room for it.
int64_t CountOf(const chunk& c) {
    Bytes b = LeafBytes(c);
    return b.size() >= 4 ? int64_t(U32(b, 0)) : -1;
}

// A u32 record value, or -1 when the data is shorter.
int64_t ValueOf(const chunk* c) {
    if (!c) return -1;
    Bytes b = LeafBytes(*c);
    return b.size() >= 4 ? int64_t(U32(b, 0)) : -1;
}

// The text of a leaf text record (up to the first zero byte); empty for a
// container.
std::string TextOf(const chunk* c) {
    if (!c || !c->kids.empty()) return std::string();
    Bytes b = LeafBytes(*c);
    auto zero = std::find(b.begin(), b.end(), uint8_t(0));
    return std::string(b.begin(), zero);
}

const chunk* Kid(const chunk& c, std::string_view name) {
    for (const chunkptr& k : c.kids)
        if (k && k->name == name) return k.get();
    return nullptr;
}

// Entries of a list that the data really holds: the count, cut to the data.
int64_t Available(Bytes b, int64_t count, int width) {
    if (b.size() < 4 || count < 0) return 0;
    return std::min<int64_t>(count, int64_t((b.size() - 4) / size_t(width)));
}

std::string Num(int64_t v) { return std::to_string(v); }
std::string Real(float f) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", double(f));
    return buf;
}
std::string More(int64_t n, const char* what) {
    return n > 0 ? " (and " + Num(n) + " more " + what + ")" : std::string();
}
std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

bool StartsWith(std::string_view s, std::string_view p) { return s.substr(0, p.size()) == p; }
char Lower(char ch) { return (ch >= 'A' && ch <= 'Z') ? char(ch - 'A' + 'a') : ch; }
bool StartsWithAnyCase(std::string_view s, std::string_view p) {
    if (s.size() < p.size()) return false;
    for (size_t i = 0; i < p.size(); ++i)
        if (Lower(s[i]) != p[i]) return false;
    return true;
}

// ---- The walk -------------------------------------------------------------------

enum class Parent : uint8_t { other, segm, clth };

// One chunk waiting on the walk's stack, with what its rules need from above.
struct Entry {
    const chunk* c;
    size_t depth;
    int sibling;          // index among same-named siblings; -1 when the name is unique
    Parent parent;
    int64_t materials;    // MATD count of the enclosing MSH2's MATL; -1 unknown
    int64_t envelope;     // ENVL count of the GEOM above the SEGM; -1 none, -2 not under a GEOM
    int64_t vertices;     // SEGM: POSL count; CLTH: CPOS count; -1 none
};

struct Model {
    const chunk* c;
    size_t order;
    std::string path;
    std::string name;
    bool named = false;
    int64_t index = -1;  // MNDX
    bool hasparent = false;
    std::string parent;  // PRNT text
};

struct Envelope {
    const chunk* c;
    size_t order;
    std::string path;
};

struct Sequenced {
    size_t order;
    Finding f;
};

constexpr size_t kFullPath = 40;   // deeper paths keep their first and last parts
constexpr size_t kPathHead = 8;
constexpr size_t kPathTail = 24;
constexpr size_t kNameInPath = 100;

class Checker {
public:
    Checker(const chunk& root, std::string_view trailer) : root_(root), trailer_(trailer) {}

    std::vector<Finding> Run();

private:
    // ---- Findings ----
    void Add(const char* rule, Severity sev, size_t order, const std::string& path, std::string message,
             const chunk* c) {
        size_t& n = perrule_[rule];
        if (++n > kCheckRuleLimit) return;
        Finding f;
        f.severity = sev;
        f.rule = rule;
        f.path = path;
        f.message = std::move(message);
        f.where = std::const_pointer_cast<chunk>(c->weak_from_this().lock());
        out_.push_back({order, std::move(f)});
    }
    // A finding about the chunk being visited.
    void Here(const char* rule, Severity sev, std::string message) {
        Add(rule, sev, order_, Path(), std::move(message), cur_);
    }
    const std::string& Path() {
        if (!pathready_) {
            path_ = JoinPath();
            pathready_ = true;
        }
        return path_;
    }
    std::string JoinPath() const {
        std::string p;
        auto join = [&](size_t from, size_t to) {
            for (size_t i = from; i < to; ++i) {
                if (!p.empty()) p += '/';
                p += comps_[i];
            }
        };
        if (comps_.size() <= kFullPath) {
            join(0, comps_.size());
        } else {
            join(0, kPathHead);
            p += "/...";
            join(comps_.size() - kPathTail, comps_.size());
        }
        return p;
    }
    std::string Component(const chunk& c, int sibling) const { return PathPart(c, sibling); }

    void Visit(const Entry& e);
    void PushKids(const Entry& e);
    void Structure(const chunk& c, const std::string& message);
    void Layout(const chunk& c);
    void NotFinite(const chunk& c, Bytes b, size_t from, int64_t values, int pervalue);
    void SegmentList(const chunk& c, const Entry& e);
    void Segment(const chunk& c, const Entry& e);
    void Indices(const chunk& c, const Entry& e);
    void Weights(const chunk& c, const Entry& e);
    void Cloth(const chunk& c, const Entry& e);
    void ModelHere(const chunk& c);
    void Models();
    void Envelopes();

    const chunk& root_;
    std::string_view trailer_;
    std::vector<Sequenced> out_;
    std::unordered_map<std::string_view, size_t> perrule_;
    std::vector<std::string> messages_;
    std::vector<const chunk*> owners_;
    size_t nextowner_ = 0;

    // The chunk being visited.
    const chunk* cur_ = nullptr;
    size_t order_ = 0;
    std::vector<std::string> comps_;
    std::string path_;
    bool pathready_ = false;

    std::vector<Entry> stack_;
    std::unordered_map<std::string_view, int> names_;  // sibling counts of one container
    std::vector<Model> models_;
    std::vector<Envelope> envelopes_;
};

std::vector<Finding> Checker::Run() {
    VerifyOwners(root_, messages_, owners_);
    stack_.push_back({&root_, 0, -1, Parent::other, -1, -2, -1});
    size_t order = 0;
    while (!stack_.empty()) {
        const Entry e = stack_.back();
        stack_.pop_back();
        cur_ = e.c;
        order_ = order++;
        comps_.resize(e.depth);
        comps_.push_back(Component(*e.c, e.sibling));
        pathready_ = false;
        Visit(e);
        PushKids(e);
    }
    Models();
    Envelopes();

    std::stable_sort(out_.begin(), out_.end(), [](const Sequenced& a, const Sequenced& b) { return a.order < b.order; });
    std::vector<Finding> result;
    result.reserve(out_.size());
    for (Sequenced& s : out_) result.push_back(std::move(s.f));
    // Rules with more findings than are listed close with the count of the rest.
    for (const CheckRule& r : kCheckRules) {
        auto it = perrule_.find(r.name);
        if (it == perrule_.end() || it->second <= kCheckRuleLimit) continue;
        Finding f;
        f.severity = r.severity;
        f.rule = r.name;
        f.path = root_.name;
        f.message = Num(int64_t(it->second - kCheckRuleLimit)) + " more findings of this rule are not listed";
        f.where = std::const_pointer_cast<chunk>(root_.weak_from_this().lock());
        result.push_back(std::move(f));
    }
    return result;
}

void Checker::PushKids(const Entry& e) {
    const chunk& c = *e.c;
    if (c.kids.empty()) return;
    // Same-named siblings are numbered among themselves.
    names_.clear();
    for (const chunkptr& k : c.kids)
        if (k) ++names_[k->name];
    std::unordered_map<std::string_view, int> seen;
    std::vector<int> sibling(c.kids.size(), -1);
    for (size_t i = 0; i < c.kids.size(); ++i) {
        const chunkptr& k = c.kids[i];
        if (k && names_[k->name] > 1) sibling[i] = seen[k->name]++;
    }

    Entry child{nullptr, e.depth + 1, -1, Parent::other, e.materials, e.envelope, -1};
    if (c.name == "MSH2") {
        // The materials of this mesh: the MATD children of its MATL, or the
        // stored count of a MATL that was not grouped into children.
        if (const chunk* matl = Kid(c, "MATL")) {
            if (!matl->kids.empty()) {
                child.materials = 0;
                for (const chunkptr& k : matl->kids) child.materials += (k && k->name == "MATD") ? 1 : 0;
            } else {
                child.materials = ValueOf(matl);
            }
        } else {
            child.materials = -1;
        }
    } else if (c.name == "GEOM") {
        const chunk* envl = Kid(c, "ENVL");
        child.envelope = envl ? std::max<int64_t>(CountOf(*envl), 0) : -1;
    } else if (c.name == "SEGM") {
        child.parent = Parent::segm;
        const chunk* posl = Kid(c, "POSL");
        child.vertices = posl ? CountOf(*posl) : -1;
    } else if (c.name == "CLTH") {
        child.parent = Parent::clth;
        const chunk* cpos = Kid(c, "CPOS");
        child.vertices = cpos ? CountOf(*cpos) : -1;
    }
    if (c.name != "SEGM") {
        // Only the SEGMs right below a GEOM belong to its envelope.
        if (c.name != "GEOM") child.envelope = -2;
    }
    for (size_t i = c.kids.size(); i-- > 0;) {
        if (!c.kids[i]) continue;
        child.c = c.kids[i].get();
        child.sibling = sibling[i];
        stack_.push_back(child);
    }
}

// A structural finding of verification, unless it is one of the shapes real
// files carry.
void Checker::Structure(const chunk& c, const std::string& message) {
    std::string_view text = message;
    if (StartsWith(text, c.name)) text.remove_prefix(c.name.size());
    if (StartsWith(text, ": ")) text.remove_prefix(2);
    const bool tex = c.name == "TX1D" || c.name == "TX2D" || c.name == "TX3D";
    if (tex && text == "illegal chunk name") {
        chunkptr p = c.getparent();
        if (p && p->name == "MATD") return;  // a second one is reported at the MATD
    }
    if (c.name == "MATD" && text == "contains illegal children") {
        size_t allowed = 0;
        for (const char* n : {"NAME", "DATA", "ATRB", "TX0D", "TX1D", "TX2D", "TX3D"}) allowed += Kid(c, n) ? 1 : 0;
        if (c.kids.size() <= allowed) return;
    }
    // A cloth GEOM: CLTH among its children, or, when the container-name
    // list does not know CLTH, at the start of its data.
    if (c.name == "GEOM" && text == "no BBOX chunk" && (Kid(c, "CLTH") || (c.kids.empty() && c.readname(0) == "CLTH")))
        return;
    if (&c == &root_ && text == "the final chunk is not a CL1L chunk" && trailer_ == "CL1L") return;
    if (c.name == "KFR3" && text == "discrepency between size indicated by first int and actual size") return;
    Here("structure", Severity::error, std::string(text));
}

void Checker::Visit(const Entry& e) {
    const chunk& c = *e.c;
    while (nextowner_ < owners_.size() && owners_[nextowner_] == &c) Structure(c, messages_[nextowner_++]);

    if (!FindKind(c.name)) Here("unknown-chunk", Severity::warning, "unknown chunk name");

    const std::string& n = c.name;
    if (n == "MATD") {
        for (const char* t : {"TX1D", "TX2D", "TX3D"}) {
            if (c.numkids(t) > 1) Here("structure", Severity::error, std::string("more than one ") + t + " chunk");
        }
    } else if (n == "MODL") {
        ModelHere(c);
    } else if (n == "SEGM") {
        Segment(c, e);
    } else if (n == "MTYP") {
        const int64_t v = ValueOf(&c);
        bool known = v < 0;
        for (const ValueName& t : records::kModelTypes) known = known || v == int64_t(t.value);
        if (!known) Here("model-type", Severity::error, "model type " + Num(v) + " is none of 0 null, 1 skin, 2 cloth, 3 bone, 4 static, 6 shadow volume");
    } else if (n == "SWCI") {
        const int64_t v = ValueOf(&c);
        if (v == 3 || v > 4) {
            std::string what;
            for (const ValueName& t : records::kCollisionShapes)
                if (int64_t(t.value) == v) what = std::string(" (") + t.name + ")";
            Here("collision-shape", Severity::warning,
                 "collision shape " + Num(v) + what + " is none of 0 sphere, 1 ellipsoid, 2 cylinder, 4 box");
        }
    } else if (n == "TRAN" || n == "BBOX") {
        Bytes b = LeafBytes(c);
        NotFinite(c, b, 0, int64_t(std::min<size_t>(b.size() / 4, n == "TRAN" ? 10 : 11)), 0);
    } else if (n == "ENVL") {
        envelopes_.push_back({&c, order_, Path()});
    }

    if (n == "POSL" || n == "NRML") {
        Bytes b = LeafBytes(c);
        NotFinite(c, b, 4, Available(b, CountOf(c), 12) * 3, 3);
    } else if (n == "UV0L") {
        Bytes b = LeafBytes(c);
        const int64_t values = Available(b, CountOf(c), 8) * 2;
        NotFinite(c, b, 4, values, 2);
        int64_t bad = 0, first = -1;
        float firstv = 0;
        for (int64_t i = 0; i < values; ++i) {
            const float v = F32(b, size_t(4 + 4 * i));
            if (v < -16.0f || v >= 16.0f) {
                if (bad++ == 0) first = i, firstv = v;
            }
        }
        if (bad)
            Here("uv-range", Severity::warning,
                 "texture coordinate " + Real(firstv) + " of vertex " + Num(first / 2) + " lies outside [-16, 16)" +
                     More(bad - 1, "values"));
    }
    if (n == "STRP" || n == "NDXT" || n == "NDXL" || n == "CMSH" || n == "KFR3") Layout(c);

    if (e.parent == Parent::segm) {
        if (n == "NRML" || n == "UV0L" || n == "CLRL" || n == "WGHT") SegmentList(c, e);
        if (n == "STRP" || n == "NDXT" || n == "NDXL") Indices(c, e);
        if (n == "WGHT") Weights(c, e);
        if (n == "POSL") {
            const int64_t v = CountOf(c);
            if (v > 32767) Here("vertex-limit", Severity::error, Num(v) + " vertices, more than 32767 in one segment");
        }
        if (n == "MATI" && e.materials >= 0) {
            const int64_t v = ValueOf(&c);
            if (v >= e.materials)
                Here("material-index", Severity::error,
                     "material " + Num(v) + " is not below the number of materials (" + Num(e.materials) + ")");
        }
    } else if (e.parent == Parent::clth) {
        Cloth(c, e);
    }
}

// The lists whose size the list-size rule does not judge: the entries their
// counts promise must be there. KFR3 records have variable length: per bone
// a header with two key counts, then the keys.
void Checker::Layout(const chunk& c) {
    Bytes b = LeafBytes(c);
    if (b.empty()) return;  // no data, or children: verification has said so
    if (b.size() < 4) {
        Here("structure", Severity::error, "the data is too short for its count");
        return;
    }
    const int64_t count = U32(b, 0);
    const int64_t have = int64_t(b.size());
    if (c.name == "NDXL" || c.name == "KFR3") {
        const bool keys = c.name == "KFR3";
        int64_t p = 4;
        for (int64_t i = 0; i < count; ++i) {
            const int64_t head = keys ? 16 : 2;
            int64_t end = p + head;
            if (end <= have) {
                if (keys) end += int64_t(U32(b, size_t(p + 8))) * 16 + int64_t(U32(b, size_t(p + 12))) * 20;
                else end += int64_t(U16(b, size_t(p))) * 2;
            }
            if (end > have) {
                Here("structure", Severity::error,
                     std::string(keys ? "bone " : "polygon ") + Num(i) + " of " + Num(count) +
                         " runs past the end of the data");
                return;
            }
            p = end;
        }
        if (keys && p < have)
            Here("structure", Severity::error, Num(have - p) + " bytes are left after the last bone");
        return;
    }
    const int width = c.name == "STRP" ? 2 : c.name == "NDXT" ? 6 : 12;
    const int64_t need = 4 + count * width;
    if (need > have)
        Here("structure", Severity::error,
             "the count " + Num(count) + " needs " + Num(need) + " bytes of data, the chunk has " + Num(have));
}

// NaN or infinity among values floats from byte from; pervalue > 0 names the
// element (values a vertex), 0 the field of the record.
void Checker::NotFinite(const chunk& c, Bytes b, size_t from, int64_t values, int pervalue) {
    int64_t bad = 0, first = -1;
    for (int64_t i = 0; i < values; ++i) {
        if (!std::isfinite(F32(b, from + size_t(4 * i))) && bad++ == 0) first = i;
    }
    if (!bad) return;
    std::string where;
    if (pervalue > 0) {
        where = "vertex " + Num(first / pervalue);
    } else {
        where = "value " + Num(first);
        const ChunkKind* k = FindKind(c.name);
        if (k) {
            const RecordLayout& l = k->layouts.back();
            for (const Field& f : l.fields)
                if (int(4 * first) >= f.offset && int(4 * first) < f.End()) where = f.name;
        }
    }
    Here("not-finite", Severity::error, where + " is not a finite number" + More(bad - 1, "values"));
}

// NRML, UV0L, CLRL, WGHT: as many entries as the segment has vertices.
void Checker::SegmentList(const chunk& c, const Entry& e) {
    if (e.vertices < 0) return;
    const int64_t v = CountOf(c);
    if (v >= 0 && v != e.vertices)
        Here("segment-counts", Severity::error,
             c.name + " has " + Num(v) + " entries, POSL has " + Num(e.vertices));
}

void Checker::Segment(const chunk& c, const Entry& e) {
    (void)e;
    if (Kid(c, "SHDW")) return;
    const chunk* posl = Kid(c, "POSL");
    if (!posl) Here("segment-empty", Severity::error, "no POSL chunk");
    else if (CountOf(*posl) <= 0) Here("segment-empty", Severity::error, "no vertices");
    if (!Kid(c, "STRP") && !Kid(c, "NDXT") && !Kid(c, "NDXL"))
        Here("segment-empty", Severity::error, "no STRP, NDXT or NDXL chunk");

    // The bones the weights use: the model compiler splits a segment that
    // uses more than it can send at once.
    if (const chunk* wght = Kid(c, "WGHT")) {
        Bytes b = LeafBytes(*wght);
        const int64_t n = Available(b, CountOf(*wght), 32);
        std::vector<int32_t> bones;
        for (int64_t i = 0; i < n; ++i) {
            for (int k = 0; k < 4; ++k) {
                const size_t p = size_t(4 + 32 * i + 8 * k);
                if (F32(b, p + 4) > 0) bones.push_back(I32(b, p));
            }
        }
        std::sort(bones.begin(), bones.end());
        const size_t used = size_t(std::unique(bones.begin(), bones.end()) - bones.begin());
        if (used > 15)
            Here("bones-per-segment", Severity::warning,
                 "the weights use " + Num(int64_t(used)) + " bones, more than 15 (the segment will be split)");
    }
}

// Every index of STRP (without its flag bit), NDXT and NDXL below the
// segment's vertex count.
void Checker::Indices(const chunk& c, const Entry& e) {
    if (e.vertices < 0) return;
    Bytes b = LeafBytes(c);
    if (b.size() < 4) return;
    const int64_t count = U32(b, 0);
    int64_t bad = 0, firstpos = -1, firstv = 0;
    auto test = [&](int64_t pos, int64_t v) {
        if (v >= e.vertices && bad++ == 0) firstpos = pos, firstv = v;
    };
    if (c.name == "NDXL") {
        size_t p = 4;
        int64_t pos = 0;
        for (int64_t i = 0; i < count && p + 2 <= b.size(); ++i) {
            const uint32_t k = U16(b, p);
            p += 2;
            for (uint32_t j = 0; j < k && p + 2 <= b.size(); ++j, p += 2) test(pos++, U16(b, p));
        }
    } else {
        const bool strip = c.name == "STRP";
        const int64_t n = Available(b, strip ? count : count * 3, 2);
        for (int64_t i = 0; i < n; ++i) {
            uint32_t v = U16(b, size_t(4 + 2 * i));
            if (strip) v &= ~records::kStripStart;
            test(i, v);
        }
    }
    if (bad)
        Here("index-range", Severity::error,
             "index " + Num(firstv) + " at position " + Num(firstpos) + " is not below the vertex count " +
                 Num(e.vertices) + More(bad - 1, "indices"));
}

// The bone of every weight above 0 is an entry of the GEOM's envelope.
void Checker::Weights(const chunk& c, const Entry& e) {
    if (e.envelope == -2) return;  // not a segment of a GEOM
    Bytes b = LeafBytes(c);
    const int64_t n = Available(b, CountOf(c), 32);
    int64_t bad = 0, firstv = -1, firstbone = 0;
    for (int64_t i = 0; i < n; ++i) {
        for (int k = 0; k < 4; ++k) {
            const size_t p = size_t(4 + 32 * i + 8 * k);
            if (!(F32(b, p + 4) > 0)) continue;
            if (e.envelope < 0) {
                Here("weight-bone", Severity::warning, "the weights name bones, but the GEOM has no ENVL");
                return;
            }
            const int32_t bone = I32(b, p);
            if (bone < 0 || bone >= e.envelope) {
                if (bad++ == 0) firstv = i, firstbone = bone;
            }
        }
    }
    if (bad)
        Here("weight-bone", Severity::error,
             "vertex " + Num(firstv) + " uses bone " + Num(firstbone) + ", but the ENVL has " + Num(e.envelope) +
                 " entries" + More(bad - 1, "weights"));
}

// Cloth: as many texture coordinates as vertices, every index below the
// vertex count.
void Checker::Cloth(const chunk& c, const Entry& e) {
    if (e.vertices < 0) return;
    const std::string& n = c.name;
    if (n == "CUV0") {
        const int64_t v = CountOf(c);
        if (v >= 0 && v != e.vertices)
            Here("cloth", Severity::error, "CUV0 has " + Num(v) + " entries, CPOS has " + Num(e.vertices));
        return;
    }
    int width = 0, per = 0;  // bytes a value, values an entry
    if (n == "FIDX") width = 4, per = 1;
    else if (n == "SPRS" || n == "CPRS" || n == "BPRS") width = 2, per = 2;
    else if (n == "CMSH") width = 4, per = 3;
    else return;
    Bytes b = LeafBytes(c);
    const int64_t values = Available(b, CountOf(c), width * per) * per;
    int64_t bad = 0, firstpos = -1, firstv = 0;
    for (int64_t i = 0; i < values; ++i) {
        const size_t p = size_t(4 + width * i);
        const int64_t v = width == 4 ? int64_t(U32(b, p)) : int64_t(U16(b, p));
        if (v >= e.vertices && bad++ == 0) firstpos = i, firstv = v;
    }
    if (bad)
        Here("cloth", Severity::error,
             "index " + Num(firstv) + " at position " + Num(firstpos) + " is not below the cloth vertex count " +
                 Num(e.vertices) + More(bad - 1, "indices"));
}

// What one model says about itself; what it says together with the others
// waits for the end of the walk.
void Checker::ModelHere(const chunk& c) {
    Model m;
    m.c = &c;
    m.order = order_;
    m.path = Path();
    const chunk* name = Kid(c, "NAME");
    m.named = name && name->kids.empty();
    m.name = TextOf(name);
    m.index = ValueOf(Kid(c, "MNDX"));
    const chunk* prnt = Kid(c, "PRNT");
    m.hasparent = prnt && prnt->kids.empty();
    m.parent = TextOf(prnt);

    const std::string& s = m.name;
    for (const char* p : {"hp_", "sv_"}) {
        if (StartsWithAnyCase(s, p) && !StartsWith(s, p))
            Here("name-case", Severity::warning,
                 "the name starts with " + Quoted(s.substr(0, 3)) + ": only lower case " + Quoted(p) +
                     (p[0] == 'h' ? " marks a hardpoint" : " marks a shadow volume"));
    }
    // A level-of-detail suffix: "_lod" and digits at the end.
    size_t d = s.size();
    while (d > 0 && s[d - 1] >= '0' && s[d - 1] <= '9') --d;
    if (d < s.size() && d >= 4 && StartsWithAnyCase(std::string_view(s).substr(d - 4), "_lod")) {
        const std::string suffix = s.substr(d - 4);
        if (suffix != "_lod2" && suffix != "_lod3")
            Here("lod-suffix", Severity::warning,
                 "the suffix " + Quoted(suffix) + " is none of _lod2, _lod3, _lowres, _lowrez");
    }
    if (StartsWith(s, "sv_")) {
        const int64_t flags = ValueOf(Kid(c, "FLGS"));
        if (flags < 0 || (flags & 1) == 0)
            Here("shadow-visible", Severity::warning, "a shadow volume model that is not hidden (FLGS bit 0)");
    }
    models_.push_back(std::move(m));
}

void Checker::Models() {
    const size_t n = models_.size();
    std::unordered_map<std::string_view, size_t> byname;
    std::unordered_map<int64_t, size_t> byindex;
    for (size_t i = 0; i < n; ++i) {
        const Model& m = models_[i];
        if (m.named) {
            auto [it, fresh] = byname.emplace(m.name, i);
            if (!fresh)
                Add("model-name", Severity::error, m.order, m.path,
                    "the name " + Quoted(m.name) + " is also the name of an earlier model", m.c);
        }
        if (m.index >= 0) {
            auto [it, fresh] = byindex.emplace(m.index, i);
            if (!fresh)
                Add("model-index", Severity::warning, m.order, m.path,
                    "model index " + Num(m.index) + " is also that of the model at " + models_[it->second].path, m.c);
        }
    }

    // Each model's parent: the first model of the PRNT's name. Following
    // them is a walk on a graph where every node has at most one way out, so
    // one pass with three colours finds every loop.
    std::vector<int64_t> up(n, -1);
    for (size_t i = 0; i < n; ++i) {
        if (!models_[i].hasparent) continue;
        auto it = byname.find(models_[i].parent);
        if (it != byname.end()) up[i] = int64_t(it->second);
    }
    std::vector<uint8_t> colour(n, 0);  // 0 not seen, 1 on the current path, 2 done
    std::vector<size_t> loop(n, 0);     // length of the loop a model stands on
    std::vector<size_t> path;
    for (size_t s = 0; s < n; ++s) {
        if (colour[s]) continue;
        path.clear();
        int64_t i = int64_t(s);
        while (i >= 0 && colour[size_t(i)] == 0) {
            colour[size_t(i)] = 1;
            path.push_back(size_t(i));
            i = up[size_t(i)];
        }
        if (i >= 0 && colour[size_t(i)] == 1) {
            const size_t start = size_t(std::find(path.begin(), path.end(), size_t(i)) - path.begin());
            for (size_t k = start; k < path.size(); ++k) loop[path[k]] = path.size() - start;
        }
        for (size_t k : path) colour[k] = 2;
    }
    for (size_t i = 0; i < n; ++i) {
        const Model& m = models_[i];
        if (loop[i] == 1) {
            Add("parent-loop", Severity::error, m.order, m.path, "the model names itself as its parent", m.c);
        } else if (loop[i] > 1) {
            Add("parent-loop", Severity::error, m.order, m.path,
                "following the parents from " + Quoted(m.parent) + " comes back to this model (a loop of " +
                    Num(int64_t(loop[i])) + " models)",
                m.c);
        } else if (up[i] >= 0 && models_[size_t(up[i])].order > m.order) {
            Add("parent-order", Severity::warning, m.order, m.path,
                "the model stands before its parent " + Quoted(m.parent), m.c);
        }
    }
}

// Every ENVL entry names a model: by its MNDX value, or by its place among
// the models.
void Checker::Envelopes() {
    std::unordered_set<int64_t> indices;
    for (const Model& m : models_)
        if (m.index >= 0) indices.insert(m.index);
    const int64_t models = int64_t(models_.size());
    for (const Envelope& e : envelopes_) {
        Bytes b = LeafBytes(*e.c);
        const int64_t n = Available(b, CountOf(*e.c), 4);
        int64_t bad = 0, first = -1, firstv = 0;
        for (int64_t i = 0; i < n; ++i) {
            const int64_t v = U32(b, size_t(4 + 4 * i));
            if (!indices.count(v) && v >= models && bad++ == 0) first = i, firstv = v;
        }
        if (bad)
            Add("envelope", Severity::error, e.order, e.path,
                "entry " + Num(first) + " (" + Num(firstv) + ") is no model's MNDX and not below the number of models (" +
                    Num(models) + ")" + More(bad - 1, "entries"),
                e.c);
    }
}

}  // namespace

const char* SeverityName(Severity s) { return s == Severity::error ? "error" : "warning"; }

std::vector<Finding> CheckTree(const chunk& root, std::string_view trailer) {
    return Checker(root, trailer).Run();
}

std::vector<Finding> CheckMesh(const msh& m) {
    if (!m.hedr) return {};
    return CheckTree(*m.hedr, m.trailer);
}

void SortErrorsFirst(std::vector<Finding>& findings) {
    std::stable_partition(findings.begin(), findings.end(),
                          [](const Finding& f) { return f.severity == Severity::error; });
}

}  // namespace mesh
