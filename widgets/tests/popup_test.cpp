// The modal popup, run to completion on the headless host with scripted keys
// and clicks. An 80 x 50 screen puts the popup's grid at cells (21, 21) to
// (58, 28): "Yes" at column 36, "No" at 40, captions on row 27, markers on 28.
#include <gtest/gtest.h>

#include "host/headless_host.h"
#include "widgets/gadget.h"
#include "widgets/tests/screen.h"

using widgets::gadget;

namespace {

class PopupTest : public ::testing::Test {
protected:
    testscreen::Screen s;
    PopupTest() { s.host.SetFrameLimit(60); }

    void KeyAt(int frame, int code) {
        s.host.OnFrame(frame, [code](host::HeadlessHost& h) { h.PressKey(code); });
    }
    // Press and release button 1 over a cell: the release is seen one frame
    // after the press.
    void ClickAt(int frame, int cx, int cy) {
        const int px = cx * testscreen::kTileW + 1, py = cy * testscreen::kTileH + 1;
        s.host.OnFrame(frame, [=](host::HeadlessHost& h) {
            h.SetPointer(px, py);
            h.SetButton(1, true);
        });
        s.host.OnFrame(frame + 1, [](host::HeadlessHost& h) { h.SetButton(1, false); });
    }
    int Confirm() { return widgets::PopupConfirm(*s.ui, "Confirm", "Create new mesh?"); }
};

}  // namespace

TEST_F(PopupTest, LayoutAndMarkersThatShowOneFrameLate) {
    testscreen::Cell first_yes, second_yes, second_no, third_yes, fourth_no, fourth_yes, caption, title;
    s.host.OnFrame(1, [&](host::HeadlessHost&) {
        first_yes = s.Read(36, 28);
        caption = s.Read(36, 27);
        title = s.Read(23, 21);
    });
    s.host.OnFrame(2, [&](host::HeadlessHost& h) {
        second_yes = s.Read(36, 28);
        second_no = s.Read(40, 28);
        h.PressKey(39);  // Right
    });
    s.host.OnFrame(3, [&](host::HeadlessHost&) { third_yes = s.Read(36, 28); });
    s.host.OnFrame(4, [&](host::HeadlessHost& h) {
        fourth_no = s.Read(40, 28);
        fourth_yes = s.Read(37, 28);
        h.PressKey(13);
    });
    EXPECT_EQ(Confirm(), 1);

    EXPECT_EQ(first_yes.fg, 0) << "no markers in the first frame";
    EXPECT_EQ(caption.glyph, 'Y');
    EXPECT_EQ(caption.fg, 0);
    EXPECT_EQ(caption.bg, 22);
    EXPECT_EQ(title.glyph, 'C');
    EXPECT_EQ(title.bg, 28);
    EXPECT_EQ(second_yes.glyph, 'X');
    EXPECT_EQ(second_yes.fg, 14);
    EXPECT_EQ(second_no.glyph, '-');
    EXPECT_EQ(third_yes.glyph, 'X') << "the move shows a frame later";
    EXPECT_EQ(fourth_no.glyph, 'X');
    EXPECT_EQ(fourth_yes.glyph, '-');
}

TEST_F(PopupTest, KeysChooseAndWrap) {
    KeyAt(1, 27);
    EXPECT_EQ(Confirm(), 1) << "Escape takes the last entry";

    KeyAt(s.host.Frames() + 1, 13);
    EXPECT_EQ(Confirm(), 0) << "Enter without moving";

    KeyAt(s.host.Frames() + 1, 37);  // Left from the first entry wraps
    KeyAt(s.host.Frames() + 2, 32);  // Space chooses like Enter
    EXPECT_EQ(Confirm(), 1);

    KeyAt(s.host.Frames() + 1, 9);  // Tab moves right
    KeyAt(s.host.Frames() + 1, 83);  // S in the same frame stays pending
    KeyAt(s.host.Frames() + 3, 13);
    EXPECT_EQ(widgets::gadget::popup(*s.ui, "t", "m", {"a", "b", "c"}), 2);

    // Left and A in one frame: the group stops at Left, A is seen a frame later.
    KeyAt(s.host.Frames() + 1, 37);
    KeyAt(s.host.Frames() + 1, 65);
    KeyAt(s.host.Frames() + 3, 13);
    EXPECT_EQ(widgets::gadget::popup(*s.ui, "t", "m", {"a", "b", "c"}), 1);
}

TEST_F(PopupTest, KeysPendingBeforeThePopupAreDropped) {
    s.host.PressKey(13);
    s.host.Type("x");
    KeyAt(2, 39);
    KeyAt(3, 13);
    EXPECT_EQ(Confirm(), 1);
    EXPECT_EQ(s.host.NextTypedChar(), 0) << "Enter flushes the keys";
}

TEST_F(PopupTest, ClicksOnTheCaptionRowsChoose) {
    ClickAt(1, 40, 26);  // the row above "No"
    EXPECT_EQ(Confirm(), 1);
    EXPECT_EQ(s.ui->mousereleased[1], 1) << "the caller still sees the release";

    int f = s.host.Frames();
    ClickAt(f + 1, 37, 28);  // the marker row under "Yes"
    EXPECT_EQ(Confirm(), 0);

    f = s.host.Frames();
    ClickAt(f + 1, 39, 27);  // between the captions
    ClickAt(f + 3, 36, 29);  // below the marker row
    KeyAt(f + 6, 27);
    EXPECT_EQ(Confirm(), 1);
    EXPECT_GE(s.host.Frames(), f + 6) << "only Escape ended it";

    f = s.host.Frames();
    ClickAt(f + 1, 38, 27);  // "Ok" sits at grid column 17
    EXPECT_EQ(widgets::PopupMessage(*s.ui, "Error!", "Unable to read mesh file."), 1);
    EXPECT_LT(s.host.Frames(), f + 5);
}

TEST_F(PopupTest, NoEntriesReturnsAtOnceAndACloseRequestEndsTheProgram) {
    s.host.PressKey(13);
    EXPECT_EQ(widgets::gadget::popup(*s.ui, "t", "m", {}), -1);
    EXPECT_EQ(s.host.Frames(), 0);
    EXPECT_EQ(s.host.KeyPresses(13), 1) << "keys untouched";

    s.host.OnFrame(2, [](host::HeadlessHost& h) { h.RequestClose(); });
    EXPECT_THROW(Confirm(), host::ProgramEnded);
}
