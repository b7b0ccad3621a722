// Reading UTF-8: the window system's typed text and clipboard, names in a
// mesh that may be written so.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace host {

// The code point of the UTF-8 sequence at s[at], and at moved past it; -1 for
// a byte that starts no valid sequence (a stray continuation byte, a
// sequence cut short, an overlong form, a surrogate, past U+10FFFF), with at
// moved past that one byte.
inline int32_t NextCodePoint(std::string_view s, size_t& at) {
    const auto b = [&](size_t i) { return static_cast<uint8_t>(s[i]); };
    const uint8_t c = b(at++);
    if (c < 0x80) return c;
    const int more = (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
    if (more < 0 || at + size_t(more) > s.size()) return -1;
    int32_t v = c & (0x3F >> more);
    for (int k = 0; k < more; ++k) {
        if ((b(at + size_t(k)) & 0xC0) != 0x80) return -1;
        v = (v << 6) | (b(at + size_t(k)) & 0x3F);
    }
    static constexpr int32_t kLeast[4] = {0, 0x80, 0x800, 0x10000};
    if (v < kLeast[more] || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) return -1;
    at += size_t(more);
    return v;
}

// Whether all of s is valid UTF-8.
inline bool IsUtf8(std::string_view s) {
    for (size_t at = 0; at < s.size();)
        if (NextCodePoint(s, at) < 0) return false;
    return true;
}

}  // namespace host
