// The text-mode widget toolkit: widgets that live in grid cells, draw
// themselves into a tilemap and poll the pointer and keys once a frame.
//
// Usage, once a frame:
//     ui.UpdatePointer();
//     root->draw(ui, screen, 0, 0);
//     if (savebutton->state) ...
//
// There are no callbacks: a widget's state tells what happened during the
// frame. A parent owns its children; the program keeps plain pointers to the
// widgets it reads.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "display/palette.h"
#include "display/tilemap.h"
#include "widgets/toolkit.h"

namespace widgets {

using display::tilemap;

// A rectangle of cells for pointer tests.
struct area {
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;

    // A negative width moves x left by that much and becomes positive; the
    // same for the height.
    static area Create(int x, int y, int w, int h);
    // Whether the pointer cell lies in the rectangle shifted by (ox, oy).
    bool MouseIn(const Toolkit& ui, int ox, int oy) const;
};

// Text insertion and deletion as the text box uses them. InsertAt puts the
// insertion before character pos (0-based); pos < 1 prepends and pos past the
// end appends. DeleteAt removes the pos-th character counted from 1 and leaves
// the text unchanged for pos < 1 or pos > its length.
std::string InsertAt(const std::string& text, const std::string& insertion, int pos);
std::string DeleteAt(const std::string& text, int pos);

// A text cut into rows of at most width characters for a label: character
// 255 ends a row, a row breaks at the last blank that lets it fit (the blank
// itself is not shown), and a word longer than a row is cut where the row
// ends. No character other than those blanks and breaks is lost. At most
// maxrows rows are made; a width below 1 gives none.
std::vector<std::string> WrapText(const std::string& text, int width, int maxrows);

class gadget {
public:
    // Kinds.
    static constexpr int WINDOW = 0;
    static constexpr int LABEL = 1;
    static constexpr int BUTTON = 2;
    static constexpr int CHECKBOX = 3;
    static constexpr int HSCROLL = 4;  // reserved, never created
    static constexpr int VSCROLL = 5;
    static constexpr int LIST = 6;     // reserved, never created
    static constexpr int CANVAS = 7;   // reserved, never created
    static constexpr int TEXTBOX = 8;
    // Scroll directions.
    static constexpr int horizontal = 0;
    static constexpr int vertical = 1;

    // The characters a text box accepts unless told otherwise (90 of them).
    static const std::string defaultchars;

    std::shared_ptr<tilemap> canv;  // unused by the kinds the program creates
    uint8_t bordercolor = display::palette::kBorder;
    uint8_t TextColor = display::palette::kText;
    uint8_t disabledcolor = display::palette::kDisabled;
    uint8_t bgcolor = display::palette::kScreen;
    std::optional<area> box;  // wheel area of a scroll bar, relative to dx, dy
    int kind = WINDOW;
    int x = 0, y = 0;    // relative to the parent's drawn position
    int dx = 0, dy = 0;  // absolute cell of the last draw
    int w = 0, h = 0;    // scroll bar: w = length, h = maximum value
    std::vector<std::unique_ptr<gadget>> child;  // drawing order
    gadget* parent = nullptr;
    int hidden = 0;
    std::string title;
    std::string chars = defaultchars;
    int _disabled = 0;
    std::vector<std::string> item;  // unused by the kinds the program creates
    int state = 0;
    int at = 0;
    // Text box: the most characters it takes (-1: w * h - 1), and for a box
    // of one row the first character shown, which follows the caret when
    // the text is longer than the box.
    int maxchars = -1;
    int first = 0;
    // Check box: its caption takes a click too (the box alone does unless
    // this is set).
    int labelclicks = 0;
    // Text box: the last typed character that is not among its chars (0:
    // none), for its owner to say why nothing was typed; the owner clears it.
    int refused = 0;
    int active = 0;                 // kept for completeness, read by nothing
    gadget* nextactive = nullptr;   // kept for completeness, read by nothing

    gadget() = default;
    gadget(const gadget&) = delete;
    gadget& operator=(const gadget&) = delete;

    // Constructors. With a parent the new widget is appended to its children
    // and owned by it (a plain pointer comes back); without one the caller
    // owns it.
    static gadget* CreateWindow(const std::string& title, int x, int y, int w, int h, gadget& parent);
    static std::unique_ptr<gadget> CreateWindow(const std::string& title, int x, int y, int w, int h);
    static gadget* CreateLabel(const std::string& text, int x, int y, int w, int h, gadget& parent,
                               int mode);
    static std::unique_ptr<gadget> CreateLabel(const std::string& text, int x, int y, int w, int h,
                                               int mode);
    static gadget* CreateButton(const std::string& caption, int x, int y, int w, int h, gadget& parent);
    static std::unique_ptr<gadget> CreateButton(const std::string& caption, int x, int y, int w, int h);
    static gadget* CreateCheckbox(const std::string& caption, int x, int y, gadget& parent);
    static std::unique_ptr<gadget> CreateCheckbox(const std::string& caption, int x, int y);
    static gadget* CreateTextbox(const std::string& text, int x, int y, int w, int h, gadget& parent,
                                 const std::string& allowed);
    static std::unique_ptr<gadget> CreateTextbox(const std::string& text, int x, int y, int w, int h,
                                                 const std::string& allowed);
    // Only vertical bars exist; the direction is accepted for completeness.
    static gadget* CreateScroll(int x, int y, int length, int direction, int maximum, gadget& parent);
    static std::unique_ptr<gadget> CreateScroll(int x, int y, int length, int direction, int maximum);

    // Replaces the wheel area; coordinates relative to dx, dy.
    void SetArea(int ax, int ay, int aw, int ah);

    void disable() { _disabled = 1; }
    void enable() { _disabled = 0; }
    void disablegroup();  // this widget and its whole subtree
    void enablegroup();
    // 1 when this widget or any ancestor is disabled.
    int disabled() const;
    // Whether the pointer lies in (dx, dy, w, h).
    bool mouseover(const Toolkit& ui) const;

    // Paints the subtree into the grid at offset (ox, oy) and applies this
    // frame's input to it. Returns 0.
    int draw(Toolkit& ui, tilemap& grid, int ox, int oy);

    // The popup dialog: returns the 0-based index of the chosen entry, or -1
    // when there are no entries. See widgets/popup.cpp.
    static int popup(Toolkit& ui, const std::string& title, const std::string& text,
                     const std::vector<std::string>& entries);

    // draw without input, for widgets that have none (windows and labels
    // drawn by DrawWindow and DrawLabel, outside any frame).
    int paint(tilemap& grid, int ox, int oy);

private:
    static gadget* Adopt(std::unique_ptr<gadget> g, gadget& parent);
    int DrawTree(Toolkit* ui, tilemap& grid, int ox, int oy);
    // One widget's own part of draw; false when it is hidden. Without a
    // toolkit no input is taken.
    bool DrawSelf(Toolkit* ui, tilemap& grid, int ox, int oy);
    void DrawWindowFrame(tilemap& grid);
    void DrawWindowTitle(tilemap& grid);
    void DrawLabelText(tilemap& grid, int d);
    void DrawCheckbox(Toolkit* ui, tilemap& grid, int d);
    void DrawButton(Toolkit* ui, tilemap& grid, int d);
    void DrawScroll(Toolkit* ui, tilemap& grid, int d);
    void DrawTextbox(Toolkit* ui, tilemap& grid, int d);
};

// "Ok" popup; returns 1 once it has closed.
int PopupMessage(Toolkit& ui, const std::string& title, const std::string& text);
// "Yes"/"No" popup; 0 means yes, 1 means no.
int PopupConfirm(Toolkit& ui, const std::string& title, const std::string& text);
// "save"/"discard"/"cancel" popup; returns 0, 1 or 2 (Escape: 2, cancel).
int PopupSaveChanges(Toolkit& ui, const std::string& title, const std::string& text);

// A window or label widget without parent, drawn into grid at offset 0, 0
// without input (as a popup draws its frame); returned for its layout.
std::shared_ptr<gadget> DrawWindow(tilemap& grid, const std::string& title, int x, int y, int w, int h);
std::shared_ptr<gadget> DrawLabel(tilemap& grid, const std::string& text, int x, int y, int w, int h);

}  // namespace widgets
