// The check window and the deep check in it: the check command and the
// findings, where a click on one selects its chunk. The window lists one
// finding a row, cut at its width; under the list, the whole text of the
// hovered finding (else of the one last clicked) is shown wrapped over the
// last rows.
#include "editor/checkpanel.h"

#include <algorithm>
#include <functional>
#include <optional>

#include "display/palette.h"
#include "editor/panel.h"
#include "editor/statusline.h"

namespace editor {

namespace pal = display::palette;

namespace {

std::string Count(size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// Rows of at most width characters: each breaks at its last blank when that
// keeps most of the row, else where the row ends (paths have no blanks), so
// a long path wastes no row. The blanks broken at are not shown.
std::vector<std::string> Rows(const std::string& text, size_t width, size_t most) {
    std::vector<std::string> rows;
    size_t at = 0;
    while (at < text.size() && rows.size() < most && width > 0) {
        size_t len = std::min(width, text.size() - at);
        size_t next = at + len;
        if (at + len < text.size()) {
            const size_t blank = text.rfind(' ', at + len);
            if (blank != std::string::npos && blank > at && blank - at >= width * 2 / 3) {
                len = blank - at;
                next = blank + 1;
            }
        }
        rows.push_back(text.substr(at, len));
        at = next;
    }
    // What is left over is marked, never dropped unseen.
    if (at < text.size() && !rows.empty()) {
        std::string& last = rows.back();
        if (last.size() >= width) last.pop_back();
        last += static_cast<char>(display::kCutMark);
    }
    return rows;
}

std::string Line(const check::Finding& f) {
    const char* mark = f.severity == check::Severity::error ? "E " : f.severity == check::Severity::warning ? "W " : "N ";
    return std::string(mark) + f.path + ": [" + f.rule + "] " +
           f.message;
}

}  // namespace

// ---- the window and its commands ------------------------------------------------

void CheckPanel::Build(widgets::gadget& root) {
    const Layout& l = ed_.layout;
    if (!l.HasFreeArea()) return;
    ed_.doc.notices.Subscribe([this](const Notice& n) {
        notice_ = n.text;
        ++notices_;
    });
    const int W = l.W, T = l.T;
    // Rows of findings and their scroll bar.
    window = widgets::gadget::CreateWindow("check", 41, T - 15, W - 42, 14, root);
    anchor = widgets::gadget::CreateLabel("", 1, 1, 1, 1, *window, 1);
    scroll = widgets::gadget::CreateScroll(W - 44, 1, 12, widgets::gadget::vertical, 0, *window);
    scroll->SetArea(-(W - 45), 0, W - 44, 12);
    grid = display::tilemap(W - 45, 12);
    // The repairs of the findings, on the window's lower edge under the list.
    fixallbutton = widgets::gadget::CreateButton("fix all", W - 53, 13, 9, 1, *window);
    fixbutton = widgets::gadget::CreateButton("fix", W - 59, 13, 5, 1, *window);
}

void CheckPanel::AddCommands() {
    auto add = [this](std::string name, widgets::gadget* button, std::vector<Shortcut> keys,
                      std::function<bool()> enabled, std::function<void()> run) {
        ed_.commands.push_back({std::move(name), button, std::move(keys), std::move(enabled), std::move(run)});
    };
    auto loaded = [this] { return ed_.doc.mesh != nullptr; };
    // The deep check.
    add("check", checkbutton, {{kKeyK}}, loaded, [this] { Check(); });
    // The comparison with another file or the saved one.
    add("diff", diffbutton, {{kKeyD}}, loaded, [this] { Compare(); });
    add("fix", fixbutton, {{kKeyF, Shortcut::without}}, [this] { return FixableSelected() != nullptr || NameToFix(); },
        [this] { FixSelected(); });
    add("fix all", fixallbutton, {{kKeyF, Shortcut::with}},
        [this] { return ed_.doc.mesh && checked_ && !repairs_.empty(); }, [this] { FixAll(); });
}

void CheckPanel::AfterCommands() {
    for (const char* name : {"fix", "fix all"})
        if (Command* c = ed_.FindCommand(name); c && c->button) c->Enabled() ? c->button->enable() : c->button->disable();
}

void CheckPanel::Paste(display::tilemap& screen) {
    painted_ = true;
    if (anchor && !window->hidden) screen.InsertMapImage(grid, anchor->dx, anchor->dy, 1);
}

void CheckPanel::Cover(bool covered) {
    if (window) window->hidden = covered ? 1 : 0;
}

const check::Finding* CheckPanel::Chosen() const {
    if (chosen_ < 0 || size_t(chosen_) >= findings_.size()) return nullptr;
    return &findings_[size_t(chosen_)];
}

// ---- the check --------------------------------------------------------------------

void CheckPanel::Check() {
    const Document& doc = ed_.doc;
    if (!doc.mesh) return;
    // The compiler's option file beside the mesh, when it has one.
    const std::optional<check::OptionFile> options =
        doc.path.empty() ? std::nullopt : check::OptionFileBeside(doc.path);
    std::vector<check::Finding> found = check::CheckMesh(*doc.mesh, options ? &*options : nullptr);
    // The mod tree around the file: the ODFs that use the mesh, and what fails.
    std::vector<std::weak_ptr<mesh::chunk>> missing;
    std::vector<check::Finding> intree = TreeFindings(doc, options ? std::string_view(options->text) : "", missing);
    found.insert(found.end(), std::make_move_iterator(intree.begin()), std::make_move_iterator(intree.end()));
    check::SortErrorsFirst(found);
    try {
        findings_ = std::move(found);
        checkedmesh_ = doc.mesh;
        checked_ = true;
        showdiff_ = false;
        PlanFixes();
        ed_.doc.findingschanged.Emit({std::move(missing)});
    } catch (const std::bad_alloc&) {
        // No findings rather than findings without their repairs.
        findings_.clear();
        repairs_.clear();
        checked_ = false;
        throw;
    }
    chosen_ = -1;
    size_t errors = 0, notes = 0;
    for (const check::Finding& f : findings_) {
        errors += f.severity == check::Severity::error ? 1 : 0;
        notes += f.severity == check::Severity::note ? 1 : 0;
    }
    std::string summary =
        Count(errors, "error", "errors") + ", " + Count(findings_.size() - errors - notes, "warning", "warnings");
    if (notes) summary += ", " + Count(notes, "note", "notes");
    summary_ = "check: " + summary;
    listedstate_ = doc.history.State();
    if (window) {
        window->title = summary_;
        scroll->state = 0;
    } else {
        ed_.Message("check", summary);
        ed_.FlushInput();
    }
}

void CheckPanel::View(display::tilemap&) {
    const Document& doc = ed_.doc;
    // Findings belong to the mesh they were found in.
    if (checked_ && checkedmesh_.lock() != doc.mesh) {
        findings_.clear();
        checkedmesh_.reset();
        checked_ = false;
        repairs_.clear();
        ed_.doc.findingschanged.Emit({});
    }
    // Differences, like findings, belong to the mesh they were found in.
    if (showdiff_ && diffedmesh_.lock() != doc.mesh) {
        differences_.clear();
        diffedmesh_.reset();
        showdiff_ = false;
        ed_.doc.findingschanged.Emit({});
    }
    // Hidden under the enlarged preview, the window takes no clicks.
    if (!window || window->hidden) return;
    if (checked_ || showdiff_)
        window->title = summary_ + (doc.history.State() != listedstate_ ? " (stale)" : "");
    if (showdiff_) return PaintDifferences();
    PaintFindings();
}

void CheckPanel::PaintFindings() {
    const Document& doc = ed_.doc;
    const widgets::Toolkit& ui = ed_.ui;
    if (!checked_) window->title = "check";
    grid.Fill(0, pal::kText, pal::kPanel, 0);
    const int rows = ListRows();
    scroll->h = std::max(0, static_cast<int>(findings_.size()) - rows);
    scroll->state = std::clamp(scroll->state, 0, scroll->h);
    if (!checked_ || findings_.empty()) {
        grid.InsertString(0, 0, checked_ ? "No findings." : "Control+K or check: the deep check", pal::kText,
                          pal::kPanel, 0, 0, 0, -1);
        PaintDetail(rows, "", "", "");
        return;
    }
    const int x0 = anchor->dx, y0 = anchor->dy;
    const int first = scroll->state;
    int hovering = -1;
    for (int r = 0; r < rows; ++r) {
        const size_t i = static_cast<size_t>(first + r);
        if (i >= findings_.size()) break;
        const check::Finding& f = findings_[i];
        const mesh::chunkptr c = f.where.lock();
        const bool hovered = painted_ && ui.mx >= x0 && ui.mx < x0 + grid.tmapw && ui.my == y0 + r;
        if (hovered) hovering = int(i);
        if (hovered && ui.Released(1)) {
            chosen_ = int(i);
            chosenserial_ = notices_;
        }
        // Only a chunk still in the tree can be selected.
        if (hovered && ui.Released(1)) ed_.Reveal(c);
        if (hovered && i != hinted_) {
            // Once when the pointer comes to a finding with a repair.
            hinted_ = i;
            if (const Fixable* fix = RepairOf(f)) ed_.Status("click, Control+F: " + fix->what);
            else if (f.rule == "texture-name") ed_.Status("click, Control+F: a new name, every reference following");
        }
        const std::string text = Line(f);
        if (c && doc.selchunk == c)
            grid.InsertString(0, r, text, pal::kPanel, pal::kText, 0, 0, 0, grid.tmapw);
        else
            grid.InsertString(0, r, text, pal::kText, hovered ? pal::kHover : pal::kPanel, 0, 0, 0, grid.tmapw);
    }
    auto text = [this](int i) { return i >= 0 && size_t(i) < findings_.size() ? Line(findings_[size_t(i)]) : ""; };
    PaintDetail(rows, text(hovering), text(chosen_), "Point at a finding for its whole text.");
}

void CheckPanel::PaintDetail(int rows, const std::string& hovered, const std::string& chosen, const char* none) {
    if (grid.tmaph <= rows) return;
    grid.InsertString(0, rows, std::string(size_t(grid.tmapw), char(196)), pal::kText, pal::kPanel, 0, 0, 0, grid.tmapw);
    // A status text too long for its rows, unless a row was clicked since.
    std::string text = hovered;
    if (text.empty() && FlowStatus(notice_, StatusPlace::For(ed_.layout)).cut &&
        (chosen.empty() || notices_ > chosenserial_))
        text = notice_;
    if (text.empty()) text = chosen.empty() ? none : chosen;
    const std::vector<std::string> lines = Rows(text, size_t(grid.tmapw), size_t(grid.tmaph - rows - 1));
    for (size_t k = 0; k < lines.size(); ++k)
        grid.InsertString(0, rows + 1 + int(k), lines[k], pal::kText, pal::kPanel, 0, 0, 0, grid.tmapw);
}

}  // namespace editor
