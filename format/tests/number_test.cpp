// The typed-number syntax: every base, the blanks, and garbage refused
// rather than read as 0; the fit of a value into its bytes.
#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <random>
#include <string>

#include "format/number.h"

namespace {

using format::Signedness;

// "refused", or the bit pattern in hexadecimal.
std::string Fit(const std::string& text, int bytes, Signedness sign) {
    format::Integer v;
    uint64_t bits = 0;
    if (!format::ReadInteger(text, v) || !format::FitInteger(v, bytes, sign, bits)) return "refused";
    char buf[24];
    std::snprintf(buf, sizeof buf, "%llx", static_cast<unsigned long long>(bits));
    return buf;
}

TEST(Number, IntegersReadWholeAndFitTheirBytes) {
    const auto U = Signedness::Unsigned, S = Signedness::Signed, E = Signedness::Either;
    struct Case {
        const char* text;
        int bytes;
        Signedness sign;
        const char* bits;
    } cases[] = {
        {"255", 1, U, "ff"},          {" $1f ", 1, U, "1f"},       {"%101", 1, U, "5"},
        {"256", 1, U, "refused"},     {"-1", 1, U, "refused"},     {"-0", 1, U, "0"},
        {"-1", 1, E, "ff"},           {"-128", 1, E, "80"},        {"-129", 1, E, "refused"},
        {"255", 1, E, "ff"},          {"256", 1, E, "refused"},    {"65535", 2, U, "ffff"},
        {"$10000", 2, U, "refused"},  {"4294967295", 4, U, "ffffffff"},
        {"4294967296", 4, U, "refused"},  // the value typed over a small one is not cut to 429496729
        {"%10000000000000000000000000000001", 4, U, "80000001"},  // whole, not cut to %10000000
        {"%100000000000000000000000000000001", 4, U, "refused"},
        {"4000000000", 4, U, "ee6b2800"},
        {"99999999999999999999999", 4, U, "refused"},
        {"-2147483648", 4, S, "80000000"}, {"2147483648", 4, S, "refused"},
        {"$FFFFFFFF", 4, S, "ffffffff"},  // a bit pattern
        {"-$10", 4, S, "fffffff0"},
        {"", 4, U, "refused"},        {" ", 4, U, "refused"},      {"12abc", 4, U, "refused"},
        {"abc", 4, U, "refused"},     {"$", 4, U, "refused"},      {"%2", 4, U, "refused"},
        {"1.5", 4, U, "refused"},     {"+", 4, U, "refused"},      {"--1", 4, U, "refused"},
        {"+-1", 4, E, "refused"},     {"$-1", 4, E, "refused"},    {"1 2", 4, U, "refused"},
        {"0x10", 4, U, "refused"},    {"5", 0, U, "refused"},      {"5", 9, U, "refused"},
    };
    for (const Case& c : cases) EXPECT_EQ(Fit(c.text, c.bytes, c.sign), c.bits) << c.text << " in " << c.bytes;
}

TEST(Number, FloatsAreDecimalFiniteAndRoundedOnce) {
    struct Case {
        const char* text;
        bool ok;
        float value;
    } cases[] = {
        {"1", true, 1.0f},
        {"+.5", true, 0.5f},
        {"  -2.5e1 ", true, -25.0f},
        {"-2.5E-1", true, -0.25f},
        {"0.1", true, 0.1f},
        // Rounded once, straight to single precision: a number just above
        // the midpoint between 1 and the next float goes up, although its
        // nearest double is the midpoint itself.
        {"1.00000005960464477550", true, std::nextafter(1.0f, 2.0f)},
        {"-2.5e1xyz", false, 0},
        {"3e", false, 0},
        {"abc", false, 0},
        {"", false, 0},
        {".", false, 0},
        {"0x10", false, 0},
        {"1e39", false, 0},
        {"-1e39", false, 0},
        {"inf", false, 0},
        {"nan", false, 0},
        {"$3f800000", false, 0},
        {"1,5", false, 0},
        {"+-1", false, 0},
    };
    for (const Case& c : cases) {
        float f = 123.0f;
        EXPECT_EQ(format::ReadFloat(c.text, f), c.ok) << c.text;
        EXPECT_EQ(f, c.ok ? c.value : 123.0f) << c.text;
    }
    float f = 0;
    ASSERT_TRUE(format::ReadFloat("-0", f));
    EXPECT_TRUE(std::signbit(f));
}

// A float refused for its size says which way it is out of range.
TEST(Number, FloatsOutOfRangeSaySo) {
    const char* const small = "below the smallest float (1.4e-45)";
    const char* const large = "beyond the largest float (3.4e38)";
    const struct {
        const char* text;
        std::string_view why;
    } cases[] = {
        {"1e-50", small}, {"-1e-50", small}, {" 1e-400 ", small}, {"0.0000000000000000000000000000000000000000000000001", small},
        {"1e39", large},  {"-1e39", large},  {"1e400", large},    {"340282356779733661637539395458142568448", large},
        {"1e-45", ""},    {"3.4e38", ""},    {"0", ""},           {"abc", ""}, {"1e", ""}, {"inf", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(format::FloatOutOfRange(c.text), c.why) << c.text;
}

}  // namespace

// The plain readers give what the full reader gives, whether the text
// leaves room for reading eight bytes at a time or ends right after the
// number; a form they do not take is left to the full reader.
TEST(Number, PlainFormsReadAsTheFullReaderReads) {
    const struct {
        const char* word;
        bool plain;  // taken by the plain reader
    } floats[] = {
        {"0", true},          {"-0", true},          {"7", true},          {"-59.875", true},
        {"0.1", true},        {"1234567.5", true}, {"1677721.6", true},  {"1234567", true},    {"12345678", true},
        {"16777215", true},   {"16777216", false},   {"0.0000001", true},  {"0.00000001", true},
        {"1.2345678", true},  {"0.3333333333", false}, {"-3.1415927", true}, {"0.70710677", true},
        {"65536.00390625", true}, {"0.123456789", false}, {"12345678.5", false},
        {"7.", false},        {".5", false},         {"1e5", false},       {"-", false},
        {"00000000001.5", true},
    };
    for (const auto& c : floats) {
        const std::string word = c.word;
        float full = 0;
        const bool readable = format::ReadFloat(word, full);
        for (const std::string& text : {word, word + " 1 2 3 4 5 6 7 8 9 10\n"}) {
            float v = 123;
            const char* end = format::ReadPlainFloat(text.data(), text.data() + text.size(), v);
            const bool taken = end == text.data() + word.size();
            EXPECT_EQ(taken, c.plain) << word << " in " << text.size() << " bytes";
            if (taken) {
                ASSERT_TRUE(readable) << word;
                EXPECT_EQ(std::bit_cast<uint32_t>(v), std::bit_cast<uint32_t>(full)) << word;
            }
        }
    }
    const struct {
        const char* word;
        bool plain;
    } integers[] = {{"0", true}, {"41089", true}, {"1234567", true}, {"12345678", true}, {"007", true},
                    {"9999999999999999999", true}, {"99999999999999999999", false}, {"-1", false}, {"$FF", false}};
    for (const auto& c : integers) {
        const std::string word = c.word;
        for (const std::string& text : {word, word + " 1 2 3 4 5 6\n"}) {
            uint64_t v = 0;
            const char* end = format::ReadPlainDigits(text.data(), text.data() + text.size(), v);
            EXPECT_EQ(end == text.data() + word.size(), c.plain) << word << " in " << text.size() << " bytes";
            format::Integer full;
            if (c.plain) {
                ASSERT_TRUE(format::ReadInteger(word, full)) << word;
                EXPECT_EQ(v, full.magnitude) << word;
            }
        }
    }
}

// Every plain decimal of up to seven digits before the point and eight after
// reads to the float a correctly rounding reader gives, halfway points
// between two floats among them (k / 2^e with k odd, written out exactly).
TEST(Number, PlainFloatsRoundAsFromChars) {
    std::mt19937_64 random(7);
    std::vector<std::string> words;
    for (int i = 0; i < 200000; ++i) {
        const int whole = 1 + int(random() % 7), decimals = int(random() % 9);
        std::string w = random() % 2 ? "-" : "";
        for (int d = 0; d < whole; ++d) w += char('0' + random() % 10);
        if (decimals) w += '.';
        for (int d = 0; d < decimals; ++d) w += char('0' + random() % 10);
        words.push_back(w);
    }
    for (int e = 1; e <= 8; ++e)      // halfway points with e binary places
        for (uint64_t k = 1; double(k) / double(1 << e) < 1e7; k += 2 + 2 * (random() % 40000)) {
            char buf[64];
            std::snprintf(buf, sizeof buf, "%.8f", double(k) / double(uint64_t(1) << e));
            words.push_back(buf);
        }
    for (const std::string& w : words) {
        const std::string text = w + " 1\n";
        float plain = 0, exact = 0;
        const char* end = format::ReadPlainFloat(text.data(), text.data() + text.size(), plain);
        ASSERT_TRUE(end == text.data() + w.size()) << w;
        const char* from = w.data() + (w[0] == '-');
        ASSERT_EQ(std::from_chars(from, w.data() + w.size(), exact).ptr, w.data() + w.size()) << w;
        if (w[0] == '-') exact = -exact;
        ASSERT_EQ(std::bit_cast<uint32_t>(plain), std::bit_cast<uint32_t>(exact)) << w;
    }
}
