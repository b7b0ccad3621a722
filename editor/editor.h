// The editor application: start-up, the fixed screen layout, the main loop
// and the commands. One Editor holds the whole program state; main() makes
// one over the window host, tests make one over the headless host.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "display/display.h"
#include "display/tilemap.h"
#include "host/host.h"
#include "mesh/chunk.h"
#include "mesh/msh.h"
#include "mesh/treeview.h"
#include "widgets/gadget.h"
#include "widgets/toolkit.h"

namespace editor {

// Configuration files, relative to the working directory.
inline const std::string kGraphicsPath = "mdata\\graphics.txt";
inline const std::string kFormatPath = "mdata\\format.txt";
inline const std::string kPrefsPath = "mdata\\prefs.dat";

// File dialog filters.
inline const std::string kMeshFilter = "SWBFII Mesh:msh;All Files:*";
inline const std::string kChunkFilter = "SWBFII Mesh Chunk:mck;All Files:*";

// Key codes of the shortcuts.
constexpr int kKeyOpen = 79;     // O
constexpr int kKeySave = 83;     // S
constexpr int kKeyNew = 78;      // N
constexpr int kKeyVerify = 86;   // V
constexpr int kKeyLeftCtrl = 162;
constexpr int kKeyRightCtrl = 163;

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
};

// Program-wide values that the views and commands read and write.
struct EditorState {
    mesh::mshptr curmesh;        // the mesh being edited, or none
    mesh::chunkptr selchunk;     // the selected chunk, or none
    int datacursor = -5;         // byte index of the data cursor; negative: none
    int dataat = 0;              // byte shown by the readouts this frame
    std::string meshtitle = "Welcome to vornabel!";
    std::string lastdir;         // where every file dialog starts
    int recognizematl = 1;       // material grouping on (mirrors its check box)
    int handleflag = 1;          // handle mode of byte edits (mirrors its check box)
    int lastmatl = 0;            // grouping state last applied to the mesh
    mesh::namelist formatlist;   // container chunk names
    std::vector<mesh::chunkptr> modllist;  // MODL chunks of curmesh in tree order
    int64_t framestart = 0;
};

// The widgets the program reads or changes after building them. All are
// owned by the tree under rootlabel.
struct EditorWidgets {
    std::unique_ptr<widgets::gadget> rootlabel;
    widgets::gadget* titlelabel = nullptr;
    widgets::gadget* savebutton = nullptr;
    widgets::gadget* openbutton = nullptr;
    widgets::gadget* newbutton = nullptr;
    widgets::gadget* verifybutton = nullptr;
    widgets::gadget* treebox = nullptr;
    widgets::gadget* chunkview = nullptr;
    widgets::gadget* treescroll = nullptr;
    widgets::gadget* treepanel = nullptr;
    widgets::gadget* datascroll = nullptr;
    widgets::gadget* recognizebox = nullptr;
    widgets::gadget* chunkactions = nullptr;
    widgets::gadget* exportbutton = nullptr;
    widgets::gadget* importunderbutton = nullptr;
    widgets::gadget* importafterbutton = nullptr;
    widgets::gadget* renamebutton = nullptr;
    widgets::gadget* shiftupbutton = nullptr;
    widgets::gadget* shiftdownbutton = nullptr;
    widgets::gadget* deletebutton = nullptr;
    widgets::gadget* modlview = nullptr;
    widgets::gadget* modlanchor = nullptr;
    widgets::gadget* modlscroll = nullptr;
    widgets::gadget* datawindow = nullptr;
    widgets::gadget* infowindow = nullptr;
    widgets::gadget* deletelabel = nullptr;
    widgets::gadget* insertlabel = nullptr;
    widgets::gadget* handlebox = nullptr;
    widgets::gadget* inputlabel = nullptr;
    widgets::gadget* fltbutton = nullptr;
    widgets::gadget* strbutton = nullptr;
    widgets::gadget* valuebox = nullptr;
    widgets::gadget* removebuttons[3] = {};
    widgets::gadget* insertbuttons[3] = {};
    widgets::gadget* inputbuttons[3] = {};
    widgets::gadget* tableanchor = nullptr;
};

// The grids the frame is composed of.
struct EditorGrids {
    display::tilemap screen;
    display::tilemap treegrid;
    display::tilemap datagrid;
    display::tilemap modlgrid;
    display::tilemap bytetable;
    display::tilemap byteoverlay;
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
    // Frames until the window closes, then Shutdown.
    void Run();
    // Writes the preferences; false when they could not be written.
    bool Shutdown();

    // ---- commands (each runs to completion, dialogs included)
    void OpenMesh();
    void SaveMeshAs();
    void NewMesh();
    void RenameChunk();
    void DeleteChunk();
    void ExportChunk();
    void ImportAfter();
    void ImportUnder();
    void ShiftUp();
    void ShiftDown();
    void VerifyMesh();

    // The refresh after every change: rebuilds the tree and sets the scroll
    // maxima and the model list from it.
    void Refresh();
    // Refills modllist from the mesh's tree (or empties it).
    void RebuildModlList();
    // Paints the model list and handles its hover and click.
    void DrawModlList(display::tilemap& grid, int first, int x0, int y0);

    // ---- state, open to tests and to the views
    host::Host& host;
    display::Display& display;
    widgets::Toolkit ui;
    EditorState st;
    EditorWidgets w;
    EditorGrids g;
    Layout layout;

    // The last verification's findings.
    std::vector<std::string> findings;
    // Every message popup shown so far (title, text), oldest first.
    struct Shown {
        std::string title, text;
    };
    std::vector<Shown> messages;

private:
    void BuildWidgets();
    void ReadCommandLine(const std::vector<std::string>& args);
    void ApplyMaterialGrouping();
    void DataView();
    void Readouts();
    void DataButtons();
    void ChunkCommands();
    void FileCommands();
    void RenderTree();
    // Flushes keys and pointer after a modal dialog and samples the pointer
    // again, so the key or click that closed it does not reach the editor.
    void FlushInput();
    mesh::TreeView treeview_;
    bool drawn_ = false;  // the widgets have been drawn (placed) at least once
    // PopupMessage, remembered in messages.
    void Message(const std::string& title, const std::string& text);
    bool ControlHeld();
};

}  // namespace editor
