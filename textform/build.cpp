// The bytes of a text form (see textform.h), in one pass over its lines: a
// chunk's header is written when its line is read and its size (and count)
// filled in when the first line that does not belong to it closes it.
#include <array>
#include <limits>
#include <new>

#include "format/bytes.h"
#include "mesh/msh.h"
#include "format/records.h"
#include "format/values.h"
#include "textform/codec.h"
#include "textform/textform.h"

namespace textform {

namespace {

struct Open {
    size_t depth;
    size_t header;             // where its header starts in the output
    bool declared = false;     // size=N given
    int32_t size = 0;
    std::string name;
    const format::RecordLayout* layout = nullptr;  // its data's layout (null: not a known record)
    int64_t countat = -1;      // where its count goes
    bool autocount = true;
    uint32_t count = 0;
    uint32_t items = 0;        // elements and MATD children
    int64_t recordat = -1;     // where its record's fields stand
    uint64_t seen = 0;
};

class Builder {
public:
    explicit Builder(std::vector<uint8_t>& out) : out_(out) {}

    bool Line(std::string_view line);
    bool Finish() {
        while (!open_.empty())
            if (!Close()) return false;
        return true;
    }
    std::string error;

private:
    bool Fail(std::string why) {
        error = std::move(why);
        return false;
    }
    bool Close();
    bool HexLine(std::string_view line, size_t at);
    bool QuickElement(const format::RecordLayout& l, std::string_view line, size_t at);
    bool Enter(size_t depth);
    bool Chunk(size_t depth, std::span<const std::string_view> words);
    bool Number(std::string_view text, format::ValueType type, uint32_t& v);
    bool Grew() {
        return out_.size() <= static_cast<size_t>(mesh::msh::kMaxFileBytes) ||
               Fail("the file would be larger than a mesh can be");
    }

    std::vector<uint8_t>& out_;
    std::vector<Open> open_;
    std::vector<std::string_view> words_;
    std::string text_;
};

bool Builder::Number(std::string_view text, format::ValueType type, uint32_t& v) {
    std::vector<uint8_t> b;
    if (!format::ParseValue(type, 4, std::string(text), b) || b.size() != 4) return false;
    v = format::LoadU32(b.data());
    return true;
}

bool Builder::Close() {
    Open& c = open_.back();
    if (c.recordat >= 0) {
        const size_t fields = std::min<size_t>(c.layout->fields.size(), 64);
        for (size_t i = 0; i < fields; ++i)
            if (!(c.seen & (uint64_t(1) << i)))
                return Fail(c.name + " lacks its field ." + c.layout->fields[i].name);
    }
    if (c.countat >= 0) {
        const uint32_t n = c.autocount ? c.items : c.count;
        format::StoreU32(out_.data() + c.countat, n);
    }
    const int64_t size = static_cast<int64_t>(out_.size() - c.header - 8);
    if (size > std::numeric_limits<int32_t>::max()) return Fail(c.name + " holds more than a chunk can");
    format::StoreI32(out_.data() + c.header + 4, c.declared ? c.size : static_cast<int32_t>(size));
    open_.pop_back();
    return true;
}

bool Builder::Chunk(size_t depth, std::span<const std::string_view> words) {
    std::string name;
    const std::string_view w = words[0];
    for (size_t i = 0; i < w.size(); ++i) {
        if (w[i] == '\\' && i + 3 < w.size() && w[i + 1] == 'x') {
            std::string one;
            if (!Unquote("\"" + std::string(w.substr(i, 4)) + "\"", one))
                return Fail("not a chunk name: " + std::string(w));
            name += one;
            i += 3;
        } else {
            name += w[i];
        }
    }
    if (name.size() != 4) return Fail("a chunk name is four bytes: " + std::string(w));
    if (!open_.empty() && open_.back().name == "MATL" && name == "MATD") ++open_.back().items;
    Open c;
    c.depth = depth;
    c.header = out_.size();
    c.name = name;
    if (const format::ChunkKind* k = format::FindKind(name))
        c.layout = &format::LayoutOf(*k, open_.empty() ? std::string_view() : std::string_view(open_.back().name));
    out_.insert(out_.end(), name.begin(), name.end());
    out_.resize(out_.size() + 4, 0);
    for (std::string_view a : words.subspan(1)) {
        uint32_t v = 0;
        if (a == "count") {
            c.countat = static_cast<int64_t>(out_.size());
            out_.resize(out_.size() + 4, 0);
        } else if (a.starts_with("count=") && c.countat < 0) {
            if (!Number(a.substr(6), format::ValueType::U32, v)) return Fail("not a count: " + std::string(a));
            c.autocount = false;
            c.count = v;
            c.countat = static_cast<int64_t>(out_.size());
            out_.resize(out_.size() + 4, 0);
        } else if (a.starts_with("size=")) {
            if (!Number(a.substr(5), format::ValueType::I32, v)) return Fail("not a size: " + std::string(a));
            c.declared = true;
            c.size = static_cast<int32_t>(v);
        } else if (a.starts_with("\"")) {
            if (!Unquote(a, text_)) return Fail("not a text: " + std::string(a));
            const std::vector<uint8_t> rec = format::TextRecord(text_);
            out_.insert(out_.end(), rec.begin(), rec.end());
        } else {
            return Fail("not an attribute of a chunk: " + std::string(a));
        }
    }
    open_.push_back(std::move(c));
    return Grew();
}

// The value of a hexadecimal digit, or -1.
constexpr std::array<int8_t, 256> kHex = [] {
    std::array<int8_t, 256> t{};
    for (int i = 0; i < 256; ++i)
        t[size_t(i)] = int8_t(i >= '0' && i <= '9' ? i - '0' : i >= 'a' && i <= 'f' ? i - 'a' + 10
                                                             : i >= 'A' && i <= 'F' ? i - 'A' + 10 : -1);
    return t;
}();

bool Blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// A line of bytes ("  : 0011aabb ccdd  # note") straight into the output,
// the bulk of a text whose lists are not decoded. Anything out of the
// ordinary (a quote, an odd word) leaves the output as it was and the line
// to the general reading, which says what is wrong.
bool Builder::HexLine(std::string_view line, size_t at) {
    const size_t before = out_.size();
    const size_t n = line.size();
    for (size_t i = at + 1; i < n;) {
        if (Blank(line[i])) {
            ++i;
            continue;
        }
        if (line[i] == '#') break;
        size_t j = i;
        while (j + 1 < n && kHex[uint8_t(line[j])] >= 0 && kHex[uint8_t(line[j + 1])] >= 0) {
            out_.push_back(uint8_t(kHex[uint8_t(line[j])] << 4 | kHex[uint8_t(line[j + 1])]));
            j += 2;
        }
        if (j < n && !Blank(line[j]) && line[j] != '#') {
            out_.resize(before);
            return false;
        }
        i = j;
    }
    return true;
}

// Powers of ten that a float holds exactly.
constexpr float kTens[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f, 1e10f};

// A number word at i ("-59.875", "41089"), for a value of type t, into at;
// i moves past it. Only the plain forms: a float of at most 2^24 digits'
// worth and ten decimals, whose quotient of two exact floats is the
// correctly rounded value any reader gives; an integer in decimal that fits.
// False for anything else, which the general reading takes.
bool QuickNumber(std::string_view line, size_t& i, format::FieldType t, uint8_t* at) {
    const size_t n = line.size();
    const bool minus = t == format::FieldType::F32 && i < n && line[i] == '-';
    size_t j = i + (minus ? 1 : 0);
    uint64_t m = 0;
    int digits = 0, decimals = -1;
    for (; j < n; ++j) {
        const char c = line[j];
        if (c >= '0' && c <= '9') {
            if (++digits > 10) return false;
            m = m * 10 + uint64_t(c - '0');
            if (decimals >= 0) ++decimals;
        } else if (c == '.' && decimals < 0 && digits > 0 && t == format::FieldType::F32) {
            decimals = 0;
        } else {
            break;
        }
    }
    if (digits == 0 || decimals == 0 || (j < n && !Blank(line[j]) && line[j] != '#')) return false;
    if (t == format::FieldType::F32) {
        if (m >= (uint64_t(1) << 24)) return false;
        const float v = float(m) / kTens[decimals < 0 ? 0 : decimals];
        format::StoreF32(at, minus ? -v : v);
    } else {
        if (decimals >= 0) return false;
        const int width = format::FieldTypeWidth(t);
        const uint64_t max = t == format::FieldType::I32 ? 0x7FFFFFFFu : (uint64_t(1) << (8 * width)) - 1;
        if (m > max) return false;
        for (int b = 0; b < width; ++b) at[b] = static_cast<uint8_t>(m >> (8 * b));
    }
    i = j;
    return true;
}

// A list element of plain numbers ("- 1 2.5 -0") straight into the output,
// the bulk of a text whose lists are decoded; anything else leaves the
// output as it was and the line to the general reading.
bool Builder::QuickElement(const format::RecordLayout& l, std::string_view line, size_t at) {
    if (!l.sublists.empty()) return false;
    const size_t before = out_.size();
    out_.resize(before + static_cast<size_t>(l.elementsize), 0);
    size_t i = at + 1;
    const size_t n = line.size();
    for (const format::Field& f : l.element) {
        if (f.type == format::FieldType::Chars) return out_.resize(before), false;
        for (int k = 0; k < f.count; ++k) {
            while (i < n && Blank(line[i])) ++i;
            if (!QuickNumber(line, i, f.type, out_.data() + before + f.offset + size_t(k) * size_t(f.Stride())))
                return out_.resize(before), false;
        }
    }
    while (i < n && Blank(line[i])) ++i;
    if (i < n && line[i] != '#') return out_.resize(before), false;
    return true;
}

// Closes the chunks a line at this depth ends; false when it stands deeper
// than the chunk it would belong to (error then says so).
bool Builder::Enter(size_t depth) {
    while (!open_.empty() && open_.back().depth >= depth)
        if (!Close()) return false;
    if (depth > 0 && (open_.empty() || open_.back().depth + 1 != depth)) return Fail("indented deeper than its chunk");
    return true;
}

bool Builder::Line(std::string_view line) {
    size_t spaces = 0;
    while (spaces < line.size() && line[spaces] == ' ') ++spaces;
    // The two lines that make up nearly all of a large text, read in place.
    if (spaces + 1 < line.size() && (line[spaces] == ':' || line[spaces] == '-') && Blank(line[spaces + 1]) &&
        spaces % 2 == 0) {
        if (!Enter(spaces / 2)) return false;
        if (line[spaces] == ':') {
            if (HexLine(line, spaces)) return Grew();
        } else if (!open_.empty() && open_.back().layout && open_.back().layout->layout == format::Layout::List &&
                   QuickElement(*open_.back().layout, line, spaces)) {
            ++open_.back().items;
            return Grew();
        }
    }
    if (!Tokens(line, words_)) return Fail("a quote is not closed");
    if (words_.empty()) return true;
    if (spaces < line.size() && line[spaces] == '\t') return Fail("indent with spaces, not tabs");
    if (spaces % 2) return Fail("an indent is two spaces a level");
    const size_t depth = spaces / 2;
    if (!Enter(depth)) return false;
    const std::string_view first = words_[0];
    if (first == ":") {
        if (!ParseHex(std::span(words_).subspan(1), out_)) return Fail("not hexadecimal bytes");
        return Grew();
    }
    if (first[0] != '.' && first != "-") return Chunk(depth, words_);
    if (open_.empty()) return Fail("a value outside any chunk");
    Open& c = open_.back();
    const format::Layout form = c.layout ? c.layout->layout : format::Layout::Opaque;
    if (first[0] == '.') {
        if (form != format::Layout::Fields) return Fail(c.name + " has no fields here");
        if (c.recordat < 0) {
            c.recordat = static_cast<int64_t>(out_.size());
            out_.resize(out_.size() + static_cast<size_t>(RecordSize(*c.layout)), 0);
        }
        return ParseField(*c.layout, words_, out_.data() + c.recordat, c.seen, error);
    }
    ++c.items;
    if (form == format::Layout::List) return ParseElement(*c.layout, words_, out_, error) && Grew();
    if (form == format::Layout::Names) {
        if (words_.size() != 2 || !Unquote(words_[1], text_)) return Fail("a name is one quoted text");
        out_.insert(out_.end(), text_.begin(), text_.end());
        out_.push_back(0);
        return Grew();
    }
    return Fail(c.name + " has no list here");
}

}  // namespace

bool Build(std::string_view text, std::vector<uint8_t>& out, std::string& error) {
    out.clear();
    Builder b(out);
    try {
        // A mesh takes fewer bytes than its text: one reservation instead of
        // copies as it grows.
        out.reserve(text.size() / 2);
        size_t number = 0;
        for (size_t a = 0; a <= text.size();) {
            size_t e = text.find('\n', a);
            if (e == std::string_view::npos) e = text.size();
            ++number;
            if (!b.Line(text.substr(a, e - a))) {
                error = "line " + std::to_string(number) + ": " + b.error;
                return false;
            }
            a = e + 1;
        }
        if (!b.Finish()) {
            error = "at the end: " + b.error;
            return false;
        }
    } catch (const std::bad_alloc&) {
        error = "Out of memory.";
        return false;
    }
    return true;
}

}  // namespace textform
