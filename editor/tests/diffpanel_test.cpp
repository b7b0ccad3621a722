// The diff command in the editor: Control+D and the tool-row button compare
// the open mesh with its saved file or another one and list the differences
// in the check findings window's place; a click selects the chunk.
#include "editor/checkpanel.h"
#include "editor/inspector.h"
#include "editor/tests/fixture.h"

using namespace edtest;

namespace {

class DiffPanelTest : public EditorTest {
protected:
    std::string WindowRow(int r) {
        const widgets::gadget* a = ed->checks().anchor;
        return Row(a->dy + r).substr(static_cast<size_t>(a->dx), static_cast<size_t>(ed->checks().grid.tmapw));
    }
};

TEST_F(DiffPanelTest, ListsTheDifferencesWithTheSavedFileOrAnotherAndSelectsAClickedOne) {
    Spit(dir + "/a.msh", SmallMesh());
    Spit(dir + "/b.msh", Enc("HEDR", Enc("MSH2", Enc("SINF", Enc("NAME", Text("scene2"))) + Model("one") +
                                                     Model("deux")) + Enc("CL1L", "")));
    Start({"a.msh"});
    Frame();
    const struct {
        std::vector<int> keys;      // in the question popup
        std::string file;           // the file dialog's answer
        std::string title;
        std::vector<std::string> rows;
    } cases[] = {
        {{host::kKeyEnter}, "", "diff: no difference (A saved file, B open mesh)", {"No differences."}},
        {{host::kKeyRight, host::kKeyEnter}, dir + "/b.msh", "diff: 2 differences (A open mesh, B b.msh)",
         {"HEDR/MSH2/MODL[two] renamed: \"two\" -> \"deux\"", "HEDR/MSH2/SINF/NAME \"scene\" -> \"scene2\""}},
        {{host::kKeyEscape}, "", "diff: 2 differences (A open mesh, B b.msh)",
         {"HEDR/MSH2/MODL[two] renamed: \"two\" -> \"deux\"", "HEDR/MSH2/SINF/NAME \"scene\" -> \"scene2\""}},
    };
    for (const auto& c : cases) {
        if (!c.file.empty()) host.file_answers.push_back(c.file);
        for (size_t k = 0; k < c.keys.size(); ++k) KeyInModal(c.keys[k], static_cast<int>(k) + 1);
        Shortcut(editor::kKeyD);
        Frames(2);
        EXPECT_EQ(ed->checks().window->title, c.title);
        // The rows show as much of each line as the window is wide.
        for (size_t r = 0; r < c.rows.size(); ++r) {
            const std::string row = WindowRow(static_cast<int>(r));
            EXPECT_EQ(row.substr(0, std::min(row.size(), c.rows[r].size())), c.rows[r].substr(0, row.size())) << r;
        }
    }
    // A click on a difference selects its chunk.
    Click(ed->checks().anchor->dx + 3, ed->checks().anchor->dy);
    Frame();
    ASSERT_TRUE(ed->doc.selchunk);
    EXPECT_EQ(ed->doc.selchunk->FetchName(), "two");
    // The saved file reads as what the edits did: saved -> open mesh, and a
    // click selects the open mesh's chunk.
    const mesh::chunkptr name = ed->doc.mesh->hedr->kids[0]->getkid("SINF")->getkid("NAME");
    name->setdata(testsupport::Str("edited"));
    ed->doc.mesh->hedr->Update(1);
    KeyInModal(host::kKeyEnter, 1);
    Shortcut(editor::kKeyD);
    Frames(2);
    EXPECT_EQ(ed->checks().window->title, "diff: 1 difference (A saved file, B open mesh)");
    const std::string row = WindowRow(0);
    const std::string expected = "HEDR/MSH2/SINF/NAME \"scene\" -> \"edited\"";
    EXPECT_EQ(row.substr(0, std::min(row.size(), expected.size())), expected.substr(0, row.size()));
    Click(ed->checks().anchor->dx + 3, ed->checks().anchor->dy);
    Frame();
    EXPECT_EQ(ed->doc.selchunk, name);
    // The check takes the window back.
    ClickWidget(ed->FindCommand("check")->button);
    Frame();
    EXPECT_EQ(ed->checks().window->title.substr(0, 6), "check:");
    EXPECT_FALSE(ed->checks().ShowsDiff());
}

}  // namespace

// Long texts are read whole: the status text runs on to the row under the
// tool row, and what does not fit there either, like a difference wider than
// the window, is shown wrapped under the list.
TEST_F(DiffPanelTest, LongStatusTextsAndDifferencesAreShownWhole) {
    auto trim = [](std::string s) {
        while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.pop_back();
        return s;
    };
    const std::string cut(1, char(display::kCutMark));
    Configure(96, 60);  // the shipped size
    Spit(dir + "/a.msh", SmallMesh());
    Start({"a.msh"});
    Frame();
    const widgets::gadget& first = *ed->inspector->statuslabel;
    const std::string shortone = "fixed: 1 repair";
    const std::string two = "fixed: pad 10 bytes with zeros to a multiple of four bytes";
    const std::string many =
        "re-laid: 1 chunk whose size left out its padding (the first at offset 24); saving writes every size "
        "with its padding";
    const struct {
        std::string status;
        std::string row5, row6;  // from the status's first cell, and across the free area
        bool below;               // the whole text under the check window's list
    } cases[] = {
        {shortone, shortone, "", false},
        {two, "fixed: pad 10 bytes with", "zeros to a multiple of four bytes", false},
        {many, "re-laid: 1 chunk whose", "size left out its padding (the first at offset 24);" + cut, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status);
        ed->Status(c.status);
        Point(0, ed->layout.H - 1);  // over nothing
        Frames(2);
        EXPECT_EQ(trim(Row(5).substr(size_t(first.dx))), c.row5);
        EXPECT_EQ(trim(Row(6).substr(41, size_t(ed->layout.W - 42))), c.row6);
        std::string under;
        const int rows = ed->checks().ListRows();
        for (int r = rows + 1; r < ed->checks().grid.tmaph; ++r)
            under += trim(GridRow(ed->checks().grid, r)) + " ";
        EXPECT_EQ(trim(under) == c.status, c.below) << under;
    }

    // A difference wider than the window: its row is cut, and the whole line
    // is under the list while the pointer is on it.
    Spit(dir + "/b.msh", Enc("HEDR", Enc("MSH2", Enc("SINF", Enc("NAME", Text("scene"))) + Model("one") +
                                                     Model("a_model_with_a_rather_long_name_indeed")) +
                                     Enc("CL1L", "")));
    host.file_answers.push_back(dir + "/b.msh");
    KeyInModal(host::kKeyRight, 1);
    KeyInModal(host::kKeyEnter, 2);
    Shortcut(editor::kKeyD);
    Frames(2);
    ASSERT_EQ(ed->checks().Differences().size(), 1u);
    const std::string line = meshdiff::Line(ed->checks().Differences()[0]);
    ASSERT_GT(line.size(), size_t(ed->checks().grid.tmapw));
    Point(ed->checks().anchor->dx + 2, ed->checks().anchor->dy);
    Frames(2);
    // Rows break at blanks, which are not shown: compared without them.
    auto unblank = [](std::string s) {
        std::erase_if(s, [](char ch) { return ch == ' ' || ch == '\0'; });
        return s;
    };
    std::string under;
    for (int r = ed->checks().ListRows() + 1; r < ed->checks().grid.tmaph; ++r)
        under += GridRow(ed->checks().grid, r);
    EXPECT_EQ(unblank(under), unblank(line));
}
