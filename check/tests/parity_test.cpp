// The check against the model compiler's verdict: one small mesh per rule
// whose verdict follows the compiler, each with what the compiler says of it
// (its error code, or that it compiles), as the compiler built as a
// command-line checker reported it. The check errs exactly where the
// compiler refuses, except where a fault it lets through breaks the game or
// the level build later (kept). With VORNA_PARITY_DIR set, the meshes and
// their option files are written there, for tools/oracle_parity.sh.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <limits>

#include "check/check.h"
#include "check/tests/check_meshes.h"

namespace {

using namespace checkmesh;
using check::Finding;
using check::Severity;
constexpr Severity E = Severity::error, W = Severity::warning;
constexpr float kInf = std::numeric_limits<float>::infinity();

chunkptr Msh2(const chunkptr& r) { return Kid(r, "MSH2"); }
chunkptr Seg(const chunkptr& r, const std::string& model, int i = 0) { return Kid(Kid(Model(r, model), "GEOM"), "SEGM", i); }
// A segment of n vertices on a line and one strip through them.
chunkptr Strip(uint32_t n, float at = 0) {
    Bytes pos, strp = U32s({n});
    for (uint32_t i = 0; i < n; ++i) pos = Cat({pos, F32s({float(i % 181), float(i / 181) + at, float(i % 2)})});
    for (uint32_t i = 0; i < n; ++i) strp = Cat({strp, testsupport::U16s({uint16_t(i < 2 ? 0x8000 | i : i)})});
    strp.resize((strp.size() + 3) / 4 * 4, 0);
    return C("SEGM", {D("MATI", U32s({0})), L("POSL", n, pos), D("STRP", strp)});
}
// A closed tetrahedron in one strip, and the same with a face left out.
chunkptr Tetra(bool open) {
    return C("SEGM", {D("MATI", U32s({0})), L("POSL", 4, F32s({0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1})),
                      open ? D("STRP", U16s(5, {0x8000, 0x8001, 2, 3, 0}))
                           : D("STRP", U16s(6, {0x8000, 0x8001, 2, 3, 0, 1}))});
}
// A clean mesh the compiler compiles without a warning: a root with a
// strip segment and a collision model.
chunkptr Base() {
    chunkptr r = C("HEDR", {C("MSH2", {C("SINF", {D("NAME", Str("scene")), D("FRAM", Cat({U32s({0, 1}), F32s({30})})), Bbox()}),
                                       C("MATL", {Matd("wall", false)}),
                                       Modl("root", 0, 1, "", {Tran(), C("GEOM", {Bbox(), Strip(4)})}),
                                       Modl("collision", 0, 2, "root", {D("FLGS", U32s({1})), Tran(), C("GEOM", {Bbox(), Strip(4)})})}),
                            D("CL1L", {})});
    Kid(Msh2(r), "MATL")->setdata(U32s({1}));
    r->Update(1);
    return r;
}

struct Verdict {
    const char* what;
    const char* compiler;  // "compiles" or its error code
    bool kept;             // an error of the check although the compiler compiles
    const char* rule;      // the check's finding
    Severity severity;
    const char* options;   // the option file, or null
    std::function<void(const chunkptr&)> fault;
};

const std::vector<Verdict>& Verdicts() {
    static const std::vector<Verdict> v = {
        {"base", "compiles", false, nullptr, W, nullptr, [](const chunkptr&) {}},
        // Mesh data is STRP triangles, of a model of any type.
        {"bone-geometry", "compiles", false, nullptr, W, nullptr,
         [](const chunkptr& r) { Kid(Model(r, "root"), "MTYP")->setdata(U32s({3})); }},
        {"ndxt-only", "MSH_VALIDATION_FAIL_NODE_MESH_DATA", false, "scene-empty", E, "-nocollision",
         [](const chunkptr& r) {
             for (const char* m : {"root", "collision"}) {
                 chunkptr s = Seg(r, m);
                 s->RemoveKid(size_t(s->IndexOfKid(Kid(s, "STRP").get())));
                 s->AppendKid(D("NDXT", U16s(2, {0, 1, 2, 1, 2, 3})));
             }
         }},
        // Weights: a hard skin uses the bone index only.
        {"nan-weight", "compiles", false, "not-finite", W, nullptr,
         [](const chunkptr& r) {
             Seg(r, "root")->AppendKid(L("WGHT", 4, Cat({U32s({0}), F32s({std::nanf("")}), Bytes(24, 0), U32s({0}), F32s({1}), Bytes(24, 0),
                                                         U32s({0}), F32s({1}), Bytes(24, 0), U32s({0}), F32s({1}), Bytes(24, 0)})));
             Kid(Model(r, "root"), "GEOM")->AppendKid(L("ENVL", 1, U32s({1})));
         }},
        // Soft skinning blends by the weight: the vertex goes nowhere in game.
        {"nan-weight-softskin", "compiles", true, "not-finite", E, "-softskin",
         [](const chunkptr& r) {
             Seg(r, "root")->AppendKid(L("WGHT", 4, Cat({U32s({0}), F32s({std::nanf("")}), Bytes(24, 0), U32s({0}), F32s({1}), Bytes(24, 0),
                                                         U32s({0}), F32s({1}), Bytes(24, 0), U32s({0}), F32s({1}), Bytes(24, 0)})));
             Kid(Model(r, "root"), "GEOM")->AppendKid(L("ENVL", 1, U32s({1})));
         }},
        // Chunks the compiler never reads.
        {"short-sinf-bbox", "compiles", false, "record-size", W, nullptr,
         [](const chunkptr& r) { Kid(Kid(Msh2(r), "SINF"), "BBOX")->setdata(F32s({0, 0, 0})); }},
        {"ndxl-index", "compiles", false, "index-range", W, nullptr,
         [](const chunkptr& r) { Seg(r, "root")->AppendKid(D("NDXL", U16s(1, {3, 0, 1, 9}))); }},
        {"ndxt-count", "compiles", false, "list-count", W, nullptr,
         [](const chunkptr& r) { Seg(r, "root")->AppendKid(D("NDXT", U16s(5, {0, 1, 2}))); }},
        {"infinite-tran", "compiles", false, "not-finite", W, nullptr,
         [](const chunkptr& r) { Kid(Model(r, "root"), "TRAN")->setdata(F32s({1, 1, 1, 0, 0, 0, 1, kInf, 0, 0})); }},
        // Kept: the level build, a read past the cloth, an infinite box.
        {"texture-quote", "compiles", true, "texture-name", E, nullptr,
         [](const chunkptr& r) { Kid(Kid(Kid(Msh2(r), "MATL"), "MATD"), "TX0D")->setdata(Str("wa\"ll.tga")); }},
        {"infinite-position", "compiles", true, "not-finite", E, nullptr,
         [](const chunkptr& r) { Kid(Seg(r, "root"), "POSL")->setdata(Cat({U32s({4}), F32s({0, 0, 0, 1, 0, 0, 0, kInf, 0, 1, 1, 0})})); }},
        {"text-without-zero", "MSH_UCFB_CHUNK_READ_OVERRUN", false, "text", E, nullptr,
         [](const chunkptr& r) { Kid(Model(r, "collision"), "PRNT")->setdata(Text("root")); }},
        {"no-mati-no-material", "MSH_VALIDATION_FAIL_GEOMETRY_SEGMENT_MATERIAL_INDEX", false, "material-index", E, nullptr,
         [](const chunkptr& r) {
             Msh2(r)->RemoveKid(size_t(Msh2(r)->IndexOfKid(Kid(Msh2(r), "MATL").get())));
             chunkptr s = Seg(r, "root");
             s->RemoveKid(size_t(s->IndexOfKid(Kid(s, "MATI").get())));
             Kid(Kid(Model(r, "collision"), "GEOM"), "SEGM")->RemoveKid(0);
         }},
        // Collision.
        {"collision-no-geometry", "COLLISION_MESH_BAD_VERTEX_COUNT", false, "collision-empty", E, nullptr,
         [](const chunkptr& r) { Model(r, "collision")->RemoveKid(size_t(Model(r, "collision")->IndexOfKid(Kid(Model(r, "collision"), "GEOM").get()))); }},
        {"collision-no-triangles", "COLLISION_MESH_BAD_TRIANGLE_COUNT", false, "collision-empty", E, nullptr,
         [](const chunkptr& r) { Kid(Seg(r, "collision"), "STRP")->setdata(U16s(2, {0x8000, 0x8001})); }},
        {"implicit-collision-too-big", "COLLISION_MESH_TOO_MANY_VERTICES", false, "vertex-limit", E, nullptr,
         [](const chunkptr& r) {
             Msh2(r)->RemoveKid(size_t(Msh2(r)->IndexOfKid(Model(r, "collision").get())));
             chunkptr g = Kid(Model(r, "root"), "GEOM");
             for (int i = 0; i < 3; ++i) g->AppendKid(Strip(22000, float(200 * i)));
         }},
        {"implicit-collision-weights", "compiles", false, "collision", W, nullptr,
         [](const chunkptr& r) {
             Msh2(r)->RemoveKid(size_t(Msh2(r)->IndexOfKid(Model(r, "collision").get())));
             Seg(r, "root")->AppendKid(L("WGHT", 4, Cat({U32s({0}), F32s({1}), Bytes(24, 0), U32s({0}), F32s({1}), Bytes(24, 0),
                                                         U32s({0}), F32s({1}), Bytes(24, 0), U32s({0}), F32s({1}), Bytes(24, 0)})));
             Kid(Model(r, "root"), "GEOM")->AppendKid(L("ENVL", 1, U32s({1})));
         }},
        {"collision-below-bone", "compiles", false, "collision", W, nullptr,
         [](const chunkptr& r) {
             Msh2(r)->AppendKid(Modl("bone", 3, 3, "root", {Tran()}));
             Kid(Model(r, "collision"), "PRNT")->setdata(Str("bone"));
         }},
        // Cloth: a fixed weight on a kept model that is not a bone.
        {"cloth-weight-hardpoint", "MSH_VALIDATION_FAIL_CLOTH_FIXED_WEIGHT_VALID", false, "cloth", E, nullptr,
         [](const chunkptr& r) {
             Msh2(r)->AppendKid(Modl("hp_a", 0, 3, "root", {Tran()}));
             chunkptr cloth = Cloth();
             Kid(cloth, "FWGT")->setdata(Cat({U32s({1}), Str("hp_a")}));
             Msh2(r)->AppendKid(Modl("cape", 2, 4, "root", {Tran(), C("GEOM", {cloth})}));
         }},
        // Shadow volumes.
        {"unhidden-skinned-sv", "compiles", false, "shadow-visible", W, nullptr,
         [](const chunkptr& r) { Msh2(r)->AppendKid(Modl("sv_a", 1, 3, "root", {Tran(), C("GEOM", {Bbox(), Tetra(false)})})); }},
        {"open-shadow", "compiles", false, "shadow-closed", W, nullptr,
         [](const chunkptr& r) {
             Msh2(r)->AppendKid(Modl("sv_a", 6, 3, "root", {D("FLGS", U32s({1})), Tran(), C("GEOM", {Bbox(), Tetra(true)})}));
         }},
        {"hiresshadow-open", "compiles", false, "shadow-closed", W, "-hiresshadow", [](const chunkptr&) {}},
        // Option values.
        {"lodbias-suffix", "compiles", false, "option", W, "-lodbias 1.5x", [](const chunkptr&) {}},
        {"keep-nothing", "compiles", false, "option", W, "-keep", [](const chunkptr&) {}},
        {"lodcostdivisor", "MSH_OPTION_LOAD_BAD_LOD_COST_DIVISOR", false, "option", E, "-lodcostdivisor x", [](const chunkptr&) {}},
        {"negative-offset", "MSH_OPTION_LOAD_BAD_BOUNDING_BOX_OFFSET", false, "option", E, "-boundingboxoffsetx -1",
         [](const chunkptr&) {}},
        {"attachlight-half", "MSH_OPTION_LOAD_BAD_ATTACH_LIGHT", false, "option", E, "-attachlight root", [](const chunkptr&) {}},
        {"hiresshadow-300", "MSH_OPTION_LOAD_BAD_HI_RES_SHADOW", false, "option", E, "-hiresshadow 300", [](const chunkptr&) {}},
    };
    return v;
}

TEST(CompilerVerdict, TheCheckErrsWhereTheCompilerRefuses) {
    const char* dump = std::getenv("VORNA_PARITY_DIR");
    for (const Verdict& c : Verdicts()) {
        SCOPED_TRACE(c.what);
        chunkptr r = Base();
        c.fault(r);
        r->Update(1);
        const Bytes bytes = testsupport::Encode(r);
        const check::OptionFile file{std::string(c.what) + ".msh.option", c.options ? c.options : ""};
        const std::vector<Finding> fs = check::CheckBytes(bytes, c.options ? &file : nullptr);
        bool error = false, found = !c.rule;
        std::string all;
        for (const Finding& f : fs) {
            error = error || f.severity == E;
            found = found || (f.rule == c.rule && f.severity == c.severity);
            all += std::string(check::SeverityName(f.severity)) + " [" + f.rule + "] " + f.message + "\n";
        }
        const bool refused = std::string(c.compiler) != "compiles";
        EXPECT_EQ(error, refused || c.kept) << all;
        EXPECT_TRUE(found) << all;
        if (dump) {
            std::ofstream(std::string(dump) + "/" + c.what + ".msh", std::ios::binary)
                .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
            if (c.options) std::ofstream(std::string(dump) + "/" + c.what + ".msh.option") << c.options;
        }
    }
}

}  // namespace
