// The header of a TGA file, read as the texture build reads it: what keeps
// the build from taking the file, or the game from using the texture. Only
// the 18 bytes of the header and the file's size are needed; the pixels are
// never read (an image decoder takes files the build refuses).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "check/rules.h"

namespace check {

inline constexpr size_t kTgaHeader = 18;

struct TgaProblem {
    const char* rule;  // tga-format or tga-size
    Severity severity;
    std::string message;
};

// What the texture's option file (NAME.tga.option) makes of the image: a
// plain texture, a cube map (-cubemap: six faces laid out 4 x 3) or a volume
// (-volume: slices stacked in its height).
enum class TgaShape : uint8_t { plain, cube, volume };
TgaShape ShapeFromOptions(std::string_view text);

// The problems of a TGA file from its first bytes (up to kTgaHeader of them)
// and its size in bytes.
std::vector<TgaProblem> CheckTgaHeader(std::span<const uint8_t> head, int64_t filesize,
                                       TgaShape shape = TgaShape::plain);

}  // namespace check
