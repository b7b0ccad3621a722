// The geometry of a mesh as the preview draws it: every model's triangles in
// world space, built from the chunk tree (read only, never changed).
//
// Each model is placed by its TRAN, composed with those of its parents (PRNT
// names the parent model); a parent chain that loops is cut where it closes.
// A segment's triangles come from its STRP (triangle strips, each opened by
// two indices with the strip-start bit), else its NDXT (triangles), else its
// NDXL (polygons, drawn as fans); a cloth's from CPOS and CMSH. Skinned
// models are drawn as their vertices are stored, which is their bind pose.
//
// A GEOM that opens with a SEGM or a CLTH instead of its BBOX is read as a
// leaf by the container-name list; its children are taken from its bytes
// here (a copy, kept with the geometry), so such models are drawn too.
//
// Malformed geometry gives what is sound: a list holds no more elements than
// its data has room for, whatever its count says; a triangle with an index
// out of range or a vertex that is not finite is left out; TRAN values that
// are not finite count as no transform. Nothing is allocated beyond what the
// data holds.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "mesh/chunk.h"
#include "preview/math.h"

namespace preview {

// How a model is coloured, and which switch shows it.
enum class Kind : uint8_t {
    normal,
    cloth,      // MTYP 2 or a CLTH
    collision,  // named collision..., ..._collision, p_...
    shadow,     // MTYP 6 or named sv_...
    hidden,     // FLGS bit 0 (a model of none of the kinds above)
};

struct Model {
    const mesh::chunk* chunk = nullptr;
    std::string name;
    Kind kind = Kind::normal;
    int parent = -1;       // index in Geometry::models, -1 for a root
    Mat4 world;            // model space to world space
    bool hardpoint = false;  // named hp_...: drawn as a marker at its origin
};

// The triangles of one SEGM, or of one CLTH.
struct Segment {
    // The SEGM or the CLTH; the GEOM when that is a leaf of the tree (the
    // chunks below then belong to Geometry::loose).
    const mesh::chunk* chunk = nullptr;
    const mesh::chunk* points = nullptr;  // its POSL or CPOS
    const mesh::chunk* faces = nullptr;   // the list its triangles come from
    int model = -1;
    uint32_t first = 0;  // its vertices: Geometry::points[first .. first+count-1]
    uint32_t count = 0;
};

struct Triangle {
    uint32_t v[3];      // indices into Geometry::points
    uint32_t segment;   // index into Geometry::segments
    // The positions in the face list of the indices it was made from:
    // [at, at + span). A strip's triangle spans three; a polygon all of its.
    uint32_t at;
    uint32_t span;
};

struct Geometry {
    std::vector<Model> models;
    std::vector<Segment> segments;
    std::vector<Vec3> points;      // world space; may be non-finite
    std::vector<uint8_t> sound;    // per point: finite
    std::vector<Triangle> triangles;
    std::vector<mesh::chunkptr> loose;  // GEOMs parsed from a leaf's bytes
    // Index of the model that holds a chunk (the chunk or one of its
    // ancestors is its MODL), -1 when none does.
    int ModelOf(const mesh::chunk* c) const;
};

// Every model below root (a HEDR, a MSH2, or any chunk holding MODLs).
Geometry Build(const mesh::chunk& root);

// Which models to show: all, or a model and its children (by PRNT, to any
// depth), and which kinds besides normal models and cloths. The model in
// focus is shown whatever its kind; when the kinds chosen leave no triangle
// to show, every kind is shown (a mesh of collision only is still seen).
struct Visibility {
    bool collision = false;
    bool shadow = false;
    bool hidden = false;
};
// Per model: shown or not. focus: a model index, or -1 for all.
std::vector<uint8_t> Shown(const Geometry& g, int focus, const Visibility& v);

// The model of that name (the first), -1 when there is none.
int FindModel(const Geometry& g, const std::string& name);

}  // namespace preview
