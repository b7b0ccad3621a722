// A file whose sizes or counts its tree does not write back: opening mends
// them (a size that runs past its parent is cut to what it holds, a grouped
// MATL's count follows its materials), so saving would change the file
// without any repair rule having planned it. That change is one repair of
// its own, so that fix names every byte it changes.
#include <algorithm>

#include "check/repair.h"
#include "mesh/records.h"

namespace check {

namespace {

// Compares the pieces of a save with the file's bytes as they come, without
// gathering them.
struct Comparer final : mesh::chunk::PieceSink {
    std::span<const uint8_t> file;
    size_t at = 0;
    int64_t first = -1;  // the first byte that differs

    void Check(const uint8_t* p, size_t n) {
        if (first < 0 && !(at <= file.size() && p == file.data() + at && n <= file.size() - at)) {
            const size_t common = at < file.size() ? std::min(n, file.size() - at) : 0;
            const auto diff = std::mismatch(p, p + common, file.begin() + std::ptrdiff_t(std::min(at, file.size()))).first;
            if (diff != p + common || common < n) first = int64_t(at) + (diff - p);
        }
        at += n;
    }
    void copy(const uint8_t* bytes, size_t n) override { Check(bytes, n); }
    void shared(std::span<const uint8_t> whole, size_t offset, size_t n) override { Check(whole.data() + offset, n); }
};

}  // namespace

std::optional<Repair> PlanResize(const mesh::msh& m, std::span<const uint8_t> file, int recognizematl) {
    if (!m.hedr) return std::nullopt;
    Comparer c;
    c.file = file;
    m.hedr->encode(c, recognizematl);
    c.Check(m.tail.data(), m.tail.size());
    if (c.first < 0 && c.at == file.size()) return std::nullopt;
    const int64_t at = c.first >= 0 ? c.first : int64_t(std::min(c.at, file.size()));
    // The chunk whose header (or grouped count) holds that byte.
    mesh::chunkptr where = m.hedr;
    int64_t header = 0;
    for (;;) {
        const int64_t first = header + 8 + (recognizematl && where->name == "MATL" && !where->kids.empty() ? 4 : 0);
        if (at < first || where->kids.empty()) break;
        int64_t k = first;
        mesh::chunkptr next;
        for (const mesh::chunkptr& kid : where->kids) {
            const int64_t len = 8 + std::max<int64_t>(0, kid->size);
            if (at < k + len) {
                next = kid;
                break;
            }
            k += len;
        }
        if (!next) break;
        where = next;
        header = k;
    }
    std::string what = "write the sizes and counts the chunks hold: the file differs from byte " + std::to_string(at);
    if (c.at != file.size()) what += ", " + std::to_string(file.size()) + " bytes -> " + std::to_string(c.at);
    return Repair{"chunk-layout", mesh::ChunkPath(where), what, where, [] {}};
}

}  // namespace check
