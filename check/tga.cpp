// The TGA header: its image type, colour map, pixel depth and sides.
//
//   0 id length   1 colour map type   2 image type   3-7 colour map layout (first index, length, entry size)
//   8-11 origin   12-13 width         14-15 height   16 pixel depth
//   17 descriptor (alpha bits 0-3, order bits 4-5, interleaving bits 6-7)
#include "check/tga.h"

#include <bit>

#include "check/checker.h"
#include "format/bytes.h"

namespace check {

namespace {

constexpr uint32_t kMostSide = 4096;

std::string Num(int64_t v) { return std::to_string(v); }

}  // namespace

TgaShape ShapeFromOptions(std::string_view text) {
    // Options are words; "-cubemap" and "-volume" take no argument.
    TgaShape shape = TgaShape::plain;
    size_t at = 0;
    while (at < text.size()) {
        while (at < text.size() && static_cast<unsigned char>(text[at]) <= ' ') ++at;
        size_t end = at;
        while (end < text.size() && static_cast<unsigned char>(text[end]) > ' ') ++end;
        const std::string_view word = text.substr(at, end - at);
        if (detail::EqualNoCase(word, "-cubemap")) shape = TgaShape::cube;
        if (detail::EqualNoCase(word, "-volume")) shape = TgaShape::volume;
        at = end;
    }
    return shape;
}

std::vector<TgaProblem> CheckTgaHeader(std::span<const uint8_t> head, int64_t filesize, TgaShape shape) {
    std::vector<TgaProblem> out;
    auto format = [&](std::string message) { out.push_back({"tga-format", Severity::error, std::move(message)}); };
    if (head.size() < kTgaHeader || filesize < int64_t(kTgaHeader)) {
        format("the file has " + Num(filesize) + " bytes, fewer than the 18 of a TGA header");
        return out;
    }
    const uint8_t idlength = head[0], maptype = head[1], type = head[2];
    const uint32_t maplength = format::LoadU16(&head[5]), mapbits = head[7];
    const uint32_t width = format::LoadU16(&head[12]), height = format::LoadU16(&head[14]);
    const uint32_t depth = head[16], descriptor = head[17];

    if (type == 9 || type == 10 || type == 11)
        format("the pixels are run-length compressed (image type " + Num(type) + "); the build reads only uncompressed ones");
    if (type == 1 || type == 9 || maptype != 0)
        format("the image is colour-mapped (image type " + Num(type) + ", colour map type " + Num(maptype) +
               "); the build reads true-colour and greyscale pixels only");
    if (type != 1 && type != 2 && type != 3 && type != 9 && type != 10 && type != 11)
        format("image type " + Num(type) + " is none the build reads (2 true colour, 3 greyscale)");
    const bool truecolour = type == 2 || type == 10, grey = type == 3 || type == 11;
    if ((truecolour && depth != 16 && depth != 24 && depth != 32) || (grey && depth != 8))
        format(Num(depth) + " bits a pixel: the build reads " + (grey ? "8 for greyscale" : "16, 24 or 32 for true colour"));
    if (descriptor & 0xC0) format("the rows are interleaved (descriptor bits 6-7), which the build does not read");
    if (width == 0 || height == 0) {
        format("the image is " + Num(width) + " x " + Num(height) + " pixels: it has no pixels");
        return out;
    }
    if (out.empty()) {
        // An uncompressed image: its pixels follow the id and the colour map.
        const int64_t need = int64_t(kTgaHeader) + idlength + int64_t(maplength) * ((mapbits + 7) / 8) +
                             int64_t(width) * height * ((depth + 7) / 8);
        if (filesize < need)
            format("the file ends inside its pixels: " + Num(width) + " x " + Num(height) + " at " + Num(depth) +
                   " bits need " + Num(need) + " bytes, the file has " + Num(filesize));
    }
    if (shape == TgaShape::volume) return out;  // slices of any count; the build checks them against -depth
    uint32_t w = width, h = height;
    const char* what = "the image";
    if (shape == TgaShape::cube) {
        if (width % 4 || height % 3 || width / 4 != height / 3) {
            format("a cube map (-cubemap in its option file) is six square faces laid out 4 x 3; " + Num(width) +
                   " x " + Num(height) + " is not");
            return out;
        }
        w = width / 4, h = height / 3;
        what = "each face of the cube map";
    }
    if (!std::has_single_bit(w) || !std::has_single_bit(h))
        out.push_back({"tga-size", Severity::warning,
                       std::string(what) + " is " + Num(w) + " x " + Num(h) + ": sides that are not powers of two"});
    if (w > kMostSide || h > kMostSide)
        out.push_back({"tga-size", Severity::warning,
                       std::string(what) + " is " + Num(w) + " x " + Num(h) + ", larger than " + Num(kMostSide) +
                           " on a side"});
    return out;
}

}  // namespace check
