// The bytes of a text form (see textform.h), in one pass over its lines: a
// chunk's header is written when its line is read and its size (and count)
// filled in when the first line that does not belong to it closes it.
#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <limits>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "format/bytes.h"
#include "format/number.h"
#include "mesh/msh.h"
#include "format/records.h"
#include "format/values.h"
#include "textform/ahead.h"
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

// One value of a list element as Run() reads it.
struct Slot {
    const format::Field* field;
    format::FieldType type;
    int width;
    int k;
    size_t offset;
    uint64_t max;  // of an integer
};

class Builder {
public:
    explicit Builder(std::vector<uint8_t>& out) : out_(out) {}

    bool Line(std::string_view line);
    // The lines of list elements and of bytes, read in place, from a and
    // while they stand at the indent of the open chunk's contents: nearly
    // all of a large text, up to limit: the start of a line, at most one
    // past the text's last '\n' (the '\n' before it ends every scan of a
    // line). Returns where the first line left to Line() starts, or limit;
    // number counts the lines read.
    size_t Run(std::string_view text, size_t a, size_t limit, size_t& number);
    bool Finish() {
        while (!open_.empty())
            if (!Close()) return false;
        return true;
    }
    std::string error;

    // Runs read apart (see ahead.h): the layout and depth of the open chunk
    // that Run() reads under; a run read elsewhere under it, taken; a
    // builder's only open chunk, of that layout and depth.
    bool Top(const format::RecordLayout*& layout, size_t& depth) const {
        return !open_.empty() && (layout = open_.back().layout, depth = open_.back().depth, true);
    }
    void Take(std::span<const uint8_t> bytes, uint32_t items) {
        out_.insert(out_.end(), bytes.begin(), bytes.end());
        open_.back().items += items;
    }
    Open& Under(const format::RecordLayout* layout, size_t depth) {
        Open& c = open_.emplace_back();
        c.depth = depth;
        c.layout = layout;
        return c;
    }

private:
    bool Fail(std::string why) {
        error = std::move(why);
        return false;
    }
    bool Close();
    bool Enter(size_t depth);
    bool Chunk(size_t depth, std::span<const std::string_view> words);
    bool Number(std::string_view text, format::ValueType type, uint32_t& v);
    bool Grew() {
        return out_.size() <= static_cast<size_t>(mesh::msh::kMaxFileBytes) ||
               Fail("the file would be larger than a mesh can be");
    }

    // The slots of a list layout whose elements are numbers only; false
    // (and no slots) for any other.
    bool Plan(const format::RecordLayout& l);
    // Makes the output hold at least size + need bytes, a block at a time
    // (zeroed while it is in the cache); false past the largest file.
    bool Room(size_t size, size_t need) { return size + need <= out_.size() || Grow(size, need); }
    bool Grow(size_t size, size_t need);
    // An element's values (p after its "- ") into the output at size, or a
    // line of bytes, whose count is added to size; where the line's '\n'
    // stands, or nullptr for a line Line() must read.
    const char* Element(const char* p, const char* end, size_t size);
    const char* Hex(const char* p, const char* end, size_t& size);
    // The element lines whose values all take the plain form, from a while
    // they last: what Run() spends nearly all its time on, kept apart so
    // that it holds its state in registers.
    // The elements are n values of one type one after the other (floats for
    // width 0, integers of that width otherwise); a line in any other form
    // is left to Element().
    template <int n, int width>
    size_t Plain(const char* t, size_t a, size_t limit, size_t indent, size_t& size, uint32_t& items,
                  size_t& number);
    int shape_ = 0;  // which Plain<n, width> reads the planned elements (see Run)
    static constexpr size_t kBlock = size_t(1) << 12;

    std::vector<uint8_t>& out_;
    std::vector<Open> open_;
    const format::RecordLayout* planned_ = nullptr;
    std::vector<Slot> slots_;
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
// What ends a word inside a line that ends with '\n'.
bool WordEnd(char c) { return Blank(c) || c == '#' || c == '\n'; }

// Skips the blanks and a comment after the last word of a line; where its
// '\n' stands, or nullptr when a word follows.
const char* LineEnd(const char* p, const char* end) {
    while (Blank(*p)) ++p;
    if (*p == '#') p = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
    return p && *p == '\n' ? p : nullptr;
}

// Whether the line at p begins with exactly n spaces (it holds n + 1 bytes).
bool Indented(const char* p, size_t n) {
    size_t i = 0;
    for (; i + 8 <= n; i += 8)
        if (format::plain::Load8(p + i) != 0x2020202020202020u) return false;
    for (; i < n; ++i)
        if (p[i] != ' ') return false;
    return p[n] != ' ';
}

bool Builder::Plan(const format::RecordLayout& l) {
    planned_ = &l;
    slots_.clear();
    if (!l.sublists.empty()) return false;
    for (const format::Field& f : l.element) {
        if (f.type == format::FieldType::Chars) return slots_.clear(), false;
        const int width = format::FieldTypeWidth(f.type);
        const uint64_t max = f.type == format::FieldType::I32 ? 0x7FFFFFFFu : (uint64_t(1) << (8 * width)) - 1;
        for (int k = 0; k < f.count; ++k)
            slots_.push_back({&f, f.type, width, k, size_t(f.offset) + size_t(k) * size_t(f.Stride()), max});
    }
    // 1 to 4 floats, or one integer of 2 or 4 bytes: the shapes of nearly every list.
    bool floats = l.elementsize == 4 * int(slots_.size()) && slots_.size() <= 4;
    for (size_t i = 0; i < slots_.size(); ++i)
        floats = floats && slots_[i].type == format::FieldType::F32 && slots_[i].offset == 4 * i;
    const bool one = slots_.size() == 1 && l.elementsize == slots_[0].width && slots_[0].type != format::FieldType::F32;
    shape_ = floats ? int(slots_.size()) : one && slots_[0].max == 0xFFFFu ? 5 : one && slots_[0].width == 4 ? 6 : 0;
    return !slots_.empty();
}

// Whether the line at p begins with exactly n spaces and "- "; the line
// holds at least 16 bytes.
[[gnu::always_inline]] inline bool ElementAt(const char* p, size_t n) {
#if defined(__SSE2__)
    if (n <= 14) {
        alignas(16) static constexpr char kSpaces[32] = "                - ";
        // The pattern: n spaces, then "- " (the last 16 bytes of kSpaces slide in).
        const __m128i want = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kSpaces + 16 - n));
        const uint32_t same = uint32_t(_mm_movemask_epi8(
            _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), want)));
        const uint32_t need = (uint32_t(1) << (n + 2)) - 1;
        return (same & need) == need;
    }
#endif
    return Indented(p, n) && p[n] == '-' && p[n + 1] == ' ';
}

bool Builder::Grow(size_t size, size_t need) {
    constexpr size_t kMax = static_cast<size_t>(mesh::msh::kMaxFileBytes);
    if (size + need > kMax) return false;
    out_.resize(std::min(kMax, std::max(size + need, size + kBlock)));
    return true;
}

const char* Builder::Element(const char* p, const char* end, size_t size) {
    const size_t length = static_cast<size_t>(planned_->elementsize);
    if (!Room(size, length)) return nullptr;
    uint8_t* const el = out_.data() + size;
    for (const Slot& s : slots_) {
        while (Blank(*p)) ++p;
        uint8_t* const at = el + s.offset;
        if (s.type == format::FieldType::F32) {
            float v;
            const char* q = format::ReadPlainFloat(p, end, v);
            if (q && WordEnd(*q)) {
                format::StoreF32(at, v);
                p = q;
                continue;
            }
        } else {
            uint64_t v;
            const char* q = format::ReadPlainDigits(p, end, v);
            if (q && WordEnd(*q) && v <= s.max) {
                for (int b = 0; b < s.width; ++b) at[b] = static_cast<uint8_t>(v >> (8 * b));
                p = q;
                continue;
            }
        }
        // Any other form goes to the full reader; a quoted word to Line().
        const char* q = p;
        while (!WordEnd(*q)) ++q;
        if (q == p || *p == '"' || !ReadValue(*s.field, {p, size_t(q - p)}, el, s.k)) return nullptr;
        p = q;
    }
    return LineEnd(p, end);
}

const char* Builder::Hex(const char* p, const char* end, size_t& size) {
    const char* const e = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
    if (!Room(size, size_t(e - p) / 2)) return nullptr;
    uint8_t* const start = out_.data() + size;
    uint8_t* w = start;
    for (;;) {
        while (Blank(*p)) ++p;
        if (*p == '#' || *p == '\n') break;
        while (kHex[uint8_t(p[0])] >= 0 && kHex[uint8_t(p[1])] >= 0) {
            *w++ = uint8_t(kHex[uint8_t(p[0])] << 4 | kHex[uint8_t(p[1])]);
            p += 2;
        }
        if (!WordEnd(*p)) return nullptr;
    }
    size += size_t(w - start);
    return e;
}

// One value of an element of one type (a float for width 0, an integer of
// that width otherwise) at p, which stands 18 bytes or more before the
// text's end, into el; its length, or 0 when it takes no plain form.
template <int width>
[[gnu::always_inline]] inline int FixedValue(const char* p, uint8_t* el) {
    if constexpr (width == 0) {
        const bool minus = *p == '-';
        float v = 0;
        const int length = format::plain::Decimal(p + minus, minus, v);
        format::StoreF32(el, v);
        return length ? int(minus) + length : 0;
    } else {
        const int length = std::countr_zero(format::plain::NonDigits16(p) | 0x10000u);
        const uint32_t v = format::plain::DigitsValue(format::plain::Load8(p), std::clamp(length, 1, 8));
        if constexpr (width == 4) format::StoreU32(el, v);
        else if constexpr (width == 2) format::StoreU16(el, uint16_t(v));
        else el[0] = uint8_t(v);
        return length != 0 && length <= 8 && !(uint64_t(v) >> (8 * width)) ? length : 0;
    }
}

// The length of the word at p, up to the first space or '\n' among the 16
// bytes there (16 when none is).
[[gnu::always_inline]] inline int WordLength(const char* p) {
#if defined(__SSE2__)
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i ends = _mm_or_si128(_mm_cmpeq_epi8(x, _mm_set1_epi8(' ')), _mm_cmpeq_epi8(x, _mm_set1_epi8('\n')));
    return std::countr_zero(uint32_t(_mm_movemask_epi8(ends)) | 0x10000u);
#else
    int n = 0;
    while (n < 16 && p[n] != ' ' && p[n] != '\n') ++n;
    return n;
#endif
}

// The n values of an element of one type, each after a single space, at p
// (which stands 18 n bytes or more before the text's end): the lines of
// nearly every list. Where the line's '\n' stands, or nullptr for a line
// that asks more. Where each value ends is found apart from reading it, so
// that the next one need not wait for the reading.
template <int n, int width>
[[gnu::always_inline]] inline const char* Fixed(const char* p, uint8_t* el) {
    constexpr int step = width == 0 ? 4 : width;
    bool ok = true;
    for (int i = 0; i < n; ++i) {
        const int length = WordLength(p);
        ok &= length != 0 && FixedValue<width>(p, el + step * i) == length;
        const char* const q = p + length;
        if (i + 1 == n) return ok && *q == '\n' ? q : nullptr;
        ok &= *q == ' ';
        p = q + 1;
    }
    return nullptr;
}

template <int n, int width>
[[gnu::noinline]] size_t Builder::Plain(const char* t, size_t a, size_t limit, size_t indent, size_t& size,
                                       uint32_t& items, size_t& number) {
    // The counts in locals: the values are stored through bytes, which the
    // compiler must take to reach anything in memory.
    const size_t length = static_cast<size_t>(planned_->elementsize);
    const char* const end = t + limit;
    size_t at = size, lines = 0;
    uint8_t* base = out_.data();
    size_t room = out_.size();
    while (limit - a >= 32 && ElementAt(t + a, indent)) {
        if (at + length > room) {
            if (!Grow(at, length)) break;
            base = out_.data();
            room = out_.size();
        }
        const char* const line = t + a + indent + 2;
        uint8_t* const el = base + at;
        const char* const e = end - line >= 18 * n ? Fixed<n, width>(line, el) : nullptr;
        if (!e) break;
        at += length;
        ++lines;
        a = size_t(e - t) + 1;
    }
    size = at;
    items += uint32_t(lines);
    number += lines;
    return a;
}

size_t Builder::Run(std::string_view text, size_t a, size_t limit, size_t& number) {
    if (open_.empty()) return a;
    Open& c = open_.back();
    const format::RecordLayout* l = c.layout && c.layout->layout == format::Layout::List ? c.layout : nullptr;
    const bool elements = l && (l == planned_ ? !slots_.empty() : Plan(*l));
    const size_t indent = 2 * (c.depth + 1);
    const char* const t = text.data();
    const char* const end = t + limit;
    size_t size = out_.size();
    while (a < limit) {
        if (elements) {
            switch (shape_) {
                case 1: a = Plain<1, 0>(t, a, limit, indent, size, c.items, number); break;
                case 2: a = Plain<2, 0>(t, a, limit, indent, size, c.items, number); break;
                case 3: a = Plain<3, 0>(t, a, limit, indent, size, c.items, number); break;
                case 4: a = Plain<4, 0>(t, a, limit, indent, size, c.items, number); break;
                case 5: a = Plain<1, 2>(t, a, limit, indent, size, c.items, number); break;
                case 6: a = Plain<1, 4>(t, a, limit, indent, size, c.items, number); break;
                default: break;
            }
        }
        if (limit - a < indent + 2 || !Indented(t + a, indent)) break;
        const char* p = t + a + indent;
        if (p[1] != ' ' && p[1] != '\t') break;
        if (p[0] == '-' && elements) {
            const char* e = Element(p + 2, end, size);
            if (!e) break;
            size += static_cast<size_t>(planned_->elementsize);
            ++c.items;
            p = e;
        } else if (p[0] == ':') {
            p = Hex(p + 2, end, size);
            if (!p) break;
        } else {
            break;
        }
        a = static_cast<size_t>(p - t) + 1;
        ++number;
    }
    out_.resize(size);
    return a;
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

size_t ReadRun(std::string_view text, size_t a, size_t limit, const format::RecordLayout* layout, size_t depth,
               std::vector<uint8_t>& out, uint32_t& items, size_t& lines) {
    Builder b(out);
    const Open& c = b.Under(layout, depth);
    a = b.Run(text, a, limit, lines);
    items = c.items;
    return a;
}

bool Build(std::string_view text, std::vector<uint8_t>& out, std::string& error, const Spread& spread) {
    out.clear();
    Builder b(out);
    try {
        // A mesh takes fewer bytes than its text: one reservation instead of
        // copies as it grows.
        out.reserve(text.size() / 2);
        size_t number = 0;
        const size_t last = text.rfind('\n');
        const size_t limit = last == std::string_view::npos ? 0 : last + 1;
        Ahead ahead(text, limit, spread);
        for (size_t a = 0; a <= text.size();) {
            a = ahead.Run(b, out, text, a, number);
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
