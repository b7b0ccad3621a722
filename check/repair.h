// Repairs: the faults of the deep check whose mending is certain, each a
// transformation of the chunk tree that belongs to one check rule.
//
// A repair changes only the chunks it names (a count, a number, a flag, a
// name and the records that refer to it, a box, a removed segment); every
// other chunk keeps its bytes. Nothing is guessed: a repair is offered only
// where the data fixes the result (the bytes of a list fix its count, the
// positions fix a box, a single material fixes the material index).
//
// The repairs of a rule are planned against the tree as it stands and stay
// valid until one of them is applied; FixTree plans and applies rule by rule
// so that later rules see the tree the earlier ones left. After applying,
// the caller rebuilds the sizes (chunk::Update) as after any edit.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "mesh/chunk.h"
#include "mesh/msh.h"

namespace check {

struct Repair {
    std::string rule;                  // the check rule whose fault it mends
    std::string path;                  // of the chunk it is about, as findings write it
    std::string what;                  // one line: what changes
    std::weak_ptr<mesh::chunk> where;  // the chunk a finding of that rule names
    std::function<void()> apply;       // changes the tree; run at most once
};

// The rules that have a repair, in the order FixTree applies them.
std::span<const std::string_view> RepairRules();

// The repairs of one rule that the tree below root allows now, in tree order.
std::vector<Repair> PlanRepairs(const mesh::chunkptr& root, std::string_view rule);

// Plans and applies the repairs of every rule (or of the rules named), rule
// by rule in the order of RepairRules, and rebuilds the sizes. Returns what
// was applied, in that order.
std::vector<Repair> FixTree(const mesh::chunkptr& root, std::span<const std::string> rules, int recognizematl);

// The rename of a model or a texture to a name of any length: the model's
// NAME, or every texture record (TX0D-TX3D, CTEX) that holds the old name,
// takes the new one (resized and padded), and for a model every PRNT and
// every name in a cloth FWGT or COLL that named it follows (a cloth list is
// rewritten whole, its size following). Its rule is "rename"; it is planned
// only on request. Nothing, with the reason in why, when the old name names
// nothing, when two models share it (which one a PRNT means is not
// certain), when another model has the new name, when a cloth list that
// holds the old name does not read whole, or for an empty name or one with
// a zero byte.
std::optional<Repair> PlanRename(const mesh::chunkptr& root, const std::string& from, const std::string& to,
                                 std::string& why);

}  // namespace check
