// The inspector window in the free area right of the chunk actions: the
// selected chunk's path, its data decoded (inspect/inspect.h) with values that
// are edited in place, the rows of a list, or a hex dump of its bytes with a
// "go to" field (editor/hexdump.cpp), or the 3D preview (editor/previewpanel.h).
// The tool row's status text lives here too.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <memory>

#include "display/tilemap.h"
#include "document/history.h"
#include "editor/panel.h"
#include "editor/previewpanel.h"
#include "inspect/inspect.h"
#include "widgets/gadget.h"
#include "widgets/toolkit.h"

namespace editor {

class InspectorPanel : public Panel {
public:
    explicit InspectorPanel(Desk& ed) : ed_(ed) {}

    // Makes the widgets under root (nothing when the free area is too small).
    void Build(widgets::gadget& root);
    // Appends the panel's commands to the editor's table.
    void AddCommands() override;
    // Before the widgets are drawn: follows the selection, paints the
    // contents and takes the clicks of the last pointer sample.
    void View(display::tilemap& screen) override;
    // After the widgets are drawn: pastes the contents into the screen.
    void Paste(display::tilemap& screen) override;
    // After the screen grid is drawn: the preview's picture.
    void Draw() override;

    bool shown() const { return window != nullptr; }
    // The status text of the tool row (a Notice of the document). It runs on
    // from the row right of the tool buttons to the row under them; a text
    // longer than both rows ends in the cut mark, and the check window shows
    // it whole (editor/statusline.h).
    void SetStatus(const std::string& text);
    // Shows a hint in place of the status text for this frame (none: empty).
    void ShowHint(const std::string& hint);
    // The whole text shown there now (the hint, else the status text).
    const std::string& StatusShown() const { return shown_; }
    // The status text itself.
    const std::string& Status() const { return status_; }

    // ---- open to tests
    widgets::gadget* window = nullptr;
    widgets::gadget* hexbox = nullptr;     // the "hex" toggle
    std::unique_ptr<PreviewPanel> preview; // the "view" mode beside it
    widgets::gadget* gotobox = nullptr;    // offset to go to
    widgets::gadget* editbox = nullptr;    // the value being typed, in place
    widgets::gadget* scroll = nullptr;
    widgets::gadget* statuslabel = nullptr;  // the status text's first row
    widgets::gadget* statusrest = nullptr;   // and its second
    display::tilemap grid;                 // the window's contents
    mesh::Inspection inspection;           // of the selected chunk
    bool editing = false;
    // The screen position of value k of content line `item` (its lines first,
    // then a list's rows); false when it is not shown.
    bool ValueCell(int64_t item, size_t k, int& x, int& y) const;
    // The screen cell of a byte in the hex dump; false when not shown.
    bool ByteCell(int64_t offset, int& x, int& y) const;
    // Bytes a row of the dump, and screen lines a row takes.
    int hexbytes = 16, hexlines = 1;

private:
    // A value shown on the screen, for clicks.
    struct Span {
        int x0, x1, y;
        int64_t item;  // content line (lines, then rows)
        int k;         // value index, or -1 for the line itself
    };
    void Follow();  // re-inspects when the selection or the mesh changed
    void PaintLines();
    void PaintHex();
    void Click();
    void OpenEdit(int64_t item, int k);
    void CancelEdit();
    void SetValue();
    void GoTo();
    mesh::InspectLine Item(int64_t item) const;
    int64_t Items() const;
    int Nearest(const float rgba[4]) const;
    const widgets::Toolkit& ui() const;

    Desk& ed_;
    std::vector<std::weak_ptr<mesh::chunk>> missing_;  // records whose file the last check found missing
    int gx_ = 0, gy_ = 0;   // screen cell of the grid's top-left
    std::vector<Span> spans_;
    int64_t revision_ = -1;
    const mesh::chunk* target_ = nullptr;
    int32_t size_ = -1;
    int lastcursor_ = kNoCursor;
    // The value being edited.
    int64_t edititem_ = -1;
    int editk_ = -1;
    int editscroll_ = 0;
    mesh::InspectValue editvalue_;
    bool opened_ = false;   // the edit box opened in this frame
    bool painted_ = false;  // the window has been placed by a first draw
    bool lasthex_ = false;  // "hex" was ticked in the last frame
    std::string status_;
    std::string shown_;
};

}  // namespace editor
