// The remembered settings in mdata/prefs.dat: the directory file dialogs start
// in, then the two check-box flags, one byte each, then the folders the 3D
// preview looks for textures in, one a line.
#pragma once

#include <string>
#include <vector>

namespace editor {

struct Prefs {
    std::string lastdir;
    int recognizematl = 1;
    int handleflag = 1;
    std::vector<std::string> texturefolders;
};

// Fills prefs from the file. A missing file leaves every value as it was; a
// file that ends early leaves the values it does not reach.
void ReadPrefs(const std::string& path, Prefs& prefs);

// Writes the file through a temporary file, so a failed write leaves the old
// one in place. False when it could not be written.
bool WritePrefs(const std::string& path, const Prefs& prefs);

}  // namespace editor
