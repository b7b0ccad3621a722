// The command table, changes and the history. Every command that changes the
// mesh does so inside Change; the file commands, the chunk actions and the
// verification report are in chunk_commands.cpp, the data buttons in
// dataview.cpp.
#include <algorithm>

#include "editor/checkpanel.h"
#include "editor/chunkactions.h"
#include "editor/dataview.h"
#include "editor/editor.h"
#include "editor/filerow.h"
#include "editor/inspector.h"
#include "editor/modellist.h"
#include "editor/rename_all.h"
#include "editor/toolrow.h"

namespace editor {

// ---- the table ---------------------------------------------------------------

void Editor::BuildCommands() {
    // The data buttons and the byte picker.
    data->AddCommands();

    // The chunk actions.
    actions->AddCommands();

    // The file commands and verification.
    files->AddCommands();

    // Undo and redo.
    tools->AddCommands();

    // The inspector's value edits and its go to.
    inspector->AddCommands();

    // The deep check, the comparison and the repairs.
    checks_->AddCommands(tools->checkbutton, tools->diffbutton);
    // A model or a texture renamed with every reference.
    AddRenameAll(*this);
    // The next model whose name holds what the find box holds.
    modellist->AddCommands();
}

void Editor::HoverHint() {
    for (const Command& c : commands) {
        if (!c.button || c.shortcuts.empty() || c.button->hidden || !c.button->mouseover(ui)) continue;
        std::string keys;
        for (const Shortcut& k : c.shortcuts)
            keys += (keys.empty() ? "" : " or ") + std::string("Ctrl+") +
                    (k.shift == Shortcut::with ? "Shift+" : "") + static_cast<char>(k.key);
        hint = c.name + ": " + keys;
        return;
    }
}

void Editor::HintModel(const std::string& name) {
    if (inspector && inspector->shown())
        hint = "model " + name;
    else
        files->ShowTitle(name);
}

Command* Editor::FindCommand(const std::string& name) {
    for (Command& c : commands)
        if (c.name == name) return &c;
    return nullptr;
}

bool Editor::Execute(const std::string& name) {
    Command* c = FindCommand(name);
    if (!c || !c->Enabled()) return false;
    RunGuarded(static_cast<size_t>(c - commands.data()));
    return true;
}

void Editor::RunGuarded(size_t i) {
    const std::string name = commands[i].name;
    try {
        commands[i].run();
    } catch (const std::bad_alloc&) {
        // A change that ran out of memory has been taken back (Change), and
        // a command that only reads the mesh keeps what it had shown.
        Message("Error!", WithReason("Out of memory: " + name + " not done.", "The mesh is as it was."));
        FlushInput();
    }
}

void Editor::RunCommands() {
    // By index: a command may append to the table.
    for (size_t i = 0; i < commands.size(); ++i) {
        if (!commands[i].Enabled()) continue;
        bool fire = commands[i].button && commands[i].button->state;
        for (size_t k = 0; !fire && k < commands[i].shortcuts.size(); ++k) {
            // The modifiers are those held at the key's press, so a quick
            // shortcut whose Control is let go within the frame still counts.
            const Shortcut s = commands[i].shortcuts[k];
            const int mask = host::kModControl | (s.shift == Shortcut::any ? 0 : host::kModShift);
            const int mods = host::kModControl | (s.shift == Shortcut::with ? host::kModShift : 0);
            fire = host.KeyPresses(s.key, mods, mask) > 0;
        }
        if (fire) RunGuarded(i);
    }
    // Presses of shortcut keys with other modifiers do nothing, and are not
    // kept for later frames.
    for (const Command& c : commands)
        for (const Shortcut& s : c.shortcuts) host.KeyPresses(s.key);
}

// ---- changes and the history ---------------------------------------------------

void Editor::Change(const std::string& name, const mesh::chunkptr& scopein, Reach reach,
                    const std::function<void()>& change) {
    const mesh::chunkptr root = doc.mesh ? doc.mesh->hedr : nullptr;
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
    const Place placebefore = TakePlace(doc.selchunk, doc.datacursor, root, scope, subtree);
    try {
        change();
        Fault("change");
        Refresh();
        const Snapshot after = Snapshot::Take(scope, subtree);
        doc.history.Record(name, before, after, placebefore,
                           TakePlace(doc.selchunk, doc.datacursor, root, scope, subtree));
    } catch (const std::bad_alloc&) {
        // Memory ran out half way: every field the change could reach goes
        // back as it was taken, and no step is recorded. The command's
        // caller says what happened.
        Rejoin(History::PutBack(before));
        doc.selchunk = placebefore.selchunk;
        doc.datacursor = placebefore.datacursor;
        Refresh();
        throw;
    }
    const std::string notice = doc.history.TakeNotice();
    if (!notice.empty()) inspector->SetStatus(notice);
}

void Editor::Regroup(const mesh::chunkptr& m) {
    if (m->name != "MATL" || !m->kids.empty()) return;
    // Grouping writes the number of its MATD chunks in front; a MATL whose
    // count says otherwise (edited by hand) stays a leaf, with its bytes.
    // Memory that runs out on the way leaves it a leaf too.
    mesh::chunk::fields was = m->take();
    try {
        const int64_t n = std::max<int64_t>(0, m->size);
        std::vector<uint8_t> before(static_cast<size_t>(n)), after(static_cast<size_t>(n));
        m->readbytes(0, n, before.data());
        m->expandmatl(st.formatlist);
        m->Update(1);
        if (m->size != n || (m->readbytes(0, n, after.data()), after != before)) m->put(std::move(was));
    } catch (const std::bad_alloc&) {
        m->put(std::move(was));
    }
}

void Editor::Rejoin(const History::Applied& applied) {
    // Chunks that come back into the tree hold their MATLs as they were when
    // they left it. With grouping off, a grouped one is ungrouped (its data
    // as last rebuilt, count included); with grouping on, an ungrouped one
    // stays a leaf, which saves the same bytes.
    const int now = st.recognizematl;
    if (now == 0)
        for (const mesh::chunkptr& k : applied.attached) k->collapsematl();
    if (now == 1)
        for (const mesh::chunkptr& m : applied.matls) Regroup(m);
}

void Editor::StepOver(bool forward) {
    const History::Step* step = forward ? doc.history.ToRedo() : doc.history.ToUndo();
    if (!step || !doc.mesh || !doc.mesh->hedr) return;
    const mesh::chunkptr root = doc.mesh->hedr;
    const Place place = forward ? step->after : step->before;
    Fault(forward ? "redo" : "undo");
    Rejoin(forward ? doc.history.Redo() : doc.history.Undo());
    doc.selchunk = PutPlace(place, root);
    doc.datacursor = place.datacursor;
    Refresh();
    inspector->SetStatus((forward ? "redone: " : "undone: ") + step->name);
}

void Editor::Undo() { StepOver(false); }

void Editor::Redo() { StepOver(true); }

bool Editor::MayDropMesh() {
    if (!doc.Modified()) return true;
    const int answer = widgets::PopupSaveChanges(ui, "Confirm", "Save changes to " + doc.title + "?");
    FlushInput();
    if (answer == 0) return SaveMeshAs();
    return answer == 1;
}

}  // namespace editor
