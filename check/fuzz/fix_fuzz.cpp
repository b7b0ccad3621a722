// Fuzz target of fix: whatever the bytes, the repairs run without a crash,
// and what they leave, saved and repaired again, gives nothing to repair and
// the same bytes (one run reaches the fixed point).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "check/fixfile.h"
#include "tests/support/chunks.h"

namespace {

std::vector<uint8_t> Saved(const mesh::msh& m) {
    std::vector<uint8_t> out;
    m.hedr->save(out, 1);
    out.insert(out.end(), m.tail.begin(), m.tail.end());
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    static const mesh::namelist list = testsupport::Containers();
    check::FixRequest request;
    request.list = &list;
    const check::FixResult first = check::FixFile(std::make_shared<std::vector<uint8_t>>(data, data + size), request);
    if (!first.mesh) return 0;
    const std::vector<uint8_t> once = Saved(*first.mesh);
    const check::FixResult second = check::FixFile(std::make_shared<std::vector<uint8_t>>(once), request);
    if (!second.mesh || !second.repairs.empty() || Saved(*second.mesh) != once) std::abort();
    return 0;
}
