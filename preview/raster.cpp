#include "preview/raster.h"

#include <algorithm>
#include <cmath>

namespace preview::raster {
namespace {

uint32_t Pack(float r, float g, float b) {
    auto ch = [](float v) { return uint32_t(std::clamp(v, 0.0f, 1.0f) * 255.0f + 0.5f); };
    return 0xFF000000u | ch(r) << 16 | ch(g) << 8 | ch(b);
}

// The texel at (u, v), the texture repeated outside 0..1 (nearest texel).
uint32_t Sample(const Texture& t, float u, float v) {
    u -= std::floor(u), v -= std::floor(v);
    if (!(u >= 0 && u < 1)) u = 0;  // not finite, or rounded up to 1
    if (!(v >= 0 && v < 1)) v = 0;
    const int x = std::min(t.width - 1, int(u * float(t.width)));
    const int y = std::min(t.height - 1, int(v * float(t.height)));
    return t.texels[size_t(y) * size_t(t.width) + size_t(x)];
}

}  // namespace

uint32_t Raster::Colour(const Surface& s, const double e[3], const Corner* p[3], const int order[3],
                        bool& drop) const {
    drop = false;
    if (s.flat && s.blend == Blend::opaque) return s.colour;
    // The weight of each of the surface's corners.
    float w[3];
    float sum = 0;
    for (int i = 0; i < 3; ++i) sum += (w[order[i]] = float(e[i] * (s.perspective ? p[i]->key : 1.0)));
    if (!(sum != 0) || !std::isfinite(sum)) return s.colour;
    const float inv = 1 / sum;
    for (float& x : w) x *= inv;
    float c[4];
    if (s.flat) {
        c[0] = float((s.colour >> 16) & 255) / 255, c[1] = float((s.colour >> 8) & 255) / 255;
        c[2] = float(s.colour & 255) / 255, c[3] = s.rgba[0][3];
    } else {
        for (int k = 0; k < 4; ++k) c[k] = w[0] * s.rgba[0][k] + w[1] * s.rgba[1][k] + w[2] * s.rgba[2][k];
    }
    if (s.texture) {
        const uint32_t t = Sample(*s.texture, w[0] * s.uv[0][0] + w[1] * s.uv[1][0] + w[2] * s.uv[2][0],
                                  w[0] * s.uv[0][1] + w[1] * s.uv[1][1] + w[2] * s.uv[2][1]);
        c[0] *= float((t >> 16) & 255) / 255, c[1] *= float((t >> 8) & 255) / 255;
        c[2] *= float(t & 255) / 255, c[3] *= float(t >> 24) / 255;
    }
    if (s.blend == Blend::cutout && !(c[3] >= 0.5f)) drop = true;
    if (s.blend == Blend::blended || s.blend == Blend::additive) {
        // Returned with its alpha; mixed by the caller.
        auto ch = [](float v) { return uint32_t(std::clamp(v, 0.0f, 1.0f) * 255.0f + 0.5f); };
        return ch(c[3]) << 24 | ch(c[0]) << 16 | ch(c[1]) << 8 | ch(c[2]);
    }
    return Pack(c[0], c[1], c[2]);
}

bool Raster::Triangle(Corner a, Corner b, Corner c, const Surface& s, uint32_t id) {
    double area = (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
    if (!(std::abs(area) > 1e-12) || !std::isfinite(area)) return true;
    // The corners turned to one order; what they carry follows them.
    int order[3] = {0, 1, 2};
    if (area < 0) std::swap(b, c), std::swap(order[1], order[2]), area = -area;
    // The box, clipped to the band while it is a double.
    const double minx = std::max(0.0, std::floor(std::min({a.x, b.x, c.x})));
    const double maxx = std::min(double(f_.width - 1), std::ceil(std::max({a.x, b.x, c.x})));
    const double miny = std::max(double(y0_), std::floor(std::min({a.y, b.y, c.y})));
    const double maxy = std::min(double(y1_ - 1), std::ceil(std::max({a.y, b.y, c.y})));
    if (!(minx <= maxx && miny <= maxy)) return true;
    budget_ -= int64_t(maxx - minx + 1) * int64_t(maxy - miny + 1);
    if (budget_ < 0) {
        incomplete = true;
        return false;
    }
    const Corner* p[3] = {&a, &b, &c};
    // Edge i runs from corner i+1 to corner i+2 and is positive inside.
    double ex[3], ey[3], e0[3], len[3];
    bool tl[3];
    for (int i = 0; i < 3; ++i) {
        const Corner& u = *p[(i + 1) % 3];
        const Corner& t = *p[(i + 2) % 3];
        ex[i] = -(t.y - u.y);  // change of the edge value per pixel to the right
        ey[i] = t.x - u.x;     // per pixel down
        e0[i] = (t.x - u.x) * (miny + 0.5 - u.y) - (t.y - u.y) * (minx + 0.5 - u.x);
        len[i] = wire_ ? 0.75 * std::sqrt(ex[i] * ex[i] + ey[i] * ey[i]) : 0;
        // Pixels exactly on an edge belong to the triangle on one side
        // only: top edges and left edges take them.
        tl[i] = (t.y - u.y) < 0 || ((t.y - u.y) == 0 && (t.x - u.x) > 0);
    }
    const double inv = 1 / area;
    const bool writes = s.blend == Blend::opaque || s.blend == Blend::cutout;
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
            bool drop = false;
            const uint32_t colour = Colour(s, e, p, order, drop);
            if (drop) continue;
            const bool edge = wire_ && (e[0] < len[0] || e[1] < len[1] || e[2] < len[2]);
            if (writes) {
                f_.depth[at] = key;
                f_.ids[at] = id;
                f_.pixels[at] = edge ? 0xFF000000u | kWire : colour;
                continue;
            }
            if (f_.ids[at] == Frame::kNone) f_.ids[at] = id;
            const uint32_t under = f_.pixels[at];
            const float alpha = float(colour >> 24) / 255;
            uint32_t out = 0xFF000000u;
            for (int sh = 0; sh <= 16; sh += 8) {
                const float src = float((colour >> sh) & 255), dst = float((under >> sh) & 255);
                const float v = s.blend == Blend::additive ? dst + src * alpha : dst + (src - dst) * alpha;
                out |= uint32_t(std::min(255.0f, v + 0.5f)) << sh;
            }
            f_.pixels[at] = edge ? 0xFF000000u | kWire : out;
        }
    }
    return true;
}

void Raster::Put(int x, int y, uint32_t rgb) {
    if (x < 0 || y < y0_ || x >= f_.width || y >= y1_) return;
    f_.pixels[size_t(y) * size_t(f_.width) + size_t(x)] = 0xFF000000u | rgb;
}

void Raster::Line(float x0, float y0, float x1, float y1, uint32_t rgb) {
    // Cut to the picture (Liang-Barsky) while the ends are floats.
    const float lo[2] = {-1, float(y0_) - 1}, hi[2] = {float(f_.width), float(y1_)};
    const float d[2] = {x1 - x0, y1 - y0}, s[2] = {x0, y0};
    float t0 = 0, t1 = 1;
    for (int k = 0; k < 2; ++k) {
        if (!std::isfinite(s[k]) || !std::isfinite(d[k])) return;
        if (d[k] == 0) {
            if (s[k] < lo[k] || s[k] > hi[k]) return;
            continue;
        }
        float ta = (lo[k] - s[k]) / d[k], tb = (hi[k] - s[k]) / d[k];
        if (ta > tb) std::swap(ta, tb);
        t0 = std::max(t0, ta), t1 = std::min(t1, tb);
        if (t0 > t1) return;
    }
    const float ax = x0 + d[0] * t0, ay = y0 + d[1] * t0, bx = x0 + d[0] * t1, by = y0 + d[1] * t1;
    const int steps = int(std::max(std::abs(bx - ax), std::abs(by - ay))) + 1;
    for (int i = 0; i <= steps; ++i) {
        const float t = float(i) / float(steps);
        Put(int(std::floor(ax + (bx - ax) * t)), int(std::floor(ay + (by - ay) * t)), rgb);
    }
}

void Raster::Marker(float x, float y, int r, uint32_t rgb, bool cross) {
    // Clipped while still a float: a point far off the picture (or not a
    // number) would not fit in an int.
    const float m = float(r + 1);
    if (!(x > -m && y > -m && x < float(f_.width) + m && y < float(f_.height) + m)) return;
    const int cx = int(std::floor(x)), cy = int(std::floor(y));
    for (int dy = -r; dy <= r; ++dy)
        for (int dx = -r; dx <= r; ++dx)
            if (!cross || dx == 0 || dy == 0) Put(cx + dx, cy + dy, rgb);
}

}  // namespace preview::raster
