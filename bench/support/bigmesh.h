// A realistic large mesh for the measuring programs: a scene header, a
// material list of 16 materials, then 400 models, each with four geometry
// segments holding vertex, normal, texture coordinate and strip lists whose
// length brings the file to the size asked for.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace bigmesh {

class Writer {
public:
    std::vector<uint8_t> b;

    void Int(int32_t v) {
        uint8_t x[4];
        std::memcpy(x, &v, 4);
        b.insert(b.end(), x, x + 4);
    }
    size_t Open(const char* name) {
        for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(name[i]));
        Int(0);
        return b.size();
    }
    void Close(size_t at) {
        const int32_t size = static_cast<int32_t>(b.size() - at);
        std::memcpy(&b[at - 4], &size, 4);
    }
    void Leaf(const char* name, size_t bytes, uint8_t fill) {
        const size_t at = Open(name);
        b.resize(b.size() + bytes, fill);
        Close(at);
    }
    void Text(const char* name, const std::string& t) {
        const size_t at = Open(name);
        b.insert(b.end(), t.begin(), t.end());
        do b.push_back(0);
        while ((b.size() - at) % 4);
        Close(at);
    }
    void List(const char* name, int count, int width) {
        const size_t at = Open(name);
        Int(count);
        for (int i = 0; i < count * width; ++i) b.push_back(static_cast<uint8_t>(i * 31 + count));
        Close(at);
    }
};

inline constexpr int kModels = 400, kSegments = 4;

// The bytes of a mesh of about `target` bytes.
inline std::vector<uint8_t> Make(size_t target) {
    // Bytes per vertex: POSL 12, NRML 12, UV0L 8, STRP about 3.
    const int verts = static_cast<int>(target / (kModels * kSegments) / 35);
    Writer w;
    const size_t hedr = w.Open("HEDR");
    const size_t msh2 = w.Open("MSH2");
    const size_t sinf = w.Open("SINF");
    w.Text("NAME", "large");
    w.Leaf("FRAM", 12, 0);
    w.Leaf("BBOX", 44, 0);
    w.Close(sinf);
    const size_t matl = w.Open("MATL");
    w.Int(16);
    for (int i = 0; i < 16; ++i) {
        const size_t matd = w.Open("MATD");
        w.Text("NAME", "material" + std::to_string(i));
        w.Leaf("DATA", 52, 0);
        w.Leaf("ATRB", 4, 0);
        w.Text("TX0D", "texture" + std::to_string(i) + ".tga");
        w.Close(matd);
    }
    w.Close(matl);
    for (int m = 0; m < kModels; ++m) {
        const size_t modl = w.Open("MODL");
        w.Leaf("MTYP", 4, 0);
        w.Leaf("MNDX", 4, 1);
        w.Text("NAME", "model" + std::to_string(m));
        if (m > 0) w.Text("PRNT", "model0");
        w.Leaf("FLGS", 4, 0);
        w.Leaf("TRAN", 40, 0);
        const size_t geom = w.Open("GEOM");
        w.Leaf("BBOX", 44, 0);
        for (int s = 0; s < kSegments; ++s) {
            const size_t segm = w.Open("SEGM");
            w.Leaf("MATI", 4, 0);
            w.List("POSL", verts, 12);
            w.List("NRML", verts, 12);
            w.List("UV0L", verts, 8);
            w.List("STRP", verts * 3 / 2, 2);
            w.Close(segm);
        }
        w.Close(geom);
        w.Close(modl);
    }
    w.Close(msh2);
    w.Leaf("CL1L", 0, 0);
    w.Close(hedr);
    return std::move(w.b);
}

}  // namespace bigmesh
