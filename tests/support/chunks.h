// Chunk bytes and chunk trees built by hand for the tests: little-endian
// values, texts, encoded chunks, trees of chunk objects, and the way back
// and forth between bytes and trees.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "format/bytes.h"
#include "mesh/chunk.h"

namespace testsupport {

using Bytes = std::vector<uint8_t>;

// ---- Values ------------------------------------------------------------------

// Little-endian values, written by the format's one writer.
template <class T, void (format::Writer::*Put)(T)>
Bytes Values(std::initializer_list<T> v) {
    Bytes b;
    format::Writer w(b);
    for (T x : v) (w.*Put)(x);
    return b;
}
inline Bytes I32s(std::initializer_list<int32_t> v) { return Values<int32_t, &format::Writer::I32>(v); }
inline Bytes U32s(std::initializer_list<uint32_t> v) { return Values<uint32_t, &format::Writer::U32>(v); }
inline Bytes U16s(std::initializer_list<uint16_t> v) { return Values<uint16_t, &format::Writer::U16>(v); }
inline Bytes F32s(std::initializer_list<float> v) { return Values<float, &format::Writer::F32>(v); }

// The characters of s, nothing added.
inline Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// s, a terminating zero, and zeros up to a multiple of four: how names and
// other texts are stored.
inline Bytes Str(const std::string& s) {
    Bytes b(s.begin(), s.end());
    do b.push_back(0);
    while (b.size() % 4);
    return b;
}

inline Bytes Zeros(size_t n) { return Bytes(n, 0); }

inline Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// ---- Encoded chunks ------------------------------------------------------------

// name (its first four bytes, as given), the size field and the payload. The
// size is the payload's length unless given (a wrong size makes a damaged
// chunk on purpose).
inline Bytes Ck(const std::string& name, const Bytes& payload) {
    return Cat({Text(name), I32s({static_cast<int32_t>(payload.size())}), payload});
}
inline Bytes Ck(const std::string& name, const Bytes& payload, int32_t size) {
    return Cat({Text(name), I32s({size}), payload});
}

// ---- Trees of chunk objects ------------------------------------------------------

inline mesh::chunkptr Node(const std::string& name, std::initializer_list<mesh::chunkptr> kids) {
    mesh::chunkptr c = mesh::chunk::Create(name);
    for (const mesh::chunkptr& k : kids) c->AppendKid(k);
    return c;
}

inline mesh::chunkptr Leaf(const std::string& name, Bytes data) {
    mesh::chunkptr c = mesh::chunk::Create(name);
    c->setdata(std::move(data));
    return c;
}

// The container-name list the product ships (mdata/format.txt), read once.
const mesh::namelist& Containers();

// Bytes into a tree, as reading a file does.
inline mesh::chunkptr Parse(const Bytes& b, const mesh::namelist& list = Containers()) {
    return mesh::chunk::GetChunk(b, 0, list, nullptr);
}

// A tree into the bytes saving writes (sizes rebuilt first).
inline Bytes Encode(const mesh::chunkptr& root, int recognizematl = 1) {
    root->Update(recognizematl);
    Bytes out;
    root->save(out, recognizematl);
    return out;
}

// ---- A small mesh -------------------------------------------------------------

inline Bytes Matd(const std::string& name) {
    return Ck("MATD", Cat({Ck("NAME", Str(name)), Ck("DATA", Zeros(52)), Ck("ATRB", Zeros(4)), Ck("TX0D", Str("tex.tga"))}));
}

inline Bytes Segm(int verts) {
    Bytes posl = I32s({verts});
    posl.resize(4 + 12 * verts, 7);
    return Ck("SEGM", Cat({Ck("MATI", I32s({0})), Ck("POSL", posl), Ck("NRML", posl), Ck("STRP", I32s({1, 2, 3}))}));
}

inline Bytes Modl(const std::string& name, const std::string& prnt = "") {
    Bytes body = Cat({Ck("MTYP", I32s({0})), Ck("MNDX", I32s({1})), Ck("NAME", Str(name))});
    if (!prnt.empty()) body = Cat({body, Ck("PRNT", Str(prnt))});
    body = Cat({body, Ck("TRAN", Zeros(40)), Ck("GEOM", Cat({Ck("BBOX", Zeros(44)), Segm(2), Segm(3)}))});
    return Ck("MODL", body);
}

// HEDR { MSH2 { SINF, MATL(2 MATD), MODL root, MODL child }, CL1L }
inline Bytes Mesh() {
    Bytes matl = Cat({I32s({2}), Matd("one"), Matd("two")});
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

}  // namespace testsupport
