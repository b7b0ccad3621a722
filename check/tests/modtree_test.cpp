// The mod tree check: TGA headers of each kind, ODF lines, and a small tree
// in a scratch folder with a mesh, its option file, ODFs that use every kind
// of reference and TGAs in and out of the places the build looks, checked by
// mshtool check.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <set>
#include <string>
#include <tuple>
#include <vector>

#include <nlohmann/json.hpp>

#include "check/modtree.h"
#include "check/odf.h"
#include "check/tga.h"
#include "tests/support/chunks.h"
#include "tests/support/run.h"
#include "tests/support/scratch.h"

namespace {

using namespace testsupport;
using check::Severity;

// An 18-byte header: image type, colour map type, sides, depth, descriptor.
Bytes Tga(uint8_t type, uint8_t maptype, uint16_t w, uint16_t h, uint8_t depth, uint8_t descriptor = 0) {
    Bytes b = Zeros(18);
    b[1] = maptype;
    b[2] = type;
    b[12] = uint8_t(w), b[13] = uint8_t(w >> 8);
    b[14] = uint8_t(h), b[15] = uint8_t(h >> 8);
    b[16] = depth;
    b[17] = descriptor;
    return b;
}

TEST(ModTree, TgaHeadersOfEachKind) {
    using check::TgaShape;
    struct Case {
        const char* what;
        Bytes head;
        int64_t size;  // -1: exactly header and pixels
        std::vector<std::string> rules;
        TgaShape shape = TgaShape::plain;
    };
    const Case cases[] = {
        {"true colour 24", Tga(2, 0, 64, 32, 24), -1, {}},
        {"true colour 32, top-down", Tga(2, 0, 4, 4, 32, 0x28), -1, {}},
        {"greyscale 8", Tga(3, 0, 16, 16, 8), -1, {}},
        {"run-length compressed", Tga(10, 0, 64, 64, 24), 100, {"tga-format"}},
        {"colour-mapped", Tga(1, 1, 64, 64, 8), 20000, {"tga-format"}},
        {"compressed and colour-mapped", Tga(9, 1, 64, 64, 8), 20000, {"tga-format", "tga-format"}},
        {"no image", Tga(0, 0, 64, 64, 24), -1, {"tga-format"}},
        {"greyscale 16", Tga(3, 0, 64, 64, 16), -1, {"tga-format"}},
        {"true colour 8", Tga(2, 0, 64, 64, 8), -1, {"tga-format"}},
        {"interleaved", Tga(2, 0, 64, 64, 24, 0x40), -1, {"tga-format"}},
        {"no pixels", Tga(2, 0, 0, 64, 24), -1, {"tga-format"}},
        {"ends inside its pixels", Tga(2, 0, 64, 64, 24), 18 + 64 * 64 * 3 - 1, {"tga-format"}},
        {"header cut", Bytes(10, 0), 10, {"tga-format"}},
        {"sides not powers of two", Tga(2, 0, 48, 64, 24), -1, {"tga-size"}},
        {"larger than 4096", Tga(2, 0, 8192, 16, 32), -1, {"tga-size"}},
        {"cube map of square faces", Tga(2, 0, 512, 384, 32), -1, {}, TgaShape::cube},
        {"cube map not 4 x 3", Tga(2, 0, 512, 512, 32), -1, {"tga-format"}, TgaShape::cube},
        {"cube map, faces not powers of two", Tga(2, 0, 480, 360, 32), -1, {"tga-size"}, TgaShape::cube},
        {"volume of any height", Tga(2, 0, 64, 192, 32), -1, {}, TgaShape::volume},
    };
    for (const Case& c : cases) {
        int64_t size = c.size;
        if (size < 0) size = 18 + int64_t(c.head[12] | c.head[13] << 8) * (c.head[14] | c.head[15] << 8) * (c.head[16] / 8);
        std::vector<std::string> got;
        for (const check::TgaProblem& p : check::CheckTgaHeader(c.head, size, c.shape)) got.push_back(p.rule);
        EXPECT_EQ(got, c.rules) << c.what;
    }
}

TEST(ModTree, OdfLinesAndTheReferencesTheyMake) {
    const std::string text =
        "[GameObjectClass]\r\n"
        "ClassLabel = \"armedbuilding\"\n"
        "GeometryName = \"tower.msh\"\n"
        "\n"
        "[Properties]\n"
        "// FirePointName = \"commented\"\n"
        "\\\\ ----- a comment too -----\n"
        "  TurretNodeName   =   aimer   // after the value\n"
        "PS2:FirePointName = \"hp_ps2\"\n"
        "PC:FirePointName = \"hp_pc\"\n"
        "HoloImageGeometry = \"com_icon_alliance alliance\"\n"
        "SoldierCollision = \"none\"\n"
        "ChunkNodeName = \"\"\n"
        "MaxHealth = 800.0\n"
        "no equals sign here\n";
    const check::Odf odf = check::ParseOdf(text);
    using Row = std::tuple<std::string, std::string, int, check::OdfRef, std::string>;
    std::vector<Row> got;
    for (const check::OdfProperty& p : odf.properties) {
        const check::OdfRef kind = check::RefOf(p.key);
        got.emplace_back(p.key, p.value, p.line, kind, check::RefTarget(kind, p.value));
    }
    using R = check::OdfRef;
    const std::vector<Row> want = {
        {"ClassLabel", "armedbuilding", 2, R::none, ""},
        {"GeometryName", "tower.msh", 3, R::mesh, "tower"},
        {"TurretNodeName", "aimer", 8, R::node, "aimer"},
        {"FirePointName", "hp_pc", 10, R::node, "hp_pc"},
        {"HoloImageGeometry", "com_icon_alliance alliance", 11, R::mesh, "com_icon_alliance"},
        {"SoldierCollision", "none", 12, R::collision, ""},
        {"ChunkNodeName", "", 13, R::node, ""},
        {"MaxHealth", "800.0", 14, R::none, ""},
    };
    EXPECT_EQ(got, want);
    EXPECT_FALSE(odf.weapon);
    EXPECT_TRUE(check::ParseOdf("[WeaponClass]\nFirePointName = hp_fire\n").weapon);
    EXPECT_EQ(check::ShapeFromOptions("-format A8R8G8B8 -CubeMap -maps 1"), check::TgaShape::cube);
    EXPECT_EQ(check::ShapeFromOptions("-volume -depth 4"), check::TgaShape::volume);
    EXPECT_EQ(check::ShapeFromOptions("-cubemaps"), check::TgaShape::plain);
}

// A model: its type, name, parent and index, and a GEOM with an ENVL when
// envelope is given.
Bytes Model(int type, const std::string& name, const std::string& parent, int index, std::vector<uint32_t> envelope = {}) {
    Bytes body = Cat({Ck("MTYP", U32s({uint32_t(type)})), Ck("MNDX", U32s({uint32_t(index)})), Ck("NAME", Str(name))});
    if (!parent.empty()) body = Cat({body, Ck("PRNT", Str(parent))});
    if (!envelope.empty()) {
        Bytes envl = U32s({uint32_t(envelope.size())});
        for (uint32_t e : envelope) envl = Cat({envl, U32s({e})});
        body = Cat({body, Ck("GEOM", Cat({Ck("BBOX", Zeros(44)), Ck("ENVL", envl)}))});
    }
    return Ck("MODL", body);
}

Bytes MeshOf(std::vector<std::string> textures, std::vector<Bytes> models) {
    Bytes matd = Ck("NAME", Str("mat"));
    const char* slots[] = {"TX0D", "TX1D", "TX2D", "TX3D"};
    for (size_t i = 0; i < textures.size(); ++i) matd = Cat({matd, Ck(slots[i], Str(textures[i]))});
    Bytes msh2 = Ck("MATL", Cat({U32s({1}), Ck("MATD", matd)}));
    for (const Bytes& m : models) msh2 = Cat({msh2, m});
    return Ck("HEDR", Ck("MSH2", msh2));
}

Bytes Pixels(uint16_t w, uint16_t h) {
    Bytes b = Tga(2, 0, w, h, 24);
    b.resize(18 + size_t(w) * h * 3, 0x40);
    return b;
}

using Row = std::tuple<std::string, std::string, std::string, std::string, int>;  // rule, severity, file, target, line

// The findings of the mod tree's rules in mshtool check --json's output, and
// the first line whose target is `keep`.
std::set<Row> TreeRows(const std::string& out, const std::string& keep, nlohmann::json& kept) {
    std::set<Row> rows;
    size_t start = 0;
    while (start < out.size()) {
        const size_t end = out.find('\n', start);
        const nlohmann::json j = nlohmann::json::parse(out.substr(start, end - start));
        start = end + 1;
        if (!j.contains("target")) continue;  // a single mesh's finding: other tests' business
        rows.emplace(j["rule"], j["severity"], j["file"], j["target"], j["line"].is_null() ? 0 : int(j["line"]));
        if (j["target"] == keep && kept.is_null()) kept = j;
    }
    return rows;
}

TEST(ModTree, MshtoolChecksTheReferencesBetweenTheFiles) {
    ScratchDir dir("modtree");
    dir.Write("Sides/tow/msh/tower.msh",
              MeshOf({"tower.tga", "far.tga", "Lit.TGA", "stock.tga"},
                     {Model(0, "tower", "", 1), Model(0, "aimer", "tower", 2), Model(0, "barrel", "aimer", 3),
                      Model(0, "hp_fire", "barrel", 4), Model(3, "bone_a", "tower", 5), Model(0, "skinned", "tower", 6, {7}),
                      Model(0, "bent", "tower", 7), Model(0, "p_wall", "tower", 8), Model(0, "collision_base", "tower", 9)}));
    dir.Write("Sides/tow/msh/tower.msh.option", std::string("-keep aimer\n"));
    dir.Write("Sides/tow/msh/PC/lit.tga", Pixels(4, 4));    // its PC folder, another case
    dir.Write("Sides/tow/effects/tower.tga", Pixels(4, 4));  // the same side's build
    dir.Write("Sides/other/far.tga", Pixels(4, 4));          // another side's
    dir.Write("Sides/other/rle.tga", Tga(10, 0, 4, 4, 24));
    dir.Write("Common/odd.tga", Pixels(3, 4));
    dir.Write("Common/cube.tga", Pixels(8, 6));
    dir.Write("Common/cube.tga.option", std::string("-cubemap\n"));
    dir.Write("Common/hull.msh", MeshOf({"odd.tga"}, {Model(0, "hull", "", 1)}));
    dir.Write("Sides/tow/odf/tower.odf",
              "[GameObjectClass]\nClassLabel = \"armedbuilding\"\nGeometryName = \"tower.msh\"\n[Properties]\n"
              "TurretNodeName = \"AIMER\"\nBarrelNodeName = \"barrel\"\nFirePointName = \"hp_fire\"\n"
              "AimerNodeName = \"bone_a\"\nPilotPosition = \"bent\"\nDamageAttachPoint = \"hp_smoke\"\n"
              "SoldierCollision = \"p_wall\"\nSoldierCollision = \"p_gone\"\nOrdnanceCollision = \"CollisionMesh\"\n"
              "DestroyedGeometryName = \"tower_dead\"\nClothODF = \"flag_cloth\"\n");
    // A parent without a mesh of its own: its node is checked in each child.
    dir.Write("Sides/tow/odf/base.odf", "[GameObjectClass]\nClassLabel = \"prop\"\n[Properties]\nFirePointName = \"hp_fire\"\n");
    dir.Write("Sides/tow/odf/hull.odf", "[GameObjectClass]\nClassParent = \"base\"\n[Properties]\nGeometryName = \"hull\"\n");
    dir.Write("Sides/tow/odf/tower2.odf", "[GameObjectClass]\nClassParent = \"base\"\nGeometryName = \"tower\"\n");
    dir.Write("Sides/tow/odf/kid.odf", "[GameObjectClass]\nClassParent = \"com_stock_class\"\n[Properties]\n"
                                       "FirePointName = \"hp_none\"\n");
    dir.Write("Sides/tow/odf/gun.odf", "[WeaponClass]\nClassLabel = \"cannon\"\nGeometryName = \"tower\"\n"
                                       "[Properties]\nFirePointName = \"hp_owner\"\n");
    dir.Write("Sides/tow/odf/._tower.odf", std::string("\x00\x05\x16\x07 GeometryName = gone", 24));
    dir.Write("stock/tower_dead.msh", Bytes{});
    dir.Write("stock/PC/stock.tga", Bytes{});
    ASSERT_EQ(::mkfifo((dir / "Sides/tow/odf/pipe.odf").c_str(), 0600), 0);  // no file of the tree: never opened

    struct Run {
        const char* args;
        std::set<Row> want;
    };
    const std::set<Row> always = {
        {"texture-elsewhere", "warning", "Sides/tow/msh/tower.msh", "far.tga", 0},
        {"tga-format", "error", "Sides/other/rle.tga", "", 0},
        {"tga-size", "warning", "Common/odd.tga", "", 0},
        {"odf-node-dropped", "warning", "Sides/tow/odf/tower.odf", "barrel", 6},
        {"odf-node", "warning", "Sides/tow/odf/tower.odf", "hp_smoke", 10},
        {"odf-node", "warning", "Sides/tow/odf/tower.odf", "p_gone", 12},
        {"odf-node", "warning", "Sides/tow/odf/base.odf", "hp_fire", 4},  // for hull.odf, not tower2.odf
    };
    std::set<Row> bare = always, based = always;
    bare.insert({{"texture-missing", "note", "Sides/tow/msh/tower.msh", "stock.tga", 0},
                 {"odf-mesh", "note", "Sides/tow/odf/tower.odf", "tower_dead", 14},
                 {"odf-class", "note", "Sides/tow/odf/tower.odf", "flag_cloth", 15},
                 {"odf-class", "note", "Sides/tow/odf/kid.odf", "com_stock_class", 2}});
    based.insert({{"odf-class", "warning", "Sides/tow/odf/tower.odf", "flag_cloth", 15},
                  {"odf-class", "warning", "Sides/tow/odf/kid.odf", "com_stock_class", 2}});
    for (const Run& run : {Run{"check --json Sides Common", bare}, Run{"check --json --base stock Sides Common", based}}) {
        const Outcome o = RunIn(dir.path(), MSHTOOL_PATH, run.args);
        EXPECT_EQ(o.code, 1) << run.args << "\n" << o.err;  // the compressed TGA
        nlohmann::json smoke;
        EXPECT_EQ(TreeRows(o.out, "hp_smoke", smoke), run.want) << run.args;
        // Both ends of the reference, for scripts to join.
        EXPECT_EQ(smoke["property"], "DamageAttachPoint");
        EXPECT_EQ(smoke["target_file"], "Sides/tow/msh/tower.msh");
        EXPECT_NE(o.err.find("odf-node: 3 warnings"), std::string::npos) << o.err;
    }
    // The editor's view of one mesh: the ODFs that use it and what fails
    // among their references, with the mesh as it is now (a node added).
    const Bytes changed = MeshOf({"tower.tga", "far.tga", "Lit.TGA", "stock.tga"},
                                 {Model(0, "tower", "", 1), Model(0, "barrel", "tower", 3), Model(0, "hp_smoke", "tower", 4),
                                  Model(0, "p_wall", "tower", 8)});
    const check::MeshInTree in = check::CheckMeshInTree(dir / "Sides/tow/msh/tower.msh", changed, "");
    EXPECT_EQ(in.root, dir.path());
    EXPECT_EQ(in.odfs, (std::vector<std::string>{dir / "Sides/tow/odf/gun.odf", dir / "Sides/tow/odf/tower.odf",
                                                 dir / "Sides/tow/odf/tower2.odf"}));
    std::set<std::pair<std::string, std::string>> found;  // rule, target
    for (const check::TreeFinding& f : in.findings) found.emplace(f.rule, f.target);
    const std::set<std::pair<std::string, std::string>> expected = {
        {"texture-elsewhere", "far.tga"}, {"texture-elsewhere", "stock.tga"}, {"odf-node-dropped", "barrel"},
        {"odf-node", "AIMER"},            {"odf-node", "hp_fire"},          {"odf-node", "bone_a"},
        {"odf-node", "bent"},             {"odf-node", "p_gone"},           {"odf-node", "CollisionMesh"},
        {"odf-class", "flag_cloth"}};  // the tree around the mesh holds stock/ too
    EXPECT_EQ(found, expected);
    ScratchDir lone("modtree-lone");
    EXPECT_TRUE(check::CheckMeshInTree(lone.Write("a/b.msh", changed), changed, "").root.empty());

    const Outcome text = RunIn(dir.path(), MSHTOOL_PATH, "check Sides Common");
    EXPECT_NE(text.out.find("Sides/tow/odf/tower.odf:10: warning: DamageAttachPoint: [odf-node] node \"hp_smoke\""),
              std::string::npos) << text.out;
    EXPECT_NE(text.err.find("4 references left unresolved as possible stock assets"), std::string::npos) << text.err;
}

}  // namespace
