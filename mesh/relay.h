// The re-lay of a file whose chunk sizes leave out the zero padding that
// follows them, and the open that reads such a file re-laid.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "mesh/msh.h"

namespace mesh {

// The file's bytes re-laid when chunk sizes leave out the zero padding that
// follows them (the game's readers go on at the next multiple of four, so
// the file works there): every size then holds its padding, all data kept,
// the bytes after the root as they were. Nothing when the bytes do not form
// whole chunks read that way (padding that is not zeros, a size that runs
// past its container, a name that is no chunk name), or when no size
// leaves out padding. note, when given: the header offset of the first
// such chunk and how many there are.
struct RelayNote {
    int64_t first = -1;
    int64_t chunks = 0;
};
std::optional<std::vector<uint8_t>> RelayPadding(std::span<const uint8_t> file, RelayNote* note = nullptr);

// Opens the mesh at path as OpenMesh does (grouped) or as msh::ReadMsh does, from its bytes re-laid by RelayPadding when sizes leave
// out their padding: read at their word, such sizes would show the padding
// and the next header as a chunk that is not there, and a save would write a
// size into that header. note then says what was re-laid (else it is the
// file's cut note, or empty). Null, with why, when the file cannot be read.
mshptr OpenRelaid(const std::string& path, const namelist& list, int recognizematl, bool grouped, std::string& why,
                  std::string& note);

}  // namespace mesh
