// The bytes the deep check reads: a file held in one piece, or the encoding
// of a tree as it would be saved, held as the pieces the tree already has
// (headers gathered here, each leaf's bytes where they stand). Checking a
// tree of 64 MB thus copies its headers, not its data.
//
// Offsets are those of the file. A range that lies in one piece is handed
// out where it stands; one that straddles pieces (a chunk the tree holds as
// children that the check reads as a record) is joined once and kept until
// the FileBytes goes.
#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <utility>
#include <vector>

#include "mesh/chunk.h"

namespace check::detail {

class FileBytes {
public:
    explicit FileBytes(std::span<const uint8_t> flat);
    // root's encoding (a grouped MATL with its count), then after: the tree
    // must not change while this is in use.
    FileBytes(const mesh::chunk& root, std::span<const uint8_t> after);
    FileBytes(const FileBytes&) = delete;
    FileBytes& operator=(const FileBytes&) = delete;

    int64_t size() const { return size_; }
    // The little-endian value at p; the caller has made sure p + 4 <= size().
    uint32_t U32(int64_t p) const;
    // Bytes [p, p + n), inside size().
    std::span<const uint8_t> Sub(int64_t p, int64_t n) const;

private:
    struct Piece {
        int64_t at;            // offset in the file
        const uint8_t* bytes;  // null while it lies in own_ (then from is its offset there)
        int64_t n;
        int64_t from;
    };
    size_t PieceAt(int64_t p) const;
    void Copy(int64_t p, int64_t n, uint8_t* out) const;

    std::vector<Piece> pieces_;
    std::vector<uint8_t> own_;  // the headers and counts, back to back
    int64_t size_ = 0;
    mutable std::map<std::pair<int64_t, int64_t>, std::vector<uint8_t>> joined_;  // by offset and length
};

}  // namespace check::detail
