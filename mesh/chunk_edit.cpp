// Editing chunk data: setting bytes, integers, floats and text, inserting
// and removing bytes in handle mode (inside the leaf reached) and blindly.
#include "mesh/chunk.h"

#include <cstring>
#include <limits>

#include "mesh/chunk_impl.h"

namespace mesh {

int chunk::SetByte(int64_t p, int v, int reread, const namelist& list) {
    if (p < 0 || p >= size) return 0;
    writable()[p] = static_cast<uint8_t>(v & 0xFF);
    if (reread) reparse(list);
    return 0;
}

int chunk::SetInt(int64_t p, int32_t v, const namelist& list) {
    uint32_t u = static_cast<uint32_t>(v);
    for (int k = 0; k < 4; ++k) SetByte(p + k, static_cast<int>((u >> (8 * k)) & 0xFF), k == 3, list);
    return 0;
}

int chunk::SetFloat(int64_t p, float f, const namelist& list) {
    return SetInt(p, FloatBits(f), list);
}

int chunk::InsertString(int64_t p, const std::string& text, const namelist& list) {
    int64_t L = static_cast<int64_t>(text.size());
    // The text, then zeros up to the next multiple of four; a text whose
    // length is a multiple of four gets a single zero.
    int64_t m = 4 * ((L + 3) / 4) - 1 + (L % 4 == 0 ? 1 : 0);
    for (int64_t i = 0; i <= m; ++i) {
        if (p + i >= size) break;
        int byte = i < L ? static_cast<uint8_t>(text[static_cast<size_t>(i)]) : 0;
        SetByte(p + i, byte, i == m, list);
    }
    return 0;
}

namespace {

// Finds the leaf that holds data position p of c in handle mode: each child's
// data starts 8 bytes after its header; in a grouped MATL the first four
// bytes are the MATD count and belong to no child, so a position there (or on
// any child's header) reaches nothing. Returns null then.
chunk* HandleTarget(chunk* c, int64_t& p, int recognizematl) {
    for (;;) {
        if (p < 0 || p >= c->size) return nullptr;
        if (c->kids.empty()) return c;
        int64_t o = 8 + (Grouped(*c, recognizematl) ? 4 : 0);
        chunk* next = nullptr;
        for (const chunkptr& k : c->kids) {
            int64_t q = p - o;
            if (q >= 0 && q < k->size) {
                next = k.get();
                p = q;
                break;
            }
            o += static_cast<int64_t>(k->size) + 8;
        }
        if (!next) return nullptr;
        c = next;
    }
}

}  // namespace

int chunk::InsertBytes(int64_t p, int n, int handle, int reread, const namelist& list, int recognizematl) {
    if (p < 0 || p >= size || n < 1) return 0;
    if (!handle) {
        InsertBytesBlindly(p, n, reread, list, recognizematl);
        return 1;
    }
    int result = 0;
    int64_t q = p;
    if (chunk* leaf = HandleTarget(this, q, recognizematl)) {
        leaf->InsertBytesBlindly(q, n, 0, list, recognizematl);
        result = 1;
    }
    if (reread) Update(recognizematl);
    return result;
}

int chunk::InsertBytesBlindly(int64_t p, int n, int reread, const namelist& list, int recognizematl) {
    if (n < 1 || p < 0 || p > size) return 0;
    int64_t oldsize = size;
    int64_t newsize = oldsize + n;
    if (newsize > std::numeric_limits<int32_t>::max()) return 0;
    bool hadkids = !kids.empty();
    writable();
    std::vector<uint8_t>& v = *buf_;
    if (static_cast<int64_t>(v.size()) < newsize) v.resize(static_cast<size_t>(newsize), 0);
    // Bytes p .. old end move up by n; p .. p+n-1 keep what they held.
    std::memmove(v.data() + p + n, v.data() + p, static_cast<size_t>(oldsize - p));
    len_ = static_cast<int64_t>(v.size());
    size = static_cast<int32_t>(newsize);
    if (!reread) return 0;
    if (hadkids) {
        // Blind insertion into a container edits its serialized bytes, so, as
        // blind removal does, the children are parsed again from them; a
        // rebuild alone would throw the inserted bytes away.
        v.resize(static_cast<size_t>(size));
        len_ = size;
        reparse(list);
        if (size < 8) return 0;
    }
    Update(recognizematl);
    return 0;
}

int chunk::RemoveByte(int64_t p, int handle, int reread, const namelist& list, int recognizematl) {
    if (p < 0 || p >= size) return 0;
    if (!handle) {
        RemoveByteBlindly(p, reread, list, recognizematl);
        return 1;
    }
    int result = 0;
    int64_t q = p;
    if (chunk* leaf = HandleTarget(this, q, recognizematl)) {
        leaf->RemoveByteBlindly(q, 0, list, recognizematl);
        result = 1;
    }
    if (reread) Update(recognizematl);
    return result;
}

int chunk::RemoveByteBlindly(int64_t p, int reread, const namelist& list, int recognizematl) {
    if (p < 0 || p >= size) return 0;
    uint8_t* d = writable();
    // The bytes after p move down; the array keeps its length for now, so
    // the old last byte stays behind, past size.
    std::memmove(d + p, d + p + 1, static_cast<size_t>(size - 1 - p));
    size -= 1;
    if (!reread) return 0;
    buf_->resize(static_cast<size_t>(size));
    len_ = size;
    reparse(list);
    if (size < 8) return 0;  // a leaf now; not rebuilt
    Update(recognizematl);
    return 0;
}

}  // namespace mesh
