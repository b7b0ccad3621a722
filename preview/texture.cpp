#include "preview/texture.h"

#include <stb/stb_image.h>

#include <climits>
#include <map>
#include <new>

#include "files/files.h"
#include "mesh/texture_lookup.h"

namespace preview {

bool DecodeTga(std::span<const uint8_t> bytes, Texture& out, std::string& why) {
    if (bytes.size() > size_t(INT_MAX)) {
        why = "file too large";
        return false;
    }
    const auto* data = reinterpret_cast<const stbi_uc*>(bytes.data());
    const int len = int(bytes.size());
    // The header's sizes are checked before the decoder allocates for them.
    int w = 0, h = 0, comp = 0;
    if (!stbi_info_from_memory(data, len, &w, &h, &comp)) {
        why = std::string("not an image the decoder reads (") + stbi_failure_reason() + ")";
        return false;
    }
    if (w <= 0 || h <= 0 || w > kMaxTextureSide || h > kMaxTextureSide) {
        why = "its size " + std::to_string(w) + " x " + std::to_string(h) + " is beyond " +
              std::to_string(kMaxTextureSide) + " a side";
        return false;
    }
    // An uncompressed TGA (types 1 to 3) must hold every texel: the decoder
    // would take the missing ones as zeros.
    if (bytes.size() >= 18 && bytes[2] >= 1 && bytes[2] <= 3) {
        const size_t map = bytes[1] ? size_t(bytes[5] | bytes[6] << 8) * ((size_t(bytes[7]) + 7) / 8) : 0;
        const size_t need = 18 + bytes[0] + map + size_t(w) * size_t(h) * ((size_t(bytes[16]) + 7) / 8);
        if (bytes.size() < need) {
            why = "the file ends inside its texels (" + std::to_string(bytes.size()) + " of " +
                  std::to_string(need) + " bytes)";
            return false;
        }
    }
    stbi_uc* rgba = stbi_load_from_memory(data, len, &w, &h, &comp, 4);
    if (!rgba) {
        const std::string reason = stbi_failure_reason();
        why = reason == "outofmem" ? "Out of memory" : "cannot be decoded (" + reason + ")";
        return false;
    }
    try {
        out.texels.resize(size_t(w) * size_t(h));
    } catch (const std::bad_alloc&) {
        stbi_image_free(rgba);
        why = "Out of memory";
        return false;
    }
    for (size_t i = 0; i < out.texels.size(); ++i) {
        const stbi_uc* p = rgba + 4 * i;
        out.texels[i] = uint32_t(p[3]) << 24 | uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
    }
    stbi_image_free(rgba);
    out.width = w, out.height = h;
    return true;
}

const Texture* Textures::ForSegment(const Geometry& g, size_t segment, bool& lost) const {
    lost = false;
    if (segment >= g.segments.size()) return nullptr;
    const Segment& s = g.segments[segment];
    int at = -1;
    if (segment < cloth.size() && cloth[segment] != -1) at = cloth[segment];
    else if (s.material >= 0 && size_t(s.material) < material.size()) at = material[size_t(s.material)];
    lost = at == -2;
    return at >= 0 && size_t(at) < images.size() ? &images[size_t(at)] : nullptr;
}

Textures LoadTextures(const Geometry& g, const std::string& meshPath, const std::vector<std::string>& extra) {
    Textures t;
    std::map<std::string, int> byname;  // a name met before: its index or -2
    auto load = [&](const std::string& name) -> int {
        if (name.empty()) return -1;
        auto it = byname.find(name);
        if (it != byname.end()) return it->second;
        std::string why;
        int index = -2;
        const std::string path = mesh::FindTexture(meshPath, name, extra);
        std::vector<uint8_t> bytes;
        Texture image;
        if (path.empty()) {
            why = "not found";
        } else if (!host::ReadWholeFile(path, kMaxTextureFile, bytes, &why)) {
        } else if (DecodeTga(bytes, image, why)) {
            index = int(t.images.size());
            t.images.push_back(std::move(image));
        }
        if (index == -2) t.missing.push_back({name, why});
        byname.emplace(name, index);
        return index;
    };
    for (const Material& m : g.materials) t.material.push_back(load(m.texture));
    t.cloth.assign(g.segments.size(), -1);
    for (size_t i = 0; i < g.segments.size(); ++i)
        if (!g.segments[i].texture.empty()) t.cloth[i] = load(g.segments[i].texture);
    return t;
}

}  // namespace preview
