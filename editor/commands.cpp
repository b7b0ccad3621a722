// The command table and the commands: the file commands, the chunk actions,
// the data buttons and the verification report. Every command that changes
// the mesh does so inside Change.
#include <algorithm>
#include <cerrno>
#include <new>

#include "editor/dataview.h"
#include "format/number.h"
#include "editor/editor.h"
#include "editor/inspector.h"
#include "host/files.h"
#include "format/records.h"
#include "mesh/verify.h"

namespace editor {

namespace {

// Verdicts of the verification report; character 255 breaks the line.
const std::string kVerdictFindings =
    std::string("This mesh is very probably not") + '\xff' + "going to work with SWBFII";
const std::string kVerdictClean = std::string("This mesh is likely to work fine") + '\xff' + "with SWBFII";

}  // namespace

// ---- the table ---------------------------------------------------------------

void Editor::BuildCommands() {
    auto selected = [this] { return doc.selchunk != nullptr; };
    auto cursor = [this] { return doc.selchunk != nullptr && doc.datacursor >= 0; };
    auto loaded = [this] { return doc.mesh != nullptr; };
    auto add = [this](std::string name, widgets::gadget* button, std::vector<Shortcut> keys, std::function<bool()> enabled,
                      std::function<void()> run) {
        commands.push_back({std::move(name), button, std::move(keys), std::move(enabled), std::move(run)});
    };

    // The data buttons: remove, insert and input of 1, 2 and 4 bytes, then
    // "str" and "flt"; the byte picker is clicked in the data view.
    for (int k = 0; k < 3; ++k) {
        const int n = 1 << k;
        const std::string bytes = " " + std::to_string(n);
        add("remove" + bytes, w.removebuttons[k], {}, cursor, [this, n] { RemoveBytes(n); });
        add("insert" + bytes, w.insertbuttons[k], {}, selected, [this, n] { InsertBytes(n); });
        add("input" + bytes, w.inputbuttons[k], {}, cursor, [this, n] { InputBytes(n); });
    }
    add("str", w.strbutton, {}, selected, [this] { InputString(); });
    add("flt", w.fltbutton, {}, cursor, [this] { InputFloat(); });
    add("pick byte", nullptr, {}, selected, [this] { PickByte(); });

    // The chunk actions.
    add("rename", w.renamebutton, {}, selected, [this] { RenameChunk(); });
    add("delete", w.deletebutton, {}, selected, [this] { DeleteChunk(); });
    add("export", w.exportbutton, {}, selected, [this] { ExportChunk(); });
    add("import after", w.importafterbutton, {}, selected, [this] { ImportAfter(); });
    add("import under", w.importunderbutton, {}, selected, [this] { ImportUnder(); });
    add("shift up", w.shiftupbutton, {}, selected, [this] { ShiftUp(); });
    add("shift down", w.shiftdownbutton, {}, selected, [this] { ShiftDown(); });

    // The file commands and verification.
    add("open msh", w.openbutton, {{kKeyOpen}}, nullptr, [this] { OpenMesh(); });
    add("save msh", w.savebutton, {{kKeySave}}, loaded, [this] { SaveMeshAs(); });
    add("new msh", w.newbutton, {{kKeyNew}}, nullptr, [this] { NewMesh(); });
    add("verify", w.verifybutton, {{kKeyVerify}}, loaded, [this] { VerifyMesh(); });

    // Undo and redo.
    add("undo", w.undobutton, {{kKeyZ, Shortcut::without}}, [this] { return doc.mesh && doc.history.CanUndo(); },
        [this] { Undo(); });
    add("redo", w.redobutton, {{kKeyY}, {kKeyZ, Shortcut::with}},
        [this] { return doc.mesh && doc.history.CanRedo(); }, [this] { Redo(); });

    // The inspector's value edits and its go to.
    inspector->AddCommands();

    // The deep check.
    add("check", w.checkbutton, {{kKeyK}}, loaded, [this] { CheckMesh(); });
    // The comparison with another file or the saved one.
    add("diff", w.diffbutton, {{kKeyD}}, loaded, [this] { CompareMesh(); });
    add("fix", nullptr, {{kKeyF, Shortcut::without}}, [this] { return FixableSelected() != nullptr; },
        [this] { FixSelected(); });
    add("fix all", nullptr, {{kKeyF, Shortcut::with}}, [this] { return doc.mesh && checked && !checkrepairs.empty(); },
        [this] { FixAll(); });
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

Command* Editor::FindCommand(const std::string& name) {
    for (Command& c : commands)
        if (c.name == name) return &c;
    return nullptr;
}

bool Editor::Execute(const std::string& name) {
    Command* c = FindCommand(name);
    if (!c || !c->Enabled()) return false;
    c->run();
    return true;
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
        if (fire) commands[i].run();
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
    const Snapshot before = Snapshot::Take(scope, subtree);
    const Place placebefore{doc.selchunk, doc.datacursor};
    change();
    Refresh();
    const Snapshot after = Snapshot::Take(scope, subtree);
    doc.history.Record(name, before, after, placebefore, {doc.selchunk, doc.datacursor});
}

void Editor::Regroup(const mesh::chunkptr& m) {
    if (m->name != "MATL" || !m->kids.empty()) return;
    // Grouping writes the number of its MATD chunks in front; a MATL whose
    // count says otherwise (edited by hand) stays a leaf, with its bytes.
    const mesh::chunk::fields was = m->take();
    const int64_t n = std::max<int64_t>(0, m->size);
    std::vector<uint8_t> before(static_cast<size_t>(n)), after(static_cast<size_t>(n));
    m->readbytes(0, n, before.data());
    m->expandmatl(st.formatlist);
    m->Update(1);
    if (m->size != n || (m->readbytes(0, n, after.data()), after != before)) m->put(was);
}

void Editor::StepOver(bool forward) {
    const History::Step* step = forward ? doc.history.ToRedo() : doc.history.ToUndo();
    if (!step || !doc.mesh || !doc.mesh->hedr) return;
    const mesh::chunkptr root = doc.mesh->hedr;
    const Place place = forward ? step->after : step->before;
    const History::Applied applied = forward ? doc.history.Redo() : doc.history.Undo();
    // Chunks that come back into the tree hold their MATLs as they were when
    // they left it. With grouping off, a grouped one is ungrouped (its data
    // as last rebuilt, count included); with grouping on, an ungrouped one
    // stays a leaf, which saves the same bytes.
    const int now = st.recognizematl;
    if (now == 0)
        for (const mesh::chunkptr& k : applied.attached) k->collapsematl();
    if (now == 1)
        for (const mesh::chunkptr& m : applied.matls) Regroup(m);
    doc.selchunk = place.selchunk ? NearestInTree(place.selchunk, root) : nullptr;
    doc.datacursor = place.datacursor;
    Refresh();
}

void Editor::Undo() { StepOver(false); }

void Editor::Redo() { StepOver(true); }

bool Editor::MayDropMesh() {
    if (!doc.mesh || !doc.history.Modified()) return true;
    const int answer = widgets::PopupSaveChanges(ui, "Confirm", "Save changes to " + doc.title + "?");
    FlushInput();
    if (answer == 0) return SaveMeshAs();
    return answer == 1;
}

// ---- data commands -----------------------------------------------------------

void Editor::RemoveBytes(int n) {
    const mesh::chunkptr c = doc.selchunk;
    Change("remove " + std::to_string(n), c, Reach::subtree, [&] {
        // Each call removes the byte at the cursor, so the n bytes from the
        // cursor on go; only the last call parses again.
        for (int j = 0; j < n; ++j)
            c->RemoveByte(doc.datacursor, st.handleflag, j == n - 1 ? 1 : 0, st.formatlist, st.recognizematl);
    });
}

void Editor::InsertBytes(int n) {
    const mesh::chunkptr c = doc.selchunk;
    Change("insert " + std::to_string(n), c, Reach::subtree, [&] {
        if (doc.datacursor >= 0)
            c->InsertBytes(doc.datacursor, n, st.handleflag, 1, st.formatlist, st.recognizematl);
        else
            c->GrowData(n);
    });
}

void Editor::InputBytes(int n) {
    const mesh::chunkptr c = doc.selchunk;
    // The value box reads numbers as the inspector does; raw bytes take a
    // value of either signedness (a byte: -128 to 255).
    format::Integer v;
    uint64_t bits = 0;
    if (!format::ReadInteger(w.valuebox->title, v) || !format::FitInteger(v, n, format::Signedness::Either, bits)) {
        Message("Error!", "Not a value for " + std::to_string(n) + (n == 1 ? " byte." : " bytes."));
        FlushInput();
        return;
    }
    // The n low bytes, least significant first; the children are parsed
    // again after the last.
    uint8_t bytes[4];
    for (int j = 0; j < 4; ++j) bytes[j] = static_cast<uint8_t>((bits >> (8 * j)) & 255u);
    Change("input " + std::to_string(n), c, Reach::own,
           [&] { c->SetBytes(doc.datacursor, std::span<const uint8_t>(bytes, static_cast<size_t>(n)), st.formatlist); });
}

void Editor::InputString() {
    const mesh::chunkptr c = doc.selchunk;
    Change("str", c, Reach::own,
           [&] { c->InsertString(std::max(0, doc.datacursor), w.valuebox->title, st.formatlist); });
}

void Editor::InputFloat() {
    const mesh::chunkptr c = doc.selchunk;
    float f = 0;
    if (!format::ReadFloat(w.valuebox->title, f)) {
        Message("Error!", "Not a value for a float.");
        FlushInput();
        return;
    }
    Change("flt", c, Reach::own, [&] { c->SetFloat(doc.datacursor, f, st.formatlist); });
}

void Editor::PickByte() {
    const mesh::chunkptr c = doc.selchunk;
    Change("pick byte", c, Reach::own, [&] { c->SetByte(doc.datacursor, st.pickedbyte, 1, st.formatlist); });
}

// ---- file and chunk commands ----------------------------------------------------

void Editor::OpenMesh() {
    if (!MayDropMesh()) return;
    const std::string path = host.RequestFile("Open Mesh file", kMeshFilter, false, st.lastdir + "\\");
    if (!path.empty()) {
        st.lastdir = host::DirectoryPart(path);
        // Read and grouped aside: a file that cannot be read, or a lack of
        // memory on the way, leaves the current mesh and its edits as they are.
        std::string why;
        mesh::mshptr m = mesh::OpenMesh(path, st.formatlist, st.recognizematl, &why);
        if (!m) {
            Message("Error!", WithReason("Unable to read mesh file.", why));
        } else {
            doc.Replace(m, host::BaseName(path), path);
        }
        Refresh();
    }
    FlushInput();
}

bool Editor::SaveMeshAs() {
    bool saved = false;
    const std::string proposal = host::ProposedFileName(doc.title, "msh");
    const std::string path = host.RequestFile("Save Mesh As", kMeshFilter, true, st.lastdir + "\\" + proposal);
    if (!path.empty() && doc.mesh) {
        st.lastdir = host::DirectoryPart(path);
        std::string why;
        if (doc.mesh->Save(path, st.recognizematl, &why)) {
            doc.title = host::BaseName(path);
            doc.path = path;
            doc.history.MarkSaved();
            saved = true;
        } else {
            Message("Error!", WithReason("Unable to write mesh file.", why));
        }
    }
    FlushInput();
    return saved;
}

void Editor::NewMesh() {
    // With unsaved changes the question is whether to save them; otherwise
    // whether to start anew at all.
    const bool go = doc.mesh && doc.history.Modified()
                        ? MayDropMesh()
                        : widgets::PopupConfirm(ui, "Confirm", "Create new mesh?") == 0;
    if (go) {
        auto m = std::make_shared<mesh::msh>();
        m->hedr = mesh::chunk::Create("HEDR");
        doc.Replace(m, "untitled", "");
        Refresh();
    }
    FlushInput();
}

void Editor::RenameChunk() {
    const mesh::chunkptr sel = doc.selchunk;
    // The prompt starts with the current name. Escape, or Enter on an empty
    // line, leaves the name as it was; otherwise it is fitted to the four
    // bytes the file holds, so the tree shows what will be saved.
    std::string typed = sel->name;
    if (!display::EditLine(display, "new chunk name: ", 0, typed) || typed.empty()) {
        Refresh();
        return;
    }
    const std::string name = mesh::FitName(typed);
    if (st.recognizematl != 1) {
        Change("rename", sel, Reach::own, [&] { sel->name = name; });
        return;
    }
    // With grouping on, the material lists are ungrouped around the rename and
    // grouped again, so that renaming to or from MATL groups or ungroups that
    // chunk. Only the subtree of the renamed chunk, or of the MATL that holds
    // it, can change. Regrouping replaces every chunk inside that MATL by a
    // new object: the new name and the selection follow the chunk by its
    // place, so they reach the tree and not an object that left it.
    mesh::chunkptr scope = sel;
    for (mesh::chunkptr a = sel; a; a = a->getparent())
        if (a->name == "MATL") scope = a;
    Change("rename", scope, Reach::subtree, [&] {
        std::vector<size_t> path;
        const bool reached = PathFromRoot(sel, scope, path);
        scope->collapsematl();
        sel->name = name;
        scope->expandmatl(st.formatlist);
        std::vector<size_t> now;
        if (reached && !PathFromRoot(sel, scope, now)) {
            mesh::chunkptr c = scope;
            for (size_t idx : path) c = idx < c->kids.size() ? c->kids[idx] : nullptr;
            if (c) {
                c->name = name;
                doc.selchunk = c;
            }
        }
    });
}

void Editor::DeleteChunk() {
    const mesh::chunkptr sel = doc.selchunk;
    const mesh::chunkptr parent = sel->getparent();
    const bool isroot = doc.mesh && doc.mesh->hedr == sel;
    if (isroot) {
        Message("Error!", "Unable to delete this chunk." + std::string(1, '\xff') + sel->name +
                              " is the root: every other chunk lies inside it.");
        FlushInput();
        return;
    }
    Change("delete", parent ? parent : sel, Reach::own, [&] {
        const int idx = parent ? parent->IndexOfKid(sel.get()) : -1;
        if (idx >= 0) {
            parent->RemoveKid(static_cast<size_t>(idx));
            // A container that loses its last child would keep the bytes of its
            // last rebuild as a leaf, and the deleted chunk would come back the
            // next time the file is read. It becomes an empty leaf instead; a
            // grouped material list keeps its count, now 0.
            if (parent->kids.empty()) {
                const bool matl = st.recognizematl && parent->name == "MATL";
                parent->setdata(std::vector<uint8_t>(matl ? 4 : 0, 0));
            }
        }
        // A chunk that has left the tree is dropped too; only the root stays.
        if (parent || !isroot) doc.selchunk = nullptr;
    });
}

void Editor::ExportChunk() {
    // The chunk's NAME text when it has one (a model's name), else its own name.
    std::string name = doc.selchunk->FetchName();
    if (name.empty()) name = doc.selchunk->name;
    const std::string proposal = host::ProposedFileName(name, "mck");
    const std::string path =
        host.RequestFile("Export Chunk As", kChunkFilter, true, st.lastdir + "\\" + proposal);
    if (!path.empty()) {
        st.lastdir = host::DirectoryPart(path);
        std::string why;
        if (!mesh::ExportChunk(doc.selchunk, path, st.recognizematl, &why))
            Message("Error!", WithReason("Unable to write chunk file.", why));
    }
    Refresh();
    host.ClearKeys();
}

void Editor::ImportAfter() {
    const mesh::chunkptr sel = doc.selchunk;
    const mesh::chunkptr parent = sel->getparent();
    if (!parent) {
        Message("Error!", "Unable to import after this chunk." + std::string(1, '\xff') +
                              "Nothing follows the root; import under it instead.");
        FlushInput();
        return;
    }
    const std::string path = host.RequestFile("Import Chunk file after", kChunkFilter, false, st.lastdir + "\\");
    if (path.empty()) return;
    st.lastdir = host::DirectoryPart(path);
    std::string why;
    mesh::mshptr m = mesh::msh::ReadMsh(path, st.formatlist, st.recognizematl, &why);
    const int idx = parent->IndexOfKid(sel.get());
    if (!m || !m->hedr) {
        Message("Error!", WithReason("Unable to read chunk file.", why));
    } else if (idx >= 0) {
        Change("import after", parent, Reach::own,
               [&] { parent->InsertKid(static_cast<size_t>(idx) + 1, m->hedr); });
    }
    host.ClearKeys();
}

void Editor::ImportUnder() {
    const mesh::chunkptr sel = doc.selchunk;
    // A record is always read as a leaf: a chunk under it would be saved as
    // its data and never read back.
    if (format::IsRecordName(sel->name)) {
        Message("Error!", std::string("Unable to import under this chunk.") + '\xff' + "A " + sel->name +
                              " record holds no chunks.");
        host.ClearKeys();
        return;
    }
    const std::string path = host.RequestFile("Import Chunk file under", kChunkFilter, false, st.lastdir + "\\");
    if (path.empty()) return;
    st.lastdir = host::DirectoryPart(path);
    std::string why;
    mesh::mshptr m = mesh::msh::ReadMsh(path, st.formatlist, st.recognizematl, &why);
    if (!m || !m->hedr) {
        Message("Error!", WithReason("Unable to read chunk file.", why));
        Refresh();
        host.ClearKeys();
        return;
    }
    // Becoming a container replaces the chunk's data by its children, and a
    // container is read back only when its first child has a container name:
    // either is said before it happens.
    std::string question;
    if (sel->kids.empty()) {
        if (sel->size > 0)
            question = sel->name + " holds " + std::to_string(sel->size) +
                       " bytes of data that the import replaces.";
        const std::string first = mesh::FitName(m->hedr->name);
        if (!mesh::NameInList(first, st.formatlist))
            question += (question.empty() ? "" : " ") + first +
                        " is not a container name: saved, it will not read back as a child.";
    }
    if (question.empty() || Ask("Confirm", question + " Continue?") == 0)
        Change("import under", sel, Reach::own, [&] { sel->AppendKid(m->hedr); });
    host.ClearKeys();
}

void Editor::ShiftUp() { Shift(-1); }

void Editor::ShiftDown() { Shift(1); }

void Editor::Shift(int by) {
    const mesh::chunkptr sel = doc.selchunk;
    const mesh::chunkptr parent = sel->getparent();
    if (!parent) return;
    const int idx = parent->IndexOfKid(sel.get());
    // The first child stays first and the last stays last; a chunk no longer
    // among its parent's children has no place to move from.
    const int to = idx + by;
    if (idx < 0 || to < 0 || to >= static_cast<int>(parent->kids.size())) return;
    Change(by < 0 ? "shift up" : "shift down", parent, Reach::own, [&] {
        mesh::chunkptr c = parent->RemoveKid(static_cast<size_t>(idx));
        parent->InsertKid(static_cast<size_t>(to), c);
    });
}

void Editor::VerifyMesh() {
    if (!doc.mesh) return;
    try {
        findings = mesh::VerifyMesh(*doc.mesh);
    } catch (const std::bad_alloc&) {
        findings.clear();
        doc.mesh->errors.clear();
        Message("Error!", WithReason("Unable to verify the mesh.", host::SystemError(ENOMEM)));
        FlushInput();
        return;
    }
    // Long work on a huge tree: a request to close the window is answered
    // between the steps (the main loop ends after this frame).
    if (host.CloseWaiting()) return;
    std::string verdict = kVerdictClean;
    if (!findings.empty()) {
        verdict = kVerdictFindings;
        // Written like a mesh, but a link planted under the log's name is
        // replaced, never followed. A log that cannot be written is skipped.
        host::AtomicFile log("log__" + doc.title + ".txt", host::AtomicFile::Links::Replace);
        for (const std::string& f : findings)
            if (!log.stream()->WriteLine(f)) break;
        log.Commit();
        if (host.CloseWaiting()) return;
        mesh::ExpandEach(doc.mesh->errors);
        Refresh();  // the tree's new height, or its scroll bar takes the scrolling back
        if (!doc.mesh->errors.empty()) w.treescroll->state = doc.mesh->errors[0]->findy(nullptr);
    }
    Message("verification", verdict);
    FlushInput();
}

}  // namespace editor
