// mshtool fix: the repairs of the deep check, then what is left.
#pragma once

#include "tools/mshtool_cli.h"

namespace tools {

// Repairs each mesh (or every *.msh below a folder), writes it back unless
// --dry-run, and prints each repair and the findings left. Exit status: 0 no
// error left, 1 errors left, 2 a mesh cannot be read, 3 one cannot be written.
int RunFix(const Args& a);

}  // namespace tools
