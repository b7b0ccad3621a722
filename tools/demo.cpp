// widgets_demo: the widget toolkit, the popups and the chunk tree view in the
// real window, with the shipped display configuration and images. Run it from
// the project root:
//
//   widgets_demo [mesh]            try the widgets; close the window to quit
//   widgets_demo --shots DIR [mesh]
//                                  save DIR/widgets.png (the widget tree and
//                                  the chunk tree) and DIR/popup.png (a
//                                  confirmation popup), then quit
//
// Without a mesh argument examples/cube.msh is shown when it exists, else a
// small mesh built here.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "display/display.h"
#include "display/palette.h"
#include "display/tilemap.h"
#include "host/sdl_host.h"
#include "mesh/formatlist.h"
#include "mesh/msh.h"
#include "treeview/treeview.h"
#include "widgets/gadget.h"
#include "widgets/toolkit.h"

using widgets::gadget;

namespace {

// A window host that can save what it is about to present and type a key, so
// that the demo can photograph its own frames, nested popup loops included.
class DemoHost : public host::SdlHost {
public:
    int flips = 0;         // frames presented so far
    int shotat = -1;       // the frame to save before presenting it
    std::string shotpath;
    int keyat = -1;        // the frame after which key is pressed
    int key = 0;
    bool failed = false;

    void PlacePointer(int x, int y) {
        input_.pointer_x = x;
        input_.pointer_y = y;
    }

    void Flip(host::Pace pace) override {
        ++flips;
        if (flips == shotat) {
            host::PixelBuffer pixels;
            const bool ok = ReadBackBuffer(pixels) && host::SavePng(shotpath, pixels);
            std::fprintf(stderr, "%s %s\n", ok ? "saved" : "could not save", shotpath.c_str());
            failed = failed || !ok;
        }
        SdlHost::Flip(pace);
        if (flips == keyat) {
            input_.KeyDown(key);
            input_.KeyUp(key);
        }
    }
};

mesh::chunkptr Leaf(const std::string& name, int bytes) {
    mesh::chunkptr c = mesh::chunk::Create(name);
    c->setdata(std::vector<uint8_t>(size_t(bytes), 0));
    return c;
}

mesh::chunkptr Node(const std::string& name, const std::vector<mesh::chunkptr>& kids) {
    mesh::chunkptr c = mesh::chunk::Create(name);
    for (const auto& k : kids) c->AppendKid(k);
    return c;
}

mesh::mshptr SampleMesh() {
    auto m = std::make_shared<mesh::msh>();
    m->hedr = Node("HEDR", {Node("MSH2", {Node("SINF", {Leaf("NAME", 8), Leaf("FRAM", 12), Leaf("BBOX", 44)}),
                                          Node("MATL", {Leaf("MATD", 60), Leaf("MATD", 60)}),
                                          Node("MODL", {Leaf("MTYP", 4), Leaf("MNDX", 4), Leaf("NAME", 8)})}),
                            Leaf("CL1L", 0)});
    m->hedr->Update(0);
    return m;
}

}  // namespace

int main(int argc, char** argv) {
    std::string shots;
    std::string meshpath = "examples/cube.msh";
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--shots" && i + 1 < argc)
            shots = argv[++i];
        else
            meshpath = a;
    }

    DemoHost host;
    display::Display display(host);
    display.LoadDisplay("mdata\\graphics.txt", "widgets demo");
    widgets::Toolkit ui(display);
    const int W = display.settings.width;
    const int H = display.settings.height;

    mesh::mshptr m = mesh::msh::ReadMsh(meshpath, mesh::ReadFormatList("mdata\\format.txt"), 1);
    if (!m) m = SampleMesh();

    // The widget tree: one root label holding everything.
    display::tilemap screen(W, H);
    auto root = gadget::CreateLabel("", 0, 0, 1, 1, 1);
    gadget* title = gadget::CreateLabel("widget toolkit demo", 1, 1, 32, 1, *root, 1);

    const int treerows = std::max(4, H - 20);
    gadget* treebox = gadget::CreateLabel("", 1, 3, 2, 1, *root, 1);
    gadget::CreateWindow("chunk view", 0, 0, 17, 3, *treebox);
    gadget* treescroll = gadget::CreateScroll(16, 2, treerows, gadget::vertical, 0, *treebox);
    display::tilemap treegrid(16, treerows);
    gadget* treepanel = gadget::CreateLabel("", 0, 2, 16, treerows, *treebox, 1);
    treescroll->SetArea(-16, 0, 17, treerows);

    gadget* win = gadget::CreateWindow("widgets", 20, 3, 36, 20, *root);
    gadget::CreateLabel("A label whose text is longer than its width is cut into rows.", 2, 2, 20, 3, *win, 1);
    gadget* msgbutton = gadget::CreateButton("message", 2, 6, 12, 1, *win);
    gadget* askbutton = gadget::CreateButton("confirm", 16, 6, 12, 1, *win);
    gadget* offbutton = gadget::CreateButton("disabled", 2, 8, 12, 1, *win);
    offbutton->disable();
    gadget* check = gadget::CreateCheckbox("check box", 2, 10, *win);
    gadget* offcheck = gadget::CreateCheckbox("disabled box", 16, 10, *win);
    offcheck->state = 1;
    offcheck->disable();
    gadget::CreateLabel("text box:", 2, 12, 12, 1, *win, 1);
    gadget* text = gadget::CreateTextbox("012345", 2, 13, 14, 3, *win, gadget::defaultchars);
    gadget* bar = gadget::CreateScroll(33, 2, 16, gadget::vertical, 20, *win);
    bar->SetArea(-14, 0, 15, 16);
    gadget* readout = gadget::CreateLabel("", 18, 13, 14, 3, *win, 1);
    gadget::CreateWindow("one-row window", 20, 24, 20, 1, *root);

    // The tree view works on the demo's own selection and mesh.
    mesh::chunkptr selchunk;
    editor::TreeView view;
    view.ui = &ui;
    view.selchunk = &selchunk;
    view.treepanel = treepanel;
    auto refresh = [&] {
        mesh::refresh r = mesh::msh::Update(m.get(), 1, treescroll->w, 1);
        treescroll->h = r.treeh;
    };
    view.update = refresh;
    refresh();

    if (!shots.empty()) {
        // A scene worth a picture: a few rows open, one selected, one flagged,
        // focus in the text box and the scroll bar part way down.
        m->hedr->expanded = 1;
        for (const auto& k : m->hedr->kids) {
            k->expanded = 1;
            if (!k->kids.empty()) {
                selchunk = k->kids.front();
                if (k->kids.size() > 1) m->errors.push_back(k->kids[1]);
            }
        }
        refresh();
        check->state = 1;
        text->at = 3;
        bar->state = 7;
        host.shotat = 3;
        host.shotpath = shots + "/widgets.png";
        // Hover the second tree row: its subtree takes the hover tint.
        host.PlacePointer((1 + 4) * display.CellPixelWidth() + 2, (3 + 2 + 1) * display.CellPixelHeight() + 2);
    }
    std::string answer;  // of the last confirmation
    for (;;) {
        screen.Fill(0, display::palette::kText, display::palette::kScreen, 0);
        treegrid.Fill(0, display::palette::kText, display::palette::kPanel, 0);
        host.ClearScreen();
        title->title = selchunk ? "selected: " + selchunk->name : "widget toolkit demo";
        if (!answer.empty()) title->title += ", answered " + answer;
        readout->title = "scroll " + std::to_string(bar->state) + " box " + std::to_string(check->state);

        ui.UpdatePointer();
        root->draw(ui, screen, 0, 0);
        screen.Draw(display, 0, 0);
        editor::Render(*m, view, treegrid, treescroll->state);
        treegrid.Draw(display, treepanel->dx, treepanel->dy);

        if (msgbutton->state) widgets::PopupMessage(ui, "Error!", "Unable to read mesh file.");
        if (askbutton->state || text->state) {
            answer = widgets::PopupConfirm(ui, "Confirm", "Create new mesh?") == 0 ? "yes" : "no";
        }

        host.Flip(host::Pace::kHertz);
        if (host.CloseRequested()) break;
        if (!shots.empty() && host.flips >= 3) break;
    }

    if (!shots.empty()) {
        // The popup's third frame shows its markers (they appear from the
        // second); Escape then ends it.
        const int start = host.flips;
        host.shotat = start + 3;
        host.shotpath = shots + "/popup.png";
        host.keyat = start + 3;
        host.key = host::kKeyEscape;
        const int answer = widgets::PopupConfirm(ui, "Confirm", "Create new mesh?");
        std::fprintf(stderr, "popup answered %d after %d frames\n", answer, host.flips - start);
        return host.failed ? 1 : 0;
    }
    return 0;
}
