// mshtool check on a mod tree: the folders' ODFs and TGAs besides their
// meshes, the references between them, and the summary by rule.
#pragma once

#include <array>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "check/modtree.h"

namespace tools {

// The files a folder walk found besides the meshes.
struct TreeFiles {
    std::vector<std::string> odfs, tgas;
};

// Whether a file of the walk belongs to the mod tree check, and which list
// takes it: .odf and .tga files (macOS "._" companions are no files of the
// mod). Returns false for any other.
bool TakeTreeFile(const std::string& path, TreeFiles& into);

// Counts by rule and severity, for the summary.
using RuleCounts = std::map<std::string, std::array<size_t, 3>>;

// One finding of the tree as check prints it, with its newline:
// "FILE:LINE: SEVERITY: PROPERTY: [RULE] MESSAGE" for an ODF,
// "FILE: SEVERITY: PATH: [RULE] MESSAGE" for a mesh, or a JSON object.
std::string TreeFindingLine(bool json, const check::TreeFinding& f);

// Prints the findings, counting them; false when the output failed.
bool PrintTreeFindings(bool json, const std::vector<check::TreeFinding>& findings, RuleCounts& counts,
                       size_t& maybestock);

// The summary by rule: one line a rule with findings, then the notes left
// for want of --base.
std::string RuleSummary(const RuleCounts& counts, size_t maybestock, bool base);

}  // namespace tools
