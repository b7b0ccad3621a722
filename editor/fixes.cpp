// Repairs in the editor: the findings of the last check that have a repair
// (check/repair.h), and the commands that apply them as undo steps.
#include <algorithm>

#include "check/repair.h"
#include "editor/editor.h"
#include "editor/inspector.h"

namespace editor {

void Editor::PlanFixes() {
    checkrepairs.clear();
    hintedfinding = SIZE_MAX;
    if (!doc.mesh || !doc.mesh->hedr) return;
    for (std::string_view rule : check::RepairRules())
        for (const check::Repair& r : check::PlanRepairs(doc.mesh->hedr, rule))
            checkrepairs.push_back({r.rule, r.where.lock().get(), r.what});
}

const Editor::Fixable* Editor::RepairOf(const check::Finding& f) const {
    const mesh::chunkptr c = f.where.lock();
    if (!c) return nullptr;
    const mesh::chunk* parent = c->getparent().get();
    for (const Fixable& r : checkrepairs) {
        if (r.rule != f.rule || !r.where) continue;
        if (r.where == c.get() || r.where == parent || r.where->getparent().get() == c.get()) return &r;
    }
    return nullptr;
}

const check::Finding* Editor::FixableSelected() const {
    if (!doc.mesh || !checked || !doc.selchunk) return nullptr;
    for (const check::Finding& f : checkfindings)
        if (f.where.lock() == doc.selchunk && RepairOf(f)) return &f;
    return nullptr;
}

void Editor::FixSelected() {
    const check::Finding* f = FixableSelected();
    if (!f) return;
    const Fixable* want = RepairOf(*f);
    // Planned again on the tree as it stands, then matched to the finding.
    for (check::Repair& r : check::PlanRepairs(doc.mesh->hedr, want->rule)) {
        if (r.where.lock().get() != want->where) continue;
        const std::string what = r.what;
        Change("fix " + r.rule, nullptr, Reach::subtree, [&] { r.apply(); });
        CheckMesh();
        inspector->SetStatus("fixed: " + what);
        return;
    }
}

void Editor::FixAll() {
    size_t n = 0;
    for (std::string_view rule : check::RepairRules()) {
        if (!doc.mesh || !doc.mesh->hedr) break;
        for (check::Repair& r : check::PlanRepairs(doc.mesh->hedr, rule)) {
            Change("fix " + r.rule, nullptr, Reach::subtree, [&] { r.apply(); });
            ++n;
        }
    }
    CheckMesh();
    inspector->SetStatus(std::to_string(n) + (n == 1 ? " repair" : " repairs"));
}

}  // namespace editor
