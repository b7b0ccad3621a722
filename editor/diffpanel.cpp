// The comparison in the editor: the diff command (Control+D, the tool row's
// diff button) compares the open mesh with another file or with its saved
// state, and lists the differences in the check findings window's place,
// where a click on one selects its chunk.
#include <algorithm>

#include "display/palette.h"
#include "editor/checkpanel.h"
#include "editor/panel.h"
#include "files/files.h"
#include "mesh/relay.h"
#include "widgets/gadget.h"

namespace editor {

namespace pal = display::palette;

void CheckPanel::Compare() {
    Desk& ed = ed_;
    const Document& doc = ed.doc;
    if (!doc.mesh || !doc.mesh->hedr) return;
    bool saved = false;
    if (!doc.path.empty()) {
        static const std::vector<std::string> choices{"saved", "other", "cancel"};
        const std::string question = "Compare " + doc.title + " with its saved file or another?";
        const int answer = ed.Choose("diff", question, choices);
        ed.FlushInput();
        if (answer != 0 && answer != 1) return;
        saved = answer == 0;
    }
    std::string path = doc.path;
    if (!saved) {
        path = ed.host.RequestFile("Compare with Mesh file", kMeshFilter, false, ed.st.lastdir + "\\");
        ed.FlushInput();
        if (path.empty()) return;
        ed.st.lastdir = host::DirectoryPart(path);
    }
    // Read as the editor opens a file: sizes that leave out their padding
    // re-laid, so that the padding shows as no difference of its own.
    std::string why, note;
    const mesh::mshptr other = mesh::OpenRelaid(path, ed.doc.formatlist, ed.doc.recognizematl, true, why, note);
    if (!other || !other->hedr) {
        ed.Message("Error!", WithReason("Unable to read mesh file.", why));
        ed.FlushInput();
        return;
    }
    differences_ = meshdiff::Diff(*doc.mesh->hedr, *other->hedr);
    if (auto tail = meshdiff::DiffTail(doc.mesh->tail, other->tail)) differences_.push_back(std::move(*tail));
    diffedmesh_ = doc.mesh;
    showdiff_ = true;
    ed.doc.findingschanged.Emit({});
    const size_t n = differences_.size();
    const std::string with = saved ? std::string("the saved file") : path.substr(path.find_last_of("/\\") + 1);
    const std::string summary =
        (n == 0 ? std::string("no difference") : std::to_string(n) + (n == 1 ? " difference" : " differences")) +
        " with " + with;
    if (window) {
        window->title = "diff: " + summary;
        scroll->state = 0;
    } else {
        ed.Message("diff", summary);
        ed.FlushInput();
    }
}

void CheckPanel::PaintDifferences() {
    const widgets::Toolkit& ui = ed_.ui;
    grid.Fill(0, pal::kText, pal::kPanel, 0);
    const int rows = grid.tmaph;
    scroll->h = std::max(0, static_cast<int>(differences_.size()) - rows);
    scroll->state = std::clamp(scroll->state, 0, scroll->h);
    if (differences_.empty()) {
        grid.InsertString(0, 0, "No differences.", pal::kText, pal::kPanel, 0, 0, 0, -1);
        return;
    }
    const int x0 = anchor->dx, y0 = anchor->dy;
    const int first = scroll->state;
    for (int r = 0; r < rows; ++r) {
        const size_t i = static_cast<size_t>(first + r);
        if (i >= differences_.size()) break;
        const meshdiff::Difference& d = differences_[i];
        const mesh::chunkptr c = std::const_pointer_cast<mesh::chunk>(d.where.lock());
        const bool hovered = painted_ && ui.mx >= x0 && ui.mx < x0 + grid.tmapw && ui.my == y0 + r;
        if (hovered && ui.Released(1)) ed_.Reveal(c);
        const std::string text = meshdiff::Line(d);
        if (c && ed_.doc.selchunk == c)
            grid.InsertString(0, r, text, pal::kPanel, pal::kText, 0, 0, 0, grid.tmapw);
        else
            grid.InsertString(0, r, text, pal::kText, hovered ? pal::kHover : pal::kPanel, 0, 0, 0, grid.tmapw);
    }
}

}  // namespace editor
