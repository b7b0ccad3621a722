// The edges of a shadow volume: open, shared by more than two triangles,
// triangles of no area and welded corners, on the test cube and its faults.
#include "mesh/shadow_edges.h"

#include <gtest/gtest.h>

#include <functional>

#include "tests/support/models.h"

namespace {

using Tris = std::vector<std::array<uint32_t, 3>>;
using Points = std::vector<std::array<float, 3>>;

struct Solid {
    Tris tris;
    Points points;
};

Solid Cube() {
    Solid s;
    const std::vector<float> p = testsupport::CubePoints();
    for (size_t i = 0; i < p.size(); i += 3) s.points.push_back({p[i], p[i + 1], p[i + 2]});
    const std::vector<uint16_t> t = testsupport::CubeTriangles();
    for (size_t i = 0; i < t.size(); i += 3) s.tris.push_back({t[i], t[i + 1], t[i + 2]});
    return s;
}

TEST(ShadowEdges, CountsEachFaultOfTheCube) {
    struct Case {
        const char* what;
        std::function<void(Solid&)> change;
        size_t open;
        uint64_t overused, degenerate, merged;
        uint32_t firstopen;  // triangle of the first open edge
    };
    const Case cases[] = {
        {"closed", [](Solid&) {}, 0, 0, 0, 0, 0},
        {"one triangle gone: its three neighbours' edges open",
         [](Solid& s) { s.tris.erase(s.tris.begin()); }, 3, 0, 0, 0, 0},
        {"a face gone: a square hole of four edges",
         [](Solid& s) { s.tris.erase(s.tris.begin(), s.tris.begin() + 2); }, 4, 0, 0, 0, 3},
        {"a triangle across a face: each of its edges has two already",
         [](Solid& s) { s.tris.push_back({4, 5, 0}); }, 3, 3, 0, 0, 0},
        {"a triangle turned over: its edges run the same way as their neighbours'",
         [](Solid& s) { std::swap(s.tris[0][1], s.tris[0][2]); }, 6, 0, 0, 0, 0},
        {"a triangle of no area is skipped and its place stays open",
         [](Solid& s) { s.tris[0] = {4, 4, 5}; }, 3, 0, 1, 0, 1},
        {"a copy of a corner 0.1 mm away is welded to it",
         [](Solid& s) {
             s.points.push_back(s.points[4]);
             s.points.back()[0] += 0.0001f;
             s.tris[0][0] = 8;
         },
         0, 0, 0, 1, 0},
        {"a copy of a corner 1 cm away stays apart: open",
         [](Solid& s) {
             s.points.push_back(s.points[4]);
             s.points.back()[0] += 0.01f;
             s.tris[0][0] = 8;
         },
         4, 0, 0, 0, 0},
        {"an index past the vertices is skipped",
         [](Solid& s) { s.tris[1][2] = 99; }, 3, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        Solid s = Cube();
        c.change(s);
        const mesh::ShadowEdges e = mesh::FindShadowEdges(s.tris, s.points);
        EXPECT_EQ(e.open.size(), c.open) << c.what;
        EXPECT_EQ(e.overused, c.overused) << c.what;
        EXPECT_EQ(e.degenerate, c.degenerate) << c.what;
        EXPECT_EQ(e.merged, c.merged) << c.what;
        if (!e.open.empty()) {
            EXPECT_EQ(e.open[0].triangle, c.firstopen) << c.what;
            const auto& t = s.tris[e.open[0].triangle];
            EXPECT_TRUE((t[0] == e.open[0].a && t[1] == e.open[0].b) || (t[1] == e.open[0].a && t[2] == e.open[0].b) ||
                        (t[2] == e.open[0].a && t[0] == e.open[0].b))
                << c.what << ": the edge is one of its triangle's";
        }
    }
}

TEST(ShadowEdges, CountsWeldedCornersOfOtherBones) {
    Solid s = Cube();
    s.points.push_back(s.points[4]);
    s.tris[0][0] = 8;
    std::vector<uint64_t> skin(9, 1);
    EXPECT_EQ(mesh::FindShadowEdges(s.tris, s.points, skin).mergedskin, 0u);
    skin[8] = 2;
    const mesh::ShadowEdges e = mesh::FindShadowEdges(s.tris, s.points, skin);
    EXPECT_EQ(e.mergedskin, 1u);
    EXPECT_EQ(e.merged, 0u) << "the same position";
    EXPECT_TRUE(e.open.empty());
}

}  // namespace
