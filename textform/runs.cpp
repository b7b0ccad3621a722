// The runs of a text form's lines that a build reads in place (see
// builder.h): list elements, value after value, and bytes in hexadecimal.
// Nearly all of a large text is such lines, so the common shapes of a list
// (one to four floats, one integer) have loops of their own.
#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "format/bytes.h"
#include "format/number.h"
#include "textform/builder.h"
#include "textform/codec.h"

namespace textform {

// The value of a hexadecimal digit, or -1.
static constexpr std::array<int8_t, 256> kHex = [] {
    std::array<int8_t, 256> t{};
    for (int i = 0; i < 256; ++i)
        t[size_t(i)] = int8_t(i >= '0' && i <= '9' ? i - '0' : i >= 'a' && i <= 'f' ? i - 'a' + 10
                                                             : i >= 'A' && i <= 'F' ? i - 'A' + 10 : -1);
    return t;
}();

static bool Blank(char c) { return c == ' ' || c == '\t' || c == '\r'; }
// What ends a word inside a line that ends with '\n'.
static bool WordEnd(char c) { return Blank(c) || c == '#' || c == '\n'; }

// Skips the blanks and a comment after the last word of a line; where its
// '\n' stands, or nullptr when a word follows.
static const char* LineEnd(const char* p, const char* end) {
    while (Blank(*p)) ++p;
    if (*p == '#') p = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
    return p && *p == '\n' ? p : nullptr;
}

// Whether the line at p begins with exactly n spaces (it holds n + 1 bytes).
static bool Indented(const char* p, size_t n) {
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
[[gnu::always_inline]] static inline bool ElementAt(const char* p, size_t n) {
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
[[gnu::always_inline]] static inline int FixedValue(const char* p, uint8_t* el) {
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
[[gnu::always_inline]] static inline int WordLength(const char* p) {
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
[[gnu::always_inline]] static inline const char* Fixed(const char* p, uint8_t* el) {
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

}  // namespace textform
