// Reading and writing chunks: copying bytes and names, parsing bytes into a
// tree, the rebuild of sizes, and the encoding written to files.
#include "mesh/chunk.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "format/bytes.h"
#include "format/records.h"
#include "files/files.h"
#include "mesh/chunk_impl.h"
#include "mesh/parse.h"
#include "mesh/walk.h"

namespace mesh {

// ---- Bytes and names ----------------------------------------------------------

void CopyInto(std::span<uint8_t> a, int64_t p, std::span<const uint8_t> src, int64_t k) {
    if (k < 1) return;
    int64_t from = 0;
    if (p < 0) {
        from = -p;
        p = 0;
    }
    k = std::min<int64_t>(k, static_cast<int64_t>(src.size()));
    int64_t count = std::min<int64_t>(k - from, static_cast<int64_t>(a.size()) - p);
    if (count > 0) std::memmove(a.data() + p, src.data() + from, static_cast<size_t>(count));
}

bool WriteName(host::Stream& s, const std::string& name) {
    return s.WriteText(FitName(name));
}

bool WriteInt(host::Stream& s, int32_t v) {
    return s.WriteInt(v);
}

std::string FitName(const std::string& name) {
    std::string n = name.substr(0, 4);
    n.resize(4, ' ');
    return n;
}

bool NameInList(const std::string& name, const namelist& list) {
    for (const std::string& e : list)
        if (e == name) return true;
    return false;
}

// ---- Parsing ------------------------------------------------------------------

namespace {

// One contiguous array: the chunks made from it keep slices of it.
struct arraysource final : bytesource {
    std::shared_ptr<std::vector<uint8_t>> buf;
    int64_t arr = 0;
    arraysource(std::shared_ptr<std::vector<uint8_t>> b, int64_t at, int64_t len) : buf(std::move(b)), arr(at) {
        n = len;
    }
    void read(int64_t pos, int64_t count, uint8_t* out) const override {
        std::memcpy(out, buf->data() + arr + pos, static_cast<size_t>(count));
    }
    void give(chunk& c, int64_t pos, int64_t len, bool) override;
};

// Builds chunk objects: each takes its data from the source it was read from.
struct treebuild {
    using handle = chunkptr;
    bytesource& src;
    chunkptr make(const header& h, const chunkptr& parent, int64_t datapos) {
        chunkptr c = chunk::Create(h.name);
        c->size = h.size;
        c->parent = parent;
        if (h.cut) src.changed = true;
        src.give(*c, datapos, h.size, h.container);
        return c;
    }
    void adopt(const chunkptr& parent, const chunkptr& kid) { chunkimpl::Adopt(*parent, kid); }
};

}  // namespace

void arraysource::give(chunk& c, int64_t pos, int64_t len, bool) {
    if (len > 0) chunkimpl::GiveSlice(c, buf, arr + pos, len);
}

void chunkimpl::GiveSlice(chunk& c, const std::shared_ptr<std::vector<uint8_t>>& buf, int64_t off, int64_t len) {
    c.buf_ = buf;
    c.off_ = off;
    c.len_ = len;
    c.derived_ = false;
}

void chunkimpl::Adopt(chunk& parent, const chunkptr& kid) {
    parent.everparent_ = true;
    parent.kids.v_.push_back(kid);
    parent.joinrows(*kid);
}

chunkptr chunkimpl::Parse(bytesource& src, int64_t base, int64_t n, int64_t offset, const namelist& list,
                          const chunkptr& parent) {
    treebuild b{src};
    if (parent) parent->everparent_ = true;
    return ParseChunk(src, b, base, n, offset, list, parent);
}

chunkptr chunkimpl::Parse(const std::shared_ptr<std::vector<uint8_t>>& buf, int64_t arr, int64_t n,
                          int64_t offset, const namelist& list, const chunkptr& parent) {
    arraysource src(buf, arr, n);
    return Parse(src, 0, n, offset, list, parent);
}

void chunkimpl::ParseKids(chunk& c, int64_t start, int64_t limit, const namelist& list) {
    if (c.derived_) c.materialize();
    if (!c.buf_) c.buf_ = std::make_shared<std::vector<uint8_t>>();
    std::shared_ptr<std::vector<uint8_t>> buf = c.buf_;
    arraysource src(buf, c.off_, c.len_);
    treebuild b{src};
    ParseRun(src, b, 0, c.len_, start, limit, list, c.shared_from_this());
}

void chunk::reparse(const namelist& list) {
    if (derived_) materialize();
    detachkids();
    if (size >= 8 && !format::IsRecordName(name) && NameInList(readname(0), list))
        chunkimpl::ParseKids(*this, 0, static_cast<int64_t>(size) - 1, list);
}

// ---- chunk: parsing, rebuild, writing -------------------------------------

chunkptr chunk::GetChunk(const std::vector<uint8_t>& bytes, int64_t offset, const namelist& list,
                         const chunkptr& parent) {
    return GetChunk(std::make_shared<std::vector<uint8_t>>(bytes), offset, list, parent);
}

chunkptr chunk::GetChunk(const std::shared_ptr<std::vector<uint8_t>>& bytes, int64_t offset,
                         const namelist& list, const chunkptr& parent) {
    std::shared_ptr<std::vector<uint8_t>> buf = bytes ? bytes : std::make_shared<std::vector<uint8_t>>();
    return chunkimpl::Parse(buf, 0, static_cast<int64_t>(buf->size()), offset, list, parent);
}

// ---- Rebuild and writing ------------------------------------------------------

namespace {

// Feeds the encoding of root, header by header in file order, to sink:
// sink.copy(bytes, n) for bytes made here, sink.shared(buffer, offset, n)
// for a leaf's bytes where they stand.
template <class Sink>
void Write(const chunk& root, int recognizematl, Sink& sink) {
    std::vector<uint8_t> zeros;
    PreOrder(root, [&](const chunk& c) {
        uint8_t h[12];
        Header(c, h);
        size_t hl = 8;
        if (Grouped(c, recognizematl)) {
            format::StoreI32(h + 8, MatdCount(c));
            hl = 12;
        }
        sink.copy(h, hl);
        if (!c.kids.empty()) return;  // the children follow
        int64_t size = std::max<int64_t>(0, c.size);
        if (size == 0) return;
        int64_t have = 0, off = 0, len = 0;
        if (const std::vector<uint8_t>* buf = chunkimpl::LeafBytes(c, off, len)) {
            have = std::min(size, len);
            if (have > 0) sink.shared(*buf, static_cast<size_t>(off), static_cast<size_t>(have));
        } else {
            std::span<const uint8_t> d = c.data();
            have = std::min<int64_t>(size, static_cast<int64_t>(d.size()));
            if (have > 0) sink.copy(d.data(), static_cast<size_t>(have));
        }
        if (have < size) {  // never for data the operations made; kept safe anyway
            zeros.assign(static_cast<size_t>(size - have), 0);
            sink.copy(zeros.data(), zeros.size());
        }
    });
}

}  // namespace

const std::vector<uint8_t>* chunkimpl::LeafBytes(const chunk& c, int64_t& off, int64_t& len) {
    if (c.derived_ || !c.buf_) return nullptr;
    off = c.off_;
    len = c.len_;
    return c.buf_.get();
}

void chunk::Update(int recognizematl) {
    if (kids.empty()) return;  // a leaf keeps its data and size
    struct Frame {
        chunk* c;
        size_t i;
        int64_t sum;
    };
    std::vector<Frame> stack{{this, 0, 0}};
    while (!stack.empty()) {
        Frame& f = stack.back();
        if (f.i < f.c->kids.size()) {
            chunk* k = f.c->kids[f.i].get();
            if (!k->kids.empty()) {
                stack.push_back({k, 0, 0});
                continue;
            }
            f.sum += static_cast<int64_t>(k->size) + 8;
            ++f.i;
            continue;
        }
        chunk* c = f.c;
        int g = Grouped(*c, recognizematl) ? 1 : 0;
        // A tree larger than a size field can hold (grown by imports, or by
        // damaged tails that each became an 8-byte chunk) keeps the largest
        // size there is instead of a wrapped, negative one; saving refuses it.
        c->size = static_cast<int32_t>(std::min<int64_t>(f.sum + 4 * g, std::numeric_limits<int32_t>::max()));
        c->group_ = g != 0;
        c->matdcount_ = g ? MatdCount(*c) : 0;
        // The data is now that of this rebuild; it is produced when read.
        c->derived_ = true;
        c->buf_.reset();
        c->off_ = c->len_ = 0;
        stack.pop_back();
        if (!stack.empty()) {
            stack.back().sum += static_cast<int64_t>(c->size) + 8;
            ++stack.back().i;
        }
    }
}

bool chunk::save(host::Stream& out, int recognizematl) const {
    struct Sink {
        host::Stream& out;
        bool ok = true;
        void copy(const uint8_t* p, size_t n) {
            if (ok && !out.WriteBytes(p, n)) ok = false;
        }
        void shared(std::span<const uint8_t> whole, size_t off, size_t n) {
            if (ok && !out.WriteShared(whole, off, n)) ok = false;
        }
    } sink{out};
    Write(*this, recognizematl, sink);
    return sink.ok && !out.Failed();
}

void chunk::encode(PieceSink& sink, int recognizematl) const { Write(*this, recognizematl, sink); }

void chunk::save(std::vector<uint8_t>& out, int recognizematl) const {
    struct Sink {
        std::vector<uint8_t>& out;
        void copy(const uint8_t* p, size_t n) { out.insert(out.end(), p, p + n); }
        void shared(std::span<const uint8_t> whole, size_t off, size_t n) { copy(whole.data() + off, n); }
    } sink{out};
    Write(*this, recognizematl, sink);
}

}  // namespace mesh
