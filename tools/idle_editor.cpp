// The editor in its window, as vornabel runs it, for the measuring scripts.
//
//   idle_editor [--every-frame] MESH
//       runs the editor on the mesh and prints, once, the seconds from the
//       start of the program to the first frame shown; --every-frame shows
//       every frame whatever it holds, as the window did before it compared
//       frames (the baseline of tools/idle_cpu.sh)
//   idle_editor --make-mesh PATH MEGABYTES
//       writes a large mesh (see tools/bigmesh.h)
//
// Run from a directory that holds mdata/ and data/image/.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "display/display.h"
#include "editor/editor.h"
#include "host/sdl_host.h"
#include "tools/bigmesh.h"

namespace {

using Clock = std::chrono::steady_clock;

class MeasuredHost : public host::SdlHost {
public:
    explicit MeasuredHost(bool every) : every_(every) {}

    void Flip(int sync) override {
        if (every_) RequestRedraw();
        const int before = PresentedFrames();
        SdlHost::Flip(sync);
        if (!reported_ && PresentedFrames() > before) {
            reported_ = true;
            std::printf("first frame: %.3f s\n", std::chrono::duration<double>(Clock::now() - start_).count());
            std::fflush(stdout);
        }
    }

private:
    bool every_;
    bool reported_ = false;
    Clock::time_point start_ = Clock::now();
};

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 3 && args[0] == "--make-mesh") {
        const std::vector<uint8_t> bytes = bigmesh::Make(size_t(std::atoi(args[2].c_str())) << 20);
        std::FILE* f = std::fopen(args[1].c_str(), "wb");
        const bool ok = f && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
        if (f) std::fclose(f);
        if (!ok) std::fprintf(stderr, "cannot write %s\n", args[1].c_str());
        return ok ? 0 : 1;
    }
    const bool every = !args.empty() && args[0] == "--every-frame";
    if (every) args.erase(args.begin());
    if (args.size() != 1) {
        std::fprintf(stderr, "usage: idle_editor [--every-frame] MESH | --make-mesh PATH MEGABYTES\n");
        return 2;
    }
    MeasuredHost host(every);
    display::Display display(host);
    editor::Editor editor(host, display);
    editor.Startup(args);
    editor.Run();
    return 0;
}
