// The deep check: a real-shaped mesh has no finding; each fault put into it
// gives exactly one finding, of the right rule and severity, at the faulty
// chunk, with the numbers in its message, however the editor's tree was
// parsed; faults in the bytes themselves and in option files likewise.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "check/check.h"
#include "check/tests/check_meshes.h"
#include "mesh/msh.h"

using check::Finding;
using check::Severity;
using mesh::chunk;
using mesh::chunkptr;

namespace {

using namespace checkmesh;
constexpr Severity E = Severity::error, W = Severity::warning;

void Drop(const chunkptr& parent, const std::string& name) {
    parent->RemoveKid(size_t(parent->IndexOfKid(Kid(parent, name).get())));
}
chunkptr Geom(const chunkptr& root, const std::string& model) { return Kid(Model(root, model), "GEOM"); }
chunkptr BodySegment(const chunkptr& root, int i) { return Kid(Geom(root, "body"), "SEGM", i); }
chunkptr ClothOf(const chunkptr& root) { return Kid(Geom(root, "cape"), "CLTH"); }
void SetByte(const chunkptr& c, size_t at, uint8_t v) {
    Bytes b(c->data().begin(), c->data().end());
    b[at] = v;
    c->setdata(b);
}

std::string Describe(const std::vector<Finding>& fs) {
    std::string s;
    for (const Finding& f : fs)
        s += std::string(check::SeverityName(f.severity)) + ": " + f.path + ": [" + f.rule + "] " + f.message + "\n";
    return s;
}
std::vector<std::string> Lines(const std::vector<Finding>& fs) {
    std::vector<std::string> v;
    for (const Finding& f : fs) v.push_back(Describe({f}));
    return v;
}

TEST(Check, RealShapedMeshHasNoFinding) {
    chunkptr root = Good();
    std::vector<Finding> fs = check::CheckTree(*root);
    EXPECT_TRUE(fs.empty()) << Describe(fs);
}

struct Case {
    const char* rule;
    Severity severity;
    const char* path;
    const char* message;  // a part of the message
    std::function<void(const chunkptr&)> fault;
    bool alone = true;  // the fault's only finding
};

const std::vector<Case>& Cases() {
    static const std::vector<Case> cases = {
        // Chunks and records.
        {"unknown-chunk", W, "HEDR/MSH2/MODL[body]/ABCD", "unknown chunk name \"ABCD\"",
         [](const chunkptr& r) { Model(r, "body")->AppendKid(D("ABCD", U32s({0}))); }},
        {"placement", W, "HEDR/MSH2/MODL[body]/GEOM/SEGM[0]/NAME", "the SEGM does not read a NAME chunk",
         [](const chunkptr& r) { BodySegment(r, 0)->AppendKid(D("NAME", Str("x"))); }},
        {"duplicate-chunk", W, "HEDR/MSH2/MODL[root]/FLGS[1]", "a second FLGS in the MODL",
         [](const chunkptr& r) { Model(r, "root")->AppendKid(D("FLGS", U32s({1}))); }},
        {"duplicate-chunk", W, "HEDR/MSH2/MATL/MATD[0]/TX2D[1]", "a second TX2D",
         [](const chunkptr& r) { Kid(Kid(Kid(r, "MSH2"), "MATL"), "MATD")->AppendKid(D("TX2D", Str("x.tga"))); }},
        {"record-size", E, "HEDR/MSH2/MODL[root]/MTYP", "2 bytes of data, the layout has 4",
         [](const chunkptr& r) { Kid(Model(r, "root"), "MTYP")->setdata(Bytes{0, 0}); }},
        {"record-size", W, "HEDR/MSH2/MODL[root]/MNDX", "8 bytes of data, the layout has 4",
         [](const chunkptr& r) { Kid(Model(r, "root"), "MNDX")->setdata(U32s({0, 0})); }},
        {"list-count", E, "HEDR/MSH2/MODL[body]/GEOM/SEGM[0]/POSL", "the count is 4, the bytes hold 3 entries",
         [](const chunkptr& r) { SetByte(Kid(BodySegment(r, 0), "POSL"), 0, 4); }},
        {"list-count", E, "HEDR/MSH2/MODL[body]/GEOM/SEGM[0]/NRML", "the count is 3, the bytes hold 2 entries",
         [](const chunkptr& r) { Kid(BodySegment(r, 0), "NRML")->setdata(Cat({U32s({3}), F32s({0, 0, 1, 0, 0, 1})})); }},
        {"list-count", W, "HEDR/MSH2/MODL[body]/GEOM/SEGM[0]/STRP", "the count is 3, the bytes hold 6 entries",
         [](const chunkptr& r) { Kid(BodySegment(r, 0), "STRP")->setdata(U16s(3, {0x8000, 0x8001, 2, 0, 0, 0})); }},
        // The compiler does not read ANM2 or NDXL: it compiles these.
        {"list-count", W, "HEDR/ANM2/KFR3", "the count is 1, the bytes hold 0 entries",
         [](const chunkptr& r) {
             chunkptr k = Kid(Kid(r, "ANM2"), "KFR3");
             k->setdata(Bytes(k->data().begin(), k->data().end() - 4));
         }},
        {"list-count", W, "HEDR/ANM2/KFR3", "and 4 bytes follow the last entry",
         [](const chunkptr& r) {
             chunkptr k = Kid(Kid(r, "ANM2"), "KFR3");
             k->setdata(Cat({Bytes(k->data().begin(), k->data().end()), U32s({0})}));
         }},
        {"list-count", W, "HEDR/MSH2/MODL[body]/GEOM/SEGM[1]/NDXL", "the count is 2, the bytes hold 1 entries",
         [](const chunkptr& r) { Kid(BodySegment(r, 1), "NDXL")->setdata(U16s(2, {3, 0, 1, 2, 3, 0})); }},
        // The compiler reads material names: MSH_UCFB_CHUNK_READ_OVERRUN.
        {"text", E, "HEDR/MSH2/MATL/MATD[1]/NAME", "no terminating zero byte",
         [](const chunkptr& r) { Kid(Kid(Kid(Kid(r, "MSH2"), "MATL"), "MATD", 1), "NAME")->setdata(Text("cape")); }},
        {"closing-chunk", W, "HEDR", "no CL1L chunk closes the file", [](const chunkptr& r) { Drop(r, "CL1L"); }},
        {"animation", W, "HEDR/BLN2", "the skeleton chunks lack SKL2", [](const chunkptr& r) { Drop(r, "SKL2"); }},
        // Scene and materials.
        {"scene-empty", E, "HEDR/MSH2", "the scene has no model",
         [](const chunkptr& r) {
             chunkptr m = Kid(r, "MSH2");
             while (Kid(m, "MODL")) Drop(m, "MODL");
         }},
        {"bbox", W, "HEDR/MSH2/SINF/BBOX", "centre is not a finite number",
         [](const chunkptr& r) {
             Kid(Kid(Kid(r, "MSH2"), "SINF"), "BBOX")->setdata(F32s({0, 0, 0, 1, std::nanf(""), 0, 0, 1, 1, 1, 2}));
         }},
        {"material-index", E, "HEDR/MSH2/MODL[body]/GEOM/SEGM[1]/MATI", "material 2 is not below the number of materials (2)",
         [](const chunkptr& r) { Kid(BodySegment(r, 1), "MATI")->setdata(U32s({2})); }},
        {"render-type", W, "HEDR/MSH2/MATL/MATD[0]/ATRB", "render type 2 is none the compiler knows",
         [](const chunkptr& r) { Kid(Kid(Kid(Kid(r, "MSH2"), "MATL"), "MATD"), "ATRB")->setdata(U32s({1 | 2 << 8})); }},
        {"texture-name", E, "HEDR/MSH2/MATL/MATD[0]/TX2D", "the texture name \"body//old.tga\" holds \"//\"",
         [](const chunkptr& r) {
             Kid(Kid(Kid(Kid(r, "MSH2"), "MATL"), "MATD", 0), "TX2D")->setdata(Str("body//old.tga"));
         }},
        // Models.
        {"model-index", E, "HEDR/MSH2/MODL[hp_fire]", "the model has no MNDX",
         [](const chunkptr& r) { Drop(Model(r, "hp_fire"), "MNDX"); }},
        {"model-index", E, "HEDR/MSH2/MODL[cape]", "MNDX 2 is also that of HEDR/MSH2/MODL[body]",
         [](const chunkptr& r) { Kid(Model(r, "cape"), "MNDX")->setdata(U32s({2})); }},
        {"model-name", E, "HEDR/MSH2/MODL[body]", "the name \"body\" is also the name of an earlier model",
         [](const chunkptr& r) { Kid(Model(r, "hp_fire"), "NAME")->setdata(Str("body")); }},
        {"model-type", E, "HEDR/MSH2/MODL[root]/MTYP", "model type 5 is none of",
         [](const chunkptr& r) { Kid(Model(r, "root"), "MTYP")->setdata(U32s({5})); }},
        {"parent-missing", E, "HEDR/MSH2/MODL[hp_fire]", "the parent \"nobody\" is no model's name",
         [](const chunkptr& r) { Kid(Model(r, "hp_fire"), "PRNT")->setdata(Str("nobody")); }},
        {"parent-loop", E, "HEDR/MSH2/MODL[root]", "the model names itself as its parent",
         [](const chunkptr& r) { Model(r, "root")->InsertKid(3, D("PRNT", Str("root"))); }, false},
        {"parent-loop", E, "HEDR/MSH2/MODL[root]", "a loop of 2 models",
         [](const chunkptr& r) { Model(r, "root")->InsertKid(3, D("PRNT", Str("body"))); }, false},
        {"parent-order", W, "HEDR/MSH2/MODL[bone_a]", "stands before its parent \"hp_fire\"",
         [](const chunkptr& r) { Kid(Model(r, "bone_a"), "PRNT")->setdata(Str("hp_fire")); }},
        {"name-case", W, "HEDR/MSH2/MODL[HP_fire]", "only lower case \"hp_\" marks a hardpoint",
         [](const chunkptr& r) { Kid(Model(r, "hp_fire"), "NAME")->setdata(Str("HP_fire")); }},
        {"name-case", W, "HEDR/MSH2/MODL[Sv_body]", "\"sv_\" marks a shadow volume",
         [](const chunkptr& r) {
             Kid(Model(r, "sv_body"), "NAME")->setdata(Str("Sv_body"));
         }},
        {"name-case", W, "HEDR/MSH2/MODL[P_collision]", "\"p_\" marks a collision primitive",
         [](const chunkptr& r) { Kid(Model(r, "p_collision"), "NAME")->setdata(Str("P_collision")); }},
        {"lod-suffix", W, "HEDR/MSH2/MODL[body_lod1]", "\"lod1\" is none of lod2, lod3, lowres, lowrez",
         [](const chunkptr& r) { Kid(Model(r, "body_lod2"), "NAME")->setdata(Str("body_lod1")); }},
        {"shadow-visible", W, "HEDR/MSH2/MODL[sv_body]", "not hidden",
         [](const chunkptr& r) { Kid(Model(r, "sv_body"), "FLGS")->setdata(U32s({0})); }},
        {"skeleton-size", E, "HEDR/MSH2", "the skeleton has 67 bones, more than 64",
         [](const chunkptr& r) {
             for (uint32_t i = 0; i < 64; ++i)
                 Kid(r, "MSH2")->AppendKid(Modl("b" + std::to_string(i), 3, 100 + i, "root", {Tran()}));
         }},
        // Geometry.
        {"segment-empty", W, "HEDR/MSH2/MODL[body]/GEOM/SEGM[1]", "the segment has no STRP, NDXT or NDXL chunk",
         [](const chunkptr& r) {
             for (const char* n : {"STRP", "NDXL", "NDXT"}) Drop(BodySegment(r, 1), n);
         }},
        {"segment-empty", W, "HEDR/MSH2/MODL[body]/GEOM/SEGM[1]", "the segment has no vertices",
         [](const chunkptr& r) {
             for (const char* n : {"POSL", "NRML"}) Kid(BodySegment(r, 1), n)->setdata(U32s({0}));
             for (const char* n : {"STRP", "NDXL", "NDXT"}) Kid(BodySegment(r, 1), n)->setdata(U32s({0}));
         }},
        {"vertex-limit", E, "HEDR/MSH2/MODL[body]/GEOM/SEGM[1]/POSL", "32769 vertices, more than 32768",
         [](const chunkptr& r) {
             for (const char* n : {"POSL", "NRML"})
                 Kid(BodySegment(r, 1), n)->setdata(Cat({U32s({32769}), Bytes(32769 * 12, 0)}));
         }},
        {"vertex-limit", E, "HEDR/MSH2/MODL[collision]", "has 65538 vertices, more than 65536",
         [](const chunkptr& r) {
             chunkptr g = C("GEOM", {});
             for (int i = 0; i < 3; ++i)
                 g->AppendKid(C("SEGM", {D("MATI", U32s({0})), L("POSL", 21846, Bytes(21846 * 12, 0)),
                                         D("STRP", U16s(3, {0x8000, 0x8001, 2}))}));
             Kid(r, "MSH2")->AppendKid(Modl("collision", 4, 30, "root", {Tran(), g}));
         }},
        {"segment-counts", E, "HEDR/MSH2/MODL[body]/GEOM/SEGM[0]/NRML", "NRML has 2 entries, POSL has 3",
         [](const chunkptr& r) { Kid(BodySegment(r, 0), "NRML")->setdata(Cat({U32s({2}), Bytes(24, 0)})); }},
        {"segment-counts", E, "HEDR/MSH2/MODL[body]/GEOM/SEGM[0]/CLRL", "CLRL has 4 entries, POSL has 3",
         [](const chunkptr& r) { Kid(BodySegment(r, 0), "CLRL")->setdata(Cat({U32s({4}), Bytes(16, 0)})); }},
        {"index-range", E, "HEDR/MSH2/MODL[body]/GEOM/SEGM[0]/STRP", "index 3 at position 2 is not below the vertex count 3",
         [](const chunkptr& r) { Kid(BodySegment(r, 0), "STRP")->setdata(U16s(3, {0x8000, 0x8001, 3})); }},
        // NDXT and NDXL: the compiler does not read them and compiles.
        {"index-range", W, "HEDR/MSH2/MODL[body]/GEOM/SEGM[1]/NDXT", "index 4 at position 5",
         [](const chunkptr& r) { Kid(BodySegment(r, 1), "NDXT")->setdata(U16s(2, {0, 1, 2, 0, 2, 4})); }},
        {"index-range", W, "HEDR/MSH2/MODL[body]/GEOM/SEGM[1]/NDXL", "index 7 at position 4",
         [](const chunkptr& r) { Kid(BodySegment(r, 1), "NDXL")->setdata(U16s(2, {3, 0, 1, 2, 3, 0, 7, 3})); }},
        {"not-finite", E, "HEDR/MSH2/MODL[body]/GEOM/SEGM[1]/POSL", "vertex 2 is not a finite number",
         [](const chunkptr& r) {
             Kid(BodySegment(r, 1), "POSL")->setdata(Cat({U32s({4}), F32s({0, 0, 0, 1, 0, 0, 1, std::nanf(""), 0, 0, 1, 0})}));
         }},
        // The compiler takes any transform, and without -softskin any weight: it compiles both.
        {"not-finite", W, "HEDR/MSH2/MODL[root]/TRAN", "rotation is not a finite number",
         [](const chunkptr& r) {
             Kid(Model(r, "root"), "TRAN")->setdata(F32s({1, 1, 1, 0, std::numeric_limits<float>::infinity(), 0, 1, 0, 0, 0}));
         }},
        {"not-finite", W, "HEDR/MSH2/MODL[body]/GEOM/SEGM[0]/UV0L", "vertex 1 is not a finite number",
         [](const chunkptr& r) { Kid(BodySegment(r, 0), "UV0L")->setdata(Cat({U32s({3}), F32s({0, 0, 0, -std::nanf(""), 0, 0})})); }},
        {"not-finite", W, "HEDR/MSH2/MODL[body]/GEOM/SEGM[0]/WGHT", "the weight of vertex 1 is not a finite number",
         [](const chunkptr& r) {
             chunkptr w = Kid(BodySegment(r, 0), "WGHT");
             Bytes b(w->data().begin(), w->data().end());
             std::memcpy(&b[4 + 32 + 12], F32s({std::numeric_limits<float>::infinity()}).data(), 4);
             w->setdata(b);
         }},
        {"uv-range", W, "HEDR/MSH2/MODL[body]/GEOM/SEGM[0]/UV0L", "texture coordinate u 16 of vertex 2",
         [](const chunkptr& r) { Kid(BodySegment(r, 0), "UV0L")->setdata(Cat({U32s({3}), F32s({0, 0, 1, 0, 16, -14})})); }},
        // v is kept as 1 - v: -16 is 17.
        {"uv-range", W, "HEDR/MSH2/MODL[body]/GEOM/SEGM[0]/UV0L", "texture coordinate v -16 of vertex 1",
         [](const chunkptr& r) { Kid(BodySegment(r, 0), "UV0L")->setdata(Cat({U32s({3}), F32s({0, 0, 1, -16, -16, 16})})); }},
        {"weight-bone", E, "HEDR/MSH2/MODL[body]/GEOM/SEGM[0]/WGHT", "vertex 2 uses bone 1, but the ENVL has 1 entries",
         [](const chunkptr& r) { SetByte(Kid(BodySegment(r, 0), "WGHT"), 4 + 64 + 8, 1); }},
        {"weight-bone", E, "HEDR/MSH2/MODL[body]/GEOM/SEGM[0]/WGHT", "vertex 0 uses bone 200",
         [](const chunkptr& r) { SetByte(Kid(BodySegment(r, 0), "WGHT"), 4 + 24, 200); }},  // at weight 0
        {"weight-bone", E, "HEDR/MSH2/MODL[body]/GEOM/SEGM[0]/WGHT", "the segment has weights, but its GEOM has no ENVL",
         [](const chunkptr& r) { Drop(Geom(r, "body"), "ENVL"); }},
        {"envelope", E, "HEDR/MSH2/MODL[body]/GEOM/ENVL", "entry 1 (11) is no model's MNDX",
         [](const chunkptr& r) { Kid(Geom(r, "body"), "ENVL")->setdata(U32s({2, 1, 11})); }},
        {"envelope-bone", W, "HEDR/MSH2/MODL[body]/GEOM/ENVL", "entry 0 names \"body_lod2\", which is no bone",
         [](const chunkptr& r) { Kid(Geom(r, "body"), "ENVL")->setdata(U32s({1, 6})); }},
        {"bones-per-segment", W, "HEDR/MSH2/MODL[body]/GEOM/SEGM[0]", "the weights use 16 bones",
         [](const chunkptr& r) {
             Bytes b = U32s({4});
             Bytes envl = U32s({16});
             for (uint32_t bone = 0; bone < 16; ++bone) {
                 b = Cat({b, U32s({bone}), F32s({0.25f})});
                 envl = Cat({envl, U32s({1})});
             }
             Kid(BodySegment(r, 0), "WGHT")->setdata(b);
             Kid(Geom(r, "body"), "ENVL")->setdata(envl);
         }, false},
        {"shadow-edges", E, "HEDR/MSH2/MODL[sv_body]/GEOM/SEGM/SHDW", "edge 1: its vertex 3 is not below 3",
         [](const chunkptr& r) {
             Kid(Kid(Geom(r, "sv_body"), "SEGM"), "SHDW")->setdata(ShadowEdges({0, 1, 4, 3, 2, 3, 2, 0, 5, 2, 4, 1, 1, 5, 0, 0, 3, 2}));
         }},
        {"shadow-edges", E, "HEDR/MSH2/MODL[sv_body]/GEOM/SEGM/SHDW", "edge 0: its twin 3 does not",
         [](const chunkptr& r) {
             Kid(Kid(Geom(r, "sv_body"), "SEGM"), "SHDW")->setdata(ShadowEdges({0, 1, 3, 1, 2, 3, 2, 0, 5, 2, 4, 1, 1, 5, 0, 0, 3, 2}));
         }},
        {"shadow-edges", E, "HEDR/MSH2/MODL[sv_body]/GEOM/SEGM/SHDW", "edge 0 is on no closed loop",
         [](const chunkptr& r) {
             Kid(Kid(Geom(r, "sv_body"), "SEGM"), "SHDW")->setdata(ShadowEdges({0, 1, 4, 1, 2, 3, 2, 5, 5, 2, 4, 1, 1, 5, 0, 0, 3, 2}));
         }},
        // Cloth.
        {"cloth", E, "HEDR/MSH2/MODL[cape]/GEOM/CLTH/CUV0", "CUV0 has 2 entries, CPOS has 3",
         [](const chunkptr& r) { Kid(ClothOf(r), "CUV0")->setdata(Cat({U32s({2}), F32s({0, 0, 1, 0})})); }},
        {"cloth", E, "HEDR/MSH2/MODL[cape]/GEOM/CLTH/CMSH", "index 3 at position 2",
         [](const chunkptr& r) { Kid(ClothOf(r), "CMSH")->setdata(U32s({1, 0, 1, 3})); }},
        {"cloth", E, "HEDR/MSH2/MODL[cape]/GEOM/CLTH/BPRS", "index 9 at position 1",
         [](const chunkptr& r) { Kid(ClothOf(r), "BPRS")->setdata(U16s(1, {0, 9})); }},
        {"cloth", E, "HEDR/MSH2/MODL[cape]/GEOM/CLTH/FIDX", "index 3 at position 0",
         [](const chunkptr& r) { Kid(ClothOf(r), "FIDX")->setdata(U32s({1, 3})); }},
        {"cloth", E, "HEDR/MSH2/MODL[cape]/GEOM/CLTH/FWGT", "fixed weight 0 names \"nobody\", which is no model",
         [](const chunkptr& r) { Kid(ClothOf(r), "FWGT")->setdata(Cat({U32s({1}), Str("nobody")})); }},
        {"cloth", E, "HEDR/MSH2/MODL[cape]/GEOM/CLTH/FWGT", "names \"body_lod2\", which is no bone",
         [](const chunkptr& r) { Kid(ClothOf(r), "FWGT")->setdata(Cat({U32s({1}), Str("body_lod2")})); }},
        // MSH_VALIDATION_FAIL_CLOTH_FIXED_WEIGHT_VALID: a bone by type, kept or not.
        {"cloth", E, "HEDR/MSH2/MODL[cape]/GEOM/CLTH/FWGT", "\"hp_fire\", which is no bone (MTYP 3) (kept as one",
         [](const chunkptr& r) { Kid(ClothOf(r), "FWGT")->setdata(Cat({U32s({1}), Str("hp_fire")})); }},
        {"cloth-weights", W, "HEDR/MSH2/MODL[cape]/GEOM/CLTH", "FIDX has 2 fixed vertices, FWGT 1 bone names",
         [](const chunkptr& r) { Kid(ClothOf(r), "FIDX")->setdata(U32s({2, 0, 1})); }},
        {"cloth", E, "HEDR/MSH2/MODL[cape]/GEOM/CLTH/COLL", "collision object 0 has the parent \"nobody\"",
         [](const chunkptr& r) {
             Kid(ClothOf(r), "COLL")->setdata(Cat({U32s({1}), Text("c"), Bytes{0}, Text("nobody"), Bytes{0}, U32s({0}), F32s({1, 1, 1}), Bytes(3, 0)}));
         }},
        {"cloth", E, "HEDR/MSH2/MODL[cape]/GEOM/CLTH/COLL", "collision object \"c\" has shape 3",
         [](const chunkptr& r) {
             Kid(ClothOf(r), "COLL")->setdata(Cat({U32s({1}), Text("c"), Bytes{0}, Text("bone_a"), Bytes{0}, U32s({3}), F32s({1, 1, 1}), Bytes(3, 0)}));
         }},
        {"rotation", W, "HEDR/MSH2/MODL[body]/TRAN", "the rotation quaternion has length 2, not 1",
         [](const chunkptr& r) { Kid(Model(r, "body"), "TRAN")->setdata(F32s({1, 1, 1, 0, 0, 0, 2, 0, 0, 0})); }},
        // Collision.
        {"collision-shape", W, "HEDR/MSH2/MODL[p_collision]/SWCI", "collision shape 3 is none of sphere, cylinder, box",
         [](const chunkptr& r) { Kid(Model(r, "p_collision"), "SWCI")->setdata(Cat({U32s({3}), F32s({1, 2, 3})})); }},
        {"collision", W, "HEDR/MSH2/MODL[p_box]", "a p_ model without SWCI",
         [](const chunkptr& r) { Kid(r, "MSH2")->AppendKid(Modl("p_box", 0, 30, "root", {Tran()})); }},
        {"collision", W, "HEDR/MSH2/MODL[p_-sx-coll]", "unknown collision flag 'x'",
         [](const chunkptr& r) { Kid(Model(r, "p_collision"), "NAME")->setdata(Str("p_-sx-coll")); }},
        {"collision", W, "HEDR/MSH2/MODL[collision_w]", "a collision mesh has weights",
         [](const chunkptr& r) {
             Kid(r, "MSH2")->AppendKid(Modl("collision_w", 1, 30, "root", {Tran(), C("GEOM", {StripSegment(), L("ENVL", 1, U32s({1}))})}));
         }},
        {"collision", W, "HEDR/MSH2/MODL[collision_b]", "a collision mesh follows the bone \"bone_a\", not the root",
         [](const chunkptr& r) {
             Kid(r, "MSH2")->AppendKid(Modl("collision_b", 4, 30, "bone_a", {Tran(), C("GEOM", {PolygonSegment()})}));
         }},
        // The compiler compiles both: it closes the triangle (shadow-closed),
        // and refuses an empty collision model (COLLISION_MESH_BAD_VERTEX_COUNT).
        {"shadow-closed", W, "HEDR/MSH2/MODL[sv_cap]/GEOM/SEGM/STRP", "3 open edges (the first from vertex 0 to 1",
         [](const chunkptr& r) {
             Kid(r, "MSH2")->AppendKid(Modl("sv_cap", 6, 30, "body", {D("FLGS", U32s({1})), Tran(),
                 C("GEOM", {C("SEGM", {D("MATI", U32s({0})), L("POSL", 3, F32s({0, 0, 0, 1, 0, 0, 0, 1, 0})),
                                      D("STRP", U16s(3, {0x8000, 0x8001, 2}))})})}));
         }},
        // One fault, two findings: the envelope's names its likely cause.
        {"envelope", E, "HEDR/MSH2/MODL[body]/GEOM/ENVL",
         "(1) is no model's MNDX: HEDR/MSH2/MODL[bone_a] may have had it before it took 0, the MNDX of HEDR/MSH2/MODL[root]",
         [](const chunkptr& r) { Kid(Model(r, "bone_a"), "MNDX")->setdata(U32s({0})); }, false},
        {"collision-empty", E, "HEDR/MSH2/MODL[collision]", "has no vertices",
         [](const chunkptr& r) { Kid(r, "MSH2")->AppendKid(Modl("collision", 0, 30, "root", {Tran()})); }},
    };
    return cases;
}

TEST(Check, EachFaultGivesOneFinding) {
    for (const Case& c : Cases()) {
        SCOPED_TRACE(std::string(c.rule) + ": " + c.message);
        chunkptr root = Good();
        c.fault(root);
        root->Update(1);
        std::vector<Finding> fs = check::CheckTree(*root);
        int found = 0;
        for (const Finding& f : fs) {
            if (f.rule != c.rule || f.path != c.path || f.message.find(c.message) == std::string::npos) continue;
            ++found;
            EXPECT_EQ(f.severity, c.severity);
            chunkptr where = f.where.lock();
            ASSERT_TRUE(where);
            const std::string last = std::string(c.path).substr(std::string(c.path).rfind('/') + 1, 4);
            EXPECT_EQ(where->name, last);
            EXPECT_GE(f.offset, 0);
        }
        EXPECT_EQ(found, 1) << Describe(fs);
        if (c.alone) {
            EXPECT_EQ(fs.size(), 1u) << Describe(fs);
        }
        // Read by the schema: the same findings when the editor's tree left
        // every container a block of bytes.
        chunkptr flat = testsupport::Parse(testsupport::Encode(root), {});
        ASSERT_TRUE(flat->kids.empty());
        EXPECT_EQ(Lines(check::CheckTree(*flat)), Lines(fs));
        // The tree is read in the pieces it holds; the file in one.
        EXPECT_EQ(Lines(check::CheckBytes(testsupport::Encode(root))), Lines(fs));
    }
}

TEST(Check, ShapesTheToolsAcceptGiveNoFinding) {
    for (auto fault : std::vector<std::function<void(const chunkptr&)>>{
             [](const chunkptr& r) { Kid(Model(r, "p_collision"), "SWCI")->setdata(Cat({U32s({2}), F32s({1, 2, 3})})); },
             [](const chunkptr& r) { Kid(Model(r, "body_lod2"), "NAME")->setdata(Str("body_LOD3")); },
             [](const chunkptr& r) { Kid(Model(r, "body_lod2"), "NAME")->setdata(Str("lowrez_body")); },
             [](const chunkptr& r) { BodySegment(r, 1)->AppendKid(D("CLRB", U32s({0xFFFFFFFF}))); },
             [](const chunkptr& r) { Drop(ClothOf(r), "COLL"); },
             [](const chunkptr& r) { Drop(r, "CL1L"), Kid(r, "MSH2")->AppendKid(D("CL1L", {})); },
             [](const chunkptr& r) { Drop(r, "ANM2"), Drop(r, "SKL2"), Drop(r, "BLN2"); },
             // Reordered children: a GEOM that starts with SEGM, a MODL with MNDX.
             [](const chunkptr& r) { Geom(r, "body")->AppendKid(Geom(r, "body")->RemoveKid(0)); },
             [](const chunkptr& r) { Model(r, "body")->AppendKid(Model(r, "body")->RemoveKid(0)); },
             // As many vertices as a segment may have.
             [](const chunkptr& r) {
                 for (const char* n : {"POSL", "NRML"})
                     Kid(BodySegment(r, 1), n)->setdata(Cat({U32s({32768}), Bytes(32768 * 12, 0)}));
             },
         }) {
        chunkptr root = Good();
        fault(root);
        root->Update(1);
        std::vector<Finding> fs = check::CheckTree(*root);
        EXPECT_TRUE(fs.empty()) << Describe(fs);
    }
}

// Faults in the bytes themselves: the file as written, then cut or changed.
struct ByteCase {
    const char* rule;
    Severity severity;
    const char* path;
    const char* message;
    std::function<Bytes(const Bytes&)> bytes;
};
const std::vector<ByteCase>& ByteCases() {
    auto cut = [](const Bytes& b, size_t n) { return Bytes(b.begin(), b.begin() + std::ptrdiff_t(n)); };
    static const std::vector<ByteCase> cases = {
        {"truncated", E, "HEDR/MSH2/SINF/NAME", "at offset 24 it declares 8 bytes of data, 4 are present",
         [=](const Bytes& b) { return cut(b, 36); }},
        // Inside a header: the chunk that holds it.
        {"truncated", E, "HEDR/MSH2/SINF", "at offset 16 it declares 88 bytes of data, 19 are present",
         [=](const Bytes& b) { return cut(b, 43); }},
        {"truncated", E, "", "the file holds 5 bytes", [=](const Bytes& b) { return cut(b, 5); }},
        // The compiler does not open SINF: it compiles this.
        {"chunk-layout", W, "HEDR/MSH2/SINF/NAME", "the chunk declares 200 bytes of data, its parent holds",
         [](Bytes b) {
             b[28] = 200;
             return b;
         }},
        {"version", E, "HEDR/MSH1", "an MSH1 scene",
         [](Bytes b) {
             b[8 + 3] = '1';
             return b;
         }},
    };
    return cases;
}

TEST(Check, ByteFaults) {
    const Bytes good = testsupport::Encode(Good());
    for (const ByteCase& c : ByteCases()) {
        SCOPED_TRACE(std::string(c.rule) + ": " + c.message);
        std::vector<Finding> fs = check::CheckBytes(c.bytes(good));
        ASSERT_FALSE(fs.empty());
        EXPECT_EQ(fs[0].rule, c.rule) << Describe(fs);
        EXPECT_EQ(fs[0].severity, c.severity);
        EXPECT_EQ(fs[0].path, c.path);
        EXPECT_NE(fs[0].message.find(c.message), std::string::npos) << fs[0].message;
        if (std::string(c.rule) != "version") {
            EXPECT_EQ(fs.size(), 1u) << Describe(fs);
        }
    }
}

struct OptionCase {
    const char* text;
    const char* rule;  // nullptr: no finding
    Severity severity;
    const char* path;
    const char* message;
};
const std::vector<OptionCase>& OptionCases() {
    static const std::vector<OptionCase> cases = {
        {"-nocollision -keep bone_a\n-attachlight \"body light\" -bump body -lodgroup bigmodel -scale 2.5", nullptr, E, "", ""},
        {"-boundingboxoffsetx 10.0 -boundingboxoffsety \"-2\" -hiresshadow -maxbones 8 -lodcostdivisor 4", nullptr, E, "", ""},
        {"-nocollision\n-scale big", "option", E, "m.msh.option:2", "-scale: needs a number, not \"big\""},
        // MSH_OPTION_LOAD_BAD_BOUNDING_BOX_OFFSET: "-2" is read as an option.
        {"-boundingboxoffsety -2", "option", E, "m.msh.option:1", "has no value: the compiler reads \"-2\" as the next option"},
        {"-lodcostdivisor x", "option", E, "m.msh.option:1", "needs a whole number"},
        // The compiler accepts these.
        {"-lodbias 1.5x", "option", W, "m.msh.option:1", "reads the number at the start of \"1.5x\""},
        {"-keep", "option", W, "m.msh.option:1", "names nothing"},
        {"-attachlight", "option", W, "m.msh.option:1", "names nothing"},
        {"// a comment", "option", W, "m.msh.option:1", "\"//\" is no option"},
        {"-lodgroup huge", "option", E, "m.msh.option:1", "needs model, bigmodel, soldier or hugemodel"},
        {"-hiresshadow 300", "option", E, "m.msh.option:1", "takes a level of detail 0 to 255"},
        {"-ambientlighting \"r=1 g=0\"", "option", E, "m.msh.option:1", "needs \"r=R g=G b=B\""},
        {"\n\n-nocolision", "option", W, "m.msh.option:3", "unknown option -nocolision"},
        {"-keep bone_a nobody", "option-name", W, "m.msh.option:1", "-keep names \"nobody\", which is no model"},
        {"-attachlight \"lamp light\"", "option-name", W, "m.msh.option:1", "-attachlight names \"lamp\""},
        {"-bump wood", "option-name", W, "m.msh.option:1", "-bump names the texture \"wood\", which no material uses"},
    };
    return cases;
}

TEST(Check, OptionFiles) {
    chunkptr root = Good();
    for (const OptionCase& c : OptionCases()) {
        SCOPED_TRACE(c.text);
        const check::OptionFile file{"m.msh.option", c.text};
        std::vector<Finding> fs = check::CheckTree(*root, {}, &file);
        // Only the option file's findings (-hiresshadow judges the body's shadow too).
        std::erase_if(fs, [](const Finding& f) { return f.offset >= 0; });
        if (!c.rule) {
            EXPECT_TRUE(fs.empty()) << Describe(fs);
            continue;
        }
        ASSERT_EQ(fs.size(), 1u) << Describe(fs);
        EXPECT_EQ(fs[0].rule, c.rule);
        EXPECT_EQ(fs[0].severity, c.severity);
        EXPECT_EQ(fs[0].path, c.path);
        EXPECT_NE(fs[0].message.find(c.message), std::string::npos) << fs[0].message;
    }
    // A kept model counts as a bone for envelopes.
    Kid(Geom(root, "body"), "ENVL")->setdata(U32s({1, 6}));
    root->Update(1);
    const check::OptionFile keep{"m.msh.option", "-keep body_lod2"};
    EXPECT_TRUE(check::CheckTree(*root, {}, &keep).empty());
}

// What the .req file cannot list is judged on the name without its extension.
TEST(Check, TextureNamesTheReqFileCannotList) {
    const struct {
        const char* name;
        const char* fault;  // null: the name is fine
    } cases[] = {
        {"wall.tga", nullptr},       {"wall", nullptr},          {"a.b.c.tga", nullptr},
        {"say\"hi\".tga", "a double quote"}, {"two\nlines.tga", "a line break"}, {"cr\r.tga", "a line break"},
        {"tex//old.tga", "\"//\""},  {"tex.t//ga", nullptr},      {"a/b.tga", nullptr},
        {"a=b.tga", "'=' followed by text"}, {"a=.tga", nullptr}, {"wall.v=2", nullptr},
    };
    for (const auto& c : cases) {
        const char* got = check::TextureNameFault(c.name);
        EXPECT_EQ(got ? std::string(got) : "", c.fault ? std::string(c.fault) : "") << c.name;
    }
}

TEST(Check, EveryRuleHasACaseAndItsTexts) {
    std::set<std::string> covered;
    for (const Case& c : Cases()) covered.insert(c.rule);
    for (const ByteCase& c : ByteCases()) covered.insert(c.rule);
    for (const OptionCase& c : OptionCases())
        if (c.rule) covered.insert(c.rule);
    // The mod tree's rules have their cases in modtree_test.cpp.
    for (const char* id : {"odf-user", "texture-missing", "texture-elsewhere", "tga-format", "tga-size", "odf-mesh", "odf-class",
                           "odf-node", "odf-node-dropped"})
        covered.insert(id);
    for (const check::Rule& r : check::Rules()) {
        EXPECT_TRUE(covered.count(r.id)) << "no case for " << r.id;
        EXPECT_TRUE(*r.means && *r.why && *r.fix) << r.id;
        EXPECT_EQ(check::FindRule(r.id), &r);
    }
}

TEST(Check, PathsNumberSameNamedSiblingsOnly) {
    chunkptr root = C("HEDR", {C("MSH2", {D("XXA1", {}), D("XXA1", {}), D("XXB1", {}),
                                          C("MODL", {D("XXC1", {})}), C("MODL", {D("NAME", Str("b")), D("XXD1", {})})})});
    root->Update(1);
    std::vector<std::string> paths;
    for (const Finding& f : check::CheckTree(*root))
        if (f.rule == "unknown-chunk") paths.push_back(f.path);
    EXPECT_EQ(paths, (std::vector<std::string>{"HEDR/MSH2/XXA1[0]", "HEDR/MSH2/XXA1[1]", "HEDR/MSH2/XXB1",
                                                "HEDR/MSH2/MODL[0]/XXC1", "HEDR/MSH2/MODL[b]/XXD1"}));
}

TEST(Check, WideAndDeepFilesStayBounded) {
    // 200,000 unknown chunks: the rule's findings capped with a closing
    // count. A chain of 200,000 nested ones: read as one record, no recursion.
    chunkptr wide = C("HEDR", {});
    for (int i = 0; i < 200000; ++i) wide->AppendKid(D("ZZZZ", {}));
    chunkptr deep = C("HEDR", {});
    chunkptr cur = deep;
    for (int i = 0; i < 200000; ++i) {
        chunkptr k = C("ZZZZ", {});
        cur->AppendKid(k);
        cur = k;
    }
    deep->Update(1), wide->Update(1);
    std::vector<Finding> fs = check::CheckTree(*wide);
    size_t unknown = 0;
    for (const Finding& f : fs) unknown += f.rule == "unknown-chunk" ? 1 : 0;
    EXPECT_EQ(unknown, check::kRuleLimit + 1);
    EXPECT_EQ(fs.back().message, "190000 more findings of this rule are not listed");
    fs = check::CheckTree(*deep);
    EXPECT_EQ(fs.size(), 3u) << Describe(fs);  // ZZZZ unknown, no scene, no CL1L
}

TEST(Check, HostileCountsReadNothingOutside) {
    chunkptr root = Good();
    for (const char* n : {"POSL", "NRML", "UV0L", "WGHT", "CLRL", "STRP"}) Kid(BodySegment(root, 0), n)->setdata(U32s({0xFFFFFFFF, 1}));
    Kid(BodySegment(root, 1), "NDXL")->setdata(U16s(0xFFFF, {0xFFFF, 1}));
    Kid(BodySegment(root, 1), "NDXT")->setdata(Bytes{1, 0});
    Kid(Kid(root, "ANM2"), "KFR3")->setdata(U32s({5, 1, 0, 0xFFFFFFFF, 0xFFFFFFFF}));
    Kid(Geom(root, "body"), "ENVL")->setdata(U32s({0x7FFFFFFF}));
    Kid(Kid(Geom(root, "sv_body"), "SEGM"), "SHDW")->setdata(U32s({0x7FFFFFFF, 0xFFFFFFFF}));
    for (const char* n : {"CPOS", "CUV0", "FIDX", "CMSH", "SPRS", "FWGT", "COLL"}) Kid(ClothOf(root), n)->setdata(U32s({0xFFFFFFF0}));
    Kid(Model(root, "root"), "TRAN")->setdata(Bytes{1, 2, 3});
    const Bytes before = testsupport::Encode(root);
    std::vector<Finding> fs = check::CheckTree(*root);
    Bytes after;
    root->save(after, 1);
    EXPECT_EQ(before, after);  // the check never changes the tree
    std::set<std::string> listfaults;
    for (const Finding& f : fs)
        if (f.rule == "list-count") listfaults.insert(f.path.substr(f.path.rfind('/') + 1));
    for (const char* n : {"POSL", "NRML", "UV0L", "WGHT", "CLRL", "STRP", "NDXL", "NDXT", "KFR3", "SHDW", "CPOS",
                          "FIDX", "FWGT", "COLL"})
        EXPECT_TRUE(listfaults.count(n)) << n << "\n" << Describe(fs);
}

TEST(Check, ErrorsFirstKeepsFileOrder) {
    chunkptr root = Good();
    Kid(Model(root, "hp_fire"), "NAME")->setdata(Str("HP_fire"));  // warning, late
    Model(root, "root")->AppendKid(D("ABCD", {}));                   // warning, early
    Kid(BodySegment(root, 1), "MATI")->setdata(U32s({7}));            // error
    Kid(Model(root, "root"), "MTYP")->setdata(U32s({9}));             // error, earlier
    root->Update(1);
    std::vector<Finding> fs = check::CheckTree(*root);
    check::SortErrorsFirst(fs);
    std::vector<std::string> rules;
    for (const Finding& f : fs) rules.push_back(f.rule);
    EXPECT_EQ(rules, (std::vector<std::string>{"model-type", "material-index", "unknown-chunk", "name-case"}))
        << Describe(fs);
}

}  // namespace
