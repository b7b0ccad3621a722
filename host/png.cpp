// PNG reading and writing through libpng's simplified interface.
#include <png.h>

#include <cstring>

#include "host/host.h"

namespace host {

bool LoadPng(const std::string& path, PixelBuffer& out) {
    out = PixelBuffer{};
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, NativePath(path).c_str())) return false;
    // BGRA bytes in memory are 0xAARRGGBB words on a little-endian machine;
    // build the words byte by byte so the result does not depend on that.
    image.format = PNG_FORMAT_RGBA;
    if (image.width == 0 || image.height == 0 || image.width > 16384 || image.height > 16384) {
        png_image_free(&image);
        return false;
    }
    std::vector<uint8_t> rgba(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr)) {
        png_image_free(&image);
        return false;
    }
    out.width = static_cast<int>(image.width);
    out.height = static_cast<int>(image.height);
    out.pixels.resize(static_cast<size_t>(out.width) * out.height);
    for (size_t i = 0; i < out.pixels.size(); i++) {
        const uint8_t* p = &rgba[i * 4];
        out.pixels[i] = (uint32_t(p[3]) << 24) | (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
    }
    return true;
}

namespace {

std::vector<uint8_t> Rgba(const PixelBuffer& pixels) {
    std::vector<uint8_t> rgba(pixels.pixels.size() * 4);
    for (size_t i = 0; i < pixels.pixels.size(); i++) {
        uint32_t v = pixels.pixels[i];
        rgba[i * 4 + 0] = uint8_t(v >> 16);
        rgba[i * 4 + 1] = uint8_t(v >> 8);
        rgba[i * 4 + 2] = uint8_t(v);
        rgba[i * 4 + 3] = uint8_t(v >> 24);
    }
    return rgba;
}

}  // namespace

bool EncodePng(const PixelBuffer& pixels, std::vector<uint8_t>& out) {
    out.clear();
    if (pixels.width <= 0 || pixels.height <= 0 ||
        pixels.pixels.size() != size_t(pixels.width) * size_t(pixels.height))
        return false;
    std::vector<uint8_t> rgba = Rgba(pixels);
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(pixels.width);
    image.height = static_cast<png_uint_32>(pixels.height);
    image.format = PNG_FORMAT_RGBA;
    // The first call learns the size, the second writes.
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, rgba.data(), 0, nullptr)) {
        png_image_free(&image);
        return false;
    }
    out.resize(size);
    const bool ok = png_image_write_to_memory(&image, out.data(), &size, 0, rgba.data(), 0, nullptr) != 0;
    png_image_free(&image);
    if (!ok) out.clear();
    else out.resize(size);
    return ok;
}

bool SavePng(const std::string& path, const PixelBuffer& pixels) {
    if (pixels.width <= 0 || pixels.height <= 0) return false;
    std::vector<uint8_t> rgba = Rgba(pixels);
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(pixels.width);
    image.height = static_cast<png_uint_32>(pixels.height);
    image.format = PNG_FORMAT_RGBA;
    bool ok = png_image_write_to_file(&image, NativePath(path).c_str(), 0, rgba.data(), 0, nullptr) != 0;
    png_image_free(&image);
    return ok;
}

}  // namespace host
