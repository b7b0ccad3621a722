// What the panels of the editor share: the configuration paths, the
// shortcut keys, the layout, the settings, the command table's entries, the
// one interface every panel has (Panel), and the editor as the panels see it
// (Desk): the document, the command table, the toolkit they draw with and
// the services of the editor. A panel holds a Desk, never the Editor, and
// never another panel: what it must know of the others it learns through the
// document's events.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "display/display.h"
#include "display/tilemap.h"
#include "document/document.h"
#include "host/host.h"
#include "mesh/chunk.h"
#include "widgets/gadget.h"
#include "widgets/toolkit.h"

namespace editor {

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

// One panel of the window. The editor composes a frame by calling each step
// on every panel, in the order the panels were made (Editor::Compose).
class Panel {
public:
    virtual ~Panel() = default;
    // Appends the panel's commands to the table.
    virtual void AddCommands() {}
    // At the frame's start, before anything is painted.
    virtual void Prepare() {}
    // Before the widgets are drawn: paints the panel's grids (and what it
    // shows on the screen grid), takes the hover and the clicks of the last
    // pointer sample.
    virtual void View(display::tilemap& /*screen*/) {}
    // After the widgets are drawn: pastes the panel's grids into the screen.
    virtual void Paste(display::tilemap& /*screen*/) {}
    // After the screen grid is drawn: what the panel draws over it.
    virtual void Draw() {}
    // After the commands ran: buttons enabled as their commands are.
    virtual void AfterCommands() {}
};

// The editor as its panels see it.
class Desk {
public:
    Desk(host::Host& host, display::Display& display) : host(host), display(display), ui(display) {}
    virtual ~Desk() = default;
    Desk(const Desk&) = delete;
    Desk& operator=(const Desk&) = delete;

    Document doc;
    host::Host& host;
    display::Display& display;
    widgets::Toolkit ui;
    EditorState st;
    Layout layout;

    // The table, in the order the main loop tests it: the data buttons, the
    // chunk actions, the file commands and verify. Additions append to it.
    std::vector<Command> commands;
    // The command of that name, or null.
    Command* FindCommand(const std::string& name);
    // Runs the command when it is enabled; true when it ran.
    virtual bool Execute(const std::string& name) = 0;

    // PopupMessage.
    virtual void Message(const std::string& title, const std::string& text) = 0;
    // PopupConfirm; 0 is yes.
    virtual int Ask(const std::string& title, const std::string& text) = 0;
    // A popup with these choices; the index of the one taken.
    virtual int Choose(const std::string& title, const std::string& text, const std::vector<std::string>& choices) = 0;
    // Flushes keys and pointer after a modal dialog and samples the pointer
    // again, so the key or click that closed it does not reach the editor.
    virtual void FlushInput() = 0;
    // Selects a chunk of the tree, opens the tree down to it and scrolls it
    // into view; false (nothing changes) for a chunk no longer in the tree.
    virtual bool Reveal(const mesh::chunkptr& c) = 0;
    // Scrolls the data view so that the byte at offset of the selected chunk
    // is on it.
    virtual void ShowInDataView(int64_t offset) = 0;
    // The pointer is over a model of that name: the status text names it,
    // or the title line when there is no status text.
    virtual void HintModel(const std::string& name) = 0;
    // Shows text as the status text of the tool row (Notice).
    void Status(const std::string& text) { doc.notices.Emit({text}); }
};

}  // namespace editor
