// Verification rules and the count comparison, on trees built in code.
#include "mesh/verify.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "mesh/chunk.h"
#include "mesh/msh.h"

using mesh::chunk;
using mesh::chunklist;
using mesh::chunkptr;
using Strings = std::vector<std::string>;

namespace {

// ---- Building trees ----------------------------------------------------------

chunkptr C(const std::string& name, std::initializer_list<chunkptr> kids = {}) {
    chunkptr c = chunk::Create(name);
    for (const chunkptr& k : kids) c->AppendKid(k);
    return c;
}

chunkptr Bytes(const std::string& name, std::vector<uint8_t> bytes) {
    chunkptr c = chunk::Create(name);
    c->setdata(std::move(bytes));
    return c;
}

// A leaf of n zero bytes.
chunkptr Sized(const std::string& name, int n) { return Bytes(name, std::vector<uint8_t>(size_t(n), 0)); }

// A leaf whose first int is count, n bytes in all.
chunkptr Counted(const std::string& name, int32_t count, int n) {
    std::vector<uint8_t> b(size_t(n), 0);
    std::memcpy(b.data(), &count, 4);
    return Bytes(name, b);
}

// A list of count elements of the given width, sized right.
chunkptr List(const std::string& name, int32_t count, int width) {
    return Counted(name, count, width * count + 4);
}

// A valid text record: the text, then zero bytes up to a multiple of four
// (at least one).
chunkptr Text(const std::string& name, const std::string& text) {
    std::vector<uint8_t> b(text.begin(), text.end());
    do b.push_back(0);
    while (b.size() % 4 != 0);
    return Bytes(name, b);
}

// A model that passes every rule: a mesh segment, and a PRNT when a parent
// name is given.
chunkptr Model(const std::string& name, const std::string& parent = std::string()) {
    chunkptr m = C("MODL", {Sized("MTYP", 4), Sized("MNDX", 4), Text("NAME", name)});
    if (!parent.empty()) m->AppendKid(Text("PRNT", parent));
    m->AppendKid(Sized("FLGS", 4));
    m->AppendKid(Sized("TRAN", 40));
    m->AppendKid(C("GEOM", {Sized("BBOX", 44),
                            C("SEGM", {Sized("MATI", 4), List("POSL", 3, 12), List("WGHT", 3, 32),
                                       List("NRML", 3, 12), List("UV0L", 3, 8), List("CLRL", 3, 4),
                                       Sized("NDXL", 8), Sized("NDXT", 8), Sized("STRP", 8)}),
                            C("SEGM", {C("SHDW")}), List("ENVL", 2, 4)}));
    return m;
}

chunkptr WellFormedMesh() {
    return C("HEDR",
             {Sized("SHVO", 4),
              C("MSH2", {C("SINF", {Text("NAME", "scene"), Sized("FRAM", 12), Sized("BBOX", 44)}),
                         C("CAMR", {Text("NAME", "cam"), Sized("DATA", 40)}),
                         C("MATL", {C("MATD", {Text("NAME", "mat"), Sized("DATA", 52), Sized("ATRB", 4),
                                               Text("TX0D", "tex.tga")}),
                                    C("MATD", {Text("NAME", "mat2"), Sized("DATA", 52), Sized("ATRB", 4)})}),
                         Model("root"), Model("child", "root"), Model("grandchild", "child")}),
              List("BLN2", 2, 8), List("SKL2", 2, 20),
              C("ANM2", {Sized("CYCL", 8), List("KFR3", 2, 88)}), Sized("CL1L", 0)});
}

Strings Verify(const chunkptr& root, chunklist* errors = nullptr) {
    Strings messages;
    chunklist local;
    root->verify(messages, errors ? *errors : local);
    return messages;
}

// Messages whose text (after the name) is exactly this.
int CountText(const Strings& messages, const std::string& text) {
    int n = 0;
    for (const std::string& m : messages)
        if (m.size() >= 4 && m.compare(4, std::string::npos, text) == 0) ++n;
    return n;
}

// ---- Whole meshes ------------------------------------------------------------

TEST(Verify, WellFormedMeshHasNoFindingAndClearsOldResults) {
    mesh::msh m;
    m.hedr = WellFormedMesh();
    chunkptr stale = C("NULL");
    m.errors.push_back(stale);
    Strings messages = {"left over"};
    m.verify(messages, m.errors);
    EXPECT_EQ(messages, Strings{});
    EXPECT_TRUE(m.errors.empty());
    EXPECT_EQ(m.inerrors(stale.get()), 0);
    EXPECT_EQ(mesh::VerifyMesh(m), Strings{});

    // An empty mesh only clears the lists.
    mesh::msh none;
    none.errors.push_back(stale);
    messages = {"left over"};
    none.verify(messages, none.errors);
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(none.errors.empty());
}

TEST(Verify, EveryRuleNameIsDispatched) {
    for (const char* n : format::kRuleNames) {
        Strings m = Verify(C(n));
        EXPECT_EQ(CountText(m, ": illegal chunk name"), 0) << n;
    }
    for (int i = 0; i < format::kRuleCount; ++i) EXPECT_EQ(format::RuleIndex(format::kRuleNames[i]), i);
    for (const char* n : {"NULL", "hedr", "HEDR ", "HED", "", "TX1D"}) {
        EXPECT_EQ(format::RuleIndex(n), -1) << n;
        // An unknown name gives that one finding, whatever else is wrong with
        // the chunk, and its children are still verified.
        chunkptr c = C(n, {Sized("SHVO", 3)});
        EXPECT_EQ(Verify(c), (Strings{std::string(n) + ": illegal chunk name",
                                     "SHVO: chunk does not contain 4 bytes of data"}));
    }
}

// ---- Containers --------------------------------------------------------------

TEST(VerifyHedr, MissingChildrenPairingAndFinalChunk) {
    EXPECT_EQ(Verify(C("HEDR")), Strings{"HEDR: no MSH2 chunk"});
    EXPECT_EQ(Verify(C("HEDR", {Sized("SHVO", 4)})),
              (Strings{"HEDR: no MSH2 chunk", "HEDR: the final chunk is not a CL1L chunk"}));
    EXPECT_EQ(Verify(C("HEDR", {List("SKL2", 1, 20)})),
              (Strings{"HEDR: no MSH2 chunk", "HEDR: contains an SKL2 chunk but no BLN2 chunk",
                       "HEDR: contains an SKL2 chunk but no ANM2 chunk",
                       "HEDR: the final chunk is not a CL1L chunk"}));
    EXPECT_EQ(Verify(C("HEDR", {List("BLN2", 1, 8), Sized("CL1L", 0)})),
              (Strings{"HEDR: no MSH2 chunk", "HEDR: contains a BLN2 chunk but no SKL2 chunk",
                       "HEDR: contains a BLN2 chunk but no ANM2 chunk"}));
    // The ANM2's own findings follow those of the HEDR.
    EXPECT_EQ(Verify(C("HEDR", {C("ANM2"), Sized("CL1L", 0)})),
              (Strings{"HEDR: no MSH2 chunk", "HEDR: contains an ANM2 chunk but no BLN2 chunk",
                       "HEDR: contains an ANM2 chunk but no SKL2 chunk", "ANM2: no CYCL chunk",
                       "ANM2: no KFR3 chunk"}));
}

TEST(VerifyHedr, DuplicatesAndSurplus) {
    chunkptr h = C("HEDR", {Sized("SHVO", 4), Sized("SHVO", 4), C("MSH2"), C("MSH2"), List("BLN2", 1, 8),
                            List("BLN2", 1, 8), List("SKL2", 1, 20), List("SKL2", 1, 20),
                            C("ANM2", {Sized("CYCL", 4), List("KFR3", 1, 88)}), C("ANM2"), Sized("CL1L", 0)});
    Strings m = Verify(h);
    Strings own(m.begin(), m.begin() + 6);
    EXPECT_EQ(own, (Strings{"HEDR: more than one SHVO chunk", "HEDR: more than one MSH2 chunk",
                            "HEDR: more than one BLN2 chunk", "HEDR: more than one SKL2 chunk",
                            "HEDR: more than one ANM2 chunk", "HEDR: contains illegal children"}));
    // Each allowed name once plus one other child is a surplus too.
    m = Verify(C("HEDR", {C("MSH2", {C("MATL"), Model("a")}), Text("NAME", "x"), Sized("CL1L", 0)}));
    EXPECT_EQ(m, Strings{"HEDR: contains illegal children"});
}

TEST(VerifyHedr, CountComparisons) {
    auto mesh = [](int bones, int skel, int keys) {
        return C("HEDR", {C("MSH2", {C("MATL"), Model("a")}), List("BLN2", bones, 8), List("SKL2", skel, 20),
                          C("ANM2", {Sized("CYCL", 4), List("KFR3", keys, 88)}), Sized("CL1L", 0)});
    };
    EXPECT_EQ(Verify(mesh(2, 2, 2)), Strings{});
    const std::string tail = " chunks do not contain the same amount of information";
    EXPECT_EQ(Verify(mesh(5, 6, 7)), (Strings{"HEDR: BLN2 and SKL2" + tail, "HEDR: BLN2 and KFR3" + tail,
                                              "HEDR: SKL2 and KFR3" + tail}));
    EXPECT_EQ(Verify(mesh(5, 5, 6)), (Strings{"HEDR: BLN2 and KFR3" + tail, "HEDR: SKL2 and KFR3" + tail}));
    // Only the first KFR3 of the first ANM2 is compared.
    chunkptr h = C("HEDR", {C("MSH2", {C("MATL"), Model("a")}), List("BLN2", 1, 8), List("SKL2", 1, 20),
                            C("ANM2", {List("KFR3", 1, 88), List("KFR3", 9, 88)}),
                            C("ANM2", {List("KFR3", 4, 88)}), Sized("CL1L", 0)});
    Strings m = Verify(h);
    EXPECT_EQ(CountText(m, ": BLN2 and KFR3" + tail), 0);
    EXPECT_EQ(CountText(m, ": more than one ANM2 chunk"), 1);
}

TEST(VerifyContainers, MissingChildren) {
    EXPECT_EQ(Verify(C("MSH2")), (Strings{"MSH2: no MATL chunk", "MSH2: no MODL chunk"}));
    EXPECT_EQ(Verify(C("SINF")), (Strings{"SINF: no NAME chunk", "SINF: no FRAM chunk", "SINF: no BBOX chunk"}));
    EXPECT_EQ(Verify(C("CAMR")), (Strings{"CAMR: no NAME chunk", "CAMR: no DATA chunk"}));
    EXPECT_EQ(Verify(C("MATD")), (Strings{"MATD: no NAME chunk", "MATD: no DATA chunk", "MATD: no ATRB chunk"}));
    EXPECT_EQ(Verify(C("MODL")), (Strings{"MODL: no MTYP chunk", "MODL: no MNDX chunk", "MODL: no NAME chunk",
                                          "MODL: no TRAN chunk"}));
    EXPECT_EQ(Verify(C("GEOM")), Strings{"GEOM: no BBOX chunk"});
    EXPECT_EQ(Verify(C("CLTH")),
              (Strings{"CLTH: no CTEX chunk", "CLTH: no CPOS chunk", "CLTH: no CUV0 chunk", "CLTH: no FIDX chunk",
                       "CLTH: no FWGT chunk", "CLTH: no CMSH chunk", "CLTH: no SPRS chunk", "CLTH: no CPRS chunk",
                       "CLTH: no BPRS chunk", "CLTH: no COLL chunk"}));
    EXPECT_EQ(Verify(C("SEGM")), (Strings{"SEGM: no MATI chunk", "SEGM: no POSL chunk", "SEGM: no NRML chunk",
                                          "SEGM: no STRP chunk"}));
    EXPECT_EQ(Verify(C("ANM2")), (Strings{"ANM2: no CYCL chunk", "ANM2: no KFR3 chunk"}));
    EXPECT_EQ(Verify(C("MATL")), Strings{});
}

// Every allowed child twice, plus one child of another name: the duplicates
// in check order, then the surplus text of the row.
TEST(VerifyContainers, DuplicatesThenSurplus) {
    auto twice = [](const std::string& parent, const Strings& names, const Strings& tails) {
        chunkptr c = C(parent);
        for (const std::string& n : names) {
            c->AppendKid(C(n));
            c->AppendKid(C(n));
        }
        Strings m = Verify(c);
        Strings expect;
        for (const std::string& t : tails) expect.push_back(parent + t);
        m.resize(std::min(m.size(), expect.size()));
        EXPECT_EQ(m, expect) << parent;
    };
    const std::string ci = ": chunk contains illegal children", i = ": contains illegal children";
    twice("MSH2", {"MATL", "SINF"}, {": more than one MATL chunk", ": no MODL chunk", ci});
    twice("SINF", {"NAME", "FRAM", "BBOX"},
          {": more than one NAME chunk", ": more than one FRAM chunk", ": more than one BBOX chunk", i});
    twice("CAMR", {"NAME", "DATA"}, {": more than one NAME chunk", ": more than one DATA chunk", i});
    twice("MATD", {"NAME", "DATA", "ATRB", "TX0D"},
          {": more than one NAME chunk", ": more than one DATA chunk", ": more than one ATRB chunk",
           ": more than one TX0D chunk", i});
    twice("MODL", {"MTYP", "MNDX", "NAME", "PRNT", "FLGS", "TRAN", "GEOM", "SWCI"},
          {": more than one MTYP chunk", ": more than one MNDX chunk", ": more than one NAME chunk",
           ": more than one PRNT chunk", ": more than one FLGS chunk", ": more than one TRAN chunk",
           ": more than one GEOM chunk", ": more than one SWCI chunk", ci});
    twice("GEOM", {"BBOX", "SWCI"}, {": more than one BBOX chunk", ": more than one SWCI chunk", ci});
    twice("CLTH", {"CTEX", "CPOS", "CUV0", "FIDX", "FWGT", "CMSH", "SPRS", "CPRS", "BPRS", "COLL"},
          {": more than one CTEX chunk", ": more than one CPOS chunk", ": more than one CUV0 chunk",
           ": more than one FIDX chunk", ": more than one FWGT chunk", ": more than one CMSH chunk",
           ": more than one SPRS chunk", ": more than one CPRS chunk", ": more than one BPRS chunk",
           ": more than one COLL chunk", ci});
    twice("SEGM", {"MATI", "POSL", "WGHT", "NRML", "UV0L", "NDXL", "NDXT", "STRP", "CLRL"},
          {": more than one MATI chunk", ": more than one POSL chunk", ": more than one WGHT chunk",
           ": more than one NRML chunk", ": more than one UV0L chunk", ": more than one NDXL chunk",
           ": more than one NDXT chunk", ": more than one STRP chunk", ": more than one CLRL chunk", ci});
    twice("ANM2", {"CYCL", "KFR3"}, {": more than one CYCL chunk", ": more than one KFR3 chunk", ci});
}

TEST(VerifyContainers, AllowedChildren) {
    // Any number of MODL, SEGM and CLTH; SWCI may be counted under GEOM but
    // is no allowed child there; a MATL holds only MATD.
    EXPECT_EQ(Verify(C("MSH2", {C("SINF", {Text("NAME", "s"), Sized("FRAM", 12), Sized("BBOX", 44)}),
                                C("MATL"), Model("a"), Model("b"), Model("c")})),
              Strings{});
    chunkptr g = C("GEOM", {Sized("BBOX", 44), C("SEGM", {C("SHDW")}), C("SEGM", {C("SHDW")}), Sized("SWCI", 4)});
    EXPECT_EQ(Verify(g), Strings{"GEOM: chunk contains illegal children"});
    EXPECT_EQ(Verify(C("MATL", {C("MATD", {Text("NAME", "m"), Sized("DATA", 52), Sized("ATRB", 4)}),
                                Text("NAME", "x")})),
              Strings{"MATL: contains illegal children"});
    // An ANM2 holds at most two children of any names.
    EXPECT_EQ(Verify(C("ANM2", {Sized("CYCL", 4), Text("NAME", "x")})), Strings{"ANM2: no KFR3 chunk"});
}

TEST(VerifySegm, ShadowSegmentAndComparisons) {
    EXPECT_EQ(Verify(C("SEGM", {C("SHDW")})), Strings{});
    EXPECT_EQ(Verify(C("SEGM", {C("SHDW"), List("POSL", 1, 12)})), Strings{"SEGM: chunk contains illegal children"});
    EXPECT_EQ(Verify(C("SEGM", {Text("NAME", "x"), C("SHDW")})), Strings{"SEGM: chunk contains illegal children"});

    chunkptr s = C("SEGM", {Sized("MATI", 4), List("POSL", 1, 12), List("WGHT", 2, 32), List("NRML", 3, 12),
                            List("UV0L", 4, 8), List("CLRL", 5, 4), Sized("STRP", 4)});
    const std::string tail = " chunks do not contain the same amount of information";
    EXPECT_EQ(Verify(s), (Strings{"SEGM: POSL and NRML" + tail, "SEGM: POSL and WGHT" + tail,
                                  "SEGM: POSL and UV0L" + tail, "SEGM: POSL and CLRL" + tail,
                                  "SEGM: WGHT and NRML" + tail, "SEGM: WGHT and CLRL" + tail,
                                  "SEGM: WGHT and UV0L" + tail, "SEGM: UV0L and CLRL" + tail}));
}

TEST(VerifyClth, Comparisons) {
    auto cloth = [](int pos, int uv, int idx, int wgt) {
        return C("CLTH", {Text("CTEX", "c.tga"), List("CPOS", pos, 12), List("CUV0", uv, 8), List("FIDX", idx, 4),
                          Counted("FWGT", wgt, 8), Sized("CMSH", 4), List("SPRS", 0, 4), List("CPRS", 0, 4),
                          List("BPRS", 0, 4), Sized("COLL", 4)});
    };
    EXPECT_EQ(Verify(cloth(2, 2, 3, 3)), Strings{});
    const std::string tail = " chunks do not contain the same amount of information";
    EXPECT_EQ(Verify(cloth(2, 3, 3, 4)), (Strings{"CLTH: CPOS and CUV0" + tail, "CLTH: FIDX and FWGT" + tail}));
}

// ---- Leaves ------------------------------------------------------------------

TEST(VerifyLeaves, FixedSizes) {
    for (const char* n : {"SHVO", "ATRB", "MTYP", "MNDX", "FLGS", "MATI"}) {
        EXPECT_EQ(Verify(Sized(n, 4)), Strings{}) << n;
        EXPECT_EQ(Verify(Sized(n, 5)), Strings{std::string(n) + ": chunk does not contain 4 bytes of data"});
    }
    EXPECT_EQ(Verify(Sized("FRAM", 0)), Strings{"FRAM: chunk does not contain 12 bytes of data"});
    EXPECT_EQ(Verify(Sized("TRAN", 39)), Strings{"TRAN: chunk does not contain 40 bytes of data"});
    EXPECT_EQ(Verify(Sized("BBOX", 48)), Strings{"BBOX: chunk does not contain 44 bytes of data"});
    EXPECT_EQ(Verify(Sized("CL1L", 0)), Strings{});
    EXPECT_EQ(Verify(Sized("CL1L", 1)), Strings{"CL1L: chunk does not contain 0 bytes of data"});
    EXPECT_EQ(Verify(Sized("SHDW", 0)), Strings{});
}

TEST(VerifyLeaves, DataDependsOnItsParent) {
    EXPECT_EQ(Verify(C("CAMR", {Text("NAME", "c"), Sized("DATA", 52)})),
              Strings{"DATA: chunk does not contain 40 bytes of data"});
    EXPECT_EQ(Verify(C("MATD", {Text("NAME", "m"), Sized("DATA", 40), Sized("ATRB", 4)})),
              Strings{"DATA: chunk does not contain 52 bytes of data"});
    EXPECT_EQ(Verify(C("NULL", {Sized("DATA", 3)})), Strings{"NULL: illegal chunk name"});
    // At the root of a chunk file only the children are checked; a DATA
    // verified on its own still knows its parent.
    EXPECT_EQ(Verify(Sized("DATA", 3)), Strings{});
    EXPECT_EQ(Verify(C("DATA", {Sized("MATI", 4)})), Strings{"DATA: chunk contains children"});
    chunkptr data = Sized("DATA", 3);
    chunkptr camr = C("CAMR", {Text("NAME", "c"), data});
    EXPECT_EQ(Verify(data), Strings{"DATA: chunk does not contain 40 bytes of data"});
}

TEST(VerifyLeaves, NoDataTextAndLists) {
    for (const char* n : {"SWCI", "FWGT", "CMSH", "COLL", "NDXL", "NDXT", "STRP", "CYCL"}) {
        EXPECT_EQ(Verify(Sized(n, 0)), Strings{std::string(n) + ": chunk contains no data"}) << n;
        EXPECT_EQ(Verify(Sized(n, 3)), Strings{}) << n;
    }
    // Lists: size 0 reports only the missing data.
    const std::pair<const char*, int> lists[] = {{"CPOS", 12}, {"CUV0", 8}, {"FIDX", 4}, {"SPRS", 4}, {"CPRS", 4},
                                                 {"BPRS", 4},  {"POSL", 12}, {"WGHT", 32}, {"NRML", 12},
                                                 {"CLRL", 4},  {"UV0L", 8},  {"ENVL", 4},  {"BLN2", 8},
                                                 {"SKL2", 20}, {"KFR3", 88}};
    for (auto [n, width] : lists) {
        EXPECT_EQ(Verify(Sized(n, 0)), Strings{std::string(n) + ": chunk contains no data"}) << n;
        EXPECT_EQ(Verify(List(n, 3, width)), Strings{}) << n;
        EXPECT_EQ(Verify(Counted(n, 3, width * 3 + 5)),
                  Strings{std::string(n) + ": discrepency between size indicated by first int and actual size"});
    }
    const std::string bad = ": discrepency between size indicated by first int and actual size";
    EXPECT_EQ(Verify(Counted("POSL", 2, 28)), Strings{});
    EXPECT_EQ(Verify(Counted("POSL", 3, 28)), Strings{"POSL" + bad});
    EXPECT_EQ(Verify(Counted("KFR3", 2, 180)), Strings{});
    EXPECT_EQ(Verify(Counted("SKL2", 1, 25)), Strings{"SKL2" + bad});
    EXPECT_EQ(Verify(Sized("WGHT", 3)), Strings{"WGHT" + bad});  // too short to hold a count
    // A count so large that width * count + 4 wraps round to the real size is
    // still a discrepancy (12 * 2^30 + 4 is 4 modulo 2^32).
    EXPECT_EQ(Verify(Counted("POSL", 0x40000000, 4)), Strings{"POSL" + bad});
    EXPECT_EQ(Verify(Counted("KFR3", int32_t(0x80000000u), 4)), Strings{"KFR3" + bad});

    const std::string notext = ": chunk is not a valid null-terminated string";
    EXPECT_EQ(Verify(Bytes("NAME", {'a', 'b', 'c', 'd', 0})), Strings{"NAME" + notext});
    EXPECT_EQ(Verify(Bytes("NAME", {'a', 'b', 'c', 'd', 0, 0, 0, 0})), Strings{});
    EXPECT_EQ(Verify(Bytes("NAME", {'a', 'b', 'c', 'd'})), Strings{"NAME" + notext});
    EXPECT_EQ(Verify(Sized("TX0D", 0)), Strings{"TX0D" + notext});
    EXPECT_EQ(Verify(Sized("CTEX", 0)), (Strings{"CTEX: chunk contains no data", "CTEX" + notext}));
    EXPECT_EQ(Verify(Bytes("CTEX", {'a', 0, 0, 'b'})), Strings{"CTEX" + notext});
}

TEST(VerifyLeaves, ChildrenComeFirstAndOtherChecksStillRun) {
    chunkptr n = C("SHVO", {Sized("MATI", 4)});
    n->Update(0);
    EXPECT_EQ(Verify(n), (Strings{"SHVO: chunk contains children", "SHVO: chunk does not contain 4 bytes of data"}));
    EXPECT_EQ(Verify(C("SHDW", {C("SHDW")})), Strings{"SHDW: chunk contains children"});
}

// ---- The parent lookup of PRNT ---------------------------------------------------

TEST(VerifyPrnt, FindsModelsAnywhereInTheTree) {
    const std::string none = ": parent MODL does not exist";
    // Models earlier, later, deeper and in other branches all count.
    chunkptr h = WellFormedMesh();
    chunkptr msh2 = h->getkid("MSH2");
    msh2->AppendKid(Model("early", "late"));
    msh2->AppendKid(Model("nowhere", "ghost"));
    h->AppendKid(C("NULL", {Model("late")}));
    Strings m = Verify(h);
    EXPECT_EQ(CountText(m, none), 1);
    EXPECT_EQ(m.front(), "HEDR: the final chunk is not a CL1L chunk");

    // A model may name itself; an invalid text is not looked up at all.
    EXPECT_EQ(Verify(Model("self", "self")), Strings{});
    chunkptr bad = Model("m");
    bad->InsertKid(3, Bytes("PRNT", {'x', 0, 0}));
    EXPECT_EQ(Verify(bad), Strings{"PRNT: chunk is not a valid null-terminated string"});
    // The empty text names a model without a NAME child (or with an empty one).
    chunkptr anon = C("MODL", {Sized("PRNT", 4)});
    EXPECT_EQ(CountText(Verify(anon), none), 0);
    chunkptr blank = C("NULL", {C("MODL", {Sized("NAME", 4)}), C("MODL", {Text("NAME", "x"), Sized("PRNT", 4)})});
    EXPECT_EQ(CountText(Verify(blank), none), 0);
    chunkptr orphan = C("NULL", {C("MODL", {Text("NAME", "a"), Sized("PRNT", 4)})});
    EXPECT_EQ(CountText(Verify(orphan), none), 1);
    // The model name is the text of the first NAME child only.
    chunkptr two = C("NULL", {C("MODL", {Text("NAME", "first"), Text("NAME", "second")}), Model("x", "second")});
    EXPECT_EQ(CountText(Verify(two), none), 1);

    // Verifying a part of a tree still looks through the whole tree.
    chunkptr child = Model("child", "outside");
    chunkptr root = C("NULL", {C("NULL", {Model("outside")}), C("NULL", {child})});
    EXPECT_EQ(Verify(child), Strings{});
    chunkptr cut = C("NULL", {Model("c", "outside")});
    EXPECT_EQ(Verify(cut), (Strings{"NULL: illegal chunk name", "PRNT" + none}));
}

// Text records that have children (a text name whose data happens to begin
// with a listed name): judged exactly as the model's own isstring and
// datatostring judge them, on trees built at random and rebuilt.
TEST(VerifyPrnt, TextContainersAgreeWithTheModel) {
    std::mt19937 rng(7);
    const char* names[] = {"NAME", "PRNT", "TX0D", "CTEX", "MODL", "MATL", "MATD", "NULL"};
    const uint8_t bytes[] = {0, 'a', 'N'};
    for (int round = 0; round < 300; ++round) {
        std::vector<chunkptr> all{C("MODL")};
        for (int i = 0; i < 40; ++i) {
            chunkptr parent = all[rng() % all.size()];
            chunkptr c = chunk::Create(names[rng() % 8]);
            if (rng() % 3 != 0) {
                std::vector<uint8_t> b(rng() % 13);
                for (uint8_t& x : b) x = bytes[rng() % 3];
                c->setdata(b);
            }
            parent->AppendKid(c);
            all.push_back(c);
        }
        all[0]->Update(int(round % 2));
        Strings expect;
        for (const chunkptr& c : all) {  // every chunk: creation order is not tree order
            if (c->name != "NAME" && c->name != "PRNT" && c->name != "TX0D" && c->name != "CTEX") continue;
            if (!c->isstring())
                expect.push_back(c->name + ": chunk is not a valid null-terminated string");
            else if (c->name == "PRNT" && !c->findmodlbyname(c->datatostring(), 1, nullptr))
                expect.push_back("PRNT: parent MODL does not exist");
        }
        Strings got;
        for (const std::string& m : Verify(all[0]))
            if (m.ends_with(": chunk is not a valid null-terminated string") ||
                m.ends_with(": parent MODL does not exist"))
                got.push_back(m);
        std::sort(expect.begin(), expect.end());
        std::sort(got.begin(), got.end());
        ASSERT_EQ(got, expect) << "round " << round;
    }
}

// ---- Order and flagging ----------------------------------------------------------

TEST(VerifyOrder, PreOrderAndEachChunkFlaggedOnceForItsOwnFindings) {
    chunkptr modl = C("MODL", {Sized("MTYP", 4), Sized("MNDX", 4), Text("NAME", "a"), Text("NAME", "b"),
                               Sized("TRAN", 40)});
    chunkptr seg1 = C("SEGM"), seg2 = C("SEGM");
    chunkptr geom = C("GEOM", {Sized("BBOX", 44), seg1});
    chunkptr other = Model("b");
    other->getkid("GEOM")->AppendKid(seg2);
    chunkptr bln = List("BLN2", 1, 8), skl = List("SKL2", 2, 20);
    chunkptr msh2 = C("MSH2", {C("MATL"), modl, other});
    modl->AppendKid(geom);
    chunkptr h = C("HEDR", {msh2, bln, skl, C("ANM2", {Sized("CYCL", 4), List("KFR3", 1, 88)}), Sized("CL1L", 0)});

    mesh::msh m;
    m.hedr = h;
    Strings messages;
    m.verify(messages, m.errors);
    const Strings segm = {"SEGM: no MATI chunk", "SEGM: no POSL chunk", "SEGM: no NRML chunk",
                          "SEGM: no STRP chunk"};
    Strings expect = {"HEDR: BLN2 and SKL2 chunks do not contain the same amount of information",
                      "HEDR: SKL2 and KFR3 chunks do not contain the same amount of information",
                      "MODL: more than one NAME chunk", "MODL: chunk contains illegal children"};
    expect.insert(expect.end(), segm.begin(), segm.end());
    expect.insert(expect.end(), segm.begin(), segm.end());
    EXPECT_EQ(messages, expect);

    // Flagged in verification order, once each; a parent of a faulty chunk
    // (MSH2, GEOM) is not flagged, a comparison flags the chunk under test.
    ASSERT_EQ(m.errors.size(), 4u);
    EXPECT_EQ(m.errors[0], h);
    EXPECT_EQ(m.errors[1], modl);
    EXPECT_EQ(m.errors[2], seg1);
    EXPECT_EQ(m.errors[3], seg2);
    EXPECT_EQ(m.inerrors(skl.get()), 0);
    EXPECT_EQ(m.inerrors(msh2.get()), 0);
    EXPECT_EQ(m.inerrors(geom.get()), 0);
    EXPECT_EQ(m.inerrors(seg2.get()), 1);

    // Running again gives the same result, not a doubled one.
    Strings again;
    m.verify(again, m.errors);
    EXPECT_EQ(again, messages);
    EXPECT_EQ(m.errors.size(), 4u);
}

TEST(VerifyOrder, MillionDeepTree) {
    const int depth = 1000000;
    chunkptr c = Sized("SHVO", 3);
    chunkptr leaf = c;
    for (int i = 0; i < depth; ++i) c = C(i % 2 ? "NULL" : "ZZZZ", {c});
    chunklist errors;
    Strings m = Verify(c, &errors);
    ASSERT_EQ(m.size(), size_t(depth) + 1);
    EXPECT_EQ(m.front(), "NULL: illegal chunk name");  // the last wrapper is the root
    EXPECT_EQ(m[1], "ZZZZ: illegal chunk name");
    EXPECT_EQ(m.back(), "SHVO: chunk does not contain 4 bytes of data");
    ASSERT_EQ(errors.size(), size_t(depth) + 1);
    EXPECT_EQ(errors[0], c);
    EXPECT_EQ(errors[depth], leaf);

    // Nested text records: each level's last byte and text are found without
    // walking the whole chain below it again.
    chunkptr t = Text("NAME", "x");
    for (int i = 0; i < depth / 5; ++i) t = C(i % 2 ? "NAME" : "PRNT", {t});
    chunkptr modl = C("MODL", {t});
    modl->Update(0);
    m = Verify(modl);
    EXPECT_EQ(CountText(m, ": chunk contains children"), depth / 5);
    EXPECT_EQ(CountText(m, ": chunk is not a valid null-terminated string"), 0);
}

// ---- The comparison itself ----------------------------------------------------------

TEST(Segmcompare, LeadingCountsOnly) {
    chunkptr hedr = C("HEDR");
    Strings m;
    auto bytes = [](std::initializer_list<int> b) {
        std::vector<uint8_t> v;
        for (int x : b) v.push_back(uint8_t(x));
        return v;
    };
    chunkptr a = Bytes("BLN2", bytes({5, 0, 0, 0, 1, 2})), b = Bytes("SKL2", bytes({5, 0, 0, 0, 9}));
    EXPECT_EQ(hedr->segmcompare(a.get(), b.get(), m), 0);
    EXPECT_TRUE(m.empty());
    chunkptr shortc = Sized("POSL", 3), longc = Counted("NRML", 7, 100);
    hedr->segmcompare(shortc.get(), longc.get(), m);
    hedr->segmcompare(longc.get(), shortc.get(), m);
    hedr->segmcompare(nullptr, longc.get(), m);
    hedr->segmcompare(longc.get(), nullptr, m);
    EXPECT_TRUE(m.empty());

    // Signed, little-endian: 0xFFFFFFFF is -1 and differs from 0x000000FF.
    chunkptr x = Bytes("BLN2", bytes({0xFF, 0xFF, 0xFF, 0xFF})), y = Bytes("SKL2", bytes({0xFF, 0, 0, 0}));
    m = {"earlier"};
    EXPECT_EQ(hedr->segmcompare(x.get(), y.get(), m), 0);
    hedr->segmcompare(y.get(), x.get(), m);
    EXPECT_EQ(m, (Strings{"earlier", "HEDR: BLN2 and SKL2 chunks do not contain the same amount of information",
                          "HEDR: SKL2 and BLN2 chunks do not contain the same amount of information"}));
}

}  // namespace
