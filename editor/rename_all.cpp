// The "rename all" command: the prompt, the refusal with its reason, and the
// rename as one undo step named after the finding it mends.
#include "editor/rename_all.h"

#include <optional>

#include "check/repair.h"
#include "editor/checkpanel.h"
#include "editor/editor.h"
#include "editor/inspector.h"
#include "mesh/records.h"

namespace editor {

namespace {

bool IsTextureRecord(const std::string& name, const std::string& parent) {
    if (parent == "CLTH") return name == "CTEX";
    return parent == "MATD" && (name == "TX0D" || name == "TX1D" || name == "TX2D" || name == "TX3D");
}

void RenameAll(Editor& ed) {
    const mesh::chunkptr sel = RenamableRecord(ed);
    const std::string from = RenamableName(ed);
    if (!sel || from.empty()) return;
    // A material list held as bytes keeps its textures out of reach.
    const bool texture = sel->name != "NAME";
    if (texture && ed.doc.recognizematl != 1) {
        ed.Message("Error!", WithReason("Not renamed.", "tick recognize matl: the material lists are held as bytes, "
                                                        "their textures would keep the old name"));
        ed.FlushInput();
        return;
    }
    // The prompt starts with the current name; Escape, an empty line or the
    // same name leave everything as it was.
    std::string to = from;
    if (!display::EditLine(ed.display, "new name, every reference following: ", 0, to) || to.empty() || to == from) {
        ed.doc.Refresh();
        return;
    }
    std::string why;
    std::optional<check::Repair> plan = check::PlanRename(ed.doc.mesh->hedr, from, to, why);
    if (!plan) {
        ed.Message("Error!", WithReason("Not renamed.", why));
        ed.FlushInput();
        return;
    }
    // The step is named after the rule whose finding it mends.
    std::string step = "rename all";
    for (const check::Finding& f : ed.checks().Findings())
        if (f.rule == "texture-name" && f.where.lock() == sel) step = "fix texture-name";
    const bool recheck = ed.checks().Checked();
    ed.doc.Change(step, nullptr, Document::Reach::subtree, [&] { plan->apply(); });
    if (recheck) ed.checks().Check();
    ed.Status("renamed: " + plan->what);
}

}  // namespace

mesh::chunkptr RenamableRecord(const Editor& ed) {
    mesh::chunkptr c = ed.doc.selchunk;
    if (!c || !ed.doc.mesh) return nullptr;
    // A selected model is renamed through its NAME.
    if (c->name == "MODL")
        if (mesh::chunkptr name = c->getkid("NAME")) c = name;
    const mesh::chunkptr parent = c->getparent();
    if (!parent || !c->kids.empty()) return nullptr;
    if ((c->name == "NAME" && parent->name == "MODL") || IsTextureRecord(c->name, parent->name)) return c;
    return nullptr;
}

std::string RenamableName(const Editor& ed) {
    const mesh::chunkptr c = RenamableRecord(ed);
    return c ? mesh::TextOf(c.get()) : std::string();
}

void AddRenameAll(Editor& ed) {
    Command c;
    c.name = "rename all";
    if (InspectorPanel* in = ed.inspector.get(); in && in->window)
        c.button = widgets::gadget::CreateButton("rename all", 2, in->window->h - 1, 12, 1, *in->window);
    c.shortcuts = {{kKeyR}};
    // Asked every frame: the button shows whether the command can run, and
    // follows the lower edge, which moves down while the preview is enlarged.
    c.enabled = [&ed, button = c.button] {
        const bool can = !RenamableName(ed).empty();
        if (button) {
            button->y = ed.inspector->window->h - 1;
            can ? button->enable() : button->disable();
        }
        return can;
    };
    c.run = [&ed] { RenameAll(ed); };
    ed.commands.push_back(std::move(c));
}

}  // namespace editor
