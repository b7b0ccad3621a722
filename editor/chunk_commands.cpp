// The file commands (open, save, new), the chunk actions (rename, delete,
// export, import, shift) and the verification report: commands of the
// editor's table (commands.cpp), each change of the mesh made inside Change.
#include <algorithm>
#include <cerrno>
#include <new>

#include "editor/editor.h"
#include "editor/chunkactions.h"
#include "editor/filerow.h"
#include "editor/inspector.h"
#include "editor/treepanel.h"
#include "files/files.h"
#include "format/records.h"
#include "mesh/relay.h"
#include "mesh/verify.h"

namespace editor {

namespace {

// Verdicts of the verification report; character 255 breaks the line.
const std::string kVerdictFindings =
    std::string("This mesh is very probably not") + '\xff' + "going to work with SWBFII";
const std::string kVerdictClean = std::string("This mesh is likely to work fine") + '\xff' + "with SWBFII";

}  // namespace

// ---- the table's entries -----------------------------------------------------------

void Editor::AddFileCommands() {
    const FileRowPanel& f = *files;
    auto loaded = [this] { return doc.mesh != nullptr; };
    commands.push_back({"open msh", f.openbutton, {{kKeyOpen}}, nullptr, [this] { OpenMesh(); }});
    commands.push_back({"save msh", f.savebutton, {{kKeySave}}, loaded, [this] { SaveMeshAs(); }});
    commands.push_back({"new msh", f.newbutton, {{kKeyNew}}, nullptr, [this] { NewMesh(); }});
    commands.push_back({"verify", f.verifybutton, {{kKeyVerify}}, loaded, [this] { VerifyMesh(); }});
}

void Editor::AddChunkActions() {
    auto selected = [this] { return doc.selchunk != nullptr; };
    auto add = [&](const std::string& name, std::function<void()> run) {
        commands.push_back({name, actions->Button(name), {}, selected, std::move(run)});
    };
    add("rename", [this] { RenameChunk(); });
    add("delete", [this] { DeleteChunk(); });
    add("export", [this] { ExportChunk(); });
    add("import after", [this] { ImportAfter(); });
    add("import under", [this] { ImportUnder(); });
    add("shift up", [this] { Shift(-1); });
    add("shift down", [this] { Shift(1); });
}

// ---- file and chunk commands ----------------------------------------------------

void Editor::OpenMesh() {
    if (!MayDropMesh()) return;
    const std::string path = host.RequestFile("Open Mesh file", kMeshFilter, false, st.lastdir + "\\");
    if (!path.empty()) {
        st.lastdir = host::DirectoryPart(path);
        // Read and grouped aside: a file that cannot be read, or a lack of
        // memory on the way, leaves the current mesh and its edits as they are.
        std::string why, note;
        mesh::mshptr m = mesh::OpenRelaid(path, doc.formatlist, doc.recognizematl, true, why, note);
        if (!m) {
            Message("Error!", WithReason("Unable to read mesh file.", why));
        } else {
            doc.Replace(m, host::BaseName(path), path);
            doc.readnote = note;
            Status(note);
        }
        doc.Refresh();
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
        if (doc.mesh->Save(path, doc.recognizematl, &why)) {
            doc.title = host::BaseName(path);
            doc.path = path;
            doc.history.MarkSaved();
            doc.readnote.clear();
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
        doc.Refresh();
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
        doc.Refresh();
        return;
    }
    const std::string name = mesh::FitName(typed);
    if (doc.recognizematl != 1) {
        doc.Change("rename", sel, Document::Reach::own, [&] { sel->name = name; });
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
    doc.Change("rename", scope, Document::Reach::subtree, [&] {
        std::vector<size_t> path;
        const bool reached = PathFromRoot(sel, scope, path);
        scope->collapsematl();
        sel->name = name;
        scope->expandmatl(doc.formatlist);
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
    doc.Change("delete", parent ? parent : sel, Document::Reach::own, [&] {
        const int idx = parent ? parent->IndexOfKid(sel.get()) : -1;
        if (idx >= 0) {
            parent->RemoveKid(static_cast<size_t>(idx));
            // A container that loses its last child would keep the bytes of its
            // last rebuild as a leaf, and the deleted chunk would come back the
            // next time the file is read. It becomes an empty leaf instead; a
            // grouped material list keeps its count, now 0.
            if (parent->kids.empty()) {
                const bool matl = doc.recognizematl && parent->name == "MATL";
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
        if (!mesh::ExportChunk(doc.selchunk, path, doc.recognizematl, &why))
            Message("Error!", WithReason("Unable to write chunk file.", why));
    }
    doc.Refresh();
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
    mesh::mshptr m = mesh::msh::ReadMsh(path, doc.formatlist, doc.recognizematl, &why);
    const int idx = parent->IndexOfKid(sel.get());
    if (!m || !m->hedr) {
        Message("Error!", WithReason("Unable to read chunk file.", why));
    } else if (idx >= 0) {
        doc.Change("import after", parent, Document::Reach::own,
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
    mesh::mshptr m = mesh::msh::ReadMsh(path, doc.formatlist, doc.recognizematl, &why);
    if (!m || !m->hedr) {
        Message("Error!", WithReason("Unable to read chunk file.", why));
        doc.Refresh();
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
        if (!mesh::NameInList(first, doc.formatlist))
            question += (question.empty() ? "" : " ") + first +
                        " is not a container name: saved, it will not read back as a child.";
    }
    if (question.empty() || Ask("Confirm", question + " Continue?") == 0)
        doc.Change("import under", sel, Document::Reach::own, [&] { sel->AppendKid(m->hedr); });
    host.ClearKeys();
}

void Editor::Shift(int by) {
    const mesh::chunkptr sel = doc.selchunk;
    const mesh::chunkptr parent = sel->getparent();
    if (!parent) return;
    const int idx = parent->IndexOfKid(sel.get());
    // The first child stays first and the last stays last; a chunk no longer
    // among its parent's children has no place to move from.
    const int to = idx + by;
    if (idx < 0 || to < 0 || to >= static_cast<int>(parent->kids.size())) return;
    doc.Change(by < 0 ? "shift up" : "shift down", parent, Document::Reach::own, [&] {
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
        doc.Refresh();  // the tree's new height, or its scroll bar takes the scrolling back
        if (!doc.mesh->errors.empty()) tree->ScrollTo(doc.mesh->errors[0]->findy(nullptr));
    }
    Message("verification", verdict);
    FlushInput();
}

}  // namespace editor
