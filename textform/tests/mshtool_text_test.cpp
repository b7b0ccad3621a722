// mshtool dump, build and diff on files: what they write and their exit codes.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/chunks.h"
#include "tests/support/run.h"
#include "tests/support/scratch.h"

#ifndef MSHTOOL_PATH
#error MSHTOOL_PATH must name the mshtool program
#endif

namespace {

using namespace testsupport;

Bytes Mesh(float y) {
    return Ck("HEDR", Ck("MSH2", Cat({Ck("SINF", Ck("NAME", Str("s"))),
                                      Ck("MODL", Cat({Ck("MTYP", I32s({4})), Ck("NAME", Str("body")),
                                                      Ck("POSL", Cat({I32s({2}), F32s({0, 0, 0, 1, y, 1})}))}))})));
}

TEST(MshtoolText, CommandsWriteWhatTheySayAndExitAsTheySay) {
    ScratchDir dir("mshtool-text");
    dir.Write("a.msh", Mesh(1));
    dir.Write("b.msh", Mesh(2));
    dir.Write("a trailing.msh", Cat({Mesh(1), Bytes{7, 7}}));
    // The scene's NAME with a size that leaves out its padding ("s\0", then two zeros).
    Bytes unpadded = Mesh(1);
    const Bytes name = Cat({Bytes{'N', 'A', 'M', 'E'}, I32s({4}), Bytes{'s'}});
    const auto at = std::search(unpadded.begin(), unpadded.end(), name.begin(), name.end());
    ASSERT_NE(at, unpadded.end());
    at[4] = 2;
    dir.Write("unpadded.msh", unpadded);
    dir.Write("list.txt", std::string("msh2\nsinf\nname\nmtyp\n"));
    dir.Write("bad.txt", std::string("HEDR\n  .x 1\n"));
    // A chain of 3,000 nested chunks: its text and its tree grow with its chunks, not with their depth.
    Bytes deep = Ck("NAME", Str("x"));
    for (int i = 0; i < 3000; ++i) deep = Ck("SEGM", deep);
    deep = Ck("HEDR", Ck("MSH2", deep));
    dir.Write("deep.msh", deep);
    const struct {
        std::string args;
        int code;
        std::string out;  // stdout contains this
    } cases[] = {
        {"diff a.msh a.msh", 0, ""},
        {"diff --format list.txt a.msh b.msh", 1, "HEDR/MSH2/MODL[body]/POSL[1] (1, 1, 1) -> (1, 2, 1)\n"},
        {"diff --format list.txt --json a.msh b.msh", 1,
         "{\"a\":\"(1, 1, 1)\",\"b\":\"(1, 2, 1)\",\"kind\":\"element\",\"path\":\"HEDR/MSH2/MODL[body]/POSL\","
         "\"what\":\"[1]\"}\n"},
        {"diff --tolerance 1.5 --format list.txt a.msh b.msh", 0, ""},
        {"diff a.msh unpadded.msh", 0, ""},
        {"diff a.msh 'a trailing.msh'", 1, "after root bytes: 0 -> 2, first difference at byte 0\n"},
        {"diff --tolerance x a.msh b.msh", 2, ""},
        {"diff a.msh missing.msh", 2, ""},
        {"dump --format list.txt 'a trailing.msh' t.txt", 0, ""},
        {"build t.txt rebuilt.msh", 0, ""},
        {"dump --format list.txt b.msh", 0, "      POSL count\n        - 0 0 0\n        - 1 2 1\n"},
        {"build bad.txt never.msh", 2, ""},
        {"build missing.txt never.msh", 2, ""},
        {"dump deep.msh deep.txt", 0, ""},
        {"build deep.txt deep.out.msh", 0, ""},
        {"tree deep.msh", 0, "\n@3001 SEGM 12\n@3002 NAME 4\n"},
    };
    for (const auto& c : cases) {
        const Outcome r = RunIn(dir.path(), MSHTOOL_PATH, c.args);
        EXPECT_EQ(r.code, c.code) << c.args << "\n" << r.err;
        EXPECT_NE(r.out.find(c.out), std::string::npos) << c.args << "\n" << r.out;
    }
    EXPECT_EQ(dir.Read("rebuilt.msh"), dir.Read("a trailing.msh"));
    EXPECT_TRUE(dir.Read("never.msh").empty());
    EXPECT_EQ(dir.Read("deep.out.msh"), deep);
    EXPECT_LT(dir.Read("deep.txt").size(), 2 * deep.size());
    EXPECT_LT(RunIn(dir.path(), MSHTOOL_PATH, "tree deep.msh").out.size(), 3 * deep.size());
}

}  // namespace
