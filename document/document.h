// The document: what the editor saves and undoes, apart from the window and
// the panels that show it. The mesh, its undo history, the selected chunk and
// the data cursor (both put back with a step), the title and the file it came
// from, and the material grouping the tree is shown with. Every change of the
// mesh goes through Change and is one undo step; Undo and Redo put steps
// back. It needs no host, display or widgets: panels learn of what happened
// through its events and act on it through the editor's commands.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "document/history.h"
#include "files/stamp.h"
#include "mesh/chunk.h"
#include "mesh/msh.h"

namespace editor {

// ---- the document's events, each delivered to its subscribers in the order
// they subscribed

// Another mesh took the place of the current one (opened, made new): nothing
// selected, a fresh history.
struct MeshReplaced {};
// The tree was rebuilt after a change, an undo or redo, a regrouping or a
// new mesh: its rows (every open row, the root included; 0 without a mesh)
// and its models in tree order.
struct Changed {
    int rows = 0;
    const std::vector<mesh::chunkptr>& models;
};
// The list of the check window was made anew: a check, a comparison, or the
// dropping of either for another mesh.
struct FindingsChanged {
    // The records of the mesh whose file is missing (texture records whose
    // .tga no folder of the mod tree holds where the build looks), marked in
    // the tree and the inspector until the next list.
    std::vector<std::weak_ptr<mesh::chunk>> missingfiles;
};
// Whether c is one of the chunks of the list (chunks that left the tree
// or were freed count no more).
inline bool Holds(const std::vector<std::weak_ptr<mesh::chunk>>& list, const mesh::chunk* c) {
    for (const std::weak_ptr<mesh::chunk>& w : list)
        if (const mesh::chunkptr p = w.lock(); p.get() == c) return true;
    return false;
}

// A line for the status text (what the history dropped, what reading a file
// had to say).
struct Notice {
    std::string text;
};

// The subscribers of one kind of event.
template <class Event>
class Signal {
public:
    using Handler = std::function<void(const Event&)>;
    void Subscribe(Handler h) { handlers_.push_back(std::move(h)); }
    void Emit(const Event& e) const {
        for (const Handler& h : handlers_) h(e);
    }

private:
    std::vector<Handler> handlers_;
};

class Document {
public:
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
    // The MATD chunks of every MATL grouped under it (1) or left in its data
    // (0); the container chunk names a parse opens.
    int recognizematl = 1;
    mesh::namelist formatlist;

    Signal<MeshReplaced> replaced;
    Signal<Changed> changed;
    Signal<FindingsChanged> findingschanged;
    Signal<Notice> notices;

    // The root chunk, or null.
    mesh::chunkptr Root() const { return mesh ? mesh->hedr : nullptr; }
    // Whether there are changes that were not saved: edits, or what reading
    // the file mended (sizes re-laid, a file cut short), which only a save
    // writes.
    bool Modified() const { return mesh && (history.Modified() || !readnote.empty()); }
    // A mesh takes the place of the current one: nothing selected, a fresh
    // history that counts it as saved. Tells MeshReplaced; the caller
    // refreshes.
    void Replace(mesh::mshptr m, std::string newtitle, std::string newpath);

    // How far below its scope chunk a change may reach: only the scope's own
    // fields (name, size, data, list of children, open state), or anything in
    // its subtree.
    enum class Reach { own, subtree };
    // Every change of the mesh goes through here, and is one undo step: takes
    // the fields of the chunks in reach, runs change, refreshes and records
    // what differs, with the selection and data cursor before and after.
    // scope is the chunk whose own fields (Reach::own) or subtree
    // (Reach::subtree) hold everything that change alters, besides the sizes
    // the rebuild derives; null means the whole tree. A change that alters
    // nothing records no step. For instance a field of a record written as
    // bytes, or a text record given a new size:
    //     doc.Change("set field", c, Document::Reach::own,
    //                [&] { c->SetInt(pos, value, doc.formatlist); });
    //     doc.Change("resize text", c, Document::Reach::own,
    //                [&] { c->setdata(std::move(newbytes)); });
    // change may also set selchunk and datacursor; undo puts back both. It
    // must not open dialogs: ask first, then change. Memory that runs out in
    // change or in the refresh (a subscriber of Changed included) puts back
    // every field it could reach, records nothing and throws std::bad_alloc
    // on.
    void Change(const std::string& name, const mesh::chunkptr& scope, Reach reach,
                const std::function<void()>& change);
    // Undoes or redoes the next step, under the grouping it was taken with,
    // and puts back its selection and data cursor. Memory that runs out in
    // the refresh after it puts the step back the other way and throws on.
    void Undo();
    void Redo();

    // The refresh after every change: rebuilds the tree, recounts it and
    // tells Changed.
    void Refresh();
    // Groups the MATD chunks of every MATL under it (on) or takes them back
    // into its data; a selection that leaves the tree moves to its nearest
    // ancestor in it.
    void GroupMaterials(bool on);

private:
    void StepOver(bool forward);
    // Groups a MATL that was put back as a leaf, unless grouping would
    // change its bytes.
    void Regroup(const mesh::chunkptr& m);
    // Brings what putting back fields attached into the current grouping.
    void Rejoin(const History::Applied& applied);
};

// The child indexes that lead from root to c; false when c is not reachable
// from root (it, or one of its ancestors, has left its parent's list).
bool PathFromRoot(const mesh::chunkptr& c, const mesh::chunkptr& root, std::vector<size_t>& path);

}  // namespace editor
