// The host without a window: in-memory frame buffer, scripted input, fake clock.
#include "host/headless_host.h"

#include <algorithm>
#include <cmath>

namespace host {

HeadlessHost::HeadlessHost()
    : OwnedFakeClock{std::make_unique<FakeClock>()}, Host(*own_clock), fake_(own_clock.get()) {
    InstallRequester();
}

HeadlessHost::HeadlessHost(FakeClock& clock) : Host(clock), fake_(&clock) { InstallRequester(); }

// The file dialog records each request and hands out the scripted answers in
// order; "" (cancelled) once they are used up.
void HeadlessHost::InstallRequester() {
    SetFileRequester([this](const std::string& title, const std::string& filter, bool save,
                            const std::string& initial) {
        file_requests.push_back({title, filter, save, initial});
        if (file_answers.empty()) return std::string();
        std::string answer = file_answers.front();
        file_answers.erase(file_answers.begin());
        return answer;
    });
}

HeadlessHost::~HeadlessHost() = default;

bool HeadlessHost::OpenWindow(int width, int height, int hertz) {
    open_calls++;
    open_hertz = hertz;
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384) return false;
    window_w_ = width;
    window_h_ = height;
    hertz_ = hertz > 0 ? hertz : 60;
    frame_.width = width;
    frame_.height = height;
    frame_.pixels.assign(static_cast<size_t>(width) * height, 0xFF000000u);
    pacer_.Start(hertz_, clock_.ClockMs());
    return true;
}

void HeadlessHost::ClearScreen() {
    std::fill(frame_.pixels.begin(), frame_.pixels.end(), 0xFF000000u);
    composed_.Clear(0, 0, 0);
}

void HeadlessHost::Flip(Pace pace) {
    if (frames_ >= frame_limit_) throw FrameLimitReached();
    if (FrameChanged()) {
        if (keep_shown_) shown_ = frame_;
        FramePresented();
    } else {
        FrameSkipped();
    }
    if (pace == Pace::kHertz) PaceFrame();
    flips++;
    frames_++;
    RunDue();
}

void HeadlessHost::EndProgram() { throw ProgramEnded(); }

void HeadlessHost::FatalError(const std::string& text) {
    fatal_errors.push_back(text);
    throw FatalErrorRaised(text);
}

void HeadlessHost::ShowMessage(const std::string& title, const std::string& text) {
    messages.push_back({title, text});
}

void HeadlessHost::DrawQuads(const Quad* quads, size_t count) {
    draw_calls++;
    composed_.Add(quads, count);
    for (size_t i = 0; i < count; i++) Paint(quads[i]);
}

void HeadlessHost::DrawImage(const Image& image, float x, float y, float w, float h) {
    draw_calls++;
    const Quad q{x, y, w, h, &image, 0, 255, 255, 255};
    composed_.AddImage(q);
    Paint(q);
}

// A pixel is covered when its centre lies inside the rectangle; an image
// frame is sampled at the nearest texel. Texels with alpha below one half
// are left out; the rest are multiplied by the colour.
void HeadlessHost::Paint(const Quad& q) {
    if (frame_.pixels.empty() || q.w <= 0 || q.h <= 0) return;
    int x0 = std::max(0, static_cast<int>(std::ceil(q.x - 0.5f)));
    int y0 = std::max(0, static_cast<int>(std::ceil(q.y - 0.5f)));
    int x1 = std::min(frame_.width, static_cast<int>(std::ceil(q.x + q.w - 0.5f)));
    int y1 = std::min(frame_.height, static_cast<int>(std::ceil(q.y + q.h - 0.5f)));
    if (x0 >= x1 || y0 >= y1) return;
    if (!q.image) {
        uint32_t c = 0xFF000000u | (uint32_t(q.r) << 16) | (uint32_t(q.g) << 8) | q.b;
        for (int y = y0; y < y1; y++)
            std::fill(&frame_.pixels[size_t(y) * frame_.width + x0], &frame_.pixels[size_t(y) * frame_.width + x1], c);
        return;
    }
    const Image& im = *q.image;
    int sx, sy;
    if (!im.FrameOrigin(q.frame, sx, sy) || im.pixels.pixels.empty()) return;
    for (int y = y0; y < y1; y++) {
        int v = std::clamp(static_cast<int>((y + 0.5f - q.y) * im.cellh / q.h), 0, im.cellh - 1);
        const uint32_t* row = &im.pixels.pixels[size_t(sy + v) * im.pixels.width + sx];
        uint32_t* out = &frame_.pixels[size_t(y) * frame_.width];
        for (int x = x0; x < x1; x++) {
            int u = std::clamp(static_cast<int>((x + 0.5f - q.x) * im.cellw / q.w), 0, im.cellw - 1);
            uint32_t t = row[u];
            if ((t >> 24) < 128) continue;
            uint32_t r = ((t >> 16) & 255) * q.r / 255, g = ((t >> 8) & 255) * q.g / 255, b = (t & 255) * q.b / 255;
            out[x] = 0xFF000000u | (r << 16) | (g << 8) | b;
        }
    }
}

void HeadlessHost::SetButton(int button, bool held) {
    fresh_ = true;
    if (held)
        input_.ButtonDown(button);
    else
        input_.ButtonUp(button);
}

void HeadlessHost::PressKey(int code) {
    fresh_ = true;
    input_.KeyDown(code);
    input_.KeyUp(code);
}

void HeadlessHost::HoldKey(int code, bool held) {
    fresh_ = fresh_ || held;
    if (held)
        input_.KeyDown(code);
    else
        input_.KeyUp(code);
}

void HeadlessHost::Type(const std::string& text) {
    fresh_ = fresh_ || !text.empty();
    for (unsigned char c : text) input_.TypeChar(c);
}

void HeadlessHost::OnFrame(int frame, std::function<void(HeadlessHost&)> action) {
    if (frame <= frames_) {
        action(*this);
        return;
    }
    script_.emplace(frame, std::move(action));
}

void HeadlessHost::RunDue() {
    while (!script_.empty() && script_.begin()->first <= frames_) {
        auto action = std::move(script_.begin()->second);
        script_.erase(script_.begin());
        action(*this);
    }
}

}  // namespace host
