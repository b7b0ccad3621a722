// The headless host: its frame buffer follows the colour, scale, mask and
// alpha rules of the window, and its input script plays frame by frame.
#include <gtest/gtest.h>

#include <functional>

#include "host/headless_host.h"

using namespace host;

namespace {

// A 2-frame image of 2x2 cells: frame 0 white/black/half-alpha/grey, frame 1 red.
std::string WriteCells(const std::string& name) {
    PixelBuffer pb;
    pb.width = 4;
    pb.height = 2;
    pb.pixels = {0xFFFFFFFF, 0xFF000000, 0xFFFF0000, 0xFFFF0000,  //
                 0x7FFFFFFF, 0xFF808080, 0xFFFF0000, 0xFFFF0000};
    std::string path = std::string(TEST_TMP_DIR) + "/" + name;
    EXPECT_TRUE(SavePng(path, pb));
    return path;
}

}  // namespace

// Quads over a background of colour (1, 2, 3): rectangles in their colour,
// image frames tinted by theirs, masked and half-transparent texels left out.
TEST(HeadlessHost, RectsAndFramesPaintWithTintAndMask) {
    HeadlessHost h;
    ASSERT_TRUE(h.OpenWindow(20, 10, 60));
    const Quad back{0, 0, 20, 10, nullptr, 0, 1, 2, 3};
    h.ClearScreen();
    EXPECT_EQ(h.Pixel(19, 9), 0x000000u);
    h.DrawQuads(&back, 1);
    EXPECT_EQ(h.Pixel(19, 9), 0x010203u);

    const Quad red{1, 1, 4, 3, nullptr, 0, 255, 0, 0};  // covers 4 x 3 pixels from (1, 1)
    h.DrawQuads(&red, 1);
    EXPECT_EQ(h.Pixel(1, 1), 0xFF0000u);
    EXPECT_EQ(h.Pixel(4, 3), 0xFF0000u);
    EXPECT_EQ(h.Pixel(5, 3), 0x010203u);
    EXPECT_EQ(h.Pixel(4, 4), 0x010203u);

    h.SetMaskRGB(0, 0, 0);
    ImagePtr im = h.LoadImageCells(WriteCells("cells.png"), 2, 2, 0, 2);
    ASSERT_TRUE(im);
    h.ClearScreen();
    h.DrawQuads(&back, 1);
    const Quad tinted{10, 0, 4, 4, im.get(), 0, 0, 255, 128};  // frame 0 scaled twice over
    h.DrawQuads(&tinted, 1);
    EXPECT_EQ(h.Pixel(10, 0), 0x00FF80u);   // white texel times the colour
    EXPECT_EQ(h.Pixel(11, 1), 0x00FF80u);   // the same texel, scaled up
    EXPECT_EQ(h.Pixel(12, 0), 0x010203u);   // black is masked out
    EXPECT_EQ(h.Pixel(10, 2), 0x010203u);   // alpha below one half is not drawn
    EXPECT_EQ(h.Pixel(13, 3), 0x008040u);   // grey 128 x (0, 255, 128) / 255
    const Quad frames[] = {
        {0, 0, 2, 2, im.get(), 1, 255, 255, 255},
        {0, 5, 2, 2, im.get(), 2, 255, 255, 255},  // no such frame: nothing drawn
    };
    h.DrawQuads(frames, 2);
    EXPECT_EQ(h.Pixel(1, 1), 0xFF0000u);
    EXPECT_EQ(h.Pixel(0, 5), 0x010203u);
    // Drawing past the window's edges is clipped.
    const Quad over{-5, -5, 100, 100, nullptr, 0, 255, 255, 255};
    h.DrawQuads(&over, 1);
    EXPECT_EQ(h.Pixel(0, 0), 0xFFFFFFu);
}

TEST(HeadlessHost, ImageLoadingFailsForMissingFilesAndImpossibleCells) {
    HeadlessHost h;
    std::string path = WriteCells("cells2.png");
    EXPECT_FALSE(h.LoadImageFile(std::string(TEST_TMP_DIR) + "/none.png"));
    auto whole = h.LoadImageFile(path);
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->width, 4);
    EXPECT_EQ(whole->height, 2);
    EXPECT_FALSE(h.LoadImageCells(path, 2, 2, 0, 3));  // only 2 cells exist
    EXPECT_FALSE(h.LoadImageCells(path, 0, 2, 0, 1));
    auto second = h.LoadImageCells(path, 2, 2, 1, 1);  // starts at cell 1
    ASSERT_TRUE(second);
    h.OpenWindow(4, 4, 60);
    const Quad first{0, 0, 2, 2, second.get(), 0, 255, 255, 255};
    h.DrawQuads(&first, 1);
    EXPECT_EQ(h.Pixel(0, 0), 0xFF0000u);
}

TEST(HeadlessHost, ScriptedInputArrivesWithItsFrame) {
    HeadlessHost h;
    h.OpenWindow(10, 10, 60);
    h.OnFrame(1, [](HeadlessHost& x) {
        x.SetPointer(7, 8);
        x.SetButton(1, true);
        x.Type("ab");
    });
    h.OnFrame(2, [](HeadlessHost& x) {
        x.SetButton(1, false);
        x.RollWheel(-2);
        x.PressKey(kKeyEscape);
        x.RequestClose();
    });
    EXPECT_EQ(h.ButtonHeld(1), 0);
    h.Flip(Pace::kHertz);
    EXPECT_EQ(h.PointerX(), 7);
    EXPECT_EQ(h.PointerY(), 8);
    EXPECT_EQ(h.ButtonHeld(1), 1);
    EXPECT_EQ(h.NextTypedChar(), 'a');
    EXPECT_FALSE(h.CloseRequested());
    h.Flip(Pace::kHertz);
    EXPECT_EQ(h.ButtonHeld(1), 0);
    EXPECT_EQ(h.WheelPosition(), -2);
    EXPECT_EQ(h.KeyPresses(kKeyEscape), 1);
    EXPECT_FALSE(h.input().KeyHeld(kKeyEscape));
    EXPECT_EQ(h.NextTypedChar(), 'b');
    EXPECT_TRUE(h.CloseRequested());
    EXPECT_FALSE(h.CloseRequested());  // once per request
    // Flip(Pace::kHertz) paced the two frames on the fake clock: 16 then 17 ms.
    EXPECT_EQ(h.fake_clock().slept_, 33);
    h.SetFrameLimit(2);
    EXPECT_THROW(h.Flip(Pace::kHertz), FrameLimitReached);
}

TEST(HeadlessHost, EndingsThrowAndDialogAnswersArePlayedBack) {
    HeadlessHost h;
    try {
        h.FatalError("Failed to read x");
        FAIL();
    } catch (const FatalErrorRaised& e) {
        EXPECT_STREQ(e.what(), "Failed to read x");
    }
    EXPECT_THROW(h.EndProgram(), ProgramEnded);
    h.file_answers = {"/tmp/a.msh"};
    EXPECT_EQ(h.RequestFile("Open", "Mesh:msh;All:*", false, "/tmp/"), "/tmp/a.msh");
    EXPECT_EQ(h.RequestFile("Save", "Mesh:msh", true, "/tmp/b.msh"), "");
    ASSERT_EQ(h.file_requests.size(), 2u);
    EXPECT_TRUE(h.file_requests[1].save);
    EXPECT_EQ(h.file_requests[1].initial, "/tmp/b.msh");
}

TEST(HeadlessHost, ScreenshotSavesTheFrame) {
    HeadlessHost h;
    h.OpenWindow(3, 2, 60);
    const Quad dot{2, 1, 1, 1, nullptr, 0, 9, 8, 7};
    h.DrawQuads(&dot, 1);
    std::string path = std::string(TEST_TMP_DIR) + "/shot.png";
    ASSERT_TRUE(h.SaveScreenshot(path));
    PixelBuffer pb;
    ASSERT_TRUE(LoadPng(path, pb));
    EXPECT_EQ(ReadPixel(pb, 2, 1), 0xFF090807u);
    EXPECT_EQ(ReadPixel(pb, 0, 0), 0xFF000000u);
}

// A picture the program makes: painted whole over its rectangle with no
// colour applied; a frame showing it again unchanged is not shown anew, one
// after SetImagePixels is.
TEST(HeadlessHost, MadeImagesPaintStretchedAndShowAgainOnlyWhenChanged) {
    HeadlessHost h;
    ASSERT_TRUE(h.OpenWindow(8, 8, 60));
    EXPECT_FALSE(h.MakeImage(PixelBuffer{2, 2, {1, 2, 3}}));  // fewer pixels than 2 x 2
    EXPECT_FALSE(h.MakeImage(PixelBuffer{}));
    ImagePtr im = h.MakeImage(PixelBuffer{2, 1, {0xFF102030, 0x7FFFFFFF}});
    ASSERT_TRUE(im);
    auto frame = [&] {
        h.ClearScreen();
        h.DrawImage(*im, 2, 2, 4, 2);
        h.Flip(Pace::kNow);
    };
    struct Step {
        std::function<void()> change;
        uint32_t left, right;  // pixels (2, 2) and (5, 3)
        int presented;
    } steps[] = {
        {[] {}, 0x102030, 0x000000, 1},  // the half-transparent texel is left out
        {[] {}, 0x102030, 0x000000, 1},  // unchanged: not shown again
        {[&] { EXPECT_TRUE(h.SetImagePixels(*im, PixelBuffer{2, 1, {0xFF0000FF, 0xFF00FF00}})); }, 0x0000FF,
         0x00FF00, 2},
        {[&] { EXPECT_FALSE(h.SetImagePixels(*im, PixelBuffer{3, 1, {1}})); }, 0x0000FF, 0x00FF00, 2},
    };
    for (const Step& s : steps) {
        s.change();
        frame();
        EXPECT_EQ(h.Pixel(2, 2), s.left);
        EXPECT_EQ(h.Pixel(5, 3), s.right);
        EXPECT_EQ(h.Pixel(1, 1), 0u);  // outside the rectangle
        EXPECT_EQ(h.PresentedFrames(), s.presented);
    }
}

// Input the program answers ends a wait at once and is reported once;
// moving the pointer is not such input.
TEST(HeadlessHost, FreshInputEndsTheWaitAndIsTakenOnce) {
    struct Case {
        const char* what;
        std::function<void(HeadlessHost&)> input;
        bool fresh;
    } cases[] = {
        {"nothing", [](HeadlessHost&) {}, false},
        {"the pointer", [](HeadlessHost& h) { h.SetPointer(3, 4); }, false},
        {"a button", [](HeadlessHost& h) { h.SetButton(1, true); }, true},
        {"its release", [](HeadlessHost& h) { h.SetButton(1, false); }, true},
        {"a key", [](HeadlessHost& h) { h.PressKey(kKeyEnter); }, true},
        {"a character", [](HeadlessHost& h) { h.Type("a"); }, true},
        {"the wheel", [](HeadlessHost& h) { h.RollWheel(1); }, true},
        {"a close request", [](HeadlessHost& h) { h.RequestClose(); }, true},
    };
    for (const Case& c : cases) {
        HeadlessHost h;
        h.OpenWindow(4, 4, 60);
        c.input(h);
        const int64_t slept = h.fake_clock().slept_;
        EXPECT_EQ(h.WaitInput(30), c.fresh) << c.what;
        EXPECT_EQ(h.fake_clock().slept_ - slept, c.fresh ? 0 : 30) << c.what;
        EXPECT_EQ(h.TakeFreshInput(), c.fresh) << c.what;
        EXPECT_FALSE(h.TakeFreshInput()) << c.what;
    }
}
