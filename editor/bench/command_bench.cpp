// CPU time of every data command and chunk command on a 64 MB mesh, from the
// click to the frame that shows its result, over the headless host (which
// here records its frames but paints no pixels: the window host hands them
// to OpenGL). Each command runs on a leaf (a POSL deep in the mesh, the data
// cursor inside it) and, in handle mode, on MSH2 (the container of nearly
// the whole file); each is undone afterwards, so every command meets the
// same mesh. Beside the figures, in the same run: an idle frame on the same
// mesh, and opening the mesh until its first frame (reading alone beside it).
//
// usage: editor_command_bench [MEGABYTES] [ROUNDS]   (default 64 MB, 5 rounds; medians)
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "display/display.h"
#include "editor/bench/scratch.h"
#include "editor/dataview.h"
#include "editor/editor.h"
#include "files/files.h"
#include "host/headless_host.h"
#include "mesh/formatlist.h"
#include "mesh/msh.h"
#include "bench/support/bigmesh.h"

namespace fs = std::filesystem;

namespace {

double CpuMs() {
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

double WallMs() {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// A headless host that keeps the frame records but paints no pixels.
class RecordingHost : public host::HeadlessHost {
public:
    void DrawQuads(const host::Quad* quads, size_t count) override { composed_.Add(quads, count); }
    void ClearScreen() override { composed_.Clear(0, 0, 0); }
};

struct Bench {
    RecordingHost host;
    display::Display display{host};
    std::unique_ptr<editor::Editor> ed;

    mesh::chunkptr Msh2() { return ed->doc.mesh->hedr->getkid("MSH2"); }
    // A POSL in the middle of the mesh.
    mesh::chunkptr Leaf() {
        std::vector<mesh::chunkptr> modls;
        ed->doc.mesh->hedr->addtolist(modls, "MODL");
        mesh::chunkptr geom = modls[modls.size() / 2]->getkid("GEOM");
        return geom->kids[1]->getkid("POSL");
    }
    void Select(const mesh::chunkptr& c, int handle) {
        ed->doc.selchunk = c;
        ed->doc.datacursor = 8;
        ed->data->handlebox->state = handle;
        ed->Frame();
        ed->Frame();
    }
};

}  // namespace

int main(int argc, char** argv) {
    const int mb = argc > 1 ? std::max(1, std::atoi(argv[1])) : 64;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    editorbench::Scratch scratch("cmdbench");
    {
        const std::vector<uint8_t> bytes = bigmesh::Make(size_t(mb) << 20);
        std::ofstream("big.msh", std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                         std::streamsize(bytes.size()));
        std::printf("mesh: %.1f MB\n", bytes.size() / 1048576.0);
    }

    // Opening: the editor's start with the mesh until its first frame is
    // composed, beside reading the mesh alone.
    std::vector<double> open, read;
    for (int r = 0; r < rounds; ++r) {
        const double t0 = WallMs();
        const mesh::mshptr m = mesh::msh::ReadMsh("big.msh", mesh::ReadFormatList(editor::kFormatPath), 1);
        read.push_back(WallMs() - t0);
        Bench b;
        const double t1 = WallMs();
        b.ed = std::make_unique<editor::Editor>(b.host, b.display);
        b.ed->Startup({"big.msh"});
        b.ed->Frame();
        open.push_back(WallMs() - t1);
    }
    std::printf("open until the first frame: %.1f ms (target < 120 ms); reading alone: %.1f ms\n", Median(open),
                Median(read));

    Bench b;
    b.ed = std::make_unique<editor::Editor>(b.host, b.display);
    b.ed->Startup({"big.msh"});
    b.ed->Frame();
    b.host.file_answers.clear();
    const std::string mck = scratch.dir + "/part.mck";

    std::vector<double> idle;
    for (int i = 0; i < 20; ++i) {
        const double t = CpuMs();
        b.ed->Frame();
        idle.push_back(CpuMs() - t);
    }
    const double idlems = Median(idle);

    // Each command: what it needs before it (dialog answers, typed text),
    // then its click, then the frame that shows the result.
    struct Case {
        std::string name;
        std::function<void()> before;
        std::string command = "";  // when other than the name
    };
    auto answer = [&](const std::string& path) { return [&b, path] { b.host.file_answers.push_back(path); }; };
    auto type = [&](const std::string& text) {
        return [&b, text] { b.host.OnFrame(b.host.Frames() + 2, [text](host::HeadlessHost& h) { h.Type(text); }); };
    };
    auto enter = [&] {
        b.host.OnFrame(b.host.Frames() + 3, [](host::HeadlessHost& h) { h.PressKey(host::kKeyEnter); });
    };
    std::vector<Case> cases;
    for (const char* n : {"remove 1", "remove 2", "remove 4", "insert 1", "insert 2", "insert 4", "input 1", "input 2",
                          "input 4", "str", "flt", "pick byte"})
        cases.push_back({n, nullptr});
    cases.push_back({"rename", type("ABCD\r")});
    cases.push_back({"export", answer(mck)});
    cases.push_back({"import after", answer(mck)});
    cases.push_back({"import under", [&, answer] {
                         answer(mck)();
                         enter();  // a question about data the import replaces: yes
                     }});
    // The same imports of a small chunk (a model of the mesh), so the cost
    // of the command itself shows apart from reading 64 MB.
    const std::string small = scratch.dir + "/model.mck";
    cases.push_back({"import after (model)", answer(small), "import after"});
    cases.push_back({"import under (model)", answer(small), "import under"});
    cases.push_back({"shift up", nullptr});
    cases.push_back({"shift down", nullptr});
    cases.push_back({"delete", nullptr});

    double worst = 0;
    std::string worstname;
    for (int handle = 0; handle < 2; ++handle) {
        std::printf("%s:\n", handle ? "in handle mode on MSH2" : "on a leaf (POSL)");
        // The exported chunk to import: the selected one.
        b.Select(handle ? b.Msh2() : b.Leaf(), handle);
        if (!mesh::ExportChunk(b.ed->doc.selchunk, mck, 1)) std::fprintf(stderr, "cannot export\n");
        if (!mesh::ExportChunk(b.Leaf()->getparent()->getparent()->getparent(), small, 1))
            std::fprintf(stderr, "cannot export\n");
        for (const Case& c : cases) {
            if (!handle && c.name.find("(model)") != std::string::npos) continue;
            std::vector<double> cpu;
            for (int r = 0; r < rounds; ++r) {
                b.Select(handle ? b.Msh2() : b.Leaf(), handle);
                if (c.before) c.before();
                b.ed->data->valuebox->title = "258";
                const double t = CpuMs();
                b.ed->Execute(c.command.empty() ? c.name : c.command);
                b.ed->Frame();
                cpu.push_back(CpuMs() - t);
                b.host.file_answers.clear();
                b.ed->Execute("undo");
                b.ed->Frame();
            }
            const double ms = Median(cpu);
            std::printf("  %-21s %8.2f ms\n", c.name.c_str(), ms);
            if (ms > worst) {
                worst = ms;
                worstname = c.name + (handle ? " (MSH2, handle)" : " (leaf)");
            }
        }
    }
    // What moving the bytes of MSH2 costs by itself: reading its export
    // whole, and writing those bytes to a file the way saving does.
    std::vector<double> reading, writing;
    for (int r = 0; r < rounds; ++r) {
        std::vector<uint8_t> bytes;
        double t = CpuMs();
        host::ReadWholeFile(mck, mesh::msh::kMaxFileBytes, bytes, nullptr);
        reading.push_back(CpuMs() - t);
        t = CpuMs();
        host::AtomicFile out(scratch.dir + "/copy.mck");
        out.WriteShared(bytes, 0, bytes.size());
        out.Commit();
        writing.push_back(CpuMs() - t);
    }
    std::printf("MSH2's export alone (%.1f MB): reading it %.2f ms, writing it %.2f ms\n",
                static_cast<double>(fs::file_size(mck)) / 1048576.0, Median(reading), Median(writing));
    std::printf("worst: %s %.2f ms of CPU from the click to the frame (target < 16 ms); an idle frame: %.2f ms\n",
                worstname.c_str(), worst, idlems);
    return 0;
}
