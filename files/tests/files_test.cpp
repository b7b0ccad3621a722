// The file layer: streams, paths, saving through a temporary file, reading limits.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "files/files.h"
#include "tests/support/scratch.h"

namespace fs = std::filesystem;
using namespace host;

namespace {

using testsupport::ScratchDir;

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
    ScratchDir t;
    std::string p = t.path() + "\\lines.txt";  // backslashes are separators too
    {
        auto w = OpenWrite(p);
        ASSERT_TRUE(w);
        EXPECT_TRUE(w->WriteLine("first"));
        EXPECT_TRUE(w->WriteText("second\nthird"));
        EXPECT_TRUE(w->WriteByte(0x1FF));  // only the low 8 bits
        EXPECT_TRUE(w->Close());
    }
    EXPECT_EQ(PathKind(p), EntryKind::File);
    EXPECT_EQ(PathKind(t.path()), EntryKind::Directory);
    EXPECT_EQ(PathKind(t.path() + "/none"), EntryKind::Missing);
    auto r = OpenRead(p);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->Size(), 20);
    EXPECT_EQ(r->ReadLine(), "first");
    EXPECT_EQ(r->ReadLine(), "second");
    EXPECT_FALSE(r->Eof());
    EXPECT_EQ(r->ReadLine(), "third\xFF");
    EXPECT_TRUE(r->Eof());
    EXPECT_EQ(r->ReadByte(), -1);
    EXPECT_FALSE(OpenRead(t.path()));  // a directory is not a readable file
    EXPECT_FALSE(OpenRead(t.path() + "/missing"));
}

TEST(AtomicFile, ReplacesTargetOnlyOnCommit) {
    ScratchDir t;
    std::string target = t.path() + "/mesh.msh";
    std::ofstream(target) << "old";
    {
        AtomicFile f(target);
        ASSERT_TRUE(f.Ok());
        f.stream()->WriteText("new bytes");
        // dropped without Commit: the old file stays, no temporary is left
    }
    EXPECT_EQ(Slurp(target), "old");
    EXPECT_EQ(EntryCount(t.path()), 1u);
    {
        AtomicFile f(target);
        ASSERT_TRUE(f.Ok());
        f.stream()->WriteText("new bytes");
        EXPECT_TRUE(f.Commit());
    }
    EXPECT_EQ(Slurp(target), "new bytes");
    EXPECT_EQ(EntryCount(t.path()), 1u);
}

TEST(AtomicFile, FailuresLeaveTargetAndNoTemporary) {
    ScratchDir t;
    // A directory as the target.
    fs::create_directory(t.path() + "/sub");
    AtomicFile dir(t.path() + "/sub");
    EXPECT_FALSE(dir.Ok());
    EXPECT_FALSE(dir.Commit());
    EXPECT_FALSE(dir.Error().empty());
    // A directory that does not exist.
    AtomicFile missing(t.path() + "/nowhere/x.msh");
    EXPECT_FALSE(missing.Commit());
    // A full disk, where the machine has /dev/full: writing fails at the flush.
    if (PathKind("/dev/full") == EntryKind::Other && access("/dev/full", W_OK) == 0) {
        auto s = OpenWrite("/dev/full");
        ASSERT_TRUE(s);
        std::string big(1 << 16, 'x');
        s->WriteText(big);
        EXPECT_FALSE(s->Close());
    }
    EXPECT_EQ(EntryCount(t.path()), 1u);  // only "sub"
}

TEST(AtomicFile, AFolderThatCannotBeWrittenKeepsItsFile) {
    if (geteuid() == 0) GTEST_SKIP() << "root writes into folders without write permission";
    ScratchDir t;
    std::string ro = t.path() + "/ro";
    fs::create_directory(ro);
    std::ofstream(ro + "/m.msh") << "keep";
    chmod(ro.c_str(), 0555);
    AtomicFile f(ro + "/m.msh");
    EXPECT_FALSE(f.Commit());
    chmod(ro.c_str(), 0755);
    EXPECT_EQ(Slurp(ro + "/m.msh"), "keep");
    EXPECT_EQ(EntryCount(ro), 1u);
}

TEST(Clock, FakeClockMovesOnlyWhenTold) {
    FakeClock c;
    int64_t t0 = c.ClockMs();
    c.SleepMs(-5);
    EXPECT_EQ(c.ClockMs(), t0);
    c.SleepMs(16);
    EXPECT_EQ(c.ClockMs(), t0 + 16);
}

// ---- Reading whole files ---------------------------------------------------

TEST(ReadWholeFile, SizeIsCheckedBeforeAnythingIsAllocated) {
    ScratchDir t;
    std::string big = t.path() + "/huge.msh";
    {
        std::ofstream(big) << "HEDR";
    }
    // A terabyte, nearly all of it a hole: refused from its size alone.
    if (truncate(big.c_str(), int64_t{1} << 40) != 0) GTEST_SKIP() << "the file system cannot hold a 1 TiB sparse file";
    std::vector<uint8_t> out{1, 2, 3};
    std::string why;
    EXPECT_FALSE(ReadWholeFile(big, int64_t{1} << 31, out, &why));
    EXPECT_EQ(why, "File too large");
    EXPECT_TRUE(out.empty());
    // Exactly at the limit it is read.
    std::string small = t.path() + "/small";
    std::ofstream(small) << "0123456789";
    EXPECT_TRUE(ReadWholeFile(small, 10, out, &why));
    EXPECT_EQ(std::string(out.begin(), out.end()), "0123456789");
    EXPECT_FALSE(ReadWholeFile(small, 9, out, &why));
    EXPECT_FALSE(ReadWholeFile(t.path(), 100, out, &why));
    EXPECT_EQ(why, "Is a directory");
    EXPECT_FALSE(ReadWholeFile(t.path() + "/none", 100, out, &why));
    EXPECT_EQ(why, "No such file or directory");
    std::string fifo = t.path() + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(ReadWholeFile(fifo, 100, out, &why));  // and does not block
    EXPECT_EQ(why, "Not a regular file");
}

TEST(ReadWholeFile, LargeFilesWithHolesReadWhole) {
    // Large enough for the buffer to grow on a second thread while it is
    // read: data, a hole of several megabytes, data to the last byte.
    ScratchDir t;
    const std::string path = t.path() + "/large";
    std::vector<uint8_t> want(size_t{40} << 20, 0);
    for (size_t i = 0; i < want.size(); i += 4093) want[i] = static_cast<uint8_t>(i % 251 + 1);
    std::fill(want.begin() + (size_t{9} << 20), want.begin() + (size_t{23} << 20), 0);
    want.back() = 0x5A;
    {
        std::ofstream f(path, std::ios::binary);
        f.write(reinterpret_cast<const char*>(want.data()), static_cast<std::streamsize>(9u << 20));
        f.seekp(23 << 20);  // the hole
        f.write(reinterpret_cast<const char*>(want.data() + (23u << 20)),
                static_cast<std::streamsize>(want.size() - (23u << 20)));
    }
    std::vector<uint8_t> out{1, 2, 3};
    std::string why;
    ASSERT_TRUE(ReadWholeFile(path, int64_t{1} << 31, out, &why)) << why;
    EXPECT_TRUE(out == want);
    // Refused for its size, the buffer is left empty.
    EXPECT_FALSE(ReadWholeFile(path, int64_t{1} << 20, out, &why));
    EXPECT_TRUE(out.empty());
}

// ---- Saving ----------------------------------------------------------------

namespace {

bool Save(const std::string& target, const std::string& bytes, std::string* why = nullptr,
          AtomicFile::Links links = AtomicFile::Links::Follow) {
    AtomicFile f(target, links);
    f.stream()->WriteText(bytes);
    bool ok = f.Commit();
    if (why) *why = f.Error();
    return ok;
}

mode_t ModeOf(const std::string& p) {
    struct stat st;
    return lstat(p.c_str(), &st) == 0 ? st.st_mode : 0;
}

}  // namespace

TEST(AtomicFile, WritesThroughSymbolicLinks) {
    ScratchDir t;
    fs::create_directory(t.path() + "/real");
    std::ofstream(t.path() + "/real/m.msh") << "old";
    chmod((t.path() + "/real/m.msh").c_str(), 0640);
    fs::create_symlink("real/m.msh", t.path() + "/link.msh");
    fs::create_symlink(t.path() + "/link.msh", t.path() + "/chain.msh");
    std::string why;
    ASSERT_TRUE(Save(t.path() + "/chain.msh", "new", &why)) << why;
    EXPECT_TRUE(fs::is_symlink(t.path() + "/link.msh"));
    EXPECT_TRUE(fs::is_symlink(t.path() + "/chain.msh"));
    EXPECT_EQ(Slurp(t.path() + "/real/m.msh"), "new");
    EXPECT_EQ(ModeOf(t.path() + "/real/m.msh") & 07777, 0640u);
    EXPECT_EQ(EntryCount(t.path() + "/real"), 1u);  // the temporary file stood there and is gone
    // A link to nothing is refused: nothing is created at either end.
    fs::create_symlink("gone/x.msh", t.path() + "/dangling.msh");
    EXPECT_FALSE(Save(t.path() + "/dangling.msh", "new", &why));
    EXPECT_NE(why.find("does not exist"), std::string::npos) << why;
    EXPECT_TRUE(fs::is_symlink(t.path() + "/dangling.msh"));
    EXPECT_FALSE(fs::exists(t.path() + "/gone"));
    // A loop of links.
    fs::create_symlink("loop2", t.path() + "/loop1");
    fs::create_symlink("loop1", t.path() + "/loop2");
    EXPECT_FALSE(Save(t.path() + "/loop1", "new", &why));
    EXPECT_EQ(why, "Too many levels of symbolic links");
    EXPECT_EQ(EntryCount(t.path()), 6u);
}

TEST(AtomicFile, ReplacesALinkWhenToldNotToFollow) {
    ScratchDir t;
    std::ofstream(t.path() + "/precious") << "keep";
    fs::create_symlink("precious", t.path() + "/log.txt");
    ASSERT_TRUE(Save(t.path() + "/log.txt", "findings", nullptr, AtomicFile::Links::Replace));
    EXPECT_FALSE(fs::is_symlink(t.path() + "/log.txt"));
    EXPECT_EQ(Slurp(t.path() + "/log.txt"), "findings");
    EXPECT_EQ(Slurp(t.path() + "/precious"), "keep");
    // A dangling one is replaced just the same.
    fs::create_symlink("nowhere", t.path() + "/log2.txt");
    ASSERT_TRUE(Save(t.path() + "/log2.txt", "x", nullptr, AtomicFile::Links::Replace));
    EXPECT_EQ(Slurp(t.path() + "/log2.txt"), "x");
    EXPECT_FALSE(fs::exists(t.path() + "/nowhere"));
}

TEST(AtomicFile, RefusesTargetsThatAreNotRegularFiles) {
    ScratchDir t;
    std::string fifo = t.path() + "/fifo.msh";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    std::string why;
    EXPECT_FALSE(Save(fifo, "new", &why));
    EXPECT_EQ(why, "Not a regular file");
    EXPECT_TRUE(S_ISFIFO(ModeOf(fifo)));
    // Through a link too, and a link to a device is not followed into /dev.
    fs::create_symlink("fifo.msh", t.path() + "/tofifo.msh");
    EXPECT_FALSE(Save(t.path() + "/tofifo.msh", "new", &why));
    EXPECT_EQ(why, "Not a regular file");
    AtomicFile dev("/dev/null");
    EXPECT_FALSE(dev.Ok());
    EXPECT_EQ(dev.Error(), "Not a regular file");
    EXPECT_TRUE(dev.TempPath().empty());
    EXPECT_FALSE(Save(t.path(), "new", &why));
    EXPECT_EQ(why, "Is a directory");
    EXPECT_EQ(EntryCount(t.path()), 2u);
}

TEST(AtomicFile, TemporaryIsPrivateUntilTheRename) {
    ScratchDir t;
    std::string target = t.path() + "/m.msh";
    std::ofstream(target) << "old";
    chmod(target.c_str(), 0604);
    AtomicFile f(target);
    ASSERT_TRUE(f.Ok());
    f.stream()->WriteText("new");
    EXPECT_EQ(ModeOf(f.TempPath()) & 07777, 0600u);
    ASSERT_TRUE(f.Commit());
    EXPECT_EQ(ModeOf(target) & 07777, 0604u);
    // A new file gets what the umask allows.
    mode_t old = umask(027);
    EXPECT_TRUE(Save(t.path() + "/fresh.msh", "x"));
    umask(old);
    EXPECT_EQ(ModeOf(t.path() + "/fresh.msh") & 07777, 0640u);
}

TEST(AtomicFile, KeepsOwnerAndGroup) {
    if (geteuid() != 0) GTEST_SKIP() << "changing owners needs root";
    ScratchDir t;
    std::string target = t.path() + "/theirs.msh";
    std::ofstream(target) << "old";
    ASSERT_EQ(chown(target.c_str(), 4321, 4322), 0);
    ASSERT_EQ(chmod(target.c_str(), 0600), 0);
    ASSERT_TRUE(Save(target, "new"));
    struct stat st;
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 4321u);
    EXPECT_EQ(st.st_gid, 4322u);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(Slurp(target), "new");
    // A setuid file saved by a user who cannot give it back to its owner
    // loses the bit instead of becoming a setuid file of that user.
    std::string shared = t.path() + "/shared";
    fs::create_directory(shared);
    chmod(t.path().c_str(), 0755);
    chmod(shared.c_str(), 0777);
    std::string suid = shared + "/tool.msh";
    std::ofstream(suid) << "old";
    ASSERT_EQ(chmod(suid.c_str(), 06777), 0);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (setgid(4444) != 0 || setuid(4444) != 0) _exit(2);
        std::string why;
        bool saved = Save(suid, "new", &why);
        if (!saved) std::fprintf(stderr, "%s\n", why.c_str());
        _exit(saved ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);
    ASSERT_EQ(stat(suid.c_str(), &st), 0);
    EXPECT_EQ(Slurp(suid), "new");
    EXPECT_EQ(st.st_uid, 4444u);
    EXPECT_EQ(st.st_mode & 07777, 0777u);
}

TEST(AtomicFile, TemporaryNamesAndLeftovers) {
    ScratchDir t;
    // A name so long that the temporary name must be shorter.
    std::string longname(250, 'n');
    std::string why;
    ASSERT_TRUE(Save(t.path() + "/" + longname, "x", &why)) << why;
    EXPECT_EQ(Slurp(t.path() + "/" + longname), "x");
    std::string a = AtomicFile::TempStem(longname), b = AtomicFile::TempStem(std::string(249, 'n') + "m");
    EXPECT_NE(a, b);
    EXPECT_LE(a.size() + 23, 255u);
    EXPECT_EQ(AtomicFile::TempStem("m.msh"), ".m.msh");
    // Leftovers of an interrupted save of the same target are removed once
    // they are old; a fresh one (a save that may be running) and those of
    // other targets stay.
    auto leftover = [&](const std::string& name, int age) {
        std::string p = t.path() + "/" + name;
        std::ofstream(p) << "partial";
        struct timeval tv[2];
        gettimeofday(&tv[0], nullptr);
        tv[0].tv_sec -= age;
        tv[1] = tv[0];
        utimes(p.c_str(), tv);
        return p;
    };
    const int old = AtomicFile::kStaleTempSeconds + 60;
    std::string stale = leftover(".m.msh.vornabel-0badf00d.tmp", old);
    std::string other = leftover(".n.msh.vornabel-0badf00d.tmp", old);
    std::string lookalike = leftover(".m.msh.vornabel-notahex1.tmp", old);
    std::string young = leftover(".m.msh.vornabel-0000aaaa.tmp", 5);
    std::string locked = leftover(".m.msh.vornabel-0000bbbb.tmp", old);
    int lockfd = open(locked.c_str(), O_RDONLY);
    ASSERT_EQ(flock(lockfd, LOCK_EX), 0);  // another save still holds it
    AtomicFile holder(t.path() + "/m.msh");  // a save in progress here
    ASSERT_TRUE(holder.Ok());
    ASSERT_TRUE(Save(t.path() + "/m.msh", "x"));
    close(lockfd);
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_TRUE(fs::exists(holder.TempPath()));
    EXPECT_TRUE(fs::exists(young));
    EXPECT_TRUE(fs::exists(locked));
    EXPECT_TRUE(fs::exists(other));
    EXPECT_TRUE(fs::exists(lookalike));
}

TEST(AtomicFile, GatheredWritesGiveTheBytesInOrder) {
    // Copies and shared stretches mixed: headers that equal the bytes around
    // a shared stretch join it, others stay apart; more pieces than one
    // writev takes; stretches of one buffer that do not meet; stretches
    // larger than one writev writes.
    ScratchDir t;
    std::vector<uint8_t> buf(1 << 20);
    for (size_t i = 0; i < buf.size(); ++i) buf[i] = static_cast<uint8_t>(i * 7 + i / 251);
    std::string expect;
    AtomicFile f(t.path() + "/g.bin");
    auto copy = [&](const uint8_t* p, size_t n) {
        ASSERT_TRUE(f.Write(p, n));
        expect.append(reinterpret_cast<const char*>(p), n);
    };
    auto shared = [&](size_t off, size_t n) {
        ASSERT_TRUE(f.WriteShared(buf, off, n));
        expect.append(reinterpret_cast<const char*>(buf.data() + off), n);
    };
    copy(buf.data(), 8);            // equals the bytes before the next stretch
    shared(8, 4000);
    copy(buf.data() + 4008, 8);     // equals the bytes after it
    shared(4016, 300);
    const uint8_t other[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    copy(other, 8);                 // differs
    shared(4324, 1000);
    for (size_t i = 0; i < 3000; ++i) {  // many stretches that do not meet
        shared(10000 + i * 300, 299);
        copy(other, 3);
    }
    shared(0, 100);                 // small: copied
    std::string tail(3 << 20, 'z');  // more than the staging area holds
    copy(reinterpret_cast<const uint8_t*>(tail.data()), tail.size());
    // Stretches larger than one call writes: written in parts, in order.
    std::vector<uint8_t> big(size_t{20} << 20);
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i / 4093 + i);
    ASSERT_TRUE(f.WriteShared(big, 0, big.size()));
    expect.append(reinterpret_cast<const char*>(big.data()), big.size());
    copy(other, 5);
    ASSERT_TRUE(f.WriteShared(big, 12345, 9u << 20));
    expect.append(reinterpret_cast<const char*>(big.data() + 12345), 9u << 20);
    ASSERT_TRUE(f.Commit()) << f.Error();
    EXPECT_TRUE(Slurp(t.path() + "/g.bin") == expect);
}

TEST(AtomicFile, ReasonsForFailures) {
    ScratchDir t;
    std::string why;
    EXPECT_FALSE(Save(t.path() + "/nowhere/x.msh", "x", &why));
    EXPECT_EQ(why, "No such file or directory");
    EXPECT_FALSE(Save("", "x", &why));
    EXPECT_FALSE(why.empty());
    // The file grows past what the process may write.
    std::ofstream(t.path() + "/old.msh") << "old";
    struct rlimit old, small;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    small = old;
    small.rlim_cur = 100;
    auto prev = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool ok = Save(t.path() + "/old.msh", std::string(1000, 'x'), &why);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, prev);
    EXPECT_FALSE(ok);
    EXPECT_EQ(why, "File too large");
    EXPECT_EQ(Slurp(t.path() + "/old.msh"), "old");
    EXPECT_EQ(EntryCount(t.path()), 1u);
}

TEST(Paths, ProposedFileNames) {
    EXPECT_EQ(ProposedFileName("tank", "msh"), "tank.msh");
    EXPECT_EQ(ProposedFileName("  gun barrel ", "mck"), "gun barrel.mck");
    EXPECT_EQ(ProposedFileName("a/b\\c:d\x01", "mck"), "a_b_c_d_.mck");
    EXPECT_EQ(ProposedFileName("..", "mck"), "_.mck");
    EXPECT_EQ(ProposedFileName("    ", "mck"), "");
}
