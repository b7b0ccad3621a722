// Reading and saving mesh files, the refresh, the container-name list file,
// and trees nested a million deep.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "format/bytes.h"
#include "mesh/formatlist.h"
#include "mesh/msh.h"
#include "tests/support/chunks.h"
#include "tests/support/scratch.h"

using namespace testsupport;
using mesh::chunk;
using mesh::chunkptr;
using mesh::msh;
namespace fs = std::filesystem;

namespace {

using testsupport::ScratchDir;

void Put(const std::string& path, const Bytes& b) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

Bytes Get(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

TEST(ReadMsh, FilesAndFailures) {
    ScratchDir dir;
    EXPECT_EQ(msh::ReadMsh(dir / "missing.msh", Containers(), 1), nullptr);
    EXPECT_EQ(msh::ReadMsh(dir.path(), Containers(), 1), nullptr);
    Put(dir / "empty.msh", {});
    EXPECT_EQ(msh::ReadMsh(dir / "empty.msh", Containers(), 1), nullptr);

    Put(dir / "a.msh", Cat({Mesh(), Text("junk")}));
    auto m = mesh::OpenMesh(dir / "a.msh", Containers(), 1);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->hedr->name, "HEDR");
    EXPECT_TRUE(m->errors.empty());
    chunkptr matl = m->hedr->kids[0]->getkid("MATL");
    EXPECT_EQ(matl->kids.size(), 2u);  // grouped on opening
    int total = m->totalchunks;
    EXPECT_EQ(total, 53);
    std::string err;
    ASSERT_TRUE(m->Save(dir / "b.msh", 1, &err)) << err;
    EXPECT_EQ(Get(dir / "b.msh"), Cat({Mesh(), Text("junk")}));  // bytes after the root are kept
    EXPECT_EQ(dir.Entries(), 3u);           // no temporary file left

    auto plain = mesh::OpenMesh(dir / "a.msh", Containers(), 0);
    EXPECT_TRUE(plain->hedr->kids[0]->getkid("MATL")->kids.empty());
    EXPECT_EQ(plain->totalchunks, total - 10);

    // Exporting a chunk writes it as a file's root; it keeps its place.
    chunkptr modl = m->hedr->kids[0]->kids[3];
    ASSERT_TRUE(mesh::ExportChunk(modl, dir / "m.mck", 1, &err)) << err;
    auto back = msh::ReadMsh(dir / "m.mck", Containers(), 1);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->hedr->FetchName(), "child");
    EXPECT_EQ(modl->getparent(), m->hedr->kids[0]);
    EXPECT_EQ(Saved(back->hedr, 1), Saved(modl, 1));
}

TEST(Save, FailuresLeaveTheTargetAndTheTreeAlone) {
    ScratchDir dir;
    Put(dir / "a.msh", Mesh());
    auto m = msh::ReadMsh(dir / "a.msh", Containers(), 0);
    ASSERT_TRUE(m);
    Put(dir / "old.msh", Text("old contents"));
    std::string err;
    // A path that names a directory, and a directory that does not exist.
    fs::create_directory(dir / "sub");
    EXPECT_FALSE(m->Save(dir / "sub", 0, &err));
    EXPECT_FALSE(err.empty());
    err.clear();
    EXPECT_FALSE(m->Save(dir / "nowhere/x.msh", 0, &err));
    EXPECT_FALSE(err.empty());
    // The tree is not rebuilt when the target cannot be written.
    chunkptr leaf = m->hedr->kids[0]->kids[0]->kids[0];
    leaf->GrowData(4);
    int32_t before = m->hedr->size;
    EXPECT_FALSE(m->Save(dir / "sub", 0, &err));
    EXPECT_EQ(m->hedr->size, before);

    // The disk fills up while writing: the old file stays, nothing is left over.
    struct rlimit old;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    auto prev = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 100;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    err.clear();
    bool ok = m->Save(dir / "old.msh", 0, &err);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, prev);
    EXPECT_FALSE(ok);
    EXPECT_FALSE(err.empty());
    EXPECT_EQ(Get(dir / "old.msh"), Text("old contents"));

    EXPECT_EQ(dir.Entries(), 3u);  // a.msh, old.msh, sub

    msh empty;
    EXPECT_FALSE(empty.Save(dir / "e.msh", 0, &err));
    EXPECT_FALSE(fs::exists(dir / "e.msh"));
}

TEST(Save, AFolderThatCannotBeWrittenToKeepsTheOldFile) {
    if (geteuid() == 0) GTEST_SKIP() << "root writes into folders without write permission";
    ScratchDir dir;
    Put(dir / "a.msh", Mesh());
    auto m = msh::ReadMsh(dir / "a.msh", Containers(), 0);
    ASSERT_TRUE(m);
    Put(dir / "old.msh", Text("old contents"));
    std::string err;
    fs::permissions(dir.path(), fs::perms::owner_write, fs::perm_options::remove);
    EXPECT_FALSE(m->Save(dir / "old.msh", 0, &err));
    fs::permissions(dir.path(), fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(Get(dir / "old.msh"), Text("old contents"));
    EXPECT_EQ(dir.Entries(), 2u);  // a.msh, old.msh: no temporary left
}

TEST(Save, RefusesATreeLargerThanTheSizeFieldsHold) {
    // 33 leaves of 64 MB, all slices of one buffer, make a tree of over 2 GB
    // whose sizes cannot be written.
    const int32_t leafsize = 64 << 20;
    auto buf = std::make_shared<std::vector<uint8_t>>(static_cast<size_t>(leafsize) + 8, 0);
    std::copy_n("LEAF", 4, buf->begin());
    format::StoreI32(buf->data() + 4, leafsize);
    auto root = chunk::Create("HEDR");
    for (int i = 0; i < 33; ++i) root->AppendKid(chunk::GetChunk(buf, 0, Containers(), nullptr));
    msh m;
    m.hedr = root;
    ScratchDir dir;
    Put(dir / "big.msh", Text("old contents"));
    std::string err;
    EXPECT_FALSE(m.Save(dir / "big.msh", 0, &err));
    EXPECT_FALSE(err.empty());
    EXPECT_EQ(Get(dir / "big.msh"), Text("old contents"));
    EXPECT_EQ(dir.Entries(), 1u);
    // One leaf fewer than the limit still saves.
    while (root->kids.size() > 2) root->RemoveKid(0);
    EXPECT_TRUE(m.Save(dir / "big.msh", 0, &err)) << err;
    EXPECT_EQ(static_cast<int64_t>(fs::file_size(dir / "big.msh")), 8 + 2 * (int64_t{leafsize} + 8));
}

TEST(Refresh, ScrollRangesModelListAndCount) {
    auto m = std::make_shared<msh>();
    m->hedr = Parse(Mesh());
    mesh::refresh r = msh::Update(m.get(), 0, 3, 1);
    EXPECT_EQ(r.treeh, 0);  // one visible row
    ASSERT_EQ(r.modllist.size(), 2u);
    EXPECT_EQ(r.modllist[1]->FetchName(), "child");
    EXPECT_EQ(r.modlh, 1);
    EXPECT_EQ(m->totalchunks, 43);
    m->hedr->kids[0]->expand();
    r = msh::Update(m.get(), 0, 3, 5);
    EXPECT_EQ(r.treeh, 7 - 3);
    EXPECT_EQ(r.modlh, 0);
    // Counting from a start chunk adds to the count.
    m->updatetotalchunks(m->hedr->kids[1].get());
    EXPECT_EQ(m->totalchunks, 44);
    // An edit below shows in every ancestor's size after the refresh.
    chunkptr strp = m->hedr->kids[0]->kids[2]->getkid("GEOM")->kids[1]->getkid("STRP");
    int32_t hsize = m->hedr->size;
    strp->InsertBytes(0, 4, 1, 1, Containers(), 0);
    msh::Update(m.get(), 0, 3, 5);
    EXPECT_EQ(m->hedr->size, hsize + 4);
    EXPECT_EQ(m->hedr->kids[0]->getkid("MODL")->size + 8,
              static_cast<int32_t>(Saved(m->hedr->kids[0]->getkid("MODL"), 0).size()));
    r = msh::Update(nullptr, 0, 3, 5);
    EXPECT_EQ(r.treeh, 0);
    EXPECT_TRUE(r.modllist.empty());

    m->errors.push_back(strp);
    EXPECT_EQ(m->inerrors(strp.get()), 1);
    EXPECT_EQ(m->inerrors(m->hedr.get()), 0);
    m->errors.clear();
    EXPECT_EQ(m->inerrors(strp.get()), 0);
}

TEST(FormatList, FileRules) {
    ScratchDir dir;
    EXPECT_TRUE(mesh::ReadFormatList(dir / "none.txt").empty());
    Put(dir / "e.txt", {});
    EXPECT_EQ(mesh::ReadFormatList(dir / "e.txt"), mesh::namelist{""});
    Put(dir / "f.txt", Text(" po-sl \r\nmsh2\n\tSINF"));
    EXPECT_EQ(mesh::ReadFormatList(dir / "f.txt"), (mesh::namelist{"POSL", "MSH2", "SINF"}));
    Put(dir / "g.txt", Text("NAME\n"));
    EXPECT_EQ(mesh::ReadFormatList(dir / "g.txt"), mesh::namelist{"NAME"});
}

TEST(Deep, AMillionNestedContainers) {
    const int64_t n = 1000000;
    // DEEP { DEEP { ... DEEP "LEAF" 0 ... } }: n chunks, the innermost a leaf.
    Bytes file(static_cast<size_t>(8 * n + 8));
    for (int64_t i = 0; i < n; ++i) {
        std::memcpy(&file[8 * i], "DEEP", 4);
        uint32_t size = static_cast<uint32_t>(8 * (n - i));
        std::memcpy(&file[8 * i + 4], &size, 4);
    }
    std::memcpy(&file[8 * n], "LEAF", 4);
    ScratchDir dir;
    Put(dir / "deep.msh", file);
    const mesh::namelist list = {"DEEP"};
    auto m = mesh::OpenMesh(dir / "deep.msh", list, 1);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->totalchunks, n);
    std::string err;
    ASSERT_TRUE(m->Save(dir / "out.msh", 1, &err)) << err;
    EXPECT_EQ(Get(dir / "out.msh"), file);

    std::vector<chunkptr> all;
    m->hedr->addtolist(all, "DEEP");
    ASSERT_EQ(all.size(), static_cast<size_t>(n));
    chunkptr last = all.back();
    all.clear();
    EXPECT_EQ(m->hedr->readname(8 * (n - 1)), "LEAF");  // derived data, read a million levels down
    last->expand();
    EXPECT_EQ(m->hedr->groupsize(), n);
    EXPECT_EQ(last->findy(nullptr), n - 1);
    EXPECT_EQ(last->findmodlbyname("x", 1, nullptr), nullptr);
    EXPECT_EQ(m->hedr->InsertBytes(8 * (n - 1), 1, 1, 1, list, 1), 1);
    EXPECT_EQ(last->size, 9);
    EXPECT_EQ(m->hedr->size, 8 * n + 1);
    m->hedr->collapsematl();
    mesh::refresh r = msh::Update(m.get(), 1, 10, 10);
    EXPECT_EQ(r.treeh, n - 10);
    last.reset();
    m.reset();  // destroyed without recursion
    SUCCEED();
}

// ---- Hostile sizes ----------------------------------------------------------

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

// A sparse file of `size` bytes that starts with `head`; false when the file
// system cannot hold it.
bool Sparse(const std::string& path, const Bytes& head, int64_t size, int64_t tailat = -1, uint8_t tail = 0) {
    Put(path, head);
    if (truncate(path.c_str(), size) != 0) return false;
    if (tailat >= 0) {
        std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(tailat);
        f.put(static_cast<char>(tail));
        if (!f) return false;
    }
    return static_cast<int64_t>(fs::file_size(path)) == size;
}

}  // namespace

TEST(ReadMsh, AFileLargerThanAnyMeshIsRefusedBeforeReading) {
    ScratchDir dir;
    // A valid 20-byte mesh at the start of a terabyte of hole.
    Bytes mesh20 = Ck("HEDR", Ck("CL1L", I32s({7})));
    ASSERT_EQ(mesh20.size(), 20u);
    if (!Sparse(dir / "huge.msh", mesh20, int64_t{1} << 40))
        GTEST_SKIP() << "the file system here cannot hold a 1 TiB sparse file";
    std::string why;
    EXPECT_EQ(mesh::OpenMesh(dir / "huge.msh", Containers(), 1, &why), nullptr);
    EXPECT_EQ(why, "File too large");
    // One byte more than a root can fill is refused too.
    ASSERT_TRUE(Sparse(dir / "over.msh", mesh20, msh::kMaxFileBytes + 1));
    EXPECT_EQ(msh::ReadMsh(dir / "over.msh", Containers(), 1, &why), nullptr);
    EXPECT_EQ(why, "File too large");
    EXPECT_EQ(msh::ReadMsh(dir / "missing.msh", Containers(), 1, &why), nullptr);
    EXPECT_EQ(why, "No such file or directory");
}

TEST(ReadMsh, TheLargestRootReadsBackWhole) {
    // A root of 2^31 - 1 data bytes: a file of 2^31 + 7 bytes whose last
    // byte is the last one of the root's data.
    if (kSanitized) GTEST_SKIP() << "2 GB allocation: left to the build without the sanitizer";
    ScratchDir dir;
    const int64_t size = msh::kMaxFileBytes;
    if (!Sparse(dir / "max.msh", Ck("HEDR", {}, 0x7FFFFFFF), size, size - 1, 0x5A))
        GTEST_SKIP() << "the file system here cannot hold a 2 GB sparse file";
    std::string why;
    auto m = msh::ReadMsh(dir / "max.msh", Containers(), 0, &why);
    ASSERT_TRUE(m) << why;
    EXPECT_EQ(m->hedr->size, 0x7FFFFFFF);
    EXPECT_EQ(m->hedr->datalen(), 0x7FFFFFFF);
    EXPECT_EQ(m->hedr->readbyte(0x7FFFFFFE), 0x5A);
}

TEST(ReadMsh, RunningOutOfMemoryIsAFailureNotACrash) {
    if (kSanitized) GTEST_SKIP() << "an address-space limit does not fit the sanitizer's shadow memory";
    ScratchDir dir;
    // 3 million empty SINF chunks in a container: 24 MB of file, a few hundred MB
    // of chunks once parsed.
    const int n = 3000000;
    Bytes file(static_cast<size_t>(8 * n + 16), 0);
    std::memcpy(file.data(), "HEDR", 4);
    uint32_t size = static_cast<uint32_t>(8 * n + 8);
    std::memcpy(&file[4], &size, 4);
    std::memcpy(&file[8], "MSH2", 4);
    size -= 8;
    std::memcpy(&file[12], &size, 4);
    for (int i = 0; i < n; ++i) std::memcpy(&file[16 + 8 * static_cast<size_t>(i)], "SINF", 4);
    Put(dir / "many.msh", file);
    file.clear();
    file.shrink_to_fit();
    // Reading it with little memory to spare fails with a reason, in a
    // child process so that the limit stays there.
    EXPECT_EXIT(
        {
            struct rlimit lim;
            getrlimit(RLIMIT_AS, &lim);
            std::ifstream st("/proc/self/statm");
            long pages = 0;
            st >> pages;
            lim.rlim_cur = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + (64 << 20);
            setrlimit(RLIMIT_AS, &lim);
            std::string why;
            auto m = mesh::OpenMesh(dir / "many.msh", Containers(), 1, &why);
            std::fprintf(stderr, "%s\n", why.c_str());
            std::exit(m == nullptr && why == "Out of memory" ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "Out of memory");
}

TEST(Refresh, ATreeLargerThanTheSizeFieldsKeepsSizesPositive) {
    // 33 leaves of 64 MB (slices of one buffer) under a container under the
    // root: more than a size field holds.
    const int32_t leafsize = 64 << 20;
    auto buf = std::make_shared<std::vector<uint8_t>>(static_cast<size_t>(leafsize) + 8, 0);
    std::copy_n("LEAF", 4, buf->begin());
    std::memcpy(buf->data() + 4, &leafsize, 4);
    auto root = chunk::Create("HEDR");
    auto msh2 = chunk::Create("MSH2");
    root->AppendKid(msh2);
    for (int i = 0; i < 33; ++i) msh2->AppendKid(chunk::GetChunk(buf, 0, Containers(), nullptr));
    msh m;
    m.hedr = root;
    msh::Update(&m, 0, 10, 10);
    EXPECT_EQ(msh2->size, 0x7FFFFFFF);
    EXPECT_EQ(root->size, 0x7FFFFFFF);
    EXPECT_EQ(root->readname(8), "LEAF");  // the data still reads
    ScratchDir dir;
    std::string why;
    EXPECT_FALSE(m.Save(dir / "big.msh", 0, &why));
    EXPECT_NE(why.find("larger than a mesh file can hold"), std::string::npos);
    // Back under the limit, the sizes are exact again.
    while (msh2->kids.size() > 2) msh2->RemoveKid(0);
    msh::Update(&m, 0, 10, 10);
    EXPECT_EQ(msh2->size, 2 * (leafsize + 8));
    EXPECT_EQ(root->size, 2 * (leafsize + 8) + 8);
}

TEST(ReadMsh, TheMeshStaysWhatWasReadWhenTheFileChanges) {
    ScratchDir dir;
    Put(dir / "a.msh", Mesh());
    auto m = mesh::OpenMesh(dir / "a.msh", Containers(), 0);
    ASSERT_TRUE(m);
    // Another program truncates the file, then writes something else into it
    // (the same inode, as an editor that rewrites in place would).
    {
        std::ofstream(dir / "a.msh", std::ios::binary | std::ios::trunc).close();
    }
    EXPECT_EQ(m->hedr->kids[0]->getkid("SINF")->FetchName(), "scene");
    Put(dir / "a.msh", Text("something else entirely, and shorter"));
    EXPECT_EQ(Saved(m->hedr, 0), Mesh());
    std::string why;
    ASSERT_TRUE(m->Save(dir / "b.msh", 0, &why)) << why;
    EXPECT_EQ(Get(dir / "b.msh"), Mesh());
    ASSERT_TRUE(m->Save(dir / "a.msh", 0, &why)) << why;  // over the changed file itself
    EXPECT_EQ(Get(dir / "a.msh"), Mesh());
}

TEST(Save, WritesThroughALinkAndKeepsThePermissions) {
    ScratchDir dir;
    Put(dir / "a.msh", Mesh());
    auto m = mesh::OpenMesh(dir / "a.msh", Containers(), 1);
    ASSERT_TRUE(m);
    fs::create_directory(dir / "real");
    Put(dir / "real/t.msh", Text("old"));
    fs::permissions(dir / "real/t.msh", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read,
                    fs::perm_options::replace);
    fs::create_symlink("real/t.msh", dir / "t.msh");
    std::string why;
    ASSERT_TRUE(m->Save(dir / "t.msh", 1, &why)) << why;
    EXPECT_TRUE(fs::is_symlink(dir / "t.msh"));
    EXPECT_EQ(Get(dir / "real/t.msh"), Mesh());
    EXPECT_EQ(fs::status(dir / "real/t.msh").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    // Export goes the same way; a FIFO is refused and left alone.
    ASSERT_EQ(mkfifo((dir / "pipe.mck").c_str(), 0644), 0);
    EXPECT_FALSE(mesh::ExportChunk(m->hedr->kids[0], dir / "pipe.mck", 1, &why));
    EXPECT_EQ(why, "Not a regular file");
    EXPECT_TRUE(fs::is_fifo(dir / "pipe.mck"));
}

TEST(ExpandEach, OpensEveryAncestorOnceOnAMillionDeepChain) {
    // Every chunk of a chain a million deep is flagged: opening them one
    // after the other from the bottom would walk to the root each time.
    const int n = 1000000;
    chunkptr root = chunk::Create("DEEP");
    chunkptr c = root;
    mesh::chunklist flagged;
    std::vector<chunkptr> chain{root};
    for (int i = 1; i < n; ++i) {
        chunkptr k = chunk::Create("DEEP");
        c->AppendKid(k);
        c = k;
        chain.push_back(k);
    }
    for (int i = n; i-- > 0;) flagged.push_back(chain[static_cast<size_t>(i)]);
    chunkptr side = chunk::Create("SIDE");
    chunkptr sidekid = chunk::Create("KIDS");
    side->AppendKid(sidekid);
    root->AppendKid(side);
    mesh::ExpandEach(flagged);
    for (const chunkptr& k : chain) ASSERT_EQ(k->expanded, 1);
    EXPECT_EQ(side->expanded, 0);
    EXPECT_EQ(root->groupsize(), n + 1);
    // A chunk deep down whose ancestors are open already, and one that left the tree.
    mesh::chunklist one;
    one.push_back(sidekid);
    mesh::ExpandEach(one);
    EXPECT_EQ(side->expanded, 1);
    EXPECT_EQ(sidekid->expanded, 1);
    chain.clear();
    flagged.clear();
}

TEST(Save, BytesAfterTheRootAreWrittenBackAsTheyWere) {
    ScratchDir dir;
    const Bytes root = Ck("HEDR", Ck("MSH2", Ck("SINF", Ck("NAME", Str("scene")))));
    struct Case {
        const char* what;
        Bytes file;
        Bytes tail;
        const char* trailer;
    };
    const Case cases[] = {
        {"nothing after the root", root, {}, ""},
        {"a CL1L after the root", Cat({root, Ck("CL1L", {})}), Ck("CL1L", {}), "CL1L"},
        {"three stray bytes", Cat({root, Bytes{1, 2, 3}}), Bytes{1, 2, 3}, ""},
        {"a chunk, then garbage", Cat({root, Ck("CL1L", {}), Bytes{0xFF}}), Cat({Ck("CL1L", {}), Bytes{0xFF}}), "CL1L"},
    };
    for (const Case& c : cases) {
        Put(dir / "in.msh", c.file);
        for (int matl : {0, 1}) {
            std::string why;
            mesh::mshptr m = mesh::OpenMesh(dir / "in.msh", Containers(), matl, &why);
            ASSERT_NE(m, nullptr) << c.what << ": " << why;
            EXPECT_EQ(m->tail, c.tail) << c.what;
            EXPECT_EQ(m->trailer, c.trailer) << c.what;
            ASSERT_TRUE(m->Save(dir / "out.msh", matl, &why)) << c.what << ": " << why;
            EXPECT_EQ(Get(dir / "out.msh"), c.file) << c.what << ", matl " << matl;
            // An exported root is the chunk alone.
            ASSERT_TRUE(mesh::ExportChunk(m->hedr, dir / "root.mck", matl, &why)) << why;
            EXPECT_EQ(Get(dir / "root.mck"), root) << c.what;
        }
    }
}

// A file that ends inside its root chunk is read as far as it goes, and the
// mesh says where it ends; a whole file, or one saved since, says nothing.
TEST(ReadMsh, AFileThatEndsInsideItsRootSaysSo) {
    ScratchDir dir;
    const Bytes whole = Ck("HEDR", Ck("MSH2", Ck("SINF", Ck("NAME", Str("scene")))));  // 40 bytes
    struct Case {
        size_t keep;  // bytes of the file kept
        const char* cut;
    };
    const Case cases[] = {
        {whole.size(), ""},
        {whole.size() - 1, "the file ends inside HEDR: 31 of 32 bytes"},
        {12, "the file ends inside HEDR: 4 of 32 bytes"},
        {8, "the file ends inside HEDR: 0 of 32 bytes"},
        {5, "the file ends inside the root chunk's header: 5 of 8 bytes"},
    };
    for (const Case& c : cases) {
        Put(dir / "in.msh", Bytes(whole.begin(), whole.begin() + static_cast<long>(c.keep)));
        std::string why;
        mesh::mshptr m = mesh::OpenMesh(dir / "in.msh", Containers(), 1, &why);
        ASSERT_NE(m, nullptr) << c.keep << ": " << why;
        EXPECT_EQ(m->cut, c.cut) << c.keep;
        ASSERT_TRUE(m->Save(dir / "out.msh", 1, &why)) << why;
        EXPECT_EQ(m->cut, "") << c.keep;
    }
}
