#include "editor/editor.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "display/textint.h"
#include "editor/dataview.h"
#include "editor/prefs.h"
#include "host/files.h"
#include "mesh/formatlist.h"
#include "mesh/treeview.h"
#include "mesh/verify.h"

namespace editor {

using widgets::gadget;

namespace {

// Verdicts of the verification report; character 255 breaks the line.
const std::string kVerdictFindings =
    std::string("This mesh is very probably not") + '\xff' + "    going to work with SWBFII";
const std::string kVerdictClean = std::string("This mesh is likely to work fine") + '\xff' + "  with SWBFII";

}  // namespace

Layout Layout::For(int W, int H) {
    Layout l;
    l.W = W;
    l.H = H;
    l.T = H - 17;
    l.L = l.T - 19;
    l.M = l.T - 32;
    l.e = (W - 10) / 3;
    return l;
}

Editor::Editor(host::Host& host, display::Display& display) : host(host), display(display), ui(display) {}

Editor::~Editor() = default;

// ---- start-up --------------------------------------------------------------

void Editor::Startup(const std::vector<std::string>& args) {
    display.LoadDisplay(kGraphicsPath, display::kUseDefaultTitle);
    layout = Layout::For(display.settings.width, display.settings.height);

    st.formatlist = mesh::ReadFormatList(kFormatPath);

    Prefs prefs;
    prefs.lastdir = host::WorkingDir();
    ReadPrefs(kPrefsPath, prefs);
    st.lastdir = prefs.lastdir;
    st.recognizematl = prefs.recognizematl;
    st.handleflag = prefs.handleflag;

    st.modllist.clear();

    g.screen = display::tilemap(layout.W, layout.H);
    g.screen.Fill(0, 0, 9, 0);
    BuildWidgets();

    ReadCommandLine(args);
    Refresh();
    w.handlebox->state = st.handleflag;
    host.ClearKeys();
}

void Editor::BuildWidgets() {
    const Layout& l = layout;
    const int W = l.W, T = l.T, L = l.L, M = l.M, e = l.e;

    w.rootlabel = gadget::CreateLabel("", 0, 0, 1, 1, 1);
    gadget& root = *w.rootlabel;
    w.titlelabel = gadget::CreateLabel("welcome", 1, 1, 32, 1, root, 1);
    w.savebutton = gadget::CreateButton("save msh", 1, 3, e - 1, 1, root);
    w.openbutton = gadget::CreateButton("open msh", e + 1, 3, e - 1, 1, root);
    w.newbutton = gadget::CreateButton("new msh", 2 * e + 1, 3, e - 1, 1, root);
    w.verifybutton = gadget::CreateButton("verify", W - 9, 3, 8, 1, root);

    w.treebox = gadget::CreateLabel("", 1, 5, 2, 1, root, 1);
    w.chunkview = gadget::CreateWindow("chunk view", 0, 0, 17, 3, *w.treebox);
    w.treescroll = gadget::CreateScroll(16, 2, L, gadget::vertical, 0, *w.treebox);
    g.treegrid = display::tilemap(16, L);
    g.treegrid.Fill(0, 0, 25, 0);
    w.treescroll->SetArea(-16, 0, 17, L);
    w.treepanel = gadget::CreateLabel("", 0, 2, 16, L, *w.treebox, 1);
    w.datascroll = gadget::CreateScroll(16, L + 3, 8, gadget::vertical, 0, *w.treepanel);
    g.datagrid = display::tilemap(16, 8);
    g.datagrid.Fill(0, 0, 25, 0);
    w.datascroll->SetArea(-16, 0, 17, 8);
    w.recognizebox = gadget::CreateCheckbox("recognize matl", 0, L + 1, *w.treepanel);
    w.recognizebox->state = st.recognizematl;

    w.chunkactions = gadget::CreateWindow("chunk actions", 19, 5, 20, 16, root);
    gadget& actions = *w.chunkactions;
    w.exportbutton = gadget::CreateButton("export", 4, 2, 12, 1, actions);
    w.importunderbutton = gadget::CreateButton("import under", 4, 4, 12, 1, actions);
    w.importafterbutton = gadget::CreateButton("import after", 4, 6, 12, 1, actions);
    w.renamebutton = gadget::CreateButton("rename", 4, 8, 12, 1, actions);
    w.shiftupbutton = gadget::CreateButton("shift up", 4, 10, 12, 1, actions);
    w.shiftdownbutton = gadget::CreateButton("shift down", 4, 12, 12, 1, actions);
    w.deletebutton = gadget::CreateButton("delete", 4, 14, 12, 1, actions);
    w.modlview = gadget::CreateWindow("modl view", 0, 17, 20, 3, actions);
    g.modlgrid = display::tilemap(19, M);
    g.modlgrid.Fill(0, 0, 25, 0);
    w.modlanchor = gadget::CreateLabel("", 0, 19, 1, 1, actions, 1);
    w.modlscroll = gadget::CreateScroll(38, 24, M, gadget::vertical, 0, root);
    w.modlscroll->SetArea(-19, 0, 20, M);

    w.datawindow = gadget::CreateWindow("data", 1, T, W - 22, 16, root);
    gadget& data = *w.datawindow;
    w.infowindow = gadget::CreateWindow("", W - 22, 0, 20, 16, data);
    w.deletelabel = gadget::CreateLabel("delete", 3, 2, 12, 1, data, 1);
    w.insertlabel = gadget::CreateLabel("insert", 3, 4, 12, 1, data, 1);
    w.handlebox = gadget::CreateCheckbox("handle", 3, 6, data);
    w.inputlabel = gadget::CreateLabel("input data", 2, 9, 14, 1, data, 1);
    w.fltbutton = gadget::CreateButton("flt", 9, 10, 3, 1, data);
    w.strbutton = gadget::CreateButton("str", 13, 10, 3, 1, data);
    w.valuebox = gadget::CreateTextbox("012345", 2, 12, 14, 3, data, gadget::defaultchars);
    for (int k = 0; k < 3; ++k) {
        std::string caption = std::to_string(1 << k);
        w.removebuttons[k] = gadget::CreateButton(caption, W - 30 + 2 * k, 2, 1, 1, data);
        w.insertbuttons[k] = gadget::CreateButton(caption, W - 30 + 2 * k, 4, 1, 1, data);
        w.inputbuttons[k] = gadget::CreateButton(caption, 2 * k + 2, 10, 1, 1, data);
    }
    w.tableanchor = gadget::CreateLabel("", 2, 0, 1, 1, *w.infowindow, 1);

    g.bytetable = display::tilemap(16, 16);
    g.byteoverlay = display::tilemap(16, 16);
    g.byteoverlay.Fill(255, 255, 255, 1);
    for (int i = 0; i < 256; ++i) g.bytetable.SetTile(i % 16, i / 16, i, 8, 9, 1);
}

void Editor::ReadCommandLine(const std::vector<std::string>& args) {
    if (args.empty()) return;
    const std::string& path = args[0];
    if (host::PathKind(path) == 1) {
        st.curmesh = mesh::msh::ReadMsh(path, st.formatlist, st.recognizematl);
        if (!st.curmesh)
            Message("Error!", "Unable to read mesh file.");
        else
            st.meshtitle = host::BaseName(path);
    } else {
        Message("Error!", "Failed to open mesh file.");
    }
}

// ---- main loop -------------------------------------------------------------

bool Editor::Frame() {
    st.framestart = host.ClockMs();

    g.screen.Fill(0, 0, 9, 0);
    g.datagrid.Fill(0, 0, 25, 0);
    g.treegrid.Fill(0, 0, 25, 0);
    g.byteoverlay.Fill(255, 255, 255, 1);
    host.ClearScreen();

    w.titlelabel->title = st.meshtitle;
    if (!st.curmesh) {
        w.savebutton->disable();
        w.verifybutton->disable();
    } else {
        w.savebutton->enable();
        w.verifybutton->enable();
    }
    st.handleflag = w.handlebox->state;
    ApplyMaterialGrouping();

    w.chunkactions->disable();
    w.datawindow->disable();
    if (st.selchunk) {
        w.chunkactions->enable();
        w.datawindow->enable();
    }

    DrawModlList(g.modlgrid, w.modlscroll->state, w.modlanchor->dx, w.modlanchor->dy);
    w.chunkactions->title = "chunk actions";
    DataView();
    Readouts();

    ui.UpdatePointer();
    w.rootlabel->draw(ui, g.screen, 0, 0);
    drawn_ = true;

    g.screen.InsertMapImage(g.datagrid, w.treepanel->dx, w.treepanel->dy + layout.L + 3, 1);
    g.screen.InsertMapImage(g.modlgrid, w.modlanchor->dx, w.modlanchor->dy, 1);
    g.screen.InsertMapImage(g.bytetable, w.tableanchor->dx, w.tableanchor->dy, 1);

    g.screen.Draw(display, 0, 0, 0, 0, -1, -1);
    g.byteoverlay.Draw(display, w.tableanchor->dx, w.tableanchor->dy, 0, 0, -1, -1);
    RenderTree();
    g.treegrid.Draw(display, w.treepanel->dx, w.treepanel->dy, 0, 0, -1, -1);

    DataButtons();
    ChunkCommands();
    FileCommands();

    host.Flip(-1);
    if (host.CloseRequested()) return false;

    int64_t elapsed = host.ClockMs() - st.framestart;
    if (elapsed < kMinFrameMs) host.SleepMs(kMinFrameMs - elapsed);
    return true;
}

void Editor::Run() {
    while (Frame()) {
    }
    Shutdown();
}

bool Editor::Shutdown() {
    Prefs prefs;
    prefs.lastdir = st.lastdir;
    prefs.recognizematl = st.recognizematl;
    prefs.handleflag = st.handleflag;
    return WritePrefs(kPrefsPath, prefs);
}

namespace {

// The child indexes that lead from root to c; false when c is not reachable
// from root (it, or one of its ancestors, has left its parent's list).
bool PathFromRoot(const mesh::chunkptr& c, const mesh::chunkptr& root, std::vector<size_t>& path) {
    path.clear();
    mesh::chunkptr cur = c;
    while (cur && cur != root) {
        mesh::chunkptr p = cur->getparent();
        const int idx = p ? p->IndexOfKid(cur.get()) : -1;
        if (idx < 0) return false;
        path.push_back(static_cast<size_t>(idx));
        cur = p;
    }
    std::reverse(path.begin(), path.end());
    return cur != nullptr;
}

}  // namespace

void Editor::ApplyMaterialGrouping() {
    if (w.recognizebox->state > 1) w.recognizebox->state = 1;
    const int state = w.recognizebox->state;
    st.recognizematl = state;
    if (st.curmesh && st.curmesh->hedr && state != st.lastmatl) {
        if (state == 1)
            st.curmesh->hedr->expandmatl(st.formatlist);
        else
            st.curmesh->hedr->collapsematl();
        // A chunk selected inside a MATL leaves the tree when the MATL is
        // ungrouped; edits made to it would never be saved. The selection
        // moves to its nearest ancestor that is still in the tree.
        std::vector<size_t> path;
        while (st.selchunk && !PathFromRoot(st.selchunk, st.curmesh->hedr, path))
            st.selchunk = st.selchunk->getparent();
        st.curmesh->hedr->Update(st.recognizematl);
        st.curmesh->updatetotalchunks(nullptr);
    }
    st.lastmatl = state;
}

void Editor::RenderTree() {
    if (!st.curmesh || !st.curmesh->hedr) return;
    treeview_.ui = &ui;
    treeview_.selchunk = &st.selchunk;
    treeview_.treepanel = w.treepanel;
    if (!treeview_.update) treeview_.update = [this] { Refresh(); };
    mesh::Render(*st.curmesh, treeview_, g.treegrid, w.treescroll->state);
}

// ---- model list --------------------------------------------------------------

void Editor::Refresh() {
    mesh::refresh r = mesh::msh::Update(st.curmesh.get(), st.recognizematl, w.treescroll->w, w.modlscroll->w);
    w.treescroll->h = r.treeh;
    w.modlscroll->h = r.modlh;
    st.modllist = std::move(r.modllist);
}

void Editor::RebuildModlList() {
    st.modllist.clear();
    if (st.curmesh && st.curmesh->hedr) st.curmesh->hedr->addtolist(st.modllist, "MODL");
}

void Editor::DrawModlList(display::tilemap& grid, int first, int x0, int y0) {
    grid.Fill(0, 0, 25, 0);
    // Entries scrolled off above the panel are neither shown nor hovered, so
    // the walk starts at the first shown one and stops below the panel: a
    // frame costs the rows shown, however many models there are. A click
    // refreshes the mesh, which refills modllist with the same entries, so
    // the walk goes on by index.
    for (size_t i = static_cast<size_t>(std::max(0, first)); i < st.modllist.size(); ++i) {
        const mesh::chunkptr c = st.modllist[i];
        const int r = static_cast<int>(i) - first;
        std::string name = c->FetchName();
        if (name.empty()) name = "[unnamed]";
        // Only rows that the panel shows react to the pointer, and only once
        // the panel has been placed by a first draw.
        const bool hovered = drawn_ && r < grid.tmaph && ui.mx >= x0 && ui.mx < x0 + grid.tmapw &&
                             ui.my == y0 + r;
        if (hovered) {
            w.titlelabel->title = name;
            if (ui.Released(1)) {
                st.selchunk = c;
                c->expand();
                Refresh();
                w.treescroll->state = std::min(st.selchunk->findy(nullptr), w.treescroll->h);
            }
        }
        if (st.selchunk == c)
            grid.InsertString(0, r, name, 25, 0, 0, 0, 0, -1);
        else
            grid.InsertString(0, r, name, 0, hovered ? 1 : 25, 0, 0, 0, -1);
        if (r >= grid.tmaph) break;
    }
}

// ---- data view -------------------------------------------------------------

void Editor::DataView() {
    st.dataat = st.datacursor;
    if (!st.selchunk) {
        st.datacursor = -5;
        return;
    }
    mesh::chunk& c = *st.selchunk;
    if (st.datacursor >= c.size) st.datacursor = -5;

    const int px = w.treepanel->dx;
    const int py = w.treepanel->dy + w.treescroll->w + 3;
    const int scroll = w.datascroll->state;
    int b = -5;
    if (ui.mx >= px && ui.mx < px + 16 && ui.my >= py && ui.my < py + 8) {
        b = (ui.mx - px) + 16 * (ui.my - py);
        st.dataat = b + 16 * scroll;
        if (ui.Released(1)) st.datacursor = st.dataat;
    }

    // Paint the visible bytes.
    uint8_t bytes[128] = {};
    const int64_t first = 16 * static_cast<int64_t>(scroll);
    const int64_t count = first < c.size ? std::min<int64_t>(128, c.size - first) : 0;
    if (count > 0) c.readbytes(first, count, bytes);
    for (int i = 0; i < count; ++i) {
        const int64_t idx = first + i;
        int bg = (i / 4) % 2 == 0 ? w.datascroll->bordercolor : 9;
        if (idx - st.datacursor >= 0 && idx - st.datacursor < 4) bg = 25;
        if (i - b >= 0 && i - b < 4) bg = 1;
        g.datagrid.SetTile(i % 16, i / 16, bytes[i], 0, bg, 0);
    }
    w.datascroll->h = std::max(0, static_cast<int>(std::ceil(c.size / 16.0)) - 8);

    const std::string name = c.FetchName();
    if (!name.empty()) w.chunkactions->title = name;
    if (st.datacursor >= c.size) st.datacursor = -5;

    // Byte picker.
    const int tx = w.tableanchor->dx, ty = w.tableanchor->dy;
    if (ui.mx >= tx && ui.mx < tx + 16 && ui.my >= ty && ui.my < ty + 16) {
        const int v = (((ui.mx - tx) + 16 * (ui.my - ty)) % 256 + 256) % 256;
        g.byteoverlay.SetTile(ui.mx - tx, ui.my - ty, v, 255, w.tableanchor->bordercolor, 0);
        if (ui.Released(1)) {
            c.SetByte(st.datacursor, v, 1, st.formatlist);
            Refresh();
        }
    }
}

void Editor::Readouts() {
    const int x0 = w.modlanchor->dx;
    const int y0 = w.modlanchor->dy + g.modlgrid.tmaph + 1;
    const int n = layout.T - y0 - 1;
    g.screen.SetTiles(x0, y0, g.modlgrid.tmapw + 1, n, 0, 0, 25, 0);
    g.screen.SetTiles(x0, y0, 4, n, 0, 0, 1, 0);
    if (st.dataat < 0 || !st.selchunk || st.selchunk->size == 0) return;

    const mesh::chunk& c = *st.selchunk;
    std::vector<std::string> lines = ReadoutLines(c, st.dataat);
    for (size_t i = 0; i < lines.size(); ++i)
        g.screen.InsertString(x0, y0 + static_cast<int>(i), lines[i], 255, 255, 0, 0, 0, -1);
    if (st.dataat < c.size) {
        const int v = c.readbyte(st.dataat);
        if (v >= 0) g.byteoverlay.SetTile(v % 16, v / 16, 255, 0, 25, 0);
    }
}

void Editor::DataButtons() {
    for (int k = 0; k < 3; ++k) {
        const int n = 1 << k;
        if (w.removebuttons[k]->state && st.selchunk && st.datacursor >= 0) {
            for (int j = 0; j < n; ++j)
                st.selchunk->RemoveByte(st.datacursor, st.handleflag, j == n - 1 ? 1 : 0, st.formatlist,
                                        st.recognizematl);
            Refresh();
        }
        if (w.insertbuttons[k]->state && st.selchunk) {
            if (st.datacursor >= 0)
                st.selchunk->InsertBytes(st.datacursor, n, st.handleflag, 1, st.formatlist, st.recognizematl);
            else
                st.selchunk->GrowData(n);
            Refresh();
        }
        if (w.inputbuttons[k]->state && st.selchunk && st.datacursor >= 0) {
            const uint32_t v = static_cast<uint32_t>(display::TextToInt(w.valuebox->title));
            for (int j = 0; j < n; ++j)
                st.selchunk->SetByte(st.datacursor + j, static_cast<int>((v >> (8 * j)) & 255u),
                                     j == n - 1 ? 1 : 0, st.formatlist);
            Refresh();
        }
    }
    if (w.strbutton->state && st.selchunk)
        st.selchunk->InsertString(std::max(0, st.datacursor), w.valuebox->title, st.formatlist);
    if (w.fltbutton->state && st.selchunk && st.datacursor >= 0)
        st.selchunk->SetFloat(st.datacursor, TextToFloat(w.valuebox->title), st.formatlist);
}

// ---- commands ----------------------------------------------------------------

void Editor::Message(const std::string& title, const std::string& text) {
    messages.push_back({title, text});
    widgets::PopupMessage(ui, title, text);
}

bool Editor::ControlHeld() { return host.KeyHeld(kKeyLeftCtrl) || host.KeyHeld(kKeyRightCtrl); }

void Editor::FlushInput() {
    host.ClearKeys();
    host.ClearPointer();
    ui.UpdatePointer();
}

void Editor::ChunkCommands() {
    if (st.selchunk && w.renamebutton->state) RenameChunk();
    if (st.selchunk && w.deletebutton->state) DeleteChunk();
    if (st.selchunk && w.exportbutton->state) ExportChunk();
    if (st.selchunk && w.importafterbutton->state) ImportAfter();
    if (st.selchunk && w.importunderbutton->state) ImportUnder();
    if (st.selchunk && w.shiftupbutton->state) ShiftUp();
    if (st.selchunk && w.shiftdownbutton->state) ShiftDown();
}

void Editor::FileCommands() {
    const bool ctrl = ControlHeld();
    // A command runs on its button's click or, only when the button was not
    // clicked, on its shortcut; the key press is consumed whether or not
    // Control is held.
    auto triggered = [&](const widgets::gadget* button, int key) {
        return button->state || (host.KeyPresses(key) > 0 && ctrl);
    };
    if (triggered(w.openbutton, kKeyOpen)) OpenMesh();
    if (st.curmesh && triggered(w.savebutton, kKeySave)) SaveMeshAs();
    if (triggered(w.newbutton, kKeyNew)) NewMesh();
    if (st.curmesh && triggered(w.verifybutton, kKeyVerify)) VerifyMesh();
}

void Editor::OpenMesh() {
    const std::string path = host.RequestFile("Open Mesh file", kMeshFilter, false, st.lastdir + "\\");
    if (!path.empty()) {
        st.lastdir = host::DirectoryPart(path);
        mesh::mshptr m = mesh::msh::ReadMsh(path, st.formatlist, st.recognizematl);
        if (!m) {
            Message("Error!", "Unable to read mesh file.");
        } else {
            st.curmesh = m;
            st.meshtitle = host::BaseName(path);
            st.selchunk = nullptr;
            if (st.recognizematl == 1 && m->hedr) m->hedr->expandmatl(st.formatlist);
        }
        Refresh();
    }
    FlushInput();
}

void Editor::SaveMeshAs() {
    const std::string path = host.RequestFile("Save Mesh As", kMeshFilter, true, st.lastdir + "\\");
    if (!path.empty() && st.curmesh) {
        st.lastdir = host::DirectoryPart(path);
        if (st.curmesh->Save(path, st.recognizematl))
            st.meshtitle = host::BaseName(path);
        else
            Message("Error!", "Unable to write mesh file.");
    }
    FlushInput();
}

void Editor::NewMesh() {
    if (widgets::PopupConfirm(ui, "Confirm", "Create new mesh?") == 0) {
        auto m = std::make_shared<mesh::msh>();
        m->hedr = mesh::chunk::Create("HEDR");
        st.curmesh = m;
        st.meshtitle = "untitled";
        st.selchunk = nullptr;
        RebuildModlList();
    }
    FlushInput();
}

void Editor::RenameChunk() {
    mesh::chunkptr root = st.curmesh ? st.curmesh->hedr : nullptr;
    // Ungrouping and regrouping the materials around the rename replaces every
    // chunk inside a MATL by a new object. Remember where the selected chunk
    // stands, so that the new name reaches the tree and the selection follows
    // it; otherwise the rename, and every later edit of the selected chunk,
    // would go to an object that is no longer saved with the mesh.
    std::vector<size_t> path;
    const bool intree = root && PathFromRoot(st.selchunk, root, path);
    if (st.recognizematl == 1 && root) root->collapsematl();
    const std::string name = display::InputLine(display, "new chunk name: ", 10, 0);
    st.selchunk->name = name;
    if (st.recognizematl == 1 && root) {
        root->expandmatl(st.formatlist);
        std::vector<size_t> now;
        if (intree && !PathFromRoot(st.selchunk, root, now)) {
            mesh::chunkptr c = root;
            for (size_t idx : path) c = idx < c->kids.size() ? c->kids[idx] : nullptr;
            if (c) {
                c->name = name;
                st.selchunk = c;
            }
        }
    }
    Refresh();
}

void Editor::DeleteChunk() {
    mesh::chunkptr sel = st.selchunk;
    mesh::chunkptr parent = sel->getparent();
    const bool isroot = st.curmesh && st.curmesh->hedr == sel;
    if (parent) {
        const int idx = parent->IndexOfKid(sel.get());
        if (idx >= 0) {
            parent->RemoveKid(static_cast<size_t>(idx));
            // A container that loses its last child would keep the bytes of its
            // last rebuild as a leaf, and the deleted chunk would come back the
            // next time the file is read. It becomes an empty leaf instead; a
            // grouped material list keeps its count, now 0.
            if (parent->kids.empty()) {
                const bool matl = st.recognizematl && parent->name == "MATL";
                parent->setdata(std::vector<uint8_t>(matl ? 4 : 0, 0));
            }
        }
    }
    // A chunk that has left the tree is dropped too; only the root stays.
    if (parent || !isroot) st.selchunk = nullptr;
    Refresh();
}

void Editor::ExportChunk() {
    const std::string proposal = st.selchunk->FetchName();
    const std::string path =
        host.RequestFile("Export Chunk As", kChunkFilter, true, st.lastdir + "\\" + proposal);
    if (!path.empty()) {
        st.lastdir = host::DirectoryPart(path);
        if (!mesh::ExportChunk(st.selchunk, path, st.recognizematl))
            Message("Error!", "Unable to write chunk file.");
    }
    Refresh();
    host.ClearKeys();
}

void Editor::ImportAfter() {
    mesh::chunkptr parent = st.selchunk->getparent();
    if (!parent) return;
    const std::string path = host.RequestFile("Import Chunk file after", kChunkFilter, false, st.lastdir + "\\");
    if (path.empty()) return;
    st.lastdir = host::DirectoryPart(path);
    mesh::mshptr m = mesh::msh::ReadMsh(path, st.formatlist, st.recognizematl);
    const int idx = parent->IndexOfKid(st.selchunk.get());
    if (!m || !m->hedr) {
        Message("Error!", "Unable to read chunk file.");
    } else if (idx >= 0) {
        parent->InsertKid(static_cast<size_t>(idx) + 1, m->hedr);
        Refresh();
    }
    host.ClearKeys();
}

void Editor::ImportUnder() {
    const std::string path = host.RequestFile("Import Chunk file under", kChunkFilter, false, st.lastdir + "\\");
    if (path.empty()) return;
    st.lastdir = host::DirectoryPart(path);
    mesh::mshptr m = mesh::msh::ReadMsh(path, st.formatlist, st.recognizematl);
    if (!m || !m->hedr) {
        Message("Error!", "Unable to read chunk file.");
    } else {
        st.selchunk->AppendKid(m->hedr);
        st.selchunk->Update(st.recognizematl);
        if (st.curmesh) st.curmesh->updatetotalchunks(nullptr);
    }
    if (st.curmesh && st.curmesh->hedr) {
        st.curmesh->hedr->Update(st.recognizematl);
        st.curmesh->updatetotalchunks(nullptr);
    }
    RebuildModlList();
    host.ClearKeys();
}

void Editor::ShiftUp() {
    mesh::chunkptr parent = st.selchunk->getparent();
    if (!parent) return;
    const int idx = parent->IndexOfKid(st.selchunk.get());
    // The first child stays; a chunk no longer among its parent's children
    // has no place to move from.
    if (idx <= 0) return;
    mesh::chunkptr c = parent->RemoveKid(static_cast<size_t>(idx));
    parent->InsertKid(static_cast<size_t>(idx) - 1, c);
    if (st.curmesh && st.curmesh->hedr) {
        st.curmesh->hedr->Update(st.recognizematl);
        st.curmesh->updatetotalchunks(nullptr);
    }
    RebuildModlList();
}

void Editor::ShiftDown() {
    mesh::chunkptr parent = st.selchunk->getparent();
    if (!parent) return;
    const int idx = parent->IndexOfKid(st.selchunk.get());
    if (idx < 0 || static_cast<size_t>(idx) + 1 >= parent->kids.size()) return;
    mesh::chunkptr c = parent->RemoveKid(static_cast<size_t>(idx));
    parent->InsertKid(static_cast<size_t>(idx) + 1, c);
    if (st.curmesh && st.curmesh->hedr) {
        st.curmesh->hedr->Update(st.recognizematl);
        st.curmesh->updatetotalchunks(nullptr);
    }
    RebuildModlList();
}

void Editor::VerifyMesh() {
    if (!st.curmesh) return;
    findings = mesh::VerifyMesh(*st.curmesh);
    std::string verdict = kVerdictClean;
    if (!findings.empty()) {
        verdict = kVerdictFindings;
        if (auto out = host::OpenWrite("log__" + st.meshtitle + ".txt")) {
            for (const std::string& f : findings) out->WriteLine(f);
            out->Close();
        }
        for (const mesh::chunkptr& c : st.curmesh->errors) c->expand();
        if (!st.curmesh->errors.empty()) w.treescroll->state = st.curmesh->errors[0]->findy(nullptr);
    }
    Message("verification", verdict);
    FlushInput();
}

}  // namespace editor
