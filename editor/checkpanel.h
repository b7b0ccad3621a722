// The check window in the free area below the inspector: the deep check's
// findings (editor/checkpanel.cpp) or the differences of the last comparison
// (editor/diffpanel.cpp), one a row with their scroll bar, and on its lower
// edge the fix and fix all buttons that apply the check's repairs as undo
// steps (editor/fixes.cpp). Without a free area there is no window: the
// check and the comparison then tell their counts in a popup.
#pragma once

#include <cstddef>
#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "check/check.h"
#include "diff/diff.h"
#include "display/tilemap.h"
#include "editor/panel.h"
#include "mesh/chunk.h"
#include "mesh/msh.h"
#include "widgets/gadget.h"

namespace editor {

// The findings of the mod tree around the mesh's file (editor/checkpanel_tree.cpp):
// a note for each ODF that uses the mesh, the references of theirs that fail
// and the mesh's texture findings; the texture records whose file is missing
// go to missing. None when the file lies in no mod tree.
std::vector<check::Finding> TreeFindings(const Document& doc, std::string_view options,
                                         std::vector<std::weak_ptr<mesh::chunk>>& missing);

class CheckPanel : public Panel {
public:
    explicit CheckPanel(Desk& ed) : ed_(ed) {}

    // Makes the window under root (nothing when the free area is too small).
    void Build(widgets::gadget& root);
    // Appends "check", "diff", "fix" and "fix all" to the editor's table; the
    // check and diff buttons are the tool row's (null without a free area),
    // given before.
    void AddCommands() override;
    widgets::gadget* checkbutton = nullptr;
    widgets::gadget* diffbutton = nullptr;
    // Before the widgets are drawn: drops what was found in another mesh
    // (FindingsChanged),
    // paints the rows and takes the clicks of the last pointer sample.
    void View(display::tilemap& screen) override;
    // After the widgets are drawn: pastes the rows into the screen.
    void Paste(display::tilemap& screen) override;
    // After the commands ran: the fix buttons enabled as their commands are.
    void AfterCommands() override;

    // Runs the deep check on the mesh and lists its findings, errors first
    // (a summary popup without the window), and tells FindingsChanged. Touches neither the
    // verification's findings nor its marks.
    void Check();
    // Compares the mesh with its saved file or another one (asked first;
    // only another when it has none) and lists the differences in place of
    // the findings (a summary popup without the window), until the next
    // check. Changes nothing.
    void Compare();
    // Control+F: repairs the selected chunk's finding, one undo step named
    // after its rule; Control+Shift+F: every repair, one step each. The
    // check runs again after either.
    void FixSelected();
    void FixAll();

    // ---- what the other panels read
    // The finding last clicked in the window, or null.
    const check::Finding* Chosen() const;
    // The last check's findings, errors first, while they are about the
    // current mesh; whether a check was made; the last comparison's
    // differences and whether the window shows them.
    const std::vector<check::Finding>& Findings() const { return findings_; }
    bool Checked() const { return checked_; }
    const std::vector<meshdiff::Difference>& Differences() const { return differences_; }
    bool ShowsDiff() const { return showdiff_; }
    // Whether there is a window; and hides it under something drawn over it
    // (it takes no clicks meanwhile), or shows it again.
    bool HasWindow() const { return window != nullptr; }
    void Cover(bool covered);

    // A repair the last check's mesh allowed: the rule, the chunk and what
    // it changes. A finding has a repair when one of its rule stands at its
    // chunk, its parent or a child.
    struct Fixable {
        std::string rule;
        std::weak_ptr<mesh::chunk> where;
        std::string what;
    };
    const std::vector<Fixable>& Repairs() const { return repairs_; }
    // The repair of a finding, or null.
    const Fixable* RepairOf(const check::Finding& f) const;
    // The first finding at the selected chunk that has a repair, or null.
    const check::Finding* FixableSelected() const;
    // Whether a finding at the selected chunk is mended only by a new name
    // (texture-name): its fix is "rename all", which asks for the name.
    bool NameToFix() const;

    // ---- open to tests
    widgets::gadget* window = nullptr;
    widgets::gadget* scroll = nullptr;
    widgets::gadget* anchor = nullptr;     // the top-left cell of the rows
    widgets::gadget* fixbutton = nullptr;  // on the window's lower edge
    widgets::gadget* fixallbutton = nullptr;
    display::tilemap grid;                 // the window's rows
    // Rows of the list: the window's last rows show the whole text of one.
    static constexpr int kDetailRows = 4;
    int ListRows() const { return std::max(1, grid.tmaph - kDetailRows - 1); }

private:
    void PaintFindings();
    void PaintDifferences();
    // The rule under rows of the list and a whole text wrapped below it: the
    // row under the pointer's (hovered), else the newer of the row last
    // clicked (chosen) and a status text too long for its own rows, else
    // what to do for one (none).
    void PaintDetail(int rows, const std::string& hovered, const std::string& chosen, const char* none);
    // Plans the repairs of the current mesh.
    void PlanFixes();

    Desk& ed_;
    std::vector<check::Finding> findings_;
    std::weak_ptr<mesh::msh> checkedmesh_;
    bool checked_ = false;
    std::vector<meshdiff::Difference> differences_;
    std::weak_ptr<mesh::msh> diffedmesh_;
    bool showdiff_ = false;
    std::vector<Fixable> repairs_;
    // What the window's title says of the list, and the history's state the
    // list was made in: after any change or undo the title marks it stale.
    std::string summary_;
    uint64_t listedstate_ = 0;
    size_t hinted_ = SIZE_MAX;  // the finding whose repair the status text names
    // The finding last clicked (-1: none); its whole text shows below the
    // list unless the pointer is on another one.
    int chosen_ = -1;
    int chosendiff_ = -1;         // the same of the differences
    // The last status text (a Notice), how many have been, and how many had
    // been when a row was last clicked: the newer of the two shows whole.
    std::string notice_;
    uint64_t notices_ = 0, chosenserial_ = 0;
    bool painted_ = false;  // the window has been placed by a first draw
};

}  // namespace editor
