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
#pragma once

#include <cstdint>
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

}  // namespace format
