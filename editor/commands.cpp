// The command table. Every command that changes the mesh does so inside
// Document::Change; the file commands, the chunk actions and the
// verification report are in chunk_commands.cpp, the data buttons in
// dataview.cpp.
#include <algorithm>

#include "editor/checkpanel.h"
#include "editor/chunkactions.h"
#include "editor/dataview.h"
#include "editor/editor.h"
#include "editor/filerow.h"
#include "editor/inspector.h"
#include "editor/rename_all.h"
#include "editor/toolrow.h"

namespace editor {

// ---- the table ---------------------------------------------------------------

void Editor::BuildCommands() {
    // The data buttons and the byte picker.
    data->AddCommands();

    // The chunk actions.
    AddChunkActions();

    // The file commands and verification.
    AddFileCommands();

    // Undo and redo.
    tools->AddCommands();

    // The inspector's value edits and its go to.
    inspector->AddCommands();

    // The deep check, the comparison and the repairs.
    checks_->AddCommands();
    // A model or a texture renamed with every reference.
    AddRenameAll(*this);
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

Command* Desk::FindCommand(const std::string& name) {
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

// ---- before the mesh is dropped ---------------------------------------------------

bool Editor::MayDropMesh() {
    if (!doc.mesh || !doc.history.Modified()) return true;
    const int answer = widgets::PopupSaveChanges(ui, "Confirm", "Save changes to " + doc.title + "?");
    FlushInput();
    if (answer == 0) return SaveMeshAs();
    return answer == 1;
}

}  // namespace editor
