// A host without a window, for tests: drawing paints an in-memory RGBA frame
// buffer with the same colour, scale and mask rules as the window; input is
// scripted frame by frame; time is a FakeClock that only sleeping moves.
// FatalError and EndProgram throw (FatalErrorRaised, ProgramEnded) instead of
// ending the process.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/host.h"

namespace host {

// Thrown by Flip once the frame limit is passed, so that a test of a modal
// loop whose script never lets it end fails instead of hanging.
class FrameLimitReached : public std::runtime_error {
public:
    FrameLimitReached() : std::runtime_error("frame limit reached") {}
};

// Holds the clock a HeadlessHost makes for itself; a base class so that the
// clock exists before Host keeps a reference to it.
struct OwnedFakeClock {
    std::unique_ptr<FakeClock> own_clock;
};

class HeadlessHost : private OwnedFakeClock, public Host {
public:
    HeadlessHost();                              // runs on its own FakeClock
    explicit HeadlessHost(FakeClock& clock);
    ~HeadlessHost() override;

    FakeClock& fake_clock() { return *fake_; }

    // ---- Host
    bool OpenWindow(int width, int height, int hertz) override;
    void ClearScreen() override;
    // Shows the frame when it differs from the one shown last (see
    // Host::Flip), paces on the fake clock (Pace::kHertz), counts the frame, then
    // applies the input scripted for the new frame number.
    void Flip(Pace pace) override;
    [[noreturn]] void EndProgram() override;
    [[noreturn]] void FatalError(const std::string& text) override;
    void ShowMessage(const std::string& title, const std::string& text) override;
    std::string ClipboardText() override { return clipboard; }
    void DrawQuads(const Quad* quads, size_t count) override;
    void DrawImage(const Image& image, float x, float y, float w, float h) override;

    // ---- the frame buffer (ARGB, alpha always 255): what has been drawn
    const PixelBuffer& Frame() const { return frame_; }
    // What the window shows: the frame buffer as it was at the last Flip
    // that showed a frame. Kept only after KeepShownFrames(true), since it
    // costs a copy of every frame shown.
    const PixelBuffer& Shown() const { return shown_; }
    void KeepShownFrames(bool keep) { keep_shown_ = keep; }
    // 0xRRGGBB of one pixel; 0 outside the window.
    uint32_t Pixel(int x, int y) const { return ReadPixel(frame_, x, y) & 0xFFFFFFu; }
    bool SaveScreenshot(const std::string& path) const { return SavePng(path, frame_); }
    int draw_calls = 0;  // DrawQuads and DrawImage calls so far

    // ---- scripted input, applied at once
    InputState& input() { return input_; }
    void SetPointer(int x, int y) { input_.pointer_x = x; input_.pointer_y = y; }
    void SetButton(int button, bool held);
    void RollWheel(int notches) {  // positive: away from the user
        input_.wheel += notches;
        fresh_ = true;
    }
    void PressKey(int code);               // one press; the key is not left held
    void HoldKey(int code, bool held);     // press and hold, or release
    void Type(const std::string& text);    // each byte into the character queue
    void RequestClose() { close_pending_ = fresh_ = true; }

    // Runs the action when the frame counter reaches frame (at once when it
    // already has). Frame 0 is before the first Flip, frame n after the n-th.
    void OnFrame(int frame, std::function<void(HeadlessHost&)> action);
    int Frames() const { return frames_; }
    // Flip throws FrameLimitReached when it would start frame limit + 1.
    void SetFrameLimit(int limit) { frame_limit_ = limit; }

    // ---- what the program asked of the host
    struct FileRequest {
        std::string title, filter;
        bool save;
        std::string initial;
    };
    std::vector<FileRequest> file_requests;
    std::vector<std::string> file_answers;  // handed out in order, "" when used up
    struct Message {
        std::string title, text;
    };
    std::vector<Message> messages;          // ShowMessage calls
    std::string clipboard;                  // what ClipboardText gives
    std::vector<std::string> fatal_errors;  // FatalError texts
    int open_calls = 0;
    int open_hertz = -1;
    int flips = 0;

private:
    void Paint(const Quad& q);
    void InstallRequester();
    void RunDue();

    FakeClock* fake_;
    PixelBuffer frame_;
    PixelBuffer shown_;
    bool keep_shown_ = false;
    int frames_ = 0;
    int frame_limit_ = 100000;
    std::multimap<int, std::function<void(HeadlessHost&)>> script_;
};

}  // namespace host
