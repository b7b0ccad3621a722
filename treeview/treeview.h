// The chunk tree view: paints the visible rows of a mesh's tree into a grid,
// one indented row per chunk, and turns clicks on the rows into selecting,
// opening and closing chunks.
//
// The view works on state that belongs to the editor, handed to it in a
// TreeView that the editor makes once:
//     editor::TreeView view;
//     view.ui = &toolkit;              // pointer cell and release edges
//     view.selchunk = &doc.selchunk;   // the selection, read and set
//     view.treepanel = treepanel;      // where the grid is shown (dx, dy)
//     view.update = [&] { Refresh(); };// the editor's msh::Update after a click
// and then, once a frame, after the widgets were drawn:
//     editor::Render(*doc.mesh, view, treegrid, treescroll->state);
//
// It stands above the widgets and the mesh core, in a library of its own that
// the widget demo shares with the editor.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "display/palette.h"
#include "display/tilemap.h"
#include "mesh/chunk.h"
#include "mesh/msh.h"
#include "widgets/gadget.h"
#include "widgets/toolkit.h"

namespace editor {

struct TreeMemory;

struct TreeView {
    const widgets::Toolkit* ui = nullptr;         // mx, my, mousereleased
    mesh::chunkptr* selchunk = nullptr;           // the editor's selected chunk
    const widgets::gadget* treepanel = nullptr;   // dx, dy: the grid's cell on screen
    // Runs after a click changed the tree (the editor's msh::Update). The walk
    // goes on afterwards, so it must not take chunks out of the tree.
    std::function<void()> update;


    // What the walk remembers between frames: where it stood at rows above
    // the grid, so that a frame starts near its first row instead of at the
    // root. Made by the first frame; kept only while the tree's row clock,
    // the selection and the arguments of the walk stay the same.
    std::shared_ptr<TreeMemory> memory;

    // Whether a chunk's row is marked as a record whose file is missing;
    // empty: none is.
    std::function<bool(const mesh::chunk*)> missing;
};

// The colours of the tree view, roles of the palette: text and background at
// the root, the background of the hovered row and its subtree, of a flagged
// row, and the text of the selection's subtree.
inline constexpr int kTreeFg = display::palette::kText;
inline constexpr int kTreeBg = display::palette::kPanel;
inline constexpr int kTreeHover = display::palette::kHover;
inline constexpr int kTreeError = display::palette::kFlagged;
inline constexpr int kTreeMissing = display::palette::kMissingFile;
inline constexpr int kTreeSelected = display::palette::kSelected;
inline constexpr int kTreeHitWidth = 15; // clickable columns from the panel's left edge

// Paints the tree of m.hedr with row first on grid row 0. Returns 0.
int Render(mesh::msh& m, TreeView& view, display::tilemap& grid, int first);

// Paints chunk c at the given depth and row index, with the inherited colours,
// and its visible descendants; returns the rows they take (a chunk whose row
// lies below the grid counts 1). The pointer hits a row over the columns
// [o, o + w) of the panel.
int RenderChunk(mesh::msh& m, TreeView& view, const mesh::chunkptr& c, display::tilemap& grid, int depth, int y,
                int o, int w, int fg, int bg, int first);

// The text of a chunk's row: "-" for a leaf, "|" for an open container, "+"
// for a closed one, then name, ":" and size.
std::string RowText(const mesh::chunk& c);

}  // namespace editor
