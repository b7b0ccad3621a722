// Look-ups in the table of chunk kinds (format/records.h).
#include "format/records.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "format/bytes.h"

namespace format {

namespace {

// A name of four characters as one number.
uint32_t Pack(std::string_view s) { return LoadU32(reinterpret_cast<const uint8_t*>(s.data())); }

// Every kind by its packed name, sorted; with its index among the rule names.
struct Entry {
    uint32_t key;
    const ChunkKind* kind;
    int rule;
};

const std::vector<Entry>& Index() {
    static const std::vector<Entry> index = [] {
        std::vector<Entry> v;
        int rule = 0;
        for (const ChunkKind& k : kChunkKinds) v.push_back({Pack(k.name), &k, k.rule ? rule++ : -1});
        std::sort(v.begin(), v.end(), [](const Entry& a, const Entry& b) { return a.key < b.key; });
        return v;
    }();
    return index;
}

const Entry* Find(std::string_view name) {
    if (name.size() != 4) return nullptr;
    const std::vector<Entry>& v = Index();
    const uint32_t key = Pack(name);
    auto it = std::lower_bound(v.begin(), v.end(), key, [](const Entry& e, uint32_t k) { return e.key < k; });
    return (it != v.end() && it->key == key) ? &*it : nullptr;
}

}  // namespace

const ChunkKind* FindKind(std::string_view name) {
    const Entry* e = Find(name);
    return e ? e->kind : nullptr;
}

int RuleIndex(std::string_view name) {
    const Entry* e = Find(name);
    return e ? e->rule : -1;
}

const RecordLayout& LayoutOf(const ChunkKind& kind, std::string_view parent) {
    for (const RecordLayout& l : kind.layouts)
        if (!l.parent || (!parent.empty() && parent == l.parent)) return l;
    return kind.layouts.back();
}

bool IsRecordName(std::string_view name) {
    const ChunkKind* k = FindKind(name);
    if (!k || k->container) return false;
    return k->rule || LayoutOf(*k, {}).layout == Layout::Text;
}

int ListWidth(std::string_view name) {
    if (name.empty()) return kEmptyNameListWidth;
    const ChunkKind* k = FindKind(name);
    return k && k->listwidth > 0 ? k->listwidth : 1;
}

}  // namespace format
