// mshtool render: a picture of a mesh, or of one model, without a window.
#pragma once

#include "tools/mshtool_cli.h"

namespace tools {

int RunRender(const Args& a);

}  // namespace tools
