// Where a chunk of the tree, and an element of it, are in the preview's
// geometry: what to highlight, and the point to turn the camera toward.
#pragma once

#include <cstdint>
#include <optional>

#include "preview/render.h"

namespace preview {

struct Spot {
    Highlight mark;
    bool found = false;  // point is a place to look at
    Vec3 point;
};

// The segment (SEGM, CLTH, or a GEOM read from its bytes) that holds c or
// is c: the innermost one among its ancestors; -1 when none does.
int SegmentOf(const Geometry& g, const mesh::chunk* c);

// What to mark for chunk c (null: nothing): its segment, else its model.
// element names a part of c as the check's findings do: a vertex of a
// vertex list (POSL, NRML, UV0L, CLRL, WGHT, CPOS, CUV0), a position of a
// face list (STRP, NDXT, NDXL), a triangle of CMSH, an entry of FIDX, a pair
// of SPRS, CPRS or BPRS. The spot is its triangles or vertex, and the point
// their centre; a part that cannot be drawn (an index out of range, a
// position that is not finite, a face list the segment is not drawn from)
// gives the sound corners around it, and failing those the segment's centre.
Spot Locate(const Geometry& g, const mesh::chunk* c, std::optional<uint32_t> element);

}  // namespace preview
