// The document's changes: the one way to edit the mesh, undo and redo, the
// material grouping, and the refresh after each.
#include "document/document.h"

#include <algorithm>
#include <new>

namespace editor {

void Document::Replace(mesh::mshptr m, std::string newtitle, std::string newpath) {
    mesh = std::move(m);
    title = std::move(newtitle);
    path = std::move(newpath);
    selchunk = nullptr;
    readnote.clear();
    history.Clear();
    replaced.Emit({});
}

void Document::Refresh() {
    ++revision;
    const mesh::refresh r = mesh::msh::Update(mesh.get(), recognizematl, 0, 0);
    changed.Emit({r.treeh, r.modllist});
}

void Document::Change(const std::string& name, const mesh::chunkptr& scopein, Reach reach,
                      const std::function<void()>& change) {
    const mesh::chunkptr root = Root();
    mesh::chunkptr scope = scopein ? scopein : root;
    bool subtree = reach == Reach::subtree || !scopein;
    if (!scope) {
        change();
        Refresh();
        return;
    }
    // Regrouping replaces what a grouped MATL holds by new objects, so a
    // change inside one is taken over the whole MATL.
    for (mesh::chunkptr a = scope; a; a = a->getparent()) {
        if (a->name == "MATL") {
            scope = a;
            subtree = true;
        }
    }
    Snapshot before = Snapshot::Take(scope, subtree);
    const Place placebefore{selchunk, datacursor};
    try {
        change();
        Refresh();
        const Snapshot after = Snapshot::Take(scope, subtree);
        history.Record(name, before, after, placebefore, {selchunk, datacursor});
    } catch (const std::bad_alloc&) {
        // Memory ran out half way: every field the change could reach goes
        // back as it was taken, and no step is recorded. The command's
        // caller says what happened.
        Rejoin(History::PutBack(before));
        selchunk = placebefore.selchunk;
        datacursor = placebefore.datacursor;
        Refresh();
        throw;
    }
    const std::string notice = history.TakeNotice();
    if (!notice.empty()) notices.Emit({notice});
}

void Document::Regroup(const mesh::chunkptr& m) {
    if (m->name != "MATL" || !m->kids.empty()) return;
    // Grouping writes the number of its MATD chunks in front; a MATL whose
    // count says otherwise (edited by hand) stays a leaf, with its bytes.
    // Memory that runs out on the way leaves it a leaf too.
    mesh::chunk::fields was = m->take();
    try {
        const int64_t n = std::max<int64_t>(0, m->size);
        std::vector<uint8_t> before(static_cast<size_t>(n)), after(static_cast<size_t>(n));
        m->readbytes(0, n, before.data());
        m->expandmatl(formatlist);
        m->Update(1);
        if (m->size != n || (m->readbytes(0, n, after.data()), after != before)) m->put(std::move(was));
    } catch (const std::bad_alloc&) {
        m->put(std::move(was));
    }
}

void Document::Rejoin(const History::Applied& applied) {
    // Chunks that come back into the tree hold their MATLs as they were when
    // they left it. With grouping off, a grouped one is ungrouped (its data
    // as last rebuilt, count included); with grouping on, an ungrouped one
    // stays a leaf, which saves the same bytes.
    if (recognizematl == 0)
        for (const mesh::chunkptr& k : applied.attached) k->collapsematl();
    if (recognizematl == 1)
        for (const mesh::chunkptr& m : applied.matls) Regroup(m);
}

void Document::StepOver(bool forward) {
    const History::Step* step = forward ? history.ToRedo() : history.ToUndo();
    if (!step || !mesh || !mesh->hedr) return;
    const mesh::chunkptr root = mesh->hedr;
    const Place place = forward ? step->after : step->before;
    const Place was{selchunk, datacursor};
    Rejoin(forward ? history.Redo() : history.Undo());
    try {
        selchunk = place.selchunk ? NearestInTree(place.selchunk, root) : nullptr;
        datacursor = place.datacursor;
        Refresh();
    } catch (const std::bad_alloc&) {
        // The step goes back the other way, so the mesh, the history and the
        // selection stay as they were.
        Rejoin(forward ? history.Undo() : history.Redo());
        selchunk = was.selchunk;
        datacursor = was.datacursor;
        Refresh();
        throw;
    }
}

void Document::Undo() { StepOver(false); }

void Document::Redo() { StepOver(true); }

bool PathFromRoot(const mesh::chunkptr& c, const mesh::chunkptr& root, std::vector<size_t>& path) {
    path.clear();
    mesh::chunkptr cur = c;
    while (cur && cur != root) {
        mesh::chunkptr p = cur->getparent();
        const int idx = p ? p->IndexOfKid(cur.get()) : -1;
        if (idx < 0) return false;
        path.push_back(static_cast<size_t>(idx));
        cur = p;
    }
    std::reverse(path.begin(), path.end());
    return cur != nullptr;
}

void Document::GroupMaterials(bool on) {
    if (!mesh || !mesh->hedr) return;
    if (on)
        mesh->hedr->expandmatl(formatlist);
    else
        mesh->hedr->collapsematl();
    // A chunk selected inside a MATL leaves the tree when the MATL is
    // ungrouped; edits made to it would never be saved. The selection
    // moves to its nearest ancestor that is still in the tree.
    std::vector<size_t> path;
    while (selchunk && !PathFromRoot(selchunk, mesh->hedr, path)) selchunk = selchunk->getparent();
    Refresh();
}

}  // namespace editor
