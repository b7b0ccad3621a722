// Where a material's texture file is, found as the game's build finds it:
// in the mesh's own folder, then in its PC subfolder, then in the folders
// the user adds (--textures, the editor's setting), in that order. A name
// matches a file whatever the case of either, as on the file systems the
// build runs on, and only a regular file (or a link to one) counts: a
// folder, a pipe or a device of that name is passed over and never opened.
#pragma once

#include <string>
#include <vector>

namespace mesh {

// The folders a texture of the mesh at meshPath is looked for in, in order:
// the mesh's folder ("." for a bare file name), its PC subfolder (any case;
// named as the folder holds it, "PC" when there is none) and extra.
std::vector<std::string> TextureFolders(const std::string& meshPath, const std::vector<std::string>& extra);

// The path of the file a texture record names (TX0D-TX3D, a cloth's CTEX),
// or "" when none of the folders holds it. Only the name's last component
// counts (a name written with a folder, "c:\art\crate.tga", is looked for as
// "crate.tga"); a name without an extension is looked for with ".tga", the
// build's texture format. Within one folder a file spelt exactly as the name
// comes first, then the first of the others in byte order.
std::string FindTexture(const std::string& meshPath, const std::string& name,
                        const std::vector<std::string>& extra);

}  // namespace mesh
