#include "mesh/chunk.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "host/files.h"
#include "mesh/records.h"

namespace mesh {

// ---- Byte readers and writers ------------------------------------------------

namespace {

bool Fits(std::span<const uint8_t> a, int64_t p, int64_t width) {
    return p >= 0 && p + width <= static_cast<int64_t>(a.size());
}

uint32_t Le32(const uint8_t* b) {
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

void PutLe32(uint8_t* b, int32_t v) {
    uint32_t u = static_cast<uint32_t>(v);
    b[0] = uint8_t(u);
    b[1] = uint8_t(u >> 8);
    b[2] = uint8_t(u >> 16);
    b[3] = uint8_t(u >> 24);
}

// The 8 header bytes of a chunk as written to a file or into a parent's data.
void Header(const chunk& c, uint8_t out[8]) {
    std::string n = FitName(c.name);
    std::memcpy(out, n.data(), 4);
    PutLe32(out + 4, c.size);
}

bool Grouped(const chunk& c, int recognizematl) {
    return recognizematl && c.name == "MATL" && !c.kids.empty();
}

int32_t MatdCount(const chunk& c) {
    return c.numkids("MATD");
}

}  // namespace

std::string ReadName(std::span<const uint8_t> a, int64_t p) {
    if (!Fits(a, p, 4)) return "NULL";
    return std::string(reinterpret_cast<const char*>(a.data() + p), 4);
}

int32_t ReadInt(std::span<const uint8_t> a, int64_t p) {
    if (!Fits(a, p, 4)) return -1;
    return static_cast<int32_t>(Le32(a.data() + p));
}

int ReadShort(std::span<const uint8_t> a, int64_t p) {
    if (!Fits(a, p, 2)) return 0;
    return a[p] | a[p + 1] << 8;
}

float ReadFloat(std::span<const uint8_t> a, int64_t p) {
    if (!Fits(a, p, 4)) return -1.0f;
    return BitsFloat(static_cast<int32_t>(Le32(a.data() + p)));
}

void WriteName(std::span<uint8_t> a, int64_t p, const std::string& name) {
    if (!Fits(a, p, 4)) return;
    std::string n = FitName(name);
    std::memcpy(a.data() + p, n.data(), 4);
}

void WriteInt(std::span<uint8_t> a, int64_t p, int32_t v) {
    if (!Fits(a, p, 4)) return;
    PutLe32(a.data() + p, v);
}

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

int32_t FloatBits(float f) {
    int32_t v;
    std::memcpy(&v, &f, 4);
    return v;
}

float BitsFloat(int32_t v) {
    float f;
    std::memcpy(&f, &v, 4);
    return f;
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

// ---- The walks --------------------------------------------------------------

struct chunkimpl {
    // Parses the chunk whose header starts at `offset` of the byte array
    // (*buf)[arr .. arr+n-1], and its children, without recursion.
    static chunkptr Parse(const std::shared_ptr<std::vector<uint8_t>>& buf, int64_t arr, int64_t n,
                          int64_t offset, const namelist& list, const chunkptr& parent);
    // Parses children from c's own data array as a container does: one after
    // the other from position `start` until the position reaches `limit`; the
    // first is always parsed.
    static void ParseKids(chunk& c, int64_t start, int64_t limit, const namelist& list);
    // Writes data[a .. b-1] of c into dst (dst[0] is position a); bytes that
    // belong to nothing stay as they are (the caller zeroes them).
    static void Fill(const chunk& c, int64_t a, int64_t b, uint8_t* dst);
    template <class Sink>
    static void Write(const chunk& root, int recognizematl, Sink& sink);

    static chunkptr MakeOne(const std::shared_ptr<std::vector<uint8_t>>& buf, int64_t arr, int64_t n,
                            int64_t offset, const std::weak_ptr<chunk>& parent, const namelist& list,
                            bool& container);
};

chunkptr chunkimpl::MakeOne(const std::shared_ptr<std::vector<uint8_t>>& buf, int64_t arr, int64_t n,
                            int64_t offset, const std::weak_ptr<chunk>& parent, const namelist& list,
                            bool& container) {
    std::span<const uint8_t> a(buf->data() + arr, static_cast<size_t>(n));
    chunkptr c = chunk::Create(ReadName(a, offset));
    int64_t size = ReadInt(a, offset + 4);
    // A chunk that claims more bytes than remain keeps only what remains.
    if (size > n - offset - 8) size = n - offset - 8;
    // A negative size (from the file, or because fewer than 8 bytes remained
    // for the header) becomes an empty leaf. It stays in the tree under the
    // name read ("NULL" when the name did not fit) so the damage shows, is
    // stepped over by 8 bytes like any empty chunk, and is written back as an
    // 8-byte header with size 0.
    if (size < 0) size = 0;
    c->size = static_cast<int32_t>(size);
    if (size > 0) {
        c->buf_ = buf;
        c->off_ = arr + offset + 8;
        c->len_ = size;
    }
    c->parent = parent;
    container = size >= 8 && NameInList(ReadName(a, offset + 8), list);
    return c;
}

chunkptr chunkimpl::Parse(const std::shared_ptr<std::vector<uint8_t>>& buf, int64_t arr, int64_t n,
                          int64_t offset, const namelist& list, const chunkptr& parent) {
    bool container = false;
    chunkptr root = MakeOne(buf, arr, n, offset, parent, list, container);
    if (parent) parent->everparent_ = true;
    if (!container) return root;
    struct Frame {
        chunk* c;
        int64_t i;
    };
    std::vector<Frame> stack{{root.get(), 0}};
    while (!stack.empty()) {
        Frame& f = stack.back();
        chunk* c = f.c;
        c->everparent_ = true;
        // Stop as soon as the position reaches size - 1 (so a single stray
        // byte at the end belongs to no child); the first child is always
        // parsed.
        if (f.i > 0 && f.i >= static_cast<int64_t>(c->size) - 1) {
            stack.pop_back();
            continue;
        }
        bool kidcontainer = false;
        chunkptr k = MakeOne(c->buf_, c->off_, c->len_, f.i, c->weak_from_this(), list, kidcontainer);
        f.i += static_cast<int64_t>(k->size) + 8;
        c->kids.v_.push_back(k);
        if (kidcontainer) stack.push_back({k.get(), 0});
    }
    return root;
}

void chunkimpl::ParseKids(chunk& c, int64_t start, int64_t limit, const namelist& list) {
    if (c.derived_) c.materialize();
    if (!c.buf_) c.buf_ = std::make_shared<std::vector<uint8_t>>();
    std::shared_ptr<std::vector<uint8_t>> buf = c.buf_;
    chunkptr self = c.shared_from_this();
    int64_t i = start;
    do {
        chunkptr k = Parse(buf, c.off_, c.len_, i, list, self);
        i += static_cast<int64_t>(k->size) + 8;
        c.kids.v_.push_back(k);
    } while (i < limit);
}

void chunkimpl::Fill(const chunk& c, int64_t a, int64_t b, uint8_t* dst) {
    if (a >= b) return;
    // Copies the bytes src[0 .. len-1], standing at position `at`, where they
    // meet [lo, hi) and [a, b).
    auto put = [&](const uint8_t* src, int64_t at, int64_t len, int64_t hi) {
        int64_t from = std::max(at, a);
        int64_t to = std::min({at + len, b, hi});
        if (from < to) std::memcpy(dst + (from - a), src + (from - at), static_cast<size_t>(to - from));
    };
    if (!c.derived_) {
        if (c.buf_) put(c.buf_->data() + c.off_, 0, c.len_, c.len_);
        return;
    }
    // A derived container: [MATD count] then each child's header and data,
    // each part cut to the size its owner declares.
    struct Frame {
        const chunk* c;
        int64_t end;   // where this chunk's data ends
        size_t kid;    // next child
        int64_t cur;   // where the next child's header starts
    };
    std::vector<Frame> stack;
    auto enter = [&](const chunk* d, int64_t start, int64_t end) {
        int64_t cur = start;
        if (d->group_) {
            uint8_t cnt[4];
            PutLe32(cnt, d->matdcount_);
            put(cnt, start, 4, end);
            cur += 4;
        }
        stack.push_back({d, end, 0, cur});
    };
    enter(&c, 0, std::max<int64_t>(0, c.size));
    while (!stack.empty()) {
        Frame& f = stack.back();
        if (f.kid >= f.c->kids.size() || f.cur >= std::min(f.end, b)) {
            stack.pop_back();
            continue;
        }
        const chunk* k = f.c->kids[f.kid++].get();
        int64_t hs = f.cur;
        int64_t ksize = std::max<int64_t>(0, k->size);
        int64_t ds = hs + 8;
        int64_t de = std::min(ds + ksize, f.end);
        f.cur = ds + ksize;
        int64_t end = f.end;
        if (hs + 8 <= a || hs >= b) {
            // header outside the window
        } else {
            uint8_t h[8];
            Header(*k, h);
            put(h, hs, 8, end);
        }
        if (ds < de && de > a && ds < b) {
            if (k->derived_) {
                enter(k, ds, de);  // f is no longer valid from here
            } else if (k->buf_) {
                put(k->buf_->data() + k->off_, ds, std::min(k->len_, ksize), de);
            }
        }
    }
}

template <class Sink>
void chunkimpl::Write(const chunk& root, int recognizematl, Sink& sink) {
    std::vector<const chunk*> stack{&root};
    std::vector<uint8_t> zeros;
    while (!stack.empty()) {
        const chunk* c = stack.back();
        stack.pop_back();
        uint8_t h[12];
        Header(*c, h);
        size_t hl = 8;
        if (Grouped(*c, recognizematl)) {
            PutLe32(h + 8, MatdCount(*c));
            hl = 12;
        }
        sink(h, hl);
        if (!c->kids.empty()) {
            for (size_t i = c->kids.size(); i-- > 0;) stack.push_back(c->kids[i].get());
            continue;
        }
        int64_t size = std::max<int64_t>(0, c->size);
        if (size == 0) continue;
        std::span<const uint8_t> d = c->data();
        int64_t have = std::min<int64_t>(size, static_cast<int64_t>(d.size()));
        if (have > 0) sink(d.data(), static_cast<size_t>(have));
        if (have < size) {  // never for data the operations made; kept safe anyway
            zeros.assign(static_cast<size_t>(size - have), 0);
            sink(zeros.data(), zeros.size());
        }
    }
}

// ---- chunk: life ----------------------------------------------------------

chunk::~chunk() {
    // Release the subtree with a work list: a child that nobody else holds
    // hands its children over before it dies, so no destructor recurses.
    std::vector<chunkptr> work = std::move(kids.v_);
    while (!work.empty()) {
        chunkptr k = std::move(work.back());
        work.pop_back();
        if (k.use_count() == 1) {
            for (chunkptr& g : k->kids.v_) work.push_back(std::move(g));
            k->kids.v_.clear();
        }
    }
}

chunkptr chunk::Create(const std::string& name) {
    chunkptr c = std::make_shared<chunk>();
    c->name = name;
    return c;
}

// ---- chunk: data ----------------------------------------------------------

int64_t chunk::datalen() const {
    return derived_ ? std::max<int64_t>(0, size) : len_;
}

void chunk::materialize() const {
    if (!derived_) return;
    int64_t n = std::max<int64_t>(0, size);
    auto v = std::make_shared<std::vector<uint8_t>>(static_cast<size_t>(n), 0);
    chunkimpl::Fill(*this, 0, n, v->data());
    buf_ = std::move(v);
    off_ = 0;
    len_ = n;
    derived_ = false;
}

void chunk::own() const {
    if (derived_) {
        materialize();
        return;
    }
    if (!buf_) {
        buf_ = std::make_shared<std::vector<uint8_t>>();
        off_ = len_ = 0;
        return;
    }
    if (buf_.use_count() != 1 || off_ != 0 || len_ != static_cast<int64_t>(buf_->size())) {
        auto v = std::make_shared<std::vector<uint8_t>>(buf_->begin() + off_, buf_->begin() + off_ + len_);
        buf_ = std::move(v);
        off_ = 0;
    }
}

uint8_t* chunk::writable() const {
    own();
    // The data array always holds at least size bytes.
    if (len_ < size) {
        buf_->resize(static_cast<size_t>(size), 0);
        len_ = size;
    }
    return buf_->data();
}

std::span<const uint8_t> chunk::data() const {
    if (derived_) materialize();
    if (!buf_) return {};
    return std::span<const uint8_t>(buf_->data() + off_, static_cast<size_t>(len_));
}

int64_t chunk::readbytes(int64_t pos, int64_t count, uint8_t* out) const {
    int64_t n = datalen();
    int64_t a = std::max<int64_t>(pos, 0);
    int64_t b = std::min(pos + count, n);
    if (a >= b) return 0;
    uint8_t* dst = out + (a - pos);
    std::memset(dst, 0, static_cast<size_t>(b - a));
    chunkimpl::Fill(*this, a, b, dst);
    return b - a;
}

int chunk::readbyte(int64_t p) const {
    uint8_t v;
    if (p < 0 || p >= datalen()) return -1;
    readbytes(p, 1, &v);
    return v;
}

int chunk::readshort(int64_t p) const {
    uint8_t v[2];
    if (p < 0 || p + 2 > datalen()) return 0;
    readbytes(p, 2, v);
    return ReadShort(v, 0);
}

int32_t chunk::readint(int64_t p) const {
    uint8_t v[4];
    if (p < 0 || p + 4 > datalen()) return -1;
    readbytes(p, 4, v);
    return ReadInt(v, 0);
}

float chunk::readfloat(int64_t p) const {
    uint8_t v[4];
    if (p < 0 || p + 4 > datalen()) return -1.0f;
    readbytes(p, 4, v);
    return ReadFloat(v, 0);
}

std::string chunk::readname(int64_t p) const {
    uint8_t v[4];
    if (p < 0 || p + 4 > datalen()) return "NULL";
    readbytes(p, 4, v);
    return ReadName(v, 0);
}

void chunk::setdata(std::vector<uint8_t> bytes) {
    int64_t n = std::min<int64_t>(static_cast<int64_t>(bytes.size()), std::numeric_limits<int32_t>::max());
    bytes.resize(static_cast<size_t>(n));
    buf_ = std::make_shared<std::vector<uint8_t>>(std::move(bytes));
    off_ = 0;
    len_ = n;
    derived_ = false;
    size = static_cast<int32_t>(n);
}

void chunk::GrowData(int n) {
    if (n < 1 || static_cast<int64_t>(size) + n > std::numeric_limits<int32_t>::max()) return;
    writable();
    int64_t newsize = static_cast<int64_t>(size) + n;
    if (len_ < newsize) buf_->resize(static_cast<size_t>(newsize), 0);
    std::fill(buf_->begin() + size, buf_->begin() + newsize, 0);
    len_ = static_cast<int64_t>(buf_->size());
    size = static_cast<int32_t>(newsize);
}

// ---- chunk: children ------------------------------------------------------

void chunk::AppendKid(const chunkptr& k) {
    InsertKid(kids.size(), k);
}

void chunk::InsertKid(size_t index, const chunkptr& kid) {
    chunkptr k = kid;  // kid may be an element of a list changed below
    if (!k || k.get() == this) return;
    // A chunk cannot go below itself or below one of its own descendants
    // (nor below a chunk whose parent chain passes through it): that would
    // make a cycle. Only a chunk that has been a parent can stand on this
    // chunk's parent chain, so a fresh chunk needs no walk, and building a
    // deep chain leaf by leaf stays linear.
    if (k->everparent_) {
        for (chunkptr a = parent.lock(); a; a = a->parent.lock())
            if (a == k) return;
    }
    // A chunk that still stands in its parent's list moves: it leaves that
    // list first, so that it never stands in two places.
    if (chunkptr old = k->parent.lock()) {
        int at = old->IndexOfKid(k.get());
        if (at >= 0) {
            old->RemoveKid(static_cast<size_t>(at));
            if (old.get() == this && static_cast<size_t>(at) < index) --index;
        }
    }
    index = std::min(index, kids.v_.size());
    kids.v_.insert(kids.v_.begin() + static_cast<std::ptrdiff_t>(index), k);
    k->parent = weak_from_this();
    everparent_ = true;
}

chunkptr chunk::RemoveKid(size_t index) {
    if (index >= kids.v_.size()) return nullptr;
    // A container that loses its last child becomes a leaf that keeps the
    // data of its last rebuild.
    if (kids.v_.size() == 1) materialize();
    chunkptr k = kids.v_[index];
    kids.v_.erase(kids.v_.begin() + static_cast<std::ptrdiff_t>(index));
    return k;
}

int chunk::IndexOfKid(const chunk* k) const {
    for (size_t i = 0; i < kids.size(); ++i)
        if (kids[i].get() == k) return static_cast<int>(i);
    return -1;
}

void chunk::ClearKids() {
    materialize();
    detachkids();
}

// Children that leave the tree keep their parent reference (a weak one), as
// a chunk that is no longer in its parent's list; they are released here
// unless someone else still holds them.
void chunk::detachkids() {
    std::vector<chunkptr> old = std::move(kids.v_);
    kids.v_.clear();
}

void chunk::reparse(const namelist& list) {
    if (derived_) materialize();
    detachkids();
    if (size >= 8 && NameInList(readname(0), list))
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
        c->size = static_cast<int32_t>(f.sum + 4 * g);
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
    bool ok = true;
    auto sink = [&](const uint8_t* p, size_t n) {
        if (ok && !out.WriteBytes(p, n)) ok = false;
    };
    chunkimpl::Write(*this, recognizematl, sink);
    return ok && !out.Failed();
}

void chunk::save(std::vector<uint8_t>& out, int recognizematl) const {
    auto sink = [&](const uint8_t* p, size_t n) { out.insert(out.end(), p, p + n); };
    chunkimpl::Write(*this, recognizematl, sink);
}

int32_t chunk::determinesize() const {
    if (size == 0) return 0;
    const uint32_t w = static_cast<uint32_t>(ListWidth(name));
    // 32-bit arithmetic that wraps, as the stored count may be anything.
    return static_cast<int32_t>(w * static_cast<uint32_t>(readint(0)) + 4u);
}

// ---- chunk: queries -------------------------------------------------------

int chunk::numkids(const std::string& n) const {
    int count = 0;
    for (const chunkptr& k : kids)
        if (k->name == n) ++count;
    return count;
}

int chunk::haskid(const std::string& n) const {
    return numkids(n) > 0 ? 1 : 0;
}

chunkptr chunk::getkid(const std::string& n) const {
    for (const chunkptr& k : kids)
        if (k->name == n) return k;
    return nullptr;
}

void chunk::addtolist(std::vector<chunkptr>& list, const std::string& n) {
    std::vector<chunk*> stack{this};
    while (!stack.empty()) {
        chunk* c = stack.back();
        stack.pop_back();
        if (c->name == n) list.push_back(c->shared_from_this());
        for (size_t i = c->kids.size(); i-- > 0;) stack.push_back(c->kids[i].get());
    }
}

chunkptr chunk::findmodlbyname(const std::string& n, int upward, const chunk* excluded) {
    // The chunk itself, then its children's subtrees in pre-order (skipping
    // the excluded child).
    auto search = [&](chunk* start, const chunk* skip) -> chunkptr {
        if (start->name == "MODL" && start->FetchName() == n) return start->shared_from_this();
        std::vector<chunk*> stack;
        for (size_t i = start->kids.size(); i-- > 0;)
            if (start->kids[i].get() != skip) stack.push_back(start->kids[i].get());
        while (!stack.empty()) {
            chunk* c = stack.back();
            stack.pop_back();
            if (c->name == "MODL" && c->FetchName() == n) return c->shared_from_this();
            for (size_t i = c->kids.size(); i-- > 0;) stack.push_back(c->kids[i].get());
        }
        return nullptr;
    };
    if (chunkptr r = search(this, excluded)) return r;
    if (!upward) return nullptr;
    // Then each enclosing level outward: the ancestor itself and its other
    // children's subtrees.
    chunkptr cur = shared_from_this();
    chunkptr p = parent.lock();
    while (p) {
        if (chunkptr r = search(p.get(), cur.get())) return r;
        cur = p;
        p = p->parent.lock();
    }
    return nullptr;
}

std::string chunk::FetchName() const {
    chunkptr k = getkid("NAME");
    return k ? k->datatostring() : std::string();
}

std::string chunk::datatostring() const {
    std::span<const uint8_t> d = data();
    size_t n = std::min<size_t>(d.size(), static_cast<size_t>(std::max<int32_t>(0, size)));
    if (n == 0) return std::string();  // empty data may have no array at all
    const void* z = std::memchr(d.data(), 0, n);
    if (!z) return std::string();
    return std::string(reinterpret_cast<const char*>(d.data()), static_cast<const uint8_t*>(z) - d.data());
}

int chunk::isstring() const {
    return size > 0 && size % 4 == 0 && readbyte(size - 1) == 0 ? 1 : 0;
}

void chunk::expand() {
    expanded = 1;
    for (chunkptr p = parent.lock(); p; p = p->parent.lock()) p->expanded = 1;
}

int chunk::groupsize() const {
    int n = 0;
    std::vector<const chunk*> stack{this};
    while (!stack.empty()) {
        const chunk* c = stack.back();
        stack.pop_back();
        ++n;
        if (c->expanded)
            for (const chunkptr& k : c->kids) stack.push_back(k.get());
    }
    return n;
}

int chunk::findy(const chunk* target) const {
    const chunk* t = target ? target : this;
    int y = 0;
    chunkptr hold;
    for (chunkptr p = t->parent.lock(); p; p = p->parent.lock()) {
        y += 1;
        // The rows of the siblings before t (all of them for a chunk that is
        // no longer in its parent's list).
        for (const chunkptr& k : p->kids) {
            if (k.get() == t) break;
            y += k->groupsize();
        }
        hold = p;
        t = p.get();
    }
    return y;
}

void chunk::expandmatl(const namelist& list) {
    std::vector<chunk*> stack{this};
    while (!stack.empty()) {
        chunk* c = stack.back();
        stack.pop_back();
        if (c->name == "MATL" && c->size >= 12) {
            // A MATL that already has children (its data happened to begin
            // with a listed name) loses them first: grouping starts from its
            // data as last rebuilt, so no set of children is doubled.
            if (!c->kids.empty()) c->ClearKids();
            chunkimpl::ParseKids(*c, 4, c->size, list);
            WriteInt(std::span<uint8_t>(c->writable(), static_cast<size_t>(c->len_)), 0, MatdCount(*c));
            continue;  // the new children are not searched further
        }
        for (size_t i = c->kids.size(); i-- > 0;) stack.push_back(c->kids[i].get());
    }
}

void chunk::collapsematl() {
    std::vector<chunk*> stack{this};
    while (!stack.empty()) {
        chunk* c = stack.back();
        stack.pop_back();
        if (c->name == "MATL") {
            // Its data as last rebuilt (count and children) becomes the leaf's data.
            if (!c->kids.empty()) c->ClearKids();
            continue;
        }
        for (size_t i = c->kids.size(); i-- > 0;) stack.push_back(c->kids[i].get());
    }
}

// ---- chunk: editing -------------------------------------------------------

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
