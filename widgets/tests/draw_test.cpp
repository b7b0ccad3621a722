// Drawing and input of each widget kind, read back from the grid.
#include <gtest/gtest.h>

#include <string>

#include "widgets/gadget.h"
#include "widgets/tests/screen.h"

using display::tilemap;
using widgets::gadget;

namespace {

struct Cell {
    int glyph, fg, bg;
    bool operator==(const Cell& o) const { return glyph == o.glyph && fg == o.fg && bg == o.bg; }
};

std::ostream& operator<<(std::ostream& os, const Cell& c) {
    return os << "(" << c.glyph << ", " << c.fg << ", " << c.bg << ")";
}

Cell At(const tilemap& g, int x, int y) { return {g.glyph(x, y), g.fg(x, y), g.bg(x, y)}; }

std::string Row(const tilemap& g, int x, int y, int n) {
    std::string s;
    for (int i = 0; i < n; i++) s += char(g.glyph(x + i, y));
    return s;
}

// One frame of the main loop: clear, sample the pointer, draw the tree.
class DrawTest : public ::testing::Test {
protected:
    testscreen::Screen s;
    tilemap grid{80, 50};
    std::unique_ptr<gadget> root = gadget::CreateLabel("", 0, 0, 1, 1, 1);

    void Frame() {
        grid.Fill(0, 0, 9, 0);
        s.ui->UpdatePointer();
        root->draw(*s.ui, grid, 0, 0);
    }
    void Click(int cx, int cy) {  // press in one frame, release in the next
        s.PointAt(cx, cy);
        s.host.SetButton(1, true);
        Frame();
        s.host.SetButton(1, false);
        Frame();
    }
};

}  // namespace

TEST_F(DrawTest, OneRowWindowShowsBracketsAndATitleBar) {
    gadget* win = gadget::CreateWindow("ab", 2, 3, 6, 1, *root);
    Frame();
    EXPECT_EQ(win->dx, 2);
    EXPECT_EQ(win->dy, 3);
    EXPECT_EQ(At(grid, 2, 3), (Cell{91, 28, 9}));
    EXPECT_EQ(At(grid, 3, 3), (Cell{0, 28, 28}));
    EXPECT_EQ(At(grid, 4, 3), (Cell{'a', 0, 28}));
    EXPECT_EQ(At(grid, 5, 3), (Cell{'b', 0, 28}));
    EXPECT_EQ(At(grid, 6, 3), (Cell{0, 28, 28}));
    EXPECT_EQ(At(grid, 7, 3), (Cell{93, 28, 9}));
    EXPECT_EQ(At(grid, 8, 3), (Cell{0, 0, 9}));
}

TEST_F(DrawTest, FramedWindowHasCornersSidesAndACutTitle) {
    gadget* win = gadget::CreateWindow("chunk actions", 1, 1, 8, 4, *root);
    win->bgcolor = 5;
    Frame();
    EXPECT_EQ(At(grid, 1, 1).glyph, 214);
    EXPECT_EQ(At(grid, 8, 1).glyph, 183);
    EXPECT_EQ(At(grid, 1, 4), (Cell{211, 28, 5}));
    EXPECT_EQ(At(grid, 8, 4), (Cell{189, 28, 5}));
    EXPECT_EQ(At(grid, 1, 2), (Cell{186, 28, 5}));
    EXPECT_EQ(At(grid, 8, 3), (Cell{186, 28, 5}));
    EXPECT_EQ(At(grid, 4, 4), (Cell{0, 0, 5})) << "no horizontal border";
    EXPECT_EQ(At(grid, 4, 2), (Cell{0, 0, 5}));
    EXPECT_EQ(Row(grid, 3, 1, 4), "chun") << "title cut to w - 4 characters";
    EXPECT_EQ(At(grid, 7, 1), (Cell{0, 28, 28}));

    win->title = "";
    Frame();
    EXPECT_EQ(At(grid, 3, 1), (Cell{0, 0, 5})) << "no title bar without a title";
}

TEST_F(DrawTest, LabelWrapsLongTextAtBlanksAndLeavesUncoveredCells) {
    const std::string text = "Unable to read mesh file. Not a regular file, nor a link to one";
    gadget* label = gadget::CreateLabel(text, 1, 1, 36, 5, *root, 1);
    grid.Fill(7, 3, 4, 0);
    s.ui->UpdatePointer();
    root->draw(*s.ui, grid, 0, 0);
    EXPECT_EQ(Row(grid, 1, 1, 31), "Unable to read mesh file. Not a");
    EXPECT_EQ(At(grid, 32, 1), (Cell{7, 3, 4})) << "the row ends before the word that does not fit";
    EXPECT_EQ(Row(grid, 1, 2, 31), "regular file, nor a link to one");
    EXPECT_EQ(At(grid, 1, 3).glyph, 7) << "label does not fill";
    EXPECT_EQ(At(grid, 1, 1).fg, 0);
    EXPECT_EQ(At(grid, 1, 1).bg, 9);
    EXPECT_EQ(label->title, text) << "drawing never changes the text";

    // A line break starts a new row; rows beyond h are not drawn.
    label->w = 10;
    label->h = 2;
    label->title = std::string("ab") + char(255) + "cdefghijklmnop";
    label->disable();
    Frame();
    EXPECT_EQ(Row(grid, 1, 1, 3), std::string("ab") + '\0');
    EXPECT_EQ(Row(grid, 1, 2, 11), std::string("cdefghijkl") + '\0') << "a long word is cut at the row's end";
    EXPECT_EQ(At(grid, 1, 3).glyph, 0) << "the third row is beyond h";
    EXPECT_EQ(At(grid, 1, 2).fg, 1) << "disabled colour";
}

TEST_F(DrawTest, CheckboxTogglesOnlyOnItsBox) {
    gadget* box = gadget::CreateCheckbox("handle", 4, 6, *root);
    Frame();
    EXPECT_EQ(At(grid, 4, 6), (Cell{0, 0, 28}));
    EXPECT_EQ(Row(grid, 6, 6, 6), "handle");
    EXPECT_EQ(At(grid, 6, 6).bg, 9);

    Click(6, 6);  // the caption
    EXPECT_EQ(box->state, 0);
    Click(4, 6);
    EXPECT_EQ(box->state, 1);
    Frame();
    EXPECT_EQ(At(grid, 4, 6), (Cell{251, 0, 28}));
    Click(4, 6);
    EXPECT_EQ(box->state, 0);

    box->state = 1;
    box->disable();
    Click(4, 6);
    EXPECT_EQ(box->state, 1) << "a disabled box ignores clicks";
    EXPECT_EQ(At(grid, 4, 6), (Cell{251, 9, 1}));
    EXPECT_EQ(At(grid, 6, 6), (Cell{'h', 1, 9}));
}

TEST_F(DrawTest, ACheckboxThatSaysSoTogglesOnItsCaptionToo) {
    gadget* box = gadget::CreateCheckbox("hex", 4, 6, *root);
    box->labelclicks = 1;
    const struct {
        int x;       // the column clicked in the box's row
        int state;   // afterwards
    } clicks[] = {{4, 1}, {6, 0}, {8, 1}, {5, 1}, {9, 1}, {3, 1}};  // box, caption, caption end, gap, past, before
    for (const auto& c : clicks) {
        Click(c.x, 6);
        EXPECT_EQ(box->state, c.state) << c.x;
    }
}

TEST_F(DrawTest, ButtonHoversWhileHeldAndClicksOnTheReleaseFrameOnly) {
    gadget* button = gadget::CreateButton("abc", 10, 2, 6, 1, *root);
    Frame();
    EXPECT_EQ(Row(grid, 10, 2, 6), std::string("\0abc\0\0", 6)) << "caption at dx + 1";
    EXPECT_EQ(At(grid, 10, 2), (Cell{0, 0, 28}));

    s.PointAt(12, 2);
    s.host.SetButton(1, true);
    Frame();
    EXPECT_EQ(button->state, 0);
    EXPECT_EQ(At(grid, 11, 2), (Cell{'a', 28, 0})) << "inverted while hovered";
    s.host.SetButton(1, false);
    Frame();
    EXPECT_EQ(button->state, 1);
    Frame();
    EXPECT_EQ(button->state, 0);

    // Released outside: no click.
    s.host.SetButton(1, true);
    Frame();
    s.PointAt(16, 2);
    s.host.SetButton(1, false);
    Frame();
    EXPECT_EQ(button->state, 0);

    button->disable();
    Click(12, 2);
    EXPECT_EQ(button->state, 0);
    EXPECT_EQ(At(grid, 11, 2), (Cell{'a', 1, 28})) << "disabled: no hover, disabled colour";
}

TEST_F(DrawTest, ButtonCaptionCentringUsesExactHalves) {
    gadget::CreateButton("x", 0, 0, 4, 3, *root);       // 2 - 0.5 = 1.5 -> 1, row 1
    gadget::CreateButton("toolong", 20, 5, 3, 1, *root);  // 1.5 - 3.5 = -2
    Frame();
    EXPECT_EQ(At(grid, 1, 1).glyph, 'x');
    EXPECT_EQ(Row(grid, 18, 5, 7), "toolong");
}

TEST_F(DrawTest, ScrollBarDrawsTrackThumbAndArrows) {
    gadget* bar = gadget::CreateScroll(5, 2, 9, gadget::vertical, 14, *root);
    bar->state = 14;
    Frame();
    EXPECT_EQ(At(grid, 5, 2), (Cell{30, 0, 9}));
    EXPECT_EQ(At(grid, 5, 10), (Cell{31, 0, 9}));
    EXPECT_EQ(At(grid, 5, 9), (Cell{4, 0, 9})) << "thumb for the maximum at dy + 7";
    EXPECT_EQ(At(grid, 5, 3), (Cell{186, 28, 9}));

    bar->h = 0;
    Frame();
    EXPECT_EQ(bar->state, 0);
    for (int r = 3; r <= 9; r++) EXPECT_EQ(At(grid, 5, r).glyph, 186) << "no thumb without a range";

    // A maximum lowered between frames keeps the thumb on the track.
    bar->h = 2;
    bar->state = 50;
    Frame();
    EXPECT_EQ(At(grid, 5, 9).glyph, 4);
    EXPECT_EQ(bar->state, 2);
}

TEST_F(DrawTest, ScrollBarFollowsHeldArrowsAndTrackDragging) {
    gadget* bar = gadget::CreateScroll(5, 2, 9, gadget::vertical, 14, *root);
    s.PointAt(5, 6);  // track cell at dy + 4
    s.host.SetButton(1, true);
    Frame();
    EXPECT_EQ(bar->state, 7);
    s.PointAt(5, 9);  // dragged down to the last track cell
    Frame();
    EXPECT_EQ(bar->state, 14);
    s.PointAt(5, 10);  // bottom arrow at the maximum
    Frame();
    EXPECT_EQ(bar->state, 14);
    s.PointAt(5, 2);  // top arrow: one step a frame
    Frame();
    Frame();
    EXPECT_EQ(bar->state, 12);
    s.PointAt(6, 6);  // beside the bar
    Frame();
    EXPECT_EQ(bar->state, 12);
    s.host.SetButton(1, false);
    Frame();
    s.PointAt(5, 3);  // no button held
    Frame();
    EXPECT_EQ(bar->state, 12);

    bar->disable();
    s.host.SetButton(1, true);
    Frame();
    EXPECT_EQ(bar->state, 12);
    EXPECT_EQ(At(grid, 5, 2), (Cell{30, 1, 9})) << "disabled arrows";
}

TEST_F(DrawTest, ScrollWheelWorksOverTheWheelAreaAndIsClamped) {
    gadget* panel = gadget::CreateLabel("", 1, 7, 16, 14, *root, 1);
    gadget* bar = gadget::CreateScroll(16, 0, 14, gadget::vertical, 30, *panel);
    bar->SetArea(-16, 0, 17, 14);
    s.PointAt(3, 10);  // over the panel, left of the bar
    Frame();
    s.host.RollWheel(-1);  // one notch towards the user
    Frame();
    EXPECT_EQ(bar->state, 4) << "ceil(30 * 1.5 / 14) = 4 per notch";
    s.host.RollWheel(-20);
    Frame();
    EXPECT_EQ(bar->state, 30);
    s.host.RollWheel(2);
    Frame();
    EXPECT_EQ(bar->state, 22);
    s.PointAt(30, 10);  // outside the area
    s.host.RollWheel(5);
    Frame();
    EXPECT_EQ(bar->state, 22);
    s.PointAt(1, 20);
    s.host.RollWheel(50);
    Frame();
    EXPECT_EQ(bar->state, 0);
}

TEST_F(DrawTest, TextboxEditsWithTypedCharactersAndKeys) {
    gadget* box = gadget::CreateTextbox("012345", 3, 12, 14, 3, *root, gadget::defaultchars);
    Frame();
    EXPECT_EQ(Row(grid, 3, 12, 6), "012345");
    EXPECT_EQ(At(grid, 3, 12), (Cell{'0', 0, 28}));
    EXPECT_EQ(box->at, -1);

    Click(6, 12);  // on the '3'
    EXPECT_EQ(box->at, 3);
    Frame();
    EXPECT_EQ(Row(grid, 3, 12, 7), "012_345") << "caret in a cell of its own";

    s.host.Type("ab,");
    Frame();
    Frame();
    Frame();  // the comma is not allowed
    EXPECT_EQ(box->title, "012ab345");
    EXPECT_EQ(box->at, 5);

    s.host.Type(std::string(1, char(8)));
    Frame();
    EXPECT_EQ(box->title, "012a345");
    EXPECT_EQ(box->at, 4);

    s.host.PressKey(host::kKeyDelete);  // Delete takes the character after the caret
    Frame();
    EXPECT_EQ(box->title, "012a45");
    s.host.PressKey(host::kKeyLeft);
    s.host.PressKey(host::kKeyRight);
    Frame();
    EXPECT_EQ(box->at, 3) << "one arrow key per frame";
    Frame();
    EXPECT_EQ(box->at, 4) << "the other keeps its press";
    s.host.PressKey(host::kKeyDown);  // down: +w, clamped to the end
    Frame();
    EXPECT_EQ(box->at, 6);
    s.host.PressKey(host::kKeyUp);
    Frame();
    EXPECT_EQ(box->at, 0);
    s.host.Type(std::string(1, char(8)));
    Frame();
    EXPECT_EQ(box->title, "012a45") << "backspace at the start";
    EXPECT_EQ(box->at, 0);

    s.host.Type("\r");
    Frame();
    EXPECT_EQ(box->state, 1);
    EXPECT_EQ(box->at, -1);
    Frame();
    EXPECT_EQ(box->state, 0);
    s.host.Type("z");
    Frame();
    EXPECT_EQ(box->title, "012a45") << "no typing without focus";
}

TEST_F(DrawTest, TextboxLengthLimitFocusLossAndCaretBlink) {
    gadget* box = gadget::CreateTextbox("", 3, 12, 14, 3, *root, gadget::defaultchars);
    Click(20, 20);
    EXPECT_EQ(box->at, -1);
    Click(10, 13);  // second row: the row is not considered, the caret goes to the end
    EXPECT_EQ(box->at, 0);

    // Blink: "_" for 16 frames after the release, then " ".
    s.ui->idleframes = 14;
    Frame();  // idleframes 15
    EXPECT_EQ(At(grid, 3, 12).glyph, '_');
    Frame();  // idleframes 16
    EXPECT_EQ(At(grid, 3, 12).glyph, ' ');

    for (int i = 0; i < 50; i++) {
        s.host.Type("x");
        Frame();
    }
    EXPECT_EQ(box->title.size(), 41u);
    EXPECT_EQ(box->at, 41);

    Click(40, 40);
    EXPECT_EQ(box->at, -1) << "a release elsewhere ends the focus";
    s.host.Type("q");
    Frame();
    EXPECT_EQ(box->title.size(), 41u);

    // Disabled: loses the focus and shows the disabled colours.
    Click(4, 12);
    EXPECT_GE(box->at, 0);
    box->disable();
    Frame();
    EXPECT_EQ(box->at, -1);
    EXPECT_EQ(At(grid, 3, 12), (Cell{'x', 9, 1}));
}

TEST_F(DrawTest, OneRowTextboxScrollsToItsCaretAndTakesMaxchars) {
    gadget* box = gadget::CreateTextbox("", 3, 12, 5, 1, *root, gadget::defaultchars);
    box->maxchars = 12;
    Click(3, 12);
    for (int i = 0; i < 14; i++) {
        s.host.Type(std::string(1, char('a' + i)));
        Frame();
    }
    EXPECT_EQ(box->title, "abcdefghijkl") << "maxchars, not w * h - 1, bounds the text";
    Frame();
    struct Case {
        int key;           // an arrow, or 0: a click at column `click` of the box
        int click;
        std::string row;   // the box's five cells afterwards ('_' the caret)
        int at;
    } cases[] = {
        {0, -1, "ijkl_", 12},
        {host::kKeyLeft, -1, "ijk_l", 11},
        {0, 1, "i_jkl", 9},     // a click counts from the first character shown
        {host::kKeyHome, -1, "i_jkl", 9},  // no Home in a text box
    };
    for (const Case& c : cases) {
        if (c.key) s.host.PressKey(c.key);
        if (c.click >= 0) Click(3 + c.click, 12);
        Frame();
        s.ui->idleframes = 0;
        Frame();
        EXPECT_EQ(Row(grid, 3, 12, 5), c.row) << c.row;
        EXPECT_EQ(box->at, c.at) << c.row;
    }
    for (int i = 0; i < 10; i++) {
        s.host.PressKey(host::kKeyLeft);
        Frame();
    }
    s.ui->idleframes = 0;
    Frame();
    EXPECT_EQ(Row(grid, 3, 12, 5), "_abcd") << "the view follows the caret back to the start";
}

TEST_F(DrawTest, ChildrenDrawAfterTheirParentRelativeToIt) {
    gadget* win = gadget::CreateWindow("", 10, 10, 10, 5, *root);
    gadget* label = gadget::CreateLabel("hi", 2, 1, 5, 1, *win, 1);
    gadget* button = gadget::CreateButton("b", 1, 3, 3, 1, *win);
    Frame();
    EXPECT_EQ(label->dx, 12);
    EXPECT_EQ(label->dy, 11);
    EXPECT_EQ(Row(grid, 12, 11, 2), "hi") << "painted over the window's fill";

    // A disabled parent: children ignore input and use their disabled colours.
    win->disable();
    Click(12, 13);
    EXPECT_EQ(button->state, 0);
    EXPECT_EQ(At(grid, 12, 11).fg, 1);
    EXPECT_EQ(At(grid, 12, 13).fg, 1);

    // A hidden parent: nothing of the subtree is drawn or reacts, and a click
    // seen before it was hidden does not linger.
    win->enable();
    s.PointAt(12, 13);
    s.host.SetButton(1, true);
    Frame();
    s.host.SetButton(1, false);
    Frame();
    ASSERT_EQ(button->state, 1);
    win->hidden = 1;
    win->x = 30;
    Frame();
    EXPECT_EQ(button->state, 0);
    EXPECT_EQ(At(grid, 12, 11), (Cell{0, 0, 9}));
    EXPECT_EQ(win->dx, 30) << "its own position is still updated";
    EXPECT_EQ(label->dx, 12) << "children keep their last position";
}
