// The container table of the check's schema.
#include "format/schema.h"

namespace format::schema {

namespace {

constexpr uint32_t T(const char (&s)[5]) { return Tag(std::string_view(s, 4)); }

constexpr uint32_t kHedrOnce[] = {T("MSH2"), T("MSH1"), T("SHVO"), T("SKL2"), T("BLN2"), T("ANM2")};
constexpr uint32_t kMsh2Once[] = {T("SINF"), T("CAMR"), T("MATL")};
constexpr uint32_t kMsh2Many[] = {T("MODL")};
constexpr uint32_t kSinfOnce[] = {T("NAME"), T("FRAM"), T("BBOX")};
constexpr uint32_t kCamrOnce[] = {T("NAME"), T("DATA")};
constexpr uint32_t kMatlMany[] = {T("MATD")};
constexpr uint32_t kMatdOnce[] = {T("NAME"), T("DATA"), T("ATRB"), T("TX0D"), T("TX1D"), T("TX2D"), T("TX3D")};
constexpr uint32_t kModlOnce[] = {T("MTYP"), T("MNDX"), T("NAME"), T("PRNT"),
                                  T("FLGS"), T("TRAN"), T("GEOM"), T("SWCI")};
constexpr uint32_t kGeomOnce[] = {T("BBOX"), T("ENVL")};
constexpr uint32_t kGeomMany[] = {T("SEGM"), T("CLTH")};
constexpr uint32_t kSegmOnce[] = {T("MATI"), T("POSL"), T("WGHT"), T("NRML"), T("CLRL"), T("CLRB"), T("UV0L"),
                                  T("UV1L"), T("UV2L"), T("UV3L"), T("NDXL"), T("NDXT"), T("STRP"), T("SHDW")};
constexpr uint32_t kClthOnce[] = {T("CTEX"), T("CPOS"), T("CUV0"), T("FIDX"), T("FWGT"),
                                  T("CMSH"), T("SPRS"), T("CPRS"), T("BPRS"), T("COLL")};
constexpr uint32_t kAnm2Once[] = {T("CYCL"), T("KFR3")};

constexpr Container kContainers[] = {
    {T("HEDR"), false, kHedrOnce, {}},  {T("MSH2"), false, kMsh2Once, kMsh2Many},
    {T("SINF"), false, kSinfOnce, {}},  {T("CAMR"), false, kCamrOnce, {}},
    {T("MATL"), true, {}, kMatlMany},   {T("MATD"), false, kMatdOnce, {}},
    {T("MODL"), false, kModlOnce, {}},  {T("GEOM"), false, kGeomOnce, kGeomMany},
    {T("SEGM"), false, kSegmOnce, {}},  {T("CLTH"), false, kClthOnce, {}},
    {T("ANM2"), false, kAnm2Once, {}},
};

// What the compiler reads of each container it opens.
struct Reads {
    uint32_t parent;
    std::span<const uint32_t> kids;
};
constexpr uint32_t kHedrReads[] = {T("MSH2"), T("MSH1"), T("BLN2")};
constexpr uint32_t kMsh2Reads[] = {T("MATL"), T("MODL")};
constexpr uint32_t kMatlReads[] = {T("MATD")};
constexpr uint32_t kGeomReads[] = {T("SEGM"), T("ENVL"), T("CLTH")};
constexpr uint32_t kSegmReads[] = {T("MATI"), T("POSL"), T("WGHT"), T("NRML"), T("UV0L"),
                                   T("CLRL"), T("CLRB"), T("STRP"), T("SHDW")};
constexpr Reads kReads[] = {
    {T("HEDR"), kHedrReads}, {T("MSH2"), kMsh2Reads}, {T("MATL"), kMatlReads},
    {T("MATD"), kMatdOnce},  {T("MODL"), kModlOnce},  {T("GEOM"), kGeomReads},
    {T("SEGM"), kSegmReads}, {T("CLTH"), kClthOnce},
};

}  // namespace

bool CompilerReads(uint32_t parent, uint32_t kid) {
    for (const Reads& r : kReads)
        if (r.parent == parent) {
            for (uint32_t k : r.kids)
                if (k == kid) return true;
            return false;
        }
    return false;
}

std::string TagName(uint32_t tag) {
    std::string s(4, ' ');
    for (int i = 0; i < 4; ++i) s[size_t(i)] = char((tag >> (8 * i)) & 0xFF);
    return s;
}

const Container* FindContainer(uint32_t tag) {
    for (const Container& c : kContainers)
        if (c.tag == tag) return &c;
    return nullptr;
}

Place PlaceIn(const Container& parent, uint32_t kid) {
    for (uint32_t t : parent.once)
        if (t == kid) return Place::once;
    for (uint32_t t : parent.many)
        if (t == kid) return Place::many;
    // The closing chunk: inside the root or its scene, where real files put it.
    if (kid == T("CL1L") && (parent.tag == T("HEDR") || parent.tag == T("MSH2"))) return Place::closing;
    return Place::not_here;
}

}  // namespace format::schema
