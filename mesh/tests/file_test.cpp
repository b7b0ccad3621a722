// Reading and saving mesh files, the refresh, the container-name list file,
// and trees nested a million deep.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>

#include "mesh/formatlist.h"
#include "mesh/msh.h"
#include "mesh/tests/build.h"

using namespace meshtest;
using mesh::chunk;
using mesh::chunkptr;
using mesh::msh;
namespace fs = std::filesystem;

namespace {

struct TempDir {
    TempDir() {
        char tmpl[] = "/tmp/vorna-mesh-XXXXXX";
        path = mkdtemp(tmpl);
    }
    ~TempDir() {
        std::error_code ec;
        fs::permissions(path, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(path, ec);
    }
    std::string operator/(const std::string& name) const { return path + "/" + name; }
    size_t Entries() const {
        return static_cast<size_t>(std::distance(fs::directory_iterator(path), fs::directory_iterator()));
    }
    std::string path;
};

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
    TempDir dir;
    EXPECT_EQ(msh::ReadMsh(dir / "missing.msh", List(), 1), nullptr);
    EXPECT_EQ(msh::ReadMsh(dir.path, List(), 1), nullptr);
    Put(dir / "empty.msh", {});
    EXPECT_EQ(msh::ReadMsh(dir / "empty.msh", List(), 1), nullptr);

    Put(dir / "a.msh", Cat({Mesh(), Text("junk")}));
    auto m = mesh::OpenMesh(dir / "a.msh", List(), 1);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->hedr->name, "HEDR");
    EXPECT_TRUE(m->errors.empty());
    chunkptr matl = m->hedr->kids[0]->getkid("MATL");
    EXPECT_EQ(matl->kids.size(), 2u);  // grouped on opening
    int total = m->totalchunks;
    EXPECT_EQ(total, 53);
    std::string err;
    ASSERT_TRUE(m->Save(dir / "b.msh", 1, &err)) << err;
    EXPECT_EQ(Get(dir / "b.msh"), Mesh());  // bytes after the root are not written
    EXPECT_EQ(dir.Entries(), 3u);           // no temporary file left

    auto plain = mesh::OpenMesh(dir / "a.msh", List(), 0);
    EXPECT_TRUE(plain->hedr->kids[0]->getkid("MATL")->kids.empty());
    EXPECT_EQ(plain->totalchunks, total - 10);

    // Exporting a chunk writes it as a file's root; it keeps its place.
    chunkptr modl = m->hedr->kids[0]->kids[3];
    ASSERT_TRUE(mesh::ExportChunk(modl, dir / "m.mck", 1, &err)) << err;
    auto back = msh::ReadMsh(dir / "m.mck", List(), 1);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->hedr->FetchName(), "child");
    EXPECT_EQ(modl->getparent(), m->hedr->kids[0]);
    EXPECT_EQ(Saved(back->hedr, 1), Saved(modl, 1));
}

TEST(Save, FailuresLeaveTheTargetAndTheTreeAlone) {
    TempDir dir;
    Put(dir / "a.msh", Mesh());
    auto m = msh::ReadMsh(dir / "a.msh", List(), 0);
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

    // A directory that cannot be written to (root may write anywhere).
    if (geteuid() != 0) {
        fs::permissions(dir.path, fs::perms::owner_write, fs::perm_options::remove);
        EXPECT_FALSE(m->Save(dir / "old.msh", 0, &err));
        fs::permissions(dir.path, fs::perms::owner_write, fs::perm_options::add);
        EXPECT_EQ(Get(dir / "old.msh"), Text("old contents"));
    }
    EXPECT_EQ(dir.Entries(), 3u);  // a.msh, old.msh, sub

    msh empty;
    EXPECT_FALSE(empty.Save(dir / "e.msh", 0, &err));
    EXPECT_FALSE(fs::exists(dir / "e.msh"));
}

TEST(Save, RefusesATreeLargerThanTheSizeFieldsHold) {
    // 33 leaves of 64 MB, all slices of one buffer, make a tree of over 2 GB
    // whose sizes cannot be written.
    const int32_t leafsize = 64 << 20;
    auto buf = std::make_shared<std::vector<uint8_t>>(static_cast<size_t>(leafsize) + 8, 0);
    std::copy_n("LEAF", 4, buf->begin());
    (*buf)[4] = uint8_t(leafsize);
    (*buf)[5] = uint8_t(leafsize >> 8);
    (*buf)[6] = uint8_t(leafsize >> 16);
    (*buf)[7] = uint8_t(leafsize >> 24);
    auto root = chunk::Create("HEDR");
    for (int i = 0; i < 33; ++i) root->AppendKid(chunk::GetChunk(buf, 0, List(), nullptr));
    msh m;
    m.hedr = root;
    TempDir dir;
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
    strp->InsertBytes(0, 4, 1, 1, List(), 0);
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
    TempDir dir;
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
    TempDir dir;
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
