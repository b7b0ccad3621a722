// The rounds of fix on a file's bytes (see fixfile.h).
#include "check/fixfile.h"

#include <algorithm>

#include "mesh/relay.h"

namespace check {

namespace {

bool Wanted(const FixRequest& q, std::string_view rule) {
    return q.rules.empty() || std::find(q.rules.begin(), q.rules.end(), rule) != q.rules.end();
}

// One round: the repairs it made are added to r; false when the bytes do
// not read.
bool Round(const FixRequest& q, bool first, std::shared_ptr<std::vector<uint8_t>> bytes, FixResult& r,
           size_t& made) {
    const size_t before = r.repairs.size();
    // Sizes that leave out their padding are mended on the bytes: the tree
    // would read such a file as other chunks.
    mesh::RelayNote note;
    if (Wanted(q, "chunk-layout"))
        if (auto re = mesh::RelayPadding(*bytes, &note)) {
            const std::string at(bytes->begin() + note.first, bytes->begin() + note.first + 4);
            *bytes = std::move(*re);
            r.repairs.push_back({"chunk-layout", "HEDR",
                                 "re-lay " + std::to_string(note.chunks) + (note.chunks == 1 ? " chunk" : " chunks") +
                                     " whose size left out its padding (the first " + at + " at offset " +
                                     std::to_string(note.first) + ")",
                                 {}, nullptr});
        }
    const std::shared_ptr<const std::vector<uint8_t>> read = bytes;
    r.mesh = mesh::OpenBytes(std::move(bytes), *q.list, q.recognizematl, &r.why);
    if (!r.mesh || !r.mesh->hedr) return false;
    // Sizes and counts that opening mended are written by any save: a
    // repair of their own, named whenever the file is written.
    const std::optional<Repair> resize = PlanResize(*r.mesh, *read, q.recognizematl);
    // The renames asked for come first: the repairs then see the names.
    for (const auto& [from, to] : first ? q.renames : decltype(q.renames){}) {
        std::string why;
        std::optional<Repair> rename = PlanRename(r.mesh->hedr, from, to, why);
        if (!rename) {
            r.refused.emplace_back(from, why);
            continue;
        }
        rename->apply();
        rename->apply = nullptr;
        r.mesh->hedr->Update(q.recognizematl);
        r.repairs.push_back(std::move(*rename));
    }
    std::vector<Repair> done = FixTree(r.mesh->hedr, q.rules, q.recognizematl);
    std::move(done.begin(), done.end(), std::back_inserter(r.repairs));
    if (resize && (r.repairs.size() > 0 || q.written || Wanted(q, "chunk-layout"))) r.repairs.push_back(*resize);
    made = r.repairs.size() - before;
    return true;
}

}  // namespace

FixResult FixFile(std::shared_ptr<std::vector<uint8_t>> bytes, const FixRequest& q) {
    FixResult r;
    constexpr int kRounds = 4;
    for (int round = 0; round < kRounds; ++round) {
        size_t made = 0;
        if (!Round(q, round == 0, bytes, r, made)) {
            r.mesh = nullptr;
            return r;
        }
        if (made == 0 || round + 1 == kRounds) break;
        bytes = std::make_shared<std::vector<uint8_t>>();
        r.mesh->hedr->save(*bytes, q.recognizematl);
        bytes->insert(bytes->end(), r.mesh->tail.begin(), r.mesh->tail.end());
    }
    for (Repair& x : r.repairs) x.apply = nullptr;
    return r;
}

}  // namespace check
