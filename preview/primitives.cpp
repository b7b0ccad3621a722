// The collision primitives of p_ models drawn as the shapes their SWCI
// gives: a sphere of its radius, a cylinder of its radius about the y axis
// reaching its height above and below the model's origin, a box reaching
// radius, height and length from it along x, y and z.
#include <cmath>

#include "format/bytes.h"
#include "format/records.h"
#include "mesh/records.h"
#include "preview/geometry.h"

namespace preview {
namespace {

constexpr float kPi = 3.14159265358979f;
constexpr int kRound = 16;  // segments of a circle

struct Shape {
    std::vector<Vec3> points;
    std::vector<uint32_t> corners;  // three a triangle
    void Quad(uint32_t a, uint32_t b, uint32_t c, uint32_t d) { corners.insert(corners.end(), {a, b, c, a, c, d}); }
};

Shape Sphere(float r) {
    Shape s;
    const int rings = kRound / 2;
    for (int i = 0; i <= rings; ++i)
        for (int j = 0; j < kRound; ++j) {
            const float a = kPi * float(i) / float(rings), b = 2 * kPi * float(j) / kRound;
            s.points.push_back({r * std::sin(a) * std::cos(b), r * std::cos(a), r * std::sin(a) * std::sin(b)});
        }
    for (int i = 0; i < rings; ++i)
        for (int j = 0; j < kRound; ++j) {
            const uint32_t a = uint32_t(i * kRound + j), b = uint32_t(i * kRound + (j + 1) % kRound);
            s.Quad(a, b, b + kRound, a + kRound);
        }
    return s;
}

Shape Cylinder(float r, float h) {
    Shape s;
    for (int j = 0; j < kRound; ++j) {
        const float b = 2 * kPi * float(j) / kRound;
        s.points.push_back({r * std::cos(b), -h, r * std::sin(b)});
        s.points.push_back({r * std::cos(b), h, r * std::sin(b)});
    }
    s.points.push_back({0, -h, 0});
    s.points.push_back({0, h, 0});
    const uint32_t bottom = 2 * kRound, top = bottom + 1;
    for (uint32_t j = 0; j < kRound; ++j) {
        const uint32_t k = (j + 1) % kRound;
        s.Quad(2 * j, 2 * k, 2 * k + 1, 2 * j + 1);
        s.corners.insert(s.corners.end(), {bottom, 2 * k, 2 * j, top, 2 * j + 1, 2 * k + 1});
    }
    return s;
}

Shape Box(float x, float y, float z) {
    Shape s;
    for (int i = 0; i < 8; ++i) s.points.push_back({i & 1 ? x : -x, i & 2 ? y : -y, i & 4 ? z : -z});
    s.Quad(4, 5, 7, 6), s.Quad(0, 2, 3, 1), s.Quad(1, 3, 7, 5), s.Quad(0, 4, 6, 2), s.Quad(2, 6, 7, 3),
        s.Quad(0, 1, 5, 4);
    return s;
}

}  // namespace

void AddPrimitive(Geometry& g, int model, const mesh::chunk& swci) {
    std::span<const uint8_t> b = mesh::LeafBytes(swci);
    if (b.size() < 16 || model < 0 || size_t(model) >= g.models.size()) return;
    const uint32_t shape = format::LoadU32(b.data());
    float v[3];
    for (int i = 0; i < 3; ++i) {
        v[i] = format::LoadF32(b.data() + 4 + 4 * i);
        if (!std::isfinite(v[i]) || v[i] < 0) return;
    }
    // The game makes a sphere of any other shape.
    const Shape s = shape == 2 ? Cylinder(v[0], v[1]) : shape == 4 ? Box(v[0], v[1], v[2]) : Sphere(v[0]);
    Segment seg;
    seg.chunk = &swci;
    seg.model = model;
    seg.first = uint32_t(g.points.size());
    seg.count = uint32_t(s.points.size());
    const Mat4& w = g.models[size_t(model)].world;
    for (const Vec3& p : s.points) {
        const Vec3 q = w.Apply(p);
        g.points.push_back(q);
        g.sound.push_back(Finite(q));
    }
    const uint32_t index = uint32_t(g.segments.size());
    for (size_t i = 0; i + 2 < s.corners.size(); i += 3) {
        const uint32_t a = seg.first + s.corners[i], c = seg.first + s.corners[i + 1], d = seg.first + s.corners[i + 2];
        if (g.sound[a] && g.sound[c] && g.sound[d]) g.triangles.push_back({{a, c, d}, index, uint32_t(i), 3});
    }
    g.segments.push_back(seg);
}

}  // namespace preview
