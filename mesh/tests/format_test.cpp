// Parsing, rebuild and writing of the chunk encoding; material grouping.
#include <gtest/gtest.h>

#include <random>

#include "format/bytes.h"
#include "mesh/chunk.h"
#include "tests/support/chunks.h"

using namespace testsupport;
using mesh::chunk;
using mesh::chunkptr;

TEST(ByteReaders, OutOfRangeValuesAndCopyGuards) {
    auto leaf = [](Bytes b) {
        chunkptr c = chunk::Create("LEAF");
        c->setdata(std::move(b));
        return c;
    };
    chunkptr b = leaf({1, 2, 3, 4, 5});
    EXPECT_EQ(b->readint(0), 0x04030201);
    EXPECT_EQ(b->readint(2), -1);  // fewer than 4 bytes left
    EXPECT_EQ(b->readint(-1), -1);
    EXPECT_EQ(b->readshort(3), 0x0504);
    EXPECT_EQ(b->readshort(4), 0);  // last position
    EXPECT_EQ(b->readname(2), "NULL");
    EXPECT_EQ(b->readfloat(3), -1.0f);
    EXPECT_EQ(leaf({0, 0, 0, 0x3F})->readfloat(0), 0.5f);
    EXPECT_EQ(leaf({0, 0, 0, 0})->readfloat(0), 0.0f);
    EXPECT_EQ(mesh::FitName("AB"), "AB  ");  // names are fitted to four bytes

    Bytes w = {9, 9, 'A', 'B', ' ', ' '};
    Bytes src = {1, 2, 3};
    mesh::CopyInto(w, 4, src, 3);  // cut at the end of the array
    EXPECT_EQ(w, (Bytes{9, 9, 'A', 'B', 1, 2}));
    mesh::CopyInto(w, 0, src, 0);
    EXPECT_EQ(w[0], 9);
}

TEST(Parse, ContainerRuleDependsOnTheList) {
    Bytes file = Ck("ROOT", Cat({Ck("KIDA", I32s({1})), Ck("KIDB", I32s({2}))}));
    chunkptr leaf = Parse(file, {"MSH2"});
    EXPECT_TRUE(leaf->kids.empty());
    EXPECT_EQ(leaf->size, 24);
    chunkptr tree = Parse(file, {"KIDA"});
    ASSERT_EQ(tree->kids.size(), 2u);
    EXPECT_EQ(tree->kids[1]->name, "KIDB");
    EXPECT_EQ(tree->kids[1]->readint(0), 2);
    EXPECT_EQ(tree->kids[0]->getparent(), tree);
    EXPECT_EQ(tree->expanded, 0);

    // Fewer than 8 data bytes: a leaf even though they begin with a listed name.
    chunkptr shortone = Parse(Ck("ROOT", Text("KIDA123")), {"KIDA"});
    EXPECT_TRUE(shortone->kids.empty());
    EXPECT_EQ(shortone->size, 7);
}

TEST(Parse, ClampStrayByteAndTrailingBytes) {
    // The size claims more than the file holds: the chunk keeps what remains,
    // and the rebuild writes the corrected size.
    Bytes file = Ck("ROOT", Cat({Ck("NAME", I32s({5, 6}))}), 100);
    chunkptr c = Parse(file);
    EXPECT_EQ(c->size, 16);
    ASSERT_EQ(c->kids.size(), 1u);
    c->Update(0);
    EXPECT_EQ(format::LoadI32(Saved(c, 0).data() + 4), 16);

    // A container whose data ends with one stray byte: skipped on reading,
    // gone after the rebuild; bytes after the root are ignored.
    Bytes inner = Cat({Ck("NAME", Str("ab")), Ck("LEAF", I32s({1}))});
    Bytes stray = Cat({Ck("ROOT", Cat({inner, Bytes{0xEE}})), Text("tail")});
    chunkptr s = Parse(stray);
    EXPECT_EQ(s->kids.size(), 2u);
    EXPECT_EQ(s->size, static_cast<int32_t>(inner.size() + 1));
    EXPECT_EQ(s->data().back(), 0xEE);  // as read, until the rebuild
    s->Update(0);
    EXPECT_EQ(Saved(s, 0), Ck("ROOT", inner));
}

TEST(Parse, NegativeSizesBecomeEmptyLeavesAndParsingGoesOn) {
    // A child with a negative size field, then a normal one; then a tail of 5
    // bytes that cannot hold a header.
    Bytes body = Cat({Ck("NAME", Str("x")), Ck("BAD1", {}, -20), Ck("GOOD", I32s({42})), Text("ABCDE")});
    chunkptr c = Parse(Ck("ROOT", body));
    ASSERT_EQ(c->kids.size(), 4u);
    EXPECT_EQ(c->kids[1]->name, "BAD1");
    EXPECT_EQ(c->kids[1]->size, 0);
    EXPECT_TRUE(c->kids[1]->data().empty());
    EXPECT_EQ(c->kids[2]->readint(0), 42);  // stepped over by 8 bytes
    EXPECT_EQ(c->kids[3]->name, "ABCD");    // the name fitted, the size did not
    EXPECT_EQ(c->kids[3]->size, 0);
    // A tail of three bytes: not even the name fits.
    chunkptr d = Parse(Ck("ROOT", Cat({Ck("NAME", Str("x")), Text("xyz")})));
    ASSERT_EQ(d->kids.size(), 2u);
    EXPECT_EQ(d->kids[1]->name, "NULL");
    // Written back as 8-byte headers of size 0.
    c->Update(0);
    Bytes out = Saved(c, 0);
    Bytes want = Ck("ROOT", Cat({Ck("NAME", Str("x")), Ck("BAD1", {}), Ck("GOOD", I32s({42})), Ck("ABCD", {})}));
    EXPECT_EQ(out, want);
    // A root with a negative size field.
    chunkptr r = Parse(Cat({Text("HEDR"), I32s({-1, 1, 2})}));
    EXPECT_EQ(r->size, 0);
    EXPECT_TRUE(r->kids.empty());
}

TEST(Parse, AnyBytesParseWithoutFault) {
    std::mt19937 rng(7);
    for (int round = 0; round < 300; ++round) {
        Bytes b(rng() % 200);
        for (auto& x : b) x = static_cast<uint8_t>(rng() % 4 == 0 ? "NAMEMSH2"[rng() % 8] : rng());
        chunkptr c = Parse(b);
        c->Update(1);
        Bytes out = Saved(c, 1);
        EXPECT_EQ(out.size(), static_cast<size_t>(c->size) + 8);
    }
}

TEST(RoundTrip, WellFormedMeshIsReproducedExactly) {
    Bytes file = Mesh();
    for (int matl : {0, 1}) {
        chunkptr c = Parse(file);
        if (matl) c->expandmatl(Containers());
        c->Update(matl);
        EXPECT_EQ(Saved(c, matl), file) << "matl " << matl;
        EXPECT_EQ(c->size, static_cast<int32_t>(file.size() - 8));
        // A container's data is its children as written.
        EXPECT_EQ(DataOf(c), Bytes(file.begin() + 8, file.end()));
    }
}

TEST(RoundTrip, DerivedDataMatchesItsWindows) {
    chunkptr c = Parse(Mesh());
    c->expandmatl(Containers());
    c->Update(1);
    Bytes file = Mesh();
    Bytes whole(file.begin() + 8, file.end());
    std::mt19937 rng(3);
    for (int i = 0; i < 400; ++i) {
        int64_t pos = static_cast<int64_t>(rng() % (whole.size() + 20)) - 10;
        int64_t count = rng() % 40;
        Bytes got(static_cast<size_t>(count), 0xAA);
        int64_t n = c->readbytes(pos, count, got.data());
        int64_t a = std::max<int64_t>(pos, 0), b = std::min<int64_t>(pos + count, whole.size());
        ASSERT_EQ(n, std::max<int64_t>(0, b - a));
        for (int64_t p = a; p < b; ++p) ASSERT_EQ(got[p - pos], whole[p]) << "at " << p;
    }
    EXPECT_EQ(c->readint(4), static_cast<int32_t>(whole.size()) - 16);  // MSH2's size (CL1L follows it)
}

TEST(Matl, GroupingWritesTheCountFirst) {
    Bytes matds = Cat({Matd("a"), Matd("b"), Matd("c")});
    chunkptr m = Parse(Ck("MATL", Cat({I32s({99}), matds})));
    EXPECT_TRUE(m->kids.empty());
    // Without children the stored bytes are written whatever the flag.
    EXPECT_EQ(Saved(m, 1), Ck("MATL", Cat({I32s({99}), matds})));
    m->expandmatl(Containers());
    ASSERT_EQ(m->kids.size(), 3u);
    EXPECT_EQ(m->readint(0), 3);  // the count is rewritten at once
    EXPECT_EQ(m->kids[0]->FetchName(), "a");
    EXPECT_EQ(m->kids[2]->getparent(), m);
    m->Update(1);
    EXPECT_EQ(m->size, static_cast<int32_t>(matds.size() + 4));
    EXPECT_EQ(Saved(m, 1), Ck("MATL", Cat({I32s({3}), matds})));
    // Without grouping a MATL with children holds only its children.
    m->Update(0);
    EXPECT_EQ(Saved(m, 0), Ck("MATL", matds));
}

TEST(Matl, CollapseAndRegroupAndShortRecords) {
    chunkptr root = Parse(Mesh());
    chunkptr matl = root->kids[0]->getkid("MATL");
    ASSERT_TRUE(matl);
    Bytes stored = DataOf(matl);
    root->expandmatl(Containers());
    root->Update(1);
    ASSERT_EQ(matl->kids.size(), 2u);
    chunkptr oldmatd = matl->kids[1];
    root->collapsematl();
    EXPECT_TRUE(matl->kids.empty());
    EXPECT_EQ(DataOf(matl), stored);  // byte for byte the stored record
    root->expandmatl(Containers());
    ASSERT_EQ(matl->kids.size(), 2u);
    EXPECT_NE(matl->kids[1], oldmatd);
    EXPECT_EQ(matl->kids[1]->FetchName(), oldmatd->FetchName());
    EXPECT_EQ(Saved(matl->kids[1], 1), Saved(oldmatd, 1));

    // The detached MATD stays usable: it still knows its old parent, edits
    // and saves on its own, and the tree does not see it.
    oldmatd->getkid("NAME")->InsertString(0, "zz", Containers());
    oldmatd->Update(1);
    EXPECT_EQ(oldmatd->FetchName(), "zz");
    EXPECT_EQ(matl->kids[1]->FetchName(), "two");
    EXPECT_EQ(oldmatd->getparent(), matl);
    EXPECT_EQ(matl->IndexOfKid(oldmatd.get()), -1);
    EXPECT_EQ(root->findy(oldmatd.get()), 6);  // all its old siblings counted before it
    root.reset();
    matl.reset();
    EXPECT_EQ(oldmatd->getparent(), nullptr);  // the tree is gone, the chunk is not
    EXPECT_EQ(oldmatd->kids.size(), 4u);

    // Short MATL records stay leaves; a MATL that already has children (its
    // data began with a listed name) is regrouped, not doubled.
    chunkptr s = Parse(Ck("MATL", I32s({0, 0})));
    s->expandmatl(Containers());
    EXPECT_TRUE(s->kids.empty());
    chunkptr odd = Parse(Ck("MATL", Cat({Ck("NAME", Zeros(4)), Matd("q")})));
    ASSERT_EQ(odd->kids.size(), 2u);  // NAME, MATD
    odd->Update(1);                   // grouped layout: count, NAME, MATD
    odd->expandmatl(Containers());
    ASSERT_EQ(odd->kids.size(), 2u);
    EXPECT_EQ(odd->kids[0]->name, "NAME");
    EXPECT_EQ(odd->readint(0), 1);
}

TEST(Names, OtherLengthsAreFittedWhenWritten) {
    chunkptr c = Parse(Ck("ROOT", Cat({Ck("NAME", Str("a")), Ck("LEAF", I32s({1}))})));
    c->kids[1]->name = "LONGNAME";
    c->kids[0]->name = "AB";
    c->Update(0);
    EXPECT_EQ(c->kids[1]->name, "LONGNAME");  // what was typed is kept
    Bytes out = Saved(c, 0);
    EXPECT_EQ(out.size(), static_cast<size_t>(c->size) + 8);
    chunkptr back = Parse(out, {"AB  "});
    ASSERT_EQ(back->kids.size(), 2u);
    EXPECT_EQ(back->kids[0]->name, "AB  ");
    EXPECT_EQ(back->kids[1]->name, "LONG");
    EXPECT_EQ(back->kids[1]->readint(0), 1);
    EXPECT_EQ(c->readname(0), "AB  ");  // the derived data uses the same bytes
    chunkptr fresh = chunk::Create();
    EXPECT_EQ(Saved(fresh, 0), (Bytes{' ', ' ', ' ', ' ', 0, 0, 0, 0}));
}

TEST(DetermineSize, ListRule) {
    auto make = [](const std::string& name, Bytes data) {
        chunkptr c = chunk::Create(name);
        c->setdata(std::move(data));
        return c->determinesize();
    };
    EXPECT_EQ(make("POSL", I32s({10})), 124);
    EXPECT_EQ(make("KFR3", I32s({2})), 180);
    EXPECT_EQ(make("ABCD", I32s({7})), 11);
    EXPECT_EQ(make("", I32s({7})), 32);
    EXPECT_EQ(make("POSL", {}), 0);
    EXPECT_EQ(make("POSL", Bytes{1, 2}), -12 + 4);  // count -1 when shorter than 4
}

// A record whose text happens to begin with a container name ("MATIERE",
// "NAMEplate") is text, not children: an unedited file is reproduced exactly.
TEST(Records, TextBeginningWithAContainerNameStaysALeaf) {
    const std::vector<std::string> records = {
        "SHVO", "FRAM", "ATRB", "TX0D", "MTYP", "MNDX", "PRNT", "FLGS", "TRAN", "SWCI", "CTEX",
        "CPOS", "CUV0", "FIDX", "FWGT", "CMSH", "SPRS", "CPRS", "BPRS", "COLL", "SHDW", "MATI",
        "POSL", "WGHT", "NRML", "CLRL", "UV0L", "NDXL", "NDXT", "STRP", "ENVL", "BLN2", "SKL2",
        "CYCL", "KFR3", "CL1L", "BBOX", "NAME", "DATA", "TX1D", "TX2D", "TX3D"};
    for (const std::string& rec : records) {
        for (const std::string& head : Containers()) {
            SCOPED_TRACE(rec + " holding " + head);
            // After the name come bytes that read as a size far past the end.
            Bytes file = Ck("HEDR", Ck("MSH2", Cat({Ck("SINF", Ck("NAME", Str("s"))),
                                                   Ck("MODL", Cat({Ck("MTYP", I32s({0})), Ck(rec, Str(head + "plate"))}))})));
            chunkptr root = Parse(file);
            ASSERT_EQ(root->kids.size(), 1u);
            ASSERT_EQ(root->kids[0]->kids.size(), 2u);
            ASSERT_EQ(root->kids[0]->kids[1]->kids.size(), 2u);
            chunkptr r = root->kids[0]->kids[1]->kids[1];
            ASSERT_EQ(r->name, rec);
            EXPECT_TRUE(r->kids.empty());
            root->Update(1);
            EXPECT_EQ(Saved(root, 1), file);
        }
    }
    // Names outside the record list still parse by their data.
    EXPECT_EQ(Parse(Ck("XYZW", Ck("NAME", Str("a"))))->kids.size(), 1u);
}

TEST(Records, ImportGroupingAndReparseKeepRecordsLeaves) {
    // A chunk file of a single record (an import).
    Bytes mck = Ck("NAME", Str("SINFscene"));
    chunkptr imported = Parse(mck);
    EXPECT_TRUE(imported->kids.empty());
    EXPECT_EQ(Saved(imported, 1), mck);

    // Material grouping parses the MATD records of a MATL.
    Bytes matd = Ck("MATD", Cat({Ck("NAME", Str("MATIERE")), Ck("TX0D", Str("BBOXes.tga"))}));
    Bytes file = Ck("HEDR", Ck("MSH2", Cat({Ck("SINF", Ck("NAME", Str("s"))), Ck("MATL", Cat({I32s({1}), matd}))})));
    chunkptr root = Parse(file);
    root->expandmatl(Containers());
    ASSERT_EQ(root->kids[0]->kids.size(), 2u);
    ASSERT_EQ(root->kids[0]->kids[1]->kids.size(), 1u);
    chunkptr m = root->kids[0]->kids[1]->kids[0];
    ASSERT_EQ(m->name, "MATD");
    ASSERT_EQ(m->kids.size(), 2u);
    EXPECT_TRUE(m->kids[0]->kids.empty());
    EXPECT_TRUE(m->kids[1]->kids.empty());
    root->Update(1);
    EXPECT_EQ(Saved(root, 1), file);

    // An edit that parses the data again (handle mode) leaves a record a leaf.
    chunkptr name = m->kids[0];
    name->SetByte(7, 'S', 1, Containers());
    EXPECT_TRUE(name->kids.empty());
    EXPECT_EQ(name->readname(0), "MATI");
}
