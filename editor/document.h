// The document: what the editor saves and undoes, apart from the panels that
// show it. The mesh, its undo history, the selected chunk and the data
// cursor (both put back with a step), the title and the file it came from.
// Panels read it to draw and change it only through the editor's commands.
#pragma once

#include <cstdint>
#include <string>

#include "editor/history.h"
#include "host/files.h"
#include "mesh/chunk.h"
#include "mesh/msh.h"

namespace editor {

struct Document {
    mesh::mshptr mesh;              // the mesh being edited, or none
    History history;                // its changes, to undo and redo
    mesh::chunkptr selchunk;        // the selected chunk, or none
    int datacursor = kNoCursor;     // byte index of the data cursor; negative: none
    std::string title = "Welcome to vornabel!";
    std::string path;               // the file last opened or saved; empty: none
    host::FileStamp stamp;          // that file when it was read or written
    // What reading the file had to say (a file that ended inside its root,
    // sizes re-laid to take their padding); empty once it is saved or
    // replaced.
    std::string readnote;
    // Counts the refreshes after changes: a view that keeps what it decoded
    // from the mesh decodes again when it moves on.
    int64_t revision = 0;

    // The root chunk, or null.
    mesh::chunkptr Root() const { return mesh ? mesh->hedr : nullptr; }
    // Whether there are changes that were not saved: edits, or what reading
    // the file mended (sizes re-laid, a file cut short), which only a save
    // writes.
    bool Modified() const { return mesh && (history.Modified() || !readnote.empty()); }
    // A mesh takes the place of the current one: nothing selected, a fresh
    // history that counts it as saved.
    void Replace(mesh::mshptr m, std::string newtitle, std::string newpath) {
        mesh = std::move(m);
        title = std::move(newtitle);
        path = std::move(newpath);
        stamp = {};
        selchunk = nullptr;
        readnote.clear();
        history.Clear();
    }
};

}  // namespace editor
