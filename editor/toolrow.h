// The tool row of the free area, right of the chunk actions window: "undo",
// "redo", and the "check" and "diff" buttons, which the check window's
// commands take over. None of it is there when the grid has no free area.
#pragma once

#include "editor/panel.h"
#include "widgets/gadget.h"

namespace editor {

class ToolRowPanel : public Panel {
public:
    explicit ToolRowPanel(Desk& ed) : ed_(ed) {}

    // Makes the buttons under root, when the grid has a free area.
    void Build(widgets::gadget& root);
    // Appends undo and redo to the editor's table.
    void AddCommands() override;
    // After the commands ran: undo, redo and check enabled as they may run.
    void AfterCommands() override;

    // The buttons of the check window's commands (none without a free area).
    widgets::gadget* checkbutton = nullptr;
    widgets::gadget* diffbutton = nullptr;

private:
    Desk& ed_;
    widgets::gadget* undo_ = nullptr;
    widgets::gadget* redo_ = nullptr;
};

}  // namespace editor
