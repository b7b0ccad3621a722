// Time of one frame of the chunk tree view (a 16 x 40 tree grid) on trees of
// a million open rows, at the top, the middle and the bottom, and in the
// frame of an open/close far down and the frame after it; beside it, in the
// same run, the baseline: a walk that starts at the root every frame, as the
// view did before it remembered rows.
//
//   deep:  one path a million chunks deep, opened all the way, the root
//          selected and every chunk flagged by verification
//   wide:  a root with a million leaf children, opened
//   bushy: a root with a thousand open children of a thousand leaves each
//
// usage: treeview_bench [frames per figure]   (prints medians in ms)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench/support/timing.h"
#include "display/display.h"
#include "host/headless_host.h"
#include "treeview/treeview.h"
#include "widgets/toolkit.h"

namespace {

constexpr int kRows = 1000000;
constexpr int kGrid = 40;

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

using benchtime::Median;

// The walk from the root, as the view made it before: every row above the
// first is visited to count it.
struct PlainWalk {
    struct Level {
        mesh::chunk* c;
        size_t next;
        int depth;
        uint8_t fg, bg;
    };
    std::vector<Level> stack;

    void Frame(mesh::msh& m, const mesh::chunk* sel, display::tilemap& grid, int first) {
        stack.clear();
        int row = 0;
        bool below = false;
        auto visit = [&](mesh::chunk* c, int depth, int fg, int bg) {
            const int r = row - first;
            ++row;
            if (r >= grid.tmaph) {
                below = true;
                return;
            }
            int passfg = c == sel ? editor::kTreeSelected : fg;
            if (r >= 0) {
                const bool flagged = m.inerrors(c) != 0;
                if (c == sel)
                    grid.InsertString(depth, r, editor::RowText(*c), bg, flagged ? 10 : fg, 0, 0, 1, -1);
                else
                    grid.InsertString(depth, r, editor::RowText(*c), fg, flagged ? 10 : bg, 0, 0, 1, -1);
            }
            if (c->expanded && !c->kids.empty()) stack.push_back({c, 0, depth, uint8_t(passfg), uint8_t(bg)});
        };
        visit(m.hedr.get(), 0, editor::kTreeFg, editor::kTreeBg);
        while (!stack.empty() && !below) {
            Level& top = stack.back();
            if (top.next >= top.c->kids.size()) {
                stack.pop_back();
                continue;
            }
            mesh::chunk* kid = top.c->kids[top.next++].get();
            const Level parent = top;
            if (parent.next >= parent.c->kids.size()) stack.pop_back();
            visit(kid, parent.depth + 1, parent.fg, parent.bg);
        }
    }
};

struct Scene {
    host::HeadlessHost host;
    display::Display display{host};
    widgets::Toolkit ui{display};
    std::unique_ptr<widgets::gadget> panel = widgets::gadget::CreateLabel("", 1, 7, 16, kGrid, 1);
    display::tilemap grid{16, kGrid};
    mesh::chunkptr selchunk;
    editor::TreeView view;
    PlainWalk plain;

    Scene() {
        panel->dx = 1;
        panel->dy = 7;
        view.ui = &ui;
        view.selchunk = &selchunk;
        view.treepanel = panel.get();
        Hover(-1);
    }
    void Hover(int row) {  // a grid row, -1 for none
        ui.mx = row < 0 ? -100 : panel->dx + 3;
        ui.my = panel->dy + row;
        ui.mousereleased[1] = ui.mousereleased[2] = 0;
    }
    double Frame(mesh::msh& m, int first) {
        const Clock::time_point t = Clock::now();
        grid.Fill(0, 0, 25, 0);
        editor::Render(m, view, grid, first);
        return Ms(Clock::now() - t);
    }
    double Plain(mesh::msh& m, int first) {
        const Clock::time_point t = Clock::now();
        grid.Fill(0, 0, 25, 0);
        plain.Frame(m, selchunk.get(), grid, first);
        return Ms(Clock::now() - t);
    }
};

mesh::msh Deep(mesh::chunkptr& sel) {
    mesh::msh m;
    // Built from the bottom up: every append is to a chunk without a parent.
    mesh::chunkptr c = mesh::chunk::Create("DEEP");
    m.errors.push_back(c);
    for (int i = 1; i < kRows; i++) {
        mesh::chunkptr p = mesh::chunk::Create(i == kRows - 1 ? "HEDR" : "DEEP");
        p->AppendKid(c);
        p->expanded = 1;
        m.errors.push_back(p);
        c = p;
    }
    m.hedr = c;
    m.hedr->Update(0);
    sel = m.hedr;
    return m;
}

mesh::msh Wide() {
    mesh::msh m;
    m.hedr = mesh::chunk::Create("HEDR");
    for (int i = 1; i < kRows; i++) m.hedr->AppendKid(mesh::chunk::Create("LEAF"));
    m.hedr->expanded = 1;
    m.hedr->Update(0);
    return m;
}

mesh::msh Bushy() {
    mesh::msh m;
    m.hedr = mesh::chunk::Create("HEDR");
    for (int i = 0; i < 1000; i++) {
        mesh::chunkptr b = mesh::chunk::Create("SEGM");
        for (int j = 0; j < 999; j++) b->AppendKid(mesh::chunk::Create("LEAF"));
        b->expanded = 1;
        m.hedr->AppendKid(b);
    }
    m.hedr->expanded = 1;
    m.hedr->Update(0);
    return m;
}

struct Figures {
    double worst = 0, worstbase = 0;
};

void Measure(const char* name, mesh::msh& m, Scene& s, int frames, Figures& all) {
    const int rows = m.hedr->groupsize();
    const int positions[3] = {0, rows / 2, rows - kGrid};
    const char* where[3] = {"top", "middle", "bottom"};
    s.view = editor::TreeView{s.view.ui, s.view.selchunk, s.view.treepanel, nullptr, nullptr, nullptr};
    for (int p = 0; p < 3; p++) {
        std::vector<double> now, base;
        s.Frame(m, positions[p]);  // the first frame there
        for (int i = 0; i < frames; i++) {
            now.push_back(s.Frame(m, positions[p]));
            base.push_back(s.Plain(m, positions[p]));
        }
        const double a = Median(now), b = Median(base);
        std::printf("  %-6s %-14s row %7d   %8.4f ms   baseline %8.3f ms\n", name, where[p], positions[p], a, b);
        all.worst = std::max(all.worst, a);
        all.worstbase = std::max(all.worstbase, b);
    }
    // Far down: a right click on grid row 20 closes (then opens) that row;
    // the frame of the click and the frame after it.
    const int first = rows - kGrid;
    std::vector<double> click, after, base;
    for (int i = 0; i < frames; i++) {
        s.Hover(20);
        s.ui.mousereleased[2] = 1;
        click.push_back(s.Frame(m, first));
        s.Hover(-1);
        after.push_back(s.Frame(m, first));
        base.push_back(s.Plain(m, first));
    }
    const double a = std::max(Median(click), Median(after)), b = Median(base);
    std::printf("  %-6s %-14s row %7d   %8.4f ms   baseline %8.3f ms\n", name, "open/close", first + 20, a, b);
    all.worst = std::max(all.worst, a);
    all.worstbase = std::max(all.worstbase, b);
}

}  // namespace

int main(int argc, char** argv) {
    const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 21;
    Scene s;
    Figures all;
    std::printf("tree view, one frame of a %d-row grid, median of %d frames\n", kGrid, frames);
    {
        mesh::msh m = Deep(s.selchunk);
        Measure("deep", m, s, frames, all);
    }
    s.selchunk = nullptr;
    {
        mesh::msh m = Wide();
        Measure("wide", m, s, frames, all);
    }
    {
        mesh::msh m = Bushy();
        Measure("bushy", m, s, frames, all);
    }
    std::printf("worst: %.4f ms (target < 1 ms); baseline worst: %.3f ms\n", all.worst, all.worstbase);
    return 0;
}
