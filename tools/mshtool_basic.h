// mshtool tree, resave and verify: a mesh read, printed, saved or verified.
#pragma once

#include "tools/mshtool_cli.h"

namespace tools {

int RunTree(const Args& a);
int RunResave(const Args& a);
int RunVerify(const Args& a);

}  // namespace tools
