// The parts of the window host that do not depend on the window system:
// input state, frame pacing, drawing state and image loading.
#include "host/host.h"

#include <algorithm>

namespace host {

uint32_t ReadPixel(const PixelBuffer& buffer, int x, int y) {
    if (x < 0 || y < 0 || x >= buffer.width || y >= buffer.height) return 0;
    return buffer.pixels[static_cast<size_t>(y) * buffer.width + x];
}

bool Image::FrameOrigin(int frame, int& sx, int& sy) const {
    if (frame < 0 || frame >= count || cellw <= 0 || cellh <= 0) return false;
    int across = width / cellw;
    if (across <= 0) return false;
    int cell = first + frame;
    sx = (cell % across) * cellw;
    sy = (cell / across) * cellh;
    return sy + cellh <= height;
}

// ---- InputState ------------------------------------------------------------

static bool ValidKey(int code) { return code >= 0 && code < InputState::kKeys; }

void InputState::KeyDown(int code, int mods) {
    if (!ValidKey(code)) return;
    if (mods < 0) mods = HeldModifiers();
    presses_[code][mods & (kModCombos - 1)]++;
    held_[code] = true;
}

int InputState::HeldModifiers() const {
    int mods = 0;
    if (held_[kKeyLeftControl] || held_[kKeyRightControl]) mods |= kModControl;
    if (held_[kKeyLeftShift] || held_[kKeyRightShift]) mods |= kModShift;
    if (held_[kKeyLeftAlt] || held_[kKeyRightAlt]) mods |= kModAlt;
    return mods;
}

void InputState::KeyUp(int code) {
    if (ValidKey(code)) held_[code] = false;
}

void InputState::TypeChar(int code) {
    if (code <= 0 || queue_.size() >= kQueueSize) return;
    queue_.push_back(code);
}

void InputState::ButtonDown(int button) {
    if (button >= 1 && button <= 3) buttons[button] = true;
}

void InputState::ButtonUp(int button) {
    if (button >= 1 && button <= 3) buttons[button] = false;
}

int InputState::KeyPresses(int code) {
    if (!ValidKey(code)) return 0;
    int n = 0;
    for (int& p : presses_[code]) {
        n += p;
        p = 0;
    }
    return n;
}

int InputState::KeyPresses(int code, int mods, int mask) {
    if (!ValidKey(code)) return 0;
    int n = 0;
    for (int m = 0; m < kModCombos; ++m)
        if ((m & mask) == (mods & mask)) {
            n += presses_[code][m];
            presses_[code][m] = 0;
        }
    return n;
}

bool InputState::KeyHeld(int code) const { return ValidKey(code) && held_[code]; }

int InputState::NextTypedChar() {
    if (queue_.empty()) return 0;
    int c = queue_.front();
    queue_.erase(queue_.begin());
    return c;
}

void InputState::ClearKeys() {
    queue_.clear();
    for (auto& p : presses_) std::fill(std::begin(p), std::end(p), 0);
    std::fill(std::begin(held_), std::end(held_), false);
}

void InputState::ClearPointer() {
    std::fill(std::begin(buttons), std::end(buttons), false);
    wheel = 0;
}

// ---- FramePacer ------------------------------------------------------------

void FramePacer::Start(int hertz, int64_t now) {
    hertz_ = hertz > 0 ? hertz : 60;
    step_ = 1000 / hertz_;
    remainder_ = 1000 % hertz_;
    acc_ = 0;
    due_ = now;
    started_ = true;
}

int64_t FramePacer::Next(int64_t now) {
    if (!started_) Start(hertz_, now);
    due_ += step_;
    acc_ += remainder_;
    if (acc_ >= hertz_) {
        acc_ -= hertz_;
        due_ += 1;
    }
    if (due_ > now) return due_ - now;
    due_ = now;  // late: start again from now instead of catching up
    return 0;
}

// ---- Host ------------------------------------------------------------------

void Host::FramePresented() {
    std::swap(presented_, composed_);
    composed_.Reset();
    redraw_ = false;
    ++presented_frames_;
}

void Host::FrameSkipped() {
    composed_.Reset();
    ++skipped_frames_;
}

static uint8_t Clamp255(int v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); }

bool Host::CloseRequested() {
    bool r = close_pending_;
    close_pending_ = false;
    return r;
}

void Host::ModalFlip() {
    Flip(Pace::kHertz);
    if (!CloseRequested()) return;
    if (close_guard_) {
        if (guarding_) return;
        guarding_ = true;
        bool end = false;
        try {
            end = close_guard_();
        } catch (...) {
            guarding_ = false;
            throw;
        }
        guarding_ = false;
        if (!end) return;
    }
    EndProgram();
}

void Host::SetMaskRGB(int r, int g, int b) {
    mask_[0] = Clamp255(r);
    mask_[1] = Clamp255(g);
    mask_[2] = Clamp255(b);
}

int Host::ButtonHeld(int button) const {
    if (button < 1 || button > 3) return 0;
    return input_.buttons[button] ? 1 : 0;
}

void Host::ApplyMask(PixelBuffer& pixels) const {
    uint32_t key = (uint32_t(mask_[0]) << 16) | (uint32_t(mask_[1]) << 8) | mask_[2];
    for (uint32_t& p : pixels.pixels)
        if ((p & 0xFFFFFFu) == key) p &= 0xFFFFFFu;  // alpha 0
}

void Host::PaceFrame() {
    int64_t wait = pacer_.Next(clock_.ClockMs());
    if (wait > 0) clock_.SleepMs(wait);
}

ImagePtr Host::LoadImageFile(const std::string& path) {
    redraw_ = true;  // records know images by address, which a new image may reuse
    auto image = std::make_shared<Image>();
    if (!LoadPng(path, image->pixels)) return nullptr;
    image->width = image->pixels.width;
    image->height = image->pixels.height;
    image->cellw = image->width;
    image->cellh = image->height;
    image->first = 0;
    image->count = 1;
    return image;
}

ImagePtr Host::LoadImageCells(const std::string& path, int cellw, int cellh, int first, int count) {
    if (cellw <= 0 || cellh <= 0 || first < 0 || count <= 0) return nullptr;
    redraw_ = true;  // records know images by address, which a new image may reuse
    auto image = std::make_shared<Image>();
    if (!LoadPng(path, image->pixels)) return nullptr;
    image->width = image->pixels.width;
    image->height = image->pixels.height;
    int across = image->width / cellw, down = image->height / cellh;
    if (across <= 0 || down <= 0 || first + count > across * down) return nullptr;
    image->cellw = cellw;
    image->cellh = cellh;
    image->first = first;
    image->count = count;
    ApplyMask(image->pixels);
    return image;
}

PixelBufferPtr Host::LoadPixelBuffer(const std::string& path) {
    auto buffer = std::make_shared<PixelBuffer>();
    if (!LoadPng(path, *buffer)) return nullptr;
    return buffer;
}

static bool UsablePixels(const PixelBuffer& p) {
    return p.width > 0 && p.height > 0 && p.width <= 16384 && p.height <= 16384 &&
           p.pixels.size() == size_t(p.width) * size_t(p.height);
}

ImagePtr Host::MakeImage(PixelBuffer pixels) {
    if (!UsablePixels(pixels)) return nullptr;
    redraw_ = true;  // records know images by address, which a new image may reuse
    auto image = std::make_shared<Image>();
    image->width = image->cellw = pixels.width;
    image->height = image->cellh = pixels.height;
    image->pixels = std::move(pixels);
    return image;
}

bool Host::SetImagePixels(Image& image, PixelBuffer pixels) {
    if (!UsablePixels(pixels)) return false;
    image.width = image.cellw = pixels.width;
    image.height = image.cellh = pixels.height;
    image.first = 0;
    image.count = 1;
    image.pixels = std::move(pixels);
    image.revision++;
    return true;
}

std::vector<Quad> GridQuads(const GridView& v) {
    std::vector<Quad> out;
    if (v.cols <= 0 || v.rows <= 0 || !v.cells || !v.palette) return out;
    const size_t cells = size_t(v.cols) * size_t(v.rows);
    std::vector<Quad> solid, back, fore;
    back.reserve(cells);
    fore.reserve(cells);
    auto paintable = [&v](int c) { return c != v.transparent && c != 255; };
    auto quad = [&v](float px, float py, const Image* im, int g, int c) {
        return Quad{px, py, v.cellw, v.cellh, im, g, v.palette[c], v.palette[256 + c], v.palette[512 + c]};
    };
    for (int col = 0; col < v.cols; col++) {
        const float px = v.x + col * v.cellw;
        for (int row = 0; row < v.rows; row++) {
            const size_t i = size_t(col) + size_t(row) * size_t(v.cols);
            const int g = v.cells[i], f = v.cells[cells + i], b = v.cells[2 * cells + i];
            const float py = v.y + row * v.cellh;
            if (f == b) {
                if (paintable(f)) solid.push_back(quad(px, py, nullptr, 0, f));
                continue;
            }
            if (paintable(b) && v.bgimage) back.push_back(quad(px, py, v.bgimage, g, b));
            if (paintable(f) && v.fgimage) fore.push_back(quad(px, py, v.fgimage, g, f));
        }
    }
    out = std::move(solid);
    out.insert(out.end(), back.begin(), back.end());
    out.insert(out.end(), fore.begin(), fore.end());
    return out;
}

void Host::DrawGrid(const GridView& v) {
    const std::vector<Quad> quads = GridQuads(v);
    if (!quads.empty()) DrawQuads(quads.data(), quads.size());
}

std::string Host::RequestFile(const std::string& title, const std::string& filter, bool save,
                              const std::string& initial) {
    if (!requester_) return "";
    return requester_(title, filter, save, initial);
}

}  // namespace host
