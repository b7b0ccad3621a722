// The one syntax of the numbers a user types: the editor's value box, the
// inspector's fields, "go to", the text form of mshtool. Strict: the whole
// text must be the number (blanks around it allowed), anything else is
// refused, never read as 0 or cut short.
//
// Integers: an optional sign, then decimal digits, "$" and hexadecimal digits
// of either case, or "%" and binary digits: 42, -7, $FF, %101. The magnitude
// must fit 64 bits; whether the value fits where it goes is asked apart
// (FitInteger).
// Floats: an optional sign, decimal digits with an optional point and an
// optional exponent (1, -0.5, .5, 3e-2), finite in single precision once
// rounded. No hexadecimal floats, "inf" or "nan".
//
// The plain forms most numbers take (digits; a '-', digits and decimals) are
// read first by the inline readers at the end, which the long lists of a
// mesh's text form read in place; every other form goes to the full reader.
// Both give the same value for any text the plain readers take.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace format {

struct Integer {
    bool negative = false;
    int base = 10;           // 10, 16 ($) or 2 (%)
    uint64_t magnitude = 0;
};

bool ReadInteger(std::string_view text, Integer& out);

// How the bytes a value goes into are read.
enum class Signedness {
    Unsigned,  // 0 .. 2^(8n) - 1
    Signed,    // -2^(8n-1) .. 2^(8n-1) - 1, or a hexadecimal or binary bit pattern up to 2^(8n) - 1
    Either,    // -2^(8n-1) .. 2^(8n) - 1: raw bytes that may be read either way
};

// The bit pattern of v in `bytes` bytes (1 to 8); false when it does not fit.
bool FitInteger(const Integer& v, int bytes, Signedness sign, uint64_t& bits);

bool ReadFloat(std::string_view text, float& out);
// Why ReadFloat refuses a text that has the form of a float: "below the
// smallest float (1.4e-45)" (it would round to zero) or "beyond the largest
// float (3.4e38)"; empty for a text it reads and for one of another form.
std::string_view FloatOutOfRange(std::string_view text);

// ---- Plain forms, read where they stand -----------------------------------------
// Each reads the number that starts at p (before end) and returns where it
// stops: at the first character that is not part of the form, which the
// caller checks is a separator. nullptr when no plain form stands there or
// it is too long for the quick way; the full reader then decides.

namespace plain {

inline uint64_t Load8(const char* p) {
    uint64_t x;
    std::memcpy(&x, p, 8);
    return x;  // the first character in the low byte (the machine is little-endian)
}

// The value of the n (1 to 8) digits x begins with.
inline uint32_t DigitsValue(uint64_t x, int n) {
    // The digits into the high bytes over zeros, then pairs, fours and all
    // eight combined by three multiplications.
    uint64_t d = (x - 0x3030303030303030u) << (8 * (8 - n));
    d = d * 10 + (d >> 8);
    d = (((d & 0x000000FF000000FFu) * (100 + (1000000ull << 32))) +
         (((d >> 16) & 0x000000FF000000FFu) * (1 + (10000ull << 32)))) >> 32;
    return static_cast<uint32_t>(d);
}

inline constexpr uint32_t kPowers[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};
inline constexpr double kExact[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8};

// Bit i set when p[i] is no decimal digit, for the sixteen characters at p.
inline uint32_t NonDigits16(const char* p) {
#if defined(__SSE2__)
    const __m128i d = _mm_sub_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), _mm_set1_epi8('0'));
    const __m128i digit = _mm_cmpeq_epi8(_mm_min_epu8(d, _mm_set1_epi8(9)), d);
    return ~static_cast<uint32_t>(_mm_movemask_epi8(digit)) & 0xFFFFu;
#else
    uint32_t bits = 0;
    for (int i = 0; i < 16; ++i) bits |= uint32_t(static_cast<unsigned>(p[i] - '0') >= 10) << i;
    return bits;
#endif
}

// Powers of ten that a float holds exactly.
inline constexpr float kTens[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f, 1e10f};

}  // namespace plain

// Decimal digits only, at most 19 (no sign, no base).
[[gnu::always_inline]] inline const char* ReadPlainDigits(const char* p, const char* end, uint64_t& out) {
    if (end - p >= 16) {
        const int n = std::countr_zero(plain::NonDigits16(p) | 0x10000u);
        if (n == 0) return nullptr;
        if (n <= 8) {
            out = plain::DigitsValue(plain::Load8(p), n);
            return p + n;
        }
    }
    const char* const start = p;
    uint64_t v = 0;
    while (p != end && static_cast<unsigned>(*p - '0') < 10) {
        if (p - start == 19) return nullptr;
        v = v * 10 + static_cast<unsigned>(*p++ - '0');
    }
    if (p == start) return nullptr;
    out = v;
    return p;
}

namespace plain {

// The length of the decimal at p (after its sign) when it has one to seven
// digits before an optional point and one to eight after it, and its value
// in out; 0 for any other form. Reads 17 bytes from p.
[[gnu::always_inline]] inline int Decimal(const char* p, bool minus, float& out) {
    const uint32_t other = NonDigits16(p) | 0x10000u;
    const int whole = std::countr_zero(other);
    const bool dot = p[whole] == '.';
    const int decimals = dot ? std::countr_zero(other >> (whole + 1)) : 0;
    if (static_cast<unsigned>(whole - 1) >= 7u || static_cast<unsigned>(decimals - int(dot)) >= 8u) return 0;
    const uint64_t x = Load8(p);
    uint64_t m;
    if (whole + decimals <= 8) {
        // The digits on both sides of the point as one run of them.
        const uint64_t keep = ~uint64_t(0) >> (64 - 8 * whole);
        m = DigitsValue((x & keep) | (Load8(p + 1) & ~keep), whole + decimals);
    } else {
        m = uint64_t(DigitsValue(x, whole)) * kPowers[decimals] + DigitsValue(Load8(p + whole + 1), decimals);
    }
    const float v = static_cast<float>(static_cast<double>(static_cast<int64_t>(m)) / kExact[decimals]);
    out = std::bit_cast<float>(std::bit_cast<uint32_t>(v) | uint32_t(minus) << 31);
    return whole + int(dot) + decimals;
}

}  // namespace plain

// An optional '-', digits, and an optional point followed by digits.
//
// Up to seven digits before the point and eight after are read with one
// test of their form: the value is m / 10^n with m below 10^15 and n at most
// 8, and the quotient in double precision rounds to the float the decimal
// itself rounds to. (Such a value below 2^24 that is no halfway point
// between two floats lies more than 2^-52 of itself from every one: a
// halfway point is k / 2^e with k below 2^25 and e >= 0, and the gap is at
// least 1 / (k 10^n). The double is within 2^-53 of the value.)
//
// Longer forms are read when their digits make a whole number below 2^24
// with at most ten of them after the point: the quotient of two floats that
// hold their values exactly, which one division rounds correctly.
[[gnu::always_inline]] inline const char* ReadPlainFloat(const char* p, const char* end, float& out) {
    const bool minus = p != end && *p == '-';
    p += minus;
    if (end - p >= 17) {
        if (const int n = plain::Decimal(p, minus, out)) return p + n;
    } else {
        // Near the end of the text: the same form read from a copy.
        char copy[17] = {};
        std::memcpy(copy, p, size_t(end - p));
        if (const int n = plain::Decimal(copy, minus, out)) return p + n;
    }
    uint64_t m = 0;
    ptrdiff_t decimals = 0;
    const char* const start = p;
    while (p != end && static_cast<unsigned>(*p - '0') < 10) {
        m = m * 10 + static_cast<unsigned>(*p++ - '0');
        if (m >= (1u << 24)) return nullptr;
    }
    if (p == start) return nullptr;
    if (p != end && *p == '.') {
        const char* const point = ++p;
        while (p != end && static_cast<unsigned>(*p - '0') < 10) {
            m = m * 10 + static_cast<unsigned>(*p++ - '0');
            if (m >= (1u << 24)) return nullptr;
        }
        decimals = p - point;
        if (decimals == 0 || decimals > 10) return nullptr;
    }
    const float v = static_cast<float>(static_cast<uint32_t>(m)) / plain::kTens[decimals];
    out = std::bit_cast<float>(std::bit_cast<uint32_t>(v) | uint32_t(minus) << 31);
    return p;
}

}  // namespace format
