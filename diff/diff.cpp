// The differences between two chunk trees (see diff.h).
//
//   Values      a record's or an element's values as text, compared within the tolerance
//   Leaves      records, texts, lists and bytes
//   Children    matching by key, moves, renames
//   Diff        the walk over matched pairs
#include "diff/diff.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <span>
#include <string_view>
#include <unordered_map>

#include "format/bytes.h"
#include "format/records.h"
#include "format/values.h"
#include "mesh/records.h"
#include "textform/codec.h"

namespace meshdiff {

namespace {

using mesh::chunk;
using format::Field;

// ---- Values ------------------------------------------------------------------------

std::span<const uint8_t> Bytes(const chunk& c) {
    std::span<const uint8_t> d = c.data();
    return d.first(std::min<size_t>(d.size(), static_cast<size_t>(std::max(0, c.size))));
}

void AppendValues(std::string& out, std::span<const Field> fields, const uint8_t* rec) {
    for (const Field& f : fields)
        for (int k = 0; k < textform::ValueCount(f); ++k) {
            if (out.size() > 1) out += ", ";
            textform::AppendValue(out, f, rec, k);
        }
}

// "v" for a single value, "(v, v, v)" for more.
std::string Shown(std::span<const Field> fields, const uint8_t* rec) {
    std::string s = "(";
    AppendValues(s, fields, rec);
    size_t values = 0;
    for (const Field& f : fields) values += static_cast<size_t>(textform::ValueCount(f));
    return values == 1 ? s.substr(1) : s + ")";
}

bool SameValues(std::span<const Field> fields, const uint8_t* a, const uint8_t* b, double tolerance) {
    for (const Field& f : fields) {
        const int w = f.type == format::FieldType::Chars ? f.count : format::FieldTypeWidth(f.type);
        for (int k = 0; k < textform::ValueCount(f); ++k) {
            const int64_t at = f.offset + int64_t(k) * f.Stride();
            if (std::memcmp(a + at, b + at, static_cast<size_t>(w)) == 0) continue;
            if (f.type != format::FieldType::F32 || tolerance <= 0) return false;
            const float x = format::LoadF32(a + at);
            const float y = format::LoadF32(b + at);
            if (!(std::isnan(x) && std::isnan(y)) && !(std::fabs(double(x) - double(y)) <= tolerance)) return false;
        }
    }
    return true;
}

std::string Quoted(std::string_view text) {
    std::string s;
    textform::AppendQuoted(s, {reinterpret_cast<const uint8_t*>(text.data()), text.size()});
    return s;
}

// ---- The walk ----------------------------------------------------------------------

// A pair of matched chunks waiting on the walk's stack: its own part of the
// path and its depth. The path above it stands in the walk's parts (see
// Differ::parts_), so a pair costs the same at any depth.
struct Pair {
    const chunk* a;
    const chunk* b;
    std::string part;
    size_t depth;
};

class Differ {
public:
    Differ(const Options& o) : o_(o) {}
    std::vector<Difference> Run(const chunk& a, const chunk& b);

private:
    // A difference about chunk wa of A and chunk wb of B (for a chunk one
    // side has, the other side's parent), at the path of the pair being
    // compared, followed by child when given.
    void Add(Kind k, const chunk& wa, const chunk& wb, std::string_view child, std::string what, std::string a,
             std::string b) {
        out_.push_back({k, Path(child), std::move(what), std::move(a), std::move(b), wa.weak_from_this(),
                        wb.weak_from_this()});
    }
    void Add(Kind k, const Pair& p, std::string what, std::string a, std::string b) {
        Add(k, *p.a, *p.b, {}, std::move(what), std::move(a), std::move(b));
    }
    std::string Path(std::string_view child) const;
    void Leaves(const Pair& p);
    bool Record(const Pair& p, const format::RecordLayout& l, std::span<const uint8_t> a, std::span<const uint8_t> b);
    bool List(const Pair& p, const format::RecordLayout& l, std::span<const uint8_t> a, std::span<const uint8_t> b);
    void Children(const Pair& p, std::vector<Pair>& next);
    uint64_t Whole(const chunk& c);
    uint64_t Content(const chunk& c);

    const Options& o_;
    std::vector<Difference> out_;
    // The parts of the path from the root to the pair being compared.
    std::vector<std::string> parts_;
    // Hashes of whole subtrees taken so far (see Whole).
    std::unordered_map<const chunk*, uint64_t> whole_;
};

// A path deeper than this keeps its last parts behind "...", as a chunk's
// path in the check does: a line stays short however deep the file nests.
constexpr size_t kPathParts = 4096;

std::string Differ::Path(std::string_view child) const {
    const size_t n = parts_.size() + (child.empty() ? 0 : 1);
    size_t from = n > kPathParts ? parts_.size() - (kPathParts - (child.empty() ? 0 : 1)) : 0;
    std::string path = from > 0 ? "..." : "";
    for (size_t i = from; i < parts_.size(); ++i) {
        if (!path.empty()) path += '/';
        path += parts_[i];
    }
    if (!child.empty()) {
        path += '/';
        path += child;
    }
    return path;
}

// ---- Leaves ------------------------------------------------------------------------

void Differ::Leaves(const Pair& p) {
    const std::span<const uint8_t> a = Bytes(*p.a), b = Bytes(*p.b);
    if (a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin())) return;
    const chunk* parent = p.a->getparent().get();
    const format::ChunkKind* kind = format::FindKind(p.a->name);
    const format::RecordLayout* l = kind ? &format::LayoutOf(*kind, parent ? parent->name : std::string()) : nullptr;
    if (l && l->layout == format::Layout::Text) {
        const std::string ta = p.a->datatostring(), tb = p.b->datatostring();
        if (ta != tb) return Add(Kind::Text, p, "", Quoted(ta), Quoted(tb));
    }
    if (l && l->layout == format::Layout::Fields && Record(p, *l, a, b)) return;
    if (l && l->layout == format::Layout::List && l->elementsize > 0 && List(p, *l, a, b)) return;
    size_t first = 0;
    while (first < a.size() && first < b.size() && a[first] == b[first]) ++first;
    Add(Kind::Bytes, p, "byte " + std::to_string(first), std::to_string(a.size()), std::to_string(b.size()));
}

// False when the records are not whole on both sides (they are compared as bytes).
bool Differ::Record(const Pair& p, const format::RecordLayout& l, std::span<const uint8_t> a,
                    std::span<const uint8_t> b) {
    const size_t rs = static_cast<size_t>(textform::RecordSize(l));
    if (rs == 0 || a.size() < rs || b.size() < rs) return false;
    const size_t before = out_.size();
    for (const Field& f : l.fields) {
        const std::span<const Field> one(&f, 1);
        if (!SameValues(one, a.data(), b.data(), o_.tolerance))
            Add(Kind::Field, p, std::string(".") + f.name, Shown(one, a.data()), Shown(one, b.data()));
    }
    const bool tails = std::equal(a.begin() + rs, a.end(), b.begin() + rs, b.end());
    // Bytes beyond the fields, or between them, that differ.
    if (!tails || (out_.size() == before && o_.tolerance <= 0)) return false;
    return true;
}

bool Differ::List(const Pair& p, const format::RecordLayout& l, std::span<const uint8_t> a,
                  std::span<const uint8_t> b) {
    if (a.size() < 4 || b.size() < 4) return false;
    const size_t before = out_.size();
    const uint32_t ca = format::LoadU32(a.data()), cb = format::LoadU32(b.data());
    if (ca != cb) Add(Kind::Count, p, "count", std::to_string(ca), std::to_string(cb));
    int64_t pa = 4, pb = 4;
    size_t listed = 0, more = 0;
    bool whole = true;
    for (uint32_t i = 0; i < std::min(ca, cb); ++i) {
        const int64_t la = format::ElementLength(l, a, pa);
        const int64_t lb = format::ElementLength(l, b, pb);
        if (la == 0 || lb == 0) {
            whole = false;
            break;
        }
        const uint8_t* ea = a.data() + pa;
        const uint8_t* eb = b.data() + pb;
        pa += la;
        pb += lb;
        if (la == lb && std::memcmp(ea, eb, static_cast<size_t>(la)) == 0) continue;
        if (la == lb && SameValues(l.element, ea, eb, o_.tolerance) &&
            std::memcmp(ea + l.elementsize, eb + l.elementsize, static_cast<size_t>(la - l.elementsize)) == 0)
            continue;
        if (listed++ >= o_.elements) {
            ++more;
            continue;
        }
        auto shown = [&](const uint8_t* e) {
            std::string s = Shown(l.element, e);
            const uint8_t* q = e + l.elementsize;
            for (const format::Sublist& sl : l.sublists) {
                s += " |";
                const Field& cf = l.element[static_cast<size_t>(sl.countfield)];
                uint32_t n = 0;
                std::memcpy(&n, e + cf.offset, static_cast<size_t>(format::FieldTypeWidth(cf.type)));
                for (uint32_t k = 0; k < n; ++k, q += sl.entrysize) s += " " + Shown(sl.fields, q);
            }
            return s;
        };
        Add(Kind::Element, p, "[" + std::to_string(i) + "]", shown(ea), shown(eb));
    }
    if (more > 0) Add(Kind::More, p, "", std::to_string(more), "");
    // Data the elements do not explain (a list cut short, bytes after it).
    return out_.size() > before || (whole && std::equal(a.begin() + pa, a.end(), b.begin() + pb, b.end()));
}

// ---- Children ----------------------------------------------------------------------

bool Named(const chunk& k) { return (k.name == "MODL" || k.name == "MATD") && k.haskid("NAME"); }

// A child's part of a path: a model or a material by its name, as a path
// of the check names a model (MATD[crate], not MATD[0] on both sides of a
// change), any other chunk as the check names it.
std::string Part(const chunk& k, int sibling) {
    if (k.name == "MATD" && Named(k)) {
        std::string text = k.FetchName();
        if (text.size() > mesh::kNameInPath) text.resize(mesh::kNameInPath);
        return "MATD[" + text + "]";
    }
    return mesh::PathPart(k, sibling);
}

// Each child's index among same-named siblings (-1 when its name is unique).
std::vector<int> Siblings(const chunk& c) {
    std::unordered_map<std::string_view, int> names, seen;
    for (const mesh::chunkptr& k : c.kids) ++names[k->name];
    std::vector<int> sibling;
    sibling.reserve(c.kids.size());
    for (const mesh::chunkptr& k : c.kids) {
        int& n = seen[k->name];
        sibling.push_back(names[k->name] > 1 ? n : -1);
        ++n;
    }
    return sibling;
}

uint64_t Mix(uint64_t h, uint64_t v) {
    h ^= v + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2);
    return h * 0xff51afd7ed558ccdull;
}

// A hash of a chunk's whole subtree. Each chunk's is taken once, from its
// children's, so asking for the hashes of every level of a deep chain costs
// as much as one walk of it.
uint64_t LeafHash(const chunk& k) {
    uint64_t h = Mix(0, 0);
    for (char ch : k.name) h = Mix(h, static_cast<uint8_t>(ch));
    uint64_t f = 1469598103934665603ull;
    for (uint8_t byte : Bytes(k)) f = (f ^ byte) * 1099511628211ull;
    return Mix(h, f);
}

uint64_t Differ::Whole(const chunk& c) {
    if (c.kids.empty()) return LeafHash(c);
    if (auto it = whole_.find(&c); it != whole_.end()) return it->second;
    std::vector<std::pair<const chunk*, bool>> stack{{&c, false}};
    while (!stack.empty()) {
        auto [k, ready] = stack.back();
        stack.pop_back();
        if (whole_.count(k)) continue;
        if (!ready) {
            stack.push_back({k, true});
            for (const mesh::chunkptr& kid : k->kids)
                if (!kid->kids.empty() && !whole_.count(kid.get())) stack.push_back({kid.get(), false});
            continue;
        }
        uint64_t h = Mix(0, k->kids.size());
        for (char ch : k->name) h = Mix(h, static_cast<uint8_t>(ch));
        for (const mesh::chunkptr& kid : k->kids)
            h = Mix(h, kid->kids.empty() ? LeafHash(*kid) : whole_.at(kid.get()));
        whole_.emplace(k, h);
    }
    return whole_.at(&c);
}

// A hash of a chunk's subtree, all but the NAME among its own children.
uint64_t Differ::Content(const chunk& c) {
    uint64_t h = Mix(1, c.kids.size());
    for (const mesh::chunkptr& kid : c.kids)
        if (kid->name != "NAME") h = Mix(h, Whole(*kid));
    return h;
}

void Differ::Children(const Pair& p, std::vector<Pair>& next) {
    const std::vector<int> sa = Siblings(*p.a), sb = Siblings(*p.b);
    const size_t na = p.a->kids.size(), nb = p.b->kids.size();
    std::vector<int64_t> match(na, -1), back(nb, -1);
    auto pair = [&](size_t i, size_t j) {
        match[i] = static_cast<int64_t>(j);
        back[j] = static_cast<int64_t>(i);
    };
    // Names that stand more than once among the children of either side.
    std::unordered_map<std::string_view, std::pair<size_t, size_t>> counts;
    for (const mesh::chunkptr& k : p.a->kids) ++counts[k->name].first;
    for (const mesh::chunkptr& k : p.b->kids) ++counts[k->name].second;
    auto repeated = [&](const chunk& k) {
        const auto& [x, y] = counts[k.name];
        return !Named(k) && (x > 1 || y > 1);
    };
    bool same = na == nb;
    for (size_t i = 0; same && i < na; ++i) {
        const chunk &x = *p.a->kids[i], &y = *p.b->kids[i];
        same = x.name == y.name && Named(x) == Named(y) && !repeated(x) &&
               (!Named(x) || x.FetchName() == y.FetchName());
    }
    if (same) {
        for (size_t i = 0; i < na; ++i) pair(i, i);
    } else {
        // Models and materials by their names (the same name twice: in
        // order). Other chunks by their name: where a name stands more than
        // once, those whose whole content is the same on both sides first,
        // in order (a segment moved elsewhere is then one move), then the
        // rest in their order.
        std::unordered_map<std::string, std::vector<size_t>> named, loose;
        auto key = [](const chunk& k) { return Named(k) ? k.name + "[" + k.FetchName() + "]" : k.name; };
        for (size_t j = nb; j-- > 0;) (Named(*p.b->kids[j]) ? named : loose)[key(*p.b->kids[j])].push_back(j);
        std::vector<size_t> rest;
        for (size_t i = 0; i < na; ++i) {
            const chunk& k = *p.a->kids[i];
            if (Named(k)) {
                auto it = named.find(key(k));
                if (it != named.end() && !it->second.empty()) {
                    pair(i, it->second.back());
                    it->second.pop_back();
                }
            } else {
                rest.push_back(i);
            }
        }
        // Per name, per content hash: the places in B, the first last.
        std::unordered_map<std::string, std::unordered_map<uint64_t, std::vector<size_t>>> bycontent;
        for (size_t i : rest) {
            const chunk& k = *p.a->kids[i];
            auto it = loose.find(k.name);
            if (it == loose.end() || !repeated(k)) continue;  // one on each side: each other's
            auto [table, fresh] = bycontent.try_emplace(k.name);
            if (fresh)
                for (size_t j : it->second) table->second[Whole(*p.b->kids[j])].push_back(j);
            auto same_content = table->second.find(Whole(k));
            if (same_content == table->second.end() || same_content->second.empty()) continue;
            pair(i, same_content->second.back());
            same_content->second.pop_back();
        }
        for (size_t i : rest) {
            if (match[i] >= 0) continue;
            auto it = loose.find(p.a->kids[i]->name);
            if (it == loose.end()) continue;
            std::vector<size_t>& left = it->second;  // in order from its back
            while (!left.empty() && back[left.back()] >= 0) left.pop_back();
            if (left.empty()) continue;
            pair(i, left.back());
            left.pop_back();
        }
    }
    // Moves: the matched children outside a longest increasing run of places in B.
    std::vector<size_t> tails, prev(na, SIZE_MAX);
    for (size_t i = 0; i < na; ++i) {
        if (match[i] < 0) continue;
        auto it = std::lower_bound(tails.begin(), tails.end(), match[i],
                                   [&](size_t t, int64_t v) { return match[t] < v; });
        if (it != tails.begin()) prev[i] = *(it - 1);
        if (it == tails.end()) tails.push_back(i);
        else *it = i;
    }
    std::vector<bool> stays(na, false);
    for (size_t i = tails.empty() ? SIZE_MAX : tails.back(); i != SIZE_MAX; i = prev[i]) stays[i] = true;
    // Renames: unmatched named models and materials of equal content.
    std::unordered_multimap<uint64_t, size_t> unmatched;
    for (size_t j = 0; j < nb; ++j) {
        const chunk& k = *p.b->kids[j];
        if (back[j] < 0 && (k.name == "MODL" || k.name == "MATD")) unmatched.emplace(Content(k), j);
    }
    for (size_t i = 0; i < na; ++i) {
        const chunk& k = *p.a->kids[i];
        const std::string part = Part(k, sa[i]);
        if (match[i] >= 0) {
            const chunk& m = *p.b->kids[static_cast<size_t>(match[i])];
            if (!stays[i]) Add(Kind::Moved, k, m, part, "", std::to_string(i), std::to_string(match[i]));
            next.push_back({&k, &m, part, p.depth + 1});
            continue;
        }
        bool renamed = false;
        if (k.name == "MODL" || k.name == "MATD") {
            auto [lo, hi] = unmatched.equal_range(Content(k));
            for (auto it = lo; it != hi; ++it) {
                const chunk& m = *p.b->kids[it->second];
                if (m.name != k.name) continue;
                back[it->second] = static_cast<int64_t>(i);
                Add(Kind::Renamed, k, m, part, "", Quoted(k.FetchName()), Quoted(m.FetchName()));
                unmatched.erase(it);
                renamed = true;
                break;
            }
        }
        if (!renamed) Add(Kind::OnlyA, k, *p.b, part, "", "", "");
    }
    for (size_t j = 0; j < nb; ++j)
        if (back[j] < 0) Add(Kind::OnlyB, *p.a, *p.b->kids[j], Part(*p.b->kids[j], sb[j]), "", "", "");
}

std::vector<Difference> Differ::Run(const chunk& a, const chunk& b) {
    std::vector<Pair> stack{{&a, &b, mesh::PathPart(a, -1), 0}};
    std::vector<Pair> next;
    while (!stack.empty()) {
        Pair p = std::move(stack.back());
        stack.pop_back();
        parts_.resize(p.depth);
        parts_.push_back(std::move(p.part));
        if (p.a->name != p.b->name) Add(Kind::Name, p, "", Quoted(p.a->name), Quoted(p.b->name));
        const bool ka = !p.a->kids.empty(), kb = !p.b->kids.empty();
        if (ka && kb) {
            next.clear();
            Children(p, next);
            for (size_t i = next.size(); i-- > 0;) stack.push_back(std::move(next[i]));
        } else if (ka || kb) {
            auto form = [](const chunk& c) {
                return c.kids.empty() ? std::to_string(std::max(0, c.size)) + " bytes"
                                      : std::to_string(c.kids.size()) + " children";
            };
            Add(Kind::Form, p, "", form(*p.a), form(*p.b));
        } else {
            Leaves(p);
        }
    }
    return std::move(out_);
}

}  // namespace

std::vector<Difference> Diff(const chunk& a, const chunk& b, const Options& options) {
    return Differ(options).Run(a, b);
}

const char* KindName(Kind k) {
    switch (k) {
        case Kind::OnlyA: return "only-a";
        case Kind::OnlyB: return "only-b";
        case Kind::Moved: return "moved";
        case Kind::Renamed: return "renamed";
        case Kind::Name: return "name";
        case Kind::Field: return "field";
        case Kind::Text: return "text";
        case Kind::Count: return "count";
        case Kind::Element: return "element";
        case Kind::More: return "more";
        case Kind::Bytes: return "bytes";
        case Kind::Form: return "form";
    }
    return "?";
}

std::optional<Difference> DiffTail(std::span<const uint8_t> a, std::span<const uint8_t> b) {
    if (std::equal(a.begin(), a.end(), b.begin(), b.end())) return std::nullopt;
    const size_t first = size_t(std::mismatch(a.begin(), a.end(), b.begin(), b.end()).first - a.begin());
    Difference d;
    d.kind = Kind::Bytes;
    d.path = "after root";
    d.what = "byte " + std::to_string(first);
    d.a = std::to_string(a.size());
    d.b = std::to_string(b.size());
    return d;
}

std::string Line(const Difference& d) {
    switch (d.kind) {
        case Kind::OnlyA: return d.path + " only in A";
        case Kind::OnlyB: return d.path + " only in B";
        case Kind::Moved: return d.path + " moved: place " + d.a + " -> " + d.b;
        case Kind::Renamed: return d.path + " renamed: " + d.a + " -> " + d.b;
        case Kind::More: return d.path + " and " + d.a + " more elements differ";
        case Kind::Bytes: return d.path + " bytes: " + d.a + " -> " + d.b + ", first difference at " + d.what;
        case Kind::Count: return d.path + " count " + d.a + " -> " + d.b;
        default: return d.path + d.what + " " + d.a + " -> " + d.b;
    }
}

}  // namespace meshdiff
