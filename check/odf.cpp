// Reading an .odf and the table of the properties that name other files or
// a mesh's nodes.
#include "check/odf.h"

#include <cctype>

#include "check/checker.h"

namespace check {

namespace {

using detail::EqualNoCase;

std::string_view Trim(std::string_view s) {
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
    return s;
}

bool Starts(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && EqualNoCase(s.substr(0, prefix.size()), prefix);
}

// The properties whose values name something, found in the public ODFs of
// the game's assets and mods. The node properties name a node of the
// object's own meshes: turrets, aimers, barrels, fire points, pilots,
// effects and chunks are placed at them.
struct KeyKind {
    const char* key;
    OdfRef kind;
};
constexpr KeyKind kKeys[] = {
    {"GeometryName", OdfRef::mesh},
    {"DestroyedGeometryName", OdfRef::mesh},
    {"ChunkGeometryName", OdfRef::mesh},
    {"UnbuiltGeometryName", OdfRef::mesh},
    {"CarriedGeometryName", OdfRef::mesh},
    {"HoloImageGeometry", OdfRef::mesh},
    {"HighResGeometry", OdfRef::mesh},
    {"LowResModel", OdfRef::mesh},
    {"FirstPersonModel", OdfRef::mesh},
    {"AttachedMesh", OdfRef::mesh},
    {"FirePointName", OdfRef::node},
    {"BarrelNodeName", OdfRef::node},
    {"TurretNodeName", OdfRef::node},
    {"AimerNodeName", OdfRef::node},
    {"DamageAttachPoint", OdfRef::node},
    {"PilotPosition", OdfRef::node},
    {"ChunkNodeName", OdfRef::node},
    {"AttachToHardPoint", OdfRef::node},
    {"HitLocation", OdfRef::node},
    {"ActiveRotateNode", OdfRef::node},
    {"ActiveSpinNode", OdfRef::node},
    {"IdleWobbleNode", OdfRef::node},
    {"IdleWobbleLeftFoot", OdfRef::node},
    {"IdleWobbleRightFoot", OdfRef::node},
    {"SoldierCollision", OdfRef::collision},
    {"OrdnanceCollision", OdfRef::collision},
    {"VehicleCollision", OdfRef::collision},
    {"BuildingCollision", OdfRef::collision},
    {"TargetableCollision", OdfRef::collision},
    {"TerrainCollision", OdfRef::collision},
    {"ClassParent", OdfRef::odf},
    {"ClothODF", OdfRef::odf},
};

}  // namespace

Odf ParseOdf(std::string_view text) {
    Odf odf;
    int line = 0;
    size_t at = 0;
    while (at < text.size()) {
        const size_t end = std::min(text.find('\n', at), text.size());
        std::string_view s = Trim(text.substr(at, end - at));
        at = end + 1;
        ++line;
        if (s.empty() || s.starts_with("//") || s.starts_with("\\\\") || s.starts_with("--")) continue;
        if (s.front() == '[') {
            if (Starts(s, "[WeaponClass]") || Starts(s, "[OrdnanceClass]") || Starts(s, "[ExplosionClass]"))
                odf.weapon = true;
            continue;
        }
        const size_t eq = s.find('=');
        if (eq == std::string_view::npos) continue;
        std::string_view key = Trim(s.substr(0, eq)), value = Trim(s.substr(eq + 1));
        if (const size_t colon = key.find(':'); colon != std::string_view::npos) {
            if (!EqualNoCase(Trim(key.substr(0, colon)), "PC")) continue;
            key = Trim(key.substr(colon + 1));
        }
        if (key.empty() || key.find("//") != std::string_view::npos) continue;
        if (!value.empty() && value.front() == '"') {
            value.remove_prefix(1);
            value = value.substr(0, value.find('"'));
        } else {
            size_t w = 0;
            while (w < value.size() && static_cast<unsigned char>(value[w]) > ' ') ++w;
            value = value.substr(0, w);
        }
        odf.properties.push_back({std::string(key), std::string(value), line});
    }
    return odf;
}

OdfRef RefOf(std::string_view key) {
    for (const KeyKind& k : kKeys)
        if (EqualNoCase(key, k.key)) return k.kind;
    return OdfRef::none;
}

std::string RefTarget(OdfRef kind, std::string_view value) {
    // The build takes the first word, and only one that starts with a letter
    // or '_': "com_icon_alliance alliance" names the mesh com_icon_alliance.
    if (kind == OdfRef::none) return {};
    value = Trim(value);
    size_t w = 0;
    while (w < value.size() && static_cast<unsigned char>(value[w]) > ' ') ++w;
    std::string_view name = value.substr(0, w);
    if (name.empty() || !(std::isalpha(static_cast<unsigned char>(name[0])) || name[0] == '_')) return {};
    if (EqualNoCase(name, "none") || EqualNoCase(name, "null")) return {};
    if (kind == OdfRef::mesh && name.size() > 4 && EqualNoCase(name.substr(name.size() - 4), ".msh"))
        name.remove_suffix(4);
    if (kind == OdfRef::odf && name.size() > 4 && EqualNoCase(name.substr(name.size() - 4), ".odf"))
        name.remove_suffix(4);
    return std::string(name);
}

}  // namespace check
