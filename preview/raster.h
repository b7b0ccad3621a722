// The preview's triangle filler: edge functions over the pixels of a
// triangle's box, a depth test, and the colour of each pixel from what the
// triangle carries (a plain colour, or colours, texture coordinates and
// alpha per corner). Internal to the renderer.
#pragma once

#include <cstdint>

#include "preview/render.h"

namespace preview::raster {

// A corner on the screen: pixel position and the depth key, which grows
// toward the camera and is affine in screen space (1/z, or -z for ortho).
struct Corner {
    double x, y, key;
};

// How a triangle's pixels meet the picture.
enum class Blend : uint8_t {
    opaque,    // written, depth and all
    cutout,    // written where alpha is at least 0.5
    blended,   // mixed by alpha over what is there; depth not written
    additive,  // added; depth not written
};

// What a triangle's pixels take: per corner a colour (r, g, b, a in 0..1,
// light included) and texture coordinates, weighted for perspective.
struct Surface {
    bool flat = true;        // every pixel takes `colour`
    uint32_t colour = 0;     // 0xAARRGGBB when flat
    Blend blend = Blend::opaque;
    const Texture* texture = nullptr;
    float rgba[3][4] = {};
    float uv[3][2] = {};
    bool perspective = true;
};

class Raster {
public:
    // budget: the pixels all triangles together may test; rows y0 .. y1-1
    // of the frame are this raster's band.
    Raster(Frame& f, bool wire, int64_t budget, int y0, int y1)
        : f_(f), wire_(wire), budget_(budget), y0_(y0), y1_(y1) {}

    // False once the budget is spent.
    bool Triangle(Corner a, Corner b, Corner c, const Surface& s, uint32_t id);
    // A line over everything (bones, open edges), clipped in float.
    void Line(float x0, float y0, float x1, float y1, uint32_t rgb);
    // A square of side 2r+1 (or a cross) over everything.
    void Marker(float x, float y, int r, uint32_t rgb, bool cross);
    bool incomplete = false;
    int Width() const { return f_.width; }
    int Height() const { return f_.height; }

private:
    uint32_t Colour(const Surface& s, const double e[3], const Corner* p[3], const int order[3], bool& drop) const;
    void Put(int x, int y, uint32_t rgb);
    Frame& f_;
    bool wire_;
    int64_t budget_;
    int y0_, y1_;
};

}  // namespace preview::raster
