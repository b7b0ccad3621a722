#include "preview/render.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace preview {
namespace {

constexpr float kPi = 3.14159265358979f;
constexpr int kMaxSide = 8192;

// The camera's frame: where it stands and its three axes, and how view
// space maps to pixels.
struct View {
    Vec3 eye, right, up, forward;
    bool ortho = false;
    float scale = 1;  // ortho: pixels per unit; perspective: the focal length in pixels
    float near = 0.01f;
    float cx = 0, cy = 0;

    View(const Camera& c, int w, int h) {
        const float yaw = c.yaw * kPi / 180, pitch = std::clamp(c.pitch, -89.9f, 89.9f) * kPi / 180;
        const Vec3 back{std::cos(pitch) * std::sin(yaw), std::sin(pitch), std::cos(pitch) * std::cos(yaw)};
        const float d = std::isfinite(c.distance) && c.distance > 0 ? c.distance : 1;
        eye = c.target + back * d;
        forward = back * -1;
        right = Normalize(Cross(forward, {0, 1, 0}));
        up = Cross(right, forward);
        ortho = !(c.fov > 0);
        cx = w * 0.5f, cy = h * 0.5f;
        if (ortho) {
            scale = h / (c.span > 0 && std::isfinite(c.span) ? c.span : 1);
        } else {
            scale = cy / std::tan(std::min(c.fov, 170.0f) * kPi / 360);
            near = d * 1e-3f;
        }
    }
    Vec3 ToView(Vec3 p) const {
        const Vec3 q = p - eye;
        return {Dot(q, right), Dot(q, up), Dot(q, forward)};
    }
};

// A corner on the screen: pixel position and the depth key, which grows
// toward the camera and is affine in screen space (1/z, or -z for ortho).
struct Corner {
    double x, y, key;
};

Corner ToScreen(const View& v, Vec3 q) {
    if (v.ortho) return {v.cx + double(q.x) * v.scale, v.cy - double(q.y) * v.scale, -double(q.z)};
    return {v.cx + double(q.x) / q.z * v.scale, v.cy - double(q.y) / q.z * v.scale, 1.0 / q.z};
}

uint32_t Shade(uint32_t rgb, float light) {
    auto ch = [&](int s) { return uint32_t(std::min(255.0f, float((rgb >> s) & 255) * light + 0.5f)) << s; };
    return 0xFF000000u | ch(16) | ch(8) | ch(0);
}

class Raster {
public:
    // budget: the pixels all triangles together may test; a mesh of many
    // huge triangles stops there instead of taking minutes.
    Raster(Frame& f, bool wire, int64_t budget) : f_(f), wire_(wire), budget_(budget) {}

    void Triangle(Corner a, Corner b, Corner c, uint32_t colour, uint32_t id) {
        double area = (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
        if (!(std::abs(area) > 1e-12) || !std::isfinite(area)) return;
        if (area < 0) std::swap(b, c), area = -area;
        const double minx = std::max(0.0, std::floor(std::min({a.x, b.x, c.x})));
        const double maxx = std::min(double(f_.width - 1), std::ceil(std::max({a.x, b.x, c.x})));
        const double miny = std::max(0.0, std::floor(std::min({a.y, b.y, c.y})));
        const double maxy = std::min(double(f_.height - 1), std::ceil(std::max({a.y, b.y, c.y})));
        if (minx > maxx || miny > maxy) return;
        budget_ -= int64_t(maxx - minx + 1) * int64_t(maxy - miny + 1);
        if (budget_ < 0) {
            f_.incomplete = true;
            return;
        }
        const Corner* p[3] = {&a, &b, &c};
        // Edge i runs from corner i+1 to corner i+2 and is positive inside.
        double ex[3], ey[3], e0[3], len[3];
        bool tl[3];
        for (int i = 0; i < 3; ++i) {
            const Corner& s = *p[(i + 1) % 3];
            const Corner& t = *p[(i + 2) % 3];
            ex[i] = -(t.y - s.y);  // change of the edge value per pixel to the right
            ey[i] = t.x - s.x;     // per pixel down
            e0[i] = (t.x - s.x) * (miny + 0.5 - s.y) - (t.y - s.y) * (minx + 0.5 - s.x);
            len[i] = wire_ ? 0.75 * std::sqrt(ex[i] * ex[i] + ey[i] * ey[i]) : 0;
            // Pixels exactly on an edge belong to the triangle on one side
            // only: top edges and left edges take them.
            tl[i] = (t.y - s.y) < 0 || ((t.y - s.y) == 0 && (t.x - s.x) > 0);
        }
        const double inv = 1 / area;
        const int x0 = int(minx), x1 = int(maxx), y0 = int(miny), y1 = int(maxy);
        for (int y = y0; y <= y1; ++y) {
            double e[3];
            for (int i = 0; i < 3; ++i) e[i] = e0[i] + ey[i] * (y - y0);
            const size_t row = size_t(y) * size_t(f_.width);
            for (int x = x0; x <= x1; ++x, e[0] += ex[0], e[1] += ex[1], e[2] += ex[2]) {
                if (e[0] < 0 || e[1] < 0 || e[2] < 0) continue;
                if ((e[0] == 0 && !tl[0]) || (e[1] == 0 && !tl[1]) || (e[2] == 0 && !tl[2])) continue;
                const float key = float((e[0] * a.key + e[1] * b.key + e[2] * c.key) * inv);
                const size_t at = row + size_t(x);
                if (!(key > f_.depth[at])) continue;
                f_.depth[at] = key;
                f_.ids[at] = id;
                bool edge = false;
                if (wire_)
                    edge = e[0] < len[0] || e[1] < len[1] || e[2] < len[2];
                f_.pixels[at] = edge ? 0xFF000000u | kWire : colour;
            }
        }
    }

    // A square of side 2r+1 (or a cross) over everything.
    void Marker(float x, float y, int r, uint32_t rgb, bool cross) {
        // Clipped while still a float: a point far off the picture (or not a
        // number) would not fit in an int.
        const float m = float(r + 1);
        if (!(x > -m && y > -m && x < float(f_.width) + m && y < float(f_.height) + m)) return;
        const int cx = int(std::floor(x)), cy = int(std::floor(y));
        for (int dy = -r; dy <= r; ++dy)
            for (int dx = -r; dx <= r; ++dx) {
                if (cross && dx != 0 && dy != 0) continue;
                const int px = cx + dx, py = cy + dy;
                if (px < 0 || py < 0 || px >= f_.width || py >= f_.height) continue;
                f_.pixels[size_t(py) * size_t(f_.width) + size_t(px)] = 0xFF000000u | rgb;
            }
    }

private:
    Frame& f_;
    bool wire_;
    int64_t budget_;
};

}  // namespace

uint32_t KindColour(Kind k) {
    switch (k) {
        case Kind::cloth: return 0x6FC27A;
        case Kind::collision: return 0x5A8FE0;
        case Kind::shadow: return 0x707080;
        case Kind::hidden: return 0xA088C0;
        default: return 0xC0BEB4;
    }
}

uint32_t Frame::Pick(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return kNone;
    return ids[size_t(y) * size_t(width) + size_t(x)];
}

bool Project(const Camera& cam, int width, int height, Vec3 p, float& x, float& y) {
    const View v(cam, width, height);
    const Vec3 q = v.ToView(p);
    if (!v.ortho && !(q.z >= v.near)) return false;
    const Corner c = ToScreen(v, q);
    x = float(c.x), y = float(c.y);
    return std::isfinite(x) && std::isfinite(y);
}

Camera Fit(const Geometry& g, const std::vector<uint8_t>& shown, float yaw, float pitch, float aspect) {
    Vec3 lo{1, 1, 1}, hi{-1, -1, -1};
    bool any = false;
    auto take = [&](Vec3 p) {
        if (!Finite(p)) return;
        if (!any) lo = hi = p, any = true;
        lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
        hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
    };
    for (const Triangle& t : g.triangles) {
        if (!shown[size_t(g.segments[t.segment].model)]) continue;
        for (uint32_t v : t.v) take(g.points[v]);
    }
    for (size_t i = 0; i < g.models.size(); ++i)
        if (shown[i] && g.models[i].hardpoint) take(g.models[i].world.Origin());
    Camera c;
    c.yaw = yaw, c.pitch = pitch;
    const float r = any ? std::max(Length(hi - lo) * 0.5f, 1e-3f) : 1.0f;
    c.target = any ? (lo + hi) * 0.5f : Vec3{};
    if (!std::isfinite(r) || !Finite(c.target)) return Camera{};
    const float a = aspect > 0 && std::isfinite(aspect) ? aspect : 1;
    const float half = std::atan(std::tan(c.fov * kPi / 360) * std::min(1.0f, a));
    c.distance = r * 1.05f / std::sin(half);
    c.span = 2.1f * r / std::min(1.0f, a);
    return c;
}

Camera LookAt(Camera c, Vec3 point) {
    if (Finite(point)) c.target = point;
    return c;
}

void Render(const Geometry& g, const std::vector<uint8_t>& shown, const Camera& cam, const Style& style,
            const Highlight& mark, int width, int height, Frame& f) {
    f.width = std::clamp(width, 1, kMaxSide);
    f.height = std::clamp(height, 1, kMaxSide);
    const size_t n = size_t(f.width) * size_t(f.height);
    f.pixels.assign(n, 0xFF000000u | kBackground);
    f.ids.assign(n, Frame::kNone);
    f.depth.assign(n, -std::numeric_limits<float>::infinity());

    const View v(cam, f.width, f.height);
    const Vec3 light = Normalize({-0.35f, 0.55f, -0.75f});
    f.incomplete = false;
    Raster r(f, style.wireframe, std::max<int64_t>(int64_t(n) * 64, int64_t(1) << 28));
    auto isshown = [&](size_t model) { return model < shown.size() && shown[model]; };

    // Every point in view space, and on the screen when it is in front.
    std::vector<Vec3>& view = f.scratch;
    view.resize(g.points.size());
    for (size_t i = 0; i < g.points.size(); ++i) view[i] = v.ToView(g.points[i]);
    std::vector<Corner> screen(g.points.size());
    for (size_t i = 0; i < g.points.size(); ++i)
        if (v.ortho || view[i].z >= v.near) screen[i] = ToScreen(v, view[i]);

    for (size_t ti = 0; ti < g.triangles.size(); ++ti) {
        const Triangle& t = g.triangles[ti];
        const Segment& s = g.segments[t.segment];
        if (!isshown(size_t(s.model))) continue;
        const Vec3 q[3] = {view[t.v[0]], view[t.v[1]], view[t.v[2]]};
        const Vec3 normal = Normalize(Cross(q[1] - q[0], q[2] - q[0]));
        const float lit = 0.3f + 0.7f * std::abs(Dot(normal, light));
        uint32_t colour;
        if (mark.faces && s.faces == mark.faces && mark.at >= int64_t(t.at) && mark.at < int64_t(t.at) + t.span)
            colour = 0xFF000000u | kHighlight;
        else if (int(t.segment) == mark.segment || s.model == mark.model)
            colour = Shade(kHighlight, lit);
        else
            colour = Shade(KindColour(g.models[size_t(s.model)].kind), lit);
        const uint32_t id = uint32_t(ti);
        if (v.ortho || (q[0].z >= v.near && q[1].z >= v.near && q[2].z >= v.near)) {
            r.Triangle(screen[t.v[0]], screen[t.v[1]], screen[t.v[2]], colour, id);
            continue;
        }
        // Cut at the near plane: what is left is a triangle or a quad.
        Vec3 out[4];
        int k = 0;
        for (int i = 0; i < 3; ++i) {
            const Vec3 a = q[i], b = q[(i + 1) % 3];
            if (a.z >= v.near) out[k++] = a;
            if ((a.z >= v.near) != (b.z >= v.near)) out[k++] = a + (b - a) * ((v.near - a.z) / (b.z - a.z));
        }
        for (int i = 2; i < k; ++i)
            r.Triangle(ToScreen(v, out[0]), ToScreen(v, out[i - 1]), ToScreen(v, out[i]), colour, id);
    }

    float x, y;
    for (size_t i = 0; i < g.models.size(); ++i)
        if (isshown(i) && g.models[i].hardpoint && Project(cam, f.width, f.height, g.models[i].world.Origin(), x, y))
            r.Marker(x, y, 3, kHardpoint, true);
    if (mark.segment >= 0 && size_t(mark.segment) < g.segments.size() && mark.vertex >= 0) {
        const Segment& s = g.segments[size_t(mark.segment)];
        if (mark.vertex < int64_t(s.count)) {
            const uint32_t p = s.first + uint32_t(mark.vertex);
            if (g.sound[p] && Project(cam, f.width, f.height, g.points[p], x, y)) r.Marker(x, y, 2, kVertexMark, false);
        }
    }
}

}  // namespace preview
