// The real window: SDL2 window and input, OpenGL drawing.
#include "host/sdl_host.h"

#include <SDL2/SDL_opengl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <type_traits>

#include "host/utf8.h"

namespace host {

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
        renderer_.reset();
        SDL_GL_DeleteContext(gl_);
        gl_ = nullptr;
    }
    if (window_) SDL_DestroyWindow(window_);
    window_ = nullptr;
    if (sdl_started_) SDL_Quit();
    sdl_started_ = false;
}

bool SdlHost::OpenWindow(int width, int height, int hertz) {
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

    renderer_ = std::make_unique<GlRenderer>(width, height);
    Place();
    keeps_back_buffer_ = BackBufferKept();
    SDL_StartTextInput();
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
    drawable_h_ = dh;
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
    composed_.Clear(0, 0, 0);
    drawn_ops_ = 0;
}

// Two clears with a swap after each, then a look at the back buffer: it
// holds the second clear's colour when swapping copies the picture out and
// keeps it, as software OpenGL does. Where the buffers are exchanged instead
// it holds the first, or anything at all.
bool SdlHost::BackBufferKept() {
    const PixelRect whole{0, 0, place_.w, place_.h};
    auto clear_and_swap = [this](float blue) {
        glClearColor(0, 0, blue, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        SDL_GL_SwapWindow(window_);
    };
    clear_and_swap(1 / 255.0f);
    clear_and_swap(2 / 255.0f);
    uint8_t corner[4] = {}, centre[4] = {};
    glReadBuffer(GL_BACK);
    glReadPixels(place_.x, drawable_h_ - place_.y - 1, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, corner);
    glReadPixels(place_.x + whole.w / 2, drawable_h_ - place_.y - whole.h / 2, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE,
                 centre);
    return corner[0] == 0 && corner[1] == 0 && corner[2] == 2 && centre[0] == 0 && centre[1] == 0 && centre[2] == 2;
}

std::vector<PixelRect> SdlHost::DamageInDrawable() const {
    std::vector<PixelRect> clips;
    if (redraw_ || !keeps_back_buffer_ || !partial_wanted_ || drawn_ops_ > 0) return clips;
    const std::vector<PixelRect> damage = composed_.DamageSince(presented_, window_w_, window_h_);
    if (damage.size() == 1 && damage[0].x == 0 && damage[0].y == 0 && damage[0].w >= window_w_ &&
        damage[0].h >= window_h_)
        return clips;  // all of it
    // Program pixels to drawable pixels (rows from the bottom), widened by
    // a pixel so that scaled edges are covered; drawing again a pixel that
    // did not change leaves it as it was.
    const float s = place_.scale > 0 ? place_.scale : 1;
    for (const PixelRect& r : damage) {
        const int x0 = place_.x + int(std::floor(r.x * s)) - 1, x1 = place_.x + int(std::ceil((r.x + r.w) * s)) + 1;
        const int y0 = place_.y + int(std::floor(r.y * s)) - 1, y1 = place_.y + int(std::ceil((r.y + r.h) * s)) + 1;
        clips.push_back({x0, drawable_h_ - y1, x1 - x0, y1 - y0});
    }
    if (clips.empty()) clips.push_back({0, 0, 0, 0});  // records differ but paint the same: nothing to draw
    return clips;
}

void SdlHost::Flip(Pace pace) {
    if (!gl_) return;
    const bool show = FrameChanged();
    if (show) renderer_->Render(composed_, drawn_ops_, DamageInDrawable());
    if (pace == Pace::kHertz) PaceFrame();
    if (show) {
        SDL_GL_SwapWindow(window_);
        last_draw_calls_ = renderer_->TakeDrawCalls();
        FramePresented();
        renderer_->DropOrphanTextures();
    } else {
        FrameSkipped();
    }
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

bool SdlHost::WaitInput(int64_t ms) {
    if (!sdl_started_) return Host::WaitInput(ms);
    const int64_t until = clock_.ClockMs() + ms;
    for (int64_t left = ms; left > 0 && !fresh_; left = until - clock_.ClockMs()) {
        SDL_Event e;
        if (SDL_WaitEventTimeout(&e, int(std::min<int64_t>(left, 1000))) == 1) HandleEvent(e);
    }
    return fresh_;
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

std::string SdlHost::ClipboardText() {
    if (!sdl_started_ || !SDL_HasClipboardText()) return "";
    char* text = SDL_GetClipboardText();
    if (!text) return "";
    std::string out(text);
    SDL_free(text);
    return out;
}

void SdlHost::ShowMessage(const std::string& title, const std::string& text) {
    std::fprintf(stderr, "%s\n%s\n", title.c_str(), text.c_str());
    std::fflush(stderr);
    std::string body = title + "\n\n" + text;
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_WARNING, title.c_str(), body.c_str(), window_);
}

void SdlHost::DrawQuads(const Quad* quads, size_t count) { composed_.Add(quads, count); }

void SdlHost::DrawImage(const Image& image, float x, float y, float w, float h) {
    composed_.AddImage(Quad{x, y, w, h, &image, 0, 255, 255, 255});
}

void SdlHost::FlushBatch() {
    if (gl_) renderer_->Render(composed_, drawn_ops_);
}

void SdlHost::DrawGrid(const GridView& v) { composed_.Add(v); }

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
        if (release_deferred_[b]) {
            input_.ButtonUp(b);
            fresh_ = true;
        }
        release_deferred_[b] = pressed_in_batch_[b] = false;
    }
    SDL_Event e;
    while (SDL_PollEvent(&e)) HandleEvent(e);
}

// Input the program may answer with a new picture (see TakeFreshInput).
static bool FreshInput(const SDL_Event& e) {
    switch (e.type) {
        case SDL_QUIT:
        case SDL_KEYDOWN:
        case SDL_TEXTINPUT:
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
        case SDL_MOUSEWHEEL:
            return true;
        case SDL_WINDOWEVENT:
            return e.window.event == SDL_WINDOWEVENT_CLOSE;
        default:
            return false;
    }
}

void SdlHost::HandleEvent(const SDL_Event& e) {
    if (FreshInput(e)) fresh_ = true;
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
            for (size_t at = 0, n = std::strlen(e.text.text); at < n;) {
                const int32_t c = NextCodePoint(std::string_view(e.text.text, n), at);
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
