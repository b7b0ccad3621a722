// A mesh file's bytes repaired to the point where nothing is left to repair:
// what `mshtool fix` does to each file before it writes it.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "check/repair.h"
#include "mesh/msh.h"

namespace check {

struct FixRequest {
    std::span<const std::string> rules;  // empty: every rule's repairs
    std::span<const std::pair<std::string, std::string>> renames;  // old name, new name; done first
    // Whether the mesh is written even without a repair (to another file):
    // then sizes and counts that opening mended are always named.
    bool written = false;
    const mesh::namelist* list = nullptr;
    int recognizematl = 1;
};

struct FixResult {
    mesh::mshptr mesh;                 // the repaired tree; null when the bytes do not read
    std::vector<Repair> repairs;       // every change, in the order made (apply already run)
    std::vector<std::pair<std::string, std::string>> refused;  // a rename not done: its old name, why
    std::string why;                   // why the bytes do not read
};

// Re-lays the padding (RelayPadding), opens the bytes, renames, applies the
// repairs (FixTree) and names the sizes opening mended (PlanResize); then
// reads what it would write again and goes on while that finds more (a
// record padded to eight bytes reads as a header), a few rounds at most, so
// that the result, written and fixed again, gives nothing to repair.
// Throws std::bad_alloc when memory runs out.
FixResult FixFile(std::shared_ptr<std::vector<uint8_t>> bytes, const FixRequest& request);

}  // namespace check
