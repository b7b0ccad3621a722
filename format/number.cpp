// The one reader of typed numbers.
#include "format/number.h"

#include <charconv>
#include <cmath>
#include <string>

namespace format {

namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Where the digits of a float's form start (after its sign), or npos when s
// (trimmed) has no such form.
size_t FloatForm(std::string_view s) {
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    const size_t start = i;
    bool digits = false;
    while (i < s.size() && IsDigit(s[i])) ++i, digits = true;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && IsDigit(s[i])) ++i, digits = true;
    }
    if (!digits) return std::string_view::npos;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
        bool exp = false;
        while (i < s.size() && IsDigit(s[i])) ++i, exp = true;
        if (!exp) return std::string_view::npos;
    }
    return i == s.size() ? start : std::string_view::npos;
}

}  // namespace

bool ReadInteger(std::string_view text, Integer& out) {
    std::string_view s = Trim(text);
    uint64_t plain = 0;
    if (!s.empty() && ReadPlainDigits(s.data(), s.data() + s.size(), plain) == s.data() + s.size()) {
        out = Integer{false, 10, plain};
        return true;
    }
    Integer v;
    if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
        v.negative = s[0] == '-';
        s.remove_prefix(1);
    }
    if (!s.empty() && s[0] == '$') {
        v.base = 16;
        s.remove_prefix(1);
    } else if (!s.empty() && s[0] == '%') {
        v.base = 2;
        s.remove_prefix(1);
    }
    // from_chars takes no sign of its own here: "+-5" and "$-5" are refused.
    if (s.empty() || s[0] == '-' || s[0] == '+') return false;
    const char* last = s.data() + s.size();
    auto [ptr, ec] = std::from_chars(s.data(), last, v.magnitude, v.base);
    if (ec != std::errc() || ptr != last) return false;
    out = v;
    return true;
}

bool FitInteger(const Integer& v, int bytes, Signedness sign, uint64_t& bits) {
    if (bytes < 1 || bytes > 8) return false;
    const int nbits = 8 * bytes;
    const uint64_t umax = nbits == 64 ? ~uint64_t(0) : (uint64_t(1) << nbits) - 1;
    const uint64_t half = uint64_t(1) << (nbits - 1);  // the magnitude of the lowest signed value
    if (v.negative) {
        if (v.magnitude == 0) {
            bits = 0;
            return true;
        }
        if (sign == Signedness::Unsigned || v.magnitude > half) return false;
        bits = (uint64_t(0) - v.magnitude) & umax;
        return true;
    }
    const bool pattern = v.base != 10;
    const uint64_t max = sign == Signedness::Signed && !pattern ? half - 1 : umax;
    if (v.magnitude > max) return false;
    bits = v.magnitude;
    return true;
}

bool ReadFloat(std::string_view text, float& out) {
    std::string_view s = Trim(text);
    float plain = 0;
    if (!s.empty() && ReadPlainFloat(s.data(), s.data() + s.size(), plain) == s.data() + s.size()) {
        out = plain;
        return true;
    }
    const size_t start = FloatForm(s);
    if (start == std::string_view::npos) return false;
    // from_chars rounds once, straight to single precision, and takes no '+'.
    float f = 0;
    auto [ptr, ec] = std::from_chars(s.data() + start, s.data() + s.size(), f);
    if (ec != std::errc() || ptr != s.data() + s.size() || !std::isfinite(f)) return false;
    out = start > 0 && s[0] == '-' ? -f : f;
    return true;
}

std::string_view FloatOutOfRange(std::string_view text) {
    const std::string_view s = Trim(text);
    float f = 0;
    const size_t start = FloatForm(s);
    if (start == std::string_view::npos || ReadFloat(s, f)) return {};
    // Its size in double precision; beyond even that, the exponent's sign.
    double d = 0;
    const auto [ptr, ec] = std::from_chars(s.data() + start, s.data() + s.size(), d);
    const bool small = ec == std::errc() ? std::fabs(d) < 1 : s.find("e-") != s.npos || s.find("E-") != s.npos;
    return small ? "below the smallest float (1.4e-45)" : "beyond the largest float (3.4e38)";
}

}  // namespace format
