// The undo history of the editor: every change of the mesh is one step that
// can be undone and redone exactly.
//
// How a change becomes a step. Before the change runs, the own fields of the
// chunks it may alter (chunk::fields: name, size, list of children, open
// state, data array) are taken: of the scope chunk alone, or of every chunk in
// its subtree. They are taken again after the change and its rebuild. The
// step keeps only the chunks whose fields differ, and of a leaf's data only
// the bytes that differ (the first differing byte and the runs before and
// after, up to the first byte of the common end), so a one-byte edit of a
// large chunk costs a few bytes. Container data is never kept: the rebuild
// derives it from the children. The chunks themselves are kept, so undoing a
// delete brings back the same chunk object, with its subtree.
//
// What a step holds is counted when it is recorded: the step itself, the
// differing bytes, the lists of children, every chunk it alone may keep
// alive (children on one side of an entry only: a deleted model, the old
// children of a container parsed again), and the data arrays it keeps,
// directly or through those chunks. A data array is counted whole, once in
// the whole history however many chunks and steps hold a slice of it (the
// file as read is one array). The history is bounded by that count and by
// its number of steps: past either bound the oldest steps are dropped, the
// newest always kept.
//
// Undo puts back the fields before, redo those after; the rebuild then
// derives every size above. Fields are put back whole, never adjusted, so a
// step is exact as long as the steps after it were undone first, which the
// history guarantees.
//
// Material grouping. Grouping replaces the children of every MATL by new
// objects (and ungrouping drops them), and is not a step. So a step never
// holds a MATL's fields or anything inside one: a MATL is taken as a leaf
// holding its data (the bytes it is saved with, whether grouped or not), and
// put back as that leaf, to be grouped again when grouping is on. Chunks that
// a step puts back into a list of children hold their MATLs as they were when
// they left the tree; they are ungrouped when grouping is off.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "mesh/chunk.h"

namespace editor {

// The chunk fields a change may alter, taken before or after it.
struct Snapshot {
    struct Item {
        mesh::chunkptr c;
        mesh::chunk::fields f;
        bool matl = false;  // a MATL taken as a leaf holding its data
    };
    std::vector<Item> chunks;

    // The fields of scope alone, or of every chunk in its subtree; a MATL
    // (and what it holds) as a leaf with its data.
    static Snapshot Take(const mesh::chunkptr& scope, bool subtree);
};

// The data cursor's value when there is none.
constexpr int kNoCursor = -5;

// What the user sees of the editing position, put back with a step.
struct Place {
    mesh::chunkptr selchunk;
    int datacursor = kNoCursor;
};

class History {
public:
    // One chunk of a step: its fields before and after (either may be
    // missing: a chunk only made by the change, or one it dropped). A leaf's
    // data is kept as the differing bytes instead.
    struct Entry {
        mesh::chunkptr c;
        bool hasbefore = false, hasafter = false;
        mesh::chunk::fields before, after;
        bool beforematl = false, aftermatl = false;  // that side is a MATL taken as a leaf
        bool patch = false;     // data kept as bytes; before.buf and after.buf are empty
        int64_t at = 0;         // first byte that differs
        std::vector<uint8_t> was, now;  // the differing bytes before and after
    };
    struct Step {
        std::string name;
        std::vector<Entry> entries;
        Place before, after;
        uint64_t id = 0;
        size_t bytes = 0;  // what the step holds besides data arrays
        // The data arrays it holds (used only to count them, never read).
        std::vector<const void*> arrays;
    };

    // The bounds: 512 MB and 1,000 steps.
    static constexpr size_t kMaxBytes = size_t{512} << 20;
    static constexpr size_t kMaxSteps = 1000;
    History() = default;
    History(size_t maxbytes, size_t maxsteps) : maxbytes_(maxbytes), maxsteps_(maxsteps) {}

    // Makes a step from the fields before and after a change. Nothing is
    // recorded when no field differs; otherwise the steps that could be
    // redone are dropped. True when a step was recorded.
    bool Record(const std::string& name, const Snapshot& before, const Snapshot& after,
                const Place& placebefore, const Place& placeafter);

    bool CanUndo() const { return pos_ > 0; }
    bool CanRedo() const { return pos_ < steps_.size(); }
    // The step that undo or redo would apply; null when there is none.
    const Step* ToUndo() const { return CanUndo() ? &steps_[pos_ - 1] : nullptr; }
    const Step* ToRedo() const { return CanRedo() ? &steps_[pos_] : nullptr; }
    // What putting back a step brought into the tree.
    struct Applied {
        std::vector<mesh::chunkptr> matls;     // MATLs put back as leaves
        std::vector<mesh::chunkptr> attached;  // chunks that joined a list of children
    };
    // Puts back the fields of that step (before for undo, after for redo)
    // and moves over it. The caller brings what it attached into the current
    // grouping, groups the MATLs again when grouping is on, and rebuilds.
    // Either puts back the whole step or, when memory runs out on the way,
    // throws std::bad_alloc with nothing changed.
    Applied Undo();
    Applied Redo();
    // Puts back the fields a snapshot took (a change that could not be
    // completed), all of them or none; the snapshot is used up.
    static Applied PutBack(Snapshot& s);

    // A fresh history (a mesh opened or made new); the state is the saved one.
    void Clear();
    // The current state is the one in the file.
    void MarkSaved() { saved_ = Top(); }
    // Whether the state differs from the one last opened or saved.
    bool Modified() const { return Top() != saved_; }

    size_t Steps() const { return steps_.size(); }
    // What the steps hold, in bytes, as counted when they were recorded.
    size_t Bytes() const { return bytes_; }
    // The first time since Clear that steps were dropped for the bounds,
    // what to tell the user ("undo: oldest steps dropped (history over
    // 512 MB)"); empty otherwise.
    std::string TakeNotice();

private:
    uint64_t Top() const { return pos_ > 0 ? steps_[pos_ - 1].id : base_; }
    // Drops the steps from `from` on (those that could be redone).
    void DropRedo();
    // Drops the oldest steps while the history is past a bound.
    void Bound();
    // Counts a step's data arrays in, or out.
    void Count(Step& s, const std::unordered_map<const void*, size_t>& sizes);
    void Uncount(const Step& s);
    // Putting back fields in two halves: what needs memory first (Prepare,
    // for each chunk), then the fields go in without allocating (Commit).
    struct Prepared {
        mesh::chunkptr c;
        mesh::chunk::fields target;
        const std::vector<uint8_t>* in = nullptr;  // bytes written into target's array at `at`
        size_t at = 0;
        bool matl = false;
    };
    static Prepared Prepare(const Entry& e, bool forward, Applied& applied);
    static void Commit(std::vector<Prepared>& todo, Applied& applied);

    std::vector<Step> steps_;
    size_t pos_ = 0;        // steps applied
    uint64_t next_ = 1;     // id of the next step
    uint64_t saved_ = 0;    // id of the top step when saved (0: no step)
    uint64_t base_ = 0;     // id of the last step dropped as too old (0: none)
    size_t bytes_ = 0;      // sum of the steps' bytes and of the arrays they hold
    struct Array {
        size_t steps = 0, bytes = 0;
    };
    std::unordered_map<const void*, Array> arrays_;  // each array the steps hold, once
    size_t maxbytes_ = kMaxBytes, maxsteps_ = kMaxSteps;
    std::string notice_;    // what TakeNotice says, once
    bool noticed_ = false;
};

// The nearest of c and its ancestors that stands in the tree under root;
// null when none does.
mesh::chunkptr NearestInTree(const mesh::chunkptr& c, const mesh::chunkptr& root);

}  // namespace editor
