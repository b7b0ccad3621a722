// The text form of a mesh: the chunk tree as lines meant to be read, edited
// and compared, and the way back to the file. Dump then build gives back
// every byte of any file, whatever its state.
//
// One item a line, indented two spaces a level below the chunk it belongs to:
//
//   HEDR                          a chunk: its four name bytes (any other byte
//     MSH2                        than a letter, digit or '_' as \xHH), then
//       MATL count                attributes; its children follow indented
//         MATD
//           NAME "wood"           a text record, quoted (\" \\ \xHH)
//           DATA
//             .diffuse 1 1 1 1    a field of a record: .name and its values
//             .exponent 50
//       MODL
//         GEOM
//           SEGM
//             POSL count
//               - 1 2 3           a list element: its values ("| ..." before
//               - 1 2.5 3         the entries of a polygon or a bone's keys)
//             SHDW
//               : 00000000 0a     bytes as they are, in hexadecimal
//   CL1L                          a chunk after the root
//
// Attributes of a chunk line: `count` (the data begins with a 32-bit count
// of the list elements, or of the MATD chunks, that follow; count=N keeps a
// stored count that disagrees), size=N (the size field as the file has it,
// where it disagrees with the data that follows). '#' starts a comment;
// numbers are read as the value box reads them ($ hexadecimal, % binary).
//
// Sizes and counts are worked out when the file is built, so an edited name,
// colour or element gives a file whose sizes are right. Whatever the dump
// cannot decode exactly (a record with bytes beyond its fields, a float that
// is not a number, stray bytes after the last child of a container, bytes
// after a chunk whose size runs past its parent) it writes as bytes.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "mesh/chunk.h"

namespace textform {

// Hands the text of the file's bytes to emit in pieces, in order; false
// (and no further pieces) as soon as emit returns false. list: the
// container-name list that decides which chunks hold children, as when a
// mesh is read.
bool Dump(std::span<const uint8_t> file, const mesh::namelist& list,
          const std::function<bool(std::string_view)>& emit);

// The bytes of a text form into out. False with the reason (with its line
// number) in error when the text does not read: a line of an unknown form,
// a value that does not fit its field, a size beyond what a chunk can hold.
// Running out of memory is such a failure too.
bool Build(std::string_view text, std::vector<uint8_t>& out, std::string& error);

}  // namespace textform
