// Object definition files (.odf) as the game's build reads them, and the
// properties among theirs that name another file of the mod or a node of a
// mesh.
//
// A line is a "[Section]" header, a comment (starting with "//", "\\" or
// "--"), or "Key = Value": a value in double quotes runs to the next quote,
// an unquoted one is its first word. "PC:Key" is a key of the PC build; a
// key for another platform ("PS2:Key") is left out. Lines the build would
// refuse are skipped here: the check is about references, not syntax.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace check {

struct OdfProperty {
    std::string key;    // as written, without a platform prefix
    std::string value;  // without its quotes
    int line = 0;
};

struct Odf {
    bool weapon = false;  // a [WeaponClass], [OrdnanceClass] or [ExplosionClass]: nodes are its owner's
    std::vector<OdfProperty> properties;  // header and properties in file order
};

Odf ParseOdf(std::string_view text);

// What a property's value names.
enum class OdfRef : uint8_t {
    none,
    mesh,       // a mesh, by its name with or without ".msh"
    node,       // a node of the object's meshes that the game model must keep
    collision,  // a collision primitive or "CollisionMesh" (the merged collision meshes)
    odf,        // another object definition, by its name
};

// The kind of a key (compared without case).
OdfRef RefOf(std::string_view key);

// The name a property's value gives: its first word, without a ".msh" for a
// mesh. Empty for a value that names nothing ("", "none", "NULL").
std::string RefTarget(OdfRef kind, std::string_view value);

}  // namespace check
