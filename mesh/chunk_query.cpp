// Queries on the chunk tree (children by name, model search, rows of the
// tree view, text data, the list-size rule) and material grouping.
#include "mesh/chunk.h"

#include <algorithm>
#include <cstring>

#include "format/bytes.h"
#include "format/records.h"
#include "mesh/chunk_impl.h"
#include "mesh/walk.h"

namespace mesh {

int32_t chunk::determinesize() const {
    if (size == 0) return 0;
    const uint32_t w = static_cast<uint32_t>(format::ListWidth(name));
    // 32-bit arithmetic that wraps, as the stored count may be anything.
    return static_cast<int32_t>(w * static_cast<uint32_t>(readint(0)) + 4u);
}

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
    PreOrder(*this, [&](chunk& c) {
        if (c.name == n) list.push_back(c.shared_from_this());
    });
}

chunkptr chunk::findmodlbyname(const std::string& n, int upward, const chunk* excluded) {
    // The chunk itself, then its children's subtrees in pre-order (skipping
    // the excluded child).
    auto search = [&](chunk* start, const chunk* skip) -> chunkptr {
        chunkptr found;
        PreOrder(*start, [&](chunk& c, size_t depth) {
            if (depth == 1 && &c == skip) return walk::over;
            if (c.name != "MODL" || c.FetchName() != n) return walk::into;
            found = c.shared_from_this();
            return walk::stop;
        });
        return found;
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
    PreOrder(*this, [&](const chunk& c) {
        ++n;
        return c.expanded != 0;
    });
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
    PreOrder(*this, [&](chunk& c) {
        if (c.name != "MATL" || c.size < 12) return walk::into;
        // A MATL that already has children (its data happened to begin with
        // a listed name) loses them first: grouping starts from its data as
        // last rebuilt, so no set of children is doubled.
        if (!c.kids.empty()) c.ClearKids();
        chunkimpl::ParseKids(c, 4, c.size, list);
        if (c.len_ >= 4) format::StoreI32(c.writable(), MatdCount(c));
        return walk::over;  // the new children are not searched further
    });
}

void chunk::collapsematl() {
    PreOrder(*this, [&](chunk& c) {
        if (c.name != "MATL") return walk::into;
        // Its data as last rebuilt (count and children) becomes the leaf's data.
        if (!c.kids.empty()) c.ClearKids();
        return walk::over;
    });
}

}  // namespace mesh
