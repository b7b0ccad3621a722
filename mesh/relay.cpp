// The re-lay of a file whose chunk sizes leave out the padding that follows
// them. The game's readers go on at the next multiple of four after each
// chunk, so such a file works in the game but not for a reader that takes
// the sizes at their word; the re-laid file has every padding inside its
// chunk's size. The reading is iterative (a million-deep file is fine) and
// only opens the containers the format defines.
#include "mesh/relay.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <memory>

#include "files/files.h"
#include "format/bytes.h"
#include "format/schema.h"

namespace mesh {

namespace {

bool NameByte(uint8_t b) { return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || b == '_'; }

struct Piece {
    int64_t at;      // of the header in the file
    int64_t length;  // data bytes the size declares
    int64_t parent;  // index of the container; -1 for the root
    bool container;
    size_t first = 0, count = 0;  // the children, side by side in the list
    int64_t size = 0;             // the new size
};

// Whether some chunk below the root declares a size that is not a multiple
// of four (or the bytes do not read plainly): only then can a size leave out
// padding. One pass with a stack of the open containers' ends, and nothing
// kept per chunk, so a file of millions of aligned chunks costs no memory.
bool MayLeaveOutPadding(std::span<const uint8_t> file) {
    const int64_t n = int64_t(file.size());
    auto container = [&](int64_t at) { return format::schema::FindContainer(format::LoadU32(file.data() + at)); };
    const format::schema::Container* root = container(0);
    if (!root) return false;
    std::vector<int64_t> ends{8 + int64_t(format::LoadI32(file.data() + 4))};
    int64_t p = 8 + (root->counted ? 4 : 0);
    while (!ends.empty()) {
        if (p >= ends.back()) {
            ends.pop_back();
            continue;
        }
        if (ends.back() - p < 8 || p + 8 > n) return true;
        const int32_t size = format::LoadI32(file.data() + p + 4);
        const int64_t q = p + 8 + int64_t(size);
        if (size < 0 || size % 4 || q > ends.back()) return true;
        if (const format::schema::Container* c = container(p)) {
            ends.push_back(q);
            p += 8 + (c->counted ? 4 : 0);
        } else {
            p = q;
        }
    }
    return false;
}

}  // namespace

std::optional<std::vector<uint8_t>> RelayPadding(std::span<const uint8_t> file, RelayNote* note) {
    const int64_t n = int64_t(file.size());
    if (n < 8) return std::nullopt;
    const int32_t rootsize = format::LoadI32(file.data() + 4);
    if (rootsize < 0 || 8 + int64_t(rootsize) > n) return std::nullopt;
    if (!MayLeaveOutPadding(file)) return std::nullopt;
    auto tag = [&](int64_t at) { return format::LoadU32(file.data() + at); };
    auto counted = [&](const Piece& c) { return c.container && format::schema::FindContainer(tag(c.at))->counted; };
    // Breadth first: a container's children stand side by side, after it.
    std::vector<Piece> pieces{{0, rootsize, -1, format::schema::FindContainer(tag(0)) != nullptr}};
    int64_t moved = 0;  // chunks followed by padding their size leaves out
    for (size_t i = 0; i < pieces.size(); ++i) {
        if (!pieces[i].container) continue;
        const int64_t start = pieces[i].at + 8, end = start + pieces[i].length;
        int64_t p = start + (counted(pieces[i]) ? 4 : 0);
        if (p > end) return std::nullopt;
        pieces[i].first = pieces.size();
        while (p < end) {
            if (end - p < 8 || !std::all_of(file.begin() + p, file.begin() + p + 4, NameByte)) return std::nullopt;
            const int32_t size = format::LoadI32(file.data() + p + 4);
            const int64_t q = p + 8 + int64_t(size);
            if (size < 0 || q > end) return std::nullopt;
            pieces.push_back({p, size, int64_t(i), format::schema::FindContainer(tag(p)) != nullptr});
            const int64_t pad = (4 - (q - start) % 4) % 4;
            if (q == end || pad == 0) {
                p = q;
                continue;
            }
            // The padding must be there, and zeros: anything else is no
            // padding, and the file is not read this way.
            if (q + pad > end || std::any_of(file.begin() + q, file.begin() + q + pad, [](uint8_t b) { return b; }))
                return std::nullopt;
            if (note && moved == 0) note->first = p;
            ++moved;
            p = q + pad;
        }
        pieces[i].count = pieces.size() - pieces[i].first;
    }
    if (moved == 0) return std::nullopt;
    // Sizes from the leaves up: a leaf's data and its padding; a container's
    // count and its children.
    for (size_t i = pieces.size(); i-- > 0;) {
        Piece& c = pieces[i];
        if (!c.container)
            c.size = (c.length + 3) / 4 * 4;
        else if (counted(c))
            c.size += 4;
        if (c.size > std::numeric_limits<int32_t>::max()) return std::nullopt;
        if (c.parent >= 0) pieces[size_t(c.parent)].size += 8 + c.size;
    }
    // Written in file order: each chunk's header and its own bytes, then
    // its children.
    std::vector<uint8_t> out;
    out.reserve(size_t(pieces[0].size + 8 + (n - 8 - rootsize)));
    std::vector<std::pair<size_t, size_t>> stack;  // a container, its next child
    size_t next = 0;
    for (;;) {
        const Piece& c = pieces[next];
        uint8_t h[8];
        std::memcpy(h, file.data() + c.at, 4);
        format::StoreI32(h + 4, int32_t(c.size));
        out.insert(out.end(), h, h + 8);
        const int64_t own = c.container ? (counted(c) ? 4 : 0) : c.length;
        out.insert(out.end(), file.begin() + c.at + 8, file.begin() + c.at + 8 + own);
        if (!c.container) out.resize(out.size() + size_t(c.size - c.length), 0);
        if (c.container) stack.push_back({next, 0});
        while (!stack.empty() && stack.back().second == pieces[stack.back().first].count) stack.pop_back();
        if (stack.empty()) break;
        next = pieces[stack.back().first].first + stack.back().second++;
    }
    out.insert(out.end(), file.begin() + 8 + rootsize, file.end());
    if (note) note->chunks = moved;
    return out;
}

mshptr OpenRelaid(const std::string& path, const namelist& list, int recognizematl, bool grouped, std::string& why,
                  std::string& note) {
    auto bytes = std::make_shared<std::vector<uint8_t>>();
    RelayNote relay;
    std::optional<std::vector<uint8_t>> relaid;
    // Memory that runs out on the way is a file that cannot be read, as in
    // msh::ReadMsh.
    try {
        if (!msh::ReadBytes(path, *bytes, &why)) return nullptr;
        relaid = RelayPadding(*bytes, &relay);
        if (relaid) *bytes = std::move(*relaid);
    } catch (const std::bad_alloc&) {
        why = host::SystemError(ENOMEM);
        return nullptr;
    }
    mshptr m = grouped ? OpenBytes(bytes, list, recognizematl, &why)
                             : msh::FromBytes(bytes, list, recognizematl, &why);
    if (!m) return nullptr;
    note = m->cut;
    if (relaid)
        note = "re-laid: " + std::to_string(relay.chunks) + (relay.chunks == 1 ? " chunk" : " chunks") +
               " whose size left out its padding (the first at offset " + std::to_string(relay.first) +
               "); saving writes every size with its padding";
    return m;
}

}  // namespace mesh
