// Editing chunk data: setting bytes, integers, floats and text, inserting
// and removing bytes in handle mode (inside the leaf reached) and blindly.
#include "mesh/chunk.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

#include "format/bytes.h"
#include "format/records.h"
#include "mesh/chunk_impl.h"
#include "mesh/walk.h"

namespace mesh {

int chunk::SetByte(int64_t p, int v, int reread, const namelist& list) {
    if (p < 0 || p >= size) return 0;
    if (reread) {
        const uint8_t b = static_cast<uint8_t>(v & 0xFF);
        return SetBytes(p, std::span<const uint8_t>(&b, 1), list);
    }
    writable()[p] = static_cast<uint8_t>(v & 0xFF);
    return 0;
}

int chunk::SetBytes(int64_t p, std::span<const uint8_t> v, const namelist& list) {
    if (v.empty()) return 0;
    const int64_t last = p + static_cast<int64_t>(v.size()) - 1;
    const bool reread = last >= 0 && last < size;
    if (reread && derived_ && !kids.empty() && chunkimpl::WriteThrough(*this, p, v, list)) return 0;
    for (size_t i = 0; i < v.size(); ++i) {
        const int64_t q = p + static_cast<int64_t>(i);
        if (q >= 0 && q < size) writable()[q] = v[i];
    }
    if (reread) reparse(list);
    return 0;
}

int chunk::SetInt(int64_t p, int32_t v, const namelist& list) {
    uint8_t b[4];
    format::StoreI32(b, v);
    return SetBytes(p, b, list);
}

int chunk::SetFloat(int64_t p, float f, const namelist& list) {
    return SetInt(p, std::bit_cast<int32_t>(f), list);
}

int chunk::InsertString(int64_t p, const std::string& text, const namelist& list) {
    int64_t L = static_cast<int64_t>(text.size());
    // The text, then zeros up to the next multiple of four; a text whose
    // length is a multiple of four gets a single zero.
    int64_t m = 4 * ((L + 3) / 4) - 1 + (L % 4 == 0 ? 1 : 0);
    // Writing stops at the end of the data (it never lengthens it), and the
    // children are parsed again only when the last byte was written.
    int64_t count = std::min(m + 1, static_cast<int64_t>(size) - p);
    if (count < 1) return 0;
    std::vector<uint8_t> bytes(static_cast<size_t>(count), 0);
    std::memcpy(bytes.data(), text.data(), static_cast<size_t>(std::min(L, count)));
    if (count == m + 1) return SetBytes(p, bytes, list);
    for (int64_t i = 0; i < count; ++i) SetByte(p + i, bytes[static_cast<size_t>(i)], 0, list);
    return 0;
}

// ---- Writing into a large container ------------------------------------------
//
// A byte written into a container is written into its data, and its children
// are parsed again from that data. Produced whole, the data of a container
// that holds most of a 64 MB file is 64 MB to copy for one byte. Instead, the
// data is taken as pieces: the headers (and a MATD count) made anew, each
// leaf's data where it stands. The pieces written are copied first, and the
// children are parsed from the pieces: a new leaf keeps a slice of the piece
// its data lies in (or a copy when it spans pieces). The children are the
// new objects a parse makes, as ever. The container's data is then derived
// from them, which gives the same bytes only when they fill it exactly: every
// container's children one after the other to its last byte, no size cut or
// negative. When they do not (the write broke the structure, or the bytes
// were damaged to begin with), nothing has changed and the data is produced
// whole as before.

namespace {

class piecesource final : public bytesource {
public:
    struct Piece {
        int64_t at = 0, len = 0;
        std::shared_ptr<std::vector<uint8_t>> buf;  // the bytes are (*buf)[off .. off+len-1]
        int64_t off = 0;
        bool own = false;  // buf belongs to this source (written ones, made ones)
    };
    std::vector<Piece> pieces;

    explicit piecesource(const chunk& c) {
        n = std::max<int64_t>(0, c.size);
        made_ = std::make_shared<std::vector<uint8_t>>();
        chunkimpl::Parts(c, 0, n, [&](const uint8_t* src, int64_t at, int64_t len, const chunk* leaf) {
            if (at > end()) Made(nullptr, at - end());  // bytes of nothing: zeros
            if (leaf) {
                const std::shared_ptr<std::vector<uint8_t>>& b = chunkimpl::Buffer(*leaf);
                pieces.push_back({at, len, b, src - b->data(), false});
            } else {
                Made(src, len);
            }
        });
        if (end() < n) Made(nullptr, n - end());
    }

    void write(int64_t pos, uint8_t v) {
        Piece& p = pieces[Find(pos)];
        if (!p.own) {
            p.buf = std::make_shared<std::vector<uint8_t>>(p.buf->begin() + p.off, p.buf->begin() + p.off + p.len);
            p.off = 0;
            p.own = true;
        }
        (*p.buf)[static_cast<size_t>(p.off + pos - p.at)] = v;
    }

    void read(int64_t pos, int64_t count, uint8_t* out) const override {
        for (size_t i = Find(pos); count > 0; ++i) {
            const Piece& p = pieces[i];
            const int64_t k = std::min(count, p.at + p.len - pos);
            std::memcpy(out, p.buf->data() + p.off + (pos - p.at), static_cast<size_t>(k));
            out += k;
            pos += k;
            count -= k;
        }
    }

    void give(chunk& c, int64_t pos, int64_t len, bool container) override {
        if (len == 0) return;
        if (container) {
            chunkimpl::MakeDerived(c);
            return;
        }
        const Piece& p = pieces[Find(pos)];
        if (pos + len <= p.at + p.len) {
            chunkimpl::GiveSlice(c, p.buf, p.off + (pos - p.at), len);
        } else {
            auto b = std::make_shared<std::vector<uint8_t>>(static_cast<size_t>(len));
            read(pos, len, b->data());
            chunkimpl::GiveSlice(c, b, 0, len);
        }
    }

private:
    int64_t end() const { return pieces.empty() ? 0 : pieces.back().at + pieces.back().len; }
    size_t Find(int64_t pos) const {
        auto it = std::upper_bound(pieces.begin(), pieces.end(), pos,
                                   [](int64_t x, const Piece& p) { return x < p.at; });
        return static_cast<size_t>(it - pieces.begin()) - 1;
    }
    // Appends bytes made here (zeros when src is null), to the last piece
    // when that one is made here too.
    void Made(const uint8_t* src, int64_t len) {
        const int64_t at = end();
        if (pieces.empty() || pieces.back().buf != made_)
            pieces.push_back({at, 0, made_, static_cast<int64_t>(made_->size()), true});
        if (src)
            made_->insert(made_->end(), src, src + len);
        else
            made_->resize(made_->size() + static_cast<size_t>(len), 0);
        pieces.back().len += len;
    }
    std::shared_ptr<std::vector<uint8_t>> made_;
};

}  // namespace

void chunkimpl::MakeDerived(chunk& c) {
    c.buf_.reset();
    c.off_ = c.len_ = 0;
    c.derived_ = true;
    c.group_ = false;
    c.matdcount_ = 0;
}

bool chunkimpl::WriteThrough(chunk& c, int64_t p, std::span<const uint8_t> v, const namelist& list) {
    if (c.size < 8 || format::IsRecordName(c.name)) return false;
    piecesource src(c);
    for (size_t i = 0; i < v.size(); ++i) {
        const int64_t q = p + static_cast<int64_t>(i);
        if (q >= 0 && q < src.n) src.write(q, v[i]);
    }
    uint8_t first[4];
    src.read(0, 4, first);
    if (!NameInList(std::string(reinterpret_cast<const char*>(first), 4), list)) return false;
    // The children, parsed as ParseKids does, but held aside until they are
    // known to fill the data exactly.
    const chunkptr self = c.shared_from_this();
    std::vector<chunkptr> kids;
    int64_t i = 0;
    do {
        kids.push_back(Parse(src, 0, src.n, i, list, self));
        i += static_cast<int64_t>(kids.back()->size) + 8;
    } while (i < src.n - 1);
    if (i != src.n || src.changed) return false;
    bool filled = true;
    for (const chunkptr& k : kids) {
        PreOrder(*k, [&](const chunk& d) {
            int64_t sum = 0;
            for (const chunkptr& g : d.kids) sum += static_cast<int64_t>(g->size) + 8;
            filled = d.kids.empty() || sum == d.size;
            return filled ? walk::into : walk::stop;
        });
        if (!filled) return false;
    }
    c.detachkids();
    c.kids.v_ = std::move(kids);
    for (const chunkptr& k : c.kids.v_) c.joinrows(*k);
    MakeDerived(c);
    return true;
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
