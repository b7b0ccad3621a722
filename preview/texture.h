// The textures of a mesh's materials: each material's TX0D (a cloth's CTEX)
// found as the game's build finds it (mesh/texture_lookup.h) and decoded
// from TGA. A texture that cannot be found or read is listed with the
// reason, and its surfaces take the missing colour.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "preview/geometry.h"

namespace preview {

// Texels 0xAARRGGBB row by row from the top-left.
struct Texture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> texels;
};

// The largest side a texture may have, and the most bytes a TGA file may
// take; both are checked before anything is allocated for it.
inline constexpr int kMaxTextureSide = 8192;
inline constexpr int64_t kMaxTextureFile = int64_t(1) << 28;

// Decodes a TGA file's bytes. False with the reason in why.
bool DecodeTga(std::span<const uint8_t> bytes, Texture& out, std::string& why);

struct Missing {
    std::string name;  // as the material names it
    std::string why;   // "not found", or why it could not be read
};

struct Textures {
    // Per material of the geometry, then per segment named by a cloth's
    // CTEX: an index into images, -1 for none (no name) and -2 for one that
    // is missing.
    std::vector<int> material;
    std::vector<int> cloth;
    std::vector<Texture> images;
    std::vector<Missing> missing;  // each name once, in the order met
    const Texture* ForSegment(const Geometry& g, size_t segment, bool& lost) const;
};

// Looks up and reads every texture the geometry names, each file once.
// meshPath: the mesh's file ("" for none: then only extra is searched);
// extra: the folders given besides the mesh's own.
Textures LoadTextures(const Geometry& g, const std::string& meshPath, const std::vector<std::string>& extra);

}  // namespace preview
