#include "preview/render.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <system_error>
#include <thread>

#include "format/bytes.h"
#include "format/records.h"
#include "mesh/records.h"
#include "preview/raster.h"

namespace preview {
namespace {

using raster::Blend;
using raster::Corner;
using raster::Surface;

constexpr float kPi = 3.14159265358979f;
constexpr int kMaxSide = 8192;
constexpr float kSeeThrough = 0.35f;  // alpha of collision and shadow volumes

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
    Vec3 Turn(Vec3 n) const { return {Dot(n, right), Dot(n, up), Dot(n, forward)}; }
    bool Front(Vec3 q) const { return ortho || q.z >= near; }
};

Corner ToScreen(const View& v, Vec3 q) {
    if (v.ortho) return {v.cx + double(q.x) * v.scale, v.cy - double(q.y) * v.scale, -double(q.z)};
    return {v.cx + double(q.x) / q.z * v.scale, v.cy - double(q.y) / q.z * v.scale, 1.0 / q.z};
}

uint32_t Shade(uint32_t rgb, float light) {
    auto ch = [&](int s) { return uint32_t(std::min(255.0f, float((rgb >> s) & 255) * light + 0.5f)) << s; };
    return 0xFF000000u | ch(16) | ch(8) | ch(0);
}

const Vec3 kLight = Normalize({-0.35f, 0.55f, -0.75f});

float Lit(Vec3 n) { return 0.3f + 0.7f * std::abs(Dot(n, kLight)); }

// A list's element i, when the list holds it.
const uint8_t* Element(std::span<const uint8_t> b, uint32_t i, int width) {
    if (b.size() < 4 || i >= format::LoadU32(b.data()) || 4 + (size_t(i) + 1) * size_t(width) > b.size())
        return nullptr;
    return b.data() + 4 + size_t(i) * size_t(width);
}

// A corner before it is cut at the near plane: its place in view space and
// what it carries.
struct Vertex {
    Vec3 q;
    float rgba[4];
    float uv[2];
};

Vertex Mix(const Vertex& a, const Vertex& b, float t) {
    Vertex m;
    m.q = a.q + (b.q - a.q) * t;
    for (int k = 0; k < 4; ++k) m.rgba[k] = a.rgba[k] + (b.rgba[k] - a.rgba[k]) * t;
    for (int k = 0; k < 2; ++k) m.uv[k] = a.uv[k] + (b.uv[k] - a.uv[k]) * t;
    return m;
}

// Everything one frame needs, shared by the threads that draw it.
struct Pass {
    const Geometry& g;
    const std::vector<uint8_t>& shown;
    const Style& style;
    const Highlight& mark;
    const View& v;
    const float* screen;  // four floats a point: x, y, depth key, distance in front
    // Per segment, its lists read once before the threads start.
    struct Lists {
        std::span<const uint8_t> normals, colours, uvs;
    };
    const std::vector<Lists>& lists;
    // Per segment: 0 not drawn, 1 drawn first (opaque, cut out), 2 drawn
    // after them (seen through).
    const std::vector<uint8_t>& order;

    Corner Screen(uint32_t p) const {
        const float* s = screen + 4 * size_t(p);
        return {s[0], s[1], s[2]};
    }
    bool Front(uint32_t p) const { return v.ortho || screen[4 * size_t(p) + 3] >= v.near; }

    bool Shown(size_t model) const { return model < shown.size() && shown[model]; }
    // A bone or a hardpoint is marked with what it belongs to: a hidden one
    // (as they mostly are) when its parent is shown.
    bool Marked(size_t model) const {
        const Model& m = g.models[model];
        return Shown(model) || (m.kind == Kind::hidden && (m.parent < 0 ? !shown.empty() : Shown(size_t(m.parent))));
    }

    // The surface of triangle ti and its corners; false to leave it out (a
    // single-sided see-through surface from behind).
    bool Prepare(size_t ti, Surface& s, Vertex (&c)[3]) const;
    // The triangles [from, to) drawn first; those seen through are put in
    // late. False once the raster's budget is spent.
    bool Draw(raster::Raster& r, size_t from, size_t to, std::vector<uint32_t>& late) const;
    bool Put(raster::Raster& r, size_t ti) const;
};

bool Pass::Prepare(size_t ti, Surface& s, Vertex (&c)[3]) const {
    const Triangle& t = g.triangles[ti];
    const Segment& seg = g.segments[t.segment];
    const Model& model = g.models[size_t(seg.model)];
    const Material* mat = seg.material >= 0 ? &g.materials[size_t(seg.material)] : nullptr;
    const uint8_t flags = mat ? mat->flags : 0;
    namespace mf = preview::matflag;
    const bool marked = (mark.faces && seg.faces == mark.faces && mark.at >= int64_t(t.at) &&
                         mark.at < int64_t(t.at) + t.span);
    const bool highlit = marked || int(t.segment) == mark.segment || seg.model == mark.model;
    const bool seen = model.kind == Kind::collision || model.kind == Kind::shadow;
    s.blend = Blend::opaque;
    if (seen) s.blend = Blend::blended;
    else if (flags & mf::additive) s.blend = Blend::additive;
    else if (flags & mf::blended) s.blend = Blend::blended;
    else if (flags & mf::hardedged) s.blend = Blend::cutout;
    if (highlit) s.blend = Blend::opaque;
    const bool late = s.blend == Blend::blended || s.blend == Blend::additive;
    s.perspective = !v.ortho;
    for (int i = 0; i < 3; ++i) c[i].q = v.ToView(g.points[t.v[i]]);
    const Vec3 face = Normalize(Cross(c[1].q - c[0].q, c[2].q - c[0].q));
    // A single-sided see-through surface shows its front only: the side its
    // normals point to, else the side its corners turn counter-clockwise.
    if (late && !seen && !(flags & mf::doublesided)) {
        // View space turns the other way round: the cross product of a
        // front face points away from the camera there.
        Vec3 n = face * -1;
        if (const uint8_t* e = Element(lists[t.segment].normals, t.v[0] - seg.first, 12))
            n = v.Turn(Vec3{format::LoadF32(e), format::LoadF32(e + 4), format::LoadF32(e + 8)});
        if (Dot(n, c[0].q) > 0) return false;
    }
    if (marked) {
        s.flat = true, s.colour = 0xFF000000u | kHighlight;
        return true;
    }
    const bool glow = (flags & (mf::unlit | mf::glow)) != 0;
    float base[4] = {1, 1, 1, 1};
    bool lost = false;
    const Texture* tex = nullptr;
    if (highlit || seen || model.kind == Kind::hidden || (!mat && seg.texture.empty())) {
        const uint32_t rgb = highlit ? kHighlight : KindColour(model.kind);
        base[0] = float((rgb >> 16) & 255) / 255, base[1] = float((rgb >> 8) & 255) / 255;
        base[2] = float(rgb & 255) / 255, base[3] = seen && !highlit ? kSeeThrough : 1;
    } else {
        if (mat) std::copy(mat->diffuse, mat->diffuse + 4, base);
        if (style.textures) tex = style.textures->ForSegment(g, t.segment, lost);
        if (lost) base[0] = 1, base[1] = 0, base[2] = 1, base[3] = 1;
    }
    // The light of each corner: from its normal, else the face's.
    const Mat4& w = model.world;
    float lit[3];
    const Lists& own = lists[t.segment];
    std::span<const uint8_t> normals = own.normals, colours = own.colours, uvs = own.uvs;
    bool uniform = !tex;
    for (int i = 0; i < 3; ++i) {
        const uint32_t local = t.v[i] - seg.first;
        lit[i] = Lit(face);
        if (const uint8_t* e = glow ? nullptr : Element(normals, local, 12)) {
            const Vec3 n{format::LoadF32(e), format::LoadF32(e + 4), format::LoadF32(e + 8)};
            const Vec3 m{w.m[0][0] * n.x + w.m[0][1] * n.y + w.m[0][2] * n.z,
                         w.m[1][0] * n.x + w.m[1][1] * n.y + w.m[1][2] * n.z,
                         w.m[2][0] * n.x + w.m[2][1] * n.y + w.m[2][2] * n.z};
            const Vec3 turned = Normalize(v.Turn(m));
            if (Finite(turned) && Length(turned) > 0) lit[i] = Lit(turned), uniform = false;
        }
        if (glow) lit[i] = 1;
        for (int k = 0; k < 3; ++k) c[i].rgba[k] = base[k] * lit[i];
        c[i].rgba[3] = base[3];
        if (const uint8_t* e = highlit || seen ? nullptr : Element(colours, local, 4)) {
            // Stored blue, green, red, alpha.
            c[i].rgba[0] *= float(e[2]) / 255, c[i].rgba[1] *= float(e[1]) / 255;
            c[i].rgba[2] *= float(e[0]) / 255, c[i].rgba[3] *= float(e[3]) / 255;
            uniform = false;
        }
        c[i].uv[0] = c[i].uv[1] = 0;
        if (const uint8_t* e = tex ? Element(uvs, local, 8) : nullptr) {
            c[i].uv[0] = format::LoadF32(e), c[i].uv[1] = format::LoadF32(e + 4);
            if (!std::isfinite(c[i].uv[0]) || !std::isfinite(c[i].uv[1])) c[i].uv[0] = c[i].uv[1] = 0;
        }
    }
    s.texture = tex;
    s.flat = uniform;
    if (uniform) {
        const uint32_t rgb = uint32_t(std::clamp(base[0], 0.0f, 1.0f) * 255 + 0.5f) << 16 |
                             uint32_t(std::clamp(base[1], 0.0f, 1.0f) * 255 + 0.5f) << 8 |
                             uint32_t(std::clamp(base[2], 0.0f, 1.0f) * 255 + 0.5f);
        s.colour = Shade(rgb, lit[0]);
    }
    return true;
}

bool Pass::Draw(raster::Raster& r, size_t from, size_t to, std::vector<uint32_t>& late) const {
    const uint32_t stride = std::max<uint32_t>(1, style.stride);
    const float w = float(r.Width()), h = float(r.Height());
    for (size_t ti = from; ti < to; ti += stride) {
        const Triangle& t = g.triangles[ti];
        const uint8_t when = order[t.segment];
        if (!when) continue;
        const float* a = screen + 4 * size_t(t.v[0]);
        const float* b = screen + 4 * size_t(t.v[1]);
        const float* d = screen + 4 * size_t(t.v[2]);
        if (v.ortho || (a[3] >= v.near && b[3] >= v.near && d[3] >= v.near)) {
            // Most triangles of a large mesh cover no pixel's centre, or
            // lie outside the picture: those are passed over first.
            const float lox = std::min({a[0], b[0], d[0]}), hix = std::max({a[0], b[0], d[0]});
            const float loy = std::min({a[1], b[1], d[1]}), hiy = std::max({a[1], b[1], d[1]});
            if (hix < 0 || hiy < 0 || lox > w || loy > h) continue;
            if (std::ceil(lox - 0.5f) > std::floor(hix - 0.5f) || std::ceil(loy - 0.5f) > std::floor(hiy - 0.5f))
                continue;
        }
        if (when == 2) {
            late.push_back(uint32_t(ti));
            continue;
        }
        if (!Put(r, ti)) return false;
    }
    return true;
}

bool Pass::Put(raster::Raster& r, size_t ti) const {
    Surface s;
    Vertex c[3];
    if (!Prepare(ti, s, c)) return true;
    const uint32_t id = uint32_t(ti);
    auto put = [&](const Vertex* p[3]) {
        Corner k[3];
        for (int i = 0; i < 3; ++i) {
            k[i] = ToScreen(v, p[i]->q);
            std::copy(p[i]->rgba, p[i]->rgba + 4, s.rgba[i]);
            std::copy(p[i]->uv, p[i]->uv + 2, s.uv[i]);
        }
        return r.Triangle(k[0], k[1], k[2], s, id);
    };
    if (v.ortho || (c[0].q.z >= v.near && c[1].q.z >= v.near && c[2].q.z >= v.near)) {
        const Vertex* p[3] = {&c[0], &c[1], &c[2]};
        return put(p);
    }
    // Cut at the near plane: what is left is a triangle or a quad.
    Vertex out[4];
    int k = 0;
    for (int i = 0; i < 3; ++i) {
        const Vertex& a = c[i];
        const Vertex& b = c[(i + 1) % 3];
        if (a.q.z >= v.near) out[k++] = a;
        if ((a.q.z >= v.near) != (b.q.z >= v.near)) out[k++] = Mix(a, b, (v.near - a.q.z) / (b.q.z - a.q.z));
    }
    for (int i = 2; i < k; ++i) {
        const Vertex* p[3] = {&out[0], &out[i - 1], &out[i]};
        if (!put(p)) return false;
    }
    return true;
}

}  // namespace

uint32_t KindColour(Kind k) {
    switch (k) {
        case Kind::cloth: return 0x6FC27A;
        case Kind::collision: return 0x5A8FE0;
        case Kind::shadow: return 0x9070A0;
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
    // Halves first: a box that spans the float range still has a size.
    const Vec3 half = hi * 0.5f - lo * 0.5f;
    const float big = std::max({std::abs(half.x), std::abs(half.y), std::abs(half.z)});
    const float r = any ? std::max(big > 0 ? big * Length(half * (1 / big)) : 0.0f, 1e-3f) : 1.0f;
    c.target = any ? lo * 0.5f + hi * 0.5f : Vec3{};
    if (!std::isfinite(r) || !Finite(c.target)) {
        c.target = Vec3{};
        return c;
    }
    const float a = aspect > 0 && std::isfinite(aspect) ? aspect : 1;
    const float halfangle = std::atan(std::tan(c.fov * kPi / 360) * std::min(1.0f, a));
    c.distance = r * 1.05f / std::sin(halfangle);
    c.span = 2.1f * r / std::min(1.0f, a);
    if (!std::isfinite(c.distance) || !std::isfinite(c.span)) c.distance = 5, c.span = 2;
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
    f.incomplete = false;

    const View v(cam, f.width, f.height);
    // A second thread pays for itself on large meshes only.
    const int threads = style.threads > 1 && g.points.size() + g.triangles.size() >= 20000 ? 2 : 1;
    // first on this thread and second on a helper; both here when no helper
    // can be started.
    auto shared = [&](auto&& first, auto&& second) {
        if (threads < 2) return first(), second();
        try {
            std::thread helper(second);
            first();
            helper.join();
        } catch (const std::system_error&) {
            first(), second();
        }
    };
    // Every point in view space, and on the screen when it is in front.
    std::vector<float>& screen = f.scratch;
    screen.resize(4 * g.points.size());
    auto transform = [&](size_t from, size_t to) {
        for (size_t i = from; i < to; ++i) {
            const Vec3 q = v.ToView(g.points[i]);
            float* s = screen.data() + 4 * i;
            const Corner c = v.Front(q) ? ToScreen(v, q) : Corner{0, 0, 0};
            s[0] = float(c.x), s[1] = float(c.y), s[2] = float(c.key), s[3] = q.z;
        }
    };
    std::vector<Pass::Lists> lists;
    lists.reserve(g.segments.size());
    auto bytes = [](const mesh::chunk* c) { return c ? mesh::LeafBytes(*c) : std::span<const uint8_t>(); };
    for (const Segment& s : g.segments) lists.push_back({bytes(s.normals), bytes(s.colours), bytes(s.uvs)});
    std::vector<uint8_t> order(g.segments.size());
    const Pass pass{g, shown, style, mark, v, screen.data(), lists, order};
    const size_t half = threads > 1 ? g.points.size() / 2 : g.points.size();
    shared([&] { transform(0, half); }, [&] { transform(half, g.points.size()); });

    // When each segment is drawn: not, first, or after (seen through).
    for (size_t i = 0; i < g.segments.size(); ++i) {
        const Segment& seg = g.segments[i];
        if (!pass.Shown(size_t(seg.model))) continue;
        const Kind kind = g.models[size_t(seg.model)].kind;
        namespace mf = preview::matflag;
        const uint8_t flags = seg.material >= 0 ? g.materials[size_t(seg.material)].flags : 0;
        const bool highlit = int(i) == mark.segment || seg.model == mark.model;
        const bool late = kind == Kind::collision || kind == Kind::shadow ||
                          (kind != Kind::hidden && (flags & (mf::additive | mf::blended)));
        order[i] = late && !highlit ? 2 : 1;
    }
    // The triangles are shared between the threads, each drawing into a
    // picture of its own; the nearer pixel of the two is kept.
    const int64_t budget = std::max<int64_t>(int64_t(n) * 64, int64_t(1) << 28) / threads;
    const size_t count = g.triangles.size();
    const size_t split = threads > 1 ? count / 2 : count;
    std::vector<uint32_t> late[2];
    Frame other;
    raster::Raster first(f, style.wireframe, budget, 0, f.height);
    std::optional<raster::Raster> second;
    if (threads > 1) {
        other.width = f.width, other.height = f.height;
        other.pixels.assign(n, 0xFF000000u | kBackground);
        other.ids.assign(n, Frame::kNone);
        other.depth.assign(n, -std::numeric_limits<float>::infinity());
        second.emplace(other, style.wireframe, budget, 0, f.height);
    }
    shared([&] { pass.Draw(first, 0, split, late[0]); },
           [&] { if (second) pass.Draw(*second, split, count, late[1]); });
    if (second) {
        for (size_t i = 0; i < n; ++i)
            if (other.depth[i] > f.depth[i]) {
                f.depth[i] = other.depth[i];
                f.pixels[i] = other.pixels[i];
                f.ids[i] = other.ids[i];
            }
    }
    // What is seen through, in its order, over all of it.
    raster::Raster after(f, style.wireframe, budget, 0, f.height);
    bool spent = false;
    for (const std::vector<uint32_t>& list : late)
        for (size_t k = 0; k < list.size() && !spent; ++k) spent = !pass.Put(after, list[k]);
    f.incomplete = first.incomplete || (second && second->incomplete) || after.incomplete;

    // What is drawn over the picture.
    raster::Raster over(f, false, 0, 0, f.height);
    float x, y, px, py;
    for (size_t i = 0; i < g.models.size(); ++i) {
        const Model& m = g.models[i];
        if (style.bones && pass.Marked(i) && m.bone && m.parent >= 0 &&
            Project(cam, f.width, f.height, m.world.Origin(), x, y) &&
            Project(cam, f.width, f.height, g.models[size_t(m.parent)].world.Origin(), px, py)) {
            over.Line(px, py, x, y, kBone);
            over.Marker(x, y, 1, kBone, false);
        }
    }
    for (const OpenEdge& e : g.openedges)
        if (pass.Shown(size_t(g.segments[e.segment].model)) && Project(cam, f.width, f.height, g.points[e.a], x, y) &&
            Project(cam, f.width, f.height, g.points[e.b], px, py))
            over.Line(x, y, px, py, kOpenEdge);
    for (size_t i = 0; i < g.models.size(); ++i)
        if (style.hardpoints && pass.Marked(i) && g.models[i].hardpoint &&
            Project(cam, f.width, f.height, g.models[i].world.Origin(), x, y))
            over.Marker(x, y, 4, kHardpoint, true);
    if (mark.segment >= 0 && size_t(mark.segment) < g.segments.size() && mark.vertex >= 0) {
        const Segment& s = g.segments[size_t(mark.segment)];
        const bool inside = mark.vertex < int64_t(s.count);
        const uint32_t p = inside ? s.first + uint32_t(mark.vertex) : 0;
        const bool real = inside && g.sound[p];
        // Large enough to be seen at any zoom, with a dark rim.
        if ((real || mark.centred) && Project(cam, f.width, f.height, real ? g.points[p] : mark.centre, x, y)) {
            over.Marker(x, y, 6, kWire, false);
            over.Marker(x, y, 4, kVertexMark, false);
        }
    }
}

int MarkerAt(const Geometry& g, const std::vector<uint8_t>& shown, const Camera& cam, const Style& style,
             int width, int height, float x, float y, float radius) {
    int best = -1;
    float bestd = radius * radius;
    float mx, my;
    for (size_t i = 0; i < g.models.size() && i < shown.size(); ++i) {
        const Model& m = g.models[i];
        const bool marked = shown[i] || (m.kind == Kind::hidden && (m.parent < 0 || (size_t(m.parent) < shown.size() &&
                                                                                      shown[size_t(m.parent)])));
        if (!marked || !((style.bones && m.bone) || (style.hardpoints && m.hardpoint))) continue;
        if (!Project(cam, width, height, m.world.Origin(), mx, my)) continue;
        const float d = (mx - x) * (mx - x) + (my - y) * (my - y);
        if (d <= bestd) bestd = d, best = int(i);
    }
    return best;
}

}  // namespace preview
