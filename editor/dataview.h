// The data view under the chunk tree (the selected chunk's bytes, 16 to a
// row, with the data cursor), the readouts under the model list, and the
// data window: the remove, insert and input buttons, the handle box, the
// value box and the byte picker. The panel edits the mesh only through its
// commands, each one step of Editor::Change.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "display/display.h"
#include "display/tilemap.h"
#include "editor/panel.h"
#include "mesh/chunk.h"
#include "widgets/gadget.h"

namespace editor {

// The readout lines for byte position at of the chunk's data, top to bottom:
// "at: ", then "byt:" and "bin:" when the byte exists, "sht:" when two bytes
// do, "int:" and "flt:" when four do.
std::vector<std::string> ReadoutLines(const mesh::chunk& c, int at);

// The leaf of c's subtree whose data holds the bytes p .. p+n-1 of c's
// data, with at set to where they start in it; null when they are not all
// inside one leaf's data, or touch the first four bytes of a leaf that a
// parse could open.
mesh::chunkptr LeafHolding(const mesh::chunkptr& c, int64_t p, int64_t n, int64_t& at);

class DataPanel : public Panel {
public:
    explicit DataPanel(Desk& ed) : ed_(ed) {}

    // Makes the view's scroll bar under the tree panel, whose children it
    // is drawn among (the bytes stand under the tree).
    void BuildView(widgets::gadget& treepanel);
    // Makes the data window with the byte picker under root. readouts: the
    // cells under the model list where the values at the shown byte go.
    void Build(widgets::gadget& root, widgets::area readouts);
    // Appends the data buttons and "pick byte" to the editor's table.
    void AddCommands() override;
    // At the frame's start: clears the grids, takes the handle box's state,
    // and enables the data window while a chunk is selected.
    void Prepare() override;
    // Before the widgets are drawn: paints the bytes and the readouts (into
    // screen), takes the clicks that place the cursor or pick a byte.
    void View(display::tilemap& screen) override;
    // After the widgets are drawn: the bytes and the byte table into screen.
    void Paste(display::tilemap& screen) override;
    // After the screen is drawn: the picker's marks over its table.
    void Draw() override;

    // Scrolls the view so that the byte at offset of the selected chunk is on it.
    void ShowOffset(int64_t offset);
    // Handle mode (byte edits adjust the chunks inside the data), a saved
    // preference: as the box was at the last frame's start, or as last set.
    int handle() const { return handle_; }
    void SetHandle(int on);

    // ---- open to tests
    widgets::gadget* window = nullptr;   // "data"
    widgets::gadget* scroll = nullptr;   // the view's scroll bar
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
    widgets::gadget* tableanchor = nullptr;  // the byte picker's top-left
    display::tilemap grid;         // the bytes shown, 16 x 8
    display::tilemap bytetable;    // the picker's 256 glyphs
    display::tilemap byteoverlay;  // the picker's hover and value marks
    int pickedbyte = 0;            // the value "pick byte" writes

private:
    void Bytes();
    void Readouts(display::tilemap& screen);
    void RemoveBytes(int n);
    void InsertBytes(int n);
    void InputBytes(int n);
    void InputString();
    void InputFloat();
    void PickByte();
    // Writes v at the data cursor of the selected chunk, one step. A write
    // into a container that falls inside one leaf's data goes into that
    // leaf (LeafHolding): the same bytes, and the step keeps the leaf's
    // changed bytes rather than the container's old children.
    void WriteBytes(const std::string& name, std::span<const uint8_t> v);

    Desk& ed_;
    widgets::area readouts_;
    int dataat_ = 0;  // the byte the readouts show this frame
    int handle_ = 1;
};

}  // namespace editor
