// mshtool render: the preview's picture of the whole mesh or of one model
// (with its children), fitted, with its materials and textures, written as a
// PNG file through the same safe save as meshes; or one picture a mesh of a
// folder, several at once.
#include "tools/mshtool_render.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "files/files.h"
#include "host/host.h"
#include "mesh/msh.h"
#include "preview/render.h"
#include "tools/mshtool_check.h"

namespace tools {

namespace {

namespace fs = std::filesystem;

// "640x480": each side 1 .. 8192.
bool ReadSize(const std::string& text, int& w, int& h) {
    const size_t x = text.find('x');
    if (x == std::string::npos) return false;
    long a = 0, b = 0;
    if (!ReadCount(text.substr(0, x), 1, 8192, a) || !ReadCount(text.substr(x + 1), 1, 8192, b)) return false;
    w = int(a), h = int(b);
    return true;
}

struct Picture {
    int w = 640, h = 480;
    float yaw = preview::kHomeYaw, pitch = preview::kHomePitch;
    std::string model;  // "" the whole mesh
    bool named = false;
    preview::Style style;
    preview::Visibility kinds;
    std::vector<std::string> textures;
    mesh::namelist list;
    int matl = 1;
};

// Draws one mesh into one file. What it has to say goes to `say` (printed
// by the caller, so that files drawn at once do not mix their lines).
int RenderOne(const Picture& p, const std::string& in, const std::string& out, bool folder, std::string& say) {
    std::string why;
    mesh::mshptr m;
    try {
        m = mesh::OpenMesh(in, p.list, p.matl, &why);
    } catch (const std::bad_alloc&) {
        why = "Out of memory";
    }
    if (!m) {
        if (!folder) ReportUnreadable(in, why);
        else say += Escaped(in) + ": unable to read mesh file: " + why + "\n";
        return kFailed;
    }
    const preview::Geometry g = preview::Build(*m->hedr);
    int focus = -1;
    if (p.named) {
        focus = preview::FindModel(g, p.model);
        if (focus < 0) {
            say += (folder ? Escaped(in) + ": " : std::string()) + "No model named " + Escaped(p.model) + " in the mesh.\n";
            return kFailed;
        }
    }
    const preview::Textures textures = preview::LoadTextures(g, in, p.textures);
    for (const preview::Missing& x : textures.missing)
        say += Escaped(in) + ": texture " + Escaped(x.name) + " missing: " + x.why + "\n";
    preview::Style style = p.style;
    style.textures = &textures;
    const std::vector<uint8_t> shown = preview::Shown(g, focus, p.kinds);
    const preview::Camera cam = preview::Fit(g, shown, p.yaw, p.pitch, float(p.w) / float(p.h));
    preview::Frame frame;
    preview::Render(g, shown, cam, style, {}, p.w, p.h, frame);

    host::PixelBuffer picture;
    picture.width = frame.width;
    picture.height = frame.height;
    picture.pixels = std::move(frame.pixels);
    std::vector<uint8_t> png;
    if (!host::EncodePng(picture, png)) {
        say += "Unable to write picture file " + Escaped(out) + ".\nThe picture could not be encoded.\n";
        return kUnwritable;
    }
    host::AtomicFile file(out);
    if (!file.Ok() || !file.Write(png.data(), png.size()) || !file.Commit()) {
        say += "Unable to write picture file " + Escaped(out) + ".\n" + file.Error() + "\n";
        return kUnwritable;
    }
    return kOk;
}

// Every mesh below the folder into OUTDIR, at the same relative path with
// .png for .msh; `jobs` at once, the messages in the meshes' order.
int RenderFolder(const Picture& p, const std::string& folder, const std::string& outdir, int jobs) {
    const std::vector<MeshPath> files = CollectMeshes({folder});
    std::vector<std::string> said(files.size());
    std::vector<int> codes(files.size(), kOk);
    std::atomic<size_t> next{0};
    auto work = [&] {
        for (size_t i; (i = next++) < files.size();) {
            const MeshPath& f = files[i];
            if (!f.unreadable.empty()) {
                said[i] = Escaped(f.file) + ": " + f.unreadable + "\n";
                codes[i] = kFailed;
                continue;
            }
            fs::path out = fs::path(outdir) / fs::path(f.file).lexically_relative(folder);
            out.replace_extension(".png");
            std::error_code ec;
            fs::create_directories(out.parent_path(), ec);
            try {
                codes[i] = RenderOne(p, f.file, out.string(), true, said[i]);
            } catch (const std::bad_alloc&) {
                said[i] = "Out of memory on " + Escaped(f.file) + ".\n";
                codes[i] = kFailed;
            }
        }
    };
    std::vector<std::thread> helpers;
    for (int k = 1; k < jobs; ++k) {
        try {
            helpers.emplace_back(work);
        } catch (const std::system_error&) {
            break;
        }
    }
    work();
    for (std::thread& t : helpers) t.join();
    int code = kOk;
    for (size_t i = 0; i < files.size(); ++i) {
        std::fputs(said[i].c_str(), stderr);
        code = std::max(code, codes[i]);
    }
    std::fprintf(stderr, "%zu meshes drawn into %s\n",
                 size_t(std::count(codes.begin(), codes.end(), int(kOk))), Escaped(outdir).c_str());
    return code;
}

}  // namespace

int RunRender(const Args& a) {
    Picture p;
    long jobs = long(std::max(1u, std::thread::hardware_concurrency()));
    if ((a.Has("--size") && !ReadSize(a.Value("--size"), p.w, p.h)) ||
        (a.Has("--yaw") && !ReadReal(a.Value("--yaw"), -3600, 3600, p.yaw)) ||
        (a.Has("--pitch") && !ReadReal(a.Value("--pitch"), -90, 90, p.pitch)) ||
        (a.Has("--jobs") && !ReadCount(a.Value("--jobs"), 1, 256, jobs)))
        return Usage(*a.command);
    p.named = a.Has("--model");
    p.model = a.Value("--model");
    p.style.wireframe = a.Has("--wireframe");
    p.style.bones = a.Has("--bones");
    p.style.hardpoints = a.Has("--hardpoints");
    p.kinds.collision = a.Has("--collision");
    p.kinds.shadow = a.Has("--shadow");
    for (const auto& [name, value] : a.options)
        if (name == "--textures") p.textures.push_back(value);
    p.list = a.list;
    p.matl = a.matl;

    if (host::PathKind(a.operands[0]) == host::EntryKind::Directory)
        return RenderFolder(p, a.operands[0], a.operands[1], int(jobs));
    p.style.threads = 2;
    std::string say;
    const int code = RenderOne(p, a.operands[0], a.operands[1], false, say);
    std::fputs(say.c_str(), stderr);
    return code;
}

}  // namespace tools
