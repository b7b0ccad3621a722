// Models from the chunk tree: face lists into triangles, placement by the
// parents' transforms, kinds, and lists that promise more than they hold.
#include <gtest/gtest.h>

#include <cmath>

#include "preview/geometry.h"
#include "tests/support/models.h"

namespace {

using namespace testsupport;

constexpr uint16_t S = 0x8000;  // strip start

// Four vertices of a unit square in the z = 0 plane.
const std::vector<float> kSquare = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0};

TEST(Geometry, FaceListsBecomeTriangles) {
    struct Case {
        const char* what;
        mesh::chunkptr segm;
        size_t triangles;
    } cases[] = {
        {"NDXT", Segm(kSquare, "NDXT", {0, 1, 2, 0, 2, 3}), 2},
        {"strip of four", Segm(kSquare, "STRP", {0 | S, 1 | S, 2, 3}), 2},
        {"two strips", Segm(kSquare, "STRP", {0 | S, 1 | S, 2, 0 | S, 2 | S, 3}), 2},
        {"strip of two, then one of three", Segm(kSquare, "STRP", {0 | S, 1 | S, 1 | S, 2 | S, 3}), 1},
        {"strip of two only", Segm(kSquare, "STRP", {0 | S, 1 | S}), 0},
        {"quad polygon as a fan", Segm(kSquare, "NDXL", {4, 0, 1, 2, 3}), 2},
        {"polygon running past the end", Segm(kSquare, "NDXL", {3, 0, 1, 2, 9, 0}), 1},
        {"index out of range", Segm(kSquare, "NDXT", {0, 1, 7, 0, 2, 3}), 1},
        {"no face list", Node("SEGM", {Leaf("POSL", FloatList(kSquare, 3))}), 0},
        // Counts far beyond the data: only what the data holds is read.
        {"huge POSL count",
         Node("SEGM", {Leaf("POSL", Cat({I32s({0x7FFFFFFF}), F32s({0, 0, 0, 1, 0, 0, 1, 1, 0})})),
                       Leaf("NDXT", IndexList({0, 1, 2}, 3))}),
         1},
        {"huge NDXT count",
         Node("SEGM", {Leaf("POSL", FloatList(kSquare, 3)), Leaf("NDXT", Cat({I32s({-1}), U16s({0, 1, 2, 0})}))}), 1},
        {"POSL too short for its count", Node("SEGM", {Leaf("POSL", I32s({5})), Leaf("NDXT", IndexList({0, 1, 2}, 3))}),
         0},
    };
    for (Case& c : cases) {
        preview::Geometry g = preview::Build(*Mesh({Modl("m", "", 4, {}, {c.segm})}));
        EXPECT_EQ(g.triangles.size(), c.triangles) << c.what;
        for (const preview::Triangle& t : g.triangles)
            for (uint32_t v : t.v) EXPECT_LT(v, g.points.size()) << c.what;
    }
}

TEST(Geometry, ModelsArePlacedByTheirParents) {
    // root moved by (10, 0, 0) and turned 90 degrees about y; child moved by
    // (0, 0, 1) under it, so its origin lands at (11, 0, 0). A parent loop
    // (a <-> b) and a missing parent count as roots.
    const float h = std::sqrt(0.5f);
    mesh::chunkptr root = Mesh({
        Modl("child", "root", 4, {Tran(0, 0, 1)}, {}),
        Modl("root", "", 0, {Tran(10, 0, 0, {0, h, 0, h})}, {}),
        Modl("a", "b", 0, {Tran(1, 0, 0)}, {}),
        Modl("b", "a", 0, {Tran(0, 2, 0)}, {}),
        Modl("orphan", "nobody", 0, {Tran(0, 0, 3)}, {}),
        Modl("bad", "", 0, {Leaf("TRAN", F32s({1, 1, 1, 0, 0, 0, 1, NAN, 5, 5}))}, {}),
    });
    preview::Geometry g = preview::Build(*root);
    ASSERT_EQ(g.models.size(), 6u);
    struct Want {
        const char* name;
        float x, y, z;
    } wants[] = {{"child", 11, 0, 0}, {"root", 10, 0, 0}, {"orphan", 0, 0, 3}, {"bad", 0, 0, 0}};
    for (const Want& w : wants) {
        const preview::Vec3 o = g.models[size_t(preview::FindModel(g, w.name))].world.Origin();
        EXPECT_NEAR(o.x, w.x, 1e-4) << w.name;
        EXPECT_NEAR(o.y, w.y, 1e-4) << w.name;
        EXPECT_NEAR(o.z, w.z, 1e-4) << w.name;
    }
    // The loop is cut once: one of a and b is a root, the other its child.
    const int a = preview::FindModel(g, "a"), b = preview::FindModel(g, "b");
    EXPECT_TRUE((g.models[size_t(a)].parent == -1) != (g.models[size_t(b)].parent == -1));
}

TEST(Geometry, KindsAndWhatIsShown) {
    auto tri = [] { return std::vector<mesh::chunkptr>{Segm(kSquare, "NDXT", {0, 1, 2})}; };
    mesh::chunkptr root = Mesh({
        Modl("body", "", 4, {}, tri()),
        Modl("collision_a", "body", 4, {}, tri()),
        Modl("p_box", "body", 4, {}, tri()),
        Modl("sv_body", "body", 6, {}, tri()),
        Modl("flap", "body", 2, {}, tri()),
        Modl("secret", "body", 4, {Leaf("FLGS", I32s({1}))}, tri()),
        Modl("hp_gun", "secret", 0, {}, {}),
        Modl("other", "", 4, {}, tri()),
        Modl("P_cube", "", 4, {}, tri()),  // only a lower-case p_ is a primitive
    });
    preview::Geometry g = preview::Build(*root);
    using K = preview::Kind;
    const K kinds[] = {K::normal, K::collision, K::collision, K::shadow, K::cloth, K::hidden, K::normal, K::normal, K::normal};
    for (size_t i = 0; i < g.models.size(); ++i) EXPECT_EQ(g.models[i].kind, kinds[i]) << g.models[i].name;
    EXPECT_TRUE(g.models[6].hardpoint);

    struct Case {
        int focus;
        preview::Visibility v;
        std::vector<uint8_t> shown;
    } cases[] = {
        {-1, {}, {1, 0, 0, 0, 1, 0, 1, 1, 1}},
        {-1, {true, false, true}, {1, 1, 1, 0, 1, 1, 1, 1, 1}},
        {0, {}, {1, 0, 0, 0, 1, 0, 1, 0, 0}},
        {5, {}, {0, 0, 0, 0, 0, 1, 1, 0, 0}},  // a hidden model in focus is shown
        {3, {}, {0, 0, 0, 1, 0, 0, 0, 0, 0}},
        {1, {}, {0, 1, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) EXPECT_EQ(preview::Shown(g, c.focus, c.v), c.shown) << c.focus;

    // Nothing but collision: shown all the same.
    preview::Geometry only = preview::Build(*Mesh({Modl("collision", "", 4, {}, tri())}));
    EXPECT_EQ(preview::Shown(only, -1, {}), std::vector<uint8_t>{1});
}

TEST(Geometry, GeomLeftALeafIsReadFromItsBytes) {
    // A GEOM that opens with its SEGM instead of a BBOX is a leaf of the
    // tree; its triangles are drawn and belong to that leaf.
    mesh::chunkptr geom = Leaf("GEOM", Encode(Segm(kSquare, "NDXT", {0, 1, 2, 0, 2, 3})));
    mesh::chunkptr root = Mesh({Modl("m", "", 4, {geom}, {})});
    preview::Geometry g = preview::Build(*root);
    ASSERT_EQ(g.segments.size(), 1u);
    EXPECT_EQ(g.segments[0].chunk, geom.get());
    EXPECT_EQ(g.triangles.size(), 2u);
    EXPECT_EQ(g.ModelOf(geom.get()), 0);
}

}  // namespace

namespace {

TEST(Geometry, PrimitivesTakeTheirShapeAndShadowVolumesTheirOpenEdges) {
    auto swci = [](int shape, float r, float h, float l) {
        return Leaf("SWCI", Cat({I32s({shape}), F32s({r, h, l})}));
    };
    // A closed tetrahedron, and the same with one face left out.
    const std::vector<float> tetra = {0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1};
    const std::vector<uint16_t> closed = {0, 2, 1, 0, 1, 3, 1, 2, 3, 0, 3, 2};
    const std::vector<uint16_t> open(closed.begin(), closed.end() - 3);
    struct Case {
        const char* what;
        mesh::chunkptr model;
        size_t triangles;
        float reach;   // the largest |x|, |y| or |z| of its points
        size_t openedges;
    } cases[] = {
        {"box", Modl("p_box", "", 0, {swci(4, 1, 2, 3)}, {}), 12, 3, 0},
        {"sphere", Modl("p_ball", "", 0, {swci(0, 2, 0, 0)}, {}), 256, 2, 0},
        {"cylinder", Modl("p_can", "", 0, {swci(2, 1, 4, 0)}, {}), 64, 4, 0},
        {"upper-case P_ is no primitive", Modl("P_box", "", 0, {swci(4, 1, 2, 3)}, {}), 0, 0, 0},
        {"closed shadow volume", Modl("sv_closed", "", 6, {}, {Segm(tetra, "NDXT", closed)}), 4, 1, 0},
        {"open shadow volume", Modl("sv_open", "", 6, {}, {Segm(tetra, "NDXT", open)}), 3, 1, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const preview::Geometry g = preview::Build(*Mesh({c.model}));
        EXPECT_EQ(g.triangles.size(), c.triangles);
        float reach = 0;
        for (const preview::Vec3& p : g.points) reach = std::max({reach, std::abs(p.x), std::abs(p.y), std::abs(p.z)});
        EXPECT_NEAR(reach, c.reach, 1e-4f);
        EXPECT_EQ(g.openedges.size(), c.openedges);
        if (c.triangles && c.model->kids.size() > 2 && c.model->kids[2]->name == "SWCI") {
            EXPECT_EQ(g.segments.at(0).chunk, c.model->kids[2].get());
        }
    }
}

}  // namespace
