// Listing a folder: the part of the file layer that reads folders' entries.
#pragma once

#include <string>
#include <vector>

namespace host {

// The names of the entries of a folder (without "." and ".."), sorted by
// their bytes; empty when the folder cannot be listed.
std::vector<std::string> FolderNames(const std::string& folder);

}  // namespace host
