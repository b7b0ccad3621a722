// Materials and textures for the tests: MATD chunks, a mesh that holds a
// MATL, and tiny TGA files written byte by byte.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/models.h"

namespace testsupport {

// A TGA header: uncompressed true colour, width x height at bpp bits; rows
// from the top unless bottomup.
inline Bytes TgaHeader(int width, int height, int bpp, bool bottomup = false) {
    Bytes b(18, 0);
    b[2] = 2;
    b[12] = uint8_t(width), b[13] = uint8_t(width >> 8);
    b[14] = uint8_t(height), b[15] = uint8_t(height >> 8);
    b[16] = uint8_t(bpp);
    b[17] = uint8_t((bpp == 32 ? 8 : 0) | (bottomup ? 0 : 0x20));
    return b;
}

// Texels 0xAARRGGBB in the order of the rows as stored.
inline Bytes Tga(int width, int height, const std::vector<uint32_t>& texels, bool bottomup = false) {
    Bytes b = TgaHeader(width, height, 32, bottomup);
    for (uint32_t t : texels) b.insert(b.end(), {uint8_t(t), uint8_t(t >> 8), uint8_t(t >> 16), uint8_t(t >> 24)});
    return b;
}
inline Bytes Tga24(int width, int height, const std::vector<uint32_t>& texels) {
    Bytes b = TgaHeader(width, height, 24);
    for (uint32_t t : texels) b.insert(b.end(), {uint8_t(t), uint8_t(t >> 8), uint8_t(t >> 16)});
    return b;
}

// A MATD: its name, diffuse colour, ATRB flags and render type, TX0D.
inline mesh::chunkptr Matd(const std::string& name, const std::string& texture,
                           std::vector<float> diffuse = {1, 1, 1, 1}, uint8_t flags = 0, uint8_t render = 0) {
    mesh::chunkptr m = Node("MATD", {Leaf("NAME", Str(name))});
    Bytes data;
    for (float f : diffuse) {
        Bytes one = F32s({f});
        data.insert(data.end(), one.begin(), one.end());
    }
    Bytes rest = F32s({1, 1, 1, 1, 0, 0, 0, 1, 20});
    data.insert(data.end(), rest.begin(), rest.end());
    m->AppendKid(Leaf("DATA", data));
    m->AppendKid(Leaf("ATRB", Bytes{flags, render, 0, 0}));
    if (!texture.empty()) m->AppendKid(Leaf("TX0D", Str(texture)));
    return m;
}

// HEDR / MSH2 / SINF, a MATL of the materials, then the models.
inline mesh::chunkptr MaterialMesh(std::vector<mesh::chunkptr> materials, std::vector<mesh::chunkptr> models) {
    mesh::chunkptr matl = Node("MATL", {});
    for (const mesh::chunkptr& m : materials) matl->AppendKid(m);
    mesh::chunkptr msh2 = Node("MSH2", {Node("SINF", {Leaf("NAME", Str("test"))}), matl});
    for (const mesh::chunkptr& m : models) msh2->AppendKid(m);
    return Node("HEDR", {msh2});
}

}  // namespace testsupport
