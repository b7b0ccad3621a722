// Input state, frame pacing and PNG reading shared by both hosts.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "host/host.h"

using namespace host;

TEST(InputState, KeyPressesCountUntilConsumedAndHeldFollowsUpDown) {
    InputState in;
    in.KeyDown(kKeyLeftControl);
    in.KeyDown(kKeyS);
    in.KeyUp(kKeyS);
    in.KeyDown(kKeyS);
    EXPECT_EQ(in.KeyPresses(kKeyS), 2);
    EXPECT_EQ(in.KeyPresses(kKeyS), 0);  // consumed
    EXPECT_TRUE(in.KeyHeld(kKeyLeftControl));
    EXPECT_TRUE(in.KeyHeld(kKeyS));
    in.KeyUp(kKeyS);
    EXPECT_FALSE(in.KeyHeld(kKeyS));
    // Codes outside the table are ignored rather than written out of bounds.
    in.KeyDown(300);
    in.KeyDown(-1);
    EXPECT_EQ(in.KeyPresses(300), 0);
    EXPECT_FALSE(in.KeyHeld(-1));
}

TEST(InputState, CharacterQueueHolds256InOrder) {
    InputState in;
    for (int i = 0; i < 300; i++) in.TypeChar('a' + i % 26);
    EXPECT_EQ(in.QueuedChars(), 256u);
    EXPECT_EQ(in.NextTypedChar(), 'a');
    EXPECT_EQ(in.NextTypedChar(), 'b');
    in.ClearKeys();
    EXPECT_EQ(in.NextTypedChar(), 0);
}

TEST(InputState, ClearKeysForgetsPressesAndHeldClearPointerResetsWheel) {
    InputState in;
    in.KeyDown(kKeyEnter);
    in.TypeChar(13);
    in.ClearKeys();
    EXPECT_EQ(in.KeyPresses(kKeyEnter), 0);
    EXPECT_FALSE(in.KeyHeld(kKeyEnter));
    in.ButtonDown(1);
    in.ButtonDown(3);
    in.wheel = 5;
    in.ClearPointer();
    EXPECT_FALSE(in.buttons[1]);
    EXPECT_FALSE(in.buttons[3]);
    EXPECT_EQ(in.wheel, 0);
}

TEST(InputState, EachPressKeepsTheModifiersHeldAtIt) {
    host::InputState in;
    in.KeyDown(host::kKeyLeftControl);
    in.KeyDown('O');
    in.KeyUp('O');
    in.KeyUp(host::kKeyLeftControl);  // let go before anyone looked
    in.KeyDown('O');                  // a second press, without Control
    EXPECT_EQ(in.KeyPresses('O', host::kModControl, host::kModControl), 1);
    EXPECT_EQ(in.KeyPresses('O', host::kModControl, host::kModControl), 0) << "consumed";
    EXPECT_EQ(in.KeyPresses('O'), 1) << "the plain press is still there";

    // Shift tells Control+Z from Control+Shift+Z; a mask without Shift takes both.
    in.KeyDown(host::kKeyRightControl);
    in.KeyDown('Z');
    in.KeyDown(host::kKeyLeftShift);
    in.KeyDown('Z');
    const int both = host::kModControl | host::kModShift;
    EXPECT_EQ(in.KeyPresses('Z', both, both), 1);
    EXPECT_EQ(in.KeyPresses('Z', host::kModControl, both), 1);
    in.KeyDown('Z');
    in.KeyDown('Z', 0);  // modifiers as the window system reports them
    EXPECT_EQ(in.KeyPresses('Z', host::kModControl, host::kModControl), 1);
    EXPECT_EQ(in.KeyPresses('Z', 0, both), 1);
    EXPECT_EQ(in.HeldModifiers(), both);
}

TEST(FrameRecord, EqualOnlyForTheSamePicture) {
    uint8_t cells[2 * 1 * 3] = {65, 66, 1, 2, 3, 4};
    uint8_t palette[768] = {};
    host::GridView v;
    v.cols = 2;
    v.rows = 1;
    v.cellw = v.cellh = 8;
    v.cells = cells;
    v.palette = palette;
    const host::Quad q{1, 2, 3, 4, nullptr, 0, 10, 20, 30};
    auto make = [&] {
        host::FrameRecord r;
        r.Add(&q, 1);  // covered by the clear: dropped
        r.Clear(0, 0, 0);
        r.Add(v);
        r.Add(&q, 1);
        return r;
    };
    const host::FrameRecord a = make();
    EXPECT_TRUE(a == make());
    EXPECT_EQ(a.ops().size(), 3u);
    cells[1] = 67;  // one glyph
    EXPECT_FALSE(a == make());
    cells[1] = 66;
    palette[700] = 1;  // one palette entry
    EXPECT_FALSE(a == make());
    palette[700] = 0;
    v.x = 1;  // the grid's place
    EXPECT_FALSE(a == make());
    v.x = 0;
    host::FrameRecord b = make();
    b.Clear(0, 0, 1);  // another clear colour
    host::FrameRecord c = make();
    c.Clear(0, 0, 0);
    EXPECT_FALSE(b == c);
    const host::Quad q2{1, 2, 3, 4, nullptr, 0, 10, 20, 31};
    c.Add(&q2, 1);
    b = host::FrameRecord();
    b.Clear(0, 0, 0);
    b.Add(&q, 1);
    EXPECT_FALSE(b == c) << "a colour of a rectangle";
    // The copy inside the record draws the grid again.
    const host::GridView again = a.GridOf(a.ops()[1]);
    EXPECT_EQ(again.cells[0], 65);
    EXPECT_EQ(again.cells[1], 66);
    EXPECT_EQ(again.cols, 2);
}

// A frame of a clear, a 10 x 4 grid of 8 x 8 cells at (16, 8), a rectangle
// and an image, changed one way each, against the frame before it in a
// 200 x 100 picture.
TEST(FrameRecord, DamageCoversWhatChangedAndOnlyThat) {
    struct Frame {
        uint8_t rgb = 0;
        uint8_t cells[10 * 4 * 3] = {};
        uint8_t palette[768] = {};
        float gridx = 16;
        host::Quad rect{100, 50, 10, 5, nullptr, 0, 1, 2, 3};
        uint64_t revision = 0;
        bool extra = false;
    };
    host::Image image;
    image.width = image.height = image.cellw = image.cellh = 4;
    auto record = [&image](const Frame& f) {
        host::FrameRecord r;
        r.Clear(0, 0, f.rgb);
        host::GridView v;
        v.x = f.gridx;
        v.y = 8;
        v.cols = 10;
        v.rows = 4;
        v.cellw = v.cellh = 8;
        v.cells = f.cells;
        v.palette = f.palette;
        r.Add(v);
        r.Add(&f.rect, 1);
        if (f.extra) r.Add(&f.rect, 1);
        image.revision = f.revision;
        r.AddImage(host::Quad{150, 0, 20, 10, &image});
        return r;
    };
    using R = std::vector<host::PixelRect>;
    const R whole{{0, 0, 200, 100}};
    struct Case {
        const char* what;
        std::function<void(Frame&)> change;
        R damage;
    } cases[] = {
        {"nothing", [](Frame&) {}, {}},
        // cell (2, 1) is pixels (32, 16) to (40, 24), a pixel to spare each way
        {"one cell", [](Frame& f) { f.cells[1 * 10 + 2] = 65; }, {{31, 15, 10, 10}}},
        {"a background colour", [](Frame& f) { f.cells[80 + 1 * 10 + 2] = 5; }, {{31, 15, 10, 10}}},
        {"cells in two rows that touch", [](Frame& f) { f.cells[2] = f.cells[13] = 1; }, {{31, 7, 18, 18}}},
        {"cells far apart", [](Frame& f) { f.cells[0] = f.cells[39] = 1; }, {{15, 7, 10, 10}, {87, 31, 10, 10}}},
        {"the palette", [](Frame& f) { f.palette[5] = 1; }, {{15, 7, 82, 34}}},
        {"a rectangle's colour", [](Frame& f) { f.rect.r = 9; }, {{99, 49, 12, 7}}},
        {"a rectangle moved", [](Frame& f) { f.rect.x = 0; }, {{0, 49, 11, 7}, {99, 49, 12, 7}}},
        {"the image's pixels", [](Frame& f) { f.revision = 1; }, {{149, 0, 22, 11}}},
        {"the clear colour", [](Frame& f) { f.rgb = 1; }, whole},
        {"the grid's place", [](Frame& f) { f.gridx = 17; }, whole},
        {"another rectangle", [](Frame& f) { f.extra = true; }, whole},
    };
    for (const Case& c : cases) {
        Frame before, after;
        const host::FrameRecord a = record(before);
        c.change(after);
        const host::FrameRecord b = record(after);
        R damage = b.DamageSince(a, 200, 100);
        EXPECT_EQ(damage, c.damage) << c.what;
    }
    // Changes everywhere end as at most a few rectangles that cover them.
    Frame before, after;
    const host::FrameRecord a = record(before);
    for (int i = 0; i < 40; i += 2) after.cells[i + (i / 10) % 2] = 1;
    const R damage = record(after).DamageSince(a, 200, 100);
    EXPECT_LE(damage.size(), host::FrameRecord::kMaxDamage);
    for (int i = 0; i < 40; i += 2) {
        const int cell = i + (i / 10) % 2, x = 16 + cell % 10 * 8 + 4, y = 8 + cell / 10 * 8 + 4;
        EXPECT_TRUE(std::any_of(damage.begin(), damage.end(), [&](const host::PixelRect& r) {
            return x >= r.x && x < r.x + r.w && y >= r.y && y < r.y + r.h;
        })) << "cell " << cell;
    }
}

TEST(FramePacer, SixtyHertzSpreadsTheFortyMsRemainderOverTheSecond) {
    FramePacer pacer;
    pacer.Start(60, 1000);
    int64_t now = 1000;
    std::vector<int64_t> steps;
    for (int i = 0; i < 60; i++) {
        int64_t wait = pacer.Next(now);  // the frame itself took no time
        steps.push_back(wait);
        now += wait;
    }
    EXPECT_EQ(now, 2000);  // exactly one second for 60 frames
    EXPECT_EQ(steps[0], 16);
    EXPECT_EQ(steps[1], 17);  // accumulated 80: one extra ms, 20 left
    EXPECT_EQ(steps[2], 17);  // 60: one extra ms, 0 left
    EXPECT_EQ(steps[3], 16);
    int seventeens = 0;
    for (auto s : steps) seventeens += s == 17;
    EXPECT_EQ(seventeens, 40);
}

TEST(FramePacer, LateFrameIsNotCaughtUp) {
    FramePacer pacer;
    pacer.Start(60, 0);
    EXPECT_EQ(pacer.Next(5), 11);    // due at 16
    EXPECT_EQ(pacer.Next(100), 0);   // due at 32 passed: reset to 100
    EXPECT_EQ(pacer.Due(), 100);
    EXPECT_EQ(pacer.Next(100), 17);  // third frame carries the extra ms: due 117
}

TEST(Png, SavedPixelsReadBackAndMissingFileFails) {
    PixelBuffer pb;
    pb.width = 3;
    pb.height = 2;
    pb.pixels = {0xFF102030, 0x80FFFFFF, 0x00000000, 0xFFFF0000, 0xFF00FF00, 0xFF0000FF};
    std::string path = std::string(TEST_TMP_DIR) + "/roundtrip.png";
    ASSERT_TRUE(SavePng(path, pb));
    PixelBuffer back;
    ASSERT_TRUE(LoadPng(path, back));
    EXPECT_EQ(back.width, 3);
    EXPECT_EQ(back.height, 2);
    EXPECT_EQ(back.pixels, pb.pixels);
    EXPECT_EQ(ReadPixel(back, 0, 1), 0xFFFF0000u);
    EXPECT_EQ(ReadPixel(back, 3, 0), 0u);
    EXPECT_FALSE(LoadPng(std::string(TEST_TMP_DIR) + "/no-such.png", back));
    // A file that is not a PNG is refused, not decoded into garbage.
    auto s = OpenWrite(std::string(TEST_TMP_DIR) + "/bad.png");
    s->WriteText("\x89PNG not really");
    s->Close();
    EXPECT_FALSE(LoadPng(std::string(TEST_TMP_DIR) + "/bad.png", back));
}
