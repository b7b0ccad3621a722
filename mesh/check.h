// The deep check of a mesh: the rules the asset pipeline and the game enforce,
// beyond the structural rules of verification.
//
// A finding names its severity (an error: the model compiler or the game
// rejects the file or crashes on it; a warning: likely a mistake, the file
// still works), its rule, the path of the chunk it is about and a message.
// A path joins the chunk names from the root with '/'; a MODL with a NAME is
// written MODL[name], a chunk with same-named siblings gets its 0-based index
// among them: HEDR/MSH2/MODL[body]/GEOM/SEGM[2]/STRP. Very deep paths keep
// their first and last parts around "...".
//
// The structural findings of verification are part of the check (rule
// "structure", the same text after the path), except for shapes that real
// files carry and the tools accept: TX1D, TX2D and TX3D in a MATD (at most one
// each), a GEOM without BBOX that holds cloth, a CL1L that follows the root
// instead of closing it, and the list-size rule of KFR3, whose records have
// variable length (their layout is checked instead).
//
// The check reads the tree and never changes it; it walks it with its own
// stack and its cost grows linearly with the size of the mesh.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "mesh/chunk.h"
#include "mesh/msh.h"

namespace mesh {

enum class Severity : uint8_t { error, warning };

// "error" or "warning".
const char* SeverityName(Severity s);

struct Finding {
    Severity severity = Severity::error;
    std::string rule;
    std::string path;
    std::string message;
    std::weak_ptr<chunk> where;  // the chunk the finding is about
};

// The rules of the check, with their severity (weight-bone is an error, or a
// warning when the GEOM has no ENVL at all).
struct CheckRule {
    const char* name;
    Severity severity;
};
inline constexpr CheckRule kCheckRules[] = {
    {"structure", Severity::error},        {"unknown-chunk", Severity::warning},
    {"vertex-limit", Severity::error},     {"segment-counts", Severity::error},
    {"index-range", Severity::error},      {"segment-empty", Severity::error},
    {"material-index", Severity::error},   {"model-name", Severity::error},
    {"model-index", Severity::warning},    {"parent-loop", Severity::error},
    {"parent-order", Severity::warning},   {"model-type", Severity::error},
    {"envelope", Severity::error},         {"weight-bone", Severity::error},
    {"bones-per-segment", Severity::warning}, {"not-finite", Severity::error},
    {"uv-range", Severity::warning},       {"name-case", Severity::warning},
    {"lod-suffix", Severity::warning},     {"shadow-visible", Severity::warning},
    {"collision-shape", Severity::warning}, {"cloth", Severity::error},
};

// Findings of one rule beyond this many are counted, not listed: a closing
// finding of that rule tells how many more there were.
inline constexpr size_t kCheckRuleLimit = 10000;

// Checks the tree below root. trailer: the name of the chunk that followed
// the root in its file (msh::trailer), empty when none did. Findings come in
// depth-first pre-order of the chunks they are about.
std::vector<Finding> CheckTree(const chunk& root, std::string_view trailer = {});

// Checks a loaded mesh (nothing when it has no root).
std::vector<Finding> CheckMesh(const msh& m);

// Errors first, in tree order, then the warnings in tree order.
void SortErrorsFirst(std::vector<Finding>& findings);

}  // namespace mesh
