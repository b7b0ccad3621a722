// The little-endian reader and writer: values come back as written, and a
// read or patch that does not fit fails once, with its offset, and changes
// nothing after.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "format/bytes.h"

namespace {

TEST(Bytes, WrittenValuesReadBackInOrder) {
    std::vector<uint8_t> out;
    format::Writer w(out);
    w.U8(0xAB);
    w.U16(0x1234);
    w.U32(0xDEADBEEF);
    w.I32(-2);
    w.F32(1.5f);
    w.Chars("ab", 4);
    ASSERT_TRUE(w.ok());
    EXPECT_EQ(out, (std::vector<uint8_t>{0xAB, 0x34, 0x12, 0xEF, 0xBE, 0xAD, 0xDE, 0xFE, 0xFF, 0xFF, 0xFF,
                                         0x00, 0x00, 0xC0, 0x3F, 'a', 'b', 0, 0}));
    format::Reader r(out);
    EXPECT_EQ(r.U8(), 0xAB);
    EXPECT_EQ(r.U16(), 0x1234);
    EXPECT_EQ(r.U32(), 0xDEADBEEFu);
    EXPECT_EQ(r.I32(), -2);
    EXPECT_EQ(r.F32(), 1.5f);
    EXPECT_EQ(r.Chars(4), std::string("ab\0\0", 4));
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.left(), 0);
}

TEST(Bytes, AReadThatDoesNotFitFailsOnceWithItsOffset) {
    const std::vector<uint8_t> six = {1, 0, 0, 0, 7, 8};
    struct Case {
        int64_t start;
        int skip;        // bytes read (U8 each) before the failing U32
        int64_t offset;  // where the failure is recorded
        const char* reason;
    };
    const Case cases[] = {
        {0, 4, 4, "4 bytes needed at offset 4, 2 left"},
        {3, 0, 3, "4 bytes needed at offset 3, 3 left"},
        {6, 0, 6, "4 bytes needed at offset 6, 0 left"},
        {9, 0, 9, "4 bytes needed at offset 9, outside the 6 bytes"},
        {-1, 0, 0, "4 bytes needed at offset -1, outside the 6 bytes"},
    };
    for (const Case& c : cases) {
        format::Reader r(six, c.start);
        for (int i = 0; i < c.skip; ++i) r.U8();
        EXPECT_EQ(r.U32(), 0u) << c.start;
        EXPECT_FALSE(r.ok());
        EXPECT_EQ(r.failure().offset, c.offset) << c.start;
        EXPECT_EQ(r.failure().reason, c.reason) << c.start;
        // Later reads give zeros and keep the first failure and the position.
        const int64_t pos = r.pos();
        EXPECT_EQ(r.U8(), 0);
        EXPECT_EQ(r.pos(), pos);
        EXPECT_EQ(r.failure().offset, c.offset);
    }
}

TEST(Bytes, PatchesOverwriteInPlaceAndFailPastTheEnd) {
    std::vector<uint8_t> out = {0, 0, 0, 0, 0, 0};
    format::Writer w(out);
    w.At(1);
    w.U32(0x04030201);
    EXPECT_TRUE(w.ok());
    EXPECT_EQ(out, (std::vector<uint8_t>{0, 1, 2, 3, 4, 0}));
    w.At(4);
    w.U32(9);
    EXPECT_FALSE(w.ok());
    EXPECT_EQ(w.failure().offset, 4);
    EXPECT_EQ(out.size(), 6u);
    EXPECT_EQ(out, (std::vector<uint8_t>{0, 1, 2, 3, 4, 0}));
}

}  // namespace
