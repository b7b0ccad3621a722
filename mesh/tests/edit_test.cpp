// Byte editing of chunk data in handle and blind mode.
#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "mesh/chunk.h"
#include "tests/support/chunks.h"
#include "mesh/walk.h"

using namespace testsupport;
using mesh::chunk;
using mesh::chunkptr;

namespace {

// ROOT { NAME "ab", LEAF 1 2 3 4 5 6 7 8 }, rebuilt.
chunkptr Pair() {
    chunkptr c = Parse(Ck("ROOT", Cat({Ck("NAME", Str("ab")), Ck("LEAF", Bytes{1, 2, 3, 4, 5, 6, 7, 8})})));
    c->Update(0);
    return c;
}

}  // namespace

TEST(Overwrite, IntFloatAndStringBytes) {
    chunkptr c = Leaf("DATA", Bytes(8, 0xCC));
    c->SetInt(0, 258, Containers());
    c->SetInt(4, -1, Containers());
    EXPECT_EQ(DataOf(c), (Bytes{2, 1, 0, 0, 255, 255, 255, 255}));
    c->SetFloat(0, 1.0f, Containers());
    EXPECT_EQ(DataOf(c), (Bytes{0, 0, 0x80, 0x3F, 255, 255, 255, 255}));
    EXPECT_EQ(c->readfloat(0), 1.0f);
    c->SetInt(6, 0x01020304, Containers());  // two bytes fall inside
    EXPECT_EQ(DataOf(c), (Bytes{0, 0, 0x80, 0x3F, 255, 255, 4, 3}));
    c->SetByte(8, 1, 1, Containers());
    c->SetByte(-1, 1, 1, Containers());
    EXPECT_EQ(c->size, 8);

    chunkptr s = Leaf("NAME", Bytes(4, 0xCC));
    s->InsertString(0, "abc", Containers());
    EXPECT_EQ(DataOf(s), (Bytes{'a', 'b', 'c', 0}));
    chunkptr t = Leaf("NAME", Bytes(8, 0xCC));
    t->InsertString(0, "abcd", Containers());
    EXPECT_EQ(DataOf(t), (Bytes{'a', 'b', 'c', 'd', 0, 0xCC, 0xCC, 0xCC}));
    chunkptr u = Leaf("NAME", Bytes(6, 0xCC));
    u->InsertString(1, "abcde", Containers());  // never lengthens the data
    EXPECT_EQ(DataOf(u), (Bytes{0xCC, 'a', 'b', 'c', 'd', 'e'}));
    EXPECT_EQ(u->readshort(5), 0);  // 16-bit reader at the last position
    EXPECT_EQ(u->readint(3), -1);
}

TEST(Overwrite, RereadTurnsBytesIntoChildren) {
    // A leaf whose bytes are overwritten to begin with a listed name becomes a
    // container; writing the same bytes into a container's data re-reads it.
    chunkptr c = Leaf("ROOT", Cat({Text("XAME"), I32s({4}), I32s({9})}));
    c->SetByte(0, 'N', 0, Containers());
    EXPECT_TRUE(c->kids.empty());
    c->SetByte(0, 'N', 1, Containers());
    ASSERT_EQ(c->kids.size(), 1u);
    EXPECT_EQ(c->kids[0]->readint(0), 9);
    EXPECT_EQ(c->kids[0]->getparent(), c);

    chunkptr p = Pair();
    chunkptr oldleaf = p->kids[1];
    // Position 12 is the first byte of LEAF's header: the children are
    // parsed again, as new objects.
    p->SetByte(12, 'L', 1, Containers());
    ASSERT_EQ(p->kids.size(), 2u);
    EXPECT_EQ(p->kids[1]->name, "LEAF");
    EXPECT_NE(p->kids[1], oldleaf);
    p->SetInt(12, 0x5453414c, Containers());  // "LAST"
    EXPECT_EQ(p->kids[1]->name, "LAST");
    EXPECT_EQ(oldleaf->name, "LEAF");  // the old object left the tree intact
}

namespace {

// Everything a tree shows, chunk by chunk in pre-order: depth, name, size,
// children, open state and data bytes.
std::string Describe(const chunkptr& root) {
    std::ostringstream out;
    mesh::PreOrder(*root, [&](const chunk& c, size_t depth) {
        out << depth << ' ' << c.name << ' ' << c.size << ' ' << c.kids.size() << ' ' << c.expanded << ':';
        Bytes d(static_cast<size_t>(c.datalen()));
        c.readbytes(0, c.datalen(), d.data());
        for (uint8_t b : d) out << int(b) << ',';
        out << '\n';
    });
    return out.str();
}

// Where each chunk below x has its header in x's data, with its size.
std::vector<std::pair<int64_t, int32_t>> Headers(const chunk& x) {
    std::vector<std::pair<int64_t, int32_t>> out;
    std::vector<std::pair<const chunk*, int64_t>> todo{{&x, -8}};
    while (!todo.empty()) {
        auto [c, at] = todo.back();
        todo.pop_back();
        if (c != &x) out.push_back({at, c->size});
        int64_t pos = at + 8 + (c->take().group ? 4 : 0);
        for (const chunkptr& k : c->kids) {
            todo.push_back({k.get(), pos});
            pos += k->size + 8;
        }
    }
    return out;
}

}  // namespace

TEST(Overwrite, IntoALargeContainerAsIntoItsWholeData) {
    // A write into a container whose data is derived takes the data as
    // pieces; the same write into the same container with its data produced
    // whole must give the same tree, before and after the rebuild, whatever
    // it hits: a header, the first bytes of a leaf, a MATD count, damage.
    std::mt19937 rng(1234);
    const mesh::namelist list = {"HEDR", "MSH2", "SINF", "NAME", "MTYP", "MATD", "SEGM", "BBOX", "MATI", "POSL", "LEAF"};
    const std::vector<std::string> names = {"MODL", "NAME", "POSL", "MATD", "LEAF", "SEGM", "GEOM", "XXXX"};
    int fast = 0, runs = 0;
    for (int round = 0; round < 400; ++round) {
        Bytes bytes = Mesh();
        // Leaves that end in other than zero, so that a stray byte shows.
        const Bytes segm = Ck("SEGM", Cat({Ck("MATI", I32s({0})), Ck("LEAF", Bytes{1, 2, 3, 0xAB})}));
        bytes = Ck("HEDR", Cat({bytes, Ck("SINF", Cat({Ck("NAME", Str("x")), segm})),
                                Ck("LEAF", Cat({Text("SEGM"), I32s({4, 7}), Bytes{0xCD}}))}));
        if (round % 5 == 4) bytes[8 + 8 + 4 + std::uniform_int_distribution<size_t>(0, 40)(rng)] ^= 0x40;  // damage
        const int matl = round % 2;
        chunkptr a = Parse(bytes, list), b = Parse(bytes, list);
        for (const chunkptr& t : {a, b}) {
            if (matl) t->expandmatl(list);
            t->Update(matl);
        }
        // The same container in both trees.
        std::vector<chunk*> ca, cb;
        mesh::PreOrder(*a, [&](chunk& c) { if (!c.kids.empty()) ca.push_back(&c); });
        mesh::PreOrder(*b, [&](chunk& c) { if (!c.kids.empty()) cb.push_back(&c); });
        ASSERT_EQ(ca.size(), cb.size());
        ASSERT_FALSE(ca.empty());
        const size_t k = std::uniform_int_distribution<size_t>(0, ca.size() - 1)(rng);
        chunk& x = *ca[k];
        chunk& y = *cb[k];
        y.data();  // produced whole
        // What to write, and where: anywhere, or on a child's header.
        Bytes v(std::uniform_int_distribution<size_t>(1, 4)(rng));
        for (uint8_t& e : v) e = static_cast<uint8_t>(rng());
        if (rng() % 3 == 0) {
            const std::string n = names[rng() % names.size()];
            v.assign(n.begin(), n.end());
        } else if (rng() % 3 == 0) {
            v = I32s({static_cast<int32_t>(rng() % 64)});
        }
        int64_t p = std::uniform_int_distribution<int64_t>(-2, x.size)(rng);
        if (rng() % 2) {
            // A header below: its name, or its size (one less sometimes,
            // which leaves a stray byte at the end of its parent).
            const auto headers = Headers(x);
            const auto [at, size] = headers[rng() % headers.size()];
            p = at + (rng() % 2 ? 0 : 4);
            if (p == at + 4 && rng() % 2) v = I32s({size - 1});
        }
        x.SetBytes(p, v, list);
        y.SetBytes(p, v, list);
        fast += x.take().derived && !y.take().derived;
        ++runs;
        ASSERT_EQ(Describe(a), Describe(b)) << "round " << round;
        a->Update(matl);
        b->Update(matl);
        ASSERT_EQ(Describe(a), Describe(b)) << "round " << round;
        ASSERT_EQ(Saved(a, matl), Saved(b, matl));
    }
    // Most writes keep the structure and take the fast way.
    EXPECT_GT(fast, runs / 3);
}

TEST(HandleMode, InsertAndRemoveReachOneLeaf) {
    chunkptr c = Pair();
    Bytes first = Saved(c->kids[0], 0);
    // First data byte of the second child: 8 (NAME header) + 4 + 8.
    EXPECT_EQ(c->InsertBytes(20, 2, 1, 1, Containers(), 0), 1);
    EXPECT_EQ(c->kids[1]->size, 10);
    EXPECT_EQ(c->size, 30);
    EXPECT_EQ(Saved(c->kids[0], 0), first);
    EXPECT_EQ(DataOf(c->kids[1]), (Bytes{1, 2, 1, 2, 3, 4, 5, 6, 7, 8}));
    // A position on a child's header reaches nothing.
    EXPECT_EQ(c->InsertBytes(14, 2, 1, 1, Containers(), 0), 0);
    EXPECT_EQ(c->RemoveByte(0, 1, 1, Containers(), 0), 0);
    EXPECT_EQ(c->size, 30);
    // A run of removals with the rebuild only at the end: the sizes seen in
    // between are the stale ones, and each call still finds the leaf.
    for (int j = 0; j < 4; ++j) {
        EXPECT_EQ(c->RemoveByte(20, 1, j == 3, Containers(), 0), 1);
        if (j < 3) {
            EXPECT_EQ(c->size, 30);
        }
    }
    // The leaf's array keeps its length (the stale bytes lie past its size).
    EXPECT_EQ(Saved(c->kids[1], 0), Ck("LEAF", Bytes{3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(c->kids[1]->datalen(), 10);
    EXPECT_EQ(c->size, 26);
    // Out of range.
    EXPECT_EQ(c->InsertBytes(26, 1, 1, 1, Containers(), 0), 0);
    EXPECT_EQ(c->InsertBytes(-1, 1, 0, 1, Containers(), 0), 0);
}

TEST(HandleMode, GroupedMatlSkipsTheCount) {
    chunkptr m = Parse(Ck("MATL", Cat({I32s({1}), Ck("MATD", Cat({Ck("ATRB", I32s({7}))}))})), {"ATRB"});
    m->expandmatl({"ATRB"});
    m->Update(1);
    ASSERT_EQ(m->kids.size(), 1u);
    // Positions 0..3 hold the count and belong to no child.
    for (int p = 0; p < 4; ++p) EXPECT_EQ(m->InsertBytes(p, 1, 1, 1, {"ATRB"}, 1), 0);
    // 4 + 8 (MATD header) + 8 (ATRB header): ATRB's first data byte.
    EXPECT_EQ(m->InsertBytes(20, 1, 1, 1, {"ATRB"}, 1), 1);
    chunkptr atrb = m->kids[0]->kids[0];
    EXPECT_EQ(atrb->size, 5);
    EXPECT_EQ(DataOf(atrb), (Bytes{7, 7, 0, 0, 0}));
    EXPECT_EQ(m->size, 4 + 8 + 8 + 5);
    EXPECT_EQ(m->readint(0), 1);
}

TEST(BlindMode, EditsTheSerializedBytes) {
    // The same insertion as in handle mode, made blindly: the container's
    // bytes grow, and the children are read again from them, so the inserted
    // bytes end up in the leaf's data at the cost of its last two bytes,
    // which now stand after it (and fit no child).
    chunkptr c = Pair();
    EXPECT_EQ(c->InsertBytes(20, 2, 0, 1, Containers(), 0), 1);
    ASSERT_EQ(c->kids.size(), 3u);
    EXPECT_EQ(c->kids[1]->size, 8);
    EXPECT_EQ(DataOf(c->kids[1]), (Bytes{1, 2, 1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(c->kids[2]->size, 0);  // a two-byte tail: an empty leaf
    EXPECT_EQ(c->size, 36);

    // Removing the first byte of a container's data: a leaf afterwards,
    // since its first four bytes no longer spell a listed name.
    chunkptr d = Pair();
    Bytes before = DataOf(d);
    d->RemoveByte(0, 0, 1, Containers(), 0);
    EXPECT_TRUE(d->kids.empty());
    EXPECT_EQ(DataOf(d), Bytes(before.begin() + 1, before.end()));
    // Without reread the array keeps its length; the stale byte is ignored.
    chunkptr e = Leaf("DATA", Bytes{1, 2, 3, 4, 5});
    e->RemoveByteBlindly(1, 0, Containers(), 0);
    EXPECT_EQ(e->size, 4);
    EXPECT_EQ(DataOf(e), (Bytes{1, 3, 4, 5, 5}));
    EXPECT_EQ(Saved(e, 0), Ck("DATA", Bytes{1, 3, 4, 5}));
    e->InsertBytesBlindly(0, 1, 0, Containers(), 0);
    EXPECT_EQ(DataOf(e), (Bytes{1, 1, 3, 4, 5}));

    // Eight bytes, one removed with reread: a leaf of 7, not rebuilt.
    chunkptr f = Parse(Ck("ROOT", Ck("NAME", {})), Containers());
    ASSERT_EQ(f->kids.size(), 1u);
    f->RemoveByte(7, 0, 1, Containers(), 0);
    EXPECT_TRUE(f->kids.empty());
    EXPECT_EQ(f->size, 7);
    EXPECT_EQ(DataOf(f), (Bytes{'N', 'A', 'M', 'E', 0, 0, 0}));
}

TEST(BlindMode, InsertWithoutCursorAndLastChildRemoval) {
    chunkptr c = Leaf("DATA", {});
    c->GrowData(4);
    EXPECT_EQ(DataOf(c), Bytes(4, 0));
    // On a container it has no lasting effect.
    chunkptr p = Pair();
    Bytes saved = Saved(p, 0);
    p->GrowData(4);
    EXPECT_EQ(p->size, 32);
    p->Update(0);
    EXPECT_EQ(Saved(p, 0), saved);
    // A container that loses its last child keeps the data of its last
    // rebuild as a leaf.
    chunkptr q = Parse(Ck("ROOT", Ck("NAME", Str("ab"))));
    q->Update(0);
    Bytes data = DataOf(q);
    q->RemoveKid(0);
    q->Update(0);
    EXPECT_TRUE(q->kids.empty());
    EXPECT_EQ(DataOf(q), data);
    EXPECT_EQ(q->size, 12);
    // Import under a leaf: it becomes a container.
    chunkptr leaf = Leaf("LEAF", Bytes{1});
    leaf->AppendKid(Leaf("KID1", Bytes{2, 3}));
    leaf->Update(0);
    EXPECT_EQ(leaf->size, 10);
    EXPECT_EQ(leaf->kids[0]->getparent(), leaf);
    leaf->kids[0]->AppendKid(leaf);  // would be a cycle: refused
    EXPECT_TRUE(leaf->kids[0]->kids.empty());
    // Inserting a chunk that stands in a list moves it.
    chunkptr pair = Pair();
    pair->InsertKid(0, pair->kids[1]);
    ASSERT_EQ(pair->kids.size(), 2u);
    EXPECT_EQ(pair->kids[0]->name, "LEAF");
    leaf->AppendKid(pair->kids[0]);
    EXPECT_EQ(pair->kids.size(), 1u);
    EXPECT_EQ(leaf->kids[1]->getparent(), leaf);
    // A chunk that left its parent still names it; putting the old parent
    // below it would close a loop of parents, and is refused.
    chunkptr solo = Parse(Ck("ROOT", Ck("NAME", Str("ab"))));
    chunkptr gone = solo->RemoveKid(0);
    EXPECT_EQ(gone->getparent(), solo);
    gone->AppendKid(solo);
    EXPECT_TRUE(gone->kids.empty());
    gone->expand();
    EXPECT_EQ(solo->expanded, 1);
}
