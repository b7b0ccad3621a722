// Drawing frame records with OpenGL: the grid program, textures of images,
// the batch of rectangles, and clipping.
#include "host/gl_renderer.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_opengl.h>

#include <cstring>
#include <type_traits>

namespace host {

// The grid program. The vertex stage hands each fragment its position
// relative to the grid's top-left corner; the fragment stage finds the cell,
// the texel of the glyph inside its tile and the palette colours.
static const char* kGridVertex = R"(#version 120
uniform vec2 origin;
varying vec2 local;
void main() {
    local = gl_Vertex.xy - origin;
    gl_Position = gl_ModelViewProjectionMatrix * gl_Vertex;
})";

static const char* kGridFragment = R"(#version 120
uniform sampler2D cells, fgtiles, bgtiles, palette;
uniform vec2 viewsize, cellpx, tilesize, atlassize;
uniform float across, first, transparent;
varying vec2 local;
float Byte(float v) { return floor(v * 255.0 + 0.5); }
vec3 Colour(float i) { return texture2D(palette, vec2((i + 0.5) / 256.0, 0.5)).rgb; }
bool Paintable(float c) { return c != transparent && c != 255.0; }
void main() {
    vec2 cell = floor(local / cellpx);
    vec4 c = texture2D(cells, (cell + 0.5) / viewsize);
    float g = Byte(c.r), f = Byte(c.g), b = Byte(c.b);
    if (f == b) {
        if (!Paintable(f)) discard;
        gl_FragColor = vec4(Colour(f), 1.0);
        return;
    }
    vec2 texel = floor((local - cell * cellpx) * tilesize / cellpx);
    float frame = first + g;
    vec2 tile = vec2(mod(frame, across), floor(frame / across));
    vec2 uv = (tile * tilesize + texel + 0.5) / atlassize;
    vec4 ft = texture2D(fgtiles, uv);
    if (Paintable(f) && ft.a >= 0.5) {
        gl_FragColor = vec4(ft.rgb * Colour(f), 1.0);
        return;
    }
    vec4 bt = texture2D(bgtiles, uv);
    if (Paintable(b) && bt.a >= 0.5) {
        gl_FragColor = vec4(bt.rgb * Colour(b), 1.0);
        return;
    }
    discard;
})";

struct GlRenderer::GridGl {
    PFNGLCREATESHADERPROC CreateShader;
    PFNGLSHADERSOURCEPROC ShaderSource;
    PFNGLCOMPILESHADERPROC CompileShader;
    PFNGLGETSHADERIVPROC GetShaderiv;
    PFNGLCREATEPROGRAMPROC CreateProgram;
    PFNGLATTACHSHADERPROC AttachShader;
    PFNGLLINKPROGRAMPROC LinkProgram;
    PFNGLGETPROGRAMIVPROC GetProgramiv;
    PFNGLDELETESHADERPROC DeleteShader;
    PFNGLDELETEPROGRAMPROC DeleteProgram;
    PFNGLUSEPROGRAMPROC UseProgram;
    PFNGLGETUNIFORMLOCATIONPROC GetUniformLocation;
    PFNGLUNIFORM1IPROC Uniform1i;
    PFNGLUNIFORM1FPROC Uniform1f;
    PFNGLUNIFORM2FPROC Uniform2f;
    PFNGLACTIVETEXTUREPROC ActiveTexture;
};

GlRenderer::GlRenderer(int width, int height) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, width, height, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glDisable(GL_DITHER);
    // Mask blending: a texel is drawn whole when its alpha is at least one
    // half, not at all otherwise.
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GEQUAL, 0.5f);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    SetUpGridShader();
}

GlRenderer::~GlRenderer() {
    for (const Texture& t : textures_) glDeleteTextures(1, &t.name);
    if (grid_program_) gridgl_->DeleteProgram(grid_program_);
}

template <typename Draw>
void GlRenderer::Clipped(Draw draw) {
    if (!clips_ || clips_->empty()) {
        draw();
        return;
    }
    for (const PixelRect& r : *clips_) {
        glScissor(r.x, r.y, r.w, r.h);
        draw();
    }
}

void GlRenderer::Render(const FrameRecord& record, size_t& drawn, const std::vector<PixelRect>& clips) {
    clips_ = &clips;
    if (!clips.empty()) glEnable(GL_SCISSOR_TEST);
    const std::vector<FrameRecord::Op>& ops = record.ops();
    for (; drawn < ops.size(); ++drawn) {
        const FrameRecord::Op& op = ops[drawn];
        switch (op.kind) {
            case FrameRecord::Op::kClear:
                batch_.clear();  // everything batched would be cleared anyway
                glClearColor(op.rgb[0] / 255.0f, op.rgb[1] / 255.0f, op.rgb[2] / 255.0f, 1.0f);
                Clipped([] { glClear(GL_COLOR_BUFFER_BIT); });
                break;
            case FrameRecord::Op::kImage:
            case FrameRecord::Op::kQuads: {
                const Quad* q = record.QuadsOf(op);
                batch_.reserve(batch_.size() + op.count * 4);
                for (size_t i = 0; i < op.count; i++) Push(q[i]);
                break;
            }
            case FrameRecord::Op::kGrid:
                PaintGrid(record.GridOf(op));
                break;
        }
    }
    FlushGl();
    if (!clips.empty()) glDisable(GL_SCISSOR_TEST);
    clips_ = nullptr;
}

void GlRenderer::Flush() { FlushGl(); }


void GlRenderer::Push(const Quad& q) {
    float u0 = 0, v0 = 0, u1 = 0, v1 = 0;
    uint32_t texture = 0;
    if (q.image) {
        int sx, sy;
        if (!q.image->FrameOrigin(q.frame, sx, sy)) return;
        texture = TextureOf(*q.image);
        if (!texture) return;
        u0 = float(sx) / q.image->width;
        v0 = float(sy) / q.image->height;
        u1 = float(sx + q.image->cellw) / q.image->width;
        v1 = float(sy + q.image->cellh) / q.image->height;
    }
    if (texture != batch_texture_) {
        FlushGl();
        batch_texture_ = texture;
    }
    const float x1 = q.x + q.w, y1 = q.y + q.h;
    batch_.push_back({q.x, q.y, u0, v0, q.r, q.g, q.b, 255});
    batch_.push_back({x1, q.y, u1, v0, q.r, q.g, q.b, 255});
    batch_.push_back({x1, y1, u1, v1, q.r, q.g, q.b, 255});
    batch_.push_back({q.x, y1, u0, v1, q.r, q.g, q.b, 255});
}


void GlRenderer::FlushGl() {
    if (batch_.empty()) return;
    if (batch_texture_) {
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, batch_texture_);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glTexCoordPointer(2, GL_FLOAT, sizeof(Vertex), &batch_[0].u);
    } else {
        glDisable(GL_TEXTURE_2D);
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    }
    glVertexPointer(2, GL_FLOAT, sizeof(Vertex), &batch_[0].x);
    glColorPointer(4, GL_UNSIGNED_BYTE, sizeof(Vertex), &batch_[0].r);
    Clipped([this] {
        glDrawArrays(GL_QUADS, 0, GLsizei(batch_.size()));
        draw_calls_++;
    });
    batch_.clear();
}


void GlRenderer::SetUpGridShader() {
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    if (!version || version[0] < '2' || version[1] != '.') return;  // no shaders before 2.0
    auto g = std::make_unique<GridGl>();
    bool ok = true;
    auto load = [&ok](auto& fn, const char* name) {
        fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(SDL_GL_GetProcAddress(name));
        ok = ok && fn != nullptr;
    };
    load(g->CreateShader, "glCreateShader");
    load(g->ShaderSource, "glShaderSource");
    load(g->CompileShader, "glCompileShader");
    load(g->GetShaderiv, "glGetShaderiv");
    load(g->CreateProgram, "glCreateProgram");
    load(g->AttachShader, "glAttachShader");
    load(g->LinkProgram, "glLinkProgram");
    load(g->GetProgramiv, "glGetProgramiv");
    load(g->DeleteShader, "glDeleteShader");
    load(g->DeleteProgram, "glDeleteProgram");
    load(g->UseProgram, "glUseProgram");
    load(g->GetUniformLocation, "glGetUniformLocation");
    load(g->Uniform1i, "glUniform1i");
    load(g->Uniform1f, "glUniform1f");
    load(g->Uniform2f, "glUniform2f");
    load(g->ActiveTexture, "glActiveTexture");
    if (!ok) return;
    auto compile = [&g](GLenum kind, const char* source) -> GLuint {
        GLuint sh = g->CreateShader(kind);
        g->ShaderSource(sh, 1, &source, nullptr);
        g->CompileShader(sh);
        GLint done = 0;
        g->GetShaderiv(sh, GL_COMPILE_STATUS, &done);
        if (!done) {
            g->DeleteShader(sh);
            return 0;
        }
        return sh;
    };
    GLuint vs = compile(GL_VERTEX_SHADER, kGridVertex), fs = compile(GL_FRAGMENT_SHADER, kGridFragment);
    GLuint program = 0;
    if (vs && fs) {
        program = g->CreateProgram();
        g->AttachShader(program, vs);
        g->AttachShader(program, fs);
        g->LinkProgram(program);
        GLint linked = 0;
        g->GetProgramiv(program, GL_LINK_STATUS, &linked);
        if (!linked) {
            g->DeleteProgram(program);
            program = 0;
        }
    }
    if (vs) g->DeleteShader(vs);
    if (fs) g->DeleteShader(fs);
    if (!program) return;  // the rectangles will do
    g->UseProgram(program);
    g->Uniform1i(g->GetUniformLocation(program, "cells"), 1);
    g->Uniform1i(g->GetUniformLocation(program, "fgtiles"), 2);
    g->Uniform1i(g->GetUniformLocation(program, "bgtiles"), 3);
    g->Uniform1i(g->GetUniformLocation(program, "palette"), 4);
    g->UseProgram(0);
    GLuint names[2];
    glGenTextures(2, names);
    for (GLuint n : names) {
        glBindTexture(GL_TEXTURE_2D, n);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        textures_.push_back({n, {}, false, 0});
    }
    cell_texture_ = names[0];
    palette_texture_ = names[1];
    grid_program_ = program;
    gridgl_ = std::move(g);
}


void GlRenderer::PaintGrid(const GridView& v) {
    // The program samples one tile layout for both images; anything else
    // goes the general way, as rectangles.
    const bool same_layout = v.fgimage && v.bgimage && v.fgimage->width == v.bgimage->width &&
                             v.fgimage->height == v.bgimage->height && v.fgimage->cellw == v.bgimage->cellw &&
                             v.fgimage->cellh == v.bgimage->cellh && v.fgimage->first == v.bgimage->first;
    if (!GridShaderInUse() || !same_layout || v.transparent < 0 || v.transparent > 255) {
        for (const Quad& q : GridQuads(v)) Push(q);
        return;
    }
    if (v.cols <= 0 || v.rows <= 0 || !v.cells || !v.palette) return;
    GLuint fgtex = TextureOf(*v.fgimage), bgtex = TextureOf(*v.bgimage);
    if (!fgtex || !bgtex) return;
    FlushGl();
    GridGl& g = *gridgl_;

    const size_t cells = size_t(v.cols) * size_t(v.rows);
    cell_rgba_.resize(cells * 4);
    for (size_t i = 0; i < cells; i++) {
        cell_rgba_[i * 4] = v.cells[i];
        cell_rgba_[i * 4 + 1] = v.cells[cells + i];
        cell_rgba_[i * 4 + 2] = v.cells[2 * cells + i];
        cell_rgba_[i * 4 + 3] = 255;
    }
    g.ActiveTexture(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_2D, cell_texture_);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, v.cols, v.rows, 0, GL_RGBA, GL_UNSIGNED_BYTE, cell_rgba_.data());
    g.ActiveTexture(GL_TEXTURE2);
    glBindTexture(GL_TEXTURE_2D, fgtex);
    g.ActiveTexture(GL_TEXTURE3);
    glBindTexture(GL_TEXTURE_2D, bgtex);
    g.ActiveTexture(GL_TEXTURE4);
    glBindTexture(GL_TEXTURE_2D, palette_texture_);
    if (palette_copy_.size() != 768 || std::memcmp(palette_copy_.data(), v.palette, 768) != 0) {
        palette_copy_.assign(v.palette, v.palette + 768);
        uint8_t rgb[256 * 3];
        for (int i = 0; i < 256; i++) {
            rgb[i * 3] = v.palette[i];
            rgb[i * 3 + 1] = v.palette[256 + i];
            rgb[i * 3 + 2] = v.palette[512 + i];
        }
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 256, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb);
    }
    g.ActiveTexture(GL_TEXTURE0);

    const Image& im = *v.fgimage;
    g.UseProgram(grid_program_);
    g.Uniform2f(g.GetUniformLocation(grid_program_, "origin"), v.x, v.y);
    g.Uniform2f(g.GetUniformLocation(grid_program_, "viewsize"), float(v.cols), float(v.rows));
    g.Uniform2f(g.GetUniformLocation(grid_program_, "cellpx"), v.cellw, v.cellh);
    g.Uniform2f(g.GetUniformLocation(grid_program_, "tilesize"), float(im.cellw), float(im.cellh));
    g.Uniform2f(g.GetUniformLocation(grid_program_, "atlassize"), float(im.width), float(im.height));
    g.Uniform1f(g.GetUniformLocation(grid_program_, "across"), float(im.width / im.cellw));
    g.Uniform1f(g.GetUniformLocation(grid_program_, "first"), float(im.first));
    g.Uniform1f(g.GetUniformLocation(grid_program_, "transparent"), float(v.transparent));
    const float x1 = v.x + v.cols * v.cellw, y1 = v.y + v.rows * v.cellh;
    const float corners[8] = {v.x, v.y, x1, v.y, x1, y1, v.x, y1};
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(2, GL_FLOAT, 0, corners);
    Clipped([this] {
        glDrawArrays(GL_QUADS, 0, 4);
        draw_calls_++;
    });
    glEnableClientState(GL_COLOR_ARRAY);
    g.UseProgram(0);
}


uint32_t GlRenderer::TextureOf(const Image& image) {
    Texture* known = nullptr;
    if (image.texture)
        for (Texture& t : textures_)
            if (t.name == image.texture) known = &t;
    if (known && known->revision == image.revision) return image.texture;
    if (image.pixels.pixels.empty()) return 0;
    std::vector<uint8_t> rgba(image.pixels.pixels.size() * 4);
    for (size_t i = 0; i < image.pixels.pixels.size(); i++) {
        uint32_t p = image.pixels.pixels[i];
        rgba[i * 4] = uint8_t(p >> 16);
        rgba[i * 4 + 1] = uint8_t(p >> 8);
        rgba[i * 4 + 2] = uint8_t(p);
        rgba[i * 4 + 3] = uint8_t(p >> 24);
    }
    FlushGl();  // binding a new texture must not disturb the batch's
    if (known) {  // new pixels for an image drawn before
        glBindTexture(GL_TEXTURE_2D, known->name);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, image.pixels.width, image.pixels.height, 0, GL_RGBA,
                     GL_UNSIGNED_BYTE, rgba.data());
        known->revision = image.revision;
        return known->name;
    }
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    // Nearest texel, so glyphs stay sharp at any scale.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, image.pixels.width, image.pixels.height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 rgba.data());
    std::weak_ptr<const Image> owner = image.weak_from_this();
    const bool owned = !owner.expired();
    textures_.push_back({name, std::move(owner), owned, image.revision});
    image.texture = name;
    return name;
}

void GlRenderer::DropOrphanTextures() {
    for (size_t i = 0; i < textures_.size();) {
        if (textures_[i].owned && textures_[i].owner.expired()) {
            glDeleteTextures(1, &textures_[i].name);
            textures_[i] = textures_.back();
            textures_.pop_back();
        } else {
            ++i;
        }
    }
}


}  // namespace host
