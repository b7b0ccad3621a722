// The chunk tree view. The walk is depth-first pre-order over the visible
// chunks with a stack of its own (a path can be a million chunks deep), and it
// paints and hit-tests exactly as a recursive walk would: a chunk, then each
// child's subtree in order.
//
// A frame costs its visible rows, wherever the first row lies. Rows above the
// grid are neither painted nor hit, so the walk need not pass through them
// again and again: it keeps marks, each the state of the walk just before the
// chunk of one row (the open chunks with children still to visit, the next
// chunk, the colours they pass on), and starts at the last mark at or above
// the first row. Marks are taken every kMarkEvery rows on the way down and at
// every frame's first row. They hold as long as no row moved: the tree's row
// clock (a child added or removed, a chunk opened or closed) and the
// selection (its tint passes down) are compared at the start of every frame.
// A click of the view itself changes a chunk on the grid, at or below the
// first row, so the marks at or above its row stay.
//
// The walk ends at the first row below the grid: every row after it in
// pre-order lies below as well, so the rest is only counted, one row per
// chunk the recursive walk would still have looked at.
#include "treeview/treeview.h"

#include <climits>
#include <map>
#include <string>

namespace editor {

using mesh::chunk;
using mesh::chunkptr;
using mesh::msh;
using mesh::rowclock;

std::string RowText(const chunk& c) {
    const char glyph = c.kids.empty() ? '-' : (c.expanded ? '|' : '+');
    std::string text(1, glyph);
    text += c.name;
    text += ':';
    text += std::to_string(c.size);
    return text;
}

namespace {

constexpr int kMarkEvery = 256;          // rows between two marks on the way down
constexpr size_t kMarkStackMax = 65536;  // a state with more open levels is not kept
constexpr size_t kMarksMax = 16384;      // more marks than this start over

}  // namespace

struct TreeMemory {
    // An open chunk whose children from `next` on are still to be visited,
    // with the colours it passes to them.
    struct Level {
        chunk* c;
        size_t next;
        int depth;
        uint8_t fg, bg;
    };
    // The walk just before it visits `next` (at the row the mark is filed
    // under), at `depth` with the inherited colours fg, bg.
    struct Mark {
        std::vector<Level> stack;
        chunk* next = nullptr;
        int depth = 0;
        uint8_t fg = 0, bg = 0;
    };

    // What the marks were taken under.
    const chunk* start = nullptr;
    int depth = 0, y = 0, fg = 0, bg = 0;
    std::shared_ptr<const rowclock> clock;  // held, so its identity stays unique
    uint64_t ticks = 0;
    const chunk* sel = nullptr;
    std::map<int, Mark> marks;  // by row index

    std::vector<Level> stack;  // the walk's own; kept for its capacity
};

namespace {

using Level = TreeMemory::Level;

struct Walk {
    msh& m;
    TreeView& view;
    TreeMemory& mem;
    display::tilemap& grid;
    int o, w, first;
    const chunk* sel;  // the selection at the start of the frame
    int panelx = 0, panely = 0;

    // The chunk visited next.
    int row = 0;
    chunk* next = nullptr;
    int depth = 0;
    uint8_t fg = 0, bg = 0;
    bool below = false;

    // Clicks of this frame.
    int clickrow = INT_MAX;    // the highest clicked row
    chunk* clicked = nullptr;  // the last chunk clicked
    bool foreign = false;      // rows moved by something other than the clicks

    uint64_t Ticks() const {
        const std::shared_ptr<const rowclock>& k = mem.clock;
        return k ? k->ticks : 0;
    }

    void TakeMark() {
        if (mem.stack.size() > kMarkStackMax || mem.marks.count(row)) return;
        if (mem.marks.size() >= kMarksMax) mem.marks.clear();
        TreeMemory::Mark& mk = mem.marks[row];
        mk.stack = mem.stack;
        mk.next = next;
        mk.depth = depth;
        mk.fg = fg;
        mk.bg = bg;
    }

    // Moves to the next chunk in pre-order; false when there is none.
    bool Advance() {
        std::vector<Level>& stack = mem.stack;
        while (!stack.empty()) {
            Level& top = stack.back();
            if (top.next >= top.c->kids.size()) {
                stack.pop_back();
                continue;
            }
            next = top.c->kids[top.next].get();
            ++top.next;
            depth = top.depth + 1;
            fg = top.fg;
            bg = top.bg;
            // A chunk's last child is visited with the chunk already off the
            // stack, so a long path of only children keeps the stack short.
            if (top.next >= top.c->kids.size()) stack.pop_back();
            return true;
        }
        return false;
    }

    // A click changed the tree: the marks at or above the row stay unless
    // something else moved rows too.
    void Clicked(uint64_t before, bool toggled) {
        if (view.update) view.update();
        if (Ticks() != before + (toggled ? 1 : 0)) foreign = true;
        clickrow = std::min(clickrow, row);
        clicked = next;
    }

    // Paints the chunk on grid row r and applies a click on it.
    void Shown(int r) {
        chunk* c = next;
        const widgets::Toolkit* ui = view.ui;
        const bool hover = ui != nullptr && ui->my == panely + r && ui->mx >= panelx + o && ui->mx < panelx + o + w;
        if (hover && ui->mousereleased[1]) {
            const uint64_t before = Ticks();
            const int was = c->expanded;
            const bool selected = view.selchunk && view.selchunk->get() == c;
            c->expanded = selected ? (was ? 0 : 1) : 1;
            if (view.selchunk) *view.selchunk = c->shared_from_this();
            Clicked(before, c->expanded != was);
        }
        if (hover && ui->mousereleased[2]) {
            const uint64_t before = Ticks();
            c->expanded = c->expanded ? 0 : 1;
            Clicked(before, true);
        }

        const std::string text = RowText(*c);
        const bool flagged = m.inerrors(c) != 0;
        const int mark = flagged ? kTreeError : view.missing && view.missing(c) ? kTreeMissing : -1;
        int passfg, passbg;
        if (view.selchunk && view.selchunk->get() == c) {
            grid.InsertString(depth, r, text, bg, mark >= 0 ? mark : fg, 0, 0, 1, -1);
            passfg = kTreeSelected;
            passbg = hover ? kTreeHover : bg;
        } else {
            const int rowbg = hover ? kTreeHover : bg;
            grid.InsertString(depth, r, text, fg, mark >= 0 ? mark : rowbg, 0, 0, 1, -1);
            passfg = fg;
            passbg = rowbg;
        }
        // A row that runs past the grid's edge ends in a mark, so that a size
        // cut there is never read as a smaller one.
        if (depth + static_cast<int64_t>(text.size()) > grid.tmapw && depth < grid.tmapw) {
            const int x = grid.tmapw - 1;
            grid.SetTile(x, r, display::kCutMark, grid.fg(x, r), grid.bg(x, r), 1);
        }
        if (c->expanded && !c->kids.empty())
            mem.stack.push_back({c, 0, depth, uint8_t(passfg), uint8_t(passbg)});
    }

    // Visits the chunks from `next` on; returns the row after the last one
    // looked at.
    void Run() {
        for (;;) {
            const int r = row - first;
            if (r >= grid.tmaph) {
                ++row;
                below = true;
                return;
            }
            if (r < 0) {
                // Above the grid: not painted, not hit; only the selection's
                // tint reaches the children.
                if ((row - mem.y) % kMarkEvery == 0) TakeMark();
                if (next->expanded && !next->kids.empty())
                    mem.stack.push_back({next, 0, depth, uint8_t(next == sel ? kTreeSelected : fg), bg});
            } else {
                if (r == 0) TakeMark();
                Shown(r);
            }
            ++row;
            if (!Advance()) return;
        }
    }

    // After the frame: forget what the frame's changes made wrong.
    void Settle(const chunkptr& start) {
        const std::shared_ptr<const rowclock> clock = start->rows();
        const chunk* selnow = view.selchunk ? view.selchunk->get() : nullptr;
        const bool changed = clock != mem.clock || (clock && clock->ticks != mem.ticks) || selnow != mem.sel;
        // Only this frame's clicks changed anything: the clock counted just
        // their toggles and the selection is the clicked chunk.
        const bool clicksonly =
            clicked && !foreign && clock == mem.clock && (selnow == mem.sel || selnow == clicked);
        if (!clock || (changed && !clicksonly)) {
            mem.marks.clear();
        } else if (changed) {
            // Rows at or above the highest clicked one did not move.
            mem.marks.erase(mem.marks.upper_bound(clickrow), mem.marks.end());
            if (selnow != mem.sel) {
                // The old selection is no more, and the new one (a clicked
                // row) stands at or below every mark kept: above the grid
                // every chunk passes on the colours it was given.
                for (auto& [r, mk] : mem.marks) {
                    mk.fg = uint8_t(mem.fg);
                    for (Level& l : mk.stack) l.fg = uint8_t(mem.fg);
                }
            }
        }
        mem.clock = clock;
        mem.ticks = clock ? clock->ticks : 0;
        mem.sel = selnow;
    }
};

}  // namespace

int RenderChunk(msh& m, TreeView& view, const chunkptr& c, display::tilemap& grid, int depth, int y, int o,
                int w, int fg, int bg, int first) {
    if (!c) return 0;
    if (!view.memory) view.memory = std::make_shared<TreeMemory>();
    TreeMemory& mem = *view.memory;
    const chunk* sel = view.selchunk ? view.selchunk->get() : nullptr;
    const std::shared_ptr<const rowclock> clock = c->rows();
    if (mem.start != c.get() || mem.depth != depth || mem.y != y || mem.fg != fg || mem.bg != bg ||
        mem.clock != clock || !clock || mem.ticks != clock->ticks || mem.sel != sel) {
        mem.marks.clear();
        mem.start = c.get();
        mem.depth = depth;
        mem.y = y;
        mem.fg = fg;
        mem.bg = bg;
        mem.clock = clock;
        mem.ticks = clock ? clock->ticks : 0;
        mem.sel = sel;
    }

    Walk walk{m, view, mem, grid, o, w, first, sel};
    if (view.treepanel) {
        walk.panelx = view.treepanel->dx;
        walk.panely = view.treepanel->dy;
    }
    // Start at the last mark at or above the first row, else at c.
    mem.stack.clear();
    auto at = mem.marks.upper_bound(first);
    if (at != mem.marks.begin()) {
        --at;
        const TreeMemory::Mark& mk = at->second;
        mem.stack = mk.stack;
        walk.row = at->first;
        walk.next = mk.next;
        walk.depth = mk.depth;
        walk.fg = mk.fg;
        walk.bg = mk.bg;
    } else {
        walk.row = y;
        walk.next = c.get();
        walk.depth = depth;
        walk.fg = uint8_t(fg);
        walk.bg = uint8_t(bg);
    }
    walk.Run();
    if (walk.below) {
        // Every child not visited yet lies below the grid too and counts one.
        for (const Level& l : mem.stack)
            if (l.next < l.c->kids.size()) walk.row += int(l.c->kids.size() - l.next);
    }
    mem.stack.clear();
    walk.Settle(c);
    return walk.row - y;
}

int Render(msh& m, TreeView& view, display::tilemap& grid, int first) {
    if (m.hedr) RenderChunk(m, view, m.hedr, grid, 0, 0, 0, kTreeHitWidth, kTreeFg, kTreeBg, first);
    return 0;
}

}  // namespace editor
