// The element lines of two or three floats (texture coordinates, vertex
// positions and normals) and of one integer (strips, envelopes) read with
// 512-bit vectors, on processors that have them (see builder.h): nearly all
// of a large text.
//
// One load holds a line with its indent, or two or three short lines. Masks
// of its digits, spaces, minus signs and points check its form for every
// value at once. The digits of floats are then packed, each value's
// right-aligned in a 16-byte lane of its own, and combined into whole
// numbers lane by lane; each value is m / 10^n in double precision, rounded
// to a float: the value the plain reader gives (format/number.h), as every
// value read here has its plain form. An integer of up to eight digits is
// read as the plain reader reads it.
//
// Contents: WideAvailable; Head (a line's indent and "- "); FloatLines and
// Lines (floats); IntegerLines and IntegerRun (integers); Builder::Wide.
#include <algorithm>
#include <bit>

#include "format/bytes.h"
#include "format/number.h"
#include "textform/builder.h"

#if defined(__x86_64__) && defined(__GNUC__)
#define VORNA_WIDE 1
// The compiler's vector headers make their "undefined" vectors from
// themselves, which it then warns of wherever they are inlined.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>
#endif

namespace textform {

bool WideAvailable() {
#if defined(VORNA_WIDE)
    static const bool yes = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                            __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512dq") &&
                            __builtin_cpu_supports("avx512vbmi2") && __builtin_cpu_supports("bmi") &&
                            __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("popcnt");
    return yes;
#else
    return false;
#endif
}

#if defined(VORNA_WIDE)

#define VORNA_WIDE_TARGET gnu::target("avx512f,avx512bw,avx512vl,avx512dq,avx512vbmi2,bmi,bmi2,popcnt")

namespace {

// What a line of the open list must begin with: `indent` spaces and "- ".
struct Head {
    __m512i pattern;  // the spaces and "- "
    uint64_t mask;    // their bytes
    uint64_t spaces;  // the bytes of its spaces
    unsigned first;   // where the values begin
};

[[gnu::always_inline, VORNA_WIDE_TARGET]] inline Head HeadOf(size_t indent) {
    return {_mm512_mask_set1_epi8(_mm512_set1_epi8(' '), uint64_t(1) << indent, '-'),
            _bzhi_u64(~uint64_t(0), unsigned(indent + 2)),
            _bzhi_u64(~uint64_t(0), unsigned(indent)) | uint64_t(2) << indent, unsigned(indent + 2)};
}

// The `count` lines (one or two) at p, which 64 bytes from p may be read:
// each the head, then n floats, each a '-' or none, one to seven digits and
// a point with one to eight more or none, after a single space each, and
// its '\n'. Their values into el (16 bytes, of which the 4 n count first
// are theirs); the lines' length with their '\n', or 0 for lines in any
// other form or longer than 64 bytes.
template <int n, int count>
[[gnu::always_inline, VORNA_WIDE_TARGET]] inline size_t FloatLines(const char* p, const Head& h, uint8_t* el) {
    static_assert(n * count <= 4);
    const __m512i x = _mm512_loadu_si512(p);
    const __m512i digits = _mm512_sub_epi8(x, _mm512_set1_epi8('0'));
    const uint64_t nl = _mm512_cmpeq_epi8_mask(x, _mm512_set1_epi8('\n'));
    uint64_t head = _mm512_mask_cmpneq_epi8_mask(h.mask, x, h.pattern);  // bytes of the head that differ
    const unsigned e1 = unsigned(std::countr_zero(nl));
    const uint64_t sp = _mm512_cmpeq_epi8_mask(x, _mm512_set1_epi8(' '));
    const uint64_t mi = _mm512_cmpeq_epi8_mask(x, _mm512_set1_epi8('-'));
    unsigned e = e1;
    uint64_t values = _bzhi_u64(~h.mask, e1);  // [first, e1)
    uint64_t starts = uint64_t(1) << h.first, ends = nl & -nl;
    if constexpr (count == 2) {
        // The second line from b: its head where the first one's was.
        const unsigned b = (e1 + 1) & 63;
        e = unsigned(std::countr_zero(nl & (nl - 1)));
        head |= ((sp >> b) & h.mask) ^ h.spaces;
        head |= ~mi >> ((b + h.first - 2) & 63) & 1;
        head |= uint64_t(e1 >= 63 || e >= 64);
        values |= _bzhi_u64(~uint64_t(0), e) & ~_bzhi_u64(~uint64_t(0), b + h.first);
        starts |= uint64_t(1) << ((b + h.first) & 63);
        ends = nl & _bzhi_u64(~uint64_t(0), e + 1);
    }
    const uint64_t dg = _mm512_mask_cmplt_epu8_mask(values, digits, _mm512_set1_epi8(10));
    const uint64_t s = sp & values, m = mi & values;
    const uint64_t d = _mm512_mask_cmpeq_epi8_mask(values, x, _mm512_set1_epi8('.'));
    // Each value starts after the head or a single space, with a digit or
    // a '-' and a digit; a point stands between two digits, and the digits
    // after it run up to the value's end; each value ends at a space or the
    // '\n'. Runs of digits are eight long at most, and of eight only after
    // a point.
    starts |= s << 1;
    ends |= s;
    const uint64_t after = d << 1;                 // the first digit after each point
    const uint64_t carried = after + dg;           // each run after a point cleared, the bit after it set
    const uint64_t fraction = dg & ~carried;
    const uint64_t r2 = dg & dg >> 1, r4 = r2 & r2 >> 2, r8 = r4 & r4 >> 4;  // r8: the first of eight digits
    // (A point after anything but a digit follows a '-', a space, the head
    // or a point, which the tests of starts and of what follows a point or a
    // '-' refuse.)
    const uint64_t bad = head | (values & ~(dg | s | m | d)) | ((starts ^ m) & ~dg) | ((after | m << 1) & ~dg) |
                         (carried & ~(dg | ends)) | (r8 & (dg >> 8 | ~after)) | uint64_t(!nl);
    if (bad || std::popcount(ends) != n * count) return 0;
    // Value i: its digits (k) at the top of lane i, its decimals, its sign;
    // the digits and decimals up to each value's end counted each apart.
    constexpr int all = n * count;
    unsigned upto_digits[all], upto_decimals[all];
    uint64_t rest = ends;
#pragma GCC unroll 4
    for (int i = 0; i + 1 < all; ++i) {
        const unsigned end = unsigned(std::countr_zero(rest));
        rest &= rest - 1;
        upto_digits[i] = unsigned(std::popcount(_bzhi_u64(dg, end)));
        upto_decimals[i] = unsigned(std::popcount(_bzhi_u64(fraction, end)));
    }
    upto_digits[all - 1] = unsigned(std::popcount(dg));
    upto_decimals[all - 1] = unsigned(std::popcount(fraction));
    // Lane i's top k bits (k being 1 to 15) are 2^(16 i + 16) - 2^(16 i + 16 - k),
    // the first term of the last lane wrapping to 0.
    constexpr uint64_t tops = [] {
        uint64_t t = 0;
        for (int i = 0; i < all && i < 3; ++i) t += uint64_t(1) << (16 * i + 16);
        return t;
    }();
    uint64_t lanes = tops, scales = 0;
#pragma GCC unroll 4
    for (int i = 0; i < all; ++i) {
        const unsigned k = upto_digits[i] - (i ? upto_digits[i - 1] : 0);
        lanes -= uint64_t(1) << ((16 * i + 16 - k) & 63);
        scales |= uint64_t(upto_decimals[i] - (i ? upto_decimals[i - 1] : 0)) << (8 * i);
    }
    const unsigned signs = unsigned(_pext_u64(m, starts));
    // Each value's digits right-aligned in a lane: 15 digits at most, of which
    // pairs, fours and eights are combined; then the two eights of each lane.
    const __m512i packed = _mm512_maskz_compress_epi8(dg, digits);
    const __m512i lane = _mm512_maskz_expand_epi8(lanes, packed);
    const __m512i pairs = _mm512_maddubs_epi16(lane, _mm512_set1_epi16(0x010A));
    const __m512i fours = _mm512_madd_epi16(pairs, _mm512_set1_epi32(0x00010064));
    const __m512i eights = _mm512_madd_epi16(_mm512_packus_epi32(fours, fours), _mm512_set1_epi32(0x00012710));
    const __m512i whole = _mm512_add_epi64(_mm512_mul_epu32(eights, _mm512_set1_epi64(100000000)),
                                           _mm512_srli_epi64(eights, 32));
    const __m256i first =
        _mm512_castsi512_si256(_mm512_permutexvar_epi64(_mm512_set_epi64(7, 5, 3, 1, 6, 4, 2, 0), whole));
    const __m512d tens0 = _mm512_set_pd(1e7, 1e6, 1e5, 1e4, 1e3, 1e2, 1e1, 1e0);
    const __m512d tens1 = _mm512_set1_pd(1e8);
    const __m512d tens = _mm512_permutex2var_pd(tens0, _mm512_cvtepu8_epi64(_mm_cvtsi64_si128(int64_t(scales))), tens1);
    const __m128 v = _mm256_cvtpd_ps(_mm256_div_pd(_mm256_cvtepi64_pd(first), _mm512_castpd512_pd256(tens)));
    const __m128i sv = _mm_mask_or_epi32(_mm_castps_si128(v), __mmask8(signs), _mm_castps_si128(v),
                                         _mm_set1_epi32(int(0x80000000u)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(el), sv);
    return e + 1;
}

// The `count` lines at p, which 72 bytes from p may be read: each the head,
// one to eight digits of an integer up to max, and its '\n'. Their values
// into el (width bytes each); the lines' length with their '\n', or 0 for
// lines in any other form or longer than 64 bytes.
template <int width, int count>
[[gnu::always_inline, VORNA_WIDE_TARGET]] inline size_t IntegerLines(const char* p, const Head& h, uint32_t max,
                                                                     uint8_t* el) {
    const __m512i x = _mm512_loadu_si512(p);
    uint64_t rest = _mm512_cmpeq_epi8_mask(x, _mm512_set1_epi8('\n'));
    const uint64_t sp = _mm512_cmpeq_epi8_mask(x, _mm512_set1_epi8(' '));
    const uint64_t mi = _mm512_cmpeq_epi8_mask(x, _mm512_set1_epi8('-'));
    const uint64_t dg = _mm512_cmplt_epu8_mask(_mm512_sub_epi8(x, _mm512_set1_epi8('0')), _mm512_set1_epi8(10));
    uint64_t bad = std::popcount(rest) < count;
    unsigned a = 0;
#pragma GCC unroll 4
    for (int j = 0; j < count; ++j) {
        const unsigned e = unsigned(std::countr_zero(rest)), from = a + h.first, k = e - from;
        rest &= rest - 1;
        bad |= (((sp >> (a & 63)) & h.mask) ^ h.spaces) | (~mi >> ((from - 2) & 63) & 1) | uint64_t(k - 1 >= 8) |
               (~dg & _bzhi_u64(~uint64_t(0), e) & ~_bzhi_u64(~uint64_t(0), from));
        const uint32_t v = format::plain::DigitsValue(format::plain::Load8(p + std::min(from, 64u)), int(std::clamp(k, 1u, 8u)));
        bad |= v > max;
        if constexpr (width == 2) format::StoreU16(el + 2 * j, uint16_t(v));
        else format::StoreU32(el + 4 * j, v);
        a = e + 1;
    }
    return bad ? 0 : a;
}

// Lines read into out, one element after another, while they last and at
// most `most` of them; `lines` tells how many. Nothing is called from here,
// so that the compiler keeps its vectors in registers from line to line.
template <int n>
[[gnu::noinline, VORNA_WIDE_TARGET]] size_t Lines(const char* t, size_t a, size_t limit, size_t indent, uint8_t* out,
                                                 size_t length, size_t most, size_t& lines) {
    const Head head = HeadOf(indent);
    size_t k = 0;
    while (k < most && limit - a >= 64) {
        // Two short lines at once where they fit in one load.
        if constexpr (2 * n <= 4) {
            if (k + 2 <= most) {
                if (const size_t two = FloatLines<n, 2>(t + a, head, out + k * length)) {
                    a += two;
                    k += 2;
                    continue;
                }
            }
        }
        const size_t line = FloatLines<n, 1>(t + a, head, out + k * length);
        if (!line) break;
        a += line;
        ++k;
    }
    lines = k;
    return a;
}


// The same for lines of one integer of `width` bytes up to max: three
// lines at once where they fit in one load, else one.
template <int width>
[[gnu::noinline, VORNA_WIDE_TARGET]] size_t IntegerRun(const char* t, size_t a, size_t limit, size_t indent,
                                                      uint32_t max, uint8_t* out, size_t most, size_t& lines) {
    const Head head = HeadOf(indent);
    size_t k = 0;
    while (k < most && limit - a >= 72) {
        if (k + 3 <= most) {
            if (const size_t three = IntegerLines<width, 3>(t + a, head, max, out + k * width)) {
                a += three;
                k += 3;
                continue;
            }
        }
        const size_t line = IntegerLines<width, 1>(t + a, head, max, out + k * width);
        if (!line) break;
        a += line;
        ++k;
    }
    lines = k;
    return a;
}

}  // namespace

template <int n>
size_t Builder::Wide(const char* t, size_t a, size_t limit, size_t indent, size_t& size, uint32_t& items,
                     size_t& number) {
    const size_t length = static_cast<size_t>(planned_->elementsize);
    size_t at = size, all = 0;
    for (;;) {
        // Each line stores 16 bytes: as many lines as leave room for that.
        if (!Room(at, 16)) break;
        const size_t most = (out_.size() - at - 16) / length + 1;
        size_t lines = 0;
        if constexpr (n == 5 || n == 6)
            a = IntegerRun<n == 5 ? 2 : 4>(t, a, limit, indent, uint32_t(slots_[0].max), out_.data() + at, most, lines);
        else
            a = Lines<n>(t, a, limit, indent, out_.data() + at, length, most, lines);
        at += lines * length;
        all += lines;
        if (lines < most) break;
    }
    size = at;
    items += uint32_t(all);
    number += all;
    return a;
}

#else

template <int n>
size_t Builder::Wide(const char*, size_t a, size_t, size_t, size_t&, uint32_t&, size_t&) {
    return a;
}

#endif

template size_t Builder::Wide<2>(const char*, size_t, size_t, size_t, size_t&, uint32_t&, size_t&);
template size_t Builder::Wide<3>(const char*, size_t, size_t, size_t, size_t&, uint32_t&, size_t&);
template size_t Builder::Wide<5>(const char*, size_t, size_t, size_t, size_t&, uint32_t&, size_t&);
template size_t Builder::Wide<6>(const char*, size_t, size_t, size_t, size_t&, uint32_t&, size_t&);

}  // namespace textform
