// The walk of the deep check: the file's chunks read by the schema, the
// structural rules of containers and the layouts of records.
//
// The walk keeps a stack of open containers. Opening one parses its
// children's headers from the bytes (whatever the editor's tree made of
// them), judges its layout and its children, then runs the rules of that
// container; its children are then met one by one: a container the schema
// puts there is opened in turn, anything else is judged as a record. Where
// the bytes came from the editor's tree, every node also knows the tree
// chunk it is (or lies in), so that a finding can select it.
//
// Findings are keyed by the offset of their chunk and sorted by it at the
// end: that is the file's pre-order.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "check/checker.h"
#include "format/records.h"

namespace check::detail {

namespace {

constexpr uint32_t kHedr = Tag("HEDR"), kMsh2 = Tag("MSH2"), kMsh1 = Tag("MSH1"), kModl = Tag("MODL"),
                   kName = Tag("NAME"), kCl1l = Tag("CL1L"), kMatl = Tag("MATL"), kMatd = Tag("MATD"),
                   kGeom = Tag("GEOM"), kSegm = Tag("SEGM"), kClth = Tag("CLTH"), kSinf = Tag("SINF"),
                   kBbox = Tag("BBOX"), kTran = Tag("TRAN"), kWght = Tag("WGHT"), kPosl = Tag("POSL"),
                   kCpos = Tag("CPOS"), kNdxl = Tag("NDXL"), kKfr3 = Tag("KFR3"), kBln2 = Tag("BLN2"),
                   kSkl2 = Tag("SKL2"), kAnm2 = Tag("ANM2");

constexpr size_t kNameInPath = 100;

}  // namespace

std::string Num(int64_t v) { return std::to_string(v); }
std::string Quoted(const std::string& s) { return "\"" + s + "\""; }
std::string More(int64_t n, const char* what) {
    return n > 0 ? " (and " + Num(n) + " more " + what + ")" : std::string();
}

namespace {
char Lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }
}  // namespace

bool StartsWithNoCase(std::string_view s, std::string_view p) {
    return s.size() >= p.size() && EqualNoCase(s.substr(0, p.size()), p);
}
bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}
bool ContainsNoCase(std::string_view s, std::string_view part) {
    for (size_t i = 0; i + part.size() <= s.size(); ++i)
        if (EqualNoCase(s.substr(i, part.size()), part)) return true;
    return false;
}

Checker::Checker(const FileBytes& file, int64_t rootend, const mesh::chunk* root, const OptionFile* options)
    : file_(file), rootend_(rootend), root_(root), optionfile_(options) {}

// ---- Findings -----------------------------------------------------------------

void Checker::Add(const char* rule, Severity sev, const Node& n, const std::string& path, std::string message,
                  std::optional<uint32_t> element) {
    if (++perrule_[rule] > kRuleLimit) return;
    Finding f;
    f.severity = sev;
    f.rule = rule;
    f.path = path;
    f.message = std::move(message);
    if (n.owner) f.where = std::const_pointer_cast<mesh::chunk>(n.owner->weak_from_this().lock());
    f.offset = n.offset;
    f.size = n.size;
    f.element = element;
    out_.push_back({n.offset, std::move(f)});
}

void Checker::AddOption(const char* rule, Severity sev, const std::string& where, std::string message) {
    if (++perrule_[rule] > kRuleLimit) return;
    Finding f;
    f.severity = sev;
    f.rule = rule;
    f.path = where;
    f.message = std::move(message);
    out_.push_back({INT64_MAX, std::move(f)});
}

std::string Checker::Path() const {
    std::string p;
    for (const Frame& f : stack_) {
        if (!p.empty()) p += '/';
        p += f.part;
    }
    return p;
}

std::string Checker::KidPath(const Node& k) const {
    std::string p = Path();
    p += '/';
    p += format::schema::TagName(k.tag);
    if (k.sibling >= 0) p += "[" + Num(k.sibling) + "]";
    return p;
}

const Node* Checker::Kid(const Frame& f, uint32_t tag) const {
    for (const Node& k : f.kids)
        if (k.tag == tag) return &k;
    return nullptr;
}

std::string Checker::TextOf(const Node& n) const {
    Bytes b = Data(n);
    auto zero = std::find(b.begin(), b.end(), uint8_t(0));
    return std::string(b.begin(), zero);
}

// ---- The walk -------------------------------------------------------------------

std::vector<Finding> Checker::Run() {
    if (optionfile_) options_ = ParseOptions(optionfile_->text);
    const int64_t n = int64_t(file_.size());
    Node root;
    if (n < 8) {
        Node empty;
        Add("truncated", Severity::error, empty, "", "the file holds " + Num(n) + " bytes, less than a chunk header");
    } else {
        root.tag = file_.U32(0);
        root.size = int32_t(file_.U32(4));
        root.have = int32_t(std::clamp<int64_t>(root.size, 0, n - 8));
        root.cut = root.size > n - 8;
        root.real = root.owner = root_;
        rootend_ = 8 + root.have;
        const std::string name = format::schema::TagName(root.tag);
        if (root.size < 0) {
            Add("chunk-layout", Severity::error, root, name, "the root declares a negative size (" + Num(root.size) + ")");
        } else if (root.tag != kHedr) {
            Add("scene-empty", Severity::error, root, name, "the root is " + name + ", not the HEDR of a mesh");
        } else {
            stack_.push_back({root, {}, 0, name, {}});
            Open(stack_.back());
        }
    }
    while (!stack_.empty()) {
        Frame& f = stack_.back();
        if (f.next >= f.kids.size()) {
            stack_.pop_back();
            continue;
        }
        const Node k = f.kids[f.next++];
        const format::schema::Container* box = format::schema::FindContainer(k.tag);
        const format::schema::Container* here = format::schema::FindContainer(f.node.tag);
        if (box && here && format::schema::PlaceIn(*here, k.tag) != format::schema::Place::not_here) {
            Frame child{k, {}, 0, {}, f.ctx, f.read && format::schema::CompilerReads(f.node.tag, k.tag)};
            stack_.push_back(std::move(child));
            Open(stack_.back());
        } else {
            Leaf(f, k);
        }
    }
    // Bytes after the root: real files often close with a CL1L there.
    if (rootend_ + 8 <= n && file_.U32(rootend_) == kCl1l) closed_ = true;
    if (root.tag == kHedr && !closed_ && !cut_)
        Add("closing-chunk", Severity::warning, root, "HEDR", "no CL1L chunk closes the file");
    if (root.tag == kHedr) Models();
    Options();

    std::stable_sort(out_.begin(), out_.end(), [](const Keyed& a, const Keyed& b) { return a.key < b.key; });
    std::vector<Finding> result;
    result.reserve(out_.size());
    for (Keyed& k : out_) result.push_back(std::move(k.f));
    for (const Rule& r : Rules()) {
        auto it = perrule_.find(r.id);
        if (it == perrule_.end() || it->second <= kRuleLimit) continue;
        Finding f;
        f.severity = r.severity;
        f.rule = r.id;
        f.path = root.tag ? format::schema::TagName(root.tag) : std::string();
        f.message = Num(int64_t(it->second - kRuleLimit)) + " more findings of this rule are not listed";
        if (root_) f.where = std::const_pointer_cast<mesh::chunk>(root_->weak_from_this().lock());
        f.offset = 0;
        f.size = root.size;
        result.push_back(std::move(f));
    }
    return result;
}

// The children's headers of an open container, back to back after its count
// (MATL). False when the container's bytes do not hold them as they should;
// the children read up to there are kept.
bool Checker::Full(const char* rule) {
    size_t& n = perrule_[rule];
    if (n < kRuleLimit) return false;
    ++n;
    return true;
}

bool Checker::ParseKids(Frame& f, bool report) {
    const Node& c = f.node;
    const format::schema::Container* box = format::schema::FindContainer(c.tag);
    const int64_t start = c.offset + 8 + (box && box->counted ? 4 : 0);
    const int64_t end = c.offset + 8 + c.have;
    const int64_t fileend = int64_t(file_.size());
    const std::string path = Path();
    if (box && box->counted && c.have < 4) {
        if (report && (c.have > 0 || c.size > 0))
            if (report) Add("list-count", f.read ? Severity::error : Severity::warning, c, path, "the data has no room for the count of its children");
        return false;
    }
    const bool tree = c.real && !c.real->kids.empty();
    // The compiler steps through the children of the containers it reads
    // and refuses a layout it cannot follow; the others it never opens.
    const Severity sev = f.read ? Severity::error : Severity::warning;
    // The headers are counted first, so that the list takes what it needs
    // and no more (a container of two million chunks is one allocation).
    size_t headers = 0;
    for (int64_t p = start; p + 8 <= end; ++headers) {
        const int32_t size = int32_t(file_.U32(p + 4));
        if (size < 0) break;
        p += 8 + int64_t(size);
    }
    f.kids.reserve(headers + 1);
    for (int64_t p = start; p < end;) {
        if (end - p < 8) {
            if (!c.cut)
                if (report) Add("chunk-layout", sev, c, path,
                    Num(end - p) + " bytes at offset " + Num(p) + " are too few for a chunk header");
            return false;
        }
        Node k;
        k.tag = file_.U32(p);
        k.size = int32_t(file_.U32(p + 4));
        k.offset = p;
        if (k.size < 0) {
            if (report) Add("chunk-layout", sev, c, path,
                "the chunk " + format::schema::TagName(k.tag) + " at offset " + Num(p) + " declares a negative size (" +
                    Num(k.size) + ")");
            return false;
        }
        k.have = int32_t(std::min<int64_t>(k.size, end - p - 8));
        const size_t i = f.kids.size();
        k.real = tree && i < c.real->kids.size() ? c.real->kids[i].get() : nullptr;
        k.owner = k.real ? k.real : c.owner;
        const int64_t kidend = p + 8 + k.size;
        if (kidend > end) {
            if (kidend > fileend && end == fileend) {
                k.cut = true;
                f.kids.push_back(k);
            } else {
                f.kids.push_back(k);
                if (report) Add("chunk-layout", sev, k, KidPath(k),
                    "the chunk declares " + Num(k.size) + " bytes of data, its parent holds " + Num(end - p - 8) +
                        " after its header");
            }
            break;
        }
        f.kids.push_back(k);
        p = kidend;
    }
    // Same-named siblings are numbered among themselves.
    std::unordered_map<uint32_t, int32_t> count;
    for (const Node& k : f.kids) ++count[k.tag];
    std::unordered_map<uint32_t, int32_t> seen;
    for (Node& k : f.kids)
        if (count[k.tag] > 1) k.sibling = seen[k.tag]++;
    return true;
}

void Checker::Open(Frame& f) {
    const size_t depth = stack_.size();
    if (depth >= 2) {
        // The part was named by the parent's list: recompute it here.
        const Node& c = f.node;
        f.part = format::schema::TagName(c.tag);
        if (c.sibling >= 0) f.part += "[" + Num(c.sibling) + "]";
    }
    const bool whole = ParseKids(f);
    if (f.node.tag == kModl) {
        if (const Node* n = Kid(f, kName)) {
            std::string text = TextOf(*n);
            if (text.size() > kNameInPath) text.resize(kNameInPath);
            f.part = "MODL[" + text + "]";
        }
    }
    const std::string path = Path();
    if (f.node.cut && (f.kids.empty() || !f.kids.back().cut)) Truncated(f.node, path);
    (void)whole;
    Structure(f);
    switch (f.node.tag) {
        case kHedr: Header(f); break;
        case kMsh2: Scene(f); break;
        case kMatd: Material(f); break;
        case kModl: ModelHere(f); break;
        case kGeom: Geometry(f); break;
        case kSegm: Segment(f); break;
        case kClth: Cloth(f); break;
        default: break;
    }
}

void Checker::Truncated(const Node& n, const std::string& path) {
    cut_ = true;
    Add("truncated", Severity::error, n, path,
        "the file ends inside this chunk: at offset " + Num(n.offset) + " it declares " + Num(n.size) +
            " bytes of data, " + Num(n.have) + " are present");
}

// Children the container does not read, and those it reads once but holds
// more often.
void Checker::Structure(const Frame& f) {
    const format::schema::Container& box = *format::schema::FindContainer(f.node.tag);
    std::unordered_map<uint32_t, int> seen;
    for (const Node& k : f.kids) {
        const format::schema::Place place = format::schema::PlaceIn(box, k.tag);
        if (k.tag == kCl1l && place == format::schema::Place::closing) closed_ = true;
        if (place == format::schema::Place::once && seen[k.tag]++ == 1)
            Add("duplicate-chunk", Severity::warning, k, KidPath(k),
                "a second " + format::schema::TagName(k.tag) + " in the " + format::schema::TagName(f.node.tag) +
                    " (the compiler reads the last one)");
    }
}

// A child that is not opened: unknown, out of place, or a record.
void Checker::Leaf(const Frame& f, const Node& k) {
    const std::string name = format::schema::TagName(k.tag);
    const LazyPath path{this, &k, {}};
    if (k.cut) Truncated(k, path);
    const format::ChunkKind* kind = format::FindKind(name);
    // Readers go on at the next multiple of four after a chunk's data: an
    // odd size makes them miss what follows (exporters pad every chunk). A
    // record of the wrong size is told as that.
    const int fixed = kind ? format::LayoutOf(*kind, format::schema::TagName(f.node.tag)).fixedsize : -1;
    if (!k.cut && k.size % 4 != 0 && (fixed < 0 || fixed == k.size) && !Full("chunk-layout"))
        Add("chunk-layout", Severity::error, k, path,
            Num(k.size) + " bytes of data, not padded to a multiple of 4 (readers go on at the next multiple of 4)");
    const format::schema::Container& box = *format::schema::FindContainer(f.node.tag);
    const format::schema::Place place = format::schema::PlaceIn(box, k.tag);
    if (k.tag == kMsh1 && f.node.tag == kHedr) {
        version_ = true;
        Add("version", Severity::error, k, path, "an MSH1 scene: the tools read MSH2 only");
        return;
    }
    if (!kind && !format::schema::FindContainer(k.tag)) {
        if (Full("unknown-chunk")) return;
        Add("unknown-chunk", Severity::warning, k, path, "unknown chunk name " + Quoted(name));
        return;
    }
    if (place == format::schema::Place::not_here) {
        if (Full("placement")) return;
        Add("placement", Severity::warning, k, path,
            "the " + format::schema::TagName(f.node.tag) + " does not read a " + name + " chunk (it is ignored)");
        return;
    }
    if (!k.cut) Record(f, k, format::schema::TagName(f.node.tag), f.read && format::schema::CompilerReads(f.node.tag, k.tag));
}

// A record's data against its layout.
void Checker::Record(const Frame& f, const Node& k, const std::string& parentname, bool read) {
    (void)f;
    const std::string name = format::schema::TagName(k.tag);
    const format::ChunkKind* kind = format::FindKind(name);
    if (!kind) return;
    const format::RecordLayout& l = format::LayoutOf(*kind, parentname);
    const LazyPath path{this, &k, {}};
    Bytes d = Data(k);
    switch (l.layout) {
        case format::Layout::Empty:
            if (k.size > 0)
                Add("record-size", Severity::warning, k, path, Num(k.size) + " bytes of data, the layout has none");
            return;
        case format::Layout::Text:
            // The compiler reads its texts up to the zero byte, an empty
            // record too, and refuses one that has none.
            if ((k.size > 0 || read) && std::find(d.begin(), d.end(), uint8_t(0)) == d.end())
                Add("text", read ? Severity::error : Severity::warning, k, path,
                    k.size == 0 ? "the text is empty, without even its terminating zero byte"
                                : "the text has no terminating zero byte");
            return;
        case format::Layout::Fields: {
            if (l.fixedsize >= 0 && k.size != l.fixedsize) {
                const bool shorter = k.size < l.fixedsize;
                Add("record-size", shorter && read ? Severity::error : Severity::warning, k, path,
                    Num(k.size) + " bytes of data, the layout has " + Num(l.fixedsize) +
                        (shorter && !read ? " (the compiler does not read it)" : ""));
                if (shorter) return;
            }
            // Floats of the record: the compiler takes any transform and
            // ignores bounding boxes; other tools may not.
            struct Floats {
                uint32_t tag;
                size_t from;
                int64_t count;
            };
            static constexpr Floats kFloats[] = {{Tag("TRAN"), 0, 10}, {Tag("BBOX"), 0, 11}, {Tag("SWCI"), 4, 3},
                                                 {Tag("FRAM"), 8, 1},  {Tag("DATA"), 0, 13}};
            for (const Floats& fl : kFloats)
                if (fl.tag == k.tag)
                    NotFinite(k, path, fl.from, fl.count, 0, Severity::warning, k.tag == kBbox ? "bbox" : "not-finite",
                              nullptr);
            return;
        }
        case format::Layout::List: {
            if (!l.sublists.empty() || k.tag == kBln2) {
                VariableList(k, path, read);
                return;
            }
            const int64_t n = ListCount(k, path, l.elementsize, read);
            if (k.tag == kPosl || k.tag == kCpos)
                NotFinite(k, path, 4, n * 3, 3, Severity::error, "not-finite", "vertex");
            else if (k.tag == Tag("NRML") || k.tag == Tag("UV0L") || k.tag == Tag("CUV0"))
                NotFinite(k, path, 4, n * (l.elementsize / 4), l.elementsize / 4, Severity::warning, "not-finite",
                          "vertex");
            return;
        }
        default:
            return;
    }
}

// The leading count of a list against its data: the entries the bytes hold.
int64_t Checker::ListCount(const Node& k, const LazyPath& path, int width, bool read) {
    if (k.size == 0) return 0;
    Bytes d = Data(k);
    const Severity sev = read ? Severity::error : Severity::warning;
    if (d.size() < 4) {
        Add("list-count", sev, k, path, "the data has no room for the count (" + Num(k.size) + " bytes)");
        return 0;
    }
    const int64_t declared = U32(d, 0);
    const int64_t held = int64_t(d.size() - 4) / width;
    const int64_t rest = int64_t(d.size() - 4) - declared * width;
    // Data is padded with zeros to a multiple of four bytes.
    const bool padding = rest > 0 && rest < 4 && d.size() % 4 == 0;
    if (declared > held)
        Add("list-count", sev, k, path,
            "the count is " + Num(declared) + ", the bytes hold " + Num(held) + " entries");
    else if (rest > 0 && !padding)
        Add("list-count", Severity::warning, k, path,
            "the count is " + Num(declared) + ", the bytes hold " + Num(held) + " entries" +
                (declared == held ? " and " + Num(rest) + " bytes more" : std::string()));
    return std::min(declared, held);
}

// Lists whose entries vary in length: NDXL (polygons), KFR3 (bones with
// their keys), BLN2 (bones with their blend entries).
int64_t Checker::VariableList(const Node& k, const LazyPath& path, bool read) {
    if (k.size == 0) return 0;
    Bytes d = Data(k);
    const Severity sev = read ? Severity::error : Severity::warning;
    if (d.size() < 4) {
        Add("list-count", sev, k, path, "the data has no room for the count (" + Num(k.size) + " bytes)");
        return 0;
    }
    const int64_t declared = U32(d, 0), have = int64_t(d.size());
    int64_t p = 4, i = 0;
    for (; i < declared; ++i) {
        int64_t end;
        if (k.tag == kNdxl) {
            end = p + 2;
            if (end <= have) end += int64_t(U16(d, size_t(p))) * 2;
        } else if (k.tag == kKfr3) {
            end = p + 16;
            if (end <= have) end += int64_t(U32(d, size_t(p + 8))) * 16 + int64_t(U32(d, size_t(p + 12))) * 20;
        } else {
            end = p + 8;
            if (end <= have) end += int64_t(U32(d, size_t(p + 4))) * 8;
        }
        if (end > have) break;
        p = end;
    }
    if (i < declared)
        Add("list-count", sev, k, path,
            "the count is " + Num(declared) + ", the bytes hold " + Num(i) + " entries");
    else if (p < have && !(have - p < 4 && have % 4 == 0))
        Add("list-count", Severity::warning, k, path,
            "the count is " + Num(declared) + ", and " + Num(have - p) + " bytes follow the last entry");
    return i;
}

// NaN or infinity among values floats from byte from; pervalue > 0 names
// the element (pervalue values a vertex), 0 the field of the record.
void Checker::NotFinite(const Node& k, const LazyPath& path, size_t from, int64_t values, int pervalue,
                        Severity sev, const char* rule, const char* what) {
    Bytes d = Data(k);
    values = std::min<int64_t>(values, (int64_t(d.size()) - int64_t(from)) / 4);
    int64_t bad = 0, first = -1;
    for (int64_t i = 0; i < values; ++i)
        if (!std::isfinite(F32(d, from + size_t(4 * i))) && bad++ == 0) first = i;
    if (!bad) return;
    std::string where;
    std::optional<uint32_t> element;
    if (pervalue > 0) {
        element = uint32_t(first / pervalue);
        where = std::string(what) + " " + Num(first / pervalue);
    } else {
        where = "value " + Num(first);
        if (const format::ChunkKind* kind = format::FindKind(format::schema::TagName(k.tag))) {
            for (const format::Field& f : kind->layouts.back().fields)
                if (int(from + 4 * first) >= f.offset && int(from + 4 * first) < f.End()) where = f.name;
        }
    }
    Add(rule, sev, k, path, where + " is not a finite number" + More(bad - 1, "values"), element);
}

}  // namespace check::detail
