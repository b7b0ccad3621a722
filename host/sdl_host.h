// The real window: SDL2 for the window and input, OpenGL (the fixed-function
// pipeline) for drawing. The drawing calls of a frame are recorded (see
// FrameRecord) and drawn only when the frame is shown: a frame that shows
// what the window already shows costs no drawing and no swap. Every
// rectangle and image frame drawn goes into one vertex array that is sent
// with a single draw call whenever the texture changes and at the end, and a
// grid is one textured rectangle, so a whole frame costs a few calls.
#pragma once

#include <SDL2/SDL.h>

#include <memory>
#include <string>
#include <vector>

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

    bool OpenWindow(int width, int height, int depth, int hertz, int flags) override;
    void ClearScreen() override;
    void Flip(int sync) override;
    bool CloseWaiting() override;
    // Waits on the window system's events until the time is up, taking each
    // into the input state as it arrives.
    void WaitMs(int64_t ms) override;
    [[noreturn]] void EndProgram() override;
    // Prints the text to stderr, shows it in a message box and exits with
    // status 1.
    [[noreturn]] void FatalError(const std::string& text) override;
    void ShowMessage(const std::string& title, const std::string& text) override;
    void DrawRect(float x, float y, float w, float h) override;
    void DrawImageFrame(const Image& image, float x, float y, int frame) override;
    void DrawQuads(const Quad* quads, size_t count) override;
    // The image's texture is made again only when its revision moved.
    void DrawImage(const Image& image, float x, float y, float w, float h) override;
    float PixelScale() const override { return place_.scale; }
    // One textured rectangle per grid: the cells go up as a small texture
    // and a fragment program picks glyph texels and palette colours. Falls
    // back to rectangles when the OpenGL has no shaders.
    void DrawGrid(const GridView& view) override;
    bool GridShaderInUse() const { return grid_program_ != 0 && grid_shader_wanted_; }
    // Draw grids as rectangles even when the shader exists (for comparison).
    void UseGridShader(bool use) {
        grid_shader_wanted_ = use;
        RequestRedraw();
    }
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
    struct Vertex {
        float x, y, u, v;
        uint8_t r, g, b, a;
    };
    void Push(const Quad& q);
    void Render();                       // draws the ops recorded and not drawn yet
    void PaintGrid(const GridView& view);
    void FlushGl();
    uint32_t TextureOf(const Image& image);
    void HandleEvent(const SDL_Event& e);
    // Follows the window's size: the picture is scaled into it.
    void Place();
    // A pointer position from the window system, in the program's pixels.
    void PointerAt(int wx, int wy);
    void Close();
    void SetUpGridShader();
    uint32_t UploadPalette(const uint8_t* palette);

    struct GridGl;  // shader entry points and names
    std::unique_ptr<GridGl> gridgl_;
    uint32_t grid_program_ = 0;
    bool grid_shader_wanted_ = true;
    uint32_t cell_texture_ = 0, palette_texture_ = 0;
    std::vector<uint8_t> palette_copy_;
    std::vector<uint8_t> cell_rgba_;

    SDL_Window* window_ = nullptr;
    Placement place_;
    float window_to_drawable_x_ = 1, window_to_drawable_y_ = 1;
    SDL_GLContext gl_ = nullptr;
    bool sdl_started_ = false;
    std::vector<Vertex> batch_;
    uint32_t batch_texture_ = 0;  // 0: untextured rectangles
    // Every texture made, with its image when that is shared: the texture
    // of an image that is gone is deleted when the next frame is shown.
    struct Texture {
        uint32_t name = 0;
        std::weak_ptr<const Image> owner;
        bool owned = false;       // owner was set; its expiry frees the name
        uint64_t revision = 0;    // of the pixels uploaded
    };
    std::vector<Texture> textures_;
    void DropOrphanTextures();
    int draw_calls_ = 0, last_draw_calls_ = 0;
    size_t drawn_ops_ = 0;  // ops of composed_ already drawn into the back buffer
    // Buttons pressed in the current batch of events, and releases held back
    // to the next batch: a click shorter than a frame is still seen held by
    // one frame, so its release is not lost.
    bool pressed_in_batch_[4] = {};
    bool release_deferred_[4] = {};
};

}  // namespace host
