// The rasteriser: which pixels a known scene covers, depth, highlights, and
// geometry that is not sound.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "preview/render.h"
#include "tests/support/models.h"

namespace {

using namespace testsupport;
using preview::Frame;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// Straight on from +z, orthographic, 4 units over 64 pixels: 16 pixels a unit.
preview::Camera Front() {
    preview::Camera c;
    c.yaw = 0, c.pitch = 0, c.fov = 0, c.span = 4, c.distance = 10;
    return c;
}

struct Drawn {
    preview::Geometry g;
    Frame f;
};

Drawn Draw(const mesh::chunkptr& root, const preview::Camera& cam, const preview::Highlight& mark = {},
           bool wire = false) {
    Drawn d{preview::Build(*root), {}};
    preview::Render(d.g, preview::Shown(d.g, -1, {}), cam, {wire}, mark, 64, 64, d.f);
    return d;
}

mesh::chunkptr Cube() { return Mesh({Modl("cube", "", 4, {}, {Segm(CubePoints(), "NDXT", CubeTriangles())})}); }

TEST(Render, CubeCoversExactlyItsSquare) {
    // The front face spans -0.5 .. 0.5: pixels 24 .. 39 both ways.
    Drawn d = Draw(Cube(), Front());
    int covered = 0, wrong = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const bool inside = x >= 24 && x < 40 && y >= 24 && y < 40;
            const bool drawn = d.f.Pick(x, y) != Frame::kNone;
            covered += drawn;
            wrong += inside != drawn;
            if (!drawn) {
                EXPECT_EQ(d.f.pixels[size_t(y * 64 + x)], 0xFF000000u | preview::kBackground);
            }
        }
    EXPECT_EQ(covered, 256);
    EXPECT_EQ(wrong, 0);
}

TEST(Render, DepthShowsTheNearFace) {
    // From the front, from behind, from above: the face seen is the one
    // toward the camera (its three corners share that coordinate).
    struct Case {
        float yaw, pitch;
        int axis;
        float value;
    } cases[] = {{0, 0, 2, 0.5f}, {180, 0, 2, -0.5f}, {0, 89, 1, 0.5f}, {90, 0, 0, 0.5f}};
    for (const Case& c : cases) {
        preview::Camera cam = Front();
        cam.yaw = c.yaw, cam.pitch = c.pitch;
        for (float fov : {0.0f, 40.0f}) {
            cam.fov = fov;
            Drawn d = Draw(Cube(), cam);
            const uint32_t t = d.f.Pick(32, 32);
            ASSERT_NE(t, Frame::kNone) << c.yaw << " " << c.pitch;
            for (uint32_t v : d.g.triangles[t].v) {
                const preview::Vec3 p = d.g.points[v];
                EXPECT_FLOAT_EQ(c.axis == 0 ? p.x : c.axis == 1 ? p.y : p.z, c.value) << c.yaw << " " << fov;
            }
        }
    }
}

TEST(Render, HighlightsTakeTheirColour) {
    mesh::chunkptr root = Cube();
    const mesh::chunk* ndxt = root->kids[0]->getkid("MODL")->getkid("GEOM")->getkid("SEGM")->getkid("NDXT").get();
    // Position 4 is in the front face's second triangle (positions 3 .. 5):
    // the upper left half of the square, corners 4, 7, 6.
    preview::Highlight tri;
    tri.faces = ndxt, tri.at = 4;
    Drawn d = Draw(root, Front(), tri);
    const uint32_t mark = 0xFF000000u | preview::kHighlight;
    EXPECT_EQ(d.f.pixels[size_t(30 * 64 + 26)], mark);  // above the diagonal
    EXPECT_EQ(d.f.Pick(26, 30), 1u);
    EXPECT_NE(d.f.pixels[size_t(37 * 64 + 37)], mark);  // below it
    EXPECT_EQ(d.f.Pick(37, 37), 0u);

    // A vertex: a square over it; a model: every pixel of it tinted.
    preview::Highlight vertex;
    vertex.segment = 0, vertex.vertex = 7;  // x, y, z = 0.5: pixel (40, 24)
    d = Draw(root, Front(), vertex);
    EXPECT_EQ(d.f.pixels[size_t(24 * 64 + 40)], 0xFF000000u | preview::kVertexMark);
    preview::Highlight model;
    model.model = 0;
    Drawn plain = Draw(root, Front());
    d = Draw(root, Front(), model);
    const uint32_t tinted = d.f.pixels[size_t(30 * 64 + 30)];
    EXPECT_NE(tinted, plain.f.pixels[size_t(30 * 64 + 30)]);
    EXPECT_EQ(tinted & 255, 0u);  // the highlight has no blue, the plain colour has
    EXPECT_GT(tinted >> 16 & 255, 150u);
}

TEST(Render, UnsoundTrianglesDrawNothing) {
    // Two squares side by side, left (x -1.5 .. -0.5) and right (0.5 .. 1.5),
    // each two triangles; the case spoils the left one.
    auto points = [](float spoil) {
        std::vector<float> v = {-1.5f, -0.5f, 0, -0.5f, -0.5f, 0, -0.5f, 0.5f, 0, -1.5f, 0.5f, 0,
                                0.5f,  -0.5f, 0, 1.5f,  -0.5f, 0, 1.5f,  0.5f, 0, 0.5f,  0.5f, 0};
        v[0] = spoil;
        return v;
    };
    struct Case {
        const char* what;
        std::vector<float> xyz;
        std::vector<uint16_t> tris;
        bool leftlower, leftupper;
    } cases[] = {
        {"sound", points(-1.5f), {0, 1, 2, 0, 2, 3, 4, 5, 6, 4, 6, 7}, true, true},
        {"NaN corner", points(kNaN), {0, 1, 2, 0, 2, 3, 4, 5, 6, 4, 6, 7}, false, false},
        {"infinite corner", points(INFINITY), {0, 1, 2, 0, 2, 3, 4, 5, 6, 4, 6, 7}, false, false},
        {"index out of range", points(-1.5f), {0, 1, 9, 0, 2, 3, 4, 5, 6, 4, 6, 7}, false, true},
        {"repeated index", points(-1.5f), {0, 1, 2, 0, 2, 2, 4, 5, 6, 4, 6, 7}, true, false},
    };
    for (const Case& c : cases) {
        Drawn d = Draw(Mesh({Modl("m", "", 4, {}, {Segm(c.xyz, "NDXT", c.tris)})}), Front());
        EXPECT_EQ(d.f.Pick(20, 37) != Frame::kNone, c.leftlower) << c.what;  // left square, lower right half
        EXPECT_EQ(d.f.Pick(12, 28) != Frame::kNone, c.leftupper) << c.what;  // upper left half
        EXPECT_NE(d.f.Pick(44, 32), Frame::kNone) << c.what;  // the right square always
    }
}

TEST(Render, CameraInsideOrBehindDrawsWithoutFault) {
    // Near-plane cuts, a camera inside the cube, one far behind it, a fitted
    // camera of an empty mesh, sizes out of range.
    mesh::chunkptr root = Cube();
    preview::Geometry g = preview::Build(*root);
    std::vector<uint8_t> shown = preview::Shown(g, -1, {});
    Frame f;
    preview::Camera inside;
    inside.distance = 0.2f;
    preview::Render(g, shown, inside, {true}, {}, 64, 64, f);
    EXPECT_NE(f.Pick(32, 32), Frame::kNone);  // the far wall, seen from within
    preview::Camera away;  // at z = -99.8, looking further down -z
    away.yaw = 0, away.pitch = 0, away.distance = 0.2f, away.target = {0, 0, -100};
    preview::Render(g, shown, away, {}, {}, 64, 64, f);
    for (uint32_t id : f.ids) ASSERT_EQ(id, Frame::kNone);
    preview::Geometry none;
    preview::Render(none, {}, preview::Fit(none, {}, 30, 20, 1), {}, {}, 0, -5, f);
    EXPECT_EQ(f.width, 1);
    EXPECT_EQ(f.height, 1);
}

TEST(Render, FitShowsTheWholeMesh) {
    // However far from the origin and however large, the fitted cube fills
    // part of the picture and touches no border.
    for (float side : {0.01f, 1.0f, 5000.0f}) {
        mesh::chunkptr root = Mesh({Modl("m", "", 4, {Tran(side * 40, -side * 7, 3)},
                                         {Segm(CubePoints(side), "NDXT", CubeTriangles())})});
        preview::Geometry g = preview::Build(*root);
        std::vector<uint8_t> shown = preview::Shown(g, -1, {});
        Frame f;
        preview::Render(g, shown, preview::Fit(g, shown, 30, 20, 2), {}, {}, 128, 64, f);
        int drawn = 0, border = 0;
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 128; ++x) {
                const bool on = f.Pick(x, y) != Frame::kNone;
                drawn += on;
                border += on && (x == 0 || y == 0 || x == 127 || y == 63);
            }
        EXPECT_GT(drawn, 500) << side;
        EXPECT_EQ(border, 0) << side;
    }
}

}  // namespace

TEST(Render, PointsFarBeyondThePictureNeverReachIt) {
    // A body that spans the float range and a hardpoint far to its side: the
    // fitted camera, and cameras that put the marker just in front of the
    // eye, where it lands a trillion pixels away or on an edge of the range.
    const float big = 3e38f;
    mesh::chunkptr root =
        Mesh({Modl("body", "", 0, {}, {Segm({-big, -big, -big, big, big, -big, 0, big, big}, "NDXT", {0, 1, 2})}),
              Modl("hp_far", "body", 0, {Tran(8e6f, 0, 4.994f)}, {}),
              Modl("hp_near", "body", 0, {Tran(0, -8e6f, 4.9945f)}, {})});
    preview::Geometry g = preview::Build(*root);
    const std::vector<uint8_t> shown = preview::Shown(g, -1, {});
    std::vector<preview::Camera> cams{preview::Fit(g, shown, 30, 20, 1)};
    for (float d : {5.0f, 5.0001f, 4.999f, 1e-3f, 1e30f}) {
        preview::Camera c;
        c.yaw = 0, c.pitch = 0, c.distance = d;
        cams.push_back(c);
        c.fov = 0, c.span = 1e-30f;
        cams.push_back(c);
    }
    for (const preview::Camera& cam : cams) {
        Frame f;
        preview::Render(g, shown, cam, {}, {0, 0, nullptr, -1, 0}, 64, 48, f);
        ASSERT_EQ(f.pixels.size(), size_t(64 * 48));
        float x = 0, y = 0;
        for (const preview::Model& m : g.models) {
            if (!m.hardpoint || !preview::Project(cam, 64, 48, m.world.Origin(), x, y)) continue;
            if (std::abs(x) < 1e6f && std::abs(y) < 1e6f) continue;
            // Far away: no pixel of the marker's colour.
            for (uint32_t p : f.pixels) ASSERT_NE(p, 0xFF000000u | preview::kHardpoint);
        }
    }
}
