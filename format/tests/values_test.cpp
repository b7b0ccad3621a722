// The table of value types: the typed input each type reads (every base of
// the number syntax, the range of the type, texts), and that a shown value
// reads back as the bytes it was shown from.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "format/values.h"

using format::ValueType;
using Bytes = std::vector<uint8_t>;

namespace {

std::string Parsed(ValueType t, const std::string& in, int width = 0) {
    Bytes out{0xEE};
    if (!format::ParseValue(t, width, in, out)) return out == Bytes{0xEE} ? "refused" : "refused, out changed";
    std::string s;
    for (uint8_t b : out) {
        char buf[4];
        std::snprintf(buf, sizeof buf, "%02x", b);
        s += buf;
    }
    return s;
}

}  // namespace

TEST(ParseValue, IntegersInEveryBaseWithinTheirRange) {
    EXPECT_EQ(Parsed(ValueType::U8, "255"), "ff");
    EXPECT_EQ(Parsed(ValueType::U8, " $1f "), "1f");
    EXPECT_EQ(Parsed(ValueType::U8, "%101"), "05");
    EXPECT_EQ(Parsed(ValueType::U8, "256"), "refused");
    EXPECT_EQ(Parsed(ValueType::U8, "-1"), "refused");
    EXPECT_EQ(Parsed(ValueType::U8, "-0"), "00");
    EXPECT_EQ(Parsed(ValueType::U16, "65535"), "ffff");
    EXPECT_EQ(Parsed(ValueType::U16, "$10000"), "refused");
    EXPECT_EQ(Parsed(ValueType::U32, "4294967295"), "ffffffff");
    EXPECT_EQ(Parsed(ValueType::U32, "4294967296"), "refused");
    EXPECT_EQ(Parsed(ValueType::U32, "99999999999999999999999"), "refused");
    EXPECT_EQ(Parsed(ValueType::U32, "258"), "02010000");
    EXPECT_EQ(Parsed(ValueType::I32, "-1"), "ffffffff");
    EXPECT_EQ(Parsed(ValueType::I32, "-2147483648"), "00000080");
    EXPECT_EQ(Parsed(ValueType::I32, "2147483648"), "refused");
    EXPECT_EQ(Parsed(ValueType::I32, "$FFFFFFFF"), "ffffffff");  // a bit pattern
    for (const char* bad : {"", " ", "12abc", "abc", "$", "%2", "1.5", "+", "--1", "1 2", "0x10"})
        EXPECT_EQ(Parsed(ValueType::U32, bad), "refused") << bad;
}

TEST(ParseValue, FloatsNeedADecimalNumberThatStaysFinite) {
    EXPECT_EQ(Parsed(ValueType::F32, "1"), "0000803f");
    EXPECT_EQ(Parsed(ValueType::F32, "1.0"), "0000803f");
    EXPECT_EQ(Parsed(ValueType::F32, "+.5"), "0000003f");
    EXPECT_EQ(Parsed(ValueType::F32, "1e0"), "0000803f");
    EXPECT_EQ(Parsed(ValueType::F32, "-2.5E-1"), "000080be");
    EXPECT_EQ(Parsed(ValueType::F32, "0.1"), "cdcccc3d");  // rounded once, to the nearest float
    for (const char* bad : {"", ".", "1e", "1e39", "-1e39", "nan", "inf", "$3f800000", "1.5x", "1,5"})
        EXPECT_EQ(Parsed(ValueType::F32, bad), "refused") << bad;
}

TEST(ParseValue, TextsAndFixedTexts) {
    EXPECT_EQ(Parsed(ValueType::Text, "abc"), "61626300");
    EXPECT_EQ(Parsed(ValueType::Text, "abcd"), "6162636400000000");
    EXPECT_EQ(Parsed(ValueType::Text, ""), "00000000");
    EXPECT_EQ(Parsed(ValueType::Text, std::string("a\0b", 3)), "refused");
    EXPECT_EQ(Parsed(ValueType::FixedText, "ab", 4), "61620000");
    EXPECT_EQ(Parsed(ValueType::FixedText, "abc", 4), "61626300");
    EXPECT_EQ(Parsed(ValueType::FixedText, "abcd", 4), "refused");
    EXPECT_EQ(Parsed(ValueType::None, "1"), "refused");
}

TEST(ShownValues, FloatsRoundTrip) {
    for (float f : {0.1f, 1.0f / 3.0f, -1234.5678f, 3.0e-38f, 1.0e30f}) {
        Bytes out;
        ASSERT_TRUE(format::ParseValue(ValueType::F32, 0, format::FloatText(f), out)) << format::FloatText(f);
        float back;
        std::memcpy(&back, out.data(), 4);
        EXPECT_EQ(back, f) << format::FloatText(f);
    }
    EXPECT_EQ(format::FloatText(std::nanf("")), "nan");
}


TEST(ValueTable, EveryTypeReadsBackTheBytesItShows) {
    struct Case {
        ValueType type;
        Bytes bytes;
        int width;
        const char* shown;
    } cases[] = {
        {ValueType::U8, {0xFF}, 1, "255"},
        {ValueType::U16, {0x34, 0x12}, 2, "4660"},
        {ValueType::U32, {0x01, 0x00, 0x00, 0x80}, 4, "2147483649"},
        {ValueType::I32, {0xFF, 0xFF, 0xFF, 0xFF}, 4, "-1"},
        {ValueType::F32, {0xCD, 0xCC, 0xCC, 0x3D}, 4, "0.1"},
        {ValueType::FixedText, {'a', 'b', 0, 0}, 4, "ab"},
        {ValueType::Text, {'n', 'a', 'm', 'e', 0, 0, 0, 0}, 8, "name"},
    };
    for (const Case& c : cases) {
        std::string shown;
        format::AppendShown(shown, c.type, c.bytes);
        EXPECT_EQ(shown, c.shown);
        Bytes back;
        ASSERT_TRUE(format::ParseValue(c.type, c.width, shown, back)) << c.shown;
        EXPECT_EQ(back, c.bytes) << c.shown;
    }
}

TEST(ValueTable, MeaningsOfFlagsAndEnumerations) {
    const format::Field& flags = format::records::kAttributes[0];
    const format::Field& type = format::records::kModelType[0];
    struct Case {
        const format::Field* field;
        uint32_t bits;
        const char* separator;
        const char* unnamed;
        const char* meaning;
    } cases[] = {
        {&flags, 1 | 8, ", ", "", "unlit, double-sided"},
        {&flags, 1 | 8, " ", "unknown", "unlit double-sided"},
        {&flags, 0, " ", "unknown", ""},
        {&type, 3, " ", "unknown", "bone"},
        {&type, 5, " ", "unknown", "unknown"},
        {&type, 5, ", ", "", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(format::Meaning(*c.field, c.bits, c.separator, c.unnamed), c.meaning) << c.bits;
}
