// The hash the game's tools give a bone name (BLN2, SKL2 and KFR3 name
// bones by it): CRC-32 with the polynomial 0x04C11DB7, most significant bit
// first, from all ones, inverted at the end, of the name in lower case.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace format {

namespace detail {
constexpr std::array<uint32_t, 256> CrcTable() {
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i << 24;
        for (int b = 0; b < 8; ++b) c = (c & 0x80000000u) ? (c << 1) ^ 0x04C11DB7u : c << 1;
        t[i] = c;
    }
    return t;
}
inline constexpr std::array<uint32_t, 256> kCrcTable = CrcTable();
}  // namespace detail

constexpr uint32_t NameCrc(std::string_view name) {
    uint32_t h = 0xFFFFFFFFu;
    for (char ch : name) {
        uint8_t c = uint8_t(ch);
        if (c >= 'A' && c <= 'Z') c = uint8_t(c + 32);
        h = h << 8 ^ detail::kCrcTable[(h >> 24) ^ c];
    }
    return ~h;
}

}  // namespace format
