// The diff command in the editor: Control+D and the tool-row button compare
// the open mesh with its saved file or another one and list the differences
// in the check findings window's place; a click selects the chunk.
#include "editor/checkpanel.h"
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
