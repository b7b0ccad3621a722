// The differences between two meshes: planted changes give exactly their
// lines, a mesh compared with itself gives none.
#include <gtest/gtest.h>

#include "diff/diff.h"
#include "tests/support/chunks.h"

namespace {

using namespace testsupport;

// A model: its name, its parent, where it stands and three vertices.
mesh::chunkptr Model(const std::string& name, const std::string& parent = "", float y = 1) {
    mesh::chunkptr m = Node("MODL", {Leaf("MTYP", I32s({4})), Leaf("NAME", Str(name))});
    if (!parent.empty()) m->AppendKid(Leaf("PRNT", Str(parent)));
    m->AppendKid(Leaf("TRAN", F32s({1, 1, 1, 0, 0, 0, 1, 0, y, 0})));
    m->AppendKid(Node("GEOM", {Node("SEGM", {Leaf("MATI", I32s({0})),
                                             Leaf("POSL", Cat({I32s({3}), F32s({0, 0, 0, 1, y, 0, 2, 2, 2})})),
                                             Leaf("STRP", Cat({I32s({3}), U16s({0x8000, 0x8001, 2})}))})}));
    return m;
}

mesh::chunkptr Material(const std::string& name, float red = 1) {
    return Node("MATD", {Leaf("NAME", Str(name)), Leaf("DATA", F32s({red, 1, 1, 1, 0, 0, 0, 1, 0, 0, 0, 1, 50}))});
}

// A scene: the materials (grouped, as the editor reads them) and the models.
mesh::chunkptr Scene(std::initializer_list<mesh::chunkptr> materials, std::initializer_list<mesh::chunkptr> models) {
    mesh::chunkptr matl = Node("MATL", materials);
    mesh::chunkptr msh2 = Node("MSH2", {Node("SINF", {Leaf("NAME", Str("scene"))}), matl});
    for (const mesh::chunkptr& m : models) msh2->AppendKid(m);
    mesh::chunkptr root = Node("HEDR", {msh2});
    root->Update(1);
    return root;
}

std::vector<std::string> Lines(const mesh::chunkptr& a, const mesh::chunkptr& b, double tolerance = 0) {
    meshdiff::Options o;
    o.tolerance = tolerance;
    o.elements = 2;
    std::vector<std::string> lines;
    for (const meshdiff::Difference& d : meshdiff::Diff(*a, *b, o)) lines.push_back(meshdiff::Line(d));
    return lines;
}

mesh::chunkptr Base() {
    return Scene({Material("wood"), Material("iron")}, {Model("root"), Model("body", "root"), Model("door", "body")});
}

TEST(MeshDiff, PlantedChangesGiveExactlyTheirLines) {
    const std::string segm = "HEDR/MSH2/MODL[door]/GEOM/SEGM";
    const struct {
        const char* what;
        mesh::chunkptr b;
        double tolerance;
        std::vector<std::string> lines;
    } cases[] = {
        {"the same mesh", Base(), 0, {}},
        {"one vertex", Scene({Material("wood"), Material("iron")},
                             {Model("root"), Model("body", "root"), Model("door", "body", 1.5f)}),
         0,
         {"HEDR/MSH2/MODL[door]/TRAN.translation (0, 1, 0) -> (0, 1.5, 0)",
          segm + "/POSL[1] (1, 1, 0) -> (1, 1.5, 0)"}},
        {"within the tolerance", Scene({Material("wood"), Material("iron")},
                                       {Model("root"), Model("body", "root"), Model("door", "body", 1.5f)}),
         0.6, {}},
        {"exactly the tolerance apart", Scene({Material("wood"), Material("iron")},
                                              {Model("root"), Model("body", "root"), Model("door", "body", 1.5f)}),
         0.5, {}},
        {"a renamed model", Scene({Material("wood"), Material("iron")},
                                  {Model("root"), Model("hull", "root"), Model("door", "hull")}),
         0,
         {"HEDR/MSH2/MODL[body] renamed: \"body\" -> \"hull\"", "HEDR/MSH2/MODL[door]/PRNT \"body\" -> \"hull\""}},
        {"two swapped models", Scene({Material("wood"), Material("iron")},
                                     {Model("root"), Model("door", "body"), Model("body", "root")}),
         0, {"HEDR/MSH2/MODL[body] moved: place 3 -> 4"}},
        {"a new material", Scene({Material("wood"), Material("iron"), Material("glass")},
                                 {Model("root"), Model("body", "root"), Model("door", "body")}),
         0, {"HEDR/MSH2/MATL/MATD[glass] only in B"}},
        {"a removed model and a colour", Scene({Material("wood", 0.5f), Material("iron")},
                                               {Model("root"), Model("body", "root")}),
         0,
         {"HEDR/MSH2/MODL[door] only in A", "HEDR/MSH2/MATL/MATD[wood]/DATA.diffuse (1, 1, 1, 1) -> (0.5, 1, 1, 1)"}},
    };
    for (const auto& c : cases) EXPECT_EQ(Lines(Base(), c.b, c.tolerance), c.lines) << c.what;
}

// Same-named chunks that are not models or materials (segments) are matched
// by their content first: one moved to another place is one move, not every
// element of every segment it passed; materials are named by their names on
// both sides; a chain nested deeper than a path holds keeps its last parts.
TEST(MeshDiff, MovedSegmentsAreOneMoveAndMaterialsGoByName) {
    auto segm = [](float x) {
        return Node("SEGM", {Leaf("POSL", Cat({I32s({3}), F32s({x, 0, 0, 1, x, 0, 2, 2, x})}))});
    };
    auto geom = [](std::initializer_list<mesh::chunkptr> segms) {
        mesh::chunkptr root = Node("HEDR", {Node("MSH2", {Node("GEOM", segms)})});
        root->Update(1);
        return root;
    };
    auto chain = [](size_t depth, const char* last) {
        mesh::chunkptr root = Node("HEDR", {});
        mesh::chunkptr at = root;
        for (size_t i = 0; i < depth; ++i) {
            mesh::chunkptr k = Node("NEST", {});
            at->AppendKid(k);
            at = k;
        }
        at->AppendKid(Leaf("NAME", Str(last)));
        return root;
    };
    const std::string deep = "HEDR" + std::string(5000 * 5, '\0');
    const struct {
        const char* what;
        mesh::chunkptr a, b;
        std::vector<std::string> lines;
    } cases[] = {
        {"the last of three segments first", geom({segm(1), segm(2), segm(3)}), geom({segm(3), segm(1), segm(2)}),
         {"HEDR/MSH2/GEOM/SEGM[2] moved: place 2 -> 0"}},
        {"the first of three segments gone", geom({segm(1), segm(2), segm(3)}), geom({segm(2), segm(3)}),
         {"HEDR/MSH2/GEOM/SEGM[0] only in A"}},
        {"a material of another name and colour", Scene({Material("wood"), Material("iron")}, {}),
         Scene({Material("wood"), Material("crate", 0.5f)}, {}),
         {"HEDR/MSH2/MATL/MATD[iron] only in A", "HEDR/MSH2/MATL/MATD[crate] only in B"}},
        {"a text at the end of a chain 5000 deep", chain(5000, "a"), chain(5000, "b"),
         {".../NEST/NEST/NES"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> lines = Lines(c.a, c.b);
        if (c.lines[0].substr(0, 3) == "...") {
            // Its last 4096 parts, and the text.
            ASSERT_EQ(lines.size(), 1u);
            EXPECT_EQ(lines[0].substr(0, 17), c.lines[0]) << c.what;
            EXPECT_EQ(std::count(lines[0].begin(), lines[0].end(), '/'), 4096) << c.what;
            EXPECT_EQ(lines[0].substr(lines[0].size() - 20), "NEST/NAME \"a\" -> \"b\"") << c.what;
            continue;
        }
        EXPECT_EQ(lines, c.lines) << c.what;
    }
}

TEST(MeshDiff, ListsShowTheirCountAndTheFirstElementsThatDiffer) {
    auto list = [](Bytes posl) { return Node("HEDR", {Node("MSH2", {Leaf("POSL", std::move(posl))})}); };
    const mesh::chunkptr a = list(Cat({I32s({4}), F32s({0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3})}));
    const struct {
        const char* what;
        mesh::chunkptr b;
        std::vector<std::string> lines;
    } cases[] = {
        {"one more vertex", list(Cat({I32s({5}), F32s({0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4})})),
         {"HEDR/MSH2/POSL count 4 -> 5"}},
        {"every vertex moved", list(Cat({I32s({4}), F32s({9, 0, 0, 9, 1, 1, 9, 2, 2, 9, 3, 3})})),
         {"HEDR/MSH2/POSL[0] (0, 0, 0) -> (9, 0, 0)", "HEDR/MSH2/POSL[1] (1, 1, 1) -> (9, 1, 1)",
          "HEDR/MSH2/POSL and 2 more elements differ"}},
        {"cut short", list(Cat({I32s({4}), F32s({0, 0})})),
         {"HEDR/MSH2/POSL bytes: 52 -> 12, first difference at byte 12"}},
        {"a container instead", Node("HEDR", {Node("MSH2", {Node("POSL", {Leaf("NAME", Str("x"))})})}),
         {"HEDR/MSH2/POSL 52 bytes -> 1 children"}},
    };
    for (const auto& c : cases) EXPECT_EQ(Lines(a, c.b), c.lines) << c.what;
}

}  // namespace
