// Chunk bytes and chunk trees built by hand for the tests: little-endian
// values, texts, encoded chunks, trees of chunk objects, and the way back
// and forth between bytes and trees.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "mesh/chunk.h"

namespace testsupport {

using Bytes = std::vector<uint8_t>;

// ---- Values ------------------------------------------------------------------

inline Bytes I32s(std::initializer_list<int32_t> v) {
    Bytes b;
    for (int32_t x : v) {
        uint32_t u = static_cast<uint32_t>(x);
        for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(u >> (8 * i)));
    }
    return b;
}

inline Bytes U16s(std::initializer_list<uint16_t> v) {
    Bytes b;
    for (uint16_t x : v) {
        b.push_back(static_cast<uint8_t>(x));
        b.push_back(static_cast<uint8_t>(x >> 8));
    }
    return b;
}

inline Bytes F32s(std::initializer_list<float> v) {
    Bytes b;
    for (float x : v) {
        int32_t u;
        std::memcpy(&u, &x, 4);
        Bytes one = I32s({u});
        b.insert(b.end(), one.begin(), one.end());
    }
    return b;
}

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

// The container-name list shipped in mdata/format.txt.
inline const mesh::namelist& Containers() {
    static const mesh::namelist list = {"MSH2", "SHVO", "SINF", "NAME", "MTYP",
                                        "BBOX", "MATI", "SHDW", "CTEX", "CYCL"};
    return list;
}

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

}  // namespace testsupport
