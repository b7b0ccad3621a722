// The deep check: a real-shaped mesh (several models, materials with extra
// texture maps, cloth, a skeleton and an animation) has no finding; each rule
// fires on that mesh with one fault put in, at the path of the faulty chunk.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "mesh/check.h"
#include "mesh/msh.h"
#include "mesh/tests/check_meshes.h"
#include "mesh/verify.h"

using mesh::chunk;
using mesh::chunkptr;
using mesh::Finding;
using mesh::Severity;

namespace {

using namespace checkmesh;

chunkptr Kid(const chunkptr& c, const std::string& name, int index = 0) {
    for (const chunkptr& k : c->kids)
        if (k->name == name && index-- == 0) return k;
    return nullptr;
}
chunkptr Model(const chunkptr& root, const std::string& name) {
    for (const chunkptr& k : Kid(root, "MSH2")->kids)
        if (k->name == "MODL" && k->FetchName() == name) return k;
    return nullptr;
}
chunkptr BodySegment(const chunkptr& root, int i) { return Kid(Kid(Model(root, "body"), "GEOM"), "SEGM", i); }
chunkptr ClothOf(const chunkptr& root) { return Kid(Kid(Model(root, "cape"), "GEOM"), "CLTH"); }
std::string Describe(const std::vector<Finding>& fs) {
    std::string s;
    for (const Finding& f : fs)
        s += std::string(mesh::SeverityName(f.severity)) + ": " + f.path + ": [" + f.rule + "] " + f.message + "\n";
    return s;
}

TEST(Check, RealShapedMeshHasNoFinding) {
    chunkptr root = Good();
    std::vector<Finding> fs = mesh::CheckTree(*root);
    EXPECT_TRUE(fs.empty()) << Describe(fs);

    // Verification does flag these shapes; the check lets them pass.
    std::vector<std::string> messages;
    mesh::chunklist errors;
    root->verify(messages, errors);
    for (const char* m : {"TX1D: illegal chunk name", "MATD: contains illegal children", "GEOM: no BBOX chunk",
                          "KFR3: discrepency between size indicated by first int and actual size"})
        EXPECT_NE(std::find(messages.begin(), messages.end(), m), messages.end()) << m;
}

TEST(Check, ClosingChunkAfterTheRoot) {
    // Real files close with a CL1L after the root rather than inside it.
    chunkptr root = Good();
    root->RemoveKid(root->kids.size() - 1);
    root->Update(1);
    Bytes bytes;
    root->save(bytes, 1);
    const Bytes cl1l = {'C', 'L', '1', 'L', 0, 0, 0, 0};
    const std::string path = ::testing::TempDir() + "check_trailer.msh";
    for (bool closed : {true, false}) {
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()))
            .write(reinterpret_cast<const char*>(cl1l.data()), closed ? 8 : 0);
        mesh::mshptr m = mesh::OpenMesh(path, {"MSH2", "SINF", "NAME", "MTYP", "BBOX", "MATI", "SHDW", "CTEX", "CYCL"}, 1);
        ASSERT_TRUE(m);
        EXPECT_EQ(m->trailer, closed ? "CL1L" : "");
        std::vector<Finding> fs = mesh::CheckMesh(*m);
        if (closed) {
            EXPECT_TRUE(fs.empty()) << Describe(fs);
        } else {
            ASSERT_EQ(fs.size(), 1u) << Describe(fs);
            EXPECT_EQ(fs[0].path, "HEDR");
            EXPECT_EQ(fs[0].message, "the final chunk is not a CL1L chunk");
        }
    }
    std::remove(path.c_str());
}

struct Case {
    const char* rule;
    Severity severity;
    const char* path;
    const char* message;  // a part of the message
    std::function<void(const chunkptr&)> fault;
};

const std::vector<Case>& Cases() {
    static const std::vector<Case> cases = {
        {"structure", Severity::error, "HEDR/MSH2/MODL[body]/GEOM/SEGM[0]", "no MATI chunk",
         [](const chunkptr& r) { BodySegment(r, 0)->RemoveKid(0); }},
        {"structure", Severity::error, "HEDR/MSH2/MATL/MATD[0]", "more than one TX2D chunk",
         [](const chunkptr& r) { Kid(Kid(Kid(r, "MSH2"), "MATL"), "MATD")->AppendKid(D("TX2D", Str("x.tga"))); }},
        {"structure", Severity::error, "HEDR/ANM2/KFR3", "bone 0 of 1 runs past the end of the data",
         [](const chunkptr& r) {
             chunkptr k = Kid(Kid(r, "ANM2"), "KFR3");
             Bytes b(k->data().begin(), k->data().end() - 4);
             k->setdata(b);
         }},
        {"structure", Severity::error, "HEDR/ANM2/KFR3", "4 bytes are left after the last bone",
         [](const chunkptr& r) {
             chunkptr k = Kid(Kid(r, "ANM2"), "KFR3");
             Bytes b(k->data().begin(), k->data().end());
             Put32(b, 0);
             k->setdata(b);
         }},
        {"structure", Severity::error, "HEDR/MSH2/MODL[body]/GEOM/SEGM[0]/STRP", "the count 4 needs 12 bytes",
         [](const chunkptr& r) { Kid(BodySegment(r, 0), "STRP")->setdata(U16s(4, {0x8000, 0x8001, 2})); }},
        {"structure", Severity::error, "HEDR/MSH2/MODL[body]/GEOM/SEGM[1]/NDXL", "polygon 1 of 2 runs past",
         [](const chunkptr& r) { Kid(BodySegment(r, 1), "NDXL")->setdata(U16s(2, {3, 0, 1, 2, 3, 0, 2})); }},
        {"unknown-chunk", Severity::warning, "HEDR/MSH2/MODL[body]/ABCD", "unknown chunk name",
         [](const chunkptr& r) { Model(r, "body")->AppendKid(D("ABCD", U32s({0}))); }},
        {"vertex-limit", Severity::error, "HEDR/MSH2/MODL[body]/GEOM/SEGM[1]/POSL", "32768 vertices",
         [](const chunkptr& r) { Kid(BodySegment(r, 1), "POSL")->setdata(Cat({U32s({32768}), Bytes(32768 * 12, 0)})); }},
        {"segment-counts", Severity::error, "HEDR/MSH2/MODL[body]/GEOM/SEGM[0]/NRML", "NRML has 2 entries, POSL has 3",
         [](const chunkptr& r) { Kid(BodySegment(r, 0), "NRML")->setdata(Cat({U32s({2}), Bytes(24, 0)})); }},
        {"segment-counts", Severity::error, "HEDR/MSH2/MODL[body]/GEOM/SEGM[0]/CLRL", "CLRL has 4 entries",
         [](const chunkptr& r) { Kid(BodySegment(r, 0), "CLRL")->setdata(Cat({U32s({4}), Bytes(16, 0)})); }},
        {"index-range", Severity::error, "HEDR/MSH2/MODL[body]/GEOM/SEGM[0]/STRP", "index 3 at position 2",
         [](const chunkptr& r) { Kid(BodySegment(r, 0), "STRP")->setdata(U16s(3, {0x8000, 0x8001, 3})); }},
        {"index-range", Severity::error, "HEDR/MSH2/MODL[body]/GEOM/SEGM[1]/NDXT", "index 4 at position 5",
         [](const chunkptr& r) { Kid(BodySegment(r, 1), "NDXT")->setdata(U16s(2, {0, 1, 2, 0, 2, 4})); }},
        {"index-range", Severity::error, "HEDR/MSH2/MODL[body]/GEOM/SEGM[1]/NDXL", "index 7 at position 4",
         [](const chunkptr& r) { Kid(BodySegment(r, 1), "NDXL")->setdata(U16s(2, {3, 0, 1, 2, 3, 0, 7, 3})); }},
        {"segment-empty", Severity::error, "HEDR/MSH2/MODL[body]/GEOM/SEGM[1]", "no STRP, NDXT or NDXL chunk",
         [](const chunkptr& r) {
             chunkptr s = BodySegment(r, 1);
             for (const char* n : {"STRP", "NDXL", "NDXT"}) s->RemoveKid(size_t(s->IndexOfKid(Kid(s, n).get())));
         }},
        {"segment-empty", Severity::error, "HEDR/MSH2/MODL[body]/GEOM/SEGM[1]", "no vertices",
         [](const chunkptr& r) { Kid(BodySegment(r, 1), "POSL")->setdata(U32s({0})); }},
        {"material-index", Severity::error, "HEDR/MSH2/MODL[body]/GEOM/SEGM[1]/MATI", "material 2 is not below the number of materials (2)",
         [](const chunkptr& r) { Kid(BodySegment(r, 1), "MATI")->setdata(U32s({2})); }},
        {"model-name", Severity::error, "HEDR/MSH2/MODL[body]", "\"body\" is also the name of an earlier model",
         [](const chunkptr& r) { Kid(Model(r, "cape"), "NAME")->setdata(Str("body")); }},
        {"model-index", Severity::warning, "HEDR/MSH2/MODL[cape]", "model index 2 is also that of the model at HEDR/MSH2/MODL[body]",
         [](const chunkptr& r) { Kid(Model(r, "cape"), "MNDX")->setdata(U32s({2})); }},
        {"parent-loop", Severity::error, "HEDR/MSH2/MODL[root]", "the model names itself as its parent",
         [](const chunkptr& r) { Model(r, "root")->InsertKid(3, D("PRNT", Str("root"))); }},
        {"parent-loop", Severity::error, "HEDR/MSH2/MODL[root]", "a loop of 2 models",
         [](const chunkptr& r) { Model(r, "root")->InsertKid(3, D("PRNT", Str("body"))); }},
        {"parent-order", Severity::warning, "HEDR/MSH2/MODL[bone_a]", "stands before its parent \"hp_fire\"",
         [](const chunkptr& r) { Kid(Model(r, "bone_a"), "PRNT")->setdata(Str("hp_fire")); }},
        {"model-type", Severity::error, "HEDR/MSH2/MODL[root]/MTYP", "model type 5",
         [](const chunkptr& r) { Kid(Model(r, "root"), "MTYP")->setdata(U32s({5})); }},
        {"envelope", Severity::error, "HEDR/MSH2/MODL[body]/GEOM/ENVL", "entry 1 (11)",
         [](const chunkptr& r) { Kid(Kid(Model(r, "body"), "GEOM"), "ENVL")->setdata(U32s({2, 1, 11})); }},
        {"weight-bone", Severity::error, "HEDR/MSH2/MODL[body]/GEOM/SEGM[0]/WGHT", "vertex 2 uses bone 1, but the ENVL has 1 entries",
         [](const chunkptr& r) {
             chunkptr w = Kid(BodySegment(r, 0), "WGHT");
             Bytes b(w->data().begin(), w->data().end());
             b[4 + 64 + 8] = 1;  // vertex 2, second weight (0.5): bone 1
             w->setdata(b);
         }},
        {"weight-bone", Severity::warning, "HEDR/MSH2/MODL[body]/GEOM/SEGM[0]/WGHT", "the GEOM has no ENVL",
         [](const chunkptr& r) {
             chunkptr g = Kid(Model(r, "body"), "GEOM");
             g->RemoveKid(size_t(g->IndexOfKid(Kid(g, "ENVL").get())));
         }},
        {"bones-per-segment", Severity::warning, "HEDR/MSH2/MODL[body]/GEOM/SEGM[0]", "16 bones",
         [](const chunkptr& r) {
             Bytes b = U32s({4});
             for (uint32_t bone = 0; bone < 16; ++bone) b = Cat({b, U32s({bone}), F32s({0.25f})});
             Kid(BodySegment(r, 0), "WGHT")->setdata(b);
         }},
        {"not-finite", Severity::error, "HEDR/MSH2/MODL[body]/GEOM/SEGM[1]/POSL", "vertex 2 is not a finite number",
         [](const chunkptr& r) {
             Kid(BodySegment(r, 1), "POSL")->setdata(Cat({U32s({4}), F32s({0, 0, 0, 1, 0, 0, 1, std::nanf(""), 0, 0, 1, 0})}));
         }},
        {"not-finite", Severity::error, "HEDR/MSH2/MODL[root]/TRAN", "rotation is not a finite number",
         [](const chunkptr& r) {
             Kid(Model(r, "root"), "TRAN")->setdata(F32s({1, 1, 1, 0, std::numeric_limits<float>::infinity(), 0, 1, 0, 0, 0}));
         }},
        {"not-finite", Severity::error, "HEDR/MSH2/MODL[body]/GEOM/SEGM[0]/UV0L", "vertex 1 is not a finite number",
         [](const chunkptr& r) { Kid(BodySegment(r, 0), "UV0L")->setdata(Cat({U32s({3}), F32s({0, 0, 0, -std::nanf(""), 0, 0})})); }},
        {"uv-range", Severity::warning, "HEDR/MSH2/MODL[body]/GEOM/SEGM[0]/UV0L", "texture coordinate 16 of vertex 2",
         [](const chunkptr& r) { Kid(BodySegment(r, 0), "UV0L")->setdata(Cat({U32s({3}), F32s({0, 0, 1, 0, -16, 16})})); }},
        {"name-case", Severity::warning, "HEDR/MSH2/MODL[HP_fire]", "only lower case \"hp_\" marks a hardpoint",
         [](const chunkptr& r) { Kid(Model(r, "hp_fire"), "NAME")->setdata(Str("HP_fire")); }},
        {"name-case", Severity::warning, "HEDR/MSH2/MODL[Sv_body]", "\"sv_\" marks a shadow volume",
         [](const chunkptr& r) { Kid(Model(r, "sv_body"), "NAME")->setdata(Str("Sv_body")); }},
        {"lod-suffix", Severity::warning, "HEDR/MSH2/MODL[body_lod1]", "\"_lod1\"",
         [](const chunkptr& r) { Kid(Model(r, "body_lod2"), "NAME")->setdata(Str("body_lod1")); }},
        {"shadow-visible", Severity::warning, "HEDR/MSH2/MODL[sv_body]", "not hidden",
         [](const chunkptr& r) { Kid(Model(r, "sv_body"), "FLGS")->setdata(U32s({0})); }},
        {"collision-shape", Severity::warning, "HEDR/MSH2/MODL[p_collision]/SWCI", "collision shape 3 (mesh)",
         [](const chunkptr& r) { Kid(Model(r, "p_collision"), "SWCI")->setdata(Cat({U32s({3}), F32s({1, 2, 3})})); }},
        {"cloth", Severity::error, "HEDR/MSH2/MODL[cape]/GEOM/CLTH/CUV0", "CUV0 has 2 entries, CPOS has 3",
         [](const chunkptr& r) { Kid(ClothOf(r), "CUV0")->setdata(Cat({U32s({2}), F32s({0, 0, 1, 0})})); }},
        {"cloth", Severity::error, "HEDR/MSH2/MODL[cape]/GEOM/CLTH/CMSH", "index 3 at position 2",
         [](const chunkptr& r) { Kid(ClothOf(r), "CMSH")->setdata(U32s({1, 0, 1, 3})); }},
        {"cloth", Severity::error, "HEDR/MSH2/MODL[cape]/GEOM/CLTH/BPRS", "index 9 at position 1",
         [](const chunkptr& r) { Kid(ClothOf(r), "BPRS")->setdata(U16s(1, {0, 9})); }},
        {"cloth", Severity::error, "HEDR/MSH2/MODL[cape]/GEOM/CLTH/FIDX", "index 3 at position 0",
         [](const chunkptr& r) { Kid(ClothOf(r), "FIDX")->setdata(U32s({1, 3})); }},
    };
    return cases;
}

TEST(Check, EachRuleFiresAtTheFaultyChunk) {
    std::set<std::string> covered;
    for (const Case& c : Cases()) {
        SCOPED_TRACE(std::string(c.rule) + ": " + c.message);
        chunkptr root = Good();
        c.fault(root);
        root->Update(1);
        std::vector<Finding> fs = mesh::CheckTree(*root);
        bool found = false;
        for (const Finding& f : fs) {
            if (f.rule != c.rule || f.path != c.path || f.message.find(c.message) == std::string::npos) continue;
            found = true;
            EXPECT_EQ(f.severity, c.severity);
            chunkptr where = f.where.lock();
            ASSERT_TRUE(where);
            EXPECT_EQ(where->name, std::string(c.path).substr(std::string(c.path).rfind('/') + 1, 4));
        }
        EXPECT_TRUE(found) << Describe(fs);
        covered.insert(c.rule);
    }
    for (const mesh::CheckRule& r : mesh::kCheckRules) EXPECT_TRUE(covered.count(r.name)) << "no case for " << r.name;
}

TEST(Check, FaultsThatAreFine) {
    // Indices below the vertex count with the strip flag, an envelope entry
    // that is a model's place rather than its MNDX, UV -16, _lowres: already
    // in the good mesh. These variants are fine too.
    for (auto fault : std::vector<std::function<void(const chunkptr&)>>{
             [](const chunkptr& r) { Kid(Kid(Model(r, "body"), "GEOM"), "ENVL")->setdata(U32s({2, 8, 1})); },
             [](const chunkptr& r) { Kid(Model(r, "p_collision"), "SWCI")->setdata(Cat({U32s({2}), F32s({1, 2, 3})})); },
             [](const chunkptr& r) { Kid(Model(r, "body_lod2"), "NAME")->setdata(Str("body_lod3")); },
             [](const chunkptr& r) { Kid(Model(r, "body_lod2"), "NAME")->setdata(Str("body_lowrez")); },
             // A weight of 0 may name any bone.
             [](const chunkptr& r) {
                 chunkptr w = Kid(BodySegment(r, 0), "WGHT");
                 Bytes b(w->data().begin(), w->data().end());
                 b[4 + 8] = 200;
                 w->setdata(b);
             },
         }) {
        chunkptr root = Good();
        fault(root);
        std::vector<Finding> fs = mesh::CheckTree(*root);
        EXPECT_TRUE(fs.empty()) << Describe(fs);
    }
}

TEST(Check, PathsNumberSameNamedSiblingsOnly) {
    chunkptr root = C("HEDR", {C("MSH2", {D("XXA1", {}), D("XXA1", {}), D("XXB1", {}),
                                          C("MODL", {D("XXC1", {})}), C("MODL", {D("NAME", Str("b")), D("XXD1", {})})})});
    std::vector<std::string> paths;
    for (const Finding& f : mesh::CheckTree(*root))
        if (f.rule == "unknown-chunk") paths.push_back(f.path);
    EXPECT_EQ(paths, (std::vector<std::string>{"HEDR/MSH2/XXA1[0]", "HEDR/MSH2/XXA1[1]", "HEDR/MSH2/XXB1",
                                                "HEDR/MSH2/MODL[0]/XXC1", "HEDR/MSH2/MODL[b]/XXD1"}));
}

TEST(Check, DeepAndWideTreesStayBounded) {
    // A chain 200,000 deep of unknown chunks: no recursion, paths cut in the
    // middle, the rule's findings capped with a closing count.
    chunkptr root = chunk::Create("HEDR");
    chunkptr cur = root;
    for (int i = 0; i < 200000; ++i) {
        chunkptr k = chunk::Create("ZZZZ");
        cur->AppendKid(k);
        cur = k;
    }
    std::vector<Finding> fs = mesh::CheckTree(*root);
    size_t unknown = 0;
    for (const Finding& f : fs) {
        if (f.rule != "unknown-chunk") continue;
        ++unknown;
        EXPECT_LT(f.path.size(), 200u);
    }
    EXPECT_EQ(unknown, mesh::kCheckRuleLimit + 1);
    // The closing counts come last, in the order of the rule table.
    ASSERT_GE(fs.size(), 2u);
    EXPECT_EQ(fs[fs.size() - 2].rule, "structure");
    EXPECT_EQ(fs[fs.size() - 2].message, "190003 more findings of this rule are not listed");
    EXPECT_EQ(fs.back().rule, "unknown-chunk");
    EXPECT_EQ(fs.back().message, "190000 more findings of this rule are not listed");
    const std::string deep = fs[fs.size() - 3].path;
    EXPECT_EQ(deep.substr(0, 44), "HEDR/ZZZZ/ZZZZ/ZZZZ/ZZZZ/ZZZZ/ZZZZ/ZZZZ/.../") << deep;
    EXPECT_NE(deep.find("/.../"), std::string::npos) << deep;
}

TEST(Check, HostileCountsReadNothingOutside) {
    // Counts far beyond the data: no rule reads past it (the sanitizer
    // build watches), the layout checks say so.
    chunkptr root = Good();
    for (const char* n : {"POSL", "NRML", "UV0L", "WGHT", "CLRL", "STRP"}) Kid(BodySegment(root, 0), n)->setdata(U32s({0xFFFFFFFF, 1}));
    Kid(BodySegment(root, 1), "NDXL")->setdata(U16s(0xFFFF, {0xFFFF, 1}));
    Kid(BodySegment(root, 1), "NDXT")->setdata(Bytes{1, 0});
    Kid(Kid(root, "ANM2"), "KFR3")->setdata(U32s({5, 1, 0, 0xFFFFFFFF, 0xFFFFFFFF}));
    Kid(Kid(Model(root, "body"), "GEOM"), "ENVL")->setdata(U32s({0x7FFFFFFF}));
    for (const char* n : {"CPOS", "CUV0", "FIDX", "CMSH", "SPRS"}) Kid(ClothOf(root), n)->setdata(U32s({0xFFFFFFF0}));
    Kid(Model(root, "root"), "TRAN")->setdata(Bytes{1, 2, 3});
    const Bytes before = [&] { Bytes b; root->save(b, 1); return b; }();
    std::vector<Finding> fs = mesh::CheckTree(*root);
    Bytes after;
    root->save(after, 1);
    EXPECT_EQ(before, after);  // the check never changes the tree
    bool kfr3 = false, ndxt = false;
    for (const Finding& f : fs) {
        kfr3 = kfr3 || (f.path == "HEDR/ANM2/KFR3" && f.message == "bone 0 of 5 runs past the end of the data");
        ndxt = ndxt || (f.path == "HEDR/MSH2/MODL[body]/GEOM/SEGM[1]/NDXT" && f.message == "the data is too short for its count");
    }
    EXPECT_TRUE(kfr3) << Describe(fs);
    EXPECT_TRUE(ndxt) << Describe(fs);
}

TEST(Check, ErrorsFirstKeepsTreeOrder) {
    chunkptr root = Good();
    Kid(Model(root, "hp_fire"), "NAME")->setdata(Str("HP_fire"));     // warning, late
    Model(root, "root")->AppendKid(D("ABCD", {}));                      // warning, early
    Kid(BodySegment(root, 1), "MATI")->setdata(U32s({7}));               // error
    Kid(Model(root, "root"), "MTYP")->setdata(U32s({9}));                // error, earlier
    std::vector<Finding> fs = mesh::CheckTree(*root);
    mesh::SortErrorsFirst(fs);
    std::vector<std::string> rules;
    for (const Finding& f : fs) rules.push_back(f.rule);
    EXPECT_EQ(rules, (std::vector<std::string>{"structure", "model-type", "structure", "material-index", "unknown-chunk",
                                                "name-case"}))
        << Describe(fs);
}

}  // namespace
