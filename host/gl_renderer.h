// Draws frame records (see FrameRecord) with OpenGL into the current
// context's back buffer: the fixed-function pipeline for rectangles and
// image frames, and a fragment program that draws a whole grid as one
// rectangle. Every rectangle and image frame goes into one vertex array that
// is sent with a single draw call whenever the texture changes and at the
// end, so a whole frame costs a few calls. Drawing can be clipped to a few
// rectangles of the drawable: only their pixels are touched.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "host/host.h"

namespace host {

class GlRenderer {
public:
    // Needs a current OpenGL context; sets up the state for a picture of
    // width x height pixels (top-left origin) and the grid program.
    GlRenderer(int width, int height);
    // Deletes the textures and the program; the context must still be current.
    ~GlRenderer();
    GlRenderer(const GlRenderer&) = delete;
    GlRenderer& operator=(const GlRenderer&) = delete;

    // Draws ops [drawn, end) of the record and moves drawn to the end. With
    // clips (in drawable pixels, rows from the bottom as OpenGL counts
    // them), only the pixels inside them are drawn.
    void Render(const FrameRecord& record, size_t& drawn, const std::vector<PixelRect>& clips = {});
    // Sends what is batched to OpenGL.
    void Flush();

    bool GridShaderInUse() const { return grid_program_ != 0 && grid_shader_wanted_; }
    void UseGridShader(bool use) { grid_shader_wanted_ = use; }
    // GL draw calls since the last TakeDrawCalls.
    int TakeDrawCalls() {
        const int n = draw_calls_;
        draw_calls_ = 0;
        return n;
    }
    // The texture of an image that is gone is deleted here.
    void DropOrphanTextures();

private:
    struct Vertex {
        float x, y, u, v;
        uint8_t r, g, b, a;
    };
    struct GridGl;  // shader entry points
    // Every texture made, with its image when that is shared.
    struct Texture {
        uint32_t name = 0;
        std::weak_ptr<const Image> owner;
        bool owned = false;     // owner was set; its expiry frees the name
        uint64_t revision = 0;  // of the pixels uploaded
    };

    void Push(const Quad& q);
    void PaintGrid(const GridView& view);
    void FlushGl();
    // Runs draw once, or once inside each clip.
    template <typename Draw>
    void Clipped(Draw draw);
    uint32_t TextureOf(const Image& image);
    void SetUpGridShader();

    std::unique_ptr<GridGl> gridgl_;
    uint32_t grid_program_ = 0;
    bool grid_shader_wanted_ = true;
    uint32_t cell_texture_ = 0, palette_texture_ = 0;
    std::vector<uint8_t> palette_copy_;
    std::vector<uint8_t> cell_rgba_;
    std::vector<Vertex> batch_;
    uint32_t batch_texture_ = 0;  // 0: untextured rectangles
    std::vector<Texture> textures_;
    const std::vector<PixelRect>* clips_ = nullptr;
    int draw_calls_ = 0;
};

}  // namespace host
