// The check command in the editor: Control+K and the tool-row button list
// the findings, errors first, in the check findings window; a click on one
// selects its chunk and opens the tree down to it, and the whole text of the
// hovered or clicked finding shows under the list; verification's findings,
// marks and log stay as they were.
#include <algorithm>
#include <filesystem>

#include "editor/checkpanel.h"
#include "editor/tests/fixture.h"
#include "check/tests/check_meshes.h"

using namespace edtest;

namespace {

class CheckPanelTest : public EditorTest {
protected:
    // A real-shaped mesh with a warning early in the tree (a shadow volume
    // that is not hidden) and an error late (an unknown model type).
    void OpenFaulty() {
        mesh::chunkptr root = checkmesh::Good();
        const mesh::chunkptr msh2 = root->getkid("MSH2");
        for (const mesh::chunkptr& m : msh2->kids) {
            if (m->FetchName() == "sv_body") m->getkid("FLGS")->setdata(checkmesh::U32s({0}));
            if (m->FetchName() == "hp_fire") m->getkid("MTYP")->setdata(checkmesh::U32s({5}));
        }
        mesh::msh file;
        file.hedr = root;
        ASSERT_TRUE(file.Save(dir + "/faulty.msh", 1));
        Start({"faulty.msh"});
        Frame();
    }
    // The text of row r of the findings window.
    std::string FindingRow(int r) {
        const widgets::gadget* a = ed->checks().anchor;
        return Row(a->dy + r).substr(static_cast<size_t>(a->dx), static_cast<size_t>(ed->checks().grid.tmapw));
    }
};

TEST_F(CheckPanelTest, ShortcutListsErrorsFirstAndLeavesVerificationAlone) {
    OpenFaulty();
    EXPECT_EQ(ed->checks().window->title, "check");
    EXPECT_EQ(FindingRow(0).substr(0, 34), "Control+K or check: the deep check");
    Shortcut(editor::kKeyK);
    Frame();
    ASSERT_EQ(ed->checks().Findings().size(), 2u);
    EXPECT_EQ(ed->checks().window->title, "check: 1 error, 1 warning");
    EXPECT_EQ(ed->checks().Findings()[0].rule, "model-type");
    EXPECT_EQ(ed->checks().Findings()[1].rule, "shadow-visible");
    EXPECT_EQ(FindingRow(0).substr(0, 33), "E HEDR/MSH2/MODL[hp_fire]/MTYP: [");
    EXPECT_EQ(FindingRow(1).substr(0, 29), "W HEDR/MSH2/MODL[sv_body]: [s");
    // No verification ran: no findings, no marks, no log.
    EXPECT_TRUE(ed->findings.empty());
    EXPECT_TRUE(ed->doc.mesh->errors.empty());
    EXPECT_FALSE(std::filesystem::exists(dir + "/log__faulty.msh.txt"));
    EXPECT_TRUE(ed->messages.empty());

    // After a verification, a check keeps its findings and marks.
    KeyInModal(host::kKeyEnter, 2);  // closes the verdict
    ClickWidget(ed->FindCommand("verify")->button);
    const size_t marks = ed->doc.mesh->errors.size();
    const std::vector<std::string> verified = ed->findings;
    ASSERT_GT(marks, 0u);
    ClickWidget(ed->FindCommand("check")->button);
    EXPECT_EQ(ed->checks().Findings().size(), 2u);
    EXPECT_EQ(ed->doc.mesh->errors.size(), marks);
    EXPECT_EQ(ed->findings, verified);
}

TEST_F(CheckPanelTest, ClickSelectsTheChunkAndOpensTheTreeToIt) {
    OpenFaulty();
    ClickWidget(ed->FindCommand("check")->button);
    Frame();
    ASSERT_EQ(ed->checks().Findings().size(), 2u);
    const mesh::chunkptr mtyp = ed->checks().Findings()[0].where.lock();
    ASSERT_TRUE(mtyp);
    ASSERT_EQ(mtyp->name, "MTYP");
    EXPECT_EQ(mtyp->getparent()->expanded, 0);

    // Lists see a click in the frame after its release, as the model list.
    Click(ed->checks().anchor->dx + 3, ed->checks().anchor->dy);
    Frame();
    EXPECT_EQ(ed->doc.selchunk, mtyp);
    for (mesh::chunkptr p = mtyp->getparent(); p; p = p->getparent()) EXPECT_EQ(p->expanded, 1) << p->name;
    // The selected row is within the shown part of the tree.
    const int row = mtyp->findy(nullptr);
    EXPECT_LE(ed->tree->scroll->state, row);
    EXPECT_LT(row, ed->tree->scroll->state + ed->tree->scroll->w);

    // A finding whose chunk has left the tree selects nothing.
    ed->doc.selchunk = nullptr;
    const mesh::chunkptr model = mtyp->getparent();
    ed->doc.mesh->hedr->getkid("MSH2")->RemoveKid(
        static_cast<size_t>(ed->doc.mesh->hedr->getkid("MSH2")->IndexOfKid(model.get())));
    Click(ed->checks().anchor->dx + 3, ed->checks().anchor->dy);
    Frame();
    EXPECT_EQ(ed->doc.selchunk, nullptr);
}

TEST_F(CheckPanelTest, ScrollsAndForgetsAnotherMesh) {
    // Many findings: the scroll bar reaches all of them.
    mesh::chunkptr root = checkmesh::Good();
    for (int i = 0; i < 30; ++i) root->getkid("MSH2")->AppendKid(checkmesh::D("ZZZZ", {}));
    root->Update(1);
    ASSERT_NO_FATAL_FAILURE(OpenAndCheck(root, "many.msh"));
    ASSERT_EQ(ed->checks().Findings().size(), 30u);
    // Seven rows of findings; the last five show the whole text of one.
    EXPECT_EQ(ed->checks().scroll->h, static_cast<int>(ed->checks().Findings().size()) - 7);
    ed->checks().scroll->state = ed->checks().scroll->h;
    Frame();
    EXPECT_EQ(FindingRow(6).substr(0, 2), "W ");  // the last finding: an unknown chunk, a warning
    // Another mesh drops the findings.
    host.OnFrame(host.Frames() + 1, [](host::HeadlessHost& h) { h.PressKey(host::kKeyEnter); });
    Shortcut(editor::kKeyNew);
    Frame();
    EXPECT_NE(ed->doc.title, "many.msh");
    EXPECT_TRUE(ed->checks().Findings().empty());
    EXPECT_EQ(ed->checks().window->title, "check");
}

TEST_F(CheckPanelTest, WholeTextOfTheHoveredOrClickedFinding) {
    // A model name long enough that its finding runs past the window's width.
    mesh::chunkptr root = checkmesh::Good();
    const std::string name(30, 'n');
    for (const mesh::chunkptr& m : root->getkid("MSH2")->kids)
        if (m->FetchName() == "hp_fire") m->getkid("NAME")->setdata(checkmesh::Str("HP_" + name));
    root->Update(1);
    ASSERT_NO_FATAL_FAILURE(OpenAndCheck(root, "long.msh"));
    ASSERT_EQ(ed->checks().Findings().size(), 1u);
    const std::string whole = "W HEDR/MSH2/MODL[HP_" + name + "]: [name-case] " + ed->checks().Findings()[0].message;
    ASSERT_GT(whole.size(), size_t(ed->checks().grid.tmapw));
    auto message = [&] {
        std::string text;
        for (int r = 8; r < 12; ++r) text += FindingRow(r);
        return text;
    };
    EXPECT_EQ(FindingRow(8).substr(0, 10), "Point at a");
    // Hovered: the whole text, wrapped over the rows under the list.
    Point(ed->checks().anchor->dx + 3, ed->checks().anchor->dy);
    Frames(2);
    std::string shown = message();
    shown.erase(std::remove_if(shown.begin(), shown.end(), [](char c) { return c == ' ' || c == 0; }), shown.end());
    std::string expected = whole;
    expected.erase(std::remove(expected.begin(), expected.end(), ' '), expected.end());
    EXPECT_EQ(shown, expected);
    // Clicked: it stays when the pointer leaves the list.
    Click(ed->checks().anchor->dx + 3, ed->checks().anchor->dy);
    Point(0, 0);
    Frames(2);
    EXPECT_EQ(FindingRow(8).substr(0, 20), whole.substr(0, 20));
}

TEST_F(CheckPanelTest, WithoutAMeshOrAPanel) {
    Start();
    Frame();
    Frame();
    EXPECT_EQ(ed->FindCommand("check")->button->disabled(), 1);
    Shortcut(editor::kKeyK);
    EXPECT_FALSE(ed->checks().Checked());

    // A grid too small for the free area: the shortcut still runs the check
    // and tells the counts in a popup.
    Configure(79, 50);
    mesh::msh file;
    file.hedr = checkmesh::Good();
    ASSERT_TRUE(file.Save(dir + "/good.msh", 1));
    Start({"good.msh"});
    Frame();
    EXPECT_EQ(ed->FindCommand("check")->button, nullptr);
    EXPECT_EQ(ed->checks().window, nullptr);
    KeyInModal(host::kKeyEnter);
    Shortcut(editor::kKeyK);
    ASSERT_EQ(ed->messages.size(), 1u);
    EXPECT_EQ(ed->messages[0].title, "check");
    EXPECT_EQ(ed->messages[0].text, "0 errors, 0 warnings");
}

}  // namespace

namespace {

// The mesh's bytes as they would be saved.
std::vector<uint8_t> Saved(const mesh::msh& m) {
    std::vector<uint8_t> b;
    m.hedr->save(b, 1);
    return b;
}

// A finding with a repair: selected and Control+F, it is one undo step named
// after its rule that the check no longer reports; Control+Shift+F repairs
// every one; undo gives back the exact bytes.
TEST_F(CheckPanelTest, ControlFRepairsTheSelectedFindingAsOneUndoStep) {
    OpenFaulty();  // the shadow volume's hidden flag is the one fault with a repair
    const std::vector<uint8_t> before = Saved(*ed->doc.mesh);
    Shortcut(editor::kKeyK);
    Frame();
    ASSERT_EQ(ed->checks().Findings().size(), 2u);
    EXPECT_EQ(ed->Execute("fix"), false) << "nothing is selected";
    EXPECT_EQ(ed->checks().RepairOf(ed->checks().Findings()[0]), nullptr) << "an unknown model type has no repair";
    ASSERT_NE(ed->checks().RepairOf(ed->checks().Findings()[1]), nullptr);

    Click(ed->checks().anchor->dx + 3, ed->checks().anchor->dy + 1);  // selects MODL[sv_body]
    Frame();
    Shortcut(editor::kKeyF);
    Frame();
    ASSERT_EQ(ed->checks().Findings().size(), 1u);
    EXPECT_EQ(ed->checks().Findings()[0].rule, "model-type");
    ASSERT_NE(ed->doc.history.ToUndo(), nullptr);
    EXPECT_EQ(ed->doc.history.ToUndo()->name, "fix shadow-visible");
    EXPECT_NE(Saved(*ed->doc.mesh), before);
    ed->Execute("undo");
    EXPECT_EQ(Saved(*ed->doc.mesh), before);

    host.HoldKey(editor::kKeyLeftShift, true);
    Shortcut(editor::kKeyF);
    host.HoldKey(editor::kKeyLeftShift, false);
    Frame();
    EXPECT_EQ(ed->checks().Findings().size(), 1u) << "fix all mends the shadow volume and runs the check";
    EXPECT_TRUE(ed->checks().Repairs().empty());
    ed->Execute("undo");
    EXPECT_EQ(Saved(*ed->doc.mesh), before);
}

// The fix and fix all buttons under the check window's list: on the screen,
// enabled only when their command is, a click is the command.
TEST_F(CheckPanelTest, FixButtonsAreEnabledWhenARepairIsThere) {
    OpenFaulty();
    const std::vector<uint8_t> before = Saved(*ed->doc.mesh);
    Frame();
    const widgets::gadget* fix = ed->checks().fixbutton;
    const widgets::gadget* all = ed->checks().fixallbutton;
    ASSERT_NE(fix, nullptr);
    EXPECT_NE(Row(all->dy).find("fix all"), std::string::npos) << Row(all->dy);
    EXPECT_TRUE(fix->disabled() && all->disabled()) << "no check yet";
    Shortcut(editor::kKeyK);
    Frame();
    EXPECT_TRUE(fix->disabled()) << "no finding is selected";
    EXPECT_FALSE(all->disabled());
    Click(ed->checks().anchor->dx + 3, ed->checks().anchor->dy + 1);  // the shadow volume's finding
    Frame();
    EXPECT_FALSE(fix->disabled());
    ClickWidget(fix);
    Frame();
    ASSERT_NE(ed->doc.history.ToUndo(), nullptr);
    EXPECT_EQ(ed->doc.history.ToUndo()->name, "fix shadow-visible");
    EXPECT_TRUE(all->disabled()) << "nothing is left to repair";
    ed->Execute("undo");
    EXPECT_EQ(Saved(*ed->doc.mesh), before);
}

// Two shadow volumes that are not hidden, each with its repair; the first
// leaves the tree (and memory) after the check: the second's repair is
// still the one offered and applied, and the gone one is none.
TEST_F(CheckPanelTest, ARepairOfADeletedChunkIsNoneAndTheOthersStay) {
    using namespace checkmesh;
    mesh::chunkptr root = Good();
    const mesh::chunkptr msh2 = root->getkid("MSH2");
    msh2->AppendKid(Modl("sv_two", 6, 9, "body",
                         {D("FLGS", U32s({0})), Tran(),
                          C("GEOM", {Bbox(), C("SEGM", {D("MATI", U32s({0})),
                                                        D("SHDW", ShadowEdges({0, 1, 4, 1, 2, 3, 2, 0, 5, 2, 4, 1,
                                                                               1, 5, 0, 0, 3, 2}))})})}));
    for (const mesh::chunkptr& m : msh2->kids)
        if (m->FetchName() == "sv_body") m->getkid("FLGS")->setdata(U32s({0}));
    root->Update(1);
    ASSERT_NO_FATAL_FAILURE(OpenAndCheck(root, "two.msh"));
    ASSERT_EQ(ed->checks().Findings().size(), 2u);
    ASSERT_EQ(ed->checks().Repairs().size(), 2u);
    const check::Finding& gone = ed->checks().Findings()[0];
    const check::Finding& kept = ed->checks().Findings()[1];
    ASSERT_EQ(kept.path, "HEDR/MSH2/MODL[sv_two]");
    const mesh::chunkptr two = kept.where.lock();
    {
        const mesh::chunkptr body = gone.where.lock();
        ASSERT_TRUE(body);
        ed->doc.mesh->hedr->getkid("MSH2")->RemoveKid(size_t(ed->doc.mesh->hedr->getkid("MSH2")->IndexOfKid(body.get())));
        ed->doc.Refresh();
    }
    ASSERT_TRUE(gone.where.expired());
    EXPECT_EQ(ed->checks().RepairOf(gone), nullptr);
    ASSERT_TRUE(ed->Reveal(two));
    Frame();
    EXPECT_FALSE(ed->checks().fixbutton->disabled());
    ASSERT_TRUE(ed->Execute("fix"));
    ASSERT_NE(ed->doc.history.ToUndo(), nullptr);
    EXPECT_EQ(ed->doc.history.ToUndo()->name, "fix shadow-visible");
    EXPECT_TRUE(ed->checks().Findings().empty());
}

}  // namespace
