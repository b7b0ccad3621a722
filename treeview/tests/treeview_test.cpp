// The chunk tree view: row text, colours and their inheritance, clicks and
// scrolling, read back from the tree grid.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <random>
#include <string>

#include "treeview/treeview.h"
#include "widgets/tests/screen.h"

using mesh::chunk;
using mesh::chunkptr;

namespace {

chunkptr Leaf(const std::string& name, int bytes) {
    chunkptr c = chunk::Create(name);
    c->setdata(std::vector<uint8_t>(size_t(bytes), 0));
    return c;
}

chunkptr Node(const std::string& name, std::vector<chunkptr> kids) {
    chunkptr c = chunk::Create(name);
    for (auto& k : kids) c->AppendKid(k);
    return c;
}

// The text of a grid row, from its first non-blank cell to the next blank.
std::string RowAt(const display::tilemap& g, int y) {
    std::string s;
    int x = 0;
    while (x < g.tmapw && g.glyph(x, y) == 0) x++;
    for (; x < g.tmapw && g.glyph(x, y) != 0; x++) s += char(g.glyph(x, y));
    return s;
}

// The editor's side: a 16 x 14 tree grid shown at cell (1, 7).
class TreeTest : public ::testing::Test {
protected:
    testscreen::Screen s;
    std::unique_ptr<widgets::gadget> panel = widgets::gadget::CreateLabel("", 1, 7, 16, 14, 1);
    display::tilemap grid{16, 14};
    mesh::msh m;
    chunkptr selchunk;
    editor::TreeView view;
    int updates = 0;

    // HEDR { MSH2 { SINF { NAME }, MODL }, CL1L }
    chunkptr hedr, msh2, sinf, name, modl, cl1l;

    TreeTest() {
        panel->dx = 1;
        panel->dy = 7;
        view.ui = s.ui.get();
        view.selchunk = &selchunk;
        view.treepanel = panel.get();
        view.update = [this] { ++updates; };
        name = Leaf("NAME", 8);
        sinf = Node("SINF", {name});
        modl = Leaf("MODL", 4);
        msh2 = Node("MSH2", {sinf, modl});
        cl1l = Leaf("CL1L", 0);
        hedr = Node("HEDR", {msh2, cl1l});
        hedr->Update(0);
        m.hedr = hedr;
    }

    void Frame(int first = 0) {
        grid.Fill(0, 0, 25, 0);
        editor::Render(m, view, grid, first);
        s.ui->mousereleased[1] = s.ui->mousereleased[2] = 0;
    }
    void Point(int row, int col = 3) {  // a grid row and column
        s.ui->mx = panel->dx + col;
        s.ui->my = panel->dy + row;
    }
    void Click(int row, int button = 1) {
        Point(row);
        s.ui->mousereleased[button] = 1;
        Frame();
    }
    int Fg(int x, int y) const { return grid.fg(x, y); }
    int Bg(int x, int y) const { return grid.bg(x, y); }
};

}  // namespace

TEST_F(TreeTest, FreshMeshShowsOneClosedRootRow) {
    Point(20);
    Frame();
    EXPECT_EQ(RowAt(grid, 0), "+HEDR:52");
    EXPECT_EQ(Fg(0, 0), editor::kTreeFg);
    EXPECT_EQ(Bg(0, 0), editor::kTreeBg);
    EXPECT_EQ(RowAt(grid, 1), "");
}

TEST_F(TreeTest, LeftClickSelectsAndOpensThenClosesRightClickOnlyToggles) {
    Click(0);
    EXPECT_EQ(selchunk, hedr);
    EXPECT_EQ(hedr->expanded, 1);
    EXPECT_EQ(updates, 1);
    EXPECT_EQ(RowAt(grid, 0), "|HEDR:52") << "the row shows the new state at once";
    EXPECT_EQ(RowAt(grid, 1), "+MSH2:36") << "children painted in the same frame";
    EXPECT_EQ(RowAt(grid, 2), "-CL1L:0");
    EXPECT_EQ(grid.glyph(0, 1), 0) << "indented by depth";

    Click(1, 2);  // right click on MSH2: opens, does not select
    EXPECT_EQ(msh2->expanded, 1);
    EXPECT_EQ(selchunk, hedr);
    EXPECT_EQ(updates, 2);
    EXPECT_EQ(RowAt(grid, 3), "-MODL:4");
    Click(1, 2);
    EXPECT_EQ(msh2->expanded, 0);

    Click(0);  // the selected root again: closes
    EXPECT_EQ(hedr->expanded, 0);
    EXPECT_EQ(selchunk, hedr);
    EXPECT_EQ(RowAt(grid, 1), "");

    hedr->expanded = 1;
    Click(2);  // a leaf: selected, flag set, still drawn as a leaf
    EXPECT_EQ(selchunk, cl1l);
    EXPECT_EQ(cl1l->expanded, 1);
    EXPECT_EQ(RowAt(grid, 2), "-CL1L:0");

    // Both buttons released in one frame: select-and-open, then toggle.
    Point(1);
    s.ui->mousereleased[1] = s.ui->mousereleased[2] = 1;
    Frame();
    EXPECT_EQ(selchunk, msh2);
    EXPECT_EQ(msh2->expanded, 0);
}

TEST_F(TreeTest, HoverSpanIsFifteenColumnsFromThePanelEdge) {
    hedr->expanded = 1;
    Point(1, 14);
    s.ui->mousereleased[1] = 1;
    Frame();
    EXPECT_EQ(selchunk, msh2);
    selchunk = nullptr;
    Point(1, 15);  // the panel's 16th column
    s.ui->mousereleased[1] = 1;
    Frame();
    EXPECT_EQ(selchunk, nullptr);
    EXPECT_EQ(Bg(1, 1), editor::kTreeBg) << "no hover tint either";
    Point(1, -1);
    s.ui->mousereleased[1] = 1;
    Frame();
    EXPECT_EQ(selchunk, nullptr);
}

TEST_F(TreeTest, SelectionSwapsColoursAndTintsItsSubtree) {
    hedr->expanded = msh2->expanded = sinf->expanded = 1;
    selchunk = msh2;
    Point(20);
    Frame();
    EXPECT_EQ(Fg(1, 1), editor::kTreeBg);
    EXPECT_EQ(Bg(1, 1), editor::kTreeFg);
    EXPECT_EQ(Fg(2, 2), editor::kTreeSelected) << "SINF";
    EXPECT_EQ(Bg(2, 2), editor::kTreeBg);
    EXPECT_EQ(Fg(3, 3), editor::kTreeSelected) << "NAME, two levels down";
    EXPECT_EQ(Fg(1, 5), editor::kTreeFg) << "CL1L is outside the subtree";

    // Hovering the selected row tints its subtree's background too.
    Point(1);
    Frame();
    EXPECT_EQ(Fg(1, 1), editor::kTreeBg);
    EXPECT_EQ(Bg(1, 1), editor::kTreeFg);
    EXPECT_EQ(Bg(2, 2), editor::kTreeHover);
    EXPECT_EQ(Fg(2, 2), editor::kTreeSelected);

    // A row of the tinted subtree that is selected swaps the tint.
    selchunk = sinf;
    Point(20);
    Frame();
    EXPECT_EQ(Fg(2, 2), editor::kTreeBg);
    EXPECT_EQ(Bg(2, 2), editor::kTreeFg);
    EXPECT_EQ(Fg(3, 3), editor::kTreeSelected);
}

TEST_F(TreeTest, FlaggedRowsAndHoverTint) {
    hedr->expanded = msh2->expanded = 1;
    m.errors.push_back(msh2);
    Point(1);
    Frame();
    EXPECT_EQ(Bg(1, 1), editor::kTreeError) << "flagged, even under the pointer";
    EXPECT_EQ(Bg(2, 2), editor::kTreeHover) << "its children take the hover tint";
    EXPECT_EQ(Bg(2, 3), editor::kTreeHover);
    EXPECT_EQ(Bg(1, 4), editor::kTreeBg) << "CL1L is no child of it";
    EXPECT_EQ(Bg(0, 0), editor::kTreeBg);

    Point(0);  // hovering the root tints every visible row but the flagged one
    Frame();
    EXPECT_EQ(Bg(0, 0), editor::kTreeHover);
    EXPECT_EQ(Bg(1, 1), editor::kTreeError);
    EXPECT_EQ(Bg(1, 4), editor::kTreeHover);

    selchunk = msh2;  // selected and flagged: background 10, foreground the inherited background
    Point(20);
    Frame();
    EXPECT_EQ(Fg(1, 1), editor::kTreeBg);
    EXPECT_EQ(Bg(1, 1), editor::kTreeError);
    EXPECT_EQ(Fg(2, 2), editor::kTreeSelected);
    EXPECT_EQ(Bg(2, 2), editor::kTreeBg);
}

TEST_F(TreeTest, ScrollingStartsAtTheFirstRowAndRowsAboveDoNotReact) {
    hedr->expanded = msh2->expanded = sinf->expanded = 1;
    Point(20);
    Frame(3);
    EXPECT_EQ(grid.glyph(3, 0), '-') << "NAME (row 3) on grid row 0, at depth 3";
    EXPECT_EQ(grid.glyph(2, 1), '-') << "MODL at depth 2";
    EXPECT_EQ(grid.glyph(1, 2), '-') << "CL1L at depth 1";

    s.ui->mx = panel->dx + 3;
    s.ui->my = panel->dy - 1;  // the cell row just above the panel
    s.ui->mousereleased[1] = 1;
    grid.Fill(0, 0, 25, 0);
    editor::Render(m, view, grid, 3);
    EXPECT_EQ(selchunk, nullptr);
    EXPECT_EQ(updates, 0);

    // A selection above the grid still tints the rows it reaches.
    selchunk = msh2;
    Point(20);
    Frame(3);
    EXPECT_EQ(Fg(3, 0), editor::kTreeSelected);
    EXPECT_EQ(Fg(2, 1), editor::kTreeSelected);
    EXPECT_EQ(Fg(1, 2), editor::kTreeFg);
}

TEST_F(TreeTest, RenderChunkCountsRowsAndOnlyOneForRowsBelowTheGrid) {
    hedr->expanded = msh2->expanded = sinf->expanded = 1;
    display::tilemap tall(16, 14);
    EXPECT_EQ(editor::RenderChunk(m, view, hedr, tall, 0, 0, 0, 15, 0, 25, 0), 6);
    display::tilemap two(16, 2);
    // Rows 0-1 painted; SINF, MODL and CL1L are looked at and count one each,
    // NAME below SINF is not visited.
    EXPECT_EQ(editor::RenderChunk(m, view, hedr, two, 0, 0, 0, 15, 0, 25, 0), 5);
    EXPECT_EQ(RowAt(two, 1), "|MSH2:36");
}

// The walk keeps its own stack: a path a quarter of a million chunks deep,
// opened all the way, is painted and clicked at its far end.
TEST_F(TreeTest, DeepOpenPathIsWalkedWithoutRecursion) {
    const int depth = 250000;
    // Built from the bottom up: every append is to a chunk without a parent.
    const chunkptr last = chunk::Create("DEEP");
    chunkptr c = last;
    for (int i = 1; i < depth; i++) {
        chunkptr p = chunk::Create(i == depth - 1 ? "HEDR" : "DEEP");
        p->AppendKid(c);
        p->expanded = 1;
        c = p;
    }
    const chunkptr root = c;
    m.hedr = root;
    display::tilemap wide(depth + 8, 14);
    const int first = depth - 3;
    s.ui->mx = -100;
    selchunk = root;
    wide.Fill(0, 0, 25, 0);
    EXPECT_EQ(editor::RenderChunk(m, view, root, wide, 0, 0, 0, depth + 8, 0, 25, first), depth);
    EXPECT_EQ(wide.glyph(depth - 1, 2), '-');
    EXPECT_EQ(wide.fg(depth - 1, 2), editor::kTreeSelected) << "the root's selection tint reaches the far end";
    EXPECT_EQ(wide.glyph(depth - 2, 1), '|');

    s.ui->mx = panel->dx + depth - 1;
    s.ui->my = panel->dy + 2;
    s.ui->mousereleased[1] = 1;
    editor::RenderChunk(m, view, root, wide, 0, 0, 0, depth + 8, 0, 25, first);
    EXPECT_EQ(selchunk, last);
}

// The walk against a plain recursive rendering of the same rules, on random
// trees, selections, flags, scroll positions and clicks.
namespace {

struct Reference {
    mesh::msh& m;
    const widgets::Toolkit& ui;
    chunkptr& sel;
    int px, py;
    int updates = 0;
    std::function<void()> update;  // besides counting

    int Chunk(const chunkptr& c, display::tilemap& g, int d, int y, int o, int w, int F, int B, int f) {
        const int r = y - f;
        if (r >= g.tmaph) return 1;
        const bool hover = r >= 0 && ui.my == py + r && px + o <= ui.mx && ui.mx < px + o + w;
        if (hover && ui.mousereleased[1]) {
            c->expanded = (sel == c) ? !c->expanded : 1;
            sel = c;
            ++updates;
            if (update) update();
        }
        if (hover && ui.mousereleased[2]) {
            c->expanded = !c->expanded;
            ++updates;
            if (update) update();
        }
        const std::string text = editor::RowText(*c);
        int pf, pb;
        if (sel == c) {
            if (r >= 0) g.InsertString(d, r, text, B, m.inerrors(c.get()) ? 10 : F, 0, 0, 1, -1);
            pf = 38;
            pb = hover ? 1 : B;
        } else {
            const int b2 = hover ? 1 : B;
            if (r >= 0) g.InsertString(d, r, text, F, m.inerrors(c.get()) ? 10 : b2, 0, 0, 1, -1);
            pf = F;
            pb = b2;
        }
        int n = 1;
        if (c->expanded)
            for (size_t i = 0; i < c->kids.size(); i++) n += Chunk(c->kids[i], g, d + 1, y + n, o, w, pf, pb, f);
        return n;
    }
};

chunkptr RandomTree(std::mt19937& rng, std::vector<chunkptr>& all) {
    chunkptr root = chunk::Create("ROOT");
    all = {root};
    const int count = 2 + int(rng() % 40);
    for (int i = 1; i < count; i++) {
        chunkptr k = chunk::Create(std::string(1, char('A' + i % 26)) + "KID");
        all[rng() % all.size()]->AppendKid(k);
        all.push_back(k);
    }
    for (auto& c : all) c->expanded = int(rng() % 3 != 0);
    root->Update(0);
    return root;
}

}  // namespace

TEST_F(TreeTest, SameResultsAsARecursiveWalk) {
    std::mt19937 rng(1234);
    for (int round = 0; round < 300; round++) {
        std::vector<chunkptr> all;
        chunkptr root = RandomTree(rng, all);
        m.hedr = root;
        m.errors.clear();
        for (auto& c : all)
            if (rng() % 5 == 0) m.errors.push_back(c);
        chunkptr start = rng() % 4 == 0 ? all[rng() % all.size()] : root;
        selchunk = rng() % 2 ? all[rng() % all.size()] : nullptr;
        const int first = int(rng() % 12) - 2;
        const int height = 1 + int(rng() % 10);
        s.ui->mx = panel->dx + int(rng() % 18) - 1;
        s.ui->my = panel->dy + int(rng() % 12) - 1;
        s.ui->mousereleased[1] = int(rng() % 2);
        s.ui->mousereleased[2] = int(rng() % 3 == 0);

        // Run the reference on a copy of the flags, then restore them.
        std::vector<int> flags;
        for (auto& c : all) flags.push_back(c->expanded);
        const chunkptr sel0 = selchunk;
        display::tilemap want(20, height);
        want.Fill(0, 0, 25, 0);
        Reference ref{m, *s.ui, selchunk, panel->dx, panel->dy, 0, {}};
        const int wantn = ref.Chunk(start, want, 1, 2, 0, 15, 0, 25, first);
        std::vector<int> wantflags;
        for (auto& c : all) wantflags.push_back(c->expanded);
        const chunkptr wantsel = selchunk;

        for (size_t i = 0; i < all.size(); i++) all[i]->expanded = flags[i];
        selchunk = sel0;
        updates = 0;
        display::tilemap got(20, height);
        got.Fill(0, 0, 25, 0);
        const int gotn = editor::RenderChunk(m, view, start, got, 1, 2, 0, 15, 0, 25, first);

        ASSERT_EQ(gotn, wantn) << "round " << round;
        ASSERT_EQ(got.tmap, want.tmap) << "round " << round;
        ASSERT_EQ(selchunk, wantsel) << "round " << round;
        ASSERT_EQ(updates, ref.updates) << "round " << round;
        for (size_t i = 0; i < all.size(); i++) ASSERT_EQ(all[i]->expanded, wantflags[i]) << "round " << round;
    }
}

// ---- The row clock and the view's memory of rows above the grid ------------

TEST(RowClock, CountsWhatMovesRowsAndFollowsChunksBetweenTrees) {
    chunkptr a = Node("HEDR", {Leaf("NAME", 4), Node("MSH2", {Leaf("MODL", 4)})});
    chunkptr msh2 = a->kids[1];
    std::shared_ptr<const mesh::rowclock> clock = a->rows();
    ASSERT_TRUE(clock);
    EXPECT_EQ(msh2->rows(), clock) << "one clock for the whole tree";
    EXPECT_EQ(msh2->kids[0]->rows(), clock);

    uint64_t t = clock->ticks;
    msh2->expanded = 1;
    EXPECT_EQ(clock->ticks, t + 1) << "opening a chunk";
    msh2->expanded = 1;
    EXPECT_EQ(clock->ticks, t + 1) << "no change, no count";
    t = clock->ticks;
    msh2->name = "MSH3";
    a->kids[0]->setdata({1, 2, 3});
    a->Update(0);
    EXPECT_EQ(clock->ticks, t) << "names, data and sizes move no row";
    chunkptr leaf = msh2->RemoveKid(0);
    EXPECT_GT(clock->ticks, t);
    t = clock->ticks;

    // A tree built elsewhere joins: changes inside it count on the new tree.
    chunkptr b = Node("SINF", {Node("BBOX", {Leaf("DATA", 4)})});
    const chunkptr inner = b->kids[0];
    a->AppendKid(b);
    EXPECT_GT(clock->ticks, t);
    ASSERT_EQ(inner->rows(), a->rows());
    t = a->rows()->ticks;
    inner->expanded = 1;
    EXPECT_EQ(a->rows()->ticks, t + 1);

    // A large tree taking in a small one keeps its clock; a small tree going
    // under a large one moves to the large one's.
    chunkptr big = Node("BIG ", {});
    for (int i = 0; i < 50; i++) big->AppendKid(Leaf("LEAF", 0));
    std::shared_ptr<const mesh::rowclock> bigclock = big->rows();
    chunkptr small = Node("SMAL", {Leaf("ONE ", 0)});
    small->AppendKid(big);
    EXPECT_EQ(small->rows(), bigclock);
    EXPECT_EQ(small->kids[0]->rows(), bigclock);
    t = bigclock->ticks;
    small->kids[0]->expanded = 1;
    EXPECT_EQ(bigclock->ticks, t + 1);

    // A chunk that left its parent's list and then takes in a larger tree
    // moves alone, not its old tree.
    chunkptr gone = a->RemoveKid(0);
    std::shared_ptr<const mesh::rowclock> aclock = a->rows();
    gone->AppendKid(small);
    EXPECT_EQ(gone->rows(), bigclock);
    EXPECT_EQ(a->rows(), aclock);
    t = aclock->ticks;
    gone->expanded = 1;
    EXPECT_EQ(aclock->ticks, t);
    EXPECT_EQ(a->kids[0]->rows(), aclock);
}

namespace {

// A copy of a tree (names, sizes, flags), with the map from the original.
chunkptr CopyTree(const chunkptr& root, std::map<const chunk*, chunkptr>& map) {
    struct Item {
        const chunk* from;
        chunkptr to;
    };
    chunkptr top = chunk::Create(root->name);
    std::vector<Item> stack{{root.get(), top}};
    while (!stack.empty()) {
        Item it = stack.back();
        stack.pop_back();
        map[it.from] = it.to;
        it.to->setdata(std::vector<uint8_t>(size_t(std::max(0, it.from->size)), 0));
        for (const chunkptr& k : it.from->kids) {
            chunkptr c = chunk::Create(k->name);
            it.to->AppendKid(c);
            stack.push_back({k.get(), c});
        }
        it.to->expanded = int(it.from->expanded);
    }
    return top;
}

std::vector<chunkptr> AllChunks(const chunkptr& root) {
    std::vector<chunkptr> all, stack{root};
    while (!stack.empty()) {
        chunkptr c = stack.back();
        stack.pop_back();
        all.push_back(c);
        for (const chunkptr& k : c->kids) stack.push_back(k);
    }
    return all;
}

bool Below(const chunkptr& c, const chunkptr& top) {
    for (chunkptr p = c; p; p = p->getparent())
        if (p == top) return true;
    return false;
}

}  // namespace

// One view kept over many frames while the tree, the selection, the flags
// and the first row change in every way the editor changes them; every frame
// equals a fresh recursive walk over a copy of the tree.
TEST_F(TreeTest, RememberedRowsFollowEveryKindOfChange) {
    std::mt19937 rng(99);
    const mesh::namelist list{"DATA"};
    int kept = 0;  // frames that started from a remembered row
    for (int round = 0; round < 12; round++) {
        chunkptr root = chunk::Create("ROOT");
        std::vector<chunkptr> all{root};
        const int count = 300 + int(rng() % 900);
        for (int i = 1; i < count; i++) {
            chunkptr k = chunk::Create(std::string(1, char('A' + i % 26)) + "KID");
            // Mostly near the end, so the tree is deep as well as wide.
            const size_t at = rng() % 3 ? all.size() - 1 - rng() % std::min<size_t>(all.size(), 8) : rng() % all.size();
            all[at]->AppendKid(k);
            all.push_back(k);
        }
        for (auto& c : all) c->expanded = int(rng() % 6 != 0);
        root->Update(0);
        m.hedr = root;
        m.errors.clear();
        selchunk = nullptr;
        view = editor::TreeView{};
        view.ui = s.ui.get();
        view.selchunk = &selchunk;
        view.treepanel = panel.get();
        view.update = [this] { ++updates; };
        std::vector<chunkptr> removed;
        int first = 0;

        for (int step = 0; step < 150; step++) {
            all = AllChunks(root);
            const chunkptr any = all[rng() % all.size()];
            const unsigned pick = rng() % 40;
            switch (pick < 16 ? pick % 2 : pick < 28 ? 11 : pick - 26) {
                case 0: first = int(rng() % (all.size() + 6)) - 3; break;       // a jump
                case 1: first = std::max(-2, first + int(rng() % 7) - 3); break;  // the wheel
                case 2: any->expanded = !any->expanded; break;
                case 3: {  // an insert, of a leaf or a small tree
                    chunkptr k = rng() % 2 ? Leaf("NEW ", 4) : Node("NEWS", {Leaf("A   ", 1), Leaf("B   ", 2)});
                    k->expanded = 1;
                    any->InsertKid(rng() % (any->kids.size() + 1), k);
                    break;
                }
                case 4:  // a delete
                    if (chunkptr p = any->getparent()) {
                        removed.push_back(any);
                        p->RemoveKid(size_t(p->IndexOfKid(any.get())));
                    }
                    break;
                case 5: {  // a shift, or a move to another parent
                    chunkptr p = any->getparent();
                    chunkptr to = rng() % 2 ? p : all[rng() % all.size()];
                    if (p && to && !Below(to, any)) to->InsertKid(rng() % (to->kids.size() + 1), any);
                    break;
                }
                case 6: selchunk = rng() % 4 ? any : nullptr; break;
                case 7: any->expand(); break;  // a model picked in the model list
                case 8:                        // undo of a delete
                    if (!removed.empty()) {
                        any->AppendKid(removed.back());
                        removed.pop_back();
                    }
                    break;
                case 9:  // grouping on and off: children parsed from data, then dropped
                    if (any->kids.empty()) {
                        any->setdata({'D', 'A', 'T', 'A', 0, 0, 0, 0, 'D', 'A', 'T', 'A', 0, 0, 0, 0});
                        any->SetByte(0, 'D', 1, list);
                    } else if (any != root) {
                        any->ClearKids();
                    }
                    break;
                case 10:
                    if (rng() % 2) m.errors.push_back(any); else m.errors.clear();
                    break;
                default: break;  // the pointer only
            }
            root->Update(0);

            // The pointer, and a click now and then; once in a while the
            // refresh after a click opens or closes another chunk too.
            const int height = 4 + int(rng() % 2);
            Point(int(rng() % (height + 2)) - 1, int(rng() % 17) - 1);
            s.ui->mousereleased[1] = rng() % 3 == 0;
            s.ui->mousereleased[2] = rng() % 5 == 0;
            const chunkptr other = rng() % 4 == 0 ? all[rng() % all.size()] : nullptr;

            // The reference, on a copy.
            std::map<const chunk*, chunkptr> map;
            mesh::msh copy;
            copy.hedr = CopyTree(root, map);
            for (const chunkptr& e : m.errors)
                if (map.count(e.get())) copy.errors.push_back(map[e.get()]);
            chunkptr refsel = selchunk ? (map.count(selchunk.get()) ? map[selchunk.get()] : chunk::Create("OUT ")) : nullptr;
            display::tilemap want(20, height);
            want.Fill(0, 0, 25, 0);
            Reference ref{copy, *s.ui, refsel, panel->dx, panel->dy, 0, {}};
            if (other && map.count(other.get())) {
                const chunkptr o2 = map[other.get()];
                ref.update = [o2] { o2->expanded = !o2->expanded; };
                view.update = [this, other] {
                    ++updates;
                    other->expanded = !other->expanded;
                };
            } else {
                view.update = [this] { ++updates; };
            }
            const int wantn = ref.Chunk(copy.hedr, want, 0, 0, 0, 15, 0, 25, first);

            const bool remembered = view.memory != nullptr;
            updates = 0;
            display::tilemap got(20, height);
            got.Fill(0, 0, 25, 0);
            const int gotn = editor::RenderChunk(m, view, root, got, 0, 0, 0, 15, 0, 25, first);
            kept += remembered;

            ASSERT_EQ(gotn, wantn) << "round " << round << " step " << step;
            ASSERT_EQ(got.tmap, want.tmap) << "round " << round << " step " << step << " first " << first;
            ASSERT_EQ(updates, ref.updates);
            for (const chunkptr& c : AllChunks(root)) ASSERT_EQ(int(c->expanded), int(map[c.get()]->expanded));
            if (selchunk && map.count(selchunk.get())) {
                ASSERT_EQ(map[selchunk.get()], refsel);
            }
            s.ui->mousereleased[1] = s.ui->mousereleased[2] = 0;
        }
    }
    EXPECT_GT(kept, 1000);
}
