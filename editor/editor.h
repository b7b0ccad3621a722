// The editor application. One Editor holds the document (document/document.h),
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

#include "display/display.h"
#include "display/tilemap.h"
#include "document/document.h"
#include "editor/panel.h"
#include "host/host.h"
#include "mesh/chunk.h"
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

class Editor : public Desk {
public:
    // The display must not be loaded yet: Startup loads it.
    Editor(host::Host& host, display::Display& display);
    ~Editor() override;

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
    // Before the mesh is dropped (window closed, open, new): when it has
    // unsaved changes, asks "Save changes to <title>?" with save, discard
    // and cancel. True when it may be dropped: nothing to save, saved, or
    // discarded; false when cancelled or when the save failed or was
    // cancelled.
    bool MayDropMesh();

    // ---- what the editor holds besides the desk
    EditorWidgets w;
    EditorGrids g;
    // What the pointer is over, for the status text of this frame: a
    // command's shortcut, a model's name; empty for none.
    std::string hint;
    // The last verification's findings.
    std::vector<std::string> findings;
    // Every message and question popup shown so far (title, text), oldest
    // first.
    struct Shown {
        std::string title, text;
    };
    std::vector<Shown> messages;

    // The panels, each made by BuildWidgets.
    std::unique_ptr<FileRowPanel> files;          // the title line and the file buttons
    std::unique_ptr<TreePanel> tree;              // the chunk tree at the left
    std::unique_ptr<ModelListPanel> modellist;    // the model list under the chunk actions
    std::unique_ptr<ChunkActionsPanel> actions;   // the chunk actions and the grouping box
    std::unique_ptr<DataPanel> data;              // the data view and the data window
    std::unique_ptr<InspectorPanel> inspector;    // the inspector window of the free area
    std::unique_ptr<ToolRowPanel> tools;          // the tool row of the free area
    // The check window: the deep check, the comparison, the repairs.
    CheckPanel& checks() { return *checks_; }
    const CheckPanel& checks() const { return *checks_; }

    // ---- the desk's services
    bool Execute(const std::string& name) override;
    // Popups are remembered in messages.
    void Message(const std::string& title, const std::string& text) override;
    int Ask(const std::string& title, const std::string& text) override;
    int Choose(const std::string& title, const std::string& text, const std::vector<std::string>& choices) override;
    void FlushInput() override;
    bool Reveal(const mesh::chunkptr& c) override;
    void ShowInDataView(int64_t offset) override;
    void HintModel(const std::string& name) override;

private:
    void BuildWidgets();
    void BuildCommands();
    void RunCommands();
    void ReadCommandLine(const std::vector<std::string>& args);
    // The hint of a button under the pointer: its command and shortcut.
    void HoverHint();
    // Runs command i; memory that runs out in it is said in a popup.
    void RunGuarded(size_t i);

    // The commands of the file row and the chunk actions
    // (chunk_commands.cpp).
    void AddFileCommands();
    void AddChunkActions();
    void OpenMesh();
    // True when the mesh was written.
    bool SaveMeshAs();
    void NewMesh();
    void RenameChunk();
    void DeleteChunk();
    void ExportChunk();
    void ImportAfter();
    void ImportUnder();
    // Moves the selected chunk by one place among its siblings (by -1 or 1).
    void Shift(int by);
    void VerifyMesh();

    std::unique_ptr<CheckPanel> checks_;
    // Every panel, in the order the frame is composed.
    std::vector<Panel*> panels_;
    bool drawn_ = false;  // the widgets have been drawn (placed) at least once
};

}  // namespace editor
