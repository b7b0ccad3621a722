// Undo and redo of every change, the unsaved-changes mark and the question
// before a modified mesh is dropped.
#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "editor/checkpanel.h"
#include "editor/inspector.h"
#include "editor/tests/fixture.h"
#include "format/records.h"

using namespace edtest;

namespace {

// "" when equal, else where they first differ.
std::string Diff(const std::string& a, const std::string& b) {
    if (a == b) return "";
    size_t i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
    return "lengths " + std::to_string(a.size()) + " and " + std::to_string(b.size()) + ", first difference at " +
           std::to_string(i);
}

class UndoTest : public EditorTest {
protected:
    void Open(const std::string& bytes, int grouping = 1) {
        Spit(dir + "/work.msh", bytes);
        Start({"work.msh"});
        ed->actions->groupbox->state = grouping;
        Frame();
    }
    void OpenCube(int grouping = 1) {
        Open(Slurp(std::string(SOURCE_DIR) + "/examples/cube.msh"), grouping);
    }
    mesh::chunkptr Root() { return ed->doc.mesh->hedr; }
    // The bytes a save would write now.
    std::string Bytes() {
        std::vector<uint8_t> v;
        Root()->save(v, ed->doc.recognizematl);
        return std::string(v.begin(), v.end());
    }
    std::vector<mesh::chunkptr> Chunks() {
        std::vector<mesh::chunkptr> all, stack{Root()};
        while (!stack.empty()) {
            mesh::chunkptr c = stack.back();
            stack.pop_back();
            all.push_back(c);
            for (size_t i = c->kids.size(); i-- > 0;) stack.push_back(c->kids[i]);
        }
        return all;
    }
    void Select(const mesh::chunkptr& c, int cursor = -5) {
        ed->doc.selchunk = c;
        ed->doc.datacursor = cursor;
    }
    bool Run(const std::string& name) { return ed->Execute(name); }
    void UndoAll() {
        while (ed->doc.history.CanUndo()) ASSERT_TRUE(Run("undo"));
    }
    void RedoAll() {
        while (ed->doc.history.CanRedo()) ASSERT_TRUE(Run("redo"));
    }
    void SetGrouping(int g) {
        ed->actions->groupbox->state = g;
        Frame();
    }
};

}  // namespace

// Long random sequences of every mesh-changing command, undone to the
// original bytes and redone to the bytes after the sequence.
TEST_F(UndoTest, RandomSequencesUndoAndRedoExactly) {
    const std::vector<std::string> names = {"delete",   "shift up", "shift down", "rename",  "import after",
                                            "import under", "remove 1", "remove 2",   "remove 4", "insert 1",
                                            "insert 2", "insert 4", "input 1",    "input 2", "input 4",
                                            "str",      "flt",      "pick byte",  "handle",  "grouping"};
    // Renaming to MATL is left to its own test: grouping rewrites the count
    // at the front of a MATL, so a toggle after it may change the bytes.
    const std::vector<std::string> renames = {"MATD", "XY", "NAME", "SEGM", "ABCDE", "SINF"};
    Spit(dir + "/three.mck", Model("three"));
    struct Start {
        std::string what;
        int grouping;
    };
    int exactruns = 0;
    for (const Start& start : {Start{"cube", 1}, Start{"cube", 0}, Start{"small", 1}}) {
        const unsigned seeds = getenv("UNDO_SEEDS") ? static_cast<unsigned>(atoi(getenv("UNDO_SEEDS"))) : 6;
        for (unsigned seed = 1; seed <= seeds; ++seed) {
            if (getenv("UNDO_ONLY") && seed != static_cast<unsigned>(atoi(getenv("UNDO_ONLY")))) continue;
            host.SetFrameLimit(host.Frames() + 20000);
            if (start.what == "cube")
                OpenCube(start.grouping);
            else
                Open(SmallMesh(), start.grouping);
            std::mt19937 rng(seed);
            auto pick = [&](size_t n) { return static_cast<size_t>(rng() % n); };
            const std::string original = Bytes();
            std::ostringstream log;
            bool exact = true;
            log << start.what << " grouping " << start.grouping << " seed " << seed << ":";
            for (int op = 0; op < 60; ++op) {
                const std::vector<mesh::chunkptr> all = Chunks();
                mesh::chunkptr c = all[pick(all.size())];
                // Mostly the last children and the ends of lists.
                if (pick(3) == 0 && !c->kids.empty()) c = c->kids.back();
                const int cursor = static_cast<int>(pick(static_cast<size_t>(c->size) + 3)) - 1;
                Select(c, cursor);
                const std::string name = names[pick(names.size())];
                log << " [" << name << " " << c->name << " @" << cursor << "]";
                if (name == "handle") {
                    ed->data->handlebox->state = 1 - ed->data->handlebox->state;
                    Frame();
                    continue;
                }
                if (name == "grouping") {
                    // Grouping rewrites the count at the front of a MATL; after
                    // an edit of that count a toggle changes the bytes itself,
                    // and the sequence cannot come back to the original.
                    const std::string was = Bytes();
                    SetGrouping(1 - ed->doc.recognizematl);
                    if (Bytes() != was) {
                        log << " (grouping changed the bytes)";
                        exact = false;
                    }
                    continue;
                }
                if (name == "rename") TypeInModal("\b\b\b\b" + renames[pick(renames.size())] + "\r", 1);
                if (name == "import after" || name == "import under") host.file_answers = {dir + "/three.mck"};
                // An import under a record is refused, one under a chunk
                // without children asks first: Enter answers.
                if (name == "import under" && (c->kids.empty() || format::IsRecordName(c->name))) KeyInModal(host::kKeyEnter, 1);
                // Delete and import after on the root say why not.
                if ((name == "delete" || name == "import after") && !c->getparent()) KeyInModal(host::kKeyEnter, 1);
                if (name == "pick byte") ed->data->pickedbyte = static_cast<int>(pick(256));
                // Numbers that every input button and flt take; str writes text.
                if (name.rfind("input", 0) == 0 || name == "flt")
                    ed->data->valuebox->title = std::to_string(static_cast<int>(rng() % 256) - 128);
                if (name == "str")
                    ed->data->valuebox->title = std::to_string(static_cast<int>(rng() % 100000) - 50000) + "MSH2";
                const std::string before = Bytes();
                const size_t steps = ed->doc.history.Steps();
                try {
                    Run(name);
                } catch (const std::exception& e) {
                    FAIL() << e.what() << ": " << log.str();
                }
                ASSERT_EQ(SizesConsistent(Root(), ed->doc.recognizematl), "") << log.str();
                // Each step undone and redone at once.
                if (ed->doc.history.Steps() > steps) {
                    const std::string after = Bytes();
                    ASSERT_TRUE(Run("undo"));
                    ASSERT_EQ(Diff(Bytes(), before), "") << log.str();
                    ASSERT_TRUE(Run("redo"));
                    ASSERT_EQ(Diff(Bytes(), after), "") << log.str();
                }
                if (getenv("UNDO_DEBUG") && exact) {
                    const std::string now = Bytes();
                    UndoAll();
                    ASSERT_EQ(Diff(Bytes(), original), "") << "full " << log.str();
                    RedoAll();
                    ASSERT_EQ(Diff(Bytes(), now), "") << "full " << log.str();
                }
            }
            auto toggle = [&] {
                log << " [toggle to " << 1 - ed->doc.recognizematl << "]";
                const std::string was = Bytes();
                SetGrouping(1 - ed->doc.recognizematl);
                if (Bytes() != was) exact = false;
            };
            const std::string edited = Bytes();
            const size_t steps = ed->doc.history.Steps();
            if (pick(2)) toggle();
            UndoAll();
            if (exact) {
                ASSERT_EQ(Diff(Bytes(), original), "") << log.str();
                ++exactruns;
            }
            EXPECT_FALSE(ed->doc.history.Modified()) << log.str();
            if (pick(2)) toggle();
            RedoAll();
            if (exact) {
                ASSERT_EQ(Diff(Bytes(), edited), "") << log.str();
            }
            EXPECT_EQ(ed->doc.history.Steps(), steps);
            EXPECT_EQ(SizesConsistent(Root(), ed->doc.recognizematl), "") << log.str();
        }
    }
    // Most sequences never edit a MATL's count before a toggle.
    EXPECT_GE(exactruns, 9);
    std::printf("%d sequences came back exactly\n", exactruns);
}

TEST_F(UndoTest, UndoPutsBackSelectionCursorRowsAndTheSameChunk) {
    Open(SmallMesh());
    auto msh2 = Root()->getkid("MSH2");
    auto one = msh2->kids[1];
    one->expanded = 1;
    Select(one, 2);
    ASSERT_TRUE(Run("delete"));
    EXPECT_EQ(msh2->kids.size(), 2u);
    EXPECT_EQ(ed->modellist->models.size(), 1u);
    ASSERT_TRUE(Run("undo"));
    ASSERT_EQ(msh2->kids.size(), 3u);
    EXPECT_EQ(msh2->kids[1], one);  // the same object, open as before
    EXPECT_EQ(one->expanded, 1);
    EXPECT_EQ(ed->doc.selchunk, one);
    EXPECT_EQ(ed->doc.datacursor, 2);
    EXPECT_EQ(ed->modellist->models.size(), 2u);
    EXPECT_EQ(Bytes(), SmallMesh());
    ASSERT_TRUE(Run("redo"));
    EXPECT_EQ(msh2->kids.size(), 2u);
    EXPECT_EQ(ed->doc.selchunk, nullptr);

    // A selection that no longer exists after undo falls back to its
    // nearest ancestor still in the tree.
    ASSERT_TRUE(Run("undo"));
    Spit(dir + "/three.mck", Model("three"));
    Select(one);
    host.file_answers = {dir + "/three.mck"};
    ASSERT_TRUE(Run("import under"));
    ASSERT_EQ(one->kids.size(), 3u);
    Select(one->kids[2]->kids[0], 0);
    ASSERT_TRUE(Run("undo"));
    EXPECT_EQ(ed->doc.selchunk, one);
    EXPECT_EQ(one->kids.size(), 2u);
}

TEST_F(UndoTest, ANewEditDropsTheRedoStepsAndEmptyChangesAreNoSteps) {
    Open(SmallMesh());
    auto msh2 = Root()->getkid("MSH2");
    Select(msh2->kids[2]);
    ASSERT_TRUE(Run("shift up"));
    ASSERT_TRUE(Run("shift up"));
    EXPECT_EQ(ed->doc.history.Steps(), 2u);
    ASSERT_TRUE(Run("undo"));
    EXPECT_TRUE(ed->doc.history.CanRedo());
    Select(msh2->kids[0]);
    ASSERT_TRUE(Run("shift down"));
    EXPECT_FALSE(ed->doc.history.CanRedo());
    EXPECT_EQ(ed->doc.history.Steps(), 2u);

    // Nothing changed: no step (the first child cannot go up, the picker
    // without a cursor writes nothing).
    Select(msh2->kids[0]);
    ASSERT_TRUE(Run("shift up"));
    ed->data->pickedbyte = 7;
    ASSERT_TRUE(Run("pick byte"));
    EXPECT_EQ(ed->doc.history.Steps(), 2u);
}

TEST_F(UndoTest, RenamesToAndFromMatlUndoWithTheirGrouping) {
    OpenCube(1);
    const std::string original = Bytes();
    auto msh2 = Root()->getkid("MSH2");
    auto matl = msh2->getkid("MATL");
    Select(matl);
    TypeInModal("\b\b\b\bXY\r", 1);
    ASSERT_TRUE(Run("rename"));
    EXPECT_TRUE(matl->kids.empty());  // no longer grouped
    const std::string renamed = Bytes();
    ASSERT_TRUE(Run("undo"));
    EXPECT_EQ(Diff(Bytes(), original), "");
    EXPECT_EQ(matl->name, "MATL");
    EXPECT_EQ(matl->kids.size(), 2u);  // grouped again
    EXPECT_EQ(ed->doc.selchunk, matl);
    ASSERT_TRUE(Run("redo"));
    EXPECT_EQ(Diff(Bytes(), renamed), "");
    ASSERT_TRUE(Run("undo"));

    // A rename inside the grouped MATL, undone: the selection stays inside.
    auto matd = matl->kids[1];
    Select(matd);
    TypeInModal("\b\b\b\bMAT2\r", 1);
    ASSERT_TRUE(Run("rename"));
    EXPECT_EQ(matl->kids[1]->name, "MAT2");
    ASSERT_TRUE(Run("undo"));
    EXPECT_EQ(matl->kids[1]->name, "MATD");
    EXPECT_EQ(Diff(Bytes(), original), "");
    ASSERT_NE(ed->doc.selchunk, nullptr);
    EXPECT_EQ(SizesConsistent(Root(), 1), "");
}

TEST_F(UndoTest, ShortcutsAndButtons) {
    Open(SmallMesh());
    Frame();
    EXPECT_EQ(ed->FindCommand("undo")->button->disabled(), 1);
    EXPECT_EQ(ed->FindCommand("redo")->button->disabled(), 1);
    auto msh2 = Root()->getkid("MSH2");
    Select(msh2->kids[1]);
    Frame();
    ClickWidget(ed->FindCommand("delete")->button);
    Frame();
    EXPECT_EQ(ed->FindCommand("undo")->button->disabled(), 0);
    EXPECT_EQ(msh2->kids.size(), 2u);

    Shortcut(editor::kKeyZ);
    EXPECT_EQ(msh2->kids.size(), 3u);
    Shortcut(editor::kKeyY);
    EXPECT_EQ(msh2->kids.size(), 2u);
    ClickWidget(ed->FindCommand("undo")->button);
    EXPECT_EQ(msh2->kids.size(), 3u);
    Frame();
    EXPECT_EQ(ed->FindCommand("undo")->button->disabled(), 1);
    EXPECT_EQ(ed->FindCommand("redo")->button->disabled(), 0);
    // Control+Shift+Z redoes; Z without Control does nothing.
    host.PressKey(editor::kKeyZ);
    Frame();
    EXPECT_EQ(msh2->kids.size(), 3u);
    host.HoldKey(editor::kKeyLeftShift, true);
    Shortcut(editor::kKeyZ);
    host.HoldKey(editor::kKeyLeftShift, false);
    EXPECT_EQ(msh2->kids.size(), 2u);
    ClickWidget(ed->FindCommand("undo")->button);
    ClickWidget(ed->FindCommand("redo")->button);
    EXPECT_EQ(msh2->kids.size(), 2u);
}

TEST_F(UndoTest, ModifiedMarkFollowsSaveAndUndo) {
    Open(SmallMesh());
    EXPECT_EQ(ed->files->title->title, "work");
    auto msh2 = Root()->getkid("MSH2");
    Select(msh2->kids[2]);
    ASSERT_TRUE(Run("shift up"));
    Frame();
    EXPECT_EQ(ed->files->title->title, "work *");
    host.file_answers = {dir + "/saved.msh"};
    Shortcut(editor::kKeySave);
    Frame();
    EXPECT_EQ(ed->files->title->title, "saved");
    ASSERT_TRUE(Run("shift down"));
    EXPECT_TRUE(ed->doc.history.Modified());
    ASSERT_TRUE(Run("undo"));  // back at the saved state
    EXPECT_FALSE(ed->doc.history.Modified());
    ASSERT_TRUE(Run("undo"));  // before it
    EXPECT_TRUE(ed->doc.history.Modified());
    ASSERT_TRUE(Run("redo"));
    EXPECT_FALSE(ed->doc.history.Modified());
    ASSERT_TRUE(Run("redo"));  // past it
    Frame();
    EXPECT_EQ(ed->files->title->title, "saved *");
    // The log keeps the title without the mark.
    KeyInModal(host::kKeyEnter);
    Shortcut(editor::kKeyVerify);
    EXPECT_TRUE(fs::exists(dir + "/log__saved.txt"));
}

TEST_F(UndoTest, CloseWithChangesAsksFirst) {
    Open(SmallMesh());
    // Unmodified: closes without a question.
    host.RequestClose();
    EXPECT_FALSE(Frame());
    EXPECT_TRUE(ed->messages.empty());

    Select(Root()->getkid("MSH2")->kids[1]);
    ASSERT_TRUE(Run("delete"));
    // cancel (Escape): the window stays.
    host.RequestClose();
    KeyInModal(host::kKeyEscape, 2);
    EXPECT_TRUE(Frame());
    // discard (the second choice).
    host.RequestClose();
    KeyInModal(host::kKeyRight, 2);
    KeyInModal(host::kKeyEnter, 3);
    EXPECT_FALSE(Frame());
    // save, and the save fails: the window stays, the mesh still modified.
    host.RequestClose();
    host.file_answers = {dir + "/no/such/dir/x.msh"};
    KeyInModal(host::kKeyEnter, 2);
    KeyInModal(host::kKeyEnter, 4);  // the "Error!" message
    EXPECT_TRUE(Frame());
    ASSERT_EQ(ed->messages.size(), 1u);
    EXPECT_EQ(ed->messages[0].title, "Error!");
    EXPECT_TRUE(ed->doc.history.Modified());
    // save, cancelled in the dialog: stays.
    host.RequestClose();
    host.file_answers = {""};
    KeyInModal(host::kKeyEnter, 2);
    EXPECT_TRUE(Frame());
    // save: written, and the window closes.
    host.RequestClose();
    host.file_answers = {dir + "/kept.msh"};
    KeyInModal(host::kKeyEnter, 2);
    EXPECT_FALSE(Frame());
    auto reread = mesh::msh::ReadMsh(dir + "/kept.msh", ed->doc.formatlist, 1);
    ASSERT_NE(reread, nullptr);
    EXPECT_EQ(reread->hedr->getkid("MSH2")->kids.size(), 2u);
}

TEST_F(UndoTest, OpenAndNewAskOnceAndStartAFreshHistory) {
    Open(SmallMesh());
    Select(Root()->getkid("MSH2")->kids[1]);
    ASSERT_TRUE(Run("delete"));
    // New with changes: the save question only; cancel keeps everything.
    KeyInModal(host::kKeyEscape);
    Shortcut(editor::kKeyNew);
    EXPECT_EQ(ed->doc.title, "work");
    EXPECT_TRUE(ed->doc.history.CanUndo());
    // Open with changes, cancelled at the question: no dialog.
    KeyInModal(host::kKeyEscape);
    Shortcut(editor::kKeyOpen);
    EXPECT_TRUE(host.file_requests.empty());
    // Discard, then new: no second question.
    KeyInModal(host::kKeyRight);
    KeyInModal(host::kKeyEnter, 2);
    Shortcut(editor::kKeyNew);
    EXPECT_EQ(ed->doc.title, "untitled");
    EXPECT_FALSE(ed->doc.history.CanUndo());
    EXPECT_FALSE(ed->doc.history.Modified());
    // Open after a change: discard, then the dialog; a fresh history.
    Select(Root());
    ed->doc.datacursor = -5;
    ASSERT_TRUE(Run("insert 4"));
    ASSERT_TRUE(ed->doc.history.Modified());
    host.file_answers = {dir + "/work.msh"};
    KeyInModal(host::kKeyRight);
    KeyInModal(host::kKeyEnter, 2);
    Shortcut(editor::kKeyOpen);
    EXPECT_EQ(ed->doc.title, "work");
    EXPECT_FALSE(ed->doc.history.CanUndo());
}

// A close of the window while a prompt or popup is open asks about unsaved
// changes as the main loop does, and writes the settings when it ends.
TEST_F(UndoTest, CloseInsideAPromptAsksAboutChangesToo) {
    Open(SmallMesh());
    auto msh2 = Root()->getkid("MSH2");
    Select(msh2->kids[1]);
    ASSERT_TRUE(Run("delete"));
    auto kept = msh2->kids[0];
    Select(kept);
    const std::string name = kept->name;

    // Closed during the rename prompt; cancel at the question keeps the
    // prompt, whose Escape then leaves the name as it was.
    host.OnFrame(host.Frames() + 1, [](host::HeadlessHost& h) { h.RequestClose(); });
    KeyInModal(host::kKeyEscape, 3);
    KeyInModal(host::kKeyEscape, 8);
    ASSERT_TRUE(Run("rename"));
    EXPECT_EQ(kept->name, name);
    EXPECT_TRUE(ed->doc.history.Modified());
    EXPECT_FALSE(fs::exists(dir + "/mdata/prefs.dat"));

    // Closed again, and discard: the program ends from inside the prompt,
    // with the settings written.
    host.OnFrame(host.Frames() + 1, [](host::HeadlessHost& h) { h.RequestClose(); });
    KeyInModal(host::kKeyRight, 3);
    KeyInModal(host::kKeyEnter, 4);
    EXPECT_THROW(Run("rename"), host::ProgramEnded);
    EXPECT_TRUE(fs::exists(dir + "/mdata/prefs.dat"));
}

// A byte written into a container lands in the leaf whose data holds it,
// so the step keeps a few bytes and the children stay the same objects;
// a write on a header, or on the bytes that decide whether a leaf opens,
// is parsed again as before. The bytes are the same either way.
TEST_F(UndoTest, AWriteIntoAContainerGoesIntoTheLeafThatHoldsTheByte) {
    const std::string sinf = Enc("SINF", Enc("NAME", Text("s")));
    const std::string zzzz = Enc("ZZZZ", std::string(12, 'z'));
    const std::string file = Enc("HEDR", Enc("MSH2", sinf + zzzz + Enc("POSL", std::string(1 << 20, 'p'))));
    struct Case {
        const char* what;
        size_t at;  // in MSH2's data
        bool leaf;
    } cases[] = {
        {"inside a large list", sinf.size() + zzzz.size() + 8 + 1000, true},
        {"inside a record two levels down", 16, true},
        {"inside a leaf past its first four bytes", sinf.size() + 8 + 4, true},
        {"the first byte of a leaf that could open", sinf.size() + 8, false},
        {"a chunk's name", 0, false},
    };
    for (const Case& c : cases) {
        Open(file);
        auto msh2 = Root()->getkid("MSH2");
        const std::vector<mesh::chunkptr> kids(msh2->kids.begin(), msh2->kids.end());
        Select(msh2, static_cast<int>(c.at));
        ed->data->pickedbyte = '\x07';
        ASSERT_TRUE(Run("pick byte")) << c.what;
        std::string expected = file;
        expected[16 + c.at] = '\x07';
        EXPECT_EQ(Diff(Bytes(), expected), "") << c.what;
        const bool same = std::equal(kids.begin(), kids.end(), msh2->kids.begin(), msh2->kids.end());
        EXPECT_EQ(same, c.leaf) << c.what;
        if (c.leaf) {
            EXPECT_LT(ed->doc.history.Bytes(), 4096u) << c.what;
        }
        ASSERT_TRUE(Run("undo"));
        EXPECT_EQ(Diff(Bytes(), file), "") << c.what;
    }
}

// Memory that runs out in the middle of a command leaves the mesh, the
// selection and the history as they were, and says so in a popup.
TEST_F(UndoTest, RunningOutOfMemoryLeavesTheMeshAsItWas) {
    Spit(dir + "/three.mck", Model("three"));
    struct Case {
        const char* command;
        const char* where;  // the place memory runs out
        std::vector<size_t> path;  // the selected chunk, by child indexes from the root
        int cursor;
    } cases[] = {
        {"delete", "change", {0, 1, 0}, -5},         // a MATD: the whole MATL is put back
        {"delete", "change", {0, 2}, -5},            // a model
        {"import under", "change", {0, 2}, -5},
        {"shift down", "change", {0, 0}, -5},
        {"input 4", "change", {0, 2, 1}, 0},
        {"pick byte", "change", {0}, 40},             // into MSH2: the leaf that holds the byte
        {"insert 4", "change", {0}, 12},              // handle mode, in a container
        {"undo", "undo", {0}, -5},
        {"redo", "redo", {0}, -5},
        {"check", "check", {0}, -5},
    };
    for (const Case& c : cases) {
        OpenCube(1);
        const std::string original = Bytes();
        // One step to undo, and one to redo.
        Select(Root()->kids[0]->kids[0]);
        ASSERT_TRUE(Run("shift down"));
        ASSERT_TRUE(Run("shift down"));
        ASSERT_TRUE(Run("undo"));
        mesh::chunkptr sel = Root();
        for (size_t i : c.path) sel = sel->kids[i];
        Select(sel, c.cursor);
        ed->data->valuebox->title = "1234";
        ed->data->pickedbyte = 0x55;
        host.file_answers = {dir + "/three.mck"};
        const std::string bytes = Bytes();
        const auto rows = Root()->groupsize();
        const size_t steps = ed->doc.history.Steps();
        // Memory runs out in the refresh after the change (a subscriber of
        // the document's events takes it), or once the check has listed.
        bool armed = true;
        auto fail = [&armed] {
            if (armed) {
                armed = false;
                throw std::bad_alloc();
            }
        };
        if (std::string(c.where) == "check")
            ed->doc.findingschanged.Subscribe([fail](const editor::FindingsChanged&) { fail(); });
        else
            ed->doc.changed.Subscribe([fail](const editor::Changed&) { fail(); });
        const size_t shown = ed->messages.size();
        KeyInModal(13, 1);
        ASSERT_TRUE(Run(c.command)) << c.command;
        EXPECT_FALSE(armed) << c.command;
        EXPECT_EQ(Diff(Bytes(), bytes), "") << c.command;
        EXPECT_EQ(Root()->groupsize(), rows) << c.command;
        EXPECT_EQ(ed->doc.selchunk, sel) << c.command;
        EXPECT_EQ(ed->doc.history.Steps(), steps) << c.command;
        EXPECT_FALSE(ed->checks().Checked()) << c.command;
        ASSERT_EQ(ed->messages.size(), shown + 1) << c.command;
        EXPECT_EQ(ed->messages.back().text, std::string("Out of memory: ") + c.command + " not done.\xffThe mesh is as it was.");
        // The history goes on from where it was.
        ASSERT_TRUE(Run("redo")) << c.command;
        UndoAll();
        EXPECT_EQ(Diff(Bytes(), original), "") << c.command;
    }
}
