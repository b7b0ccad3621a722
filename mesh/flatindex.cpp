// The flat index: parsing into it, the rebuild of sizes, the grouping of
// material lists, and reading a chunk's data.
#include "mesh/flatindex.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <new>

#include "format/bytes.h"
#include "files/files.h"
#include "mesh/msh.h"
#include "mesh/parse.h"

namespace mesh {

// Both the source the parse reads from and the builder of its nodes.
struct flatindex::build {
    using handle = uint32_t;
    flatindex& x;
    void read(int64_t pos, int64_t count, uint8_t* out) const { x.read(pos, count, out); }
    uint32_t make(const header& h, uint32_t parent, int64_t datapos) {
        if (x.nodes_.size() >= none) throw std::bad_alloc();
        node n;
        n.at = datapos;
        n.size = h.size;
        std::memcpy(n.name, h.name.data(), 4);
        n.parent = parent;
        x.nodes_.push_back(n);
        return uint32_t(x.nodes_.size() - 1);
    }
    void adopt(uint32_t parent, uint32_t kid) {
        node& p = x.nodes_[parent];
        if (p.last == none)
            p.first = kid;
        else
            x.nodes_[p.last].next = kid;
        p.last = kid;
    }
};

flatindex::flatindex(std::shared_ptr<const std::vector<uint8_t>> bytes, const namelist& list, int recognizematl)
    : file_(bytes ? std::move(bytes) : std::make_shared<const std::vector<uint8_t>>()),
      recognizematl_(recognizematl) {
    build b{*this};
    ParseChunk(b, b, 0, int64_t(file_->size()), 0, list, none);
    Rebuild();
    if (recognizematl) {
        GroupMaterials(list);
        Rebuild();
    }
}

std::string flatindex::cut() const {
    return CutNote(*file_);
}

void flatindex::read(int64_t pos, int64_t count, uint8_t* out) const {
    const int64_t n = int64_t(file_->size());
    const uint8_t* from = pos < n ? file_->data() + pos : made_.data() + (pos - n);
    std::memcpy(out, from, size_t(count));
}

bool flatindex::grouped(uint32_t i) const {
    return recognizematl_ && container(i) && name(i) == "MATL";
}

// A container's size is what its children take (and the MATD count of a
// grouped MATL), at most the largest size there is. Children stand after
// their parents in the array, so one pass from the end sees every child
// before its parent.
void flatindex::Rebuild() {
    for (size_t j = nodes_.size(); j-- > 0;) {
        if (!container(uint32_t(j))) continue;
        int64_t sum = grouped(uint32_t(j)) ? 4 : 0;
        for (uint32_t k = nodes_[j].first; k != none; k = nodes_[k].next) sum += int64_t(nodes_[k].size) + 8;
        nodes_[j].size = int32_t(std::min<int64_t>(sum, std::numeric_limits<int32_t>::max()));
    }
}

// Every MATL of at least 12 bytes gets the chunks after its MATD count as its
// children (those it had go first: its data as last rebuilt is read again);
// the new children are not searched further.
void flatindex::GroupMaterials(const namelist& list) {
    std::vector<uint32_t> matls;
    PreOrder([&](uint32_t i, size_t) {
        if (name(i) != "MATL" || nodes_[i].size < 12) return true;
        matls.push_back(i);
        return false;
    });
    for (uint32_t i : matls) {
        if (container(i)) {
            std::vector<uint8_t> data;
            Encode(i, data);
            nodes_[i].at = int64_t(file_->size() + made_.size());
            made_.insert(made_.end(), data.begin(), data.end());
            nodes_[i].first = nodes_[i].last = none;
        }
        build b{*this};
        ParseRun(b, b, nodes_[i].at, nodes_[i].size, 4, nodes_[i].size, list, i);
    }
}

void flatindex::Encode(uint32_t i, std::vector<uint8_t>& out) const {
    const size_t start = out.size();
    std::vector<uint32_t> stack;  // the next child to write, a level each
    auto open = [&](uint32_t c) {
        if (grouped(c)) {
            int32_t matds = 0;
            for (uint32_t k = nodes_[c].first; k != none; k = nodes_[k].next) matds += name(k) == "MATD" ? 1 : 0;
            uint8_t b[4];
            format::StoreI32(b, matds);
            out.insert(out.end(), b, b + 4);
        }
        stack.push_back(nodes_[c].first);
    };
    open(i);
    while (!stack.empty()) {
        const uint32_t k = stack.back();
        if (k == none) {
            stack.pop_back();
            continue;
        }
        stack.back() = nodes_[k].next;
        uint8_t h[8];
        std::memcpy(h, nodes_[k].name, 4);
        format::StoreI32(h + 4, nodes_[k].size);
        out.insert(out.end(), h, h + 8);
        if (container(k)) {
            open(k);
        } else if (nodes_[k].size > 0) {
            out.resize(out.size() + size_t(nodes_[k].size));
            read(nodes_[k].at, nodes_[k].size, out.data() + out.size() - size_t(nodes_[k].size));
        }
    }
    // The data array holds exactly size bytes.
    out.resize(start + size_t(std::max<int32_t>(0, nodes_[i].size)), 0);
}

int64_t flatindex::datalen(uint32_t i) const {
    return std::max<int32_t>(0, nodes_[i].size);
}

int64_t flatindex::readbytes(uint32_t i, int64_t pos, int64_t count, uint8_t* out) const {
    const int64_t a = std::max<int64_t>(pos, 0), b = std::min(pos + count, datalen(i));
    if (a >= b) return 0;
    if (!container(i)) {
        read(nodes_[i].at + a, b - a, out + (a - pos));
    } else {
        std::vector<uint8_t> data;
        Encode(i, data);
        std::memcpy(out + (a - pos), data.data() + a, size_t(b - a));
    }
    return b - a;
}

std::unique_ptr<flatindex> OpenIndex(const std::string& path, const namelist& list, int recognizematl,
                                     std::string* error) {
    try {
        auto bytes = std::make_shared<std::vector<uint8_t>>();
        if (!msh::ReadBytes(path, *bytes, error)) return nullptr;
        return std::make_unique<flatindex>(std::move(bytes), list, recognizematl);
    } catch (const std::bad_alloc&) {
        if (error) *error = host::SystemError(ENOMEM);
        return nullptr;
    }
}

}  // namespace mesh
