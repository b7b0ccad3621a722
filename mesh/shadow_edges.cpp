// Welding corners, dropping triangles of no area and pairing edges, as the
// model compiler does before it builds a shadow volume.
#include "mesh/shadow_edges.h"

#include <bit>
#include <cmath>
#include <unordered_map>

namespace mesh {

namespace {

constexpr uint32_t kUnseen = UINT32_MAX;

// A coordinate rounded to 1/1000 as the compiler rounds it, as a hash key:
// zero (of either sign) and NaN are one key.
uint32_t Snap(float v) {
    const float s = float(std::round(double(v) * 1000.0) / 1000.0);
    return (s == 0.0f || s != s) ? 0u : std::bit_cast<uint32_t>(s);
}

struct Key {
    uint32_t x, y, z;
    bool operator==(const Key&) const = default;
};
struct KeyHash {
    size_t operator()(const Key& k) const {
        uint64_t h = (uint64_t(k.x) * 0x9E3779B97F4A7C15ull) ^ (uint64_t(k.y) * 0xC2B2AE3D27D4EB4Full) ^
                     (uint64_t(k.z) * 0x165667B19E3779F9ull);
        return size_t(h ^ (h >> 29));
    }
};

// Half edges of one welded edge, by direction: low to high, high to low.
struct Uses {
    uint32_t up = 0, down = 0;
    uint32_t emitted = 0;  // unpaired ones listed so far
};

bool ZeroArea(const std::array<float, 3>& p0, const std::array<float, 3>& p1, const std::array<float, 3>& p2) {
    const float ax = p1[0] - p0[0], ay = p1[1] - p0[1], az = p1[2] - p0[2];
    const float bx = p2[0] - p0[0], by = p2[1] - p0[1], bz = p2[2] - p0[2];
    return ay * bz - az * by == 0.0f && az * bx - ax * bz == 0.0f && ax * by - ay * bx == 0.0f;
}

}  // namespace

ShadowEdges FindShadowEdges(std::span<const std::array<uint32_t, 3>> triangles,
                            std::span<const std::array<float, 3>> positions, std::span<const uint64_t> skin) {
    ShadowEdges out;
    const size_t nv = positions.size();
    const bool skinned = skin.size() == nv && nv > 0;
    // The welded corner of each vertex, made when a kept triangle first uses it.
    std::vector<uint32_t> weld(nv, kUnseen);
    std::vector<uint32_t> first;  // per welded corner: the vertex that made it
    std::unordered_map<Key, uint32_t, KeyHash> corners;
    std::vector<uint8_t> kept(triangles.size(), 0);
    for (size_t t = 0; t < triangles.size(); ++t) {
        const auto& tri = triangles[t];
        if (tri[0] >= nv || tri[1] >= nv || tri[2] >= nv) continue;
        if (ZeroArea(positions[tri[0]], positions[tri[1]], positions[tri[2]])) {
            if (out.degenerate++ == 0) out.firstdegenerate = uint32_t(t);
            continue;
        }
        kept[t] = 1;
        for (uint32_t v : tri) {
            if (weld[v] != kUnseen) continue;
            const auto& p = positions[v];
            const auto [it, fresh] = corners.try_emplace(Key{Snap(p[0]), Snap(p[1]), Snap(p[2])}, uint32_t(first.size()));
            weld[v] = it->second;
            if (fresh) {
                first.push_back(v);
                continue;
            }
            const auto& q = positions[first[it->second]];
            if (!(p[0] == q[0] && p[1] == q[1] && p[2] == q[2])) ++out.merged;
            if (skinned && skin[v] != skin[first[it->second]]) ++out.mergedskin;
        }
    }

    std::unordered_map<uint64_t, Uses> edges;
    edges.reserve(triangles.size() * 3 / 2 + 1);
    auto key = [](uint32_t a, uint32_t b) { return a < b ? uint64_t(a) << 32 | b : uint64_t(b) << 32 | a; };
    for (size_t t = 0; t < triangles.size(); ++t) {
        if (!kept[t]) continue;
        for (int c = 0; c < 3; ++c) {
            const uint32_t a = weld[triangles[t][size_t(c)]], b = weld[triangles[t][size_t((c + 1) % 3)]];
            Uses& u = edges[key(a, b)];
            (a < b ? u.up : u.down) += 1;
            if (u.up + u.down == 3 && out.overused++ == 0)
                out.firstoverused = {uint32_t(t), triangles[t][size_t(c)], triangles[t][size_t((c + 1) % 3)]};
        }
    }
    // The unpaired half edges: of a welded edge used n times one way and m
    // times back, |n - m| of the more frequent direction, the first met.
    for (size_t t = 0; t < triangles.size(); ++t) {
        if (!kept[t]) continue;
        for (int c = 0; c < 3; ++c) {
            const uint32_t va = triangles[t][size_t(c)], vb = triangles[t][size_t((c + 1) % 3)];
            const uint32_t a = weld[va], b = weld[vb];
            Uses& u = edges.find(key(a, b))->second;
            const uint32_t mine = a < b ? u.up : u.down, theirs = a < b ? u.down : u.up;
            if (mine > theirs && u.emitted < mine - theirs) {
                ++u.emitted;
                out.open.push_back({uint32_t(t), va, vb});
            }
        }
    }
    return out;
}

}  // namespace mesh
