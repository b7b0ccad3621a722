#include "mesh/records.h"

#include <algorithm>
#include <vector>

#include "format/bytes.h"

namespace mesh {

std::span<const uint8_t> LeafBytes(const mesh::chunk& c) {
    if (!c.kids.empty() || c.size <= 0) return {};
    std::span<const uint8_t> d = c.data();
    return d.first(std::min<size_t>(d.size(), size_t(c.size)));
}

const mesh::chunk* Kid(const mesh::chunk& c, std::string_view name) {
    for (const mesh::chunkptr& k : c.kids)
        if (k && k->name == name) return k.get();
    return nullptr;
}

std::string TextOf(const mesh::chunk* c) {
    if (!c || !c->kids.empty()) return std::string();
    std::span<const uint8_t> b = LeafBytes(*c);
    auto zero = std::find(b.begin(), b.end(), uint8_t(0));
    return std::string(b.begin(), zero);
}

int64_t LeadingU32(const mesh::chunk* c) {
    if (!c) return -1;
    format::Reader r(LeafBytes(*c));
    const uint32_t v = r.U32();
    return r.ok() ? int64_t(v) : -1;
}

std::string PathPart(const mesh::chunk& c, int sibling) {
    if (c.name == "MODL") {
        const mesh::chunk* n = Kid(c, "NAME");
        if (n && n->kids.empty()) {
            std::string text = TextOf(n);
            if (text.size() > kNameInPath) text.resize(kNameInPath);
            return c.name + "[" + text + "]";
        }
    }
    if (sibling >= 0) return c.name + "[" + std::to_string(sibling) + "]";
    return c.name;
}

std::string ChunkPath(const mesh::chunkptr& c) {
    constexpr size_t kMaxDepth = 4096;
    std::vector<std::string> parts;
    mesh::chunkptr cur = c;
    bool cut = false;
    while (cur) {
        if (parts.size() >= kMaxDepth) {
            cut = true;
            break;
        }
        mesh::chunkptr p = cur->getparent();
        const int idx = p ? p->IndexOfKid(cur.get()) : -1;
        int sibling = -1;
        if (idx >= 0 && p->numkids(cur->name) > 1) {
            sibling = 0;
            for (int k = 0; k < idx; ++k)
                if (p->kids[static_cast<size_t>(k)]->name == cur->name) ++sibling;
        }
        parts.push_back(PathPart(*cur, sibling));
        if (idx < 0) break;  // the root, or a chunk that left its parent
        cur = p;
    }
    std::string path = cut ? "..." : "";
    for (size_t i = parts.size(); i-- > 0;) {
        if (!path.empty()) path += '/';
        path += parts[i];
    }
    return path;
}

}  // namespace mesh
