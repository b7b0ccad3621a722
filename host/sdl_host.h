// The real window: SDL2 for the window and input, OpenGL (GlRenderer) for
// drawing. The drawing calls of a frame are recorded (see FrameRecord) and
// drawn only when the frame is shown: a frame that shows what the window
// already shows costs no drawing and no swap, and where the back buffer
// keeps its picture across swaps only the parts that changed since the
// frame shown last are drawn again.
#pragma once

#include <SDL2/SDL.h>

#include <memory>
#include <string>
#include <vector>

#include "host/gl_renderer.h"
#include "host/host.h"

namespace host {

// The program's key code for an SDL key, 0 for keys the program ignores.
// Letters and digits keep their ASCII capitals and digits; see KeyCode.
int MapSdlKey(SDL_Keycode key);

// Where the picture of the program's window (w x h pixels, the size it asked
// for) goes in a drawable of dw x dh pixels: scaled by one factor both ways
// so that all of it is seen, and centred. The window shows the picture at
// its own size when that fits.
struct Placement {
    float scale = 1;
    int x = 0, y = 0;  // top-left of the picture in the drawable
    int w = 0, h = 0;  // its size there
};
Placement PlacePicture(int w, int h, int dw, int dh);
// The pixel of the picture under drawable pixel (px, py).
void PictureFromDrawable(const Placement& p, int px, int py, int& x, int& y);
// The factor (at most 1) by which a window of w x h pixels must shrink to
// fit an area of aw x ah pixels.
float FitFactor(int w, int h, int aw, int ah);

struct OwnedSystemClock {
    std::unique_ptr<SystemClock> own_clock;
};

class SdlHost : private OwnedSystemClock, public Host {
public:
    SdlHost();                          // on the system clock
    explicit SdlHost(Clock& clock);
    ~SdlHost() override;

    bool OpenWindow(int width, int height, int hertz) override;
    void ClearScreen() override;
    void Flip(Pace pace) override;
    bool CloseWaiting() override;
    // Waits on the window system's events, taking each into the input state
    // as it arrives, until the time is up or fresh input has come.
    bool WaitInput(int64_t ms) override;
    [[noreturn]] void EndProgram() override;
    // Prints the text to stderr, shows it in a message box and exits with
    // status 1.
    [[noreturn]] void FatalError(const std::string& text) override;
    void ShowMessage(const std::string& title, const std::string& text) override;
    std::string ClipboardText() override;
    void DrawQuads(const Quad* quads, size_t count) override;
    // The image's texture is made again only when its revision moved.
    void DrawImage(const Image& image, float x, float y, float w, float h) override;
    float PixelScale() const override { return place_.scale; }
    // One textured rectangle per grid: the cells go up as a small texture
    // and a fragment program picks glyph texels and palette colours. Falls
    // back to rectangles when the OpenGL has no shaders.
    void DrawGrid(const GridView& view) override;
    bool GridShaderInUse() const { return renderer_ && renderer_->GridShaderInUse(); }
    // Draw grids as rectangles even when the shader exists (for comparison).
    void UseGridShader(bool use) {
        if (renderer_) renderer_->UseGridShader(use);
        RequestRedraw();
    }
    // Whether frames draw only what changed: the back buffer keeps its
    // picture across swaps, and it was not turned off (for comparison).
    bool DrawsChangesOnly() const { return keeps_back_buffer_ && partial_wanted_; }
    void DrawChangesOnly(bool on) { partial_wanted_ = on; }
    // Draws what the frame recorded so far and waits until OpenGL has
    // finished.
    void Finish();

    // Takes the window system's pending events into the input state; Flip
    // does this after presenting.
    void PumpEvents();
    // Draws what the frame recorded so far and sends it to OpenGL.
    void FlushBatch();
    // GL draw calls issued for the last presented frame.
    int LastFrameDrawCalls() const { return last_draw_calls_; }
    // The frame drawn so far, as ARGB, for checks of the real window.
    bool ReadBackBuffer(PixelBuffer& out);
    SDL_Window* window() const { return window_; }
    const Placement& placement() const { return place_; }

private:
    // Whether the back buffer keeps its picture across swaps, tried once.
    bool BackBufferKept();
    // The drawable's rectangles to draw for this frame; none: all of it.
    std::vector<PixelRect> DamageInDrawable() const;
    void HandleEvent(const SDL_Event& e);
    // Follows the window's size: the picture is scaled into it.
    void Place();
    // A pointer position from the window system, in the program's pixels.
    void PointerAt(int wx, int wy);
    void Close();

    std::unique_ptr<GlRenderer> renderer_;
    bool keeps_back_buffer_ = false, partial_wanted_ = true;
    int drawable_h_ = 0;
    SDL_Window* window_ = nullptr;
    Placement place_;
    float window_to_drawable_x_ = 1, window_to_drawable_y_ = 1;
    SDL_GLContext gl_ = nullptr;
    bool sdl_started_ = false;
    int last_draw_calls_ = 0;
    size_t drawn_ops_ = 0;  // ops of composed_ already drawn into the back buffer
    // Buttons pressed in the current batch of events, and releases held back
    // to the next batch: a click shorter than a frame is still seen held by
    // one frame, so its release is not lost.
    bool pressed_in_batch_[4] = {};
    bool release_deferred_[4] = {};
};

}  // namespace host
