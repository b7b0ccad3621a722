// The software rasteriser of the preview: triangles lit by one light from
// the viewer's side and a depth buffer, coloured by their material (its
// diffuse colour, its texture sampled with the vertices' coordinates, the
// vertex colours, smooth shading from the normals) or by their model's
// kind; transparency, hard-edged alpha, additive and glowing materials as
// far as a picture can show them; collision see-through over the model;
// bones, hardpoints and one highlighted model, segment, triangle or vertex,
// drawn into an image of any size. No window and no GPU: the editor shows
// the image, mshtool writes it as a PNG.
//
// Triangles whose corners are not finite, or that lie behind the camera,
// are left out; one that crosses the near plane is cut there. Every
// position is clipped to the picture while it is a float.
#pragma once

#include <cstdint>
#include <vector>

#include "preview/geometry.h"
#include "preview/texture.h"

namespace preview {

// An orbit camera: it looks at target from distance along the direction
// given by yaw (degrees about the vertical y axis) and pitch (degrees above
// the horizontal). fov is the vertical field of view in degrees; 0 makes it
// orthographic, showing span world units over the image's height.
struct Camera {
    Vec3 target;
    float distance = 5;
    float yaw = 30;
    float pitch = 20;
    float fov = 40;
    float span = 2;
};

// The turn a picture starts with.
inline constexpr float kHomeYaw = 30, kHomePitch = 20;

// The camera turned (yaw, pitch as given) and moved back so that every
// shown triangle and marker fits in an image of that aspect (width/height).
Camera Fit(const Geometry& g, const std::vector<uint8_t>& shown, float yaw, float pitch, float aspect);
// The same for a set of points only (a highlighted triangle or vertex): the
// camera keeps its turn and distance and looks at their centre.
Camera LookAt(Camera c, Vec3 point);

// What to mark. A model or a segment is drawn in the highlight colour,
// shaded. In a segment, the triangles made from position `at` of the face
// list `faces` are filled with the plain highlight colour, and a vertex is
// marked with a square.
struct Highlight {
    int model = -1;     // index in Geometry::models
    int segment = -1;   // index in Geometry::segments
    const mesh::chunk* faces = nullptr;
    int64_t at = -1;    // a position in faces
    int64_t vertex = -1;  // a vertex of the segment
    // The vertex cannot be drawn (not finite): its marker stands here, at
    // its segment's centre.
    bool centred = false;
    Vec3 centre;
};

struct Style {
    bool wireframe = false;
    bool bones = false;       // lines from each bone to its parent
    bool hardpoints = true;   // a cross at each hp_ model
    // The materials' textures; null draws the materials' colours alone.
    const Textures* textures = nullptr;
    // Draws one triangle of each `stride` (a quick picture while the camera
    // moves); 1 draws them all.
    uint32_t stride = 1;
    // Threads that share the picture (1 or 2).
    int threads = 1;
};

// RGB colours, 0xRRGGBB.
inline constexpr uint32_t kBackground = 0x20242C;
inline constexpr uint32_t kHighlight = 0xFFD000;
inline constexpr uint32_t kWire = 0x101010;
inline constexpr uint32_t kHardpoint = 0xFF3030;
inline constexpr uint32_t kBone = 0x40E0FF;
inline constexpr uint32_t kVertexMark = 0x00FFFF;
inline constexpr uint32_t kMissingTexture = 0xFF00FF;  // a texture not found or not read
inline constexpr uint32_t kOpenEdge = 0xFF6020;        // a shadow volume's edge without a twin
uint32_t KindColour(Kind k);

// The picture: pixels 0xAARRGGBB row by row from the top-left (alpha always
// 255), and per pixel the index of the triangle seen there (kNone: none).
struct Frame {
    static constexpr uint32_t kNone = 0xFFFFFFFF;
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
    std::vector<uint32_t> ids;
    std::vector<float> depth;
    // Some triangles were left out: together they covered more pixels than
    // a frame may test (a few hundred times the picture).
    bool incomplete = false;
    // Per point: where it lands on the screen and its depth (x, y, depth
    // key, distance in front), kept from frame to frame.
    std::vector<float> scratch;
    // The triangle at a pixel, kNone outside the picture or on the background.
    uint32_t Pick(int x, int y) const;
};

// Draws the shown models into frame (resized to width x height; its buffers
// are reused from call to call). Sizes are cut to 1 .. 8192.
void Render(const Geometry& g, const std::vector<uint8_t>& shown, const Camera& cam, const Style& style,
            const Highlight& mark, int width, int height, Frame& frame);

// Where a world point lands in an image of that size; false when it is
// behind the camera.
bool Project(const Camera& cam, int width, int height, Vec3 p, float& x, float& y);

// The bone or hardpoint drawn nearest to pixel (x, y) of a picture of that
// size, within radius pixels: its model index, -1 for none.
int MarkerAt(const Geometry& g, const std::vector<uint8_t>& shown, const Camera& cam, const Style& style,
             int width, int height, float x, float y, float radius);

}  // namespace preview
