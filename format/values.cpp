// The table of value types: each type's display and parse (see values.h).
#include "format/values.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "format/bytes.h"
#include "format/number.h"

namespace format {

namespace {

// ---- Display ------------------------------------------------------------------

template <class T>
void AppendNumber(std::string& out, T v) {
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

void AppendFloat(std::string& out, float f) {
    if (std::isnan(f)) {
        out += "nan";
        return;
    }
    if (std::isinf(f)) {
        out += f > 0 ? "inf" : "-inf";
        return;
    }
    char buf[32];
    const auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, f);
    if (ec != std::errc()) {
        out += '?';
        return;
    }
    out.append(buf, ptr);
}

void ShowNothing(std::string&, std::span<const uint8_t>) {}
void ShowU8(std::string& out, std::span<const uint8_t> b) { AppendNumber(out, unsigned(b[0])); }
void ShowU16(std::string& out, std::span<const uint8_t> b) { AppendNumber(out, LoadU16(b.data())); }
void ShowU32(std::string& out, std::span<const uint8_t> b) { AppendNumber(out, LoadU32(b.data())); }
void ShowI32(std::string& out, std::span<const uint8_t> b) { AppendNumber(out, LoadI32(b.data())); }
void ShowF32(std::string& out, std::span<const uint8_t> b) { AppendFloat(out, LoadF32(b.data())); }
void ShowText(std::string& out, std::span<const uint8_t> b) {
    const auto zero = std::find(b.begin(), b.end(), uint8_t(0));
    out.append(b.begin(), zero);
}

// ---- Parse --------------------------------------------------------------------

bool ParseNothing(std::string_view, int, std::vector<uint8_t>&) { return false; }

template <int N, Signedness S>
bool ParseInteger(std::string_view input, int, std::vector<uint8_t>& out) {
    Integer v;
    uint64_t bits = 0;
    if (!ReadInteger(input, v) || !FitInteger(v, N, S, bits)) return false;
    out.resize(N);
    for (int k = 0; k < N; ++k) out[size_t(k)] = static_cast<uint8_t>(bits >> (8 * k));
    return true;
}

bool ParseF32(std::string_view input, int, std::vector<uint8_t>& out) {
    float f;
    if (!ReadFloat(input, f)) return false;
    out.resize(4);
    StoreF32(out.data(), f);
    return true;
}

bool ParseText(std::string_view input, int, std::vector<uint8_t>& out) {
    if (input.find('\0') != std::string_view::npos) return false;
    out = TextRecord(input);
    return true;
}

bool ParseFixedText(std::string_view input, int width, std::vector<uint8_t>& out) {
    if (input.find('\0') != std::string_view::npos || static_cast<int64_t>(input.size()) >= width) return false;
    out.assign(input.begin(), input.end());
    out.resize(size_t(width), 0);
    return true;
}

// By ValueType, in its order.
constexpr ValueCodec kCodecs[] = {
    {ValueType::None, 0, ShowNothing, ParseNothing},
    {ValueType::U8, 1, ShowU8, ParseInteger<1, Signedness::Unsigned>},
    {ValueType::U16, 2, ShowU16, ParseInteger<2, Signedness::Unsigned>},
    {ValueType::U32, 4, ShowU32, ParseInteger<4, Signedness::Unsigned>},
    {ValueType::I32, 4, ShowI32, ParseInteger<4, Signedness::Signed>},
    {ValueType::F32, 4, ShowF32, ParseF32},
    {ValueType::Text, 0, ShowText, ParseText},
    {ValueType::FixedText, 0, ShowText, ParseFixedText},
};

constexpr bool InOrder() {
    for (size_t i = 0; i < std::size(kCodecs); ++i)
        if (static_cast<size_t>(kCodecs[i].type) != i) return false;
    return true;
}
static_assert(InOrder() && std::size(kCodecs) == size_t(ValueType::FixedText) + 1);

}  // namespace

const ValueCodec& Codec(ValueType t) {
    const size_t i = static_cast<size_t>(t);
    return kCodecs[i < std::size(kCodecs) ? i : 0];
}

ValueType ValueTypeOf(FieldType t) {
    switch (t) {
        case FieldType::U8: return ValueType::U8;
        case FieldType::U16: return ValueType::U16;
        case FieldType::U32: return ValueType::U32;
        case FieldType::I32: return ValueType::I32;
        case FieldType::F32: return ValueType::F32;
        case FieldType::Chars: return ValueType::FixedText;
    }
    return ValueType::None;
}

void AppendShown(std::string& out, ValueType t, std::span<const uint8_t> bytes) { Codec(t).show(out, bytes); }

bool ParseValue(ValueType t, int width, std::string_view input, std::vector<uint8_t>& out) {
    return Codec(t).parse(input, width, out);
}

uint32_t IntegerBits(FieldType t, const uint8_t* b) {
    switch (t) {
        case FieldType::U8: return b[0];
        case FieldType::U16: return LoadU16(b);
        case FieldType::U32:
        case FieldType::I32: return LoadU32(b);
        default: return 0;
    }
}

int64_t ElementLength(const RecordLayout& l, std::span<const uint8_t> data, int64_t p) {
    const int64_t n = static_cast<int64_t>(data.size());
    int64_t len = l.elementsize;
    if (p < 0 || p + len > n) return 0;
    for (const Sublist& s : l.sublists) {
        const Field& f = l.element[static_cast<size_t>(s.countfield)];
        len += int64_t(IntegerBits(f.type, data.data() + p + f.offset)) * s.entrysize;
    }
    return p + len <= n ? len : 0;
}

std::string Meaning(const Field& f, uint32_t bits, std::string_view separator, std::string_view unnamed) {
    if (!f.values.empty()) {
        for (const ValueName& v : f.values)
            if (v.value == bits) return v.name;
        return std::string(unnamed);
    }
    std::string s;
    for (const FlagName& fl : f.flags)
        if (bits & fl.mask) {
            if (!s.empty()) s += separator;
            s += fl.name;
        }
    return s;
}

std::vector<uint8_t> TextRecord(std::string_view text) {
    std::vector<uint8_t> b;
    b.reserve((text.size() + 4) / 4 * 4);
    b.assign(text.begin(), text.end());
    b.push_back(0);
    b.resize((b.size() + 3) / 4 * 4, 0);
    return b;
}

std::string FloatText(float f) {
    std::string s;
    AppendFloat(s, f);
    return s;
}

}  // namespace format
