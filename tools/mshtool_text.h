// mshtool dump, build and diff: the text form of a mesh and the differences
// between two meshes, on the libraries in textform/ and diff/.
#pragma once

#include "tools/mshtool_cli.h"

namespace tools {

// dump MESH [OUT.txt]: the text form to OUT.txt, or to stdout.
int RunDump(const Args& a);
// build TXT OUT.msh: the mesh a text form describes.
int RunBuild(const Args& a);

// diff [--json] [--tolerance E] A B: the differences, one a line (JSON Lines
// with --json).
int RunDiff(const Args& a);

}  // namespace tools
