// Models with geometry built by hand for the tests: vertex lists, face lists,
// segments, transforms and whole meshes of chunk objects.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/chunks.h"

namespace testsupport {

// count, then the values of a list of 32-bit floats or 16-bit indices.
inline Bytes FloatList(const std::vector<float>& xyz, size_t per) {
    Bytes b = I32s({int32_t(xyz.size() / per)});
    for (float f : xyz) {
        Bytes one = F32s({f});
        b.insert(b.end(), one.begin(), one.end());
    }
    return b;
}
inline Bytes IndexList(const std::vector<uint16_t>& v, size_t per) {
    Bytes b = I32s({int32_t(v.size() / per)});
    for (uint16_t x : v) {
        Bytes one = U16s({x});
        b.insert(b.end(), one.begin(), one.end());
    }
    return b;
}

// A SEGM with its POSL (x, y, z per vertex) and one face list: "NDXT"
// (three indices a triangle), "STRP" (strip indices, the strip-start bit set
// by the caller) or "NDXL" (per polygon its vertex count, then its indices).
inline mesh::chunkptr Segm(const std::vector<float>& xyz, const std::string& faces,
                           const std::vector<uint16_t>& indices) {
    Bytes list;
    if (faces == "NDXT") list = IndexList(indices, 3);
    else if (faces == "STRP") list = IndexList(indices, 1);
    else {  // NDXL: the count of polygons comes first
        int32_t polys = 0;
        for (size_t i = 0; i < indices.size(); i += size_t(indices[i]) + 1) ++polys;
        list = I32s({polys});
        for (uint16_t x : indices) {
            Bytes one = U16s({x});
            list.insert(list.end(), one.begin(), one.end());
        }
    }
    return Node("SEGM", {Leaf("MATI", I32s({0})), Leaf("POSL", FloatList(xyz, 3)), Leaf(faces, list)});
}

// A cube of side `side` centred at the origin, its six faces as twelve
// triangles (NDXT). Vertex i has x from bit 0, y from bit 1, z from bit 2.
inline std::vector<float> CubePoints(float side = 1) {
    std::vector<float> v;
    for (int i = 0; i < 8; ++i)
        for (int b = 0; b < 3; ++b) v.push_back((i >> b & 1 ? 0.5f : -0.5f) * side);
    return v;
}
inline std::vector<uint16_t> CubeTriangles() {
    // Faces by the axis they face and its side; front (+z) comes first.
    static const uint16_t quads[6][4] = {{4, 5, 7, 6}, {0, 2, 3, 1}, {1, 3, 7, 5},
                                         {0, 4, 6, 2}, {2, 6, 7, 3}, {0, 1, 5, 4}};
    std::vector<uint16_t> t;
    for (const auto& q : quads) t.insert(t.end(), {q[0], q[1], q[2], q[0], q[2], q[3]});
    return t;
}

// TRAN: scale, rotation quaternion (x, y, z, w), translation.
inline mesh::chunkptr Tran(float tx, float ty, float tz, std::vector<float> q = {0, 0, 0, 1}, float scale = 1) {
    return Leaf("TRAN", F32s({scale, scale, scale, q[0], q[1], q[2], q[3], tx, ty, tz}));
}

// A MODL: NAME, MTYP, optional PRNT, then the given chunks (a TRAN, FLGS);
// segments go into its GEOM.
inline mesh::chunkptr Modl(const std::string& name, const std::string& parent, int type,
                           std::vector<mesh::chunkptr> extra, std::vector<mesh::chunkptr> segments) {
    mesh::chunkptr m = Node("MODL", {Leaf("MTYP", I32s({type})), Leaf("NAME", Str(name))});
    if (!parent.empty()) m->AppendKid(Leaf("PRNT", Str(parent)));
    for (const mesh::chunkptr& c : extra) m->AppendKid(c);
    if (!segments.empty()) {
        // A GEOM opens with its BBOX, as in real files; that is how a reader
        // knows it for a container.
        mesh::chunkptr geom = Node("GEOM", {Leaf("BBOX", Zeros(44))});
        for (const mesh::chunkptr& s : segments) geom->AppendKid(s);
        m->AppendKid(geom);
    }
    return m;
}

// HEDR / MSH2 / SINF and the models.
inline mesh::chunkptr Mesh(std::vector<mesh::chunkptr> models) {
    mesh::chunkptr msh2 = Node("MSH2", {Node("SINF", {Leaf("NAME", Str("test"))})});
    for (const mesh::chunkptr& m : models) msh2->AppendKid(m);
    return Node("HEDR", {msh2});
}

}  // namespace testsupport
