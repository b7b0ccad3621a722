// The palette roles: every colour the panels paint with, named by what it is
// for. A role is an index into the 256-colour palette (data/image/palette.png);
// roles may share a colour, and a panel always names the role it paints.
#pragma once

namespace display::palette {

constexpr int kText = 0;        // text, and the background of a selected row (drawn inverted)
constexpr int kLabel = 1;       // labels: readouts, the inspector's names, offsets and path
constexpr int kHover = 1;       // the row or value under the pointer, the hovered byte
constexpr int kDisabled = 1;    // the text of a widget that is disabled
constexpr int kPickerGlyph = 8; // the glyphs of the byte picker
constexpr int kScreen = 9;      // the window behind the widgets, a widget's background
constexpr int kByteGroup = 9;   // every second group of four bytes in a data view
constexpr int kMarked = 9;      // an inspector row's marked label (a strip start, a shortfall)
constexpr int kMissingFile = 7;  // a record whose file no folder holds (a texture), in the tree and the inspector
constexpr int kFlagged = 10;    // a chunk flagged by verification, in the tree
constexpr int kChoiceMark = 14; // the marks under a popup's choices
constexpr int kChoice = 22;     // the background of a popup's choices
constexpr int kPanel = 25;      // the rows of a panel: tree, lists, data view, findings, inspector
constexpr int kCursor = 25;     // the byte under the data cursor, the picker's current value
constexpr int kBorder = 28;     // widget borders and the first group of four bytes of a data view
constexpr int kValue = 28;      // a value the inspector edits in place
constexpr int kSelected = 38;   // the text of the selected chunk's subtree in the tree
constexpr int kKeep = 255;      // given to a grid's writing operations: the cell keeps its own

}  // namespace display::palette
