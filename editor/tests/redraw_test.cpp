// The window shows a frame only when its picture changed: through a scripted
// session (hover, clicks, the wheel, typing, a popup, the line prompt with
// its blinking cursor), what the window shows after every frame, nested
// loops included, equals what was drawn; idle frames are not shown again.
// And a shortcut keeps the modifiers held at its key's press.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "editor/tests/fixture.h"

using namespace edtest;

namespace {

class RedrawTest : public EditorTest {
protected:
    void SetUp() override {
        EditorTest::SetUp();
        Spit(dir + "/small.msh",
             Enc("HEDR", Enc("MSH2", Enc("SINF", Enc("NAME", Text("scene"))) +
                                         Enc("MODL", Enc("NAME", Text("one")))) +
                             Enc("CL1L", "")));
        host.KeepShownFrames(true);
        Start({"small.msh"});
        // After every frame, also those of popups and the prompt: the window
        // shows what was drawn.
        for (int n = 1; n <= 3000; ++n)
            host.OnFrame(n, [this](host::HeadlessHost& h) {
                ++checked;
                if (h.Shown().pixels != h.Frame().pixels) ++stale;
            });
    }
    void Idle(int n) { Frames(n); }

    int checked = 0, stale = 0;
};

}  // namespace

TEST_F(RedrawTest, ShownFramesAreTheDrawnOnesAndIdleFramesAreNotShownAgain) {
    Frames(3);
    const int shown = host.PresentedFrames();
    Idle(20);
    EXPECT_EQ(host.PresentedFrames(), shown) << "nothing changed: nothing shown";
    EXPECT_GE(host.SkippedFrames(), 20);

    // The window system asks: the same picture is shown again.
    host.RequestRedraw();
    Frame();
    EXPECT_EQ(host.PresentedFrames(), shown + 1);

    // Hover over the tree's root row, then a click opens it.
    const int tx = ed->tree->panel->dx, ty = ed->tree->panel->dy;
    int before = host.PresentedFrames();
    Point(tx + 2, ty);
    Frame();
    EXPECT_EQ(host.PresentedFrames(), before + 1) << "the hover tint shows at once";
    Click(tx + 2, ty);
    EXPECT_EQ(ed->doc.selchunk, ed->doc.mesh->hedr);
    Click(tx + 2, ty + 1, 2);  // MSH2 opened by a right click
    Idle(5);

    // The wheel over the tree, then back.
    before = host.PresentedFrames();
    host.RollWheel(-1);
    Frame();
    host.RollWheel(1);
    Frame();
    Idle(3);

    // Typing into the value box.
    ClickWidget(ed->data->valuebox);
    before = host.PresentedFrames();
    host.Type("77");
    Frames(2);
    EXPECT_GT(host.PresentedFrames(), before) << "typed text shows";
    Point(0, 0);
    Idle(40);

    // A popup's loop: the confirmation of a new mesh, answered No.
    KeyInModal(host::kKeyRight, 3);
    KeyInModal(host::kKeyEnter, 6);
    ClickWidget(ed->FindCommand("new msh")->button);
    Idle(3);

    // The line prompt: its cursor blinks while nothing is typed, and every
    // blink is shown.
    Click(tx + 2, ty + 1);
    const mesh::chunkptr msh2 = ed->doc.mesh->hedr->kids[0];
    ASSERT_EQ(ed->doc.selchunk, msh2);
    const int start = host.PresentedFrames();
    TypeInModal(std::string(4, '\b') + "AB", 2);  // the prompt starts with the current name
    TypeInModal("\r", 100);
    ClickWidget(ed->FindCommand("rename")->button);
    EXPECT_EQ(msh2->name, "AB  ");
    EXPECT_GE(host.PresentedFrames() - start, 3) << "typing and the cursor's blinks are shown";
    Idle(10);

    EXPECT_GT(checked, 200);
    EXPECT_EQ(stale, 0) << "frames whose picture changed but were not shown";
    EXPECT_GT(host.SkippedFrames(), 100);
}

// Control let go within the frame of the letter: the shortcut still counts,
// since the modifiers belong to the key's press.
TEST_F(RedrawTest, QuickShortcutKeepsItsControl) {
    Frame();
    host.HoldKey(host::kKeyLeftControl, true);
    host.PressKey(host::kKeyO);
    host.HoldKey(host::kKeyLeftControl, false);
    Frame();
    EXPECT_EQ(host.file_requests.size(), 1u) << "Control+O opened the dialog";

    // The letter first and Control afterwards, in one frame: no shortcut,
    // and the press is not kept for a later frame either.
    host.PressKey(host::kKeyO);
    host.HoldKey(host::kKeyLeftControl, true);
    Frame();
    host.HoldKey(host::kKeyLeftControl, false);
    Frames(2);
    EXPECT_EQ(host.file_requests.size(), 1u);

    // Shift belongs to the press as well: Control+Shift+Z let go at once is
    // redo, never undo.
    const mesh::chunkptr hedr = ed->doc.mesh->hedr;
    ed->doc.selchunk = hedr->kids[1];  // CL1L
    ed->Execute("delete");
    ASSERT_EQ(hedr->kids.size(), 1u);
    host.HoldKey(host::kKeyLeftControl, true);
    host.PressKey('Z');
    host.HoldKey(host::kKeyLeftControl, false);
    Frame();
    ASSERT_EQ(ed->doc.mesh->hedr->kids.size(), 2u) << "Control+Z: undone";
    host.HoldKey(host::kKeyLeftControl, true);
    host.HoldKey(host::kKeyLeftShift, true);
    host.PressKey('Z');
    host.HoldKey(host::kKeyLeftShift, false);
    host.HoldKey(host::kKeyLeftControl, false);
    Frame();
    EXPECT_EQ(ed->doc.mesh->hedr->kids.size(), 1u) << "Control+Shift+Z: redone";
}

// A click or a key is answered within the frame that takes it in: the
// picture that frame shows already holds what it did, and the frames after
// it have nothing new to show.
TEST_F(RedrawTest, TheFrameThatTakesInputShowsItsResult) {
    struct Case {
        const char* what;
        std::function<void()> input;
    } cases[] = {
        {"the tick box", [&] { ClickWidget(ed->actions->groupbox); }},
        {"a row of the tree", [&] { Click(ed->tree->panel->dx + 2, ed->tree->panel->dy); }},
        {"a command's button",
         [&] {
             ed->doc.selchunk = ed->doc.mesh->hedr->kids[1];  // CL1L
             ed->Execute("delete");
             ClickWidget(ed->FindCommand("undo")->button);
         }},
        {"a shortcut", [&] { Shortcut('Y'); }},  // redo
    };
    for (const Case& c : cases) {
        Point(0, 0);
        Frames(3);
        const int before = host.PresentedFrames();
        c.input();
        const std::vector<uint32_t> shown = host.Shown().pixels;
        EXPECT_GT(host.PresentedFrames(), before) << c.what;
        Frames(3);
        EXPECT_EQ(host.Shown().pixels, shown) << c.what << ": shown only in a later frame";
    }
}
