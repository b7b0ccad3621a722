// Queries on a chunk tree: children by name, models by name, texts, rows.
#include <gtest/gtest.h>

#include "mesh/chunk.h"
#include "mesh/walk.h"
#include "tests/support/chunks.h"

using namespace testsupport;
using mesh::chunk;
using mesh::chunkptr;

TEST(Query, ChildrenByNameAndCollecting) {
    chunkptr root = Parse(Mesh());
    chunkptr msh2 = root->getkid("MSH2");
    ASSERT_TRUE(msh2);
    EXPECT_EQ(msh2->numkids("MODL"), 2);
    EXPECT_EQ(msh2->haskid("MODL"), 1);
    EXPECT_EQ(msh2->haskid("CAMR"), 0);
    EXPECT_EQ(msh2->getkid("MODL")->FetchName(), "root");  // the first of two
    EXPECT_EQ(root->getkid("NONE"), nullptr);
    std::vector<chunkptr> segs;
    root->addtolist(segs, "SEGM");
    ASSERT_EQ(segs.size(), 4u);
    EXPECT_EQ(segs[0]->getkid("POSL")->readint(0), 2);
    EXPECT_EQ(segs[2]->getkid("POSL")->readint(0), 2);  // pre-order: second model's first
    EXPECT_EQ(segs[3]->getparent()->getparent()->FetchName(), "child");
}

TEST(Query, TextsAndModelLookup) {
    chunkptr root = Parse(Mesh());
    chunkptr child = root->kids[0]->kids[3];
    chunkptr prnt = child->getkid("PRNT");
    ASSERT_TRUE(prnt);
    EXPECT_EQ(prnt->datatostring(), "root");
    EXPECT_EQ(prnt->isstring(), 1);
    EXPECT_EQ(prnt->findmodlbyname("root", 1, nullptr), root->kids[0]->kids[2]);
    // From a PRNT inside the MODL it names, that very MODL.
    EXPECT_EQ(prnt->findmodlbyname("child", 1, nullptr), child);
    EXPECT_EQ(prnt->findmodlbyname("child", 0, nullptr), nullptr);
    EXPECT_EQ(prnt->findmodlbyname("nobody", 1, nullptr), nullptr);

    auto text = [](Bytes b) {
        chunkptr c = chunk::Create("NAME");
        c->setdata(std::move(b));
        return c;
    };
    EXPECT_EQ(text(Bytes{'a', 'b', 'c', 0, 0, 0, 0, 0})->isstring(), 1);
    EXPECT_EQ(text(Bytes{'a', 'b', 'c', 0, 0, 0})->isstring(), 0);
    EXPECT_EQ(text(Bytes{'a', 'b', 'c', 0, 0, 0})->datatostring(), "abc");
    EXPECT_EQ(text(Bytes{'a', 'b', 'c', 'd'})->isstring(), 0);
    EXPECT_EQ(text(Bytes{'a', 'b', 'c', 'd'})->datatostring(), "");  // no zero byte
    EXPECT_EQ(text({})->isstring(), 0);

    // A MODL without NAME has the empty model name, which an empty PRNT text
    // matches.
    chunkptr anon = Parse(Ck("MSH2", Cat({Ck("NAME", Str("x")), Ck("MODL", Ck("MTYP", I32s({0}))), Ck("PRNT", Zeros(4))})));
    ASSERT_EQ(anon->kids.size(), 3u);
    EXPECT_EQ(anon->kids[1]->FetchName(), "");
    EXPECT_EQ(anon->kids[2]->findmodlbyname(anon->kids[2]->datatostring(), 1, nullptr), anon->kids[1]);
}

TEST(Query, RowsAndExpansion) {
    chunkptr root = Parse(Mesh());
    chunkptr msh2 = root->kids[0];
    EXPECT_EQ(root->groupsize(), 1);
    EXPECT_EQ(root->findy(nullptr), 0);
    EXPECT_EQ(root->findy(msh2.get()), 1);
    msh2->expand();
    EXPECT_EQ(root->expanded, 1);
    EXPECT_EQ(root->groupsize(), 1 + 1 + 4 + 1);  // HEDR, MSH2, its 4 children, CL1L
    // The second child of the root comes after the first one's visible rows.
    EXPECT_EQ(root->findy(root->kids[1].get()), 1 + 5);
    chunkptr sinf = msh2->kids[0];
    sinf->expanded = 1;
    EXPECT_EQ(msh2->kids[1]->findy(nullptr), 1 + 1 + 4);  // MSH2's row, then SINF's 4
    // expand opens every ancestor of a deep chunk.
    chunkptr posl = msh2->kids[3]->getkid("GEOM")->kids[2]->getkid("POSL");
    posl->expand();
    EXPECT_EQ(msh2->kids[3]->expanded, 1);
    EXPECT_EQ(root->findy(posl.get()), posl->findy(nullptr));
    // Rows: HEDR 0, MSH2 1, SINF 2 (+3), MATL 6, MODL 7, MODL 8, its 6 kids up
    // to GEOM 14, BBOX 15, SEGM 16, SEGM 17, MATI 18, POSL 19.
    EXPECT_EQ(posl->findy(nullptr), 19);
}

// The shared pre-order walk: file order with depths, skipping a subtree,
// stopping early, and a chain far deeper than any call stack would allow.
TEST(Walk, PreOrderSkipsStopsAndSurvivesDepth) {
    using testsupport::Leaf;
    using testsupport::Node;
    chunkptr root = Node("ROOT", {Node("A", {Leaf("A1", {}), Leaf("A2", {})}), Node("B", {Leaf("B1", {1, 2})})});
    std::string seen;
    EXPECT_TRUE(mesh::PreOrder(*root, [&](const chunk& c, size_t depth) {
        seen += c.name + ":" + std::to_string(depth) + " ";
    }));
    EXPECT_EQ(seen, "ROOT:0 A:1 A1:2 A2:2 B:1 B1:2 ");

    seen.clear();
    mesh::PreOrder(*root, [&](chunk& c) {
        seen += c.name + " ";
        return c.name != "A";  // false: not into A's children
    });
    EXPECT_EQ(seen, "ROOT A B B1 ");

    seen.clear();
    EXPECT_FALSE(mesh::PreOrder(*root, [&](chunk& c) {
        seen += c.name + " ";
        return c.name == "A2" ? mesh::walk::stop : mesh::walk::into;
    }));
    EXPECT_EQ(seen, "ROOT A A1 A2 ");

    chunkptr deep = chunk::Create("D");
    chunk* tip = deep.get();
    for (int i = 0; i < 300000; ++i) {
        chunkptr k = chunk::Create("D");
        tip->AppendKid(k);
        tip = k.get();
    }
    size_t deepest = 0;
    mesh::PreOrder(*deep, [&](const chunk&, size_t depth) { deepest = depth; });
    EXPECT_EQ(deepest, 300000u);
}
