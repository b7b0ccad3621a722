// mshtool render: the preview's picture of the whole mesh or of one model
// (with its children), fitted, written as a PNG file through the same safe
// save as meshes.
#include "tools/mshtool_render.h"

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "files/files.h"
#include "host/host.h"
#include "mesh/msh.h"
#include "preview/render.h"

namespace tools {

namespace {

// "640x480": each side 1 .. 8192.
bool ReadSize(const std::string& text, int& w, int& h) {
    const size_t x = text.find('x');
    if (x == std::string::npos) return false;
    long a = 0, b = 0;
    if (!ReadCount(text.substr(0, x), 1, 8192, a) || !ReadCount(text.substr(x + 1), 1, 8192, b)) return false;
    w = int(a), h = int(b);
    return true;
}

// Degrees: a finite number in [lo, hi].
bool ReadDegrees(const std::string& text, float lo, float hi, float& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    const float v = std::strtof(text.c_str(), &end);
    if (!end || *end != '\0' || !std::isfinite(v) || v < lo || v > hi) return false;
    out = v;
    return true;
}

}  // namespace

int RunRender(const Args& a) {
    int w = 640, h = 480;
    float yaw = 30, pitch = 20;
    if ((a.Has("--size") && !ReadSize(a.Value("--size"), w, h)) ||
        (a.Has("--yaw") && !ReadDegrees(a.Value("--yaw"), -3600, 3600, yaw)) ||
        (a.Has("--pitch") && !ReadDegrees(a.Value("--pitch"), -90, 90, pitch)))
        return Usage(*a.command);

    std::string why;
    mesh::mshptr m = mesh::OpenMesh(a.operands[0], a.list, a.matl, &why);
    if (!m) {
        ReportUnreadable(a.operands[0], why);
        return kFailed;
    }
    const preview::Geometry g = preview::Build(*m->hedr);
    int focus = -1;
    if (a.Has("--model")) {
        focus = preview::FindModel(g, a.Value("--model"));
        if (focus < 0) {
            Report(("No model named " + a.Value("--model") + " in the mesh.").c_str(), "");
            return kFailed;
        }
    }
    const std::vector<uint8_t> shown = preview::Shown(g, focus, {});
    const preview::Camera cam = preview::Fit(g, shown, yaw, pitch, float(w) / float(h));
    preview::Frame frame;
    preview::Highlight none;
    preview::Render(g, shown, cam, {a.Has("--wireframe")}, none, w, h, frame);

    host::PixelBuffer picture;
    picture.width = frame.width;
    picture.height = frame.height;
    picture.pixels = std::move(frame.pixels);
    std::vector<uint8_t> png;
    if (!host::EncodePng(picture, png)) {
        Report("Unable to write picture file.", "The picture could not be encoded.");
        return kUnwritable;
    }
    host::AtomicFile out(a.operands[1]);
    if (!out.Ok() || !out.Write(png.data(), png.size()) || !out.Commit()) {
        Report("Unable to write picture file.", out.Error());
        return kUnwritable;
    }
    return kOk;
}

}  // namespace tools
