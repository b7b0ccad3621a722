// Chunk storage: life and release of a subtree, the data array (shared
// slices, copy on write, data derived from the children) and the list of
// children.
#include "mesh/chunk.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "format/bytes.h"
#include "mesh/chunk_impl.h"

namespace mesh {

void chunkimpl::Fill(const chunk& c, int64_t a, int64_t b, uint8_t* dst) {
    Parts(c, a, b, [&](const uint8_t* src, int64_t at, int64_t n, const chunk*) {
        std::memcpy(dst + (at - a), src, static_cast<size_t>(n));
    });
}

// ---- chunk: life ----------------------------------------------------------

namespace {

// Empties the subtree below top, which nobody else holds, without recursion
// and without allocating (it also runs when memory has run out): down along
// the last children to one without children of its own, release it, and go
// back up by the parent reference.
void Dismantle(chunk* top, std::vector<chunkptr>& (*kidsof)(chunk*)) {
    chunk* p = top;
    for (;;) {
        std::vector<chunkptr>& v = kidsof(p);
        if (v.empty()) {
            if (p == top) return;
            chunkptr up = p->parent.lock();
            // We came down through the last entry of the parent's list; if the
            // parent reference says otherwise, start again from the top.
            p = up && !kidsof(up.get()).empty() && kidsof(up.get()).back().get() == p ? up.get() : top;
            continue;
        }
        chunkptr& last = v.back();
        if (last.use_count() == 1 && !kidsof(last.get()).empty()) {
            p = last.get();
            continue;
        }
        v.pop_back();  // a chunk without children, or one that someone else still holds
    }
}

}  // namespace

chunk::~chunk() {
    // A child that nobody else holds is emptied before it dies, so no
    // destructor recurses however deep the tree.
    auto kidsof = [](chunk* c) -> std::vector<chunkptr>& { return c->kids.v_; };
    while (!kids.v_.empty()) {
        chunkptr k = std::move(kids.v_.back());
        kids.v_.pop_back();
        if (k.use_count() == 1) Dismantle(k.get(), kidsof);
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
    return format::LoadU16(v);
}

int32_t chunk::readint(int64_t p) const {
    uint8_t v[4];
    if (p < 0 || p + 4 > datalen()) return -1;
    readbytes(p, 4, v);
    return format::LoadI32(v);
}

float chunk::readfloat(int64_t p) const {
    uint8_t v[4];
    if (p < 0 || p + 4 > datalen()) return -1.0f;
    readbytes(p, 4, v);
    return format::LoadF32(v);
}

std::string chunk::readname(int64_t p) const {
    uint8_t v[4];
    if (p < 0 || p + 4 > datalen()) return "NULL";
    readbytes(p, 4, v);
    return std::string(reinterpret_cast<const char*>(v), 4);
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
    joinrows(*k);
}

chunkptr chunk::RemoveKid(size_t index) {
    if (index >= kids.v_.size()) return nullptr;
    // A container that loses its last child becomes a leaf that keeps the
    // data of its last rebuild.
    if (kids.v_.size() == 1) materialize();
    chunkptr k = kids.v_[index];
    kids.v_.erase(kids.v_.begin() + static_cast<std::ptrdiff_t>(index));
    rowsmoved();
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
    if (!old.empty()) rowsmoved();
}

// ---- chunk: row clock ---------------------------------------------------------

expandflag& expandflag::operator=(int v) {
    if (v != v_) {
        v_ = v;
        owner_.rowsmoved();
    }
    return *this;
}

void chunk::joinrows(chunk& k) {
    // Every chunk in a tree shares one clock. A chunk without one has
    // neither children nor a place in a list, so it simply takes one.
    auto relabel = [](chunk& top, const std::shared_ptr<rowclock>& to) {
        std::vector<chunk*> stack{&top};
        while (!stack.empty()) {
            chunk* c = stack.back();
            stack.pop_back();
            c->rows_ = to;
            ++to->chunks;
            for (const chunkptr& g : c->kids.v_) stack.push_back(g.get());
        }
    };
    if (!rows_ && !k.rows_) {
        rows_ = std::make_shared<rowclock>();
        rows_->chunks = 1;
    }
    if (!k.rows_) {
        k.rows_ = rows_;
        ++rows_->chunks;
    } else if (!rows_) {
        rows_ = k.rows_;
        ++rows_->chunks;
    } else if (k.rows_ != rows_) {
        // Two trees become one: the smaller one moves to the larger one's
        // clock, so building a tree in any order stays near linear.
        if (rows_->chunks >= k.rows_->chunks) {
            relabel(k, rows_);
        } else {
            // The top of the tree this chunk stands in (a chunk that left
            // its parent's list still names it, but is a tree of its own).
            chunk* root = this;
            for (chunkptr p = parent.lock(); p && p->IndexOfKid(root) >= 0; p = p->parent.lock()) root = p.get();
            std::shared_ptr<rowclock> to = k.rows_;
            relabel(*root, to);
        }
    }
    rowsmoved();
}

}  // namespace mesh
