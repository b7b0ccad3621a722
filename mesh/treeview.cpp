// The chunk tree view. The walk is depth-first pre-order over the visible
// chunks with a stack of its own (a path can be a million chunks deep), and it
// paints and hit-tests exactly as a recursive walk would: a chunk, then each
// child's subtree in order.
//
// Rows above the grid are visited only to count them (their descendants keep
// the row numbers right). The walk ends at the first row below the grid:
// every row after it in pre-order lies below as well, so the rest is only
// counted, one row per chunk the recursive walk would still have looked at.
#include "mesh/treeview.h"

#include <string>

namespace mesh {

std::string RowText(const chunk& c) {
    const char glyph = c.kids.empty() ? '-' : (c.expanded ? '|' : '+');
    std::string text(1, glyph);
    text += c.name;
    text += ':';
    text += std::to_string(c.size);
    return text;
}

namespace {

struct Walk {
    msh& m;
    TreeView& view;
    display::tilemap& grid;
    int o, w, first;
    int panelx = 0, panely = 0;
    int row = 0;         // row index of the next chunk visited
    bool below = false;  // a row below the grid was reached

    // Paints one chunk on the current row and applies a click on it; opens a
    // level for its children when they are visible.
    void Visit(chunk* c, int depth, int fg, int bg) {
        const int r = row - first;
        ++row;
        if (r >= grid.tmaph) {
            below = true;
            return;
        }
        if (r < 0) {
            // Above the grid: not painted, not hit; only the selection's tint
            // reaches the children.
            if (c->expanded && !c->kids.empty()) {
                const chunk* sel = view.selchunk ? view.selchunk->get() : nullptr;
                view.stack.push_back({c, 0, depth, uint8_t(c == sel ? kTreeSelected : fg), uint8_t(bg)});
            }
            return;
        }

        const widgets::Toolkit* ui = view.ui;
        const bool hover = ui != nullptr && ui->my == panely + r && ui->mx >= panelx + o && ui->mx < panelx + o + w;
        if (hover && ui->mousereleased[1]) {
            const bool selected = view.selchunk && view.selchunk->get() == c;
            c->expanded = selected ? (c->expanded ? 0 : 1) : 1;
            if (view.selchunk) *view.selchunk = c->shared_from_this();
            if (view.update) view.update();
        }
        if (hover && ui->mousereleased[2]) {
            c->expanded = c->expanded ? 0 : 1;
            if (view.update) view.update();
        }

        const std::string text = RowText(*c);
        const bool flagged = m.inerrors(c) != 0;
        int passfg, passbg;
        if (view.selchunk && view.selchunk->get() == c) {
            grid.InsertString(depth, r, text, bg, flagged ? kTreeError : fg, 0, 0, 1, -1);
            passfg = kTreeSelected;
            passbg = hover ? kTreeHover : bg;
        } else {
            const int rowbg = hover ? kTreeHover : bg;
            grid.InsertString(depth, r, text, fg, flagged ? kTreeError : rowbg, 0, 0, 1, -1);
            passfg = fg;
            passbg = rowbg;
        }
        if (c->expanded && !c->kids.empty()) view.stack.push_back({c, 0, depth, uint8_t(passfg), uint8_t(passbg)});
    }

    // Returns the rows of start and its visible descendants, where a chunk
    // below the grid counts one row whatever lies under it.
    int Run(chunk* start, int depth, int y, int fg, int bg) {
        view.stack.clear();
        row = y;
        Visit(start, depth, fg, bg);
        while (!view.stack.empty() && !below) {
            TreeView::Level& top = view.stack.back();
            if (top.next >= top.c->kids.size()) {
                view.stack.pop_back();
                continue;
            }
            chunk* kid = top.c->kids[top.next].get();
            ++top.next;
            const TreeView::Level parent = top;
            // A chunk's last child is visited with the chunk already off the
            // stack, so a long path of only children keeps the stack short.
            if (parent.next >= parent.c->kids.size()) view.stack.pop_back();
            Visit(kid, parent.depth + 1, parent.fg, parent.bg);
        }
        if (below) {
            // Every child not visited yet lies below the grid too and counts one.
            for (const TreeView::Level& l : view.stack)
                if (l.next < l.c->kids.size()) row += int(l.c->kids.size() - l.next);
        }
        view.stack.clear();
        return row - y;
    }
};

}  // namespace

int RenderChunk(msh& m, TreeView& view, const chunkptr& c, display::tilemap& grid, int depth, int y, int o,
                int w, int fg, int bg, int first) {
    if (!c) return 0;
    Walk walk{m, view, grid, o, w, first};
    if (view.treepanel) {
        walk.panelx = view.treepanel->dx;
        walk.panely = view.treepanel->dy;
    }
    return walk.Run(c.get(), depth, y, fg, bg);
}

int Render(msh& m, TreeView& view, display::tilemap& grid, int first) {
    if (m.hedr) RenderChunk(m, view, m.hedr, grid, 0, 0, 0, kTreeHitWidth, kTreeFg, kTreeBg, first);
    return 0;
}

}  // namespace mesh
