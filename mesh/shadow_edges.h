// The edges of a triangle list as a shadow volume needs them: closed, every
// edge shared by exactly two triangles that run along it in opposite
// directions.
//
// The model compiler builds a shadow volume from a model's triangles the
// same way: it welds the corners that lie within about a millimetre of each
// other (positions rounded to 1/1000), drops triangles of no area (the cross
// product of two sides is exactly zero), then pairs every edge with one that
// runs back between the same welded corners. An edge left without a partner
// is open: the volume leaks there and the compiler tries to close the hole,
// or builds an open copy of every triangle when it cannot. An edge that
// more than two triangles share cannot be paired at all.
//
// The check reports these per segment; the preview marks the open edges.
// The cost is linear in the triangles and vertices (two hash tables).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace mesh {

struct ShadowEdges {
    // One edge of one triangle: the triangle's index in the list given and
    // the two corners it runs between, as vertex indices of the input.
    struct Edge {
        uint32_t triangle = 0;
        uint32_t a = 0, b = 0;
    };
    // Every edge without a partner running back, in triangle order. Where
    // one direction is used more often than the other, the first of the
    // unpaired ones are listed.
    std::vector<Edge> open;
    // Welded edges used by more than two triangles, and the first of them.
    uint64_t overused = 0;
    Edge firstoverused;
    // Triangles of no area (skipped), and the first one's index.
    uint64_t degenerate = 0;
    uint32_t firstdegenerate = 0;
    // Vertices welded to an earlier one at another position (within 1 mm),
    // and those of them whose skin value (below) differs from the earlier's.
    uint64_t merged = 0;
    uint64_t mergedskin = 0;
};

// triangles: three vertex indices each; one that names a vertex past the
// positions is skipped (the check reports it elsewhere). skin: empty, or one
// value per vertex (the bones and weights it follows, packed by the caller).
ShadowEdges FindShadowEdges(std::span<const std::array<uint32_t, 3>> triangles,
                            std::span<const std::array<float, 3>> positions,
                            std::span<const uint64_t> skin = {});

}  // namespace mesh
