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

struct Pair {
    const chunk* a;
    const chunk* b;
    std::string path;
};

class Differ {
public:
    Differ(const Options& o) : o_(o) {}
    std::vector<Difference> Run(const chunk& a, const chunk& b);

private:
    void Add(Kind k, const chunk& where, const std::string& path, std::string what, std::string a, std::string b) {
        out_.push_back({k, path, std::move(what), std::move(a), std::move(b), where.weak_from_this()});
    }
    void Leaves(const Pair& p);
    bool Record(const Pair& p, const format::RecordLayout& l, std::span<const uint8_t> a, std::span<const uint8_t> b);
    bool List(const Pair& p, const format::RecordLayout& l, std::span<const uint8_t> a, std::span<const uint8_t> b);
    void Children(const Pair& p, std::vector<Pair>& next);

    const Options& o_;
    std::vector<Difference> out_;
};

// ---- Leaves ------------------------------------------------------------------------

void Differ::Leaves(const Pair& p) {
    const std::span<const uint8_t> a = Bytes(*p.a), b = Bytes(*p.b);
    if (a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin())) return;
    const chunk* parent = p.a->getparent().get();
    const format::ChunkKind* kind = format::FindKind(p.a->name);
    const format::RecordLayout* l = kind ? &format::LayoutOf(*kind, parent ? parent->name : std::string()) : nullptr;
    if (l && l->layout == format::Layout::Text) {
        const std::string ta = p.a->datatostring(), tb = p.b->datatostring();
        if (ta != tb) return Add(Kind::Text, *p.a, p.path, "", Quoted(ta), Quoted(tb));
    }
    if (l && l->layout == format::Layout::Fields && Record(p, *l, a, b)) return;
    if (l && l->layout == format::Layout::List && l->elementsize > 0 && List(p, *l, a, b)) return;
    size_t first = 0;
    while (first < a.size() && first < b.size() && a[first] == b[first]) ++first;
    Add(Kind::Bytes, *p.a, p.path, "byte " + std::to_string(first), std::to_string(a.size()), std::to_string(b.size()));
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
            Add(Kind::Field, *p.a, p.path, std::string(".") + f.name, Shown(one, a.data()), Shown(one, b.data()));
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
    if (ca != cb) Add(Kind::Count, *p.a, p.path, "count", std::to_string(ca), std::to_string(cb));
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
        Add(Kind::Element, *p.a, p.path, "[" + std::to_string(i) + "]", shown(ea), shown(eb));
    }
    if (more > 0) Add(Kind::More, *p.a, p.path, "", std::to_string(more), "");
    // Data the elements do not explain (a list cut short, bytes after it).
    return out_.size() > before || (whole && std::equal(a.begin() + pa, a.end(), b.begin() + pb, b.end()));
}

// ---- Children ----------------------------------------------------------------------

// Each child's key and its index among same-named siblings (-1 when its name is unique).
void Keys(const chunk& c, std::vector<std::string>& keys, std::vector<int>& sibling) {
    std::unordered_map<std::string, int> names, seen;
    for (const mesh::chunkptr& k : c.kids) ++names[k->name];
    keys.clear();
    sibling.clear();
    for (const mesh::chunkptr& k : c.kids) {
        std::string key = k->name;
        int& n = seen[key];
        sibling.push_back(names[key] > 1 ? n : -1);
        ++n;
        if ((k->name == "MODL" || k->name == "MATD") && k->haskid("NAME")) key += "[" + k->FetchName() + "]";
        else key += "#" + std::to_string(sibling.back());
        // The same name twice: told apart by their order.
        int& dup = seen[key];
        if (dup++ > 0) key += "#" + std::to_string(dup);
        keys.push_back(std::move(key));
    }
}

// A hash of a chunk's subtree, all but the NAME among its own children.
uint64_t Content(const chunk& c) {
    uint64_t h = 1469598103934665603ull;
    auto mix = [&](const uint8_t* p, size_t n) {
        for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 1099511628211ull;
    };
    std::vector<std::pair<const chunk*, size_t>> stack{{&c, 0}};
    while (!stack.empty()) {
        auto [k, depth] = stack.back();
        stack.pop_back();
        mix(reinterpret_cast<const uint8_t*>(k->name.data()), k->name.size());
        const uint64_t shape[2] = {depth, k->kids.size()};
        mix(reinterpret_cast<const uint8_t*>(shape), sizeof shape);
        if (k->kids.empty()) {
            const std::span<const uint8_t> d = Bytes(*k);
            mix(d.data(), d.size());
        }
        for (size_t i = k->kids.size(); i-- > 0;)
            if (!(k == &c && k->kids[i]->name == "NAME")) stack.push_back({k->kids[i].get(), depth + 1});
    }
    return h;
}

void Differ::Children(const Pair& p, std::vector<Pair>& next) {
    std::vector<std::string> ka, kb;
    std::vector<int> sa, sb;
    Keys(*p.a, ka, sa);
    Keys(*p.b, kb, sb);
    const size_t na = ka.size(), nb = kb.size();
    std::vector<int64_t> match(na, -1), back(nb, -1);
    if (ka == kb) {
        for (size_t i = 0; i < na; ++i) match[i] = back[i] = static_cast<int64_t>(i);
    } else {
        std::unordered_map<std::string_view, size_t> inb;
        for (size_t j = 0; j < nb; ++j) inb.emplace(kb[j], j);
        for (size_t i = 0; i < na; ++i)
            if (auto it = inb.find(ka[i]); it != inb.end()) {
                match[i] = static_cast<int64_t>(it->second);
                back[it->second] = static_cast<int64_t>(i);
            }
    }
    auto path = [&](const std::string& base, const chunk& k, int sibling) {
        return base + "/" + mesh::PathPart(k, sibling);
    };
    // Moves: the matched children outside a longest increasing run of places in B.
    std::vector<size_t> tails, prev(na, SIZE_MAX);
    std::vector<size_t> order;
    for (size_t i = 0; i < na; ++i)
        if (match[i] >= 0) order.push_back(i);
    for (size_t i : order) {
        auto it = std::lower_bound(tails.begin(), tails.end(), match[i],
                                   [&](size_t t, int64_t v) { return match[t] < v; });
        if (it != tails.begin()) prev[i] = *(it - 1);
        if (it == tails.end()) tails.push_back(i);
        else *it = i;
    }
    std::vector<bool> stays(na, false);
    for (size_t i = tails.empty() ? SIZE_MAX : tails.back(); i != SIZE_MAX; i = prev[i]) stays[i] = true;
    // Renames: unmatched named models and materials of equal content.
    std::unordered_multimap<uint64_t, size_t> loose;
    for (size_t j = 0; j < nb; ++j) {
        const chunk& k = *p.b->kids[j];
        if (back[j] < 0 && (k.name == "MODL" || k.name == "MATD")) loose.emplace(Content(k), j);
    }
    for (size_t i = 0; i < na; ++i) {
        const chunk& k = *p.a->kids[i];
        const std::string here = path(p.path, k, sa[i]);
        if (match[i] >= 0) {
            const chunk& m = *p.b->kids[static_cast<size_t>(match[i])];
            if (!stays[i]) Add(Kind::Moved, k, here, "", std::to_string(i), std::to_string(match[i]));
            next.push_back({&k, &m, here});
            continue;
        }
        bool renamed = false;
        if (k.name == "MODL" || k.name == "MATD") {
            auto [lo, hi] = loose.equal_range(Content(k));
            for (auto it = lo; it != hi; ++it) {
                const chunk& m = *p.b->kids[it->second];
                if (m.name != k.name) continue;
                back[it->second] = static_cast<int64_t>(i);
                Add(Kind::Renamed, k, here, "", Quoted(k.FetchName()), Quoted(m.FetchName()));
                loose.erase(it);
                renamed = true;
                break;
            }
        }
        if (!renamed) Add(Kind::OnlyA, k, here, "", "", "");
    }
    for (size_t j = 0; j < nb; ++j)
        if (back[j] < 0) Add(Kind::OnlyB, *p.a, path(p.path, *p.b->kids[j], sb[j]), "", "", "");
}

std::vector<Difference> Differ::Run(const chunk& a, const chunk& b) {
    std::vector<Pair> stack{{&a, &b, mesh::PathPart(a, -1)}};
    std::vector<Pair> next;
    while (!stack.empty()) {
        const Pair p = std::move(stack.back());
        stack.pop_back();
        if (p.a->name != p.b->name) Add(Kind::Name, *p.a, p.path, "", Quoted(p.a->name), Quoted(p.b->name));
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
            Add(Kind::Form, *p.a, p.path, "", form(*p.a), form(*p.b));
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
