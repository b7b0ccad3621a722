#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "host/files.h"

namespace fs = std::filesystem;
using namespace host;

namespace {

struct TempDir {
    TempDir() {
        char tmpl[] = "/tmp/vorna-files-XXXXXX";
        path = mkdtemp(tmpl);
    }
    ~TempDir() {
        std::error_code ec;
        fs::permissions(path, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(path, ec);
    }
    std::string path;
};

std::string Slurp(const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

size_t EntryCount(const std::string& dir) {
    return static_cast<size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

}  // namespace

TEST(Paths, DirectoryPartKeepsRoots) {
    EXPECT_EQ(DirectoryPart("a/b/c.msh"), "a/b");
    EXPECT_EQ(DirectoryPart("a\\b\\c.msh"), "a\\b");
    EXPECT_EQ(DirectoryPart("C:\\c.msh"), "C:\\");
    EXPECT_EQ(DirectoryPart("/c.msh"), "/");
    EXPECT_EQ(DirectoryPart("c.msh"), "");
    EXPECT_EQ(DirectoryPart("a/b\\c"), "a/b");
}

TEST(Paths, BaseNameAndExtension) {
    EXPECT_EQ(BaseName("a/b/tree.msh"), "tree");
    EXPECT_EQ(BaseName("a\\b\\archive.tar.gz"), "archive.tar");
    EXPECT_EQ(BaseName("dir.d/noext"), "noext");
    EXPECT_EQ(BaseName("x/"), "");
    EXPECT_EQ(PathWithoutExtension("data\\image\\curses.png"), "data/image/curses");
    EXPECT_EQ(PathWithoutExtension("dir.d\\noext"), "dir.d/noext");
    EXPECT_EQ(PathWithoutExtension("plain"), "plain");
}

TEST(Streams, BytesLinesAndEof) {
    TempDir t;
    std::string p = t.path + "\\lines.txt";  // backslashes are separators too
    {
        auto w = OpenWrite(p);
        ASSERT_TRUE(w);
        EXPECT_TRUE(w->WriteLine("first"));
        EXPECT_TRUE(w->WriteText("second\nthird"));
        EXPECT_TRUE(w->WriteByte(0x1FF));  // only the low 8 bits
        EXPECT_TRUE(w->Close());
    }
    EXPECT_EQ(PathKind(p), 1);
    EXPECT_EQ(PathKind(t.path), 2);
    EXPECT_EQ(PathKind(t.path + "/none"), 0);
    auto r = OpenRead(p);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->Size(), 20);
    EXPECT_EQ(r->ReadLine(), "first");
    EXPECT_EQ(r->ReadLine(), "second");
    EXPECT_FALSE(r->Eof());
    EXPECT_EQ(r->ReadLine(), "third\xFF");
    EXPECT_TRUE(r->Eof());
    EXPECT_EQ(r->ReadByte(), -1);
    EXPECT_FALSE(OpenRead(t.path));  // a directory is not a readable file
    EXPECT_FALSE(OpenRead(t.path + "/missing"));
}

TEST(AtomicFile, ReplacesTargetOnlyOnCommit) {
    TempDir t;
    std::string target = t.path + "/mesh.msh";
    std::ofstream(target) << "old";
    {
        AtomicFile f(target);
        ASSERT_TRUE(f.Ok());
        f.stream()->WriteText("new bytes");
        // dropped without Commit: the old file stays, no temporary is left
    }
    EXPECT_EQ(Slurp(target), "old");
    EXPECT_EQ(EntryCount(t.path), 1u);
    {
        AtomicFile f(target);
        ASSERT_TRUE(f.Ok());
        f.stream()->WriteText("new bytes");
        EXPECT_TRUE(f.Commit());
    }
    EXPECT_EQ(Slurp(target), "new bytes");
    EXPECT_EQ(EntryCount(t.path), 1u);
}

TEST(AtomicFile, FailuresLeaveTargetAndNoTemporary) {
    TempDir t;
    // A directory as the target.
    fs::create_directory(t.path + "/sub");
    AtomicFile dir(t.path + "/sub");
    EXPECT_FALSE(dir.Ok());
    EXPECT_FALSE(dir.Commit());
    EXPECT_FALSE(dir.Error().empty());
    // A directory that does not exist.
    AtomicFile missing(t.path + "/nowhere/x.msh");
    EXPECT_FALSE(missing.Commit());
    // A directory that cannot be written (root ignores permissions, so only
    // check this as an ordinary user).
    if (geteuid() != 0) {
        std::string ro = t.path + "/ro";
        fs::create_directory(ro);
        std::ofstream(ro + "/m.msh") << "keep";
        chmod(ro.c_str(), 0555);
        AtomicFile f(ro + "/m.msh");
        EXPECT_FALSE(f.Commit());
        chmod(ro.c_str(), 0755);
        EXPECT_EQ(Slurp(ro + "/m.msh"), "keep");
        EXPECT_EQ(EntryCount(ro), 1u);
    }
    // A full disk, where the machine has /dev/full: writing fails at the flush.
    if (PathKind("/dev/full") == 0 && access("/dev/full", W_OK) == 0) {
        auto s = OpenWrite("/dev/full");
        ASSERT_TRUE(s);
        std::string big(1 << 16, 'x');
        s->WriteText(big);
        EXPECT_FALSE(s->Close());
    }
    EXPECT_EQ(EntryCount(t.path), 1u);  // only "sub"
}

TEST(Clock, FakeClockMovesOnlyWhenTold) {
    FakeClock c;
    int64_t t0 = c.ClockMs();
    c.SleepMs(-5);
    EXPECT_EQ(c.ClockMs(), t0);
    c.SleepMs(16);
    EXPECT_EQ(c.ClockMs(), t0 + 16);
}
