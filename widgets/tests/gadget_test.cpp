// The widget record, the pointer state and the enabled state.
#include <gtest/gtest.h>

#include "widgets/gadget.h"
#include "widgets/tests/screen.h"

using widgets::area;
using widgets::gadget;

TEST(Gadget, ConstructorsLinkChildrenInOrderAndGiveScrollBarsTheirOwnWheelArea) {
    auto root = gadget::CreateLabel("", 0, 0, 1, 1, 1);
    gadget* win = gadget::CreateWindow("w", 1, 2, 10, 5, *root);
    gadget* text = gadget::CreateTextbox("abc", 2, 12, 14, 3, *win, "xyz");
    gadget* bar = gadget::CreateScroll(16, 2, 14, gadget::vertical, 7, *root);
    ASSERT_EQ(root->child.size(), 2u);
    EXPECT_EQ(root->child[0].get(), win);
    EXPECT_EQ(root->child[1].get(), bar);
    EXPECT_EQ(win->parent, root.get());
    EXPECT_EQ(text->parent, win);
    EXPECT_EQ(text->at, -1) << "a new text box has no focus";
    EXPECT_EQ(bar->title, "-") << "what makes a scroll bar drawn at all";
    ASSERT_TRUE(bar->box.has_value());
    EXPECT_EQ(bar->box->w, 1);
    EXPECT_EQ(bar->box->h, 14);
    EXPECT_FALSE(win->box.has_value());
}

TEST(Gadget, DefaultCharactersAreExactlyTheNinetyAllowed) {
    const std::string& c = gadget::defaultchars;
    EXPECT_EQ(c.size(), 90u);
    for (char ch : std::string("~\"` /\\.!@#$%^&*()[]{}|:'_-+;09azAZ")) EXPECT_NE(c.find(ch), std::string::npos) << ch;
    for (char ch : std::string(",<>?=\t")) EXPECT_EQ(c.find(ch), std::string::npos) << ch;
}

TEST(Area, NegativeSizesMoveTheOrigin) {
    area a = area::Create(5, 5, -3, 2);
    EXPECT_EQ(a.x, 2);
    EXPECT_EQ(a.w, 3);
    area b = area::Create(0, 10, 4, -4);
    EXPECT_EQ(b.y, 6);
    EXPECT_EQ(b.h, 4);
}

TEST(Area, MouseInShiftsTheRectangleByTheOrigin) {
    testscreen::Screen s;
    area a = area::Create(-8, 0, 9, 20);
    auto at = [&](int cx, int cy) {
        s.PointAt(cx, cy);
        s.ui->UpdatePointer();
        return a.MouseIn(*s.ui, 10, 4);
    };
    EXPECT_TRUE(at(2, 4));
    EXPECT_TRUE(at(10, 23));
    EXPECT_FALSE(at(1, 4));
    EXPECT_FALSE(at(11, 10));
    EXPECT_FALSE(at(5, 3));
    EXPECT_FALSE(at(5, 24));
}

TEST(Gadget, DisabledFollowsTheAncestorsAndGroupsCoverTheSubtree) {
    auto root = gadget::CreateLabel("", 0, 0, 1, 1, 1);
    gadget* win = gadget::CreateWindow("w", 0, 0, 10, 5, *root);
    gadget* button = gadget::CreateButton("b", 1, 1, 3, 1, *win);
    gadget* deep = gadget::CreateLabel("d", 0, 0, 1, 1, *button, 1);

    EXPECT_EQ(deep->disabled(), 0);
    win->disable();
    EXPECT_EQ(button->disabled(), 1);
    button->enable();
    EXPECT_EQ(button->disabled(), 1) << "a child of a disabled parent stays disabled";
    win->enable();
    EXPECT_EQ(deep->disabled(), 0);

    root->disablegroup();
    EXPECT_EQ(button->_disabled, 1);
    EXPECT_EQ(deep->_disabled, 1);
    win->enablegroup();
    EXPECT_EQ(root->_disabled, 1);
    EXPECT_EQ(win->_disabled, 0);
    EXPECT_EQ(deep->_disabled, 0);
    EXPECT_EQ(deep->disabled(), 1) << "the root above is still disabled";
    root->enable();
    EXPECT_EQ(deep->disabled(), 0);
}

TEST(Gadget, MouseoverUsesTheDrawnRectangleAndNeverHitsACheckbox) {
    testscreen::Screen s;
    auto root = gadget::CreateLabel("", 2, 3, 1, 1, 1);
    gadget* button = gadget::CreateButton("ok", 4, 1, 3, 2, *root);
    gadget* box = gadget::CreateCheckbox("c", 0, 0, *root);
    display::tilemap grid(80, 50);
    root->draw(*s.ui, grid, 0, 0);
    auto over = [&](const gadget* g, int cx, int cy) {
        s.PointAt(cx, cy);
        s.ui->UpdatePointer();
        return g->mouseover(*s.ui);
    };
    EXPECT_TRUE(over(button, 6, 5));
    EXPECT_FALSE(over(button, 9, 5));
    EXPECT_FALSE(over(box, box->dx, box->dy));
}

TEST(Pointer, PixelToCellDividesByTileSizeThenScale) {
    testscreen::Screen s;
    s.display.tilew = 8;
    s.display.tileh = 8;
    s.host.SetPointer(17, 9);
    s.ui->UpdatePointer();
    EXPECT_EQ(s.ui->mx, 2);
    EXPECT_EQ(s.ui->my, 1);
    s.display.settings.scale = 2;
    s.ui->UpdatePointer();
    EXPECT_EQ(s.ui->mx, 1);
    EXPECT_EQ(s.ui->my, 0);
}

TEST(Pointer, ReleaseEdgesWheelDeltaAndIdleFrames) {
    testscreen::Screen s;
    auto& ui = *s.ui;
    ui.UpdatePointer();
    ui.UpdatePointer();
    EXPECT_EQ(ui.idleframes, 2);

    for (int button = 1; button <= 3; ++button) {
        s.host.SetButton(button, true);
        ui.UpdatePointer();
        EXPECT_EQ(ui.mousedown[button], 1);
        EXPECT_EQ(ui.mousereleased[button], 0);
        EXPECT_GT(ui.idleframes, 0) << "a press is not a release";
        s.host.SetButton(button, false);
        ui.UpdatePointer();
        EXPECT_EQ(ui.mousereleased[button], 1) << button;
        EXPECT_EQ(ui.idleframes, 0) << button;
        ui.UpdatePointer();
        EXPECT_EQ(ui.mousereleased[button], 0) << "the edge lasts one frame";
        EXPECT_EQ(ui.idleframes, 1);
    }

    s.host.RollWheel(-2);  // towards the user
    ui.UpdatePointer();
    EXPECT_EQ(ui.mousezdelta, 2);
    ui.UpdatePointer();
    EXPECT_EQ(ui.mousezdelta, 0);
    s.host.RollWheel(3);
    ui.UpdatePointer();
    EXPECT_EQ(ui.mousezdelta, -3);
}

TEST(Text, InsertAtAndDeleteAtAtTheEdges) {
    using widgets::DeleteAt;
    using widgets::InsertAt;
    EXPECT_EQ(InsertAt("abc", "X", 0), "Xabc");
    EXPECT_EQ(InsertAt("abc", "X", -4), "Xabc");
    EXPECT_EQ(InsertAt("abc", "X", 1), "aXbc");
    EXPECT_EQ(InsertAt("abc", "X", 3), "abcX");
    EXPECT_EQ(InsertAt("abc", "X", 9), "abcX");
    EXPECT_EQ(InsertAt("", "X", 0), "X");
    EXPECT_EQ(DeleteAt("abc", 0), "abc");
    EXPECT_EQ(DeleteAt("abc", 1), "bc");
    EXPECT_EQ(DeleteAt("abc", 3), "ab");
    EXPECT_EQ(DeleteAt("abc", 4), "abc");
}

TEST(Text, WrapTextBreaksAtBlanksAndLosesNoCharacter) {
    const std::string br(1, char(255));
    struct Case {
        std::string text;
        int width, maxrows;
        std::vector<std::string> rows;
    } cases[] = {
        {"short", 10, 5, {"short"}},
        {"the import replaces", 8, 5, {"the", "import", "replaces"}},
        {"abcdefghij", 4, 5, {"abcd", "efgh", "ij"}},
        {"ab cdefghij", 4, 5, {"ab", "cdef", "ghij"}},
        {"No space left on device", 10, 5, {"No space", "left on", "device"}},
        {"exactly 8 ok", 8, 5, {"exactly", "8 ok"}},
        {"one" + br + "two" + br + br + "four", 10, 5, {"one", "two", "", "four"}},
        {"a b c d e f", 1, 3, {"a", "b", "c"}},
        {"anything", 0, 5, {}},
        {"", 5, 5, {""}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(widgets::WrapText(c.text, c.width, c.maxrows), c.rows) << c.text << " in " << c.width;
}
