// Repairs: each fault planted in a real-shaped mesh is mended to exactly the
// expected tree (every other chunk keeps its bytes), the check no longer
// reports it, and a second run finds nothing to do; mshtool fix writes,
// refrains and exits as it says.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "check/check.h"
#include "check/repair.h"
#include "check/tests/check_meshes.h"
#include "mesh/relay.h"
#include "tests/support/run.h"
#include "tests/support/scratch.h"

using mesh::chunkptr;

namespace {

using namespace checkmesh;

chunkptr Segm(const chunkptr& root, int index) { return Kid(Kid(Model(root, "body"), "GEOM"), "SEGM", index); }
void Rename(const chunkptr& root, const std::string& from, const std::string& to) {
    Kid(Model(root, from), "NAME")->setdata(Str(to));
}

struct Case {
    const char* rule;
    std::function<void(const chunkptr&)> plant;   // the fault, on the good mesh
    std::function<void(const chunkptr&)> expect;  // the good mesh as the repair leaves it
};

TEST(Repair, MendsEachFaultToExactlyTheExpectedTree) {
    const auto none = [](const chunkptr&) {};
    const Case cases[] = {
        {"chunk-layout",
         [](const chunkptr& r) { Kid(Model(r, "body"), "NAME")->setdata({'b', 'o', 'd', 'y', 0}); }, none},
        {"list-count", [](const chunkptr& r) { Kid(Segm(r, 0), "POSL")->SetInt(0, 5, {}); }, none},
        {"list-count", [](const chunkptr& r) { Kid(Segm(r, 1), "NRML")->SetInt(0, 1, {}); }, none},
        {"segment-empty",
         [](const chunkptr& r) { Kid(Model(r, "body"), "GEOM")->InsertKid(2, C("SEGM", {D("MATI", U32s({0})), L("POSL", 0, {})})); },
         none},
        {"shadow-visible", [](const chunkptr& r) { Kid(Model(r, "sv_body"), "FLGS")->SetInt(0, 0, {}); }, none},
        {"name-case",
         [](const chunkptr& r) {
             Rename(r, "hp_fire", "HP_fire");
             Kid(Model(r, "body_lod2"), "PRNT")->setdata(Str("HP_fire"));
         },
         [](const chunkptr& r) { Kid(Model(r, "body_lod2"), "PRNT")->setdata(Str("hp_fire")); }},
        {"material-index",
         [](const chunkptr& r) { Kid(Kid(r, "MSH2"), "MATL")->RemoveKid(1); },
         [](const chunkptr& r) {
             Kid(Kid(r, "MSH2"), "MATL")->RemoveKid(1);
             Kid(Segm(r, 1), "MATI")->setdata(U32s({0}));
         }},
        {"model-index",
         [](const chunkptr& r) { Kid(Model(r, "cape"), "MNDX")->setdata(U32s({2})); },
         [](const chunkptr& r) {
             uint32_t n = 0;
             for (const chunkptr& m : Kid(r, "MSH2")->kids)
                 if (m->name == "MODL") Kid(m, "MNDX")->setdata(U32s({++n}));
             Kid(Kid(Model(r, "body"), "GEOM"), "ENVL")->setdata(U32s({1, 2}));  // bone_a: 1 -> 2
         }},
        {"bbox",
         [](const chunkptr& r) { Kid(Kid(Model(r, "body"), "GEOM"), "BBOX")->SetFloat(16, NAN, {}); },
         [](const chunkptr& r) {
             // The two segments span (0, 0, 0) to (1, 1, 0).
             Kid(Kid(Model(r, "body"), "GEOM"), "BBOX")
                 ->setdata(F32s({0, 0, 0, 1, 0.5f, 0.5f, 0, 0.5f, 0.5f, 0, std::sqrt(0.5f)}));
         }},
        {"bbox", [](const chunkptr& r) { Kid(Model(r, "body"), "GEOM")->RemoveKid(0); },
         [](const chunkptr& r) {
             Kid(Kid(Model(r, "body"), "GEOM"), "BBOX")
                 ->setdata(F32s({0, 0, 0, 1, 0.5f, 0.5f, 0, 0.5f, 0.5f, 0, std::sqrt(0.5f)}));
         }},
    };
    for (const check::Repair& r : check::FixTree(Good(), {}, 1)) ADD_FAILURE() << "the good mesh needs no repair: " << r.path << ": [" << r.rule << "] " << r.what;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        chunkptr root = Good();
        c.plant(root);
        root->Update(1);
        const std::vector<std::string> only{c.rule};
        const std::vector<check::Repair> done = check::FixTree(root, only, 1);
        ASSERT_EQ(done.size(), 1u);
        EXPECT_EQ(done[0].rule, c.rule);
        EXPECT_FALSE(done[0].what.empty());

        chunkptr want = Good();
        c.expect(want);
        want->Update(1);
        EXPECT_EQ(testsupport::Encode(root), testsupport::Encode(want)) << done[0].path << ": " << done[0].what;
        for (const check::Finding& f : check::CheckTree(*root))
            EXPECT_NE(f.rule, c.rule) << f.path << ": " << f.message;
        EXPECT_TRUE(check::FixTree(root, {}, 1).empty()) << "a second fix changes nothing";
    }
}

TEST(Repair, LeavesCountsTheBytesDoNotFix) {
    // A u16 list of 12 bytes holds 3 entries and padding, or 4 entries.
    chunkptr root = Good();
    Kid(Segm(root, 0), "STRP")->setdata(U16s(7, {0x8000, 0x8001, 2, 0}));
    root->Update(1);
    EXPECT_TRUE(check::PlanRepairs(root, "list-count").empty());
}

// A rename to a name of another length: the record resized, every reference
// following, the check finding nothing new; refused where it is not certain.
TEST(Repair, RenamesAModelOrATextureWithItsReferences) {
    const auto cloth = [](const chunkptr& r) { return Kid(Kid(Model(r, "cape"), "GEOM"), "CLTH"); };
    const struct {
        const char* from;
        const char* to;
        std::function<void(const chunkptr&)> expect;  // on the good mesh; null: refused
    } cases[] = {
        {"body", "hull_main_body",
         [](const chunkptr& r) {
             Rename(r, "body", "hull_main_body");
             Kid(Model(r, "sv_body"), "PRNT")->setdata(Str("hull_main_body"));
             Kid(Model(r, "cape"), "PRNT")->setdata(Str("hull_main_body"));
         }},
        {"bone_a", "upper_arm_bone",
         [&](const chunkptr& r) {
             Rename(r, "bone_a", "upper_arm_bone");
             Kid(cloth(r), "FWGT")->setdata(Cat({U32s({1}), Str("upper_arm_bone")}));
         }},
        {"cape.tga", "cloth/cape_red.tga",
         [&](const chunkptr& r) {
             Kid(Kid(Kid(Kid(r, "MSH2"), "MATL"), "MATD", 1), "TX0D")->setdata(Str("cloth/cape_red.tga"));
             Kid(cloth(r), "CTEX")->setdata(Str("cloth/cape_red.tga"));
         }},
        {"nobody", "x", nullptr},
        {"root", "body", nullptr},
        {"root", "", nullptr},
        {"cape.tga", "cape\"red.tga", nullptr},  // a texture name the .req file cannot list
        {"body_detail.tga", "body=old.tga", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.from) + " -> " + c.to);
        chunkptr root = Good();
        std::string why;
        std::optional<check::Repair> r = check::PlanRename(root, c.from, c.to, why);
        ASSERT_EQ(r.has_value(), c.expect != nullptr) << why;
        if (!r) {
            EXPECT_FALSE(why.empty());
            continue;
        }
        r->apply();
        root->Update(1);
        chunkptr want = Good();
        c.expect(want);
        want->Update(1);
        EXPECT_EQ(testsupport::Encode(root), testsupport::Encode(want)) << r->what;
        EXPECT_TRUE(check::CheckTree(*root).empty());
    }
}

// The good mesh's bytes with the size of the chunk whose header starts with
// these bytes set to n.
testsupport::Bytes Resized(testsupport::Bytes b, const testsupport::Bytes& header, int32_t n) {
    const auto at = std::search(b.begin(), b.end(), header.begin(), header.end());
    EXPECT_NE(at, b.end());
    if (at != b.end()) std::copy_n(testsupport::I32s({n}).begin(), 4, at + 4);
    return b;
}

TEST(Repair, RelaysSizesThatLeaveOutTheirPadding) {
    const testsupport::Bytes good = testsupport::Encode(Good());
    const testsupport::Bytes name = Cat({Text("NAME"), U32s({8}), Text("body")});  // "body": 5 bytes, 3 of padding
    const testsupport::Bytes strp = Cat({Text("STRP"), U32s({12}), U32s({3})});    // 3 entries: 10 bytes, 2 of padding
    const testsupport::Bytes cut = Cat({Text("NAME"), U32s({5}), Text("body")});
    const auto at = [&](testsupport::Bytes& b) { return std::search(b.begin(), b.end(), cut.begin(), cut.end()); };
    testsupport::Bytes unpadded = Resized(good, name, 5);  // the padding gone as well
    unpadded.erase(at(unpadded) + 13, at(unpadded) + 16);
    testsupport::Bytes stray = Resized(good, name, 5);  // what follows is not zeros
    at(stray)[14] = 1;
    const struct {
        const char* what;
        testsupport::Bytes in;
        bool relaid;
        int64_t chunks;
    } cases[] = {
        {"one text", Resized(good, name, 5), true, 1},
        {"a text and a u16 list", Resized(Resized(good, name, 5), strp, 10), true, 2},
        {"no padding at all: the tree pads it", unpadded, false, 0},
        {"bytes after the size that are not zeros", stray, false, 0},
        {"a good file", good, false, 0},
        {"a size that runs past its container", Resized(good, name, 4000), false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        mesh::RelayNote note;
        const auto out = mesh::RelayPadding(c.in, &note);
        ASSERT_EQ(out.has_value(), c.relaid);
        if (!out) continue;
        EXPECT_EQ(*out, good);
        EXPECT_EQ(note.chunks, c.chunks);
        EXPECT_EQ(std::string(c.in.begin() + note.first, c.in.begin() + note.first + 4), "NAME");
        EXPECT_FALSE(mesh::RelayPadding(*out)) << "a second re-lay changes nothing";
    }
}

TEST(MshtoolFix, WritesRefrainsAndExits) {
    testsupport::ScratchDir dir("fix");
    chunkptr root = Good();
    Kid(Segm(root, 0), "POSL")->SetInt(0, 5, {});
    root->Update(1);
    const testsupport::Bytes bad = testsupport::Encode(root);
    const testsupport::Bytes good = testsupport::Encode(Good());
    dir.Write("a.msh", bad);
    const auto read = [&](const std::string& f) { return dir.Read(f); };

    testsupport::Outcome o = testsupport::RunIn(dir.path(), MSHTOOL_PATH, "fix --dry-run a.msh");
    EXPECT_EQ(o.code, 0) << o.err;
    EXPECT_NE(o.out.find("a.msh: HEDR/MSH2/MODL[body]/GEOM/SEGM[0]/POSL: [list-count] count 5 -> 3"), std::string::npos)
        << o.out;
    EXPECT_EQ(read("a.msh"), bad) << "a dry run writes nothing";

    o = testsupport::RunIn(dir.path(), MSHTOOL_PATH, "fix a.msh b.msh");
    EXPECT_EQ(o.code, 0) << o.err;
    EXPECT_EQ(read("b.msh"), good);
    EXPECT_EQ(read("a.msh"), bad);

    o = testsupport::RunIn(dir.path(), MSHTOOL_PATH, "fix b.msh");
    EXPECT_EQ(o.code, 0);
    EXPECT_EQ(o.out, "") << "nothing left to repair or report";

    // Sizes that leave out their padding are re-laid before the tree is read.
    dir.Write("c.msh", Resized(good, Cat({Text("NAME"), U32s({8}), Text("body")}), 5));
    o = testsupport::RunIn(dir.path(), MSHTOOL_PATH, "fix c.msh");
    EXPECT_EQ(o.code, 0) << o.err;
    EXPECT_NE(o.out.find("c.msh: HEDR: [chunk-layout] re-lay 1 chunk"), std::string::npos) << o.out;
    EXPECT_EQ(read("c.msh"), good);

    o = testsupport::RunIn(dir.path(), MSHTOOL_PATH, "fix --rename hp_fire=hp_fire_left b.msh");
    EXPECT_EQ(o.code, 0) << o.err;
    EXPECT_NE(o.out.find("b.msh: HEDR/MSH2/MODL[hp_fire]/NAME: [rename] rename \"hp_fire\" -> \"hp_fire_left\""),
              std::string::npos) << o.out;
    EXPECT_EQ(testsupport::RunIn(dir.path(), MSHTOOL_PATH, "fix --rename hp_fire b.msh").code, 2);

    EXPECT_EQ(testsupport::RunIn(dir.path(), MSHTOOL_PATH, "fix --rule no-such a.msh").code, 2);
    EXPECT_EQ(testsupport::RunIn(dir.path(), MSHTOOL_PATH, "fix missing.msh").code, 2);
}

}  // namespace
