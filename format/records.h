// The facts about each kind of chunk of the mesh format, in one table: which
// names exist, which have a structural rule and in what order they are
// dispatched, the element widths of the list-size rule, the fixed record
// sizes, and the byte layouts of the records (fields with their name, type,
// offset, count and meaning; enumerations and flag bits).
//
// The list-size rule (chunk::determinesize), the structural rules
// (mesh/verify.cpp), the deep check and any viewer of records read from here.
// All integers and floats of a record are little-endian.
//
// Record layouts:
//   Container  children only
//   Empty      no data at all
//   Fields     the fields at fixed offsets
//   Text       a null-terminated text padded with zeros to a multiple of four
//   List       a u32 count, then count elements; an element is its fields,
//              followed, for each sublist, by as many entries as the element's
//              field named by the sublist says (a polygon's indices, a bone's
//              keys), so elements with sublists differ in length
//   Opaque     bytes whose layout is not known
//   Names      texts, each ended by a zero byte, back to back
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "format/bytes.h"

namespace format {

enum class FieldType : uint8_t {
    U8,
    U16,
    U32,
    I32,
    F32,
    Chars,  // a fixed-width text of count bytes, zero padded
};

// Width in bytes of one value of a field type (Chars: one character).
constexpr int FieldTypeWidth(FieldType t) {
    switch (t) {
        case FieldType::U8: case FieldType::Chars: return 1;
        case FieldType::U16: return 2;
        default: return 4;
    }
}

// A value of an enumeration and what it means.
struct ValueName {
    uint32_t value;
    const char* name;
};

// A flag bit (a mask with one bit set) and its name.
struct FlagName {
    uint32_t mask;
    const char* name;
};

// One field of a record or of a list element: count values of type at
// offset, each stride bytes after the previous one (0: packed, the width of
// the type). For a field with flags, the bits of its flags are flags and the
// rest of the value is the value itself.
struct Field {
    const char* name;
    FieldType type;
    int offset;
    int count;
    const char* meaning;
    std::span<const ValueName> values = {};  // an enumeration: the values with a meaning
    std::span<const FlagName> flags = {};
    int stride = 0;
    // count values r, g, b, a from 0 to 1: a colour a viewer can show.
    bool colour = false;

    constexpr int Stride() const { return stride ? stride : FieldTypeWidth(type); }
    // The byte after the last value.
    constexpr int End() const { return offset + (count - 1) * Stride() + FieldTypeWidth(type); }
};

// A list inside each element of a list: after the element's fields (and the
// sublists before it), as many entries as the element's field number
// countfield holds.
struct Sublist {
    const char* name;
    int countfield;
    int entrysize;
    std::span<const Field> fields;
};

enum class Layout : uint8_t { Container, Empty, Fields, Text, List, Opaque, Names };

// The layout of a chunk's data, possibly only under a given parent.
struct RecordLayout {
    const char* parent;  // nullptr: under any parent (and at the root)
    Layout layout;
    // The one data size the structural rules allow, or -1 when the size is free.
    int fixedsize;
    // Fields: the record's fields; List: its count (one field at offset 0).
    std::span<const Field> fields;
    // List: the fields of one element, their size in bytes and the sublists.
    std::span<const Field> element = {};
    int elementsize = 0;
    std::span<const Sublist> sublists = {};
};

// One kind of chunk, known by its name.
struct ChunkKind {
    const char* name;
    const char* meaning;
    // Structural rules: true for the names that have one (see kRuleNames).
    bool rule;
    // Structural rules: a container row (children counted by name) rather
    // than a leaf row.
    bool container;
    // Structural rules for a leaf: size 0 is a finding; the data must be a
    // text record.
    bool nodata;
    bool text;
    // Element width of the list-size rule (0: no counted list).
    int listwidth;
    // Layouts by parent: the first whose parent matches, the last one
    // (parent nullptr) otherwise.
    std::span<const RecordLayout> layouts;
};

namespace records {

using FT = FieldType;

// ---- Enumerations and flags -----------------------------------------------

inline constexpr ValueName kModelTypes[] = {
    {0, "null"}, {1, "skin"}, {2, "cloth"}, {3, "bone"}, {4, "static"}, {6, "shadow volume"},
};
inline constexpr FlagName kModelFlags[] = {{1, "hidden"}};
inline constexpr ValueName kCollisionShapes[] = {
    {0, "sphere"}, {1, "ellipsoid"}, {2, "cylinder"}, {3, "mesh"}, {4, "box"},
};
inline constexpr FlagName kMaterialFlags[] = {
    {1, "unlit"},         {2, "glow"},         {4, "blended transparency"}, {8, "double-sided"},
    {16, "hard-edged transparency"}, {32, "per-pixel"}, {64, "additive transparency"}, {128, "specular"},
};
// The first two indices of each triangle strip carry this bit.
inline constexpr uint32_t kStripStart = 0x8000;
inline constexpr FlagName kStripFlags[] = {{kStripStart, "strip start"}};

// The polygons of an NDXL's data (a count, then for each polygon its index
// count and its 16-bit indices), in order: f(position, declared, indices)
// with the polygon's position (the indices before it), its declared index
// count and the indices the data holds of it, fewer than declared only for a
// polygon the data cuts short, which is the last. f returns false to stop.
template <class F>
void ForEachPolygon(std::span<const uint8_t> b, F&& f) {
    if (b.size() < 4) return;
    const int64_t count = LoadU32(b.data());
    size_t p = 4;
    int64_t pos = 0;
    for (int64_t i = 0; i < count && p + 2 <= b.size(); ++i) {
        const uint32_t declared = LoadU16(b.data() + p);
        p += 2;
        const size_t held = std::min<size_t>(declared, (b.size() - p) / 2);
        if (!f(pos, declared, b.subspan(p, held * 2)) || held < declared) return;
        p += held * 2;
        pos += declared;
    }
}

// ---- Fields ----------------------------------------------------------------

inline constexpr Field kCount[] = {{"count", FT::U32, 0, 1, "number of elements"}};
inline constexpr Field kU32Value[] = {{"value", FT::U32, 0, 1, "the value"}};
inline constexpr Field kMaterialIndex[] = {{"material", FT::U32, 0, 1, "index of the MATD in the MATL"}};
inline constexpr Field kModelType[] = {{"type", FT::U32, 0, 1, "model type", kModelTypes}};
inline constexpr Field kModelIndex[] = {{"index", FT::U32, 0, 1, "model index"}};
inline constexpr Field kModelFlagsField[] = {{"flags", FT::U32, 0, 1, "model flags", {}, kModelFlags}};
inline constexpr Field kShadowVolume[] = {{"value", FT::U32, 0, 1, "shadow volume setting"}};
inline constexpr Field kFrames[] = {
    {"first", FT::I32, 0, 1, "first frame"},
    {"last", FT::I32, 4, 1, "last frame"},
    {"rate", FT::F32, 8, 1, "frames per second"},
};
inline constexpr Field kTransform[] = {
    {"scale", FT::F32, 0, 3, "scale x, y, z"},
    {"rotation", FT::F32, 12, 4, "rotation quaternion x, y, z, w"},
    {"translation", FT::F32, 28, 3, "translation x, y, z"},
};
inline constexpr Field kBox[] = {
    {"rotation", FT::F32, 0, 4, "rotation quaternion x, y, z, w"},
    {"centre", FT::F32, 16, 3, "centre x, y, z"},
    {"extents", FT::F32, 28, 3, "half extents x, y, z"},
    {"radius", FT::F32, 40, 1, "bounding sphere radius"},
};
inline constexpr Field kCollision[] = {
    {"shape", FT::U32, 0, 1, "collision shape", kCollisionShapes},
    {"radius", FT::F32, 4, 1, "radius"},
    {"height", FT::F32, 8, 1, "height"},
    {"length", FT::F32, 12, 1, "length"},
};
inline constexpr Field kAttributes[] = {
    {"flags", FT::U8, 0, 1, "material flags", {}, kMaterialFlags},
    {"render", FT::U8, 1, 1, "render type"},
    {"data0", FT::U8, 2, 1, "render type parameter 0"},
    {"data1", FT::U8, 3, 1, "render type parameter 1"},
};
inline constexpr Field kMaterial[] = {
    {"diffuse", FT::F32, 0, 4, "diffuse colour r, g, b, a", {}, {}, 0, true},
    {"specular", FT::F32, 16, 4, "specular colour r, g, b, a", {}, {}, 0, true},
    {"ambient", FT::F32, 32, 4, "ambient colour r, g, b, a", {}, {}, 0, true},
    {"exponent", FT::F32, 48, 1, "specular exponent"},
};
inline constexpr Field kCamera[] = {{"values", FT::F32, 0, 10, "camera values"}};
inline constexpr Field kColour[] = {
    {"blue", FT::U8, 0, 1, "blue"},
    {"green", FT::U8, 1, 1, "green"},
    {"red", FT::U8, 2, 1, "red"},
    {"alpha", FT::U8, 3, 1, "alpha"},
};

// List elements.
inline constexpr Field kVector3[] = {{"xyz", FT::F32, 0, 3, "x, y, z"}};
inline constexpr Field kVector2[] = {{"uv", FT::F32, 0, 2, "u, v"}};
inline constexpr Field kWeights[] = {
    {"bone", FT::I32, 0, 4, "bone (index into the ENVL of the GEOM)", {}, {}, 8},
    {"weight", FT::F32, 4, 4, "weight of that bone", {}, {}, 8},
};
inline constexpr Field kEnvelope[] = {{"model", FT::U32, 0, 1, "model index (MNDX) of a bone"}};
inline constexpr Field kStripIndex[] = {{"index", FT::U16, 0, 1, "vertex index", {}, kStripFlags}};
inline constexpr Field kTriangle16[] = {{"indices", FT::U16, 0, 3, "vertex indices"}};
inline constexpr Field kTriangle32[] = {{"indices", FT::U32, 0, 3, "cloth vertex indices"}};
inline constexpr Field kPolygon[] = {{"vertices", FT::U16, 0, 1, "number of vertices"}};
inline constexpr Field kPolygonIndex[] = {{"index", FT::U16, 0, 1, "vertex index"}};
inline constexpr Field kClothIndex[] = {{"index", FT::U32, 0, 1, "cloth vertex index"}};
inline constexpr Field kSpring[] = {{"ends", FT::U16, 0, 2, "cloth vertex indices of the two ends"}};
inline constexpr Field kBlend[] = {
    {"bone", FT::U32, 0, 1, "CRC of the bone name"},
    {"factor", FT::F32, 4, 1, "blend factor"},
};
inline constexpr Field kSkeleton[] = {
    {"bone", FT::U32, 0, 1, "CRC of the bone name"},
    {"type", FT::U32, 4, 1, "rotation type"},
    {"constant", FT::F32, 8, 1, "constant"},
    {"length1", FT::F32, 12, 1, "bone length 1"},
    {"length2", FT::F32, 16, 1, "bone length 2"},
};
inline constexpr Field kCycle[] = {
    {"name", FT::Chars, 0, 64, "animation name"},
    {"rate", FT::F32, 64, 1, "frames per second"},
    {"style", FT::U32, 68, 1, "play style"},
    {"first", FT::U32, 72, 1, "first frame"},
    {"last", FT::U32, 76, 1, "last frame"},
};
inline constexpr Field kBoneKeys[] = {
    {"bone", FT::U32, 0, 1, "CRC of the bone name"},
    {"type", FT::U32, 4, 1, "key type"},
    {"translations", FT::U32, 8, 1, "number of translation keys"},
    {"rotations", FT::U32, 12, 1, "number of rotation keys"},
};
inline constexpr Field kTranslationKey[] = {
    {"frame", FT::U32, 0, 1, "frame"},
    {"xyz", FT::F32, 4, 3, "translation x, y, z"},
};
inline constexpr Field kRotationKey[] = {
    {"frame", FT::U32, 0, 1, "frame"},
    {"xyzw", FT::F32, 4, 4, "rotation quaternion x, y, z, w"},
};
inline constexpr Sublist kPolygonIndices[] = {{"index", 0, 2, kPolygonIndex}};
inline constexpr Sublist kKeys[] = {
    {"translation key", 2, 16, kTranslationKey},
    {"rotation key", 3, 20, kRotationKey},
};

// ---- Layouts ---------------------------------------------------------------

inline constexpr RecordLayout kContainer[] = {{nullptr, Layout::Container, -1, {}}};
inline constexpr RecordLayout kEmpty[] = {{nullptr, Layout::Empty, -1, {}}};
inline constexpr RecordLayout kTextLayout[] = {{nullptr, Layout::Text, -1, {}}};
inline constexpr RecordLayout kOpaque[] = {{nullptr, Layout::Opaque, -1, {}}};
inline constexpr RecordLayout kNames[] = {{nullptr, Layout::Names, -1, {}}};
constexpr RecordLayout FixedFields(std::span<const Field> f, int size) { return {nullptr, Layout::Fields, size, f}; }
constexpr RecordLayout ListOf(std::span<const Field> e, int size, std::span<const Sublist> sub = {}) {
    return {nullptr, Layout::List, -1, kCount, e, size, sub};
}

inline constexpr RecordLayout kShvo[] = {FixedFields(kShadowVolume, 4)};
inline constexpr RecordLayout kFram[] = {FixedFields(kFrames, 12)};
inline constexpr RecordLayout kAtrb[] = {FixedFields(kAttributes, 4)};
inline constexpr RecordLayout kMtyp[] = {FixedFields(kModelType, 4)};
inline constexpr RecordLayout kMndx[] = {FixedFields(kModelIndex, 4)};
inline constexpr RecordLayout kFlgs[] = {FixedFields(kModelFlagsField, 4)};
inline constexpr RecordLayout kTran[] = {FixedFields(kTransform, 40)};
inline constexpr RecordLayout kSwci[] = {FixedFields(kCollision, -1)};
inline constexpr RecordLayout kMati[] = {FixedFields(kMaterialIndex, 4)};
inline constexpr RecordLayout kBbox[] = {FixedFields(kBox, 44)};
inline constexpr RecordLayout kClrb[] = {FixedFields(kColour, -1)};
inline constexpr RecordLayout kData[] = {
    {"CAMR", Layout::Fields, 40, kCamera},
    {"MATD", Layout::Fields, 52, kMaterial},
    {nullptr, Layout::Opaque, -1, {}},
};
inline constexpr RecordLayout kPosl[] = {ListOf(kVector3, 12)};
inline constexpr RecordLayout kUvs[] = {ListOf(kVector2, 8)};
inline constexpr RecordLayout kWght[] = {ListOf(kWeights, 32)};
inline constexpr RecordLayout kClrl[] = {ListOf(kColour, 4)};
inline constexpr RecordLayout kEnvl[] = {ListOf(kEnvelope, 4)};
inline constexpr RecordLayout kStrp[] = {ListOf(kStripIndex, 2)};
inline constexpr RecordLayout kNdxt[] = {ListOf(kTriangle16, 6)};
inline constexpr RecordLayout kNdxl[] = {ListOf(kPolygon, 2, kPolygonIndices)};
inline constexpr RecordLayout kFidx[] = {ListOf(kClothIndex, 4)};
inline constexpr RecordLayout kCmsh[] = {ListOf(kTriangle32, 12)};
inline constexpr RecordLayout kSprings[] = {ListOf(kSpring, 4)};
inline constexpr RecordLayout kBln2[] = {ListOf(kBlend, 8)};
inline constexpr RecordLayout kSkl2[] = {ListOf(kSkeleton, 20)};
inline constexpr RecordLayout kCycl[] = {ListOf(kCycle, 80)};
inline constexpr RecordLayout kKfr3[] = {ListOf(kBoneKeys, 16, kKeys)};

// ---- The table ---------------------------------------------------------------

constexpr ChunkKind Box(const char* n, const char* m) { return {n, m, true, true, false, false, 0, kContainer}; }
constexpr ChunkKind Leaf(const char* n, const char* m, std::span<const RecordLayout> l, bool nodata = false,
                         bool text = false, int listwidth = 0) {
    return {n, m, true, false, nodata, text, listwidth, l};
}
// A name the structural rules do not know, though real files carry it.
constexpr ChunkKind Extra(const char* n, const char* m, std::span<const RecordLayout> l) {
    return {n, m, false, false, false, false, 0, l};
}

// The names with a structural rule come first, in the order the rules are
// dispatched; the other known names follow.
inline constexpr ChunkKind kKinds[] = {
    Box("HEDR", "file header: the root of a mesh"),
    Leaf("SHVO", "shadow volume setting", kShvo),
    Box("MSH2", "mesh: materials and models"),
    Box("SINF", "scene information"),
    Leaf("FRAM", "frame range and rate", kFram),
    Box("CAMR", "camera"),
    Box("MATL", "material list"),
    Box("MATD", "material"),
    Leaf("ATRB", "material attributes", kAtrb),
    Leaf("TX0D", "diffuse texture file", kTextLayout, false, true),
    Box("MODL", "model"),
    Leaf("MTYP", "model type", kMtyp),
    Leaf("MNDX", "model index", kMndx),
    Leaf("PRNT", "name of the parent model", kTextLayout, false, true),
    Leaf("FLGS", "model flags", kFlgs),
    Leaf("TRAN", "transform relative to the parent", kTran),
    Leaf("SWCI", "collision primitive", kSwci, true),
    Box("GEOM", "geometry"),
    Box("CLTH", "cloth"),
    Leaf("CTEX", "cloth texture file", kTextLayout, true, true),
    Leaf("CPOS", "cloth vertex positions", kPosl, true, false, 12),
    Leaf("CUV0", "cloth texture coordinates", kUvs, true, false, 8),
    Leaf("FIDX", "fixed cloth vertices", kFidx, true, false, 4),
    Leaf("FWGT", "bones of the fixed cloth vertices", kNames, true),
    Leaf("CMSH", "cloth triangles", kCmsh, true),
    Leaf("SPRS", "cloth stretch springs", kSprings, true, false, 4),
    Leaf("CPRS", "cloth cross springs", kSprings, true, false, 4),
    Leaf("BPRS", "cloth bend springs", kSprings, true, false, 4),
    Leaf("COLL", "cloth collision objects", kOpaque, true),
    Box("SEGM", "segment: vertices and faces of one material"),
    Leaf("SHDW", "shadow volume data", kOpaque),
    Leaf("MATI", "material index", kMati),
    Leaf("POSL", "vertex positions", kPosl, true, false, 12),
    Leaf("WGHT", "vertex weights", kWght, true, false, 32),
    Leaf("NRML", "vertex normals", kPosl, true, false, 12),
    Leaf("CLRL", "vertex colours", kClrl, true, false, 4),
    Leaf("UV0L", "texture coordinates", kUvs, true, false, 8),
    Leaf("NDXL", "polygons", kNdxl, true),
    Leaf("NDXT", "triangles", kNdxt, true),
    Leaf("STRP", "triangle strips", kStrp, true),
    Leaf("ENVL", "envelope: the models that act as bones", kEnvl, true, false, 4),
    Leaf("BLN2", "bone blend factors", kBln2, true, false, 8),
    Leaf("SKL2", "skeleton", kSkl2, true, false, 20),
    Box("ANM2", "animation"),
    Leaf("CYCL", "animation cycles", kCycl, true),
    // The list-size rule takes 88 bytes a bone; the records are in fact of
    // variable length (see the layout).
    Leaf("KFR3", "key frames", kKfr3, true, false, 88),
    Leaf("CL1L", "closing chunk", kEmpty),
    Leaf("BBOX", "bounding box", kBbox),
    Leaf("NAME", "name", kTextLayout, false, true),
    Leaf("DATA", "record data (camera or material)", kData),
    Extra("TX1D", "normal map texture file", kTextLayout),
    Extra("TX2D", "detail map texture file", kTextLayout),
    Extra("TX3D", "environment map texture file", kTextLayout),
    Extra("UV1L", "texture coordinates, set 1", kOpaque),
    Extra("UV2L", "texture coordinates, set 2", kOpaque),
    Extra("UV3L", "texture coordinates, set 3", kOpaque),
    Extra("CLRB", "one colour for the whole segment", kClrb),
};

}  // namespace records

inline constexpr std::span<const ChunkKind> kChunkKinds = records::kKinds;

// The names with a structural rule, in the order they are dispatched. Any
// other name is reported as ": illegal chunk name".
inline constexpr int kRuleCount = [] {
    int n = 0;
    for (const ChunkKind& k : records::kKinds) n += k.rule ? 1 : 0;
    return n;
}();
inline constexpr std::array<const char*, kRuleCount> kRuleNames = [] {
    std::array<const char*, kRuleCount> a{};
    int i = 0;
    for (const ChunkKind& k : records::kKinds)
        if (k.rule) a[i++] = k.name;
    return a;
}();
static_assert(kRuleCount == 50);

// The index of a name in kRuleNames (-1 for a name without a rule), usable
// at compile time: constexpr int kPosl = RuleId("POSL").
constexpr int RuleId(std::string_view name) {
    for (int i = 0; i < kRuleCount; ++i)
        if (name == kRuleNames[i]) return i;
    return -1;
}

// True for the names of records: the leaves of the structural rules and the
// extra texture names. A chunk of such a name is always read as a leaf, even
// when its data happens to begin with a container name (a NAME holding
// "MATIERE" is text, not a MATI chunk).
bool IsRecordName(std::string_view name);

// The list-size rule's element width of a chunk with an empty name (a new
// chunk that was never named).
inline constexpr int kEmptyNameListWidth = 4;

// The kind of a chunk name, or null for a name the table does not know.
// Names are compared for exact equality.
const ChunkKind* FindKind(std::string_view name);
// The index of a name in kRuleNames, or -1 for a name without a rule.
int RuleIndex(std::string_view name);
// The layout of a kind's data under a parent of that name (empty: no parent).
const RecordLayout& LayoutOf(const ChunkKind& kind, std::string_view parent);
// The element width of the list-size rule for a name: the table's width, 4
// for the empty name, 1 for any other name.
int ListWidth(std::string_view name);

}  // namespace format
