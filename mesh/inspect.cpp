#include "mesh/inspect.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <unordered_map>

namespace mesh {

struct InspectContext {
    // ENVL entries name models by their MNDX value, or by their place in
    // the tree when no model has that value.
    std::unordered_map<uint32_t, std::string> byindex;
    std::vector<std::string> inorder;
};

namespace {

// ---- Layouts -------------------------------------------------------------------

// count values of one type on one line.
struct Slot {
    const char* label;
    ValueType type;
    int count;
};

struct RecordLayout {
    const char* name;
    std::vector<Slot> slots;
};

const std::vector<RecordLayout>& Records() {
    using V = ValueType;
    static const std::vector<RecordLayout> records = {
        {"MTYP", {{"type", V::U32, 1}}},
        {"MNDX", {{"index", V::U32, 1}}},
        {"MATI", {{"material", V::U32, 1}}},
        {"FLGS", {{"flags", V::U32, 1}}},
        {"SHVO", {{"shadow volume", V::U32, 1}}},
        {"ATRB", {{"flags", V::U8, 1}, {"render type", V::U8, 1}, {"data0", V::U8, 1}, {"data1", V::U8, 1}}},
        {"DATA", {{"diffuse", V::F32, 4}, {"specular", V::F32, 4}, {"ambient", V::F32, 4}, {"exponent", V::F32, 1}}},
        {"TRAN", {{"scale", V::F32, 3}, {"rotation", V::F32, 4}, {"translation", V::F32, 3}}},
        {"BBOX", {{"rotation", V::F32, 4}, {"centre", V::F32, 3}, {"extents", V::F32, 3}, {"radius", V::F32, 1}}},
        {"SWCI", {{"shape", V::U32, 1}, {"radius", V::F32, 1}, {"height", V::F32, 1}, {"length", V::F32, 1}}},
        {"FRAM", {{"first frame", V::U32, 1}, {"last frame", V::U32, 1}, {"fps", V::F32, 1}}},
    };
    return records;
}

const RecordLayout* FindRecord(const std::string& name) {
    for (const RecordLayout& r : Records())
        if (name == r.name) return &r;
    return nullptr;
}

bool IsTextRecord(const std::string& name) {
    static const char* const names[] = {"NAME", "TX0D", "TX1D", "TX2D", "TX3D", "PRNT", "CTEX"};
    for (const char* n : names)
        if (name == n) return true;
    return false;
}

// An element of a list: the values of a row, one type each, at consecutive
// offsets (CLRL's colour is stored B, G, R, A and shown R, G, B, A).
struct ListLayout {
    const char* name;
    int width;                  // 0: variable (NDXL)
    std::vector<ValueType> values;
};

const std::vector<ListLayout>& Lists() {
    using V = ValueType;
    static const std::vector<ListLayout> lists = {
        {"POSL", 12, {V::F32, V::F32, V::F32}},
        {"NRML", 12, {V::F32, V::F32, V::F32}},
        {"CPOS", 12, {V::F32, V::F32, V::F32}},
        {"UV0L", 8, {V::F32, V::F32}},
        {"CUV0", 8, {V::F32, V::F32}},
        {"CLRL", 4, {V::U8, V::U8, V::U8, V::U8}},
        {"WGHT", 32, {V::I32, V::F32, V::I32, V::F32, V::I32, V::F32, V::I32, V::F32}},
        {"ENVL", 4, {V::U32}},
        {"STRP", 2, {V::None}},
        {"NDXT", 6, {V::U16, V::U16, V::U16}},
        {"NDXL", 0, {}},
        {"FIDX", 4, {V::U32}},
        {"SPRS", 4, {V::U16, V::U16}},
        {"CPRS", 4, {V::U16, V::U16}},
        {"BPRS", 4, {V::U16, V::U16}},
        {"CMSH", 12, {V::U32, V::U32, V::U32}},
        {"CYCL", 80, {V::FixedText, V::F32, V::U32, V::U32, V::U32}},
    };
    return lists;
}

const ListLayout* FindList(const std::string& name) {
    for (const ListLayout& l : Lists())
        if (name == l.name) return &l;
    return nullptr;
}

int TypeWidth(ValueType t) {
    switch (t) {
        case ValueType::U8: return 1;
        case ValueType::U16: case ValueType::None: return 2;  // None: a STRP index
        case ValueType::U32: case ValueType::I32: case ValueType::F32: return 4;
        case ValueType::FixedText: return 64;
        case ValueType::Text: return 0;
    }
    return 0;
}

// ---- Reading values ----------------------------------------------------------------

uint32_t ReadU32(const chunk& c, int64_t p) { return static_cast<uint32_t>(c.readint(p)); }

bool Fits(const chunk& c, int64_t p, int width) { return p >= 0 && p + width <= c.size; }

// The text at p (at most n bytes), up to its first zero byte; shown texts are
// cut at 256 characters.
std::string TextAt(const chunk& c, int64_t p, int64_t n, bool* terminated = nullptr) {
    constexpr int64_t kShown = 256;
    n = std::max<int64_t>(0, std::min<int64_t>(n, c.size - p));
    std::string s(static_cast<size_t>(std::min(n, kShown)), '\0');
    const int64_t got = c.readbytes(p, static_cast<int64_t>(s.size()), reinterpret_cast<uint8_t*>(s.data()));
    s.resize(static_cast<size_t>(std::max<int64_t>(0, got)));
    const size_t z = s.find('\0');
    if (terminated) *terminated = z != std::string::npos;
    if (z != std::string::npos) s.resize(z);
    return s;
}

Field Value(const chunk& c, int64_t p, ValueType t) {
    Field f;
    f.offset = p;
    f.type = t;
    f.width = TypeWidth(t);
    if (!Fits(c, p, f.width)) {
        f.missing = true;
        f.text = "missing";
        return f;
    }
    switch (t) {
        case ValueType::U8: f.text = std::to_string(c.readbyte(p)); break;
        case ValueType::U16: f.text = std::to_string(c.readshort(p)); break;
        case ValueType::U32: f.text = std::to_string(ReadU32(c, p)); break;
        case ValueType::I32: f.text = std::to_string(c.readint(p)); break;
        case ValueType::F32: f.text = FloatText(c.readfloat(p)); break;
        case ValueType::FixedText: f.text = TextAt(c, p, f.width); break;
        case ValueType::None: f.text = std::to_string(c.readshort(p) & 0x7FFF); break;
        case ValueType::Text: break;
    }
    return f;
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
// beside c's MODL (grouped or stored as bytes).
std::string MaterialName(const chunkptr& c, uint32_t i) {
    chunkptr msh2;
    for (chunkptr p = c->getparent(); p; p = p->getparent())
        if (p->getkid("MATL")) {
            msh2 = p;
            break;
        }
    if (!msh2) return "no material list";
    chunkptr matl = msh2->getkid("MATL");
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

Line Slots(const chunk& c, int64_t& p, const Slot& s) {
    Line line;
    line.label = s.label;
    for (int k = 0; k < s.count; ++k) {
        line.fields.push_back(Value(c, p, s.type));
        p += TypeWidth(s.type);
    }
    return line;
}

void DecodeRecord(const chunkptr& cp, const RecordLayout& r, Inspection& in) {
    const chunk& c = *cp;
    int64_t p = 0;
    for (const Slot& s : r.slots) {
        Line line = Slots(c, p, s);
        const bool have = !line.fields.empty() && !line.fields[0].missing;
        const std::string name = c.name;
        if (have && s.type == ValueType::F32 && s.count == 4 && name == "DATA") {
            bool all = true;
            for (int k = 0; k < 4; ++k) {
                all = all && !line.fields[k].missing;
                line.rgba[k] = all ? c.readfloat(line.fields[k].offset) : 0.0f;
            }
            line.colour = all;
        }
        if (have && name == "MTYP") line.note = ModelTypeName(ReadU32(c, 0));
        if (have && name == "SWCI" && p == 4) line.note = CollisionShapeName(ReadU32(c, 0));
        if (have && name == "FLGS") line.note = (ReadU32(c, 0) & 1) ? "hidden" : "shown";
        if (have && name == "ATRB" && p == 1) line.note = MaterialFlagNames(static_cast<uint32_t>(c.readbyte(0)));
        if (have && name == "MATI") line.note = MaterialName(cp, ReadU32(c, 0));
        const bool rotation = name == "TRAN" && std::string(s.label) == "rotation";
        in.lines.push_back(std::move(line));
        if (rotation && Fits(c, 12, 16)) {
            float q[4];
            for (int k = 0; k < 4; ++k) q[k] = c.readfloat(12 + 4 * k);
            double e[3];
            QuaternionToEuler(q, e);
            Line euler;
            euler.label = "euler";
            for (double v : e) {
                char buf[32];
                std::snprintf(buf, sizeof buf, "%.2f", v);
                Field f;
                f.text = buf;
                euler.fields.push_back(f);
            }
            euler.note = "degrees";
            in.lines.push_back(std::move(euler));
        }
    }
    if (c.size > p) {
        Line extra;
        extra.label = "more";
        extra.note = std::to_string(c.size - p) + " bytes after the record";
        in.lines.push_back(std::move(extra));
    }
}

void DecodeText(const chunk& c, Inspection& in) {
    Line line;
    line.label = "text";
    Field f;
    bool terminated = false;
    f.text = TextAt(c, 0, c.size, &terminated);
    f.offset = 0;
    f.width = c.size;
    f.type = ValueType::Text;
    line.fields.push_back(f);
    if (!terminated) line.note = "no zero byte";
    in.lines.push_back(std::move(line));
}

void DecodeNames(const chunk& c, Inspection& in) {
    // Zero-separated names; a long run is shown in part.
    constexpr int kMax = 256;
    int64_t p = 0;
    int n = 0;
    while (p < c.size && n < kMax) {
        const std::string s = TextAt(c, p, c.size - p);
        int64_t q = p;
        while (q < c.size && c.readbyte(q) != 0) ++q;
        if (!s.empty() || q > p) {
            Line line;
            line.label = std::to_string(n++);
            Field f;
            f.text = s;
            f.offset = p;
            line.fields.push_back(f);
            in.lines.push_back(std::move(line));
        }
        p = q + 1;
    }
    if (p < c.size) {
        Line more;
        more.label = "more";
        more.note = "names not shown";
        in.lines.push_back(std::move(more));
    }
}

// NDXL: a polygon is a u16 vertex count and that many u16 indices.
void IndexPolygons(const chunk& c, uint32_t count, Inspection& in) {
    int64_t p = 4;
    int64_t n = 0;
    while (static_cast<uint64_t>(n) < count && p + 2 <= c.size) {
        const int64_t len = 2 + 2 * static_cast<int64_t>(c.readshort(p));
        if (p + len > c.size) break;
        if (n % 256 == 0) in.checkpoints.push_back(p);
        p += len;
        ++n;
    }
    in.rows = n;
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

void DecodeList(const chunkptr& cp, const ListLayout& l, const chunkptr& root, Inspection& in) {
    const chunk& c = *cp;
    in.form = Form::List;
    in.shape.name = l.name;
    in.shape.width = l.width;
    in.shape.header = 4;
    Line head;
    head.label = "count";
    head.fields.push_back(Value(c, 0, ValueType::U32));
    const uint32_t count = Fits(c, 0, 4) ? ReadU32(c, 0) : 0;
    if (l.width == 0) {
        IndexPolygons(c, count, in);
    } else {
        const int64_t held = std::max<int64_t>(0, (static_cast<int64_t>(c.size) - 4) / l.width);
        in.rows = std::min<int64_t>(count, held);
    }
    if (in.rows < count) {
        head.note = "data holds " + std::to_string(in.rows);
        head.mark = true;
    }
    in.lines.push_back(std::move(head));
    if (std::string(l.name) == "ENVL") in.context = Models(root);
}

void Summarise(const chunkptr& cp, Inspection& in) {
    const chunk& c = *cp;
    in.form = Form::Container;
    if (c.name == "MODL") {
        auto add = [&](const char* label, const std::string& note) {
            Line line;
            line.label = label;
            line.note = note;
            in.lines.push_back(std::move(line));
        };
        add("name", Shown(c.FetchName()));
        chunkptr t = c.getkid("MTYP");
        if (t && t->size >= 4) {
            const uint32_t v = ReadU32(*t, 0);
            const std::string meaning = ModelTypeName(v);
            add("type", std::to_string(v) + (meaning.empty() ? "" : " " + meaning));
        } else {
            add("type", "none");
        }
        chunkptr x = c.getkid("MNDX");
        add("index", x && x->size >= 4 ? std::to_string(ReadU32(*x, 0)) : "none");
        chunkptr pr = c.getkid("PRNT");
        add("parent", pr ? pr->datatostring() : "none");
        int64_t segments = 0, vertices = 0;
        std::vector<const chunk*> stack{&c};
        while (!stack.empty()) {
            const chunk* k = stack.back();
            stack.pop_back();
            if (k->name == "SEGM") {
                ++segments;
                chunkptr posl = k->getkid("POSL");
                if (posl && posl->size >= 4) vertices += ReadU32(*posl, 0);
            }
            for (const chunkptr& kid : k->kids) stack.push_back(kid.get());
        }
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
    Line head;
    head.label = "children";
    head.note = std::to_string(c.kids.size());
    in.lines.push_back(std::move(head));
    for (const auto& [name, n] : names) {
        Line line;
        line.label = " " + name;
        line.note = n > 1 ? "x" + std::to_string(n) : "1";
        in.lines.push_back(std::move(line));
    }
}

bool IsMaterialData(const chunk& c) {
    chunkptr p = c.getparent();
    return !p || p->name == "MATD";
}

}  // namespace

// ---- Inspection -----------------------------------------------------------------

Line Inspection::Row(int64_t i) const {
    Line line;
    if (form != Form::List || !target || i < 0 || i >= rows) return line;
    const chunk& c = *target;
    line.label = std::to_string(i);
    const std::string name = shape.name ? shape.name : "";
    if (shape.width == 0) {  // NDXL
        const size_t k = static_cast<size_t>(i / 256);
        if (k >= checkpoints.size()) return line;
        int64_t p = checkpoints[k];
        for (int64_t n = static_cast<int64_t>(k) * 256; n < i; ++n) p += 2 + 2 * int64_t(c.readshort(p));
        line.at = p;
        const int n = c.readshort(p);
        Field count = Value(c, p, ValueType::U16);
        line.note = std::to_string(n) + (n == 1 ? " index" : " indices");
        constexpr int kShown = 16;
        for (int j = 0; j < std::min(n, kShown); ++j) line.fields.push_back(Value(c, p + 2 + 2 * j, ValueType::U16));
        if (n > kShown) line.note += ", " + std::to_string(kShown) + " shown";
        (void)count;
        return line;
    }
    const ListLayout* l = FindList(name);
    if (!l) return line;
    const int64_t base = shape.header + i * shape.width;
    line.at = base;
    if (name == "CLRL") {
        // Stored B, G, R, A.
        static const int order[4] = {2, 1, 0, 3};
        for (int k = 0; k < 4; ++k) {
            line.fields.push_back(Value(c, base + order[k], ValueType::U8));
            line.rgba[k] = static_cast<float>(c.readbyte(base + order[k])) / 255.0f;
        }
        line.colour = true;
        return line;
    }
    int64_t p = base;
    for (ValueType t : l->values) {
        line.fields.push_back(Value(c, p, t));
        p += TypeWidth(t);
    }
    if (name == "STRP" && (c.readshort(base) & 0x8000)) {
        line.mark = true;
        line.note = "start";
    }
    if (name == "ENVL") line.note = EnvelopeModel(context.get(), ReadU32(c, base));
    return line;
}

std::string ChunkPath(const chunkptr& c) {
    constexpr int kMaxDepth = 4096;
    std::vector<std::string> parts;
    chunkptr cur = c;
    bool cut = false;
    while (cur) {
        if (static_cast<int>(parts.size()) >= kMaxDepth) {
            cut = true;
            break;
        }
        std::string part = cur->name;
        chunkptr p = cur->getparent();
        const int idx = p ? p->IndexOfKid(cur.get()) : -1;
        if (cur->name == "MODL" && cur->getkid("NAME")) {
            part += "[" + cur->FetchName() + "]";
        } else if (idx >= 0 && p->numkids(cur->name) > 1) {
            int same = 0;
            for (int k = 0; k < idx; ++k)
                if (p->kids[static_cast<size_t>(k)]->name == cur->name) ++same;
            part += "[" + std::to_string(same) + "]";
        }
        parts.push_back(std::move(part));
        if (idx < 0) break;  // the root, or a chunk that left its parent
        cur = p;
    }
    std::string path = cut ? "..." : "";
    for (size_t i = parts.size(); i-- > 0;) {
        if (!path.empty()) path += '/';
        path += parts[i];
    }
    return path;
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
    if (IsTextRecord(c->name)) {
        in.form = Form::Record;
        DecodeText(*c, in);
    } else if (c->name == "FWGT") {
        in.form = Form::Record;
        DecodeNames(*c, in);
    } else if (const ListLayout* l = FindList(c->name)) {
        DecodeList(c, *l, root, in);
    } else if (const RecordLayout* r = FindRecord(c->name); r && (c->name != "DATA" || IsMaterialData(*c))) {
        in.form = Form::Record;
        DecodeRecord(c, *r, in);
    }
    return in;
}

// ---- Typed input -------------------------------------------------------------------

namespace {

std::string Trim(const std::string& s) {
    size_t a = 0, b = s.size();
    while (a < b && (s[a] == ' ' || s[a] == '\t')) ++a;
    while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\t')) --b;
    return s.substr(a, b - a);
}

// An integer: the sign, the base and the magnitude (which must fit 64 bits).
bool ParseInteger(const std::string& text, bool& negative, int& base, uint64_t& magnitude) {
    std::string s = Trim(text);
    size_t i = 0;
    negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    base = 10;
    if (i < s.size() && s[i] == '$') {
        base = 16;
        ++i;
    } else if (i < s.size() && s[i] == '%') {
        base = 2;
        ++i;
    }
    if (i >= s.size()) return false;
    const char* first = s.data() + i;
    const char* last = s.data() + s.size();
    auto [ptr, ec] = std::from_chars(first, last, magnitude, base);
    return ec == std::errc() && ptr == last;
}

bool ParseFloat(const std::string& text, float& out) {
    std::string s = Trim(text);
    // Plain decimal only: digits, an optional point and an optional exponent.
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    bool digits = false;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, digits = true;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, digits = true;
    }
    if (!digits) return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
        bool exp = false;
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, exp = true;
        if (!exp) return false;
    }
    if (i != s.size()) return false;
    const char* first = s.data() + (s[0] == '+' ? 1 : 0);
    float f = 0;
    auto [ptr, ec] = std::from_chars(first, s.data() + s.size(), f);
    if (ec != std::errc() || ptr != s.data() + s.size() || !std::isfinite(f)) return false;
    out = f;
    return true;
}

}  // namespace

std::vector<uint8_t> TextRecord(const std::string& text) {
    std::vector<uint8_t> b(text.begin(), text.end());
    b.push_back(0);
    while (b.size() % 4) b.push_back(0);
    return b;
}

bool ParseValue(ValueType type, int width, const std::string& input, std::vector<uint8_t>& out) {
    auto le = [&](uint64_t v, int n) {
        std::vector<uint8_t> b;
        for (int k = 0; k < n; ++k) b.push_back(static_cast<uint8_t>((v >> (8 * k)) & 0xFF));
        out = std::move(b);
        return true;
    };
    switch (type) {
        case ValueType::U8:
        case ValueType::U16:
        case ValueType::U32:
        case ValueType::I32: {
            bool negative;
            int base;
            uint64_t m;
            if (!ParseInteger(input, negative, base, m)) return false;
            const int n = type == ValueType::U8 ? 1 : type == ValueType::U16 ? 2 : 4;
            const uint64_t umax = (uint64_t(1) << (8 * n)) - 1;
            if (type == ValueType::I32) {
                if (base != 10 && !negative) {
                    if (m > umax) return false;  // a bit pattern
                    return le(m, 4);
                }
                if (negative ? m > uint64_t(1) << 31 : m > (uint64_t(1) << 31) - 1) return false;
                return le(negative ? uint64_t(0) - m : m, 4);
            }
            if (m > umax || (negative && m != 0)) return false;
            return le(m, n);
        }
        case ValueType::F32: {
            float f;
            if (!ParseFloat(input, f)) return false;
            uint32_t bits;
            std::memcpy(&bits, &f, 4);
            return le(bits, 4);
        }
        case ValueType::Text:
            if (input.find('\0') != std::string::npos) return false;
            out = TextRecord(input);
            return true;
        case ValueType::FixedText: {
            if (input.find('\0') != std::string::npos || static_cast<int64_t>(input.size()) >= width) return false;
            std::vector<uint8_t> b(input.begin(), input.end());
            b.resize(static_cast<size_t>(width), 0);
            out = std::move(b);
            return true;
        }
        case ValueType::None: return false;
    }
    return false;
}

// ---- Edits ---------------------------------------------------------------------------

EditPlan PlanEdit(const Inspection& in, const Field& f, const std::string& input, const chunkptr& root) {
    EditPlan plan;
    const chunkptr& c = in.target;
    if (!c || !f.editable() || !c->kids.empty()) {
        plan.error = "This value cannot be changed.";
        return plan;
    }
    std::vector<uint8_t> bytes;
    if (!ParseValue(f.type, f.width, input, bytes)) {
        plan.error = f.type == ValueType::Text || f.type == ValueType::FixedText ? "This text does not fit here."
                                                                                 : "Not a value for this field.";
        return plan;
    }
    if (f.type != ValueType::Text) {
        if (f.offset < 0 || f.offset + static_cast<int64_t>(bytes.size()) > c->size) {
            plan.error = "This value lies outside the data.";
            return plan;
        }
        plan.changes.push_back({c, f.offset, std::move(bytes), false});
        plan.ok = true;
        return plan;
    }
    int64_t growth = static_cast<int64_t>(bytes.size()) - c->size;
    const std::string old = c->datatostring();
    const std::string now = input;
    plan.changes.push_back({c, 0, bytes, true});
    // A model's name: the PRNT records that named it follow.
    chunkptr model = c->name == "NAME" ? c->getparent() : nullptr;
    if (model && model->name == "MODL" && model->getkid("NAME") == c && root && !old.empty() && old != now) {
        std::vector<chunkptr> prnts;
        root->addtolist(prnts, "PRNT");
        for (const chunkptr& p : prnts) {
            if (!p->kids.empty() || p->datatostring() != old) continue;
            growth += static_cast<int64_t>(bytes.size()) - p->size;
            plan.changes.push_back({p, 0, bytes, true});
            ++plan.parents;
        }
    }
    const int64_t rootsize = root ? root->size : c->size;
    if (rootsize + growth > std::numeric_limits<int32_t>::max()) {
        plan.changes.clear();
        plan.parents = 0;
        plan.error = "The file would grow past its size fields.";
        return plan;
    }
    plan.ok = true;
    return plan;
}

void ApplyEdit(const EditPlan& plan, const namelist& list) {
    if (!plan.ok) return;
    for (const Change& ch : plan.changes) {
        if (!ch.target) continue;
        if (ch.whole) {
            ch.target->setdata(ch.bytes);
        } else {
            for (size_t k = 0; k < ch.bytes.size(); ++k)
                ch.target->SetByte(ch.offset + static_cast<int64_t>(k), ch.bytes[k], 0, list);
        }
    }
}

// ---- Shared facts ------------------------------------------------------------------------

std::string ModelTypeName(uint32_t v) {
    switch (v) {
        case 0: return "null";
        case 1: return "skin";
        case 2: return "cloth";
        case 3: return "bone";
        case 4: return "static";
        case 6: return "shadow volume";
    }
    return "unknown";
}

std::string CollisionShapeName(uint32_t v) {
    static const char* const names[] = {"sphere", "ellipsoid", "cylinder", "mesh", "box"};
    return v < 5 ? names[v] : "unknown";
}

std::string MaterialFlagNames(uint32_t flags) {
    static const char* const names[] = {"unlit",       "glow",      "blended", "double-sided",
                                        "hard-edged",  "per-pixel", "additive", "specular"};
    std::string s;
    for (int b = 0; b < 8; ++b)
        if (flags & (1u << b)) s += (s.empty() ? "" : " ") + std::string(names[b]);
    return s;
}

std::string FloatText(float f) {
    if (std::isnan(f)) return "nan";
    if (std::isinf(f)) return f > 0 ? "inf" : "-inf";
    char buf[32];
    auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, f);
    if (ec != std::errc()) return "?";
    std::string s(buf, ptr);
    return s;
}

void QuaternionToEuler(const float q[4], double out[3]) {
    const double x = q[0], y = q[1], z = q[2], w = q[3];
    constexpr double kDeg = 180.0 / 3.14159265358979323846;
    out[0] = std::atan2(2 * (w * x + y * z), 1 - 2 * (x * x + y * y)) * kDeg;
    const double s = std::clamp(2 * (w * y - z * x), -1.0, 1.0);
    out[1] = std::asin(s) * kDeg;
    out[2] = std::atan2(2 * (w * z + x * y), 1 - 2 * (y * y + z * z)) * kDeg;
}

}  // namespace mesh
