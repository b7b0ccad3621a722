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

// The number of digits x (eight characters) begins with.
inline int LeadingDigits(uint64_t x) {
    // A byte is a digit when its high nibble is 3 and stays 3 with 6 added;
    // a carry out of a byte comes only from one that is no digit, and goes
    // into a later one.
    const uint64_t y = (x & 0xF0F0F0F0F0F0F0F0u) | (((x + 0x0606060606060606u) & 0xF0F0F0F0F0F0F0F0u) >> 4);
    const uint64_t z = y ^ 0x3333333333333333u;  // a byte not zero: no digit
    const uint64_t other = (((z & 0x7F7F7F7F7F7F7F7Fu) + 0x7F7F7F7F7F7F7F7Fu) | z) & 0x8080808080808080u;
    return other ? std::countr_zero(other) >> 3 : 8;
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

inline constexpr uint32_t kPowers[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000};
// Powers of ten that a float holds exactly.
inline constexpr float kTens[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f, 1e10f};

}  // namespace plain

// Decimal digits only, at most 19 (no sign, no base).
[[gnu::always_inline]] inline const char* ReadPlainDigits(const char* p, const char* end, uint64_t& out) {
    if (end - p >= 8) {
        const int n = plain::LeadingDigits(plain::Load8(p));
        if (n == 0) return nullptr;
        if (n < 8) {
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

// An optional '-', digits, and an optional point followed by digits, whose
// digits make a whole number below 2^24 with at most ten of them after the
// point: the value is then the quotient of two floats that hold their values
// exactly, which one division rounds correctly, as the full reader does.
[[gnu::always_inline]] inline const char* ReadPlainFloat(const char* p, const char* end, float& out) {
    const bool minus = p != end && *p == '-';
    p += minus;
    uint64_t m = 0;
    ptrdiff_t decimals = 0;
    if (end - p >= 18) {
        // Up to seven digits before the point and seven after, without a
        // loop over them; longer runs take the loop below.
        const uint64_t x = plain::Load8(p);
        const int whole = plain::LeadingDigits(x);
        if (whole == 0) return nullptr;
        if (whole < 8) {
            m = plain::DigitsValue(x, whole);
            const char* q = p + whole;
            int n = 0;
            if (*q == '.') {
                const uint64_t y = plain::Load8(q + 1);
                n = plain::LeadingDigits(y);
                if (n == 0) return nullptr;
                if (n < 8) m = m * plain::kPowers[n] + plain::DigitsValue(y, n);
                q += 1 + n;
            }
            if (n < 8) {
                if (m >= (1u << 24)) return nullptr;
                const float v = static_cast<float>(static_cast<uint32_t>(m)) / plain::kTens[n];
                out = std::bit_cast<float>(std::bit_cast<uint32_t>(v) | uint32_t(minus) << 31);
                return q;
            }
            m = 0;
        }
    }
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
