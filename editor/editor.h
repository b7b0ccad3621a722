// The editor application. One Editor holds the document (editor/document.h),
// the settings, the command table and the panels; main() makes one over the
// window host, tests make one over the headless host. Each panel owns its
// widgets and view state, changes the mesh only through the command table,
// Document::Change and the services of the editor, and learns of changes
// through the document's events.
//
// Its parts live in files of their own:
//   editor.cpp          start-up, the main loop, the rebuild after a change
//   layout.cpp          the widget tree and the grids (positions fixed by W, H)
//   commands.cpp        the command table
//   chunk_commands.cpp  the file commands, the chunk actions, verification
//   document.cpp        the document's changes, undo and redo (document.h)
//   history.cpp         the undo history
// and the panels, each in its header:
//   filerow.h       the title line and the file buttons (FileRowPanel)
//   treepanel.h     the chunk tree (TreePanel; treeview.h draws its rows)
//   chunkactions.h  the chunk actions window and the grouping box
//                   (ChunkActionsPanel)
//   modellist.h     the model list (ModelListPanel)
//   toolrow.h       undo, redo, check and diff in the free area (ToolRowPanel)
//   dataview.h      the data view, its readouts and the data window
//                   (DataPanel)
//   inspector.h     the inspector window (InspectorPanel) and its 3D view
//                   (previewpanel.h)
//   checkpanel.h    the check window: the deep check, the comparison with
//                   another file and the repairs (checkpanel.cpp,
//                   diffpanel.cpp, fixes.cpp)
// and rename_all.h, the "rename all" command (Control+R) whose button stands
// on the inspector's lower edge.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "diff/diff.h"
#include "display/display.h"
#include "display/tilemap.h"
#include "editor/document.h"
#include "editor/history.h"
#include "host/host.h"
#include "check/check.h"
#include "mesh/chunk.h"
#include "mesh/msh.h"
#include "widgets/gadget.h"
#include "widgets/toolkit.h"

namespace editor {

class CheckPanel;
class DataPanel;
class InspectorPanel;
class ChunkActionsPanel;
class FileRowPanel;
class ModelListPanel;
class ToolRowPanel;
class TreePanel;

// Configuration files, relative to the folder that holds the data
// (host::DataRoot: the working folder, beside the program, or installed).
inline const std::string kGraphicsPath = "mdata\\graphics.txt";
inline const std::string kFormatPath = "mdata\\format.txt";
inline const std::string kPrefsPath = "mdata\\prefs.dat";

// File dialog filters.
inline const std::string kMeshFilter = "SWBFII Mesh:msh;All Files:*";
inline const std::string kChunkFilter = "SWBFII Mesh Chunk:mck;All Files:*";

// The text of an "Error!" popup: the message, and on a second line why
// (a system error text such as "Permission denied"), when known.
inline std::string WithReason(const std::string& message, const std::string& why) {
    return why.empty() ? message : message + '\xff' + why;
}

// Key codes of the shortcuts.
constexpr int kKeyOpen = host::kKeyO;
constexpr int kKeySave = host::kKeyS;
constexpr int kKeyNew = host::kKeyN;
constexpr int kKeyVerify = host::kKeyV;
constexpr int kKeyLeftCtrl = host::kKeyLeftControl;
constexpr int kKeyRightCtrl = host::kKeyRightControl;

// Further shortcut keys (with Control).
using host::kKeyD;  // diff
using host::kKeyK;  // check
using host::kKeyF;  // fix, fix all
using host::kKeyR;  // rename all
using host::kKeyLeftShift;
using host::kKeyRightShift;
using host::kKeyY;
using host::kKeyZ;

// Shortest frame of the main loop in milliseconds.
constexpr int64_t kMinFrameMs = 46;

// The values that fix the layout for a W x H grid.
struct Layout {
    int W = 0, H = 0;
    int T = 0;  // top row of the data window
    int L = 0;  // rows of the chunk tree panel
    int M = 0;  // rows of the model list panel
    int e = 0;  // pitch of the three file buttons
    static Layout For(int W, int H);

    // The free area right of the chunk actions (the tool row, the inspector,
    // the check window) is there from this grid size on.
    static constexpr int kFreeAreaW = 80, kFreeAreaH = 50;
    bool HasFreeArea() const { return W >= kFreeAreaW && H >= kFreeAreaH; }
};

// The settings that the panels and commands read (the document holds what is
// saved and undone and the grouping; each panel its own view state), and the
// start of the frame.
struct EditorState {
    std::string dataroot;        // the folder of mdata/ and data/ ("": the working folder)
    std::string lastdir;         // where every file dialog starts
    int64_t framestart = 0;
};

// The root of the widget tree: every panel makes its widgets under it, and
// it owns them all.
struct EditorWidgets {
    std::unique_ptr<widgets::gadget> rootlabel;
};

// The screen grid the frame is composed on; each panel paints and pastes
// its own grids.
struct EditorGrids {
    display::tilemap screen;
};

// A command: what the user asks for with a button, a shortcut or a click in
// a view. The table of every command (Editor::commands) is tested once a
// frame in its order; a command runs when it is enabled and its button was
// clicked in this frame or, failing that, one of its shortcuts was pressed
// with Control held. Testing a shortcut consumes the key press (whether or
// not Control is held), as long as the command is enabled.
struct Shortcut {
    int key = 0;
    // Whether Shift must be up (without), down (with) or does not matter.
    enum ShiftState { any, without, with } shift = any;
};

struct Command {
    std::string name;
    widgets::gadget* button = nullptr;   // none: no button
    std::vector<Shortcut> shortcuts;
    std::function<bool()> enabled;       // empty: always enabled
    std::function<void()> run;

    bool Enabled() const { return !enabled || enabled(); }
};

class Editor {
public:
    // The display must not be loaded yet: Startup loads it.
    Editor(host::Host& host, display::Display& display);
    ~Editor();
    Editor(const Editor&) = delete;
    Editor& operator=(const Editor&) = delete;

    // The start-up sequence: display, container names, preferences, grids,
    // widgets, the mesh named by the first argument (args holds the program's
    // arguments without its own path), the first refresh.
    void Startup(const std::vector<std::string>& args);
    // One pass of the main loop. False once the window was asked to close.
    bool Frame();
    // The drawing of one frame and the commands it fires.
    void Compose();
    // Frames until the window closes, then Shutdown.
    void Run();
    // Writes the preferences; false when they could not be written.
    bool Shutdown();

    // ---- commands (each runs to completion, dialogs included)
    // The table, in the order the main loop tests it: the data buttons, the
    // chunk actions, the file commands and verify. Additions append to it.
    std::vector<Command> commands;
    // The command of that name, or null.
    Command* FindCommand(const std::string& name);
    // Runs the command when it is enabled; true when it ran.
    bool Execute(const std::string& name);

    void OpenMesh();
    // True when the mesh was written.
    bool SaveMeshAs();
    void NewMesh();
    void RenameChunk();
    void DeleteChunk();
    void ExportChunk();
    void ImportAfter();
    void ImportUnder();
    void ShiftUp();
    void ShiftDown();
    void VerifyMesh();
    // Before the mesh is dropped (window closed, open, new): when it has
    // unsaved changes, asks "Save changes to <title>?" with save, discard
    // and cancel. True when it may be dropped: nothing to save, saved, or
    // discarded; false when cancelled or when the save failed or was
    // cancelled.
    bool MayDropMesh();

    // ---- state, open to tests and to the views
    Document doc;
    host::Host& host;
    display::Display& display;
    widgets::Toolkit ui;
    EditorState st;
    EditorWidgets w;
    EditorGrids g;
    Layout layout;

    // What the pointer is over, for the status text of this frame: a
    // command's shortcut, a model's name; empty for none.
    std::string hint;
    // The hint of a button under the pointer: its command and shortcut.
    void HoverHint();
    // The pointer is over a model of that name: the status text names it,
    // or the title line when there is no status text.
    void HintModel(const std::string& name);

    // The last verification's findings.
    std::vector<std::string> findings;
    // The title line and the file buttons at the top.
    std::unique_ptr<FileRowPanel> files;
    // The tool row of the free area.
    std::unique_ptr<ToolRowPanel> tools;
    // The chunk tree at the left.
    std::unique_ptr<TreePanel> tree;
    // The chunk actions window and the grouping box.
    std::unique_ptr<ChunkActionsPanel> actions;
    // The model list under the chunk actions.
    std::unique_ptr<ModelListPanel> modellist;
    // The data view and the data window (editor/dataview.h).
    std::unique_ptr<DataPanel> data;
    // The inspector window of the free area (mesh/inspect.h decodes).
    std::unique_ptr<InspectorPanel> inspector;

    // The check window: the deep check, the comparison, the repairs.
    CheckPanel& checks() { return *checks_; }
    const CheckPanel& checks() const { return *checks_; }
    // Every message and question popup shown so far (title, text), oldest
    // first.
    struct Shown {
        std::string title, text;
    };
    std::vector<Shown> messages;

    // ---- services of the editor to its panels
    // PopupMessage, remembered in messages.
    void Message(const std::string& title, const std::string& text);
    // PopupConfirm, remembered in messages; 0 is yes.
    int Ask(const std::string& title, const std::string& text);
    // Flushes keys and pointer after a modal dialog and samples the pointer
    // again, so the key or click that closed it does not reach the editor.
    void FlushInput();
    // Scrolls the data view so that the byte at offset of the selected chunk
    // is on it (DataPanel::ShowOffset).
    void ShowInDataView(int64_t offset);
    // Selects a chunk of the tree, opens the tree down to it and scrolls it
    // into view; false (nothing changes) for a chunk no longer in the tree.
    bool Reveal(const mesh::chunkptr& c);
    // Shows text as the status text of the tool row (Notice).
    void Status(const std::string& text) { doc.notices.Emit({text}); }

private:
    void BuildWidgets();
    void BuildCommands();
    void RunCommands();
    void ReadCommandLine(const std::vector<std::string>& args);
    // Moves the selected chunk by one place among its siblings (by -1 or 1).
    void Shift(int by);
    // Runs command i; memory that runs out in it is said in a popup.
    void RunGuarded(size_t i);
    std::unique_ptr<CheckPanel> checks_;
    bool drawn_ = false;  // the widgets have been drawn (placed) at least once
};

}  // namespace editor
