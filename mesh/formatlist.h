// The container-name list file: one chunk name per line.
#pragma once

#include <string>

#include "mesh/chunk.h"

namespace mesh {

// Reads the list: each line with every '-' deleted, characters below 33 cut
// from both ends and upper-cased, one entry per line up to the end of the
// file (so an empty file gives one empty entry, and a last line without a
// line feed counts). A missing or unreadable file gives an empty list.
namelist ReadFormatList(const std::string& path);

}  // namespace mesh
