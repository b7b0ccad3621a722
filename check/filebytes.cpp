// The check's bytes in pieces: a binary search finds the piece of an offset.
#include "check/filebytes.h"

#include <algorithm>
#include <cstring>

#include "format/bytes.h"

namespace check::detail {

FileBytes::FileBytes(std::span<const uint8_t> flat) : size_(int64_t(flat.size())) {
    if (!flat.empty()) pieces_.push_back({0, flat.data(), size_, 0});
}

FileBytes::FileBytes(const mesh::chunk& root, std::span<const uint8_t> after) {
    // Neighbouring pieces of one kind that follow each other in memory are
    // one piece: the headers of a run of empty chunks, a leaf's slice that
    // goes on where the previous one ended.
    struct Gather final : mesh::chunk::PieceSink {
        FileBytes& f;
        explicit Gather(FileBytes& fb) : f(fb) {}
        void copy(const uint8_t* bytes, size_t n) override {
            if (n == 0) return;
            Piece* last = f.pieces_.empty() ? nullptr : &f.pieces_.back();
            if (last && !last->bytes && last->from + last->n == int64_t(f.own_.size()))
                last->n += int64_t(n);
            else
                f.pieces_.push_back({f.size_, nullptr, int64_t(n), int64_t(f.own_.size())});
            f.own_.insert(f.own_.end(), bytes, bytes + n);
            f.size_ += int64_t(n);
        }
        void shared(std::span<const uint8_t> whole, size_t offset, size_t n) override {
            if (n == 0) return;
            const uint8_t* p = whole.data() + offset;
            Piece* last = f.pieces_.empty() ? nullptr : &f.pieces_.back();
            if (last && last->bytes && last->bytes + last->n == p)
                last->n += int64_t(n);
            else
                f.pieces_.push_back({f.size_, p, int64_t(n), 0});
            f.size_ += int64_t(n);
        }
    } gather(*this);
    root.encode(gather, 1);
    gather.copy(after.data(), after.size());
    for (Piece& p : pieces_)
        if (!p.bytes) p.bytes = own_.data() + p.from;
}

size_t FileBytes::PieceAt(int64_t p) const {
    auto it = std::upper_bound(pieces_.begin(), pieces_.end(), p, [](int64_t v, const Piece& q) { return v < q.at; });
    return size_t(it - pieces_.begin()) - 1;
}

void FileBytes::Copy(int64_t p, int64_t n, uint8_t* out) const {
    for (size_t i = PieceAt(p); n > 0 && i < pieces_.size(); ++i) {
        const Piece& q = pieces_[i];
        const int64_t from = p - q.at, take = std::min(n, q.n - from);
        std::memcpy(out, q.bytes + from, size_t(take));
        out += take, p += take, n -= take;
    }
}

uint32_t FileBytes::U32(int64_t p) const {
    const Piece& q = pieces_[PieceAt(p)];
    if (p + 4 <= q.at + q.n) return format::LoadU32(q.bytes + (p - q.at));
    uint8_t b[4];
    Copy(p, 4, b);
    return format::LoadU32(b);
}

std::span<const uint8_t> FileBytes::Sub(int64_t p, int64_t n) const {
    if (n <= 0) return {};
    const Piece& q = pieces_[PieceAt(p)];
    if (p + n <= q.at + q.n) return {q.bytes + (p - q.at), size_t(n)};
    auto [it, fresh] = joined_.try_emplace({p, n});
    if (fresh) {
        it->second.resize(size_t(n));
        Copy(p, n, it->second.data());
    }
    return it->second;
}

}  // namespace check::detail
