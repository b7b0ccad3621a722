// The editor in its window, as vornabel runs it, for the measuring scripts.
//
//   idle_editor [--every-frame] [--frame-log] [--view] MESH
//       runs the editor on the mesh and prints, once, the seconds from the
//       start of the program to the first frame shown; --every-frame shows
//       every frame whatever it holds, as the window did before it compared
//       frames (the baseline of tools/idle_cpu.sh); --frame-log prints
//       "shown NANOSECONDS MICROSECONDS" after each frame the window shows:
//       the system's wall clock then (as date +%s%N) and the process time
//       its Flip took (for tools/click_latency.sh); --view selects the root
//       and shows the whole mesh in the inspector's 3D preview
//   idle_editor --make-mesh PATH MEGABYTES
//       writes a large mesh (see bench/support/bigmesh.h)
//
// Run from a directory that holds mdata/ and data/image/.
#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "display/display.h"
#include "editor/editor.h"
#include "editor/inspector.h"
#include "host/sdl_host.h"
#include "bench/support/bigmesh.h"

namespace {

using Clock = std::chrono::steady_clock;

class MeasuredHost : public host::SdlHost {
public:
    MeasuredHost(bool every, bool log) : every_(every), log_(log) {}

    void Flip(host::Pace pace) override {
        if (every_) RequestRedraw();
        const int before = PresentedFrames();
        timespec c0{}, c1{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &c0);
        SdlHost::Flip(pace);
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &c1);
        if (log_ && PresentedFrames() > before) {
            timespec now{};
            clock_gettime(CLOCK_REALTIME, &now);
            const long cpu_us = (c1.tv_sec - c0.tv_sec) * 1000000 + (c1.tv_nsec - c0.tv_nsec) / 1000;
            std::printf("shown %lld%09ld %ld\n", static_cast<long long>(now.tv_sec), now.tv_nsec, cpu_us);
            std::fflush(stdout);
        }
        if (!reported_ && PresentedFrames() > before) {
            reported_ = true;
            std::printf("first frame: %.3f s\n", std::chrono::duration<double>(Clock::now() - start_).count());
            std::fflush(stdout);
        }
    }

private:
    bool every_, log_;
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
    bool every = false, log = false, view = false;
    while (!args.empty() && (args[0] == "--every-frame" || args[0] == "--frame-log" || args[0] == "--view")) {
        (args[0] == "--every-frame" ? every : args[0] == "--view" ? view : log) = true;
        args.erase(args.begin());
    }
    if (args.size() != 1) {
        std::fprintf(stderr, "usage: idle_editor [--every-frame] [--frame-log] [--view] MESH | --make-mesh PATH MEGABYTES\n");
        return 2;
    }
    MeasuredHost host(every, log);
    display::Display display(host);
    editor::Editor editor(host, display);
    editor.Startup(args);
    if (view && editor.doc.mesh && editor.inspector->preview) {
        editor.doc.selchunk = editor.doc.mesh->hedr;
        editor.inspector->preview->viewbox->state = 1;
    }
    editor.Run();
    return 0;
}
