// The container-name list of the tests: the very file the product ships.
#include "tests/support/chunks.h"

#include <stdexcept>

#include "mesh/formatlist.h"

namespace testsupport {

const mesh::namelist& Containers() {
    static const mesh::namelist list = [] {
        mesh::namelist l = mesh::ReadFormatList(VORNA_SOURCE_DIR "/mdata/format.txt");
        if (l.size() < 2) throw std::runtime_error("cannot read the container list " VORNA_SOURCE_DIR "/mdata/format.txt");
        return l;
    }();
    return list;
}

}  // namespace testsupport
