// mshtool dump and build: the text form of a mesh, on the library in
// textform/.
#pragma once

#include "tools/mshtool_cli.h"

namespace tools {

// dump MESH [OUT.txt]: the text form to OUT.txt, or to stdout.
int RunDump(const Args& a);
// build TXT OUT.msh: the mesh a text form describes.
int RunBuild(const Args& a);

}  // namespace tools
