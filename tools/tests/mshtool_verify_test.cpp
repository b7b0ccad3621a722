// mshtool verify on mesh files written by the test: the findings on stdout,
// one a line, and the exit code.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "mesh/chunk.h"
#include "mesh/msh.h"
#include "tests/support/scratch.h"

#ifndef MSHTOOL_PATH
#error MSHTOOL_PATH must name the mshtool program
#endif

using mesh::chunk;
using mesh::chunkptr;

namespace {

chunkptr C(const std::string& name, std::initializer_list<chunkptr> kids = {}) {
    chunkptr c = chunk::Create(name);
    for (const chunkptr& k : kids) c->AppendKid(k);
    return c;
}

chunkptr Zeros(const std::string& name, int n) {
    chunkptr c = chunk::Create(name);
    c->setdata(std::vector<uint8_t>(size_t(n), 0));
    return c;
}

chunkptr Text(const std::string& name, const std::string& s) {
    std::vector<uint8_t> b(s.begin(), s.end());
    do b.push_back(0);
    while (b.size() % 4 != 0);
    chunkptr c = chunk::Create(name);
    c->setdata(b);
    return c;
}

chunkptr Model(const std::string& name, const std::string& parent) {
    return C("MODL", {Zeros("MTYP", 4), Zeros("MNDX", 4), Text("NAME", name), Text("PRNT", parent),
                      Zeros("TRAN", 40), C("GEOM", {Zeros("BBOX", 44), C("SEGM", {C("SHDW")})})});
}

// A mesh whose material misses its ATRB when grouped; otherwise well formed.
// extra, when given, goes under MSH2 after the models.
chunkptr Mesh(bool matdcomplete, chunkptr extra = nullptr) {
    chunkptr matd = C("MATD", {Text("NAME", "mat"), Zeros("DATA", 52)});
    if (matdcomplete) matd->AppendKid(Zeros("ATRB", 4));
    chunkptr msh2 = C("MSH2", {C("SINF", {Text("NAME", "scene"), Zeros("FRAM", 12), Zeros("BBOX", 44)}),
                               C("MATL", {matd}), Model("a", "a"), Model("b", "a")});
    if (extra) msh2->AppendKid(extra);
    return C("HEDR", {msh2, Zeros("CL1L", 0)});
}

class MshtoolVerify : public ::testing::Test {
protected:
    void SetUp() override {
        scratch_.Write("format.txt", "SHVO\nMSH2\nSINF\nNAME\nMTYP\nBBOX\nMATI\nSHDW\n");
    }

    std::string Write(const std::string& file, const chunkptr& root) {
        mesh::msh m;
        m.hedr = root;
        std::string path = dir_ + "/" + file;
        EXPECT_TRUE(m.Save(path, 1));
        return path;
    }

    // Runs mshtool with the arguments; out gets stdout, the result is the
    // exit code.
    int Run(const std::string& args, std::string& out, std::string* err = nullptr) {
        std::string errfile = dir_ + "/stderr.txt";
        std::string cmd = std::string("'") + MSHTOOL_PATH + "' " + args + " 2>'" + errfile + "'";
        FILE* p = popen(cmd.c_str(), "r");
        if (!p) return -1;
        out.clear();
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
        int status = pclose(p);
        if (err) {
            std::ifstream in(errfile);
            err->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string Format() const { return "--format '" + dir_ + "/format.txt' "; }

    testsupport::ScratchDir scratch_{"verify"};
    const std::string dir_ = scratch_.path();
};

TEST_F(MshtoolVerify, FindingsAndExitCodes) {
    std::string out;
    std::string good = Write("good.msh", Mesh(true));
    EXPECT_EQ(Run("verify " + Format() + "'" + good + "'", out), 0);
    EXPECT_EQ(out, "");

    std::string bad = Write("bad.msh", Mesh(true, Model("c", "nobody")));
    EXPECT_EQ(Run("verify " + Format() + "'" + bad + "'", out), 1);
    EXPECT_EQ(out, "PRNT: parent MODL does not exist\n");

    // Several findings, one a line, in tree order.
    chunkptr h = Mesh(false, C("NULL"));
    h->InsertKid(0, Zeros("SHVO", 3));
    std::string worse = Write("worse.msh", h);
    EXPECT_EQ(Run("verify " + Format() + "'" + worse + "'", out), 1);
    EXPECT_EQ(out,
              "SHVO: chunk does not contain 4 bytes of data\n"
              "MSH2: chunk contains illegal children\n"
              "MATD: no ATRB chunk\n"
              "NULL: illegal chunk name\n");
}

TEST_F(MshtoolVerify, MaterialGroupingOption) {
    // Grouped, the incomplete material is checked; as a raw MATL record it is
    // not looked into.
    std::string path = Write("matl.msh", Mesh(false));
    std::string out;
    EXPECT_EQ(Run("verify " + Format() + "'" + path + "'", out), 1);
    EXPECT_EQ(out, "MATD: no ATRB chunk\n");
    EXPECT_EQ(Run("verify --no-matl " + Format() + "'" + path + "'", out), 0);
    EXPECT_EQ(out, "");
}

TEST_F(MshtoolVerify, UnreadableMeshAndUsage) {
    std::string out, err;
    EXPECT_EQ(Run("verify " + Format() + "'" + dir_ + "/missing.msh'", out, &err), 2);
    EXPECT_EQ(out, "");
    EXPECT_EQ(err, "Unable to read mesh file.\nNo such file or directory\n");
    std::ofstream(dir_ + "/empty.msh").close();
    EXPECT_EQ(Run("verify " + Format() + "'" + dir_ + "/empty.msh'", out), 2);
    EXPECT_EQ(Run("verify", out, &err), 2);
    EXPECT_NE(err.find("mshtool verify"), std::string::npos);
}

}  // namespace
