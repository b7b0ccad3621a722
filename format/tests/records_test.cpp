// The table of chunk kinds: its facts agree with each other (every field lies
// inside its record or element, enumerations and sublists point at fields
// that exist), and the look-ups find what the rules need.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "format/records.h"

namespace {

using format::ChunkKind;
using format::Field;
using format::Layout;
using format::RecordLayout;

TEST(Records, NamesAreUniqueFourCharactersAndFoundByName) {
    std::set<std::string> seen;
    for (const ChunkKind& k : format::kChunkKinds) {
        EXPECT_EQ(std::string(k.name).size(), 4u) << k.name;
        EXPECT_TRUE(seen.insert(k.name).second) << "twice: " << k.name;
        EXPECT_EQ(format::FindKind(k.name), &k) << k.name;
        EXPECT_FALSE(k.layouts.empty()) << k.name;
        EXPECT_EQ(k.layouts.back().parent, nullptr) << k.name << ": the last layout must take any parent";
        EXPECT_EQ(k.container, k.layouts.back().layout == Layout::Container) << k.name;
    }
    EXPECT_EQ(seen.size(), 57u);
    EXPECT_EQ(format::FindKind("XXXX"), nullptr);
    EXPECT_EQ(format::FindKind("POS"), nullptr);
    EXPECT_EQ(format::FindKind("posl"), nullptr);
}

TEST(Records, RuleNamesInDispatchOrder) {
    ASSERT_EQ(format::kRuleCount, 50);
    EXPECT_STREQ(format::kRuleNames.front(), "HEDR");
    EXPECT_STREQ(format::kRuleNames[31], "MATI");
    EXPECT_STREQ(format::kRuleNames.back(), "DATA");
    for (int i = 0; i < format::kRuleCount; ++i) {
        EXPECT_EQ(format::RuleIndex(format::kRuleNames[size_t(i)]), i);
        EXPECT_EQ(format::RuleId(format::kRuleNames[size_t(i)]), i);
    }
    for (const char* extra : {"TX1D", "TX2D", "TX3D", "UV1L", "UV2L", "UV3L", "CLRB"}) {
        ASSERT_NE(format::FindKind(extra), nullptr) << extra;
        EXPECT_FALSE(format::FindKind(extra)->rule) << extra;
        EXPECT_EQ(format::RuleIndex(extra), -1) << extra;
    }
}

TEST(Records, ListWidthsOfTheListSizeRule) {
    const std::pair<const char*, int> widths[] = {
        {"POSL", 12}, {"WGHT", 32}, {"NRML", 12}, {"UV0L", 8}, {"ENVL", 4}, {"CPOS", 12},
        {"CUV0", 8},  {"FIDX", 4},  {"SPRS", 4},  {"CPRS", 4}, {"BPRS", 4}, {"CLRL", 4},
        {"BLN2", 8},  {"SKL2", 20}, {"KFR3", 88}, {"", 4},     {"STRP", 1}, {"CMSH", 1},
        {"MATI", 1},  {"ABCD", 1},  {"AB", 1},
    };
    for (auto [name, w] : widths) EXPECT_EQ(format::ListWidth(name), w) << name;
}

// Every field within its record: a fixed record's size, a list element's size.
void ExpectFieldsFit(std::span<const Field> fields, int size, const std::string& where) {
    for (const Field& f : fields) {
        EXPECT_GT(f.count, 0) << where << " " << f.name;
        EXPECT_GE(f.offset, 0) << where << " " << f.name;
        if (size >= 0) {
            EXPECT_LE(f.End(), size) << where << " " << f.name;
        }
        EXPECT_TRUE(f.values.empty() || f.flags.empty()) << where << " " << f.name;
    }
}

TEST(Records, FieldsLieInsideTheirRecords) {
    for (const ChunkKind& k : format::kChunkKinds) {
        for (const RecordLayout& l : k.layouts) {
            const std::string where = std::string(k.name) + (l.parent ? std::string("/") + l.parent : "");
            switch (l.layout) {
                case Layout::Fields:
                    EXPECT_FALSE(l.fields.empty()) << where;
                    ExpectFieldsFit(l.fields, l.fixedsize, where);
                    break;
                case Layout::List:
                    ASSERT_EQ(l.fields.size(), 1u) << where;
                    EXPECT_EQ(l.fields[0].offset, 0) << where;
                    EXPECT_EQ(l.fields[0].type, format::FieldType::U32) << where;
                    EXPECT_GT(l.elementsize, 0) << where;
                    ExpectFieldsFit(l.element, l.elementsize, where);
                    for (const format::Sublist& s : l.sublists) {
                        ASSERT_LT(size_t(s.countfield), l.element.size()) << where << " " << s.name;
                        ExpectFieldsFit(s.fields, s.entrysize, where + " " + s.name);
                    }
                    // Where the list-size rule's width is the element size,
                    // they must agree (KFR3's records have variable length).
                    if (k.listwidth && l.sublists.empty()) {
                        EXPECT_EQ(k.listwidth, l.elementsize) << where;
                    }
                    break;
                case Layout::Names:  // a count, then that many names
                    ASSERT_EQ(l.fields.size(), 1u) << where;
                    EXPECT_EQ(l.fields[0].offset, 0) << where;
                    EXPECT_EQ(l.fields[0].type, format::FieldType::U32) << where;
                    break;
                default:
                    EXPECT_TRUE(l.fields.empty()) << where;
                    EXPECT_EQ(l.fixedsize, -1) << where;
                    break;
            }
        }
    }
}

TEST(Records, LayoutByParent) {
    const ChunkKind& data = *format::FindKind("DATA");
    EXPECT_EQ(format::LayoutOf(data, "MATD").fixedsize, 52);
    EXPECT_EQ(format::LayoutOf(data, "CAMR").fixedsize, 40);
    EXPECT_EQ(format::LayoutOf(data, "SEGM").fixedsize, -1);
    EXPECT_EQ(format::LayoutOf(data, "").fixedsize, -1);
    const ChunkKind& mtyp = *format::FindKind("MTYP");
    const RecordLayout& l = format::LayoutOf(mtyp, "MODL");
    ASSERT_EQ(l.layout, Layout::Fields);
    EXPECT_EQ(l.fixedsize, 4);
    ASSERT_EQ(l.fields[0].values.size(), 6u);
    EXPECT_STREQ(l.fields[0].values[5].name, "shadow volume");
    EXPECT_EQ(l.fields[0].values[5].value, 6u);
}

}  // namespace
