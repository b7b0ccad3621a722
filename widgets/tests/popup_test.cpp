// The modal popup, run to completion on the headless host with scripted keys
// and clicks. An 80 x 50 screen puts the popup's grid at cells (21, 21) to
// (58, 28): "Yes" at column 36, "No" at 42, captions on row 27, markers on 28.
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
        second_no = s.Read(42, 28);
        h.PressKey(host::kKeyRight);  // Right
    });
    s.host.OnFrame(3, [&](host::HeadlessHost&) { third_yes = s.Read(36, 28); });
    s.host.OnFrame(4, [&](host::HeadlessHost& h) {
        fourth_no = s.Read(42, 28);
        fourth_yes = s.Read(37, 28);
        h.PressKey(host::kKeyEnter);
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
    s.host.PressKey(host::kKeyEnter);
    s.host.Type("x");
    KeyAt(2, 39);
    KeyAt(3, 13);
    EXPECT_EQ(Confirm(), 1);
    EXPECT_EQ(s.host.NextTypedChar(), 0) << "Enter flushes the keys";
}

TEST_F(PopupTest, ClicksOnTheCaptionRowsChoose) {
    ClickAt(1, 42, 26);  // the row above "No"
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
    ClickAt(f + 1, 39, 27);  // "Ok" sits at grid column 18
    EXPECT_EQ(widgets::PopupMessage(*s.ui, "Error!", "Unable to read mesh file."), 1);
    EXPECT_LT(s.host.Frames(), f + 5);
}

// The popup's rows as text: the cells of columns 22 to 57 of a row.
TEST_F(PopupTest, MessagesReadWholeAndCaptionsStandApart) {
    const std::string br(1, char(255));
    auto row = [&](int y, int x0 = 22, int n = 36) {
        std::string t;
        for (int x = x0; x < x0 + n; ++x) {
            const int g = s.Read(x, y).glyph;
            t += g > 0 ? char(g) : ' ';
        }
        while (!t.empty() && t.back() == ' ') t.pop_back();
        return t;
    };
    struct Case {
        std::string text;
        std::vector<std::string> rows;  // the message rows, from the popup's second row
    } cases[] = {
        {"Unable to read mesh file." + br + "File too large", {"Unable to read mesh file.", "File too large"}},
        {"Unable to read mesh file." + br + "Not a regular file", {"Unable to read mesh file.", "Not a regular file"}},
        {"Unable to write mesh file." + br + "No space left on device",
         {"Unable to write mesh file.", "No space left on device"}},
        {"MODL holds 120 bytes of data that the import replaces. Continue?",
         {"MODL holds 120 bytes of data that", "the import replaces. Continue?"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> shown;
        const int f = s.host.Frames();
        s.host.OnFrame(f + 1, [&](host::HeadlessHost& h) {
            for (size_t r = 0; r < c.rows.size(); ++r) shown.push_back(row(22 + static_cast<int>(r)));
            h.PressKey(host::kKeyEnter);
        });
        widgets::PopupMessage(*s.ui, "Error!", c.text);
        EXPECT_EQ(shown, c.rows) << c.text;
    }

    // A message longer than five rows makes the box taller, keeping its end.
    std::string longtext;
    for (int i = 0; i < 40; ++i) longtext += "word" + std::to_string(i) + " ";
    longtext += "END";
    std::string last;
    s.host.OnFrame(s.host.Frames() + 1, [&](host::HeadlessHost& h) {
        for (int y = 0; y < 50; ++y)
            if (row(y).find("END") != std::string::npos) last = row(y);
        h.PressKey(host::kKeyEnter);
    });
    widgets::PopupMessage(*s.ui, "Error!", longtext);
    EXPECT_NE(last.find("word39 END"), std::string::npos);

    std::string captions;
    s.host.OnFrame(s.host.Frames() + 1, [&](host::HeadlessHost& h) {
        captions = row(27);
        h.PressKey(host::kKeyEscape);
    });
    EXPECT_EQ(widgets::PopupSaveChanges(*s.ui, "Confirm", "Save changes to a.msh?"), 2);
    EXPECT_EQ(captions, "      save   discard   cancel");
}

TEST_F(PopupTest, NoEntriesReturnsAtOnceAndACloseRequestEndsTheProgram) {
    s.host.PressKey(host::kKeyEnter);
    EXPECT_EQ(widgets::gadget::popup(*s.ui, "t", "m", {}), -1);
    EXPECT_EQ(s.host.Frames(), 0);
    EXPECT_EQ(s.host.KeyPresses(host::kKeyEnter), 1) << "keys untouched";

    s.host.OnFrame(2, [](host::HeadlessHost& h) { h.RequestClose(); });
    EXPECT_THROW(Confirm(), host::ProgramEnded);
}
