// mshtool tree and resave: output, exit codes and error texts.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/chunks.h"

#include "tests/support/run.h"
#include "tests/support/scratch.h"

#ifndef MSHTOOL_PATH
#error MSHTOOL_PATH must name the mshtool program
#endif

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

using testsupport::Outcome;
using testsupport::Slurp;

class Mshtool : public ::testing::Test {
protected:
    void SetUp() override {
        scratch.Write("list.txt", "msh2\nsinf\nname\nmtyp\nbbox\nmati\n");
        scratch.Write("a.msh", Mesh());
    }

    // Runs mshtool with the arguments in the test's directory.
    Outcome Tool(const std::string& args) { return testsupport::RunIn(dir, MSHTOOL_PATH, args); }
    ScratchDir scratch{"mshtool"};
    const std::string dir = scratch.path();
};

}  // namespace

TEST_F(Mshtool, TreePrintsOneLinePerChunk) {
    Outcome r = Tool("tree --format list.txt a.msh");
    EXPECT_EQ(r.code, 0) << r.err;
    std::string top = "HEDR " + std::to_string(Mesh().size() - 8) + "\n  MSH2 ";
    EXPECT_EQ(r.out.substr(0, top.size()), top);
    EXPECT_NE(r.out.find("\n    MATL 220\n      MATD 100\n        NAME 4\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\n  CL1L 0\n"), std::string::npos);
    Outcome plain = Tool("tree --no-matl --format list.txt a.msh");
    EXPECT_EQ(plain.code, 0);
    EXPECT_NE(plain.out.find("\n    MATL 220\n    MODL "), std::string::npos) << plain.out;
    // Without --format and without mdata/ here, the copy installed with the
    // program is used.
    Outcome dflt = Tool("tree a.msh");
    EXPECT_EQ(dflt.out, r.out);
}

TEST_F(Mshtool, ResaveAndFailures) {
    Outcome r = Tool("resave --format list.txt a.msh b.msh");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Slurp(dir + "/b.msh"), Slurp(dir + "/a.msh"));

    // A NAME whose size leaves out its padding: the file is re-laid as the
    // editor opens it, not saved with a size written into the next header.
    std::string unpadded = Slurp(dir + "/a.msh");
    bool cut = false;
    for (size_t at = unpadded.find("NAME"); !cut && at != std::string::npos; at = unpadded.find("NAME", at + 4)) {
        const size_t text = unpadded.find('\0', at + 8) + 1 - (at + 8);
        if (text % 4 == 0) continue;
        unpadded[at + 4] = char(text), cut = true;
    }
    ASSERT_TRUE(cut);
    scratch.Write("unpadded.msh", unpadded);
    Outcome relaid = Tool("resave --format list.txt unpadded.msh d.msh");
    EXPECT_EQ(relaid.code, 0) << relaid.err;
    EXPECT_NE(relaid.err.find("re-laid: 1 chunk whose size left out its padding"), std::string::npos) << relaid.err;
    EXPECT_EQ(Slurp(dir + "/d.msh"), Slurp(dir + "/a.msh"));

    Outcome missing = Tool("tree --format list.txt none.msh");
    EXPECT_EQ(missing.code, 2);
    EXPECT_EQ(missing.err, "Unable to read mesh file.\nNo such file or directory\n");
    std::ofstream(dir + "/empty.msh").close();
    EXPECT_EQ(Tool("resave empty.msh c.msh").code, 2);

    fs::create_directory(dir + "/sub");
    Outcome unwritable = Tool("resave a.msh sub");
    EXPECT_EQ(unwritable.code, 3);
    EXPECT_EQ(unwritable.err, "Unable to write mesh file.\nIs a directory\n");
    EXPECT_TRUE(fs::is_directory(dir + "/sub"));

    for (const char* bad : {"", "tree", "tree a.msh b.msh", "resave a.msh", "frobnicate a.msh", "tree --bogus a.msh",
                            "tree a.msh --format"}) {
        Outcome u = Tool(bad);
        EXPECT_EQ(u.code, 2) << bad;
        EXPECT_EQ(u.err.rfind("usage: mshtool", 0), 0u) << bad;
    }
}

TEST_F(Mshtool, FailuresSayWhy) {
    // A terabyte file (sparse) is refused from its size, without a crash.
    std::ofstream(dir + "/huge.msh", std::ios::binary).write(reinterpret_cast<const char*>(Mesh().data()), 20);
    if (truncate((dir + "/huge.msh").c_str(), int64_t{1} << 40) == 0) {
        Outcome huge = Tool("resave huge.msh out.msh");
        EXPECT_EQ(huge.code, 2);
        EXPECT_EQ(huge.err, "Unable to read mesh file.\nFile too large\n");
        EXPECT_FALSE(fs::exists(dir + "/out.msh"));
    } else {
        std::printf("skipped the 1 TiB file: the file system here cannot hold it\n");
    }
    ASSERT_EQ(mkfifo((dir + "/pipe.msh").c_str(), 0644), 0);
    Outcome fifo = Tool("resave a.msh pipe.msh");
    EXPECT_EQ(fifo.code, 3);
    EXPECT_EQ(fifo.err, "Unable to write mesh file.\nNot a regular file\n");
    EXPECT_TRUE(fs::is_fifo(dir + "/pipe.msh"));
    // Through a link: the file it points at gets the bytes.
    std::ofstream(dir + "/real.msh") << "old";
    fs::create_symlink("real.msh", dir + "/link.msh");
    EXPECT_EQ(Tool("resave a.msh link.msh").code, 0);
    EXPECT_TRUE(fs::is_symlink(dir + "/link.msh"));
    EXPECT_EQ(Slurp(dir + "/real.msh"), Slurp(dir + "/a.msh"));
}

TEST_F(Mshtool, HelpAndVersion) {
    Outcome top = Tool("--help");
    EXPECT_EQ(top.code, 0) << top.err;
    EXPECT_EQ(top.err, "");
    // Every command is listed, and answers --help with its usage, options and
    // exit codes on stdout, even beside operands it would refuse.
    for (const char* command : {"tree", "resave", "verify", "check"}) {
        EXPECT_NE(top.out.find(std::string("\n  ") + command + " "), std::string::npos) << command;
        for (const std::string& args : {std::string(command) + " --help", std::string(command) + " a b c --help"}) {
            Outcome h = Tool(args);
            EXPECT_EQ(h.code, 0) << args;
            EXPECT_EQ(h.out.rfind(std::string("usage: mshtool ") + command + " [--format FILE]", 0), 0u) << h.out;
            EXPECT_NE(h.out.find("\noptions:\n  --format FILE"), std::string::npos) << h.out;
            EXPECT_NE(h.out.find("\nexit status:\n  0  "), std::string::npos) << h.out;
        }
    }
    Outcome v = Tool("--version");
    EXPECT_EQ(v.code, 0);
    EXPECT_EQ(v.out.rfind("mshtool ", 0), 0u);
    EXPECT_GT(v.out.size(), 10u);
    // Options may also be given as --name=value, and -- ends them.
    EXPECT_EQ(Tool("tree --format=list.txt -- a.msh").out, Tool("tree --format list.txt a.msh").out);
}
