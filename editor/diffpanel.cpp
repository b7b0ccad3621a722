// The comparison in the editor: the diff command (Control+D, the tool row's
// diff button) compares the open mesh with another file or with its saved
// state, and lists the differences in the check findings window's place,
// where a click on one selects its chunk.
#include <algorithm>

#include "display/palette.h"
#include "editor/editor.h"
#include "host/files.h"
#include "widgets/gadget.h"

namespace editor {

namespace pal = display::palette;

void Editor::CompareMesh() {
    if (!doc.mesh || !doc.mesh->hedr) return;
    bool saved = false;
    if (!doc.path.empty()) {
        static const std::vector<std::string> choices{"saved", "other", "cancel"};
        const std::string question = "Compare " + doc.title + " with its saved file or another?";
        messages.push_back({"diff", question});
        const int answer = widgets::gadget::popup(ui, "diff", question, choices);
        FlushInput();
        if (answer != 0 && answer != 1) return;
        saved = answer == 0;
    }
    std::string path = doc.path;
    if (!saved) {
        path = host.RequestFile("Compare with Mesh file", kMeshFilter, false, st.lastdir + "\\");
        FlushInput();
        if (path.empty()) return;
        st.lastdir = host::DirectoryPart(path);
    }
    std::string why;
    const mesh::mshptr other = mesh::OpenMesh(path, st.formatlist, st.recognizematl, &why);
    if (!other || !other->hedr) {
        Message("Error!", WithReason("Unable to read mesh file.", why));
        FlushInput();
        return;
    }
    differences = meshdiff::Diff(*doc.mesh->hedr, *other->hedr);
    if (auto tail = meshdiff::DiffTail(doc.mesh->tail, other->tail)) differences.push_back(std::move(*tail));
    diffedmesh = doc.mesh;
    showdiff = true;
    const size_t n = differences.size();
    const std::string with = saved ? std::string("the saved file") : path.substr(path.find_last_of("/\\") + 1);
    const std::string summary =
        (n == 0 ? std::string("no difference") : std::to_string(n) + (n == 1 ? " difference" : " differences")) +
        " with " + with;
    if (w.checkwindow) {
        w.checkwindow->title = "diff: " + summary;
        w.checkscroll->state = 0;
    } else {
        Message("diff", summary);
        FlushInput();
    }
}

void Editor::DrawDifferences() {
    display::tilemap& grid = g.checkgrid;
    grid.Fill(0, pal::kText, pal::kPanel, 0);
    const int rows = grid.tmaph;
    w.checkscroll->h = std::max(0, static_cast<int>(differences.size()) - rows);
    w.checkscroll->state = std::clamp(w.checkscroll->state, 0, w.checkscroll->h);
    if (differences.empty()) {
        grid.InsertString(0, 0, "No differences.", pal::kText, pal::kPanel, 0, 0, 0, -1);
        return;
    }
    const int x0 = w.checkanchor->dx, y0 = w.checkanchor->dy;
    const int first = w.checkscroll->state;
    for (int r = 0; r < rows; ++r) {
        const size_t i = static_cast<size_t>(first + r);
        if (i >= differences.size()) break;
        const meshdiff::Difference& d = differences[i];
        const mesh::chunkptr c = std::const_pointer_cast<mesh::chunk>(d.where.lock());
        const bool hovered = drawn_ && ui.mx >= x0 && ui.mx < x0 + grid.tmapw && ui.my == y0 + r;
        if (hovered && ui.Released(1)) Reveal(c);
        const std::string text = meshdiff::Line(d);
        if (c && doc.selchunk == c)
            grid.InsertString(0, r, text, pal::kPanel, pal::kText, 0, 0, 0, grid.tmapw);
        else
            grid.InsertString(0, r, text, pal::kText, hovered ? pal::kHover : pal::kPanel, 0, 0, 0, grid.tmapw);
    }
}

}  // namespace editor
