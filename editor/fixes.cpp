// Repairs in the editor: the findings of the last check that have a repair
// (check/repair.h), and the commands that apply them as undo steps.
#include <algorithm>

#include "check/repair.h"
#include "editor/checkpanel.h"
#include "editor/panel.h"
#include "editor/inspector.h"

namespace editor {

void CheckPanel::PlanFixes() {
    repairs_.clear();
    hinted_ = SIZE_MAX;
    const mesh::mshptr& m = ed_.doc.mesh;
    if (!m || !m->hedr) return;
    for (std::string_view rule : check::RepairRules())
        for (const check::Repair& r : check::PlanRepairs(m->hedr, rule))
            repairs_.push_back({r.rule, r.where, r.what});
}

const CheckPanel::Fixable* CheckPanel::RepairOf(const check::Finding& f) const {
    const mesh::chunkptr c = f.where.lock();
    if (!c) return nullptr;
    const mesh::chunk* parent = c->getparent().get();
    for (const Fixable& r : repairs_) {
        if (r.rule != f.rule) continue;
        // A chunk deleted since the check has no repair.
        const mesh::chunkptr at = r.where.lock();
        if (at && (at == c || at.get() == parent || at->getparent() == c)) return &r;
    }
    return nullptr;
}

const check::Finding* CheckPanel::FixableSelected() const {
    const Document& doc = ed_.doc;
    if (!doc.mesh || !checked_ || !doc.selchunk) return nullptr;
    for (const check::Finding& f : findings_)
        if (f.where.lock() == doc.selchunk && RepairOf(f)) return &f;
    return nullptr;
}

bool CheckPanel::NameToFix() const {
    const Document& doc = ed_.doc;
    if (!doc.mesh || !checked_ || !doc.selchunk) return false;
    for (const check::Finding& f : findings_)
        if (f.rule == "texture-name" && f.where.lock() == doc.selchunk) {
            const Command* rename = ed_.FindCommand("rename all");
            return rename && rename->Enabled();
        }
    return false;
}

void CheckPanel::FixSelected() {
    const check::Finding* f = FixableSelected();
    if (!f && NameToFix()) ed_.Execute("rename all");
    if (!f) return;
    const Fixable* want = RepairOf(*f);
    const mesh::chunkptr at = want->where.lock();
    // Planned again on the tree as it stands, then matched to the finding.
    for (check::Repair& r : check::PlanRepairs(ed_.doc.mesh->hedr, want->rule)) {
        if (r.where.lock() != at) continue;
        const std::string what = r.what;
        ed_.doc.Change("fix " + r.rule, nullptr, Document::Reach::subtree, [&] { r.apply(); });
        Check();
        ed_.Status("fixed: " + what);
        return;
    }
}

void CheckPanel::FixAll() {
    const Document& doc = ed_.doc;
    size_t n = 0;
    for (std::string_view rule : check::RepairRules()) {
        if (!doc.mesh || !doc.mesh->hedr) break;
        for (check::Repair& r : check::PlanRepairs(doc.mesh->hedr, rule)) {
            ed_.doc.Change("fix " + r.rule, nullptr, Document::Reach::subtree, [&] { r.apply(); });
            ++n;
        }
    }
    Check();
    ed_.Status(std::to_string(n) + (n == 1 ? " repair" : " repairs"));
}

}  // namespace editor
