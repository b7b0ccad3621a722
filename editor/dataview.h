// The pure helper of the data view: the readout lines.
#pragma once

#include <string>
#include <vector>

#include "mesh/chunk.h"

namespace editor {

// The readout lines for byte position at of the chunk's data, top to bottom:
// "at: ", then "byt:" and "bin:" when the byte exists, "sht:" when two bytes
// do, "int:" and "flt:" when four do.
std::vector<std::string> ReadoutLines(const mesh::chunk& c, int at);

}  // namespace editor
