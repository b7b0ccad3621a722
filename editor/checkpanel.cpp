// The deep check in the editor: the check command and the check findings
// window of the free area, where a click on a finding selects its chunk. The
// window lists one finding a row, cut at its width; under the list, the
// whole text of the hovered finding (else of the one last clicked) is shown
// wrapped over the last rows.
#include <algorithm>

#include "display/palette.h"
#include "editor/editor.h"
#include "editor/inspector.h"

namespace editor {

namespace pal = display::palette;

namespace {

std::string Count(size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// Rows at the bottom of the window for the whole text of one finding, and the
// rule above them.
constexpr int kMessageRows = 4;

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
    return rows;
}

std::string Line(const check::Finding& f) {
    return std::string(f.severity == check::Severity::error ? "E " : "W ") + f.path + ": [" + f.rule + "] " +
           f.message;
}

}  // namespace

void Editor::CheckMesh() {
    if (!doc.mesh) return;
    // The compiler's option file beside the mesh, when it has one.
    const std::optional<check::OptionFile> options =
        doc.path.empty() ? std::nullopt : check::OptionFileBeside(doc.path);
    std::vector<check::Finding> found = check::CheckMesh(*doc.mesh, options ? &*options : nullptr);
    Fault("check");
    check::SortErrorsFirst(found);
    try {
        checkfindings = std::move(found);
        checkedmesh = doc.mesh;
        checked = true;
        showdiff = false;
        PlanFixes();
    } catch (const std::bad_alloc&) {
        // No findings rather than findings without their repairs.
        checkfindings.clear();
        checkrepairs.clear();
        checked = false;
        throw;
    }
    checkchosen = -1;
    size_t errors = 0;
    for (const check::Finding& f : checkfindings) errors += f.severity == check::Severity::error ? 1 : 0;
    const std::string summary = Count(errors, "error", "errors") + ", " +
                                Count(checkfindings.size() - errors, "warning", "warnings");
    if (w.checkwindow) {
        w.checkwindow->title = "check: " + summary;
        w.checkscroll->state = 0;
    } else {
        Message("check", summary);
        FlushInput();
    }
}

void Editor::DrawCheckFindings() {
    // Findings belong to the mesh they were found in.
    if (checked && checkedmesh.lock() != doc.mesh) {
        checkfindings.clear();
        checkedmesh.reset();
        checked = false;
        checkrepairs.clear();
    }
    // Differences, like findings, belong to the mesh they were found in.
    if (showdiff && diffedmesh.lock() != doc.mesh) {
        differences.clear();
        diffedmesh.reset();
        showdiff = false;
    }
    // Hidden under the enlarged preview, the window takes no clicks.
    if (!w.checkwindow || w.checkwindow->hidden) return;
    if (showdiff) return DrawDifferences();
    if (!checked) w.checkwindow->title = "check";
    display::tilemap& grid = g.checkgrid;
    grid.Fill(0, pal::kText, pal::kPanel, 0);
    const int rows = std::max(1, grid.tmaph - kMessageRows - 1);
    w.checkscroll->h = std::max(0, static_cast<int>(checkfindings.size()) - rows);
    w.checkscroll->state = std::clamp(w.checkscroll->state, 0, w.checkscroll->h);
    if (!checked) {
        grid.InsertString(0, 0, "Control+K or check: the deep check", pal::kText, pal::kPanel, 0, 0, 0, -1);
        return;
    }
    if (checkfindings.empty()) {
        grid.InsertString(0, 0, "No findings.", pal::kText, pal::kPanel, 0, 0, 0, -1);
        return;
    }
    const int x0 = w.checkanchor->dx, y0 = w.checkanchor->dy;
    const int first = w.checkscroll->state;
    int shown = checkchosen;
    for (int r = 0; r < rows; ++r) {
        const size_t i = static_cast<size_t>(first + r);
        if (i >= checkfindings.size()) break;
        const check::Finding& f = checkfindings[i];
        const mesh::chunkptr c = f.where.lock();
        const bool hovered = drawn_ && ui.mx >= x0 && ui.mx < x0 + grid.tmapw && ui.my == y0 + r;
        if (hovered) shown = int(i);
        if (hovered && ui.Released(1)) checkchosen = int(i);
        // Only a chunk still in the tree can be selected.
        if (hovered && ui.Released(1)) Reveal(c);
        if (hovered && i != hintedfinding) {
            // Once when the pointer comes to a finding with a repair.
            hintedfinding = i;
            if (const Fixable* fix = RepairOf(f)) inspector->SetStatus("click, Control+F: " + fix->what);
        }
        const std::string text = Line(f);
        if (c && doc.selchunk == c)
            grid.InsertString(0, r, text, pal::kPanel, pal::kText, 0, 0, 0, grid.tmapw);
        else
            grid.InsertString(0, r, text, pal::kText, hovered ? pal::kHover : pal::kPanel, 0, 0, 0, grid.tmapw);
    }
    // The whole text of one finding under a rule.
    if (grid.tmaph <= rows) return;
    grid.InsertString(0, rows, std::string(size_t(grid.tmapw), char(196)), pal::kText, pal::kPanel, 0, 0, 0, grid.tmapw);
    if (shown < 0 || size_t(shown) >= checkfindings.size()) {
        grid.InsertString(0, rows + 1, "Point at a finding for its whole text.", pal::kText, pal::kPanel, 0, 0, 0, grid.tmapw);
        return;
    }
    const std::vector<std::string> lines =
        Rows(Line(checkfindings[size_t(shown)]), size_t(grid.tmapw), size_t(grid.tmaph - rows - 1));
    for (size_t k = 0; k < lines.size(); ++k)
        grid.InsertString(0, rows + 1 + int(k), lines[k], pal::kText, pal::kPanel, 0, 0, 0, grid.tmapw);
}

}  // namespace editor
