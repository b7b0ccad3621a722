// Meshes for the tests of the deep check, built chunk by chunk: a mesh shaped
// like the files real exporters write, and the byte helpers to change it.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "mesh/chunk.h"
#include "tests/support/chunks.h"

namespace checkmesh {

using mesh::chunk;
using mesh::chunkptr;

using testsupport::Bytes;
using testsupport::Cat;
using testsupport::F32s;
using testsupport::Str;
using testsupport::Text;

using testsupport::U32s;
// A u16 list as exporters write it: the count, the entries, zeros up to a
// multiple of four.
inline Bytes U16s(uint32_t count, std::initializer_list<uint16_t> v) {
    Bytes b = Cat({U32s({count}), testsupport::U16s(v)});
    b.resize((b.size() + 3) / 4 * 4, 0);
    return b;
}

// The index-th child of that name, and the model of that name under MSH2;
// null when there is none.
inline chunkptr Kid(const chunkptr& c, const std::string& name, int index = 0) {
    for (const chunkptr& k : c->kids)
        if (k->name == name && index-- == 0) return k;
    return nullptr;
}
inline chunkptr Model(const chunkptr& root, const std::string& name) {
    for (const chunkptr& k : Kid(root, "MSH2")->kids)
        if (k->name == "MODL" && k->FetchName() == name) return k;
    return nullptr;
}

// A container with these children, and a leaf with this data.
inline chunkptr C(const std::string& name, std::initializer_list<chunkptr> kids) {
    return testsupport::Node(name, kids);
}
inline chunkptr D(const std::string& name, Bytes data) { return testsupport::Leaf(name, std::move(data)); }
// A list: the count, then the elements' bytes.
inline chunkptr L(const std::string& name, uint32_t count, Bytes elements) {
    return D(name, Cat({U32s({count}), elements}));
}

inline chunkptr Tran() { return D("TRAN", F32s({1, 1, 1, 0, 0, 0, 1, 0, 0, 0})); }
inline chunkptr Bbox() { return D("BBOX", F32s({0, 0, 0, 1, 0, 0, 0, 1, 1, 1, 2})); }

inline chunkptr Modl(const std::string& name, uint32_t type, uint32_t index, const std::string& parent,
              std::initializer_list<chunkptr> more) {
    chunkptr m = C("MODL", {D("MTYP", U32s({type})), D("MNDX", U32s({index})), D("NAME", Str(name))});
    if (!parent.empty()) m->AppendKid(D("PRNT", Str(parent)));
    for (const chunkptr& k : more) m->AppendKid(k);
    return m;
}

inline chunkptr Matd(const std::string& name, bool maps) {
    chunkptr m = C("MATD", {D("NAME", Str(name)), D("DATA", Bytes(52, 0)), D("ATRB", U32s({1})),
                            D("TX0D", Str(name + ".tga"))});
    if (maps) {
        m->AppendKid(D("TX1D", Str(name + "_bump.tga")));
        m->AppendKid(D("TX2D", Str(name + "_detail.tga")));
        m->AppendKid(D("TX3D", Str("envmap.tga")));
    }
    return m;
}

// A skinned segment of three vertices in one strip, and one of four vertices
// in two polygons, both weighted to the first bone of the envelope.
inline chunkptr StripSegment() {
    return C("SEGM", {D("MATI", U32s({0})), L("POSL", 3, F32s({0, 0, 0, 1, 0, 0, 0, 1, 0})),
                      L("WGHT", 3, Cat({U32s({0}), F32s({1}), Bytes(24, 0), U32s({0}), F32s({1}), Bytes(24, 0),
                                        U32s({0}), F32s({0.5f}), U32s({0}), F32s({0.5f}), Bytes(16, 0)})),
                      L("NRML", 3, F32s({0, 0, 1, 0, 0, 1, 0, 0, 1})), L("UV0L", 3, F32s({0, 0, 1, 0, -16, 15.5f})),
                      L("CLRL", 3, U32s({0xFFFFFFFF, 0xFF0000FF, 0x80808080})),
                      D("STRP", U16s(3, {0x8000, 0x8001, 2}))});
}
inline chunkptr PolygonSegment() {
    return C("SEGM", {D("MATI", U32s({1})), L("POSL", 4, F32s({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0})),
                      L("NRML", 4, F32s({0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1})),
                      D("STRP", U16s(4, {0x8000, 0x8001, 2, 3})),
                      D("NDXL", U16s(2, {3, 0, 1, 2, 3, 0, 2, 3})), D("NDXT", U16s(2, {0, 1, 2, 0, 2, 3}))});
}

// A shadow volume of one triangle's vertices and these half edges (vertex,
// next, twin; the unused fourth field is added). The good mesh's edges are
// the triangle seen from both sides, a closed volume.
inline Bytes ShadowEdges(std::initializer_list<uint16_t> triples) {
    Bytes b = Cat({U32s({3}), F32s({0, 0, 0, 1, 0, 0, 0, 1, 0}), U32s({uint32_t(triples.size() / 3)})});
    size_t i = 0;
    for (uint16_t e : triples) {
        b = Cat({b, testsupport::U16s({e})});
        if (++i % 3 == 0) b = Cat({b, testsupport::U16s({0xFFFF})});
    }
    return b;
}

inline chunkptr Cloth() {
    return C("CLTH", {D("CTEX", Str("cape.tga")), L("CPOS", 3, F32s({0, 0, 0, 1, 0, 0, 0, 1, 0})),
                      L("CUV0", 3, F32s({0, 0, 1, 0, 0, 1})), L("FIDX", 1, U32s({0})),
                      D("FWGT", Cat({U32s({1}), Str("bone_a")})), L("CMSH", 1, U32s({0, 1, 2})),
                      D("SPRS", U16s(1, {0, 1})), D("CPRS", U16s(1, {1, 2})), D("BPRS", U16s(1, {0, 2})),
                      D("COLL", U32s({0}))});
}

// A mesh shaped like the files the public exporters write, with everything
// the tools accept though verification does not: texture maps TX1D..TX3D, a
// cloth GEOM without BBOX, a shadow segment, and KFR3 records of variable
// length. Its sizes are rebuilt.
inline chunkptr Good() {
    chunkptr msh2 = C("MSH2", {
        C("SINF", {D("NAME", Str("scene")), D("FRAM", Cat({U32s({0, 100}), F32s({29.97f})})), Bbox()}),
        C("MATL", {Matd("body", true), Matd("cape", false)}),
        Modl("root", 0, 0, "", {D("FLGS", U32s({0})), Tran()}),
        Modl("bone_a", 3, 1, "root", {Tran()}),
        Modl("body", 1, 2, "root", {Tran(), C("GEOM", {Bbox(), StripSegment(), PolygonSegment(), L("ENVL", 1, U32s({1}))})}),
        Modl("sv_body", 6, 3, "body", {D("FLGS", U32s({1})), Tran(), C("GEOM", {Bbox(), C("SEGM", {D("MATI", U32s({0})), D("SHDW", ShadowEdges({0, 1, 4, 1, 2, 3, 2, 0, 5, 2, 4, 1, 1, 5, 0, 0, 3, 2}))})})}),
        Modl("cape", 2, 4, "body", {Tran(), C("GEOM", {Cloth()})}),
        Modl("p_collision", 0, 5, "root", {Tran(), D("SWCI", Cat({U32s({4}), F32s({1, 2, 3})}))}),
        Modl("body_lod2", 1, 6, "root", {Tran()}),
        Modl("body_lowres", 1, 7, "root", {Tran()}),
        Modl("hp_fire", 0, 8, "root", {Tran()}),
    });
    chunkptr anm2 = C("ANM2", {L("CYCL", 1, Cat({Bytes(64, 'a'), F32s({30}), U32s({0, 0, 100})})),
                               // One bone: two translation keys, one rotation key.
                               L("KFR3", 1, Cat({U32s({0x1234, 0, 2, 1}), U32s({0}), F32s({0, 0, 0}), U32s({100}),
                                                 F32s({1, 0, 0}), U32s({0}), F32s({0, 0, 0, 1})}))});
    chunkptr root = C("HEDR", {msh2, L("BLN2", 1, U32s({0x1234, 0})),
                      L("SKL2", 1, Cat({U32s({0x1234, 0}), F32s({0, 1, 1})})), anm2, D("CL1L", {})});
    root->Update(1);
    return root;
}

}  // namespace checkmesh
