// Start-up, the main loop, the material grouping that follows its check box,
// the rebuild after a change, and shutdown.
#include "editor/editor.h"

#include <algorithm>

#include "display/palette.h"
#include "editor/checkpanel.h"
#include "editor/chunkactions.h"
#include "editor/filerow.h"
#include "editor/dataview.h"
#include "editor/inspector.h"
#include "editor/modellist.h"
#include "editor/prefs.h"
#include "editor/toolrow.h"
#include "editor/treepanel.h"
#include "files/files.h"
#include "mesh/formatlist.h"
#include "mesh/relay.h"

namespace editor {

namespace pal = display::palette;

Editor::Editor(host::Host& host, display::Display& display) : Desk(host, display) {
    // A close of the window while a popup or a prompt is open asks about
    // unsaved changes as the main loop does, and remembers the settings.
    host.SetCloseGuard([this] {
        if (!MayDropMesh()) return false;
        Shutdown();
        return true;
    });
}

Editor::~Editor() { host.SetCloseGuard(nullptr); }

// ---- start-up --------------------------------------------------------------

void Editor::Startup(const std::vector<std::string>& args) {
    // mdata/ and data/ from the working folder, else beside the program,
    // else where it was installed.
    st.dataroot = host::DataRoot(kGraphicsPath);
    display.root = st.dataroot;
    display.LoadDisplay(st.dataroot + kGraphicsPath, display::kUseDefaultTitle);
    layout = Layout::For(display.settings.width, display.settings.height);

    doc.formatlist = mesh::ReadFormatList(st.dataroot + kFormatPath);

    Prefs prefs;
    prefs.lastdir = host::WorkingDir();
    ReadPrefs(st.dataroot + kPrefsPath, prefs);
    st.lastdir = prefs.lastdir;
    doc.recognizematl = prefs.recognizematl;

    g.screen = display::tilemap(layout.W, layout.H);
    g.screen.Fill(0, pal::kText, pal::kScreen, 0);
    BuildWidgets();
    if (inspector && inspector->preview) inspector->preview->texturefolders = prefs.texturefolders;

    BuildCommands();

    ReadCommandLine(args);
    doc.Refresh();
    data->SetHandle(prefs.handleflag);
    host.ClearKeys();
}

void Editor::ReadCommandLine(const std::vector<std::string>& given) {
    // --textures DIR (again for more): the folders the preview looks for
    // textures in, kept in the settings until others are given.
    std::vector<std::string> args, folders;
    for (size_t i = 0; i < given.size(); ++i) {
        if (given[i] == "--textures" && i + 1 < given.size()) folders.push_back(given[++i]);
        else args.push_back(given[i]);
    }
    if (!folders.empty() && inspector && inspector->preview) inspector->preview->texturefolders = folders;
    if (args.empty()) return;
    const std::string& path = args[0];
    const std::string notfile = host::NotAFile(path);
    if (notfile.empty()) {
        std::string why, note;
        const host::FileStamp stamp = host::StampOf(path);
        doc.mesh = mesh::OpenRelaid(path, doc.formatlist, doc.recognizematl, false, why, note);
        if (!doc.mesh)
            Message("Error!", WithPath("Unable to read mesh file.", path, why));
        else {
            doc.Replace(doc.mesh, host::BaseName(path), path);
            doc.stamp = stamp;
            doc.readnote = note;
            Status(note);
        }
    } else {
        Message("Error!", WithPath("Failed to open mesh file.", path, notfile));
    }
}

// ---- main loop -------------------------------------------------------------

bool Editor::Frame() {
    st.framestart = host.ClockMs();
    // Widgets act on what they see while they are drawn, and commands run
    // after the drawing: a frame that takes in a click or a key is composed
    // once more, so that the picture shown already holds what it did.
    const bool fresh = host.TakeFreshInput();
    try {
        Compose();
        if (fresh) Compose();
    } catch (const std::bad_alloc&) {
        // Drawing what the selected chunk holds (its decoding, the preview)
        // ran out of memory; the commands have caught their own. Without a
        // selection the next frames have less to draw.
        doc.selchunk = nullptr;
        Message("Error!", WithReason("Out of memory while drawing.", "The mesh is as it was."));
        FlushInput();
    }

    host.Flip(host::Pace::kHertz);
    if (host.CloseRequested() && MayDropMesh()) return false;

    // The rest of the frame time waits on the window system: input that
    // arrives meanwhile is taken in, and a click or a key ends the wait.
    const int64_t elapsed = host.ClockMs() - st.framestart;
    if (elapsed < kMinFrameMs) host.WaitInput(kMinFrameMs - elapsed);
    return true;
}

void Editor::Compose() {
    g.screen.Fill(0, pal::kText, pal::kScreen, 0);
    host.ClearScreen();

    // Each step on every panel, in their order (BuildWidgets).
    for (Panel* p : panels_) p->Prepare();
    hint.clear();
    for (Panel* p : panels_) p->View(g.screen);

    ui.UpdatePointer();
    if (hint.empty() && drawn_) HoverHint();
    inspector->ShowHint(hint);
    w.rootlabel->draw(ui, g.screen, 0, 0);
    drawn_ = true;

    for (Panel* p : panels_) p->Paste(g.screen);
    g.screen.Draw(display, 0, 0, 0, 0, -1, -1);
    for (Panel* p : panels_) p->Draw();

    RunCommands();

    for (Panel* p : panels_) p->AfterCommands();
}

void Editor::Run() {
    while (Frame()) {
    }
    Shutdown();
}

bool Editor::Shutdown() {
    Prefs prefs;
    prefs.lastdir = st.lastdir;
    prefs.recognizematl = doc.recognizematl;
    prefs.handleflag = data->handle();
    if (inspector && inspector->preview) {
        prefs.texturefolders = inspector->preview->texturefolders;
    } else {
        // Without the preview, the folders stay as they were kept.
        Prefs kept;
        ReadPrefs(st.dataroot + kPrefsPath, kept);
        prefs.texturefolders = kept.texturefolders;
    }
    return WritePrefs(st.dataroot + kPrefsPath, prefs);
}

// ---- helpers of the commands ----------------------------------------------

bool Editor::Reveal(const mesh::chunkptr& chunk) {
    // A copy: the refresh below may rebuild the list the caller's chunk came from.
    const mesh::chunkptr c = chunk;
    std::vector<size_t> path;
    if (!c || !doc.mesh || !doc.mesh->hedr || !PathFromRoot(c, doc.mesh->hedr, path)) return false;
    doc.selchunk = c;
    c->expand();
    doc.Refresh();
    tree->ScrollTo(std::min(c->findy(nullptr), tree->ScrollMax()));
    return true;
}

void Editor::ShowInDataView(int64_t offset) { data->ShowOffset(offset); }

int Editor::Ask(const std::string& title, const std::string& text) {
    messages.push_back({title, text});
    return widgets::PopupConfirm(ui, title, text);
}

void Editor::Message(const std::string& title, const std::string& text) {
    messages.push_back({title, text});
    widgets::PopupMessage(ui, title, text);
}

int Editor::Choose(const std::string& title, const std::string& text, const std::vector<std::string>& choices) {
    messages.push_back({title, text});
    return widgets::gadget::popup(ui, title, text, choices);
}

void Editor::FlushInput() {
    host.ClearKeys();
    host.ClearPointer();
    ui.UpdatePointer();
}

}  // namespace editor
