#include "preview/locate.h"

#include <algorithm>
#include <vector>

#include "format/bytes.h"
#include "format/records.h"
#include "mesh/records.h"

namespace preview {
namespace {

bool Named(const mesh::chunk* c, const char* name) { return c && c->name == name; }

bool OneOf(const mesh::chunk* c, std::initializer_list<const char*> names) {
    for (const char* n : names)
        if (Named(c, n)) return true;
    return false;
}

// The 16-bit or 32-bit entry i of a counted list; -1 past its data.
int64_t Entry(std::span<const uint8_t> b, int64_t i, int width) {
    if (b.size() < 4 || i < 0) return -1;
    const int64_t at = 4 + i * width;
    if (at + width > int64_t(b.size())) return -1;
    return width == 2 ? int64_t(format::LoadU16(b.data() + at)) : int64_t(format::LoadU32(b.data() + at));
}

// The vertices a face list's position belongs to: the strip's neighbours,
// the NDXT triangle, the NDXL polygon (its count words skipped).
std::vector<int64_t> Corners(const mesh::chunk& faces, int64_t at) {
    std::span<const uint8_t> b = mesh::LeafBytes(faces);
    std::vector<int64_t> out;
    if (b.size() < 4) return out;
    const uint32_t flag = format::records::kStripStart;
    if (faces.name == "STRP") {
        for (int64_t i = at - 2; i <= at + 2; ++i) {
            const int64_t v = Entry(b, i, 2);
            if (v >= 0) out.push_back(v & ~int64_t(flag));
        }
    } else if (faces.name == "NDXT") {
        for (int64_t i = at / 3 * 3; i < at / 3 * 3 + 3; ++i) out.push_back(Entry(b, i, 2));
    } else if (faces.name == "CMSH") {
        for (int64_t i = at / 3 * 3; i < at / 3 * 3 + 3; ++i) out.push_back(Entry(b, i, 4));
    } else if (faces.name == "NDXL") {
        format::records::ForEachPolygon(b, [&](int64_t pos, uint32_t declared, std::span<const uint8_t> indices) {
            if (at >= pos + declared) return true;
            for (size_t j = 0; 2 * j < indices.size(); ++j) out.push_back(format::LoadU16(indices.data() + 2 * j));
            return false;
        });
    }
    return out;
}

}  // namespace

int SegmentOf(const Geometry& g, const mesh::chunk* c) {
    // The innermost SEGM or CLTH on the way up, or a GEOM whose segments were
    // read from its bytes; the walk ends at the model.
    for (; c && !Named(c, "MODL"); c = c->getparent().get()) {
        if (!OneOf(c, {"SEGM", "CLTH", "GEOM"})) continue;
        for (size_t i = 0; i < g.segments.size(); ++i)
            if (g.segments[i].chunk == c) return int(i);
        if (!Named(c, "GEOM")) return -1;
    }
    return -1;
}

Spot Locate(const Geometry& g, const mesh::chunk* c, std::optional<uint32_t> element) {
    Spot spot;
    if (!c) return spot;
    const int s = SegmentOf(g, c);
    if (s < 0) {
        spot.mark.model = g.ModelOf(c);
        return spot;
    }
    spot.mark.segment = s;
    const Segment& seg = g.segments[size_t(s)];
    // A vertex of the segment, when it is one that can be drawn.
    auto sound = [&](int64_t v) { return v >= 0 && v < int64_t(seg.count) && g.sound[seg.first + size_t(v)]; };
    std::vector<int64_t> corners;
    if (element && seg.chunk == c->getparent().get()) {
        const int64_t e = *element;
        std::span<const uint8_t> b = mesh::LeafBytes(*c);
        if (c == seg.faces) {
            spot.mark.faces = c;
            spot.mark.at = Named(c, "CMSH") ? 3 * e : e;
            corners = Corners(*c, spot.mark.at);
        } else if (OneOf(c, {"STRP", "NDXT", "NDXL"})) {
            // A face list the picture is not drawn from: its corners.
            corners = Corners(*c, e);
        } else if (OneOf(c, {"POSL", "NRML", "UV0L", "CLRL", "WGHT", "CPOS", "CUV0"})) {
            corners = {e};
        } else if (Named(c, "FIDX")) {
            corners = {Entry(b, e, 4)};
        } else if (OneOf(c, {"SPRS", "CPRS", "BPRS"})) {
            corners = {Entry(b, 2 * e, 2), Entry(b, 2 * e + 1, 2)};
        }
    }
    // A face whose triangles are drawn is filled; one that is left out
    // (an index out of range) shows a sound corner instead.
    bool filled = false;
    if (spot.mark.faces)
        for (const Triangle& t : g.triangles)
            filled |= t.segment == uint32_t(s) && spot.mark.at >= int64_t(t.at) && spot.mark.at < int64_t(t.at) + t.span;
    Vec3 sum;
    int n = 0;
    for (int64_t v : corners) {
        if (!sound(v)) continue;
        if (n++ == 0 && !filled) spot.mark.vertex = v;
        sum = sum + g.points[seg.first + size_t(v)];
    }
    if (n == 0) {
        // The segment's centre.
        for (uint32_t i = 0; i < seg.count; ++i)
            if (g.sound[seg.first + i]) sum = sum + g.points[seg.first + i], ++n;
    }
    if (n > 0 && Finite(sum * (1.0f / float(n)))) {
        spot.found = true;
        spot.point = sum * (1.0f / float(n));
    }
    return spot;
}

}  // namespace preview
