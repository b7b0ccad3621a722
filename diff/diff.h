// The differences between two meshes, compared as chunk trees rather than
// as bytes: one inserted vertex is one difference, not every byte after it.
//
// Children are matched by key: a MODL or a MATD by its name, any other chunk
// by its name: same-named siblings whose whole subtrees are equal first (a
// segment moved to another place is one move), the others in their order
// (the first SEGM left with the first SEGM left). A matched chunk at another place among its siblings is
// reported as moved (the fewest moves that explain the new order); an
// unmatched MODL or MATD whose content, all but its NAME, equals an
// unmatched one of the other mesh is reported as renamed. Records are
// compared field by field, lists element by element (their count, then the
// first elements that differ), texts as texts, anything else as bytes.
//
// Paths are those of the deep check (HEDR/MSH2/MODL[body]/GEOM/SEGM[1]/POSL),
// save that a material too goes by its name (MATL/MATD[wood]), taken in mesh
// A, or in B for a chunk only B has. The walk keeps its own stack, holds the
// path above the pair it compares as one part a level, and matches children
// through hashing (each subtree hashed once), so its cost grows with the
// size of the meshes, not with its square, however deep they nest.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "mesh/chunk.h"

namespace meshdiff {

enum class Kind {
    OnlyA,    // a chunk only mesh A has
    OnlyB,    // a chunk only mesh B has
    Moved,    // a: its place among its siblings in A, b: in B
    Renamed,  // a MODL or MATD of another name and the same content
    Name,     // the roots' names differ
    Field,    // a record's field (what: ".translation")
    Text,     // a text record
    Count,    // a list's count
    Element,  // a list element (what: "[17]")
    More,     // a: how many more elements differ than are listed
    Bytes,    // data compared as bytes: a and b are the sizes, what the first difference
    Form,     // a container on one side, data on the other
};

struct Difference {
    Kind kind = Kind::Bytes;
    std::string path;
    std::string what;
    std::string a, b;
    // The chunk of mesh A the difference is about (for a chunk only B has,
    // its parent in A).
    std::weak_ptr<const mesh::chunk> where;
    // The same in mesh B (for a chunk only A has, its parent in B).
    std::weak_ptr<const mesh::chunk> inb;
};

struct Options {
    // Floats differ when further apart than this (0: when their bits differ).
    double tolerance = 0;
    // Elements of one list listed before the rest are counted.
    size_t elements = 10;
};

std::vector<Difference> Diff(const mesh::chunk& a, const mesh::chunk& b, const Options& options = {});

// The bytes that follow the roots in their files (msh::tail): one Bytes
// difference with the path "after root" when they differ, none when not.
std::optional<Difference> DiffTail(std::span<const uint8_t> a, std::span<const uint8_t> b);

// A difference as one line of text: the path, then what changed.
std::string Line(const Difference& d);

// The name of a kind for machine-readable output ("only-a", "element").
const char* KindName(Kind k);

}  // namespace meshdiff
