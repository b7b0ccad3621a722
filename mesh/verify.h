// Verification of a chunk tree against the structural rules of the mesh
// format, and the comparison of element counts between sibling list chunks.
//
// The checks themselves are methods of the model classes:
//   chunk::verify(messages, errors)   checks a chunk and then its descendants
//   chunk::segmcompare(a, b, messages) the count comparison of two children
//   msh::verify(messages, errors)     clears both lists, then checks the root
// Each finding is the tested chunk's own name followed by a text that begins
// with ": ". Findings come in depth-first pre-order, a chunk's own before its
// children's; a chunk lands in the error list once, and only for findings of
// its own.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "format/records.h"
#include "mesh/chunk.h"
#include "mesh/flatindex.h"
#include "mesh/msh.h"

namespace mesh {

// The fifty chunk names that have a rule, in the order they are dispatched
// (kRuleNames), and RuleIndex, come from the table of chunk kinds in
// format/records.h. Any other name is reported as ": illegal chunk name".

// The finding for an ANM2 without a CYCL child.
inline constexpr const char* kNoCyclText = ": no CYCL chunk";

// Verifies the tree from root as chunk::verify does, into fresh lists, without
// an error chunk list: owners[i] is the chunk whose checks gave messages[i].
void VerifyOwners(const chunk& root, std::vector<std::string>& messages, std::vector<const chunk*>& owners);

// Verifies the tree of a flat index as chunk::verify verifies the same tree
// of chunk objects, handing each finding to found(name, text) as it is made
// (the finding is the chunk's name followed by the text); nothing is kept.
void VerifyIndex(const flatindex& x, const std::function<void(std::string_view name, std::string_view text)>& found);

// Verifies the whole mesh into a fresh message list (m.errors is refilled)
// and returns the findings.
std::vector<std::string> VerifyMesh(msh& m);

}  // namespace mesh
