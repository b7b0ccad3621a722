// The rename of a model or a texture: the text record takes the new name
// (resized, padded to four bytes) and every record that names it follows.
#include <algorithm>

#include "check/check.h"
#include "check/repair.h"
#include "format/bytes.h"
#include "mesh/records.h"
#include "format/records.h"
#include "format/values.h"
#include "mesh/walk.h"

namespace check {

namespace {

using mesh::chunk;
using mesh::chunkptr;
using Bytes = std::vector<uint8_t>;

// The zero-terminated names of a cloth list from byte `from` on, with the
// fixed bytes that follow each (COLL: a shape and three sizes); false when
// the bytes do not hold `count` such entries and at most padding after them.
struct Named {
    std::vector<std::string> names;
    std::vector<Bytes> after;
};
bool ReadNames(std::span<const uint8_t> d, int perentry, size_t fixed, Named& out) {
    if (d.size() < 4) return false;
    const uint32_t count = format::LoadU32(d.data());
    size_t p = 4;
    for (uint32_t i = 0; i < count; ++i) {
        for (int k = 0; k < perentry; ++k) {
            const auto zero = std::find(d.begin() + long(p), d.end(), uint8_t(0));
            if (zero == d.end()) return false;
            out.names.emplace_back(d.begin() + long(p), zero);
            p = size_t(zero - d.begin()) + 1;
        }
        if (p + fixed > d.size()) return false;
        out.after.emplace_back(d.begin() + long(p), d.begin() + long(p + fixed));
        p += fixed;
    }
    return std::all_of(d.begin() + long(p), d.end(), [](uint8_t b) { return b == 0; }) && d.size() - p < 4;
}

Bytes WriteNames(uint32_t count, const Named& n, int perentry) {
    Bytes b(4);
    format::StoreU32(b.data(), count);
    for (size_t i = 0; i < n.after.size(); ++i) {
        for (int k = 0; k < perentry; ++k) {
            const std::string& s = n.names[i * size_t(perentry) + size_t(k)];
            b.insert(b.end(), s.begin(), s.end());
            b.push_back(0);
        }
        b.insert(b.end(), n.after[i].begin(), n.after[i].end());
    }
    b.resize((b.size() + 3) / 4 * 4, 0);
    return b;
}

bool IsTexture(const std::string& name) {
    return name == "TX0D" || name == "TX1D" || name == "TX2D" || name == "TX3D" || name == "CTEX";
}

}  // namespace

std::optional<Repair> PlanRename(const chunkptr& root, const std::string& from, const std::string& to,
                                 std::string& why) {
    if (!root) return std::nullopt;
    if (from.empty() || to.empty() || from == to || from.find('\0') != std::string::npos ||
        to.find('\0') != std::string::npos) {
        why = "a name is not empty, holds no zero byte, and the new one differs from the old";
        return std::nullopt;
    }
    std::vector<chunkptr> models, texts;  // the model of that name; the texture records naming it
    bool taken = false;
    mesh::PreOrder(*root, [&](chunk& c) {
        if (c.name == "MODL") {
            const std::string n = mesh::TextOf(mesh::Kid(c, "NAME"));
            if (n == from) models.push_back(c.shared_from_this());
            if (n == to) taken = true;
        } else if (IsTexture(c.name) && c.kids.empty() && mesh::TextOf(&c) == from) {
            texts.push_back(c.shared_from_this());
        }
    });
    if (models.size() > 1) {
        why = "two models are called \"" + from + "\": which one a PRNT means is not certain";
        return std::nullopt;
    }
    if (!models.empty() && taken) {
        why = "a model is called \"" + to + "\" already";
        return std::nullopt;
    }
    if (models.empty() && texts.empty()) {
        why = "no model or texture is called \"" + from + "\"";
        return std::nullopt;
    }
    if (!texts.empty())
        if (const char* fault = TextureNameFault(to)) {
            why = "the new name holds " + std::string(fault) + ": the model's .req file cannot list it as a texture";
            return std::nullopt;
        }
    // The references, found now: the cloth lists must read whole to be
    // rewritten, else the rename is not offered.
    std::vector<std::pair<chunkptr, Bytes>> lists;
    std::vector<chunkptr> parents;
    if (!models.empty()) {
        bool whole = true;
        mesh::PreOrder(*root, [&](chunk& c) {
            if (!c.kids.empty()) return;
            if (c.name == "PRNT" && mesh::TextOf(&c) == from) parents.push_back(c.shared_from_this());
            if (c.name != "FWGT" && c.name != "COLL") return;
            const bool coll = c.name == "COLL";
            Named n;
            const std::span<const uint8_t> d = mesh::LeafBytes(c);
            if (!ReadNames(d, coll ? 2 : 1, coll ? 16 : 0, n)) {
                whole = whole && std::search(d.begin(), d.end(), from.begin(), from.end()) == d.end();
                return;
            }
            bool named = false;
            for (size_t i = 0; i < n.names.size(); ++i)
                if (n.names[i] == from && (!coll || i % 2 == 1)) n.names[i] = to, named = true;
            if (named) lists.push_back({c.shared_from_this(), WriteNames(format::LoadU32(d.data()), n, coll ? 2 : 1)});
        });
        if (!whole) {
            why = "a cloth list (FWGT, COLL) does not read whole: its names cannot be rewritten";
            return std::nullopt;
        }
    }
    chunkptr name;
    if (!models.empty())
        for (const chunkptr& k : models.front()->kids)
            if (k->name == "NAME" && !name) name = k;
    const chunkptr where = name ? name : texts.front();
    const size_t refs = parents.size() + lists.size() + (models.empty() ? 0 : texts.size());
    Repair r{"rename", mesh::ChunkPath(where),
             "rename \"" + from + "\" -> \"" + to + "\"" +
                 (refs || (models.empty() && texts.size() > 1)
                      ? ", with " + std::to_string(models.empty() ? texts.size() - 1 : refs) + " references"
                      : std::string()),
             where, nullptr};
    const Bytes record = format::TextRecord(to);
    r.apply = [name, texts, parents, lists, record] {
        if (name) name->setdata(record);
        for (const chunkptr& t : texts) t->setdata(record);
        for (const chunkptr& p : parents) p->setdata(record);
        for (const auto& [c, bytes] : lists) c->setdata(bytes);
    };
    return r;
}

}  // namespace check
