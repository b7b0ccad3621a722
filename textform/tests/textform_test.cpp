// The text form: dump then build gives back every byte, edits build files
// whose sizes and counts are right, and wrong lines are refused with their
// number.
#include <gtest/gtest.h>

#include <functional>
#include <limits>

#include "tests/support/chunks.h"
#include "textform/tests/linereader.h"
#include "textform/textform.h"

namespace {

using namespace testsupport;

std::string DumpText(const Bytes& b) {
    std::string text;
    EXPECT_TRUE(textform::Dump(b, Containers(), [&](std::string_view s) {
        text += s;
        return true;
    }));
    return text;
}

Bytes BuildBytes(const std::string& text, std::string* error = nullptr) {
    Bytes out;
    std::string why;
    const bool ok = textform::Build(text, out, why);
    if (error) *error = ok ? "" : why;
    else EXPECT_TRUE(ok) << why;
    return out;
}

// A model with a name, a transform and one segment of three vertices
// (or of the vertex list given).
Bytes Model(const std::string& name, float x = 1, Bytes posl = {}) {
    if (posl.empty()) posl = Cat({I32s({3}), F32s({0, 0, 0, x, 1, 2, 4, 5, 6})});
    return Ck("MODL", Cat({Ck("MTYP", I32s({4})), Ck("NAME", Str(name)),
                           Ck("TRAN", F32s({1, 1, 1, 0, 0, 0, 1, x, 2, 3})),
                           Ck("GEOM", Cat({Ck("BBOX", Zeros(44)),
                                           Ck("SEGM", Cat({Ck("MATI", I32s({0})), Ck("POSL", posl),
                                                           Ck("STRP", Cat({I32s({3}), U16s({0x8000, 0x8001, 2})}))}))}))}));
}

Bytes Material(const std::string& name, float red = 1) {
    return Ck("MATD", Cat({Ck("NAME", Str(name)), Ck("DATA", F32s({red, 1, 1, 1, 0, 0, 0, 1, 0.2f, 0.2f, 0.2f, 1, 50})),
                           Ck("ATRB", Bytes{8, 0, 0, 0}), Ck("TX0D", Str("wood.tga"))}));
}

Bytes Scene(std::initializer_list<Bytes> materials, std::initializer_list<Bytes> models) {
    return Ck("HEDR", Ck("MSH2", Cat({Ck("SINF", Ck("NAME", Str("scene"))), Ck("MATL", Cat({I32s({static_cast<int32_t>(materials.size())}), Cat(materials)})),
                                      Cat(models)})));
}

struct Dumped {
    const char* what;
    Bytes file;
    const char* shows;  // a line the dump has
};

std::vector<Dumped> Meshes() {
    const Bytes scene = Scene({Material("wood"), Material("iron")}, {Model("body"), Model("door")});
    const Bytes polygons = Ck("NDXL", Cat({I32s({2}), U16s({3, 0, 1, 2, 4, 0, 1, 2, 3})}));
    const Bytes keys = Ck("KFR3", Cat({I32s({1}), I32s({77, 0, 1, 1}), I32s({0}), F32s({1, 2, 3}), I32s({0}),
                                       F32s({0, 0, 0, 1})}));
    const Bytes cycle = Ck("CYCL", Cat({I32s({1}), Text("walk"), Zeros(60), F32s({30}), I32s({0, 0, 10})}));
    const float nan = std::numeric_limits<float>::quiet_NaN();
    return {
        {"a scene", scene, "          STRP count\n            - 32768  # strip start\n"},
        {"polygons and keys", Ck("HEDR", Cat({Ck("SINF", Ck("NAME", Str("s"))), polygons, keys, cycle})), "- 3 | 0 1 2\n"},
        {"a text without padding", Ck("HEDR", Ck("MSH2", Ck("NAME", Bytes{'a', 'b', 0}))), ": 616200"},
        {"a chunk after the root", Cat({scene, Ck("CL1L", {})}), "\nCL1L\n"},
        {"trailing bytes", Cat({scene, Bytes{1, 2, 3}}), "\n: 010203\n"},
        {"a size past the end", Ck("HEDR", Ck("MSH2", Ck("NAME", Str("x"))), 400), "HEDR size=400"},
        {"a child's size past its parent", Ck("HEDR", Cat({Ck("MSH2", Ck("NAME", Str("x"))), Ck("ZZZZ", {1}, 99)})),
         "ZZZZ size=99"},
        {"a negative size", Ck("HEDR", Cat({Ck("MSH2", Ck("NAME", Str("x"))), Ck("ABCD", {}, -5)})), "ABCD size=-5"},
        {"a stray byte in a container", Ck("HEDR", Cat({Ck("MSH2", Ck("NAME", Str("x"))), Bytes{9}})), "  : 09\n"},
        {"a stored count that disagrees", Ck("HEDR", Ck("MSH2", Cat({Ck("SINF", Ck("NAME", Str("s"))), Ck("MATL", Cat({I32s({5}), Material("a")}))}))),
         "MATL count=5"},
        {"a list that holds fewer elements", Ck("POSL", Cat({I32s({4}), F32s({1, 2, 3})})), "POSL count=4"},
        {"a float that is not a number", Ck("POSL", Cat({I32s({1}), F32s({1, nan, 3})})), ": 01000000"},
        {"a record with bytes after its fields", Ck("MTYP", I32s({4, 9})), ": 09000000"},
        {"unknown names and bytes", Ck("HEDR", Cat({Ck("MSH2", Ck("NAME", Str("x"))), Ck("\x01 #-", Bytes{0, 1, 2, 3, 4})})), "\\x01\\x20\\x23\\x2d"},
        {"a short file", Bytes{'H', 'E', 'D'}, ": 484544"},
        {"an empty file", {}, "# "},
    };
}

TEST(TextForm, DumpThenBuildGivesBackEveryByte) {
    for (const Dumped& c : Meshes()) {
        const std::string text = DumpText(c.file);
        EXPECT_NE(text.find(c.shows), std::string::npos) << c.what << "\n" << text;
        EXPECT_EQ(BuildBytes(text), c.file) << c.what << "\n" << text;
    }
}

TEST(TextForm, EditsBuildFilesWhoseSizesAreRight) {
    const Bytes base = Scene({Material("wood")}, {Model("body")});
    const struct {
        const char* what;
        std::string from, to;
        Bytes expected;
    } cases[] = {
        {"a longer name", "NAME \"body\"", "NAME \"chassis_main\"", Scene({Material("wood")}, {Model("chassis_main")})},
        {"a colour", ".diffuse 1 1 1 1", ".diffuse 0.5 1 1 1", Scene({Material("wood", 0.5f)}, {Model("body")})},
        {"a new material", "    MODL\n", "      MATD\n        NAME \"new\"\n    MODL\n",
         Ck("HEDR", Ck("MSH2", Cat({Ck("SINF", Ck("NAME", Str("scene"))), Ck("MATL", Cat({I32s({2}), Material("wood"), Ck("MATD", Ck("NAME", Str("new")))})),
                                    Model("body")})))},
        {"one vertex less", "            - 4 5 6\n", "",
         Scene({Material("wood")}, {Model("body", 1, Cat({I32s({2}), F32s({0, 0, 0, 1, 1, 2})}))})},
    };
    const std::string text = DumpText(base);
    for (const auto& c : cases) {
        std::string edited = text;
        const size_t at = edited.find(c.from);
        ASSERT_NE(at, std::string::npos) << c.what;
        edited.replace(at, c.from.size(), c.to);
        EXPECT_EQ(BuildBytes(edited), c.expected) << c.what << "\n" << edited;
    }
}

// The numbers of list elements are read in place where their form is plain;
// every form gives the bits the exact reading of the number gives, and a
// word that is no number is refused either way.
TEST(TextForm, ElementNumbersReadExactly) {
    const struct {
        const char* word;
        Bytes bits;  // of a POSL coordinate; empty: refused
    } floats[] = {
        {"-59.875", F32s({-59.875f})}, {"-0", F32s({-0.0f})}, {"0.1", F32s({0.1f})}, {"0.0000001", F32s({1e-7f})},
        {"16777215", F32s({16777215.0f})}, {"16777217", F32s({16777216.0f})}, {"3.4028235e38", F32s({3.4028235e38f})},
        {"1e-45", F32s({1e-45f})}, {"0.3333333333", F32s({0.3333333333f})}, {"7.", F32s({7.0f})},
        {".5", F32s({0.5f})}, {"$3F800000", {}}, {"1.2.3", {}}, {"-", {}}, {"12a", {}},
    };
    // Alone, and among lines that leave room for reading a line at once.
    const std::string more = "  - 0 0 0\n  - 0 0 0\n  - 0 0 0\n  - 0 0 0\n";
    for (const auto& c : floats)
        for (const std::string& line : {std::string("  - ") + c.word + " 0 0  # a vertex\n", std::string("  - ") + c.word + " 0 0\n"})
            for (const std::string& after : {std::string(), more}) {
                std::string error;
                const Bytes b = BuildBytes("POSL count\n" + line + after, &error);
                if (c.bits.empty()) {
                    EXPECT_NE(error, "") << c.word;
                    continue;
                }
                ASSERT_EQ(b.size(), after.empty() ? 24u : 72u) << c.word << ": " << error;
                EXPECT_EQ(Bytes(b.begin() + 12, b.begin() + 16), c.bits) << c.word;
            }
    // Blanks and comments wherever a line allows them.
    const struct {
        const char* line;
        bool ok;  // reads as 1 2 3
    } lines[] = {
        {"- 1 2 3", true},     {"- 1  2 3", true},  {"- 1\t2 3", true},  {"- 1 2 3 # note", true}, {"- 1 2 3\r", true},
        {"-  1 2 3", true},    {"- 1 2 3 ", true},  {"- 1 2", false},    {"- 1 2 3 4", false},     {"- 1 2 3x", false},
        {"- 1 2 #3", false},   {"-\t1 2 3", true},
    };
    for (const auto& c : lines) {
        std::string error;
        const Bytes b = BuildBytes("POSL count\n  " + std::string(c.line) + "\n" + more, &error);
        EXPECT_EQ(error.empty(), c.ok) << c.line << ": " << error;
        if (c.ok) {
            ASSERT_EQ(b.size(), 72u) << c.line;
            EXPECT_EQ(Bytes(b.begin() + 12, b.begin() + 24), F32s({1, 2, 3})) << c.line;
        }
    }
    const struct {
        const char* word;
        Bytes bits;  // of a STRP entry
    } integers[] = {{"41089", U16s({41089})}, {"007", U16s({7})},       {"65535", U16s({65535})},
                    {"65536", {}},          {"-1", {}},                {"000000007", U16s({7})},
                    {"123456789", {}},      {"$FF", U16s({255})},      {"7 # seven", U16s({7})}};
    for (const auto& c : integers)
        for (const std::string& after : {std::string(), std::string(30, ' ') + "\n  - 1\n  - 2\n"}) {
            std::string error;
            const Bytes b = BuildBytes(std::string("STRP count\n  - ") + c.word + "\n" + after, &error);
            if (c.bits.empty()) {
                EXPECT_NE(error, "") << c.word;
                continue;
            }
            EXPECT_EQ(Bytes(b.begin() + 12, b.begin() + 14), c.bits) << c.word << ": " << error;
        }
}

TEST(TextForm, WrongLinesAreRefusedWithTheirNumber) {
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"HEDR\n  MTYP\n    .type 4\n    .type 5\n", "line 4: the field .type is given twice"},
        {"MTYP\n  .kind 4\n", "line 2: no field .kind in this record"},
        {"MTYP\n", ""},
        {"MTYP\n  .type\n", "line 2: .type takes 1 values"},
        {"ATRB\n  .flags 300\n", "line 2: not a value for .flags: 300"},
        {"TRAN\n  .scale 1 1 1\n", "at the end: TRAN lacks its field .rotation"},
        {"HEDR\n    MSH2\n", "line 2: indented deeper than its chunk"},
        {"HEDR\n MSH2\n", "line 2: an indent is two spaces a level"},
        {"NAME \"open\n", "line 1: a quote is not closed"},
        {"HEDRX\n", "line 1: a chunk name is four bytes: HEDRX"},
        {"HEDR wide\n", "line 1: not an attribute of a chunk: wide"},
        {"POSL count\n  - 1 2\n", "line 2: an element takes more values"},
        // Two short lines whose values together would make two elements.
        {"UV0L count\n  - 1\n  - 2 3 4\n  - 0 0\n  - 0 0\n  - 0 0\n  - 0 0\n  - 0 0\n  - 0 0\n  - 0 0\n",
         "line 2: an element takes more values"},
        {"NDXL count\n  - 3 | 0 1\n", "line 2: the element's count of indexes is 3, 2 are given"},
        {"SHDW\n  : 0g\n", "line 2: not hexadecimal bytes"},
        {"  - 1\n", "line 1: indented deeper than its chunk"},
        {"HEDR\n  .x 1\n", "line 2: HEDR has no fields here"},
    };
    for (const auto& c : cases) {
        std::string error;
        BuildBytes(c.text, &error);
        EXPECT_EQ(error, c.error) << c.text;
    }
}

// The lines of a list of n elements at this indent, the i-th written by f.
std::string Lines(int n, const std::string& indent, const std::function<std::string(int)>& f) {
    std::string t;
    for (int i = 0; i < n; ++i) t += indent + f(i) + "\n";
    return t;
}

// Texts of every kind build by the lines read in place the bytes, or the
// error, that the line reader gives.
TEST(TextForm, TextsBuildWhatTheLineReaderBuilds) {
    const auto vertex = [](int i) { return "- " + std::to_string(i) + ".5 -1 " + std::to_string(i % 7); };
    const std::string head = "HEDR\n  MSH2\n    SEGM\n      POSL count\n";
    const std::string lists = head + Lines(150, "        ", vertex) + "        # a comment\n" + Lines(40, "        ", vertex) +
                              "      STRP count\n" + Lines(60, "        ", [](int i) { return "- " + std::to_string(i); }) +
                              "      SHDW\n" + Lines(40, "        ", [](int i) { return ": 0a 0" + std::to_string(i % 10); }) +
                              "    MODL\n      NAME \"m\"\n";
    const auto with = [&](const std::string& from, const std::string& to) {
        std::string t = lists;
        t.replace(t.find(from), from.size(), to);
        return t;
    };
    std::vector<std::string> texts = {
        lists,
        lists + "      - 1 2 3",  // a last line without its end
        with("        - 120.5 -1 1\n", "        - 120.5 x 1\n"),
        with("        - 130.5 -1 4\n", "         - 130.5 -1 4\n"),
        with("        - 7\n", "      - 7\n"),
        with("        : 0a 05", "        : 0a 0g"),
        with("    MODL\n", "    MODL wide\n"),
        with("      STRP count\n", "      STRP count\n  # shallow\n\n"),
        with("      STRP count\n", "      STRP count\r\n \t\r\n        - 1\r\n\t- 2\n"),
    };
    for (const Dumped& m : Meshes()) texts.push_back(DumpText(m.file));
    for (const std::string& text : texts) {
        Bytes fast, slow;
        std::string fastwhy, slowwhy;
        const bool ok = textform::Build(text, fast, fastwhy);
        EXPECT_EQ(ok, textform::BuildLineByLine(text, slow, slowwhy)) << text;
        EXPECT_EQ(fastwhy, slowwhy) << text;
        EXPECT_EQ(fast, slow) << text;
    }
}

// Lines read in place give the bytes, or the error, that the line reader
// gives: each form of an element line at three depths, first among the
// lines of its list and after another.
TEST(TextForm, LinesReadInPlaceBuildWhatTheLineReaderBuilds) {
    const char* const forms[] = {
        "- 1 2 3", "- -59.875 0.5 -0", "- 1234567.12345678 -7654321.87654321 1", "- 0.70710677 -0.70710677 1e-5",
        "- 65536.00390625 16777217 0.1", "- 12345678 1 2", "- 1.123456789 1 2", "- 12345678.5 1 2", "- 1.2.3 1 2",
        "- -.5 1 2", "- 5. 1 2", "- .5 1 2", "- --1 1 2", "- 1-2 1 2", "- - 1 2", "- 1  2 3", "- 1 2 3 ",
        "- 1\t2 3", "- 1 2 3\r", "- 1 2 3 # c", "- 1 2", "- 1 2 3 4", " - 1 2 3", "-  1 2 3", "- 1 2 3x",
        "- 99999999.99999999 1 2", "- -1234567.12345678 -1234567.12345678 -1234567.12345678",
        "- 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22 23 24 25", "- 0.00000001 1 2",
        "- 1e-50 1 2", "- 1e39 1 2", "+ 1 2 3", "#- 1 2 3",  // no element; a comment where the indent begins
    };
    const auto check = [](const std::string& text) {
        Bytes fast, slow;
        std::string fastwhy, slowwhy;
        const bool ok = textform::Build(text, fast, fastwhy);
        EXPECT_EQ(ok, textform::BuildLineByLine(text, slow, slowwhy)) << text;
        EXPECT_EQ(fastwhy, slowwhy) << text;
        if (ok) {
            EXPECT_EQ(fast, slow) << text;
        }
    };
    const std::string filler = "- 0 0 0\n- 1 1 1\n- 2 2 2\n- 3 3 3\n";
    for (const std::string list : {"POSL", "UV0L"})
        for (size_t depth : {0, 5, 21})
            for (const char* form : forms) {
                std::string f = form;
                if (list == "UV0L") f = f.substr(0, f.rfind(' '));  // one value less
                const std::string in(2 * depth, ' '), at(2 * depth + 2, ' ');
                const std::string line = f[0] == '#' ? "#" + at.substr(1) + f.substr(1) : at + f;
                std::string text = in + list + " count\n" + (depth == 5 ? at + (list == "UV0L" ? "- 9 9\n" : "- 9 9 9\n") : "") + line + "\n";
                for (size_t p = 0; p < filler.size(); p = filler.find('\n', p) + 1)
                    text += at + filler.substr(p, filler.find('\n', p) - p + (list == "UV0L" ? -2 : 0)) + "\n";
                if (depth) text = "HEDR\n" + Lines(int(depth) - 1, "", [](int i) { return std::string(2 * i + 2, ' ') + "MSH2"; }) + text;
                check(text);
            }
    // Lines of one integer: each form first, second and third of a list.
    const char* const integers[] = {"- 41089", "- 007", "- 65535", "- 65536", "- -1", "- 12345678", "- 000000007",
                                    "- 123456789", "- $FF", "- 7 # seven", "- 32768  # strip start", "- 7 ", "-  7",
                                    "- 7x", "- ", "+ 7", "#- 7"};
    for (const std::string list : {"STRP", "ENVL"})
        for (int before = 0; before < 3; ++before)
            for (const std::string f : integers) {
                const std::string line = f[0] == '#' ? "#" + std::string(9, ' ') + f.substr(1) : std::string(10, ' ') + f;
                check("HEDR\n  MSH2\n    MODL\n      GEOM\n        " + list + " count\n" +
                      Lines(before, std::string(10, ' '), [](int i) { return "- " + std::to_string(i); }) + line + "\n" +
                      Lines(6, std::string(10, ' '), [](int) { return "- 9"; }));
            }
    // Lines of random numbers of every length, now and then in a wrong form.
    uint32_t seed = 7;
    const auto next = [&](uint32_t below) { return ((seed = seed * 1664525u + 1013904223u) >> 8) % below; };
    for (int line = 0; line < 3000; ++line) {
        const bool two = line % 2;  // or three values a line
        std::string text = std::string(two ? "UV0L" : "POSL") + " count\n  - 1 2\n  -";
        for (uint32_t v = 0, values = 1 + next(2) + (two ? 0 : 1); v < values; ++v) {
            text += next(20) ? " " : "  ";
            if (next(2)) text += '-';
            text += std::to_string(next(100000000)).substr(0, 1 + next(9));
            if (next(3)) text += "." + std::to_string(next(1000000000)).substr(0, next(11));
        }
        check(text + "\n" + Lines(4, "  ", [&](int) { return two ? "- 0 0" : "- 0 0 0"; }));
    }
}

}  // namespace
