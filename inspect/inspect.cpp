// The inspector's model: decoding chunk data into labelled values (the
// values shown by the table of value types); the edits are in inspect_edit.cpp.
#include "inspect/inspect.h"

#include "format/records.h"
#include "format/values.h"
#include "mesh/records.h"
#include "mesh/walk.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <unordered_map>

namespace mesh {

using namespace format;

struct InspectContext {
    // ENVL entries name models by their MNDX value, or by their place in
    // the tree when no model has that value.
    std::unordered_map<uint32_t, std::string> byindex;
    std::vector<std::string> inorder;
};

namespace {

// ---- Reading values ----------------------------------------------------------------

uint32_t ReadU32(const chunk& c, int64_t p) { return static_cast<uint32_t>(c.readint(p)); }

bool Fits(const chunk& c, int64_t p, int64_t width) { return p >= 0 && p + width <= c.size; }

// The text at p (at most n bytes), up to its first zero byte; shown texts are
// cut at 256 characters.
std::string TextAt(const chunk& c, int64_t p, int64_t n, bool* terminated = nullptr) {
    constexpr int64_t kShown = 256;
    n = std::max<int64_t>(0, std::min<int64_t>(n, c.size - p));
    std::string s(static_cast<size_t>(std::min(n, kShown)), '\0');
    const int64_t got = c.readbytes(p, static_cast<int64_t>(s.size()), reinterpret_cast<uint8_t*>(s.data()));
    s.resize(static_cast<size_t>(std::max<int64_t>(0, got)));
    const size_t z = s.find('\0');
    if (terminated) *terminated = z != std::string::npos || n > kShown;
    if (z != std::string::npos) s.resize(z);
    return s;
}

// The raw bits of an integer value (0 when it does not fit).
uint32_t Bits(const chunk& c, int64_t p, FieldType t) {
    switch (t) {
        case FieldType::U8: return static_cast<uint32_t>(std::max(0, c.readbyte(p)));
        case FieldType::U16: return static_cast<uint32_t>(c.readshort(p));
        default: return Fits(c, p, 4) ? ReadU32(c, p) : 0;
    }
}

uint32_t FlagMask(const Field& f) {
    uint32_t m = 0;
    for (const FlagName& fl : f.flags) m |= fl.mask;
    return m;
}

// Value k of field f of a record or element that starts at base. split: a
// value that shares its bits with flags (a strip start) shows without them.
InspectValue Value(const chunk& c, int64_t base, const Field& f, int k, bool split) {
    InspectValue v;
    v.type = ValueTypeOf(f.type);
    if (f.type == FieldType::Chars) {
        v.offset = base + f.offset;
        v.width = f.count;
    } else {
        v.offset = base + f.offset + int64_t(k) * f.Stride();
        v.width = FieldTypeWidth(f.type);
    }
    if (!Fits(c, v.offset, v.width)) {
        v.missing = true;
        v.text = "missing";
        return v;
    }
    // The value's bytes (a text's first 256), shown by its type; a split
    // value without the flag bits that are shown apart from it (a strip
    // start), while flags that fill the value are the value.
    uint8_t raw[256];
    const int n = std::min<int>(v.width, sizeof raw);
    c.readbytes(v.offset, n, raw);
    const uint32_t all = v.width >= 4 ? 0xFFFFFFFFu : (1u << (8 * v.width)) - 1;
    const uint32_t mask = FlagMask(f);
    if (split && mask != 0 && mask != all && f.type != FieldType::F32 && f.type != FieldType::Chars) {
        v.keep = mask;
        const uint32_t bits = IntegerBits(f.type, raw) & ~mask;
        for (int b = 0; b < v.width; ++b) raw[b] = static_cast<uint8_t>(bits >> (8 * b));
    }
    AppendShown(v.text, v.type, {raw, size_t(n)});
    return v;
}

// Every value of the fields of a record or element starting at base, in the
// order they are stored; notes for enumerations and flags. In a record a
// value is shown with its flag bits (they are edited with it); in a list
// element the flags are apart (split).
void AddValues(const chunk& c, int64_t base, std::span<const Field> fields, InspectLine& line, bool split) {
    std::vector<std::pair<const Field*, int>> order;
    for (const Field& f : fields)
        for (int k = 0; k < (f.type == FieldType::Chars ? 1 : f.count); ++k) order.emplace_back(&f, k);
    std::stable_sort(order.begin(), order.end(), [](const auto& a, const auto& b) {
        return a.first->offset + a.second * a.first->Stride() < b.first->offset + b.second * b.first->Stride();
    });
    for (const auto& [f, k] : order) {
        InspectValue v = Value(c, base, *f, k, split);
        if (!v.missing && (!f->values.empty() || !f->flags.empty())) {
            const std::string m = Meaning(*f, Bits(c, v.offset, f->type), " ", "unknown");
            if (!m.empty()) line.note += (line.note.empty() ? "" : " ") + m;
        }
        line.fields.push_back(std::move(v));
    }
}

// The name of the model an ENVL entry resolves to.
std::string EnvelopeModel(const InspectContext* ctx, uint32_t v) {
    if (!ctx) return std::string();
    auto it = ctx->byindex.find(v);
    if (it != ctx->byindex.end()) return it->second;
    if (v < ctx->inorder.size()) return ctx->inorder[v];
    return "no model";
}

std::string Shown(const std::string& name) { return name.empty() ? "[unnamed]" : name; }

// The name of material i of the mesh that holds c: the i-th MATD of the MATL
// of the nearest ancestor that has one (grouped or stored as bytes).
std::string MaterialName(const chunkptr& c, uint32_t i) {
    chunkptr holder;
    for (chunkptr p = c->getparent(); p; p = p->getparent())
        if (p->getkid("MATL")) {
            holder = p;
            break;
        }
    if (!holder) return "no material list";
    chunkptr matl = holder->getkid("MATL");
    if (!matl->kids.empty()) {
        uint32_t n = 0;
        for (const chunkptr& k : matl->kids)
            if (k->name == "MATD" && n++ == i) return Shown(k->FetchName());
        return "no such material";
    }
    // Stored: the count, then MATD chunks back to back.
    uint32_t n = 0;
    for (int64_t p = 4; p + 8 <= matl->size;) {
        const std::string name = matl->readname(p);
        const int64_t size = matl->readint(p + 4);
        if (size < 0) break;
        if (name == "MATD" && n++ == i) {
            if (matl->readname(p + 8) != "NAME") return "[unnamed]";
            const int64_t len = std::min<int64_t>(matl->readint(p + 12), size - 8);
            return Shown(TextAt(*matl, p + 16, len));
        }
        p += 8 + size;
    }
    return "no such material";
}

void DecodeFields(const chunkptr& cp, const RecordLayout& r, Inspection& in) {
    const chunk& c = *cp;
    in.form = Form::Record;
    int end = 0;
    for (const Field& f : r.fields) {
        InspectLine line;
        line.label = f.name;
        AddValues(c, 0, std::span<const Field>(&f, 1), line, false);
        end = std::max(end, f.End());
        const bool whole = std::none_of(line.fields.begin(), line.fields.end(),
                                        [](const InspectValue& v) { return v.missing; });
        if (f.colour && whole && f.type == FieldType::F32 && f.count == 4) {
            line.colour = true;
            for (int k = 0; k < 4; ++k) line.rgba[k] = c.readfloat(line.fields[k].offset);
        }
        if (c.name == "MATI" && whole) line.note = MaterialName(cp, ReadU32(c, 0));
        in.lines.push_back(std::move(line));
        // A rotation quaternion is also shown as Euler angles.
        if (std::string_view(f.name) == "rotation" && f.type == FieldType::F32 && f.count == 4 && whole) {
            float q[4];
            for (int k = 0; k < 4; ++k) q[k] = c.readfloat(f.offset + 4 * k);
            double e[3];
            QuaternionToEuler(q, e);
            InspectLine euler;
            euler.label = "euler";
            for (double a : e) {
                char buf[32];
                std::snprintf(buf, sizeof buf, "%.2f", a);
                InspectValue v;
                v.text = buf;
                euler.fields.push_back(v);
            }
            euler.note = "degrees";
            in.lines.push_back(std::move(euler));
        }
    }
    if (c.size > end) {
        InspectLine extra;
        extra.label = "more";
        extra.note = std::to_string(c.size - end) + " bytes after the record";
        in.lines.push_back(std::move(extra));
    }
}

void DecodeText(const chunk& c, Inspection& in) {
    in.form = Form::Record;
    InspectLine line;
    line.label = "text";
    InspectValue v;
    bool terminated = false;
    v.text = TextAt(c, 0, c.size, &terminated);
    v.offset = 0;
    v.width = c.size;
    v.type = ValueType::Text;
    line.fields.push_back(v);
    if (!terminated) line.note = "no zero byte";
    in.lines.push_back(std::move(line));
}

void DecodeNames(const chunk& c, Inspection& in) {
    in.form = Form::Record;
    // Zero-separated names; a long run is shown in part.
    constexpr int kMax = 256;
    int64_t p = 0;
    int n = 0;
    while (p < c.size && n < kMax) {
        int64_t q = p;
        while (q < c.size && c.readbyte(q) != 0) ++q;
        if (q > p) {
            InspectLine line;
            line.label = std::to_string(n++);
            InspectValue v;
            v.text = TextAt(c, p, q - p);
            v.offset = p;
            line.fields.push_back(v);
            in.lines.push_back(std::move(line));
        }
        p = q + 1;
    }
    if (p < c.size) {
        InspectLine more;
        more.label = "more";
        more.note = "names not shown";
        in.lines.push_back(std::move(more));
    }
}

std::shared_ptr<InspectContext> Models(const chunkptr& root) {
    auto ctx = std::make_shared<InspectContext>();
    if (!root) return ctx;
    std::vector<chunkptr> models;
    root->addtolist(models, "MODL");
    for (const chunkptr& m : models) {
        const std::string name = Shown(m->FetchName());
        ctx->inorder.push_back(name);
        chunkptr idx = m->getkid("MNDX");
        if (idx && idx->size >= 4) ctx->byindex.emplace(ReadU32(*idx, 0), name);
    }
    return ctx;
}

void DecodeList(const chunkptr& cp, const RecordLayout& l, const chunkptr& root, Inspection& in) {
    const chunk& c = *cp;
    in.form = Form::List;
    in.list = &l;
    InspectLine head;
    head.label = "count";
    AddValues(c, 0, l.fields, head, false);
    const uint32_t count = Fits(c, 0, 4) ? ReadU32(c, 0) : 0;
    const int64_t header = l.fields.empty() ? 0 : l.fields[0].End();
    if (l.sublists.empty()) {
        const int64_t held = std::max<int64_t>(0, (static_cast<int64_t>(c.size) - header) / l.elementsize);
        in.rows = std::min<int64_t>(count, held);
    } else {
        // Elements of variable length: walked once, every 256th remembered.
        int64_t p = header, n = 0;
        while (static_cast<uint64_t>(n) < count && Fits(c, p, l.elementsize)) {
            const int64_t len = format::ElementLength(l, LeafBytes(c), p);
            if (len == 0) break;
            if (n % 256 == 0) in.checkpoints.push_back(p);
            p += len;
            ++n;
        }
        in.rows = n;
    }
    if (in.rows < count) {
        head.note = "data holds " + std::to_string(in.rows);
        head.mark = true;
    }
    in.lines.push_back(std::move(head));
    // What a row holds.
    InspectLine legend;
    legend.label = "element";
    for (const Field& f : l.element) legend.note += (legend.note.empty() ? "" : " ") + std::string(f.name);
    // A sublist: as many entries as its count field says ("vertices x index").
    for (const Sublist& sl : l.sublists) {
        const bool counted = sl.countfield >= 0 && static_cast<size_t>(sl.countfield) < l.element.size();
        legend.note += ", " + (counted ? std::string(l.element[static_cast<size_t>(sl.countfield)].name) + " x " : "") +
                       std::string(sl.name);
    }
    in.lines.push_back(std::move(legend));
    if (c.name == "ENVL") in.context = Models(root);
}

void Summarise(const chunkptr& cp, Inspection& in) {
    const chunk& c = *cp;
    in.form = Form::Container;
    auto add = [&](const char* label, const std::string& note) {
        InspectLine line;
        line.label = label;
        line.note = note;
        in.lines.push_back(std::move(line));
    };
    if (c.name == "MODL") {
        add("name", Shown(c.FetchName()));
        chunkptr t = c.getkid("MTYP");
        if (t && t->size >= 4) {
            const uint32_t v = ReadU32(*t, 0);
            std::string meaning;
            if (const ChunkKind* k = FindKind("MTYP"); k && !LayoutOf(*k, "MODL").fields.empty())
                meaning = Meaning(LayoutOf(*k, "MODL").fields[0], v, " ", "unknown");
            add("type", std::to_string(v) + (meaning.empty() ? "" : " " + meaning));
        } else {
            add("type", "none");
        }
        chunkptr x = c.getkid("MNDX");
        add("index", x && x->size >= 4 ? std::to_string(ReadU32(*x, 0)) : "none");
        chunkptr pr = c.getkid("PRNT");
        add("parent", pr ? pr->datatostring() : "none");
        int64_t segments = 0, vertices = 0;
        PreOrder(c, [&](const chunk& k) {
            if (k.name != "SEGM") return;
            ++segments;
            chunkptr posl = k.getkid("POSL");
            if (posl && posl->size >= 4) vertices += ReadU32(*posl, 0);
        });
        add("segments", std::to_string(segments));
        add("vertices", std::to_string(vertices));
    }
    // Children by name, in order of first appearance.
    constexpr size_t kMaxNames = 1000;
    std::vector<std::pair<std::string, int64_t>> names;
    std::unordered_map<std::string, size_t> at;
    for (const chunkptr& k : c.kids) {
        auto it = at.find(k->name);
        if (it != at.end()) {
            names[it->second].second++;
        } else if (names.size() < kMaxNames) {
            at.emplace(k->name, names.size());
            names.emplace_back(k->name, 1);
        }
    }
    add("children", std::to_string(c.kids.size()));
    for (const auto& [name, n] : names) {
        InspectLine line;
        line.label = " " + name;
        line.note = n > 1 ? "x" + std::to_string(n) : "1";
        in.lines.push_back(std::move(line));
    }
}

}  // namespace

// ---- Inspection -----------------------------------------------------------------

InspectLine Inspection::Row(int64_t i) const {
    InspectLine line;
    if (form != Form::List || !target || !list || i < 0 || i >= rows) return line;
    const chunk& c = *target;
    const RecordLayout& l = *list;
    line.label = std::to_string(i);
    int64_t p;
    if (l.sublists.empty()) {
        p = (l.fields.empty() ? 0 : l.fields[0].End()) + i * l.elementsize;
    } else {
        const size_t k = static_cast<size_t>(i / 256);
        if (k >= checkpoints.size()) return line;
        p = checkpoints[k];
        for (int64_t n = static_cast<int64_t>(k) * 256; n < i; ++n) p += format::ElementLength(l, LeafBytes(c), p);
    }
    line.at = p;
    AddValues(c, p, l.element, line, true);
    // A sublist's entries (a polygon's indices, a bone's keys), the first few.
    constexpr size_t kShown = 16;
    int64_t q = p + l.elementsize;
    size_t shown = 0;
    int64_t more = 0;
    for (const Sublist& s : l.sublists) {
        const Field& cf = l.element[static_cast<size_t>(s.countfield)];
        const int64_t n = Bits(c, p + cf.offset, cf.type);
        for (int64_t e = 0; e < n; ++e) {
            if (shown >= kShown) {
                more += n - e;
                break;
            }
            InspectLine entry;
            AddValues(c, q + e * s.entrysize, s.fields, entry, true);
            shown += entry.fields.size();
            for (InspectValue& v : entry.fields) line.fields.push_back(std::move(v));
        }
        q += n * s.entrysize;
    }
    if (more > 0) line.note += (line.note.empty() ? "" : " ") + std::to_string(more) + " more";
    // Colours: a CLRL element's channels.
    float rgba[4] = {0, 0, 0, 1};
    int channels = 0;
    for (const Field& f : l.element) {
        static const char* const names[4] = {"red", "green", "blue", "alpha"};
        for (int k = 0; k < 4; ++k)
            if (std::string_view(f.name) == names[k] && f.type == FieldType::U8) {
                rgba[k] = static_cast<float>(std::max(0, c.readbyte(p + f.offset))) / 255.0f;
                ++channels;
            }
    }
    if (channels >= 3) {
        line.colour = true;
        std::copy(rgba, rgba + 4, line.rgba);
    }
    if (line.fields.size() == 1 && line.fields[0].keep) line.mark = !line.note.empty();
    if (c.name == "ENVL" && !line.fields.empty()) line.note = EnvelopeModel(context.get(), ReadU32(c, p));
    return line;
}

Inspection Inspect(const chunkptr& c, const chunkptr& root) {
    Inspection in;
    in.target = c;
    if (!c) return in;
    in.path = ChunkPath(c);
    if (!c->kids.empty()) {
        Summarise(c, in);
        return in;
    }
    const ChunkKind* kind = FindKind(c->name);
    if (!kind) return in;
    chunkptr parent = c->getparent();
    const RecordLayout& l = LayoutOf(*kind, parent ? std::string_view(parent->name) : std::string_view());
    switch (l.layout) {
        case Layout::Text: DecodeText(*c, in); break;
        case Layout::Names: DecodeNames(*c, in); break;
        case Layout::Fields: DecodeFields(c, l, in); break;
        case Layout::List:
            if (l.elementsize > 0) DecodeList(c, l, root, in);
            break;
        case Layout::Container:
        case Layout::Empty:
        case Layout::Opaque: break;
    }
    return in;
}

// ---- Shown values ----------------------------------------------------------------------

void QuaternionToEuler(const float q[4], double out[3]) {
    const double x = q[0], y = q[1], z = q[2], w = q[3];
    constexpr double kDeg = 180.0 / 3.14159265358979323846;
    out[0] = std::atan2(2 * (w * x + y * z), 1 - 2 * (x * x + y * y)) * kDeg;
    const double s = std::clamp(2 * (w * y - z * x), -1.0, 1.0);
    out[1] = std::asin(s) * kDeg;
    out[2] = std::atan2(2 * (w * z + x * y), 1 - 2 * (y * y + z * z)) * kDeg;
}

}  // namespace mesh
