// Little-endian values in byte arrays: the one reader and the one writer of
// the mesh format. Everything in a mesh file is little-endian: the sizes of
// the chunk headers, the counts of the lists, the fields of the records.
//
// A Reader walks a span of bytes. A read that does not fit (fewer bytes left
// than its width, or a position outside the span) fails: the reader keeps the
// first failure, a reason and the offset where it happened, returns zero
// values from then on and stays where it was. So a caller reads a whole
// record and asks once at the end (ok()), or checks after each read.
//
// A Writer appends values to a byte vector, or patches values already in it
// (At moves its position back); a patch past the end fails the same way.
//
// The single-value helpers (LoadU32 and the like) read or write at a raw
// pointer the caller has already bounds-checked: the tight loops of parsing.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace format {

// ---- Single values at a checked pointer -------------------------------------

inline uint16_t LoadU16(const uint8_t* b) { return uint16_t(b[0] | b[1] << 8); }
inline uint32_t LoadU32(const uint8_t* b) {
    if constexpr (std::endian::native == std::endian::little) {
        uint32_t v;
        std::memcpy(&v, b, 4);
        return v;
    }
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}
inline int32_t LoadI32(const uint8_t* b) { return static_cast<int32_t>(LoadU32(b)); }
inline float LoadF32(const uint8_t* b) { return std::bit_cast<float>(LoadU32(b)); }

inline void StoreU16(uint8_t* b, uint16_t v) {
    b[0] = uint8_t(v);
    b[1] = uint8_t(v >> 8);
}
inline void StoreU32(uint8_t* b, uint32_t v) {
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(b, &v, 4);
        return;
    }
    b[0] = uint8_t(v);
    b[1] = uint8_t(v >> 8);
    b[2] = uint8_t(v >> 16);
    b[3] = uint8_t(v >> 24);
}
inline void StoreI32(uint8_t* b, int32_t v) { StoreU32(b, static_cast<uint32_t>(v)); }
inline void StoreF32(uint8_t* b, float v) { StoreU32(b, std::bit_cast<uint32_t>(v)); }

// ---- The failure of a read or a patch -----------------------------------------

struct Failure {
    std::string reason;  // "4 bytes needed at offset 12, 2 left"
    int64_t offset = -1;  // where the failing read or patch started
};

// The reason of a value of `width` bytes that does not fit at `at` of an
// array of `size` bytes.
std::string ShortReason(int64_t width, int64_t at, int64_t size);

// ---- Reader ----------------------------------------------------------------------

class Reader {
public:
    Reader() = default;
    explicit Reader(std::span<const uint8_t> bytes, int64_t pos = 0) : b_(bytes), pos_(pos) {}

    uint8_t U8() {
        const uint8_t* p = Take(1);
        return p ? p[0] : 0;
    }
    uint16_t U16() {
        const uint8_t* p = Take(2);
        return p ? LoadU16(p) : 0;
    }
    uint32_t U32() {
        const uint8_t* p = Take(4);
        return p ? LoadU32(p) : 0;
    }
    int32_t I32() { return static_cast<int32_t>(U32()); }
    float F32() { return std::bit_cast<float>(U32()); }
    // n bytes as characters, every one of them (zeros included); empty on failure.
    std::string Chars(int64_t n) {
        const uint8_t* p = Take(n);
        return p ? std::string(reinterpret_cast<const char*>(p), size_t(n)) : std::string();
    }
    // n bytes in place; empty on failure.
    std::span<const uint8_t> Bytes(int64_t n) {
        const uint8_t* p = Take(n);
        return p ? std::span<const uint8_t>(p, size_t(n)) : std::span<const uint8_t>();
    }
    void Skip(int64_t n) { Take(n); }

    // Moves to an absolute position (reads there fail when it is outside).
    void Seek(int64_t pos) {
        if (ok()) pos_ = pos;
    }
    int64_t pos() const { return pos_; }
    int64_t size() const { return int64_t(b_.size()); }
    // Bytes left from the position (0 when it is outside the span).
    int64_t left() const { return pos_ >= 0 && pos_ <= size() ? size() - pos_ : 0; }
    // Whether n more bytes can be read.
    bool Has(int64_t n) const { return ok() && n >= 0 && pos_ >= 0 && n <= left(); }

    bool ok() const { return failure_.offset < 0; }
    const Failure& failure() const { return failure_; }
    // Records a failure of the caller's own (a count that cannot be, a value
    // out of range) at the current position, unless one is already recorded.
    void Fail(std::string reason) { Fail(std::move(reason), pos_); }
    void Fail(std::string reason, int64_t offset) {
        if (ok()) failure_ = {std::move(reason), offset < 0 ? 0 : offset};
    }

private:
    const uint8_t* Take(int64_t n) {
        if (!ok()) return nullptr;
        if (n < 0 || pos_ < 0 || n > left()) {
            Fail(ShortReason(n, pos_, size()));
            return nullptr;
        }
        const uint8_t* p = b_.data() + pos_;
        pos_ += n;
        return p;
    }

    std::span<const uint8_t> b_;
    int64_t pos_ = 0;
    Failure failure_;
};

// ---- Writer ----------------------------------------------------------------------

class Writer {
public:
    // Appends at the end of out; At moves the position to patch bytes in place.
    explicit Writer(std::vector<uint8_t>& out) : out_(out), pos_(int64_t(out.size())) {}

    void U8(uint8_t v) { Put(&v, 1); }
    void U16(uint16_t v) {
        uint8_t b[2];
        StoreU16(b, v);
        Put(b, 2);
    }
    void U32(uint32_t v) {
        uint8_t b[4];
        StoreU32(b, v);
        Put(b, 4);
    }
    void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
    void F32(float v) { U32(std::bit_cast<uint32_t>(v)); }
    // The characters of s, cut or padded with zero bytes to width bytes.
    void Chars(std::string_view s, int64_t width) {
        for (int64_t i = 0; i < width; ++i) U8(i < int64_t(s.size()) ? uint8_t(s[size_t(i)]) : 0);
    }
    void Bytes(std::span<const uint8_t> v) { Put(v.data(), int64_t(v.size())); }

    // Patching: the next values overwrite the bytes from pos on (a value that
    // would run past the end fails); At(size) goes back to appending.
    void At(int64_t pos) {
        if (ok()) pos_ = pos;
    }
    int64_t pos() const { return pos_; }

    bool ok() const { return failure_.offset < 0; }
    const Failure& failure() const { return failure_; }

private:
    void Put(const uint8_t* p, int64_t n) {
        if (!ok()) return;
        const int64_t size = int64_t(out_.size());
        if (pos_ == size) {
            out_.insert(out_.end(), p, p + n);
        } else if (pos_ >= 0 && n <= size - pos_) {
            std::memcpy(out_.data() + pos_, p, size_t(n));
        } else {
            failure_ = {ShortReason(n, pos_, size), pos_ < 0 ? 0 : pos_};
            return;
        }
        pos_ += n;
    }

    std::vector<uint8_t>& out_;
    int64_t pos_;
    Failure failure_;
};

}  // namespace format
