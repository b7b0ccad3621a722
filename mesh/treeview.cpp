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
    bool below = false;  // a row below the grid was reached

    // Paints one chunk and applies a click on its row. Returns the row count
    // when the chunk has no visible children to visit; otherwise pushes a
    // level for them and returns -1.
    int Visit(chunk* c, int depth, int y, int fg, int bg) {
        const int r = y - first;
        if (r >= grid.tmaph) {
            below = true;
            return 1;
        }
        if (r < 0) {
            // Above the grid: not painted, not hit; only the selection's tint
            // reaches the children.
            const chunk* sel = view.selchunk ? view.selchunk->get() : nullptr;
            if (c->expanded && !c->kids.empty()) {
                view.stack.push_back({c, 0, y, 1, depth, uint8_t(c == sel ? kTreeSelected : fg), uint8_t(bg)});
                return -1;
            }
            return 1;
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
        if (c->expanded && !c->kids.empty()) {
            view.stack.push_back({c, 0, y, 1, depth, uint8_t(passfg), uint8_t(passbg)});
            return -1;
        }
        return 1;
    }

    int Run(chunk* start, int depth, int y, int fg, int bg) {
        view.stack.clear();
        int result = Visit(start, depth, y, fg, bg);
        while (!view.stack.empty()) {
            TreeView::Level& top = view.stack.back();
            const size_t kids = top.c->kids.size();
            if (below || top.next >= kids) {
                // Children not visited yet each count one row (they lie below).
                if (top.next < kids) top.n += int(kids - top.next);
                const int n = top.n;
                view.stack.pop_back();
                if (view.stack.empty())
                    result = n;
                else
                    view.stack.back().n += n;
                continue;
            }
            chunk* kid = top.c->kids[top.next].get();
            ++top.next;
            const int count = Visit(kid, top.depth + 1, top.y + top.n, top.fg, top.bg);
            if (count >= 0) view.stack.back().n += count;  // nothing was pushed
        }
        return result;
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
