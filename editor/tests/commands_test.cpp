// The file and chunk commands, run through their buttons and shortcuts with
// scripted dialog answers.
#include <gtest/gtest.h>
#include <unistd.h>

#include "editor/inspector.h"
#include "editor/tests/fixture.h"

using namespace edtest;

namespace {

class CommandsTest : public EditorTest {
protected:
    void SetUp() override {
        EditorTest::SetUp();
        Spit(dir + "/small.msh", SmallMesh());
        Start({"small.msh"});
        Frame();
    }
    mesh::chunkptr Root() { return ed->doc.mesh->hedr; }
    mesh::chunkptr Msh2() { return Root()->getkid("MSH2"); }
    std::vector<std::string> KidNames(const mesh::chunkptr& c) {
        std::vector<std::string> v;
        for (const auto& k : c->kids) v.push_back(k->name == "MODL" ? k->FetchName() : k->name);
        return v;
    }
    void Select(const mesh::chunkptr& c) {
        ed->doc.selchunk = c;
        Frame();  // the chunk actions window becomes usable
    }
    void ExpectConsistent() {
        EXPECT_EQ(SizesConsistent(Root(), ed->doc.recognizematl), "");
        std::vector<uint8_t> bytes;
        Root()->save(bytes, ed->doc.recognizematl);
        EXPECT_EQ(static_cast<int64_t>(bytes.size()), int64_t(Root()->size) + 8);
    }
};

}  // namespace

TEST_F(CommandsTest, DeleteAndImportAfterOnTheRootSayWhyNot) {
    const std::string br(1, char(255));
    struct Case {
        const char* command;
        std::string message;
    } cases[] = {
        {"delete", "Unable to delete this chunk." + br + "HEDR is the root: every other chunk lies inside it."},
        {"import after", "Unable to import after this chunk." + br + "Nothing follows the root; import under it instead."},
    };
    const int32_t size = Root()->size;
    for (const Case& c : cases) {
        Select(Root());
        ed->messages.clear();
        host.file_answers = {dir + "/small.msh"};
        KeyInModal(host::kKeyEnter, 2);
        ASSERT_TRUE(ed->Execute(c.command));
        ASSERT_EQ(ed->messages.size(), 1u) << c.command;
        EXPECT_EQ(ed->messages[0].text, c.message);
        EXPECT_EQ(Root()->size, size);
        EXPECT_EQ(ed->doc.history.Steps(), 0u) << c.command;
    }
}

TEST_F(CommandsTest, HoverShowsShortcutsAndModelsInTheStatusText) {
    Select(Msh2()->kids[2]);
    ClickWidget(ed->FindCommand("shift up")->button);  // a change: the title is marked
    struct Case {
        int x, y;
        std::string hint;
    } cases[] = {
        {ed->FindCommand("open msh")->button->dx, ed->FindCommand("open msh")->button->dy, "open msh: Ctrl+O"},
        {ed->FindCommand("redo")->button->dx + 1, ed->FindCommand("redo")->button->dy, "redo: Ctrl+Y or Ctrl+Shift+Z"},
        {ed->FindCommand("check")->button->dx, ed->FindCommand("check")->button->dy, "check: Ctrl+K"},
        {ed->modellist->anchor->dx + 1, ed->modellist->anchor->dy, "model two"},
        {ed->FindCommand("export")->button->dx, ed->FindCommand("export")->button->dy, ""},
    };
    for (const Case& c : cases) {
        Point(c.x, c.y);
        Frames(2);
        EXPECT_EQ(ed->inspector->statuslabel->title, c.hint) << c.hint;
        EXPECT_EQ(ed->files->title->title, "small *") << "the title stays, with its mark";
    }
}

TEST_F(CommandsTest, ShiftUpAndDownMoveAmongSiblings) {
    const int32_t size = Root()->size;
    Select(Msh2()->kids[2]);  // "two"
    ClickWidget(ed->FindCommand("shift up")->button);
    EXPECT_EQ(KidNames(Msh2()), (std::vector<std::string>{"SINF", "two", "one"}));
    EXPECT_EQ(ed->doc.selchunk->FetchName(), "two");  // stays selected
    EXPECT_EQ(ed->modellist->models[0]->FetchName(), "two");
    EXPECT_EQ(Root()->size, size);
    ExpectConsistent();

    // The saved file has the new order.
    host.file_answers = {dir + "/moved.msh"};
    Shortcut(editor::kKeySave);
    auto reread = mesh::msh::ReadMsh(dir + "/moved.msh", ed->doc.formatlist, 1);
    ASSERT_NE(reread, nullptr);
    EXPECT_EQ(KidNames(reread->hedr->getkid("MSH2")), (std::vector<std::string>{"SINF", "two", "one"}));

    Select(Msh2()->kids[0]);  // the first child cannot go up
    ClickWidget(ed->FindCommand("shift up")->button);
    EXPECT_EQ(KidNames(Msh2()), (std::vector<std::string>{"SINF", "two", "one"}));

    Select(Msh2()->kids[1]);
    ClickWidget(ed->FindCommand("shift down")->button);
    EXPECT_EQ(KidNames(Msh2()), (std::vector<std::string>{"SINF", "one", "two"}));
    ClickWidget(ed->FindCommand("shift down")->button);  // the last stays last
    EXPECT_EQ(KidNames(Msh2()), (std::vector<std::string>{"SINF", "one", "two"}));
    EXPECT_EQ(ed->modellist->models[0]->FetchName(), "one");
    ExpectConsistent();
}

TEST_F(CommandsTest, RootIsNeitherMovedNorDeleted) {
    Select(Root());
    const std::string before = Slurp(dir + "/small.msh");
    ClickWidget(ed->FindCommand("shift up")->button);
    ClickWidget(ed->FindCommand("shift down")->button);
    KeyInModal(host::kKeyEnter, 2);  // the popup that says why not
    ClickWidget(ed->FindCommand("delete")->button);
    host.file_answers = {dir + "/never.mck"};
    KeyInModal(host::kKeyEnter, 2);
    ClickWidget(ed->FindCommand("import after")->button);
    EXPECT_TRUE(host.file_requests.empty());  // import after needs a parent
    EXPECT_EQ(ed->messages.size(), 2u);
    EXPECT_EQ(ed->doc.selchunk, Root());
    std::vector<uint8_t> bytes;
    Root()->save(bytes, 1);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), before);
}

TEST_F(CommandsTest, DeleteRemovesTheChunkAndFixesSizes) {
    const int32_t size = Root()->size;
    const int total = ed->doc.mesh->totalchunks;
    auto one = Msh2()->kids[1];
    const int32_t gone = one->size + 8;
    Select(one);
    ClickWidget(ed->FindCommand("delete")->button);
    EXPECT_EQ(ed->doc.selchunk, nullptr);
    EXPECT_EQ(KidNames(Msh2()), (std::vector<std::string>{"SINF", "two"}));
    EXPECT_EQ(Root()->size, size - gone);
    EXPECT_EQ(ed->doc.mesh->totalchunks, total - 3);
    ASSERT_EQ(ed->modellist->models.size(), 1u);
    ExpectConsistent();
    Frame();
    EXPECT_EQ(ed->actions->window->disabled(), 1);
}

TEST_F(CommandsTest, DeletingTheLastChildLeavesAnEmptyChunk) {
    auto sinf = Msh2()->kids[0];
    Select(sinf->kids[0]);  // SINF's only child
    ClickWidget(ed->FindCommand("delete")->button);
    EXPECT_TRUE(sinf->kids.empty());
    EXPECT_EQ(sinf->size, 0);
    ExpectConsistent();
    // Saved and read again, the chunk stays gone.
    host.file_answers = {dir + "/emptied.msh"};
    Shortcut(editor::kKeySave);
    auto reread = mesh::msh::ReadMsh(dir + "/emptied.msh", ed->doc.formatlist, 1);
    ASSERT_NE(reread, nullptr);
    auto again = reread->hedr->getkid("MSH2")->getkid("SINF");
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->size, 0);
    EXPECT_TRUE(again->kids.empty());
}

TEST_F(CommandsTest, ExportWritesTheChunkAndKeepsItInPlace) {
    auto two = Msh2()->kids[2];
    Select(two);
    host.file_answers = {dir + "/out/two.mck"};
    fs::create_directories(dir + "/out");
    ClickWidget(ed->FindCommand("export")->button);
    ASSERT_EQ(host.file_requests.size(), 1u);
    EXPECT_EQ(host.file_requests[0].title, "Export Chunk As");
    EXPECT_EQ(host.file_requests[0].filter, "SWBFII Mesh Chunk:mck;All Files:*");
    EXPECT_TRUE(host.file_requests[0].save);
    EXPECT_EQ(host.file_requests[0].initial, dir + "\\two.mck");
    EXPECT_EQ(Slurp(dir + "/out/two.mck"), Model("two"));
    EXPECT_EQ(ed->st.lastdir, dir + "/out");
    EXPECT_EQ(two->getparent(), Msh2());
    EXPECT_EQ(Msh2()->kids.size(), 3u);

    // Exporting the root writes the same file as saving the mesh.
    Select(Root());
    host.file_answers = {dir + "/root.mck"};
    ClickWidget(ed->FindCommand("export")->button);
    EXPECT_EQ(Slurp(dir + "/root.mck"), SmallMesh());

    // Cancelled: nothing written, the directory stays, the keys typed
    // before are flushed all the same.
    host.file_answers = {""};
    host.Type("q");
    ASSERT_TRUE(ed->Execute("export"));  // straight away: a click would flush the keys itself
    EXPECT_EQ(ed->st.lastdir, dir);
    EXPECT_EQ(host.input().QueuedChars(), 0u);
    EXPECT_TRUE(ed->messages.empty());

    // A place that cannot be written is reported.
    host.file_answers = {dir + "/missing/dir/x.mck"};
    KeyInModal(host::kKeyEnter, 2);
    ClickWidget(ed->FindCommand("export")->button);
    ASSERT_EQ(ed->messages.size(), 1u);
    EXPECT_EQ(ed->messages[0].text, "Unable to write chunk file.\xff" "No such file or directory");
}

TEST_F(CommandsTest, ImportAfterAndUnder) {
    Spit(dir + "/three.mck", Model("three"));
    auto one = Msh2()->kids[1];
    Select(one);
    host.file_answers = {dir + "/three.mck"};
    ClickWidget(ed->FindCommand("import after")->button);
    EXPECT_EQ(host.file_requests.back().title, "Import Chunk file after");
    EXPECT_FALSE(host.file_requests.back().save);
    EXPECT_EQ(KidNames(Msh2()), (std::vector<std::string>{"SINF", "one", "three", "two"}));
    EXPECT_EQ(Msh2()->kids[2]->getparent(), Msh2());
    EXPECT_EQ(ed->modellist->models.size(), 3u);
    ExpectConsistent();

    // Under a container: the import is its last child, which can at once be
    // moved.
    Select(one);
    host.file_answers = {dir + "/three.mck"};
    ClickWidget(ed->FindCommand("import under")->button);
    EXPECT_EQ(host.file_requests.back().title, "Import Chunk file under");
    ASSERT_EQ(one->kids.size(), 3u);
    EXPECT_EQ(one->kids[2]->FetchName(), "three");
    EXPECT_EQ(ed->modellist->models.size(), 4u);
    EXPECT_TRUE(ed->messages.empty());  // nothing to ask
    ExpectConsistent();
    Select(one->kids[2]);
    ClickWidget(ed->FindCommand("shift up")->button);
    EXPECT_EQ(one->kids[1]->FetchName(), "three");
    ClickWidget(ed->FindCommand("delete")->button);
    EXPECT_EQ(one->kids.size(), 2u);
    ExpectConsistent();
}

TEST_F(CommandsTest, ImportUnderRecordsIsRefusedAndUnderDataAsksFirst) {
    Spit(dir + "/three.mck", Model("three"));
    Spit(dir + "/sinf.mck", Enc("SINF", Enc("NAME", Text("s"))));
    const std::string before = Slurp(dir + "/small.msh");
    auto name = Msh2()->kids[1]->getkid("NAME");

    // A record: refused at once, with the reason.
    Select(name);
    KeyInModal(host::kKeyEnter, 2);
    ClickWidget(ed->FindCommand("import under")->button);
    EXPECT_TRUE(host.file_requests.empty());
    ASSERT_EQ(ed->messages.size(), 1u);
    EXPECT_EQ(ed->messages[0].title, "Error!");
    EXPECT_EQ(ed->messages[0].text,
              std::string("Unable to import under this chunk.") + '\xff' + "A NAME record holds no chunks.");
    EXPECT_TRUE(name->kids.empty());

    // A chunk holding data that is no record: asked first; No keeps it.
    auto leaf = mesh::chunk::Create("ZZZZ");
    leaf->setdata({1, 2, 3, 4, 5, 6});
    Msh2()->AppendKid(leaf);
    ed->doc.Refresh();
    Select(leaf);
    host.file_answers = {dir + "/sinf.mck"};
    KeyInModal(host::kKeyEscape, 2);  // No
    ClickWidget(ed->FindCommand("import under")->button);
    ASSERT_EQ(ed->messages.size(), 2u);
    EXPECT_EQ(ed->messages[1].title, "Confirm");
    EXPECT_EQ(ed->messages[1].text, "ZZZZ holds 6 bytes of data that the import replaces. Continue?");
    EXPECT_TRUE(leaf->kids.empty());
    EXPECT_EQ(leaf->size, 6);

    // Yes: the data goes, the import is its child; one undo step brings the
    // data back.
    host.file_answers = {dir + "/sinf.mck"};
    KeyInModal(host::kKeyEnter, 2);
    ClickWidget(ed->FindCommand("import under")->button);
    ASSERT_EQ(leaf->kids.size(), 1u);
    EXPECT_EQ(leaf->kids[0]->name, "SINF");
    ExpectConsistent();
    ASSERT_TRUE(ed->Execute("undo"));
    EXPECT_TRUE(leaf->kids.empty());
    EXPECT_EQ(leaf->size, 6);
    EXPECT_EQ(leaf->readbyte(5), 6);

    // A first child without a container name would not read back: said too.
    host.file_answers = {dir + "/three.mck"};
    KeyInModal(host::kKeyEnter, 2);
    ClickWidget(ed->FindCommand("import under")->button);
    ASSERT_EQ(ed->messages.size(), 4u);
    EXPECT_EQ(ed->messages[3].text,
              "ZZZZ holds 6 bytes of data that the import replaces. MODL is not a container name: saved, it "
              "will not read back as a child. Continue?");
    EXPECT_EQ(leaf->kids.size(), 1u);
    ASSERT_TRUE(ed->Execute("undo"));
    EXPECT_FALSE(ed->Execute("undo"));  // the data chunk was not added by a command
    std::vector<uint8_t> bytes;
    Msh2()->RemoveKid(3);
    ed->doc.Refresh();
    Root()->save(bytes, 1);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), before);
}

TEST_F(CommandsTest, ImportFailuresAndCancel) {
    Select(Msh2()->kids[1]);
    const std::string lastdir = ed->st.lastdir;
    host.file_answers = {""};
    ClickWidget(ed->FindCommand("import after")->button);
    EXPECT_EQ(ed->st.lastdir, lastdir);
    EXPECT_EQ(Msh2()->kids.size(), 3u);

    fs::create_directories(dir + "/sub");
    Spit(dir + "/sub/empty.mck", "");
    host.file_answers = {dir + "/sub/empty.mck"};
    KeyInModal(host::kKeyEnter, 2);
    ClickWidget(ed->FindCommand("import under")->button);
    ASSERT_EQ(ed->messages.size(), 1u);
    EXPECT_EQ(ed->messages[0].title, "Error!");
    EXPECT_EQ(ed->messages[0].text, "Unable to read chunk file.\xff" "The file is empty");
    EXPECT_EQ(ed->st.lastdir, dir + "/sub");
    EXPECT_EQ(Msh2()->kids.size(), 3u);
    ExpectConsistent();
}

TEST_F(CommandsTest, RenameThroughTheLinePrompt) {
    auto one = Msh2()->kids[1];
    Select(one);
    // The prompt starts with the current name.
    TypeInModal("\b\b\bXY\r", 2);
    ClickWidget(ed->FindCommand("rename")->button);
    EXPECT_EQ(one->name, "MXY ");  // fitted to the four bytes saved
    // Longer names are cut to what will be saved.
    TypeInModal("\b\b\b\bABCDE\r", 2);
    ClickWidget(ed->FindCommand("rename")->button);
    EXPECT_EQ(one->name, "ABCD");
    EXPECT_EQ(Msh2()->kids[1], one);
    ExpectConsistent();
    host.file_answers = {dir + "/renamed.msh"};
    Shortcut(editor::kKeySave);
    EXPECT_NE(Slurp(dir + "/renamed.msh").find("ABCD"), std::string::npos);

    // Escape, and Enter on an emptied line, leave the name.
    KeyInModal(host::kKeyEscape, 2);
    ClickWidget(ed->FindCommand("rename")->button);
    EXPECT_EQ(one->name, "ABCD");
    TypeInModal("\b\b\b\b\r", 2);
    ClickWidget(ed->FindCommand("rename")->button);
    EXPECT_EQ(one->name, "ABCD");
}

TEST_F(CommandsTest, RenameInsideGroupedMaterialReachesTheTree) {
    fs::copy_file(std::string(SOURCE_DIR) + "/examples/cube.msh", dir + "/example.msh");
    host.file_answers = {dir + "/example.msh"};
    Shortcut(editor::kKeyOpen);
    Frame();
    auto matl = Msh2()->getkid("MATL");
    ASSERT_EQ(matl->kids.size(), 2u);
    auto matd = matl->kids[0];
    Select(matd);
    TypeInModal("\b\b\b\bXXXX\r", 2);
    ClickWidget(ed->FindCommand("rename")->button);
    // Regrouping made new children; the rename and the selection follow.
    ASSERT_EQ(matl->kids.size(), 2u);
    EXPECT_NE(matl->kids[0], matd);
    EXPECT_EQ(matl->kids[0]->name, "XXXX");
    EXPECT_EQ(matl->kids[1]->name, "MATD");
    EXPECT_EQ(ed->doc.selchunk, matl->kids[0]);
    ExpectConsistent();

    // An edit of the selected chunk now reaches the saved file.
    ClickWidget(ed->FindCommand("shift down")->button);
    EXPECT_EQ(matl->kids[1]->name, "XXXX");
    host.file_answers = {dir + "/renamed.msh"};
    Shortcut(editor::kKeySave);
    auto reread = mesh::OpenMesh(dir + "/renamed.msh", ed->doc.formatlist, 1);
    ASSERT_NE(reread, nullptr);
    auto rematl = reread->hedr->getkid("MSH2")->getkid("MATL");
    ASSERT_EQ(rematl->kids.size(), 2u);
    EXPECT_EQ(rematl->kids[1]->name, "XXXX");

    // Unticking the box ungroups: the selection moves up to the MATL, which
    // stays in the tree, instead of staying on a chunk that left it.
    ed->actions->groupbox->state = 0;
    Frame();
    EXPECT_TRUE(matl->kids.empty());
    EXPECT_EQ(ed->doc.selchunk, matl);
    // With grouping off a rename reaches the tree.
    TypeInModal("\b\b\b\bMAT2\r", 2);
    ClickWidget(ed->FindCommand("rename")->button);
    EXPECT_EQ(Msh2()->kids[1]->name, "MAT2");
}

TEST_F(CommandsTest, DetachedChunkCommandsLeaveTheTreeAlone) {
    auto one = Msh2()->kids[1];
    auto detached = mesh::chunk::Create("DTCH");
    Msh2()->AppendKid(detached);
    Msh2()->RemoveKid(3);  // it keeps its parent reference, but is not a child
    Select(detached);
    ClickWidget(ed->FindCommand("shift up")->button);
    ClickWidget(ed->FindCommand("shift down")->button);
    EXPECT_EQ(KidNames(Msh2()), (std::vector<std::string>{"SINF", "one", "two"}));
    ClickWidget(ed->FindCommand("delete")->button);
    EXPECT_EQ(ed->doc.selchunk, nullptr);
    EXPECT_EQ(Msh2()->kids.size(), 3u);
    EXPECT_EQ(Msh2()->kids[1], one);
    ExpectConsistent();
}

TEST_F(CommandsTest, OpenWithDialogAnswersCancelAndErrors) {
    fs::create_directories(dir + "/models");
    fs::copy_file(std::string(SOURCE_DIR) + "/examples/cube.msh", dir + "/models/tank.msh");
    ed->doc.selchunk = Msh2();

    // Cancel: nothing changes, and the keys typed before are flushed.
    host.file_answers = {""};
    host.Type("q");
    Shortcut(editor::kKeyOpen);
    ASSERT_EQ(host.file_requests.size(), 1u);
    EXPECT_EQ(host.file_requests[0].title, "Open Mesh file");
    EXPECT_EQ(host.file_requests[0].filter, "SWBFII Mesh:msh;All Files:*");
    EXPECT_FALSE(host.file_requests[0].save);
    EXPECT_EQ(host.file_requests[0].initial, dir + "\\");
    EXPECT_EQ(host.input().QueuedChars(), 0u);
    EXPECT_EQ(ed->doc.title, "small");
    EXPECT_EQ(ed->st.lastdir, dir);
    EXPECT_EQ(ed->doc.selchunk, Msh2());

    // The button opens too, and the selection goes.
    host.file_answers = {dir + "/models/tank.msh"};
    ClickWidget(ed->FindCommand("open msh")->button);
    EXPECT_EQ(ed->doc.title, "tank");
    EXPECT_EQ(ed->st.lastdir, dir + "/models");
    EXPECT_EQ(ed->doc.selchunk, nullptr);
    EXPECT_EQ(ed->modellist->models.size(), 3u);
    EXPECT_EQ(host.file_requests.back().initial, dir + "\\");

    // An unreadable file keeps the mesh.
    auto kept = ed->doc.mesh;
    Spit(dir + "/models/bad.msh", "");
    host.file_answers = {dir + "/models/bad.msh"};
    KeyInModal(host::kKeyEnter);
    Shortcut(editor::kKeyOpen);
    EXPECT_EQ(host.file_requests.back().initial, dir + "/models\\");
    ASSERT_EQ(ed->messages.size(), 1u);
    EXPECT_EQ(ed->messages[0].text, "Unable to read mesh file.\xff" "The file is empty");
    EXPECT_EQ(ed->doc.mesh, kept);
    EXPECT_EQ(ed->doc.title, "tank");

    // So does a terabyte (sparse) that starts like a mesh: refused from its
    // size, with the edits of the open mesh kept.
    Spit(dir + "/models/huge.msh", std::string("HEDR\0\0\0\0", 8));
    if (truncate((dir + "/models/huge.msh").c_str(), int64_t{1} << 40) == 0) {
        kept->hedr->name = "EDIT";
        host.file_answers = {dir + "/models/huge.msh"};
        KeyInModal(host::kKeyEnter);
        Shortcut(editor::kKeyOpen);
        ASSERT_EQ(ed->messages.size(), 2u);
        EXPECT_EQ(ed->messages[1].text, "Unable to read mesh file.\xff" "File too large");
        EXPECT_EQ(ed->doc.mesh, kept);
        EXPECT_EQ(kept->hedr->name, "EDIT");
    }

    // O without Control is consumed and does nothing.
    const size_t asked = host.file_requests.size();
    host.PressKey(editor::kKeyOpen);
    Frame();
    EXPECT_EQ(host.file_requests.size(), asked);
}

TEST_F(CommandsTest, SaveAsAndWriteFailure) {
    host.file_answers = {dir + "/saved.msh"};
    ClickWidget(ed->FindCommand("save msh")->button);
    ASSERT_EQ(host.file_requests.size(), 1u);
    EXPECT_EQ(host.file_requests[0].title, "Save Mesh As");
    EXPECT_TRUE(host.file_requests[0].save);
    EXPECT_EQ(host.file_requests[0].initial, dir + "\\small.msh");  // the title proposed, in the folder
    EXPECT_EQ(Slurp(dir + "/saved.msh"), SmallMesh());
    EXPECT_EQ(ed->doc.title, "saved");

    // A save that cannot be written says so and changes nothing.
    host.file_answers = {dir + "/no/such/dir/x.msh"};
    KeyInModal(host::kKeyEnter);
    Shortcut(editor::kKeySave);
    ASSERT_EQ(ed->messages.size(), 1u);
    EXPECT_EQ(ed->messages[0].title, "Error!");
    EXPECT_EQ(ed->messages[0].text, "Unable to write mesh file.\xff" "No such file or directory");
    EXPECT_EQ(host.file_requests[1].initial, dir + "\\saved.msh");
    EXPECT_EQ(ed->doc.title, "saved");

    // Cancel: no file, same title and directory.
    host.file_answers = {""};
    Shortcut(editor::kKeySave);
    EXPECT_EQ(ed->doc.title, "saved");
    EXPECT_EQ(ed->st.lastdir, dir + "/no/such/dir");
}

TEST_F(CommandsTest, NewMeshAsksFirst) {
    Select(Msh2());
    KeyInModal(host::kKeyEscape);  // Escape answers "No"
    Shortcut(editor::kKeyNew);
    EXPECT_EQ(ed->doc.title, "small");
    EXPECT_EQ(ed->doc.selchunk, Msh2());

    KeyInModal(host::kKeyEnter, 2);  // Enter answers "Yes"
    ClickWidget(ed->FindCommand("new msh")->button);
    ASSERT_NE(ed->doc.mesh, nullptr);
    EXPECT_EQ(ed->doc.title, "untitled");
    EXPECT_EQ(ed->doc.selchunk, nullptr);
    EXPECT_TRUE(ed->modellist->models.empty());
    EXPECT_EQ(ed->doc.mesh->hedr->name, "HEDR");
    EXPECT_EQ(ed->doc.mesh->hedr->size, 0);
    EXPECT_TRUE(ed->doc.mesh->hedr->kids.empty());
    Frame();
    EXPECT_EQ(ed->files->title->title, "untitled");
    EXPECT_EQ(ed->FindCommand("save msh")->button->disabled(), 0);
}

TEST_F(CommandsTest, ScrollRangeFollowsTheTreeAfterEveryCommand) {
    // Many models, all open: the tree is longer than its panel.
    std::string kids = Enc("SINF", Enc("NAME", Text("scene")));
    for (int i = 0; i < 40; ++i) kids += Model("m" + std::to_string(i));
    Spit(dir + "/long.msh", Enc("HEDR", Enc("MSH2", kids)));
    host.file_answers = {dir + "/long.msh"};
    Shortcut(editor::kKeyOpen);
    Root()->expand();
    Msh2()->expanded = 1;
    ed->doc.Refresh();
    const int rows = Root()->groupsize();
    EXPECT_EQ(ed->tree->scroll->h, rows - ed->tree->scroll->w);

    // An import under adds rows, reachable at once.
    Spit(dir + "/three.mck", Model("three"));
    Select(Msh2());
    host.file_answers = {dir + "/three.mck"};
    ClickWidget(ed->FindCommand("import under")->button);
    EXPECT_EQ(ed->tree->scroll->h, rows + 1 - ed->tree->scroll->w);

    // Scrolled to the end, a new mesh: the range and the position go back.
    ed->tree->scroll->state = ed->tree->scroll->h;
    KeyInModal(host::kKeyRight);  // the import is not saved: discard
    KeyInModal(host::kKeyEnter, 2);
    Shortcut(editor::kKeyNew);
    EXPECT_EQ(ed->tree->scroll->h, 0);
    EXPECT_EQ(ed->tree->scroll->state, 0);

    // Undo and redo follow too.
    Select(Root());
    ed->doc.datacursor = -5;
    ASSERT_TRUE(ed->Execute("insert 4"));
    host.file_answers = {dir + "/long.msh"};
    KeyInModal(host::kKeyRight);
    KeyInModal(host::kKeyEnter, 2);
    Shortcut(editor::kKeyOpen);
    Root()->expand();
    Msh2()->expanded = 1;
    ed->doc.Refresh();
    Select(Msh2());
    host.file_answers = {dir + "/three.mck"};
    ClickWidget(ed->FindCommand("import under")->button);
    ed->tree->scroll->state = ed->tree->scroll->h;
    ASSERT_TRUE(ed->Execute("undo"));
    EXPECT_EQ(ed->tree->scroll->h, rows - ed->tree->scroll->w);
    EXPECT_LE(ed->tree->scroll->state, ed->tree->scroll->h);
    ASSERT_TRUE(ed->Execute("redo"));
    EXPECT_EQ(ed->tree->scroll->h, rows + 1 - ed->tree->scroll->w);
}

// The table is put together by the panels, each appending its own commands;
// the order is the order the main loop tries them in. Each command keeps its
// place, its shortcuts (key, then - for without Shift and + for with), the
// caption of its button, and whether it may run without a mesh and with one
// whose root is selected (no data cursor, nothing to undo).
TEST_F(CommandsTest, TheTableKeepsItsOrderKeysButtonsAndConditions) {
    struct Row {
        const char* name;
        const char* keys;
        const char* caption;  // "-": no button
        bool empty, loaded;
    };
    const std::vector<Row> want = {
        {"remove 1", "", "1", 0, 0},  {"insert 1", "", "1", 0, 1},  {"input 1", "", "1", 0, 0},
        {"remove 2", "", "2", 0, 0},  {"insert 2", "", "2", 0, 1},  {"input 2", "", "2", 0, 0},
        {"remove 4", "", "4", 0, 0},  {"insert 4", "", "4", 0, 1},  {"input 4", "", "4", 0, 0},
        {"str", "", "str", 0, 1},     {"flt", "", "flt", 0, 0},     {"pick byte", "", "-", 0, 1},
        {"rename", "", "rename", 0, 1},
        {"delete", "", "delete", 0, 1},
        {"export", "", "export", 0, 1},
        {"import after", "", "import after", 0, 1},
        {"import under", "", "import under", 0, 1},
        {"shift up", "", "shift up", 0, 1},
        {"shift down", "", "shift down", 0, 1},
        {"open msh", "O", "open msh", 1, 1},
        {"save msh", "S", "save msh", 0, 1},
        {"new msh", "N", "new msh", 1, 1},
        {"verify", "V", "verify", 0, 1},
        {"undo", "Z-", "undo", 0, 0},
        {"redo", "Y Z+", "redo", 0, 0},
        {"set value", "", "", 0, 0},
        {"go to", "", "", 0, 1},
        {"home view", "", "home", 0, 0},
        {"enlarge view", "3", "big", 1, 1},
        {"check", "K", "check", 0, 1},
        {"diff", "D", "diff", 0, 1},
        {"fix", "F-", "fix", 0, 0},
        {"fix all", "F+", "fix all", 0, 0},
        {"rename all", "R", "rename all", 0, 0},
    };
    auto keys = [](const editor::Command& c) {
        std::string s;
        for (const editor::Shortcut& k : c.shortcuts)
            s += (s.empty() ? "" : " ") + std::string(1, static_cast<char>(k.key)) +
                 (k.shift == editor::Shortcut::without ? "-" : k.shift == editor::Shortcut::with ? "+" : "");
        return s;
    };
    auto expect = [&](bool loaded) {
        ASSERT_EQ(ed->commands.size(), want.size());
        for (size_t i = 0; i < want.size(); ++i) {
            const editor::Command& c = ed->commands[i];
            SCOPED_TRACE(want[i].name);
            EXPECT_EQ(c.name, want[i].name);
            EXPECT_EQ(keys(c), want[i].keys);
            EXPECT_EQ(c.button ? c.button->title : "-", want[i].caption);
            EXPECT_EQ(c.Enabled(), loaded ? want[i].loaded : want[i].empty);
        }
    };
    Configure(96, 60);
    Start();
    Frame();
    expect(false);
    Start({"small.msh"});
    Frame();
    ed->doc.selchunk = ed->doc.mesh->hedr;
    expect(true);
    // With a data cursor the buttons that act at it may run too.
    ed->doc.datacursor = 2;
    for (const char* name : {"remove 1", "input 1", "remove 2", "input 2", "remove 4", "input 4", "flt"})
        EXPECT_TRUE(ed->FindCommand(name)->Enabled()) << name;
}
