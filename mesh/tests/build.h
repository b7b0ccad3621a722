// Helpers for the mesh tests: chunk encodings built by hand, and a small
// well-formed mesh.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "mesh/chunk.h"

namespace meshtest {

using Bytes = std::vector<uint8_t>;

inline void Int(Bytes& b, int32_t v) {
    uint32_t u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(u >> (8 * i)));
}

inline Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

inline Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

constexpr int64_t kPayload = INT64_MIN;

// name, size (the payload's length unless given), payload.
inline Bytes Ck(const std::string& name, const Bytes& payload, int64_t size = kPayload) {
    Bytes b(name.begin(), name.end());
    Int(b, static_cast<int32_t>(size == kPayload ? static_cast<int64_t>(payload.size()) : size));
    b.insert(b.end(), payload.begin(), payload.end());
    return b;
}

inline Bytes Ints(std::initializer_list<int32_t> v) {
    Bytes b;
    for (int32_t x : v) Int(b, x);
    return b;
}

inline Bytes Zeros(size_t n) { return Bytes(n, 0); }

// A null-terminated text padded with zeros to a multiple of four.
inline Bytes Str(const std::string& s) {
    Bytes b(s.begin(), s.end());
    b.push_back(0);
    while (b.size() % 4) b.push_back(0);
    return b;
}

inline const mesh::namelist& List() {
    static const mesh::namelist list = {"MSH2", "SHVO", "SINF", "NAME", "MTYP", "BBOX", "MATI", "SHDW", "CTEX", "CYCL"};
    return list;
}

inline Bytes Matd(const std::string& name) {
    return Ck("MATD", Cat({Ck("NAME", Str(name)), Ck("DATA", Zeros(52)), Ck("ATRB", Zeros(4)), Ck("TX0D", Str("tex.tga"))}));
}

inline Bytes Segm(int verts) {
    Bytes posl = Ints({verts});
    posl.resize(4 + 12 * verts, 7);
    return Ck("SEGM", Cat({Ck("MATI", Ints({0})), Ck("POSL", posl), Ck("NRML", posl), Ck("STRP", Ints({1, 2, 3}))}));
}

inline Bytes Modl(const std::string& name, const std::string& prnt = "") {
    Bytes body = Cat({Ck("MTYP", Ints({0})), Ck("MNDX", Ints({1})), Ck("NAME", Str(name))});
    if (!prnt.empty()) body = Cat({body, Ck("PRNT", Str(prnt))});
    body = Cat({body, Ck("TRAN", Zeros(40)), Ck("GEOM", Cat({Ck("BBOX", Zeros(44)), Segm(2), Segm(3)}))});
    return Ck("MODL", body);
}

// HEDR { MSH2 { SINF, MATL(2 MATD), MODL root, MODL child }, CL1L }
inline Bytes Mesh() {
    Bytes matl = Cat({Ints({2}), Matd("one"), Matd("two")});
    Bytes msh2 = Cat({Ck("SINF", Cat({Ck("NAME", Str("scene")), Ck("FRAM", Zeros(12)), Ck("BBOX", Zeros(44))})),
                      Ck("MATL", matl), Modl("root"), Modl("child", "root")});
    return Ck("HEDR", Cat({Ck("MSH2", msh2), Ck("CL1L", {})}));
}

inline Bytes Saved(const mesh::chunkptr& c, int matl) {
    Bytes out;
    c->save(out, matl);
    return out;
}

inline Bytes DataOf(const mesh::chunkptr& c) {
    auto d = c->data();
    return Bytes(d.begin(), d.end());
}

inline mesh::chunkptr Parse(const Bytes& b, const mesh::namelist& list = List()) {
    return mesh::chunk::GetChunk(b, 0, list, nullptr);
}

}  // namespace meshtest
