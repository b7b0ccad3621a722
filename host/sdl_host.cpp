// The real window: SDL2 window and input, OpenGL drawing.
#include "host/sdl_host.h"

#include <SDL2/SDL_opengl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
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

struct SdlHost::GridGl {
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

int MapSdlKey(SDL_Keycode key) {
    if (key >= SDLK_a && key <= SDLK_z) return 'A' + (key - SDLK_a);
    if (key >= SDLK_0 && key <= SDLK_9) return '0' + (key - SDLK_0);
    if (key >= SDLK_F1 && key <= SDLK_F12) return kKeyF1 + (key - SDLK_F1);
    switch (key) {
        case SDLK_BACKSPACE: return kKeyBackspace;
        case SDLK_TAB: return kKeyTab;
        case SDLK_RETURN:
        case SDLK_KP_ENTER: return kKeyEnter;
        case SDLK_ESCAPE: return kKeyEscape;
        case SDLK_SPACE: return kKeySpace;
        case SDLK_PAGEUP: return kKeyPageUp;
        case SDLK_PAGEDOWN: return kKeyPageDown;
        case SDLK_END: return kKeyEnd;
        case SDLK_HOME: return kKeyHome;
        case SDLK_LEFT: return kKeyLeft;
        case SDLK_UP: return kKeyUp;
        case SDLK_RIGHT: return kKeyRight;
        case SDLK_DOWN: return kKeyDown;
        case SDLK_INSERT: return kKeyInsert;
        case SDLK_DELETE: return kKeyDelete;
        case SDLK_LSHIFT: return kKeyLeftShift;
        case SDLK_RSHIFT: return kKeyRightShift;
        case SDLK_LCTRL: return kKeyLeftControl;
        case SDLK_RCTRL: return kKeyRightControl;
        case SDLK_LALT: return kKeyLeftAlt;
        case SDLK_RALT: return kKeyRightAlt;
        default: return 0;
    }
}

Placement PlacePicture(int w, int h, int dw, int dh) {
    Placement p;
    if (w <= 0 || h <= 0 || dw <= 0 || dh <= 0) {
        p.w = std::max(w, 0);
        p.h = std::max(h, 0);
        return p;
    }
    p.scale = std::min(float(dw) / float(w), float(dh) / float(h));
    p.w = std::max(1, std::min(dw, int(std::lround(w * p.scale))));
    p.h = std::max(1, std::min(dh, int(std::lround(h * p.scale))));
    p.x = (dw - p.w) / 2;
    p.y = (dh - p.h) / 2;
    return p;
}

void PictureFromDrawable(const Placement& p, int px, int py, int& x, int& y) {
    const float s = p.scale > 0 ? p.scale : 1;
    x = int(std::floor((px - p.x + 0.5f) / s));
    y = int(std::floor((py - p.y + 0.5f) / s));
}

float FitFactor(int w, int h, int aw, int ah) {
    if (w <= 0 || h <= 0 || aw <= 0 || ah <= 0) return 1;
    return std::min({1.0f, float(aw) / float(w), float(ah) / float(h)});
}

SdlHost::SdlHost() : OwnedSystemClock{std::make_unique<SystemClock>()}, Host(*own_clock) {}

SdlHost::SdlHost(Clock& clock) : Host(clock) {}

SdlHost::~SdlHost() { Close(); }

void SdlHost::Close() {
    if (gl_) {
        SDL_GL_MakeCurrent(window_, gl_);
        for (const Texture& t : textures_) glDeleteTextures(1, &t.name);
        textures_.clear();
        if (grid_program_) gridgl_->DeleteProgram(grid_program_);
        grid_program_ = 0;
        SDL_GL_DeleteContext(gl_);
        gl_ = nullptr;
    }
    if (window_) SDL_DestroyWindow(window_);
    window_ = nullptr;
    if (sdl_started_) SDL_Quit();
    sdl_started_ = false;
}

bool SdlHost::OpenWindow(int width, int height, int /*depth*/, int hertz, int /*flags*/) {
    if (window_ || width <= 0 || height <= 0) return false;
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "SDL: %s\n", SDL_GetError());
        return false;
    }
    sdl_started_ = true;
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    // A window larger than the usable part of the screen (without panels
    // and, once known, the window's frame) shrinks until all of it fits;
    // the picture is scaled into it, as into any size the window manager
    // gives the window later.
    SDL_Rect usable{0, 0, 0, 0};
    float fit = 1;
    if (SDL_GetDisplayUsableBounds(0, &usable) == 0) fit = FitFactor(width, height, usable.w, usable.h);
    window_ = SDL_CreateWindow(title_.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                               std::max(1, int(width * fit)), std::max(1, int(height * fit)),
                               SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN | SDL_WINDOW_RESIZABLE);
    if (!window_) {
        std::fprintf(stderr, "SDL: %s\n", SDL_GetError());
        Close();
        return false;
    }
    int top = 0, left = 0, bottom = 0, right = 0;
    if (usable.w > 0 && SDL_GetWindowBordersSize(window_, &top, &left, &bottom, &right) == 0 &&
        (top + bottom > 0 || left + right > 0)) {
        const float framed = FitFactor(width, height, usable.w - left - right, usable.h - top - bottom);
        if (framed < fit) {
            SDL_SetWindowSize(window_, std::max(1, int(width * framed)), std::max(1, int(height * framed)));
            SDL_SetWindowPosition(window_, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
        }
    }
    gl_ = SDL_GL_CreateContext(window_);
    if (!gl_) {
        std::fprintf(stderr, "SDL: %s\n", SDL_GetError());
        Close();
        return false;
    }
    SDL_GL_SetSwapInterval(0);  // Flip paces itself; never wait for the display
    window_w_ = width;
    window_h_ = height;
    hertz_ = hertz > 0 ? hertz : 60;

    Place();
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

    SDL_StartTextInput();
    SetUpGridShader();
    pacer_.Start(hertz_, clock_.ClockMs());
    ClearScreen();
    PumpEvents();
    return true;
}

void SdlHost::Place() {
    if (!window_ || !gl_) return;
    int dw = 0, dh = 0, ww = 0, wh = 0;
    SDL_GL_GetDrawableSize(window_, &dw, &dh);
    SDL_GetWindowSize(window_, &ww, &wh);
    if (dw <= 0 || dh <= 0 || ww <= 0 || wh <= 0) return;  // minimized: keep the last placement
    window_to_drawable_x_ = float(dw) / float(ww);
    window_to_drawable_y_ = float(dh) / float(wh);
    place_ = PlacePicture(window_w_, window_h_, dw, dh);
    // The program draws in its own pixels; the viewport scales them into
    // the window (OpenGL counts rows from the bottom).
    glViewport(place_.x, dh - place_.y - place_.h, place_.w, place_.h);
    redraw_ = true;
}

void SdlHost::PointerAt(int wx, int wy) {
    PictureFromDrawable(place_, int(wx * window_to_drawable_x_), int(wy * window_to_drawable_y_), input_.pointer_x,
                        input_.pointer_y);
}

void SdlHost::ClearScreen() {
    if (!gl_) return;
    composed_.Clear(cls_[0], cls_[1], cls_[2]);
    drawn_ops_ = 0;
}

void SdlHost::Render() {
    const std::vector<FrameRecord::Op>& ops = composed_.ops();
    for (; drawn_ops_ < ops.size(); ++drawn_ops_) {
        const FrameRecord::Op& op = ops[drawn_ops_];
        switch (op.kind) {
            case FrameRecord::Op::kClear:
                batch_.clear();  // everything batched would be cleared anyway
                glClearColor(op.rgb[0] / 255.0f, op.rgb[1] / 255.0f, op.rgb[2] / 255.0f, 1.0f);
                glClear(GL_COLOR_BUFFER_BIT);
                break;
            case FrameRecord::Op::kImage:
            case FrameRecord::Op::kQuads: {
                const Quad* q = composed_.QuadsOf(op);
                batch_.reserve(batch_.size() + op.count * 4);
                for (size_t i = 0; i < op.count; i++) Push(q[i]);
                break;
            }
            case FrameRecord::Op::kGrid:
                PaintGrid(composed_.GridOf(op));
                break;
        }
    }
}

void SdlHost::Flip(int sync) {
    if (!gl_) return;
    const bool show = FrameChanged();
    if (show) {
        Render();
        FlushGl();
    }
    if (sync == -1) PaceFrame();
    if (show) {
        SDL_GL_SwapWindow(window_);
        last_draw_calls_ = draw_calls_;
        FramePresented();
        DropOrphanTextures();
    } else {
        FrameSkipped();
    }
    draw_calls_ = 0;
    drawn_ops_ = 0;
    PumpEvents();
}

bool SdlHost::CloseWaiting() {
    if (close_pending_ || !sdl_started_) return close_pending_;
    // Only looked at: the request (a close of the window, or SIGTERM) stays
    // queued with the other events for the next Flip.
    SDL_PumpEvents();
    SDL_Event e;
    return SDL_PeepEvents(&e, 1, SDL_PEEKEVENT, SDL_QUIT, SDL_QUIT) > 0;
}

void SdlHost::WaitMs(int64_t ms) {
    if (!sdl_started_) {
        clock_.SleepMs(ms);
        return;
    }
    const int64_t until = clock_.ClockMs() + ms;
    for (int64_t left = ms; left > 0; left = until - clock_.ClockMs()) {
        SDL_Event e;
        if (SDL_WaitEventTimeout(&e, int(std::min<int64_t>(left, 1000))) == 1) HandleEvent(e);
    }
}

void SdlHost::EndProgram() {
    Close();
    std::exit(0);
}

void SdlHost::FatalError(const std::string& text) {
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
    std::string caption = title_.empty() ? "Error" : title_;
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption.c_str(), text.c_str(), window_);
    Close();
    std::exit(1);
}

void SdlHost::ShowMessage(const std::string& title, const std::string& text) {
    std::fprintf(stderr, "%s\n%s\n", title.c_str(), text.c_str());
    std::fflush(stderr);
    std::string body = title + "\n\n" + text;
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_WARNING, title.c_str(), body.c_str(), window_);
}

void SdlHost::DrawRect(float x, float y, float w, float h) {
    const Quad q{x, y, w * scale_x_, h * scale_y_, nullptr, 0, color_[0], color_[1], color_[2]};
    composed_.Add(&q, 1);
}

void SdlHost::DrawImageFrame(const Image& image, float x, float y, int frame) {
    const Quad q{x, y, image.cellw * scale_x_, image.cellh * scale_y_, &image, frame, color_[0], color_[1], color_[2]};
    composed_.Add(&q, 1);
}

void SdlHost::DrawQuads(const Quad* quads, size_t count) { composed_.Add(quads, count); }

void SdlHost::DrawImage(const Image& image, float x, float y, float w, float h) {
    composed_.AddImage(Quad{x, y, w, h, &image, 0, 255, 255, 255});
}

void SdlHost::Push(const Quad& q) {
    if (!gl_) return;
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

void SdlHost::FlushBatch() {
    if (!gl_) return;
    Render();
    FlushGl();
}

void SdlHost::FlushGl() {
    if (batch_.empty() || !gl_) return;
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
    glDrawArrays(GL_QUADS, 0, GLsizei(batch_.size()));
    draw_calls_++;
    batch_.clear();
}

void SdlHost::SetUpGridShader() {
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

void SdlHost::DrawGrid(const GridView& v) { composed_.Add(v); }

void SdlHost::PaintGrid(const GridView& v) {
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
    glDrawArrays(GL_QUADS, 0, 4);
    glEnableClientState(GL_COLOR_ARRAY);
    g.UseProgram(0);
    draw_calls_++;
}

uint32_t SdlHost::TextureOf(const Image& image) {
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

void SdlHost::DropOrphanTextures() {
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

void SdlHost::Finish() {
    if (!gl_) return;
    FlushBatch();
    glFinish();
}

bool SdlHost::ReadBackBuffer(PixelBuffer& out) {
    if (!gl_) return false;
    FlushBatch();
    // The picture as the window shows it: its own size unless it is scaled.
    int dw = 0, dh = 0;
    SDL_GL_GetDrawableSize(window_, &dw, &dh);
    const int w = place_.w, h = place_.h;
    std::vector<uint8_t> rgba(size_t(w) * h * 4);
    glReadBuffer(GL_BACK);
    glReadPixels(place_.x, dh - place_.y - h, w, h, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    out.width = w;
    out.height = h;
    out.pixels.resize(size_t(w) * h);
    for (int y = 0; y < h; y++)  // GL rows go bottom up
        for (int x = 0; x < w; x++) {
            const uint8_t* p = &rgba[(size_t(h - 1 - y) * w + x) * 4];
            out.pixels[size_t(y) * w + x] = 0xFF000000u | (p[0] << 16) | (p[1] << 8) | p[2];
        }
    return true;
}

void SdlHost::PumpEvents() {
    if (!sdl_started_) return;
    for (int b = 1; b <= 3; ++b) {
        if (release_deferred_[b]) input_.ButtonUp(b);
        release_deferred_[b] = pressed_in_batch_[b] = false;
    }
    SDL_Event e;
    while (SDL_PollEvent(&e)) HandleEvent(e);
}

static int DecodeUtf8(const char*& s) {
    unsigned char c = static_cast<unsigned char>(*s++);
    int more = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
    if (more < 0) return -1;
    int v = more == 0 ? c : c & (0x3F >> more);
    for (int k = 0; k < more; k++) {
        if ((static_cast<unsigned char>(*s) & 0xC0) != 0x80) return -1;
        v = (v << 6) | (static_cast<unsigned char>(*s++) & 0x3F);
    }
    return v;
}

void SdlHost::HandleEvent(const SDL_Event& e) {
    switch (e.type) {
        case SDL_QUIT:
            close_pending_ = true;
            break;
        case SDL_WINDOWEVENT:
            switch (e.window.event) {
                case SDL_WINDOWEVENT_CLOSE:
                    close_pending_ = true;
                    break;
                case SDL_WINDOWEVENT_FOCUS_LOST:  // no key stays held behind our back
                    for (int k = 0; k < InputState::kKeys; k++) input_.KeyUp(k);
                    redraw_ = true;
                    break;
                case SDL_WINDOWEVENT_SIZE_CHANGED:
                    Place();
                    break;
                case SDL_WINDOWEVENT_EXPOSED:
                case SDL_WINDOWEVENT_SHOWN:
                case SDL_WINDOWEVENT_RESTORED:
                case SDL_WINDOWEVENT_MAXIMIZED:
                case SDL_WINDOWEVENT_FOCUS_GAINED:
                case SDL_WINDOWEVENT_TAKE_FOCUS:
                    redraw_ = true;  // the window system wants the picture again
                    break;
                default:
                    break;
            }
            break;
        case SDL_KEYDOWN: {
            int code = MapSdlKey(e.key.keysym.sym);
            const Uint16 m = e.key.keysym.mod;
            const int mods = ((m & KMOD_CTRL) ? kModControl : 0) | ((m & KMOD_SHIFT) ? kModShift : 0) |
                             ((m & KMOD_ALT) ? kModAlt : 0);
            if (code) input_.KeyDown(code, mods);  // repeats count as presses
            if (code == kKeyBackspace) input_.TypeChar(8);
            if (code == kKeyEnter) input_.TypeChar(13);
            break;
        }
        case SDL_KEYUP: {
            int code = MapSdlKey(e.key.keysym.sym);
            if (code) input_.KeyUp(code);
            break;
        }
        case SDL_TEXTINPUT:
            // Characters that fit one byte (Latin-1) reach the program.
            for (const char* s = e.text.text; *s;) {
                int c = DecodeUtf8(s);
                if (c > 0 && c < 256) input_.TypeChar(c);
                if (c < 0) break;
            }
            break;
        case SDL_MOUSEMOTION:
            PointerAt(e.motion.x, e.motion.y);
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            int b = e.button.button == SDL_BUTTON_LEFT ? 1 : e.button.button == SDL_BUTTON_RIGHT ? 2
                  : e.button.button == SDL_BUTTON_MIDDLE ? 3 : 0;
            PointerAt(e.button.x, e.button.y);
            if (e.type == SDL_MOUSEBUTTONDOWN) {
                input_.ButtonDown(b);
                pressed_in_batch_[b] = true;
                release_deferred_[b] = false;
            } else if (pressed_in_batch_[b]) {
                release_deferred_[b] = true;
            } else {
                input_.ButtonUp(b);
            }
            break;
        }
        case SDL_MOUSEWHEEL: {
            int y = e.wheel.y;
            if (e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) y = -y;
            input_.wheel += y;  // away from the user is positive
            break;
        }
        default:
            break;
    }
}

}  // namespace host
