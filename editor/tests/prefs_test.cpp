// The preference file, the typed-path fallback of the file dialog, and the
// pure helpers of the data view.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>

#include <sys/stat.h>
#include <unistd.h>

#include "editor/dataview.h"
#include "editor/file_request.h"
#include "editor/prefs.h"
#include "editor/tests/fixture.h"

using namespace edtest;

TEST_F(EditorTest, PrefsFileRoundTripAndShortFiles) {
    editor::Prefs p;
    p.lastdir = "/a b/c";
    p.recognizematl = 0;
    p.handleflag = 1;
    ASSERT_TRUE(editor::WritePrefs(dir + "/p.dat", p));
    EXPECT_EQ(Slurp(dir + "/p.dat"), std::string("/a b/c\r\n") + '\0' + '\1');
    editor::Prefs q;
    editor::ReadPrefs(dir + "/p.dat", q);
    EXPECT_EQ(q.lastdir, "/a b/c");
    EXPECT_EQ(q.recognizematl, 0);
    EXPECT_EQ(q.handleflag, 1);

    // A file that ends after the first flag keeps the default of the second.
    Spit(dir + "/short.dat", std::string("/x\r\n") + '\0');
    editor::Prefs s;
    s.lastdir = "default";
    editor::ReadPrefs(dir + "/short.dat", s);
    EXPECT_EQ(s.lastdir, "/x");
    EXPECT_EQ(s.recognizematl, 0);
    EXPECT_EQ(s.handleflag, 1);

    // Missing and empty files keep every default.
    editor::Prefs m;
    m.lastdir = "default";
    editor::ReadPrefs(dir + "/none.dat", m);
    Spit(dir + "/empty.dat", "");
    editor::ReadPrefs(dir + "/empty.dat", m);
    EXPECT_EQ(m.lastdir, "default");
    EXPECT_EQ(m.recognizematl, 1);
    EXPECT_EQ(m.handleflag, 1);
}

TEST_F(EditorTest, PrefsReplaceALinkInTheirPlace) {
    editor::Prefs p;
    p.lastdir = "/d";
    // A link to a file elsewhere, and one to nothing: each is replaced by the
    // settings file, and what it pointed at stays as it was.
    Spit(dir + "/elsewhere.txt", "precious");
    for (const char* target : {"elsewhere.txt", "nothing.txt"}) {
        ASSERT_EQ(symlink(target, (dir + "/p.dat").c_str()), 0);
        ASSERT_TRUE(editor::WritePrefs(dir + "/p.dat", p)) << target;
        struct stat st;
        ASSERT_EQ(lstat((dir + "/p.dat").c_str(), &st), 0);
        EXPECT_TRUE(S_ISREG(st.st_mode)) << target;
        EXPECT_EQ(Slurp(dir + "/p.dat"), std::string("/d\r\n") + '\1' + '\1') << target;
        EXPECT_EQ(Slurp(dir + "/elsewhere.txt"), "precious");
        EXPECT_FALSE(std::filesystem::exists(dir + "/nothing.txt"));
        std::filesystem::remove(dir + "/p.dat");
    }
}

TEST_F(EditorTest, NoDialogProgramFallsBackToTypedPath) {
    Start();
    Frame();
    auto requester = editor::MakeFileRequester(display, std::make_shared<host::FileDialog>(std::nullopt));
    host.SetFileRequester(requester);

    // The prompt starts with the initial directory; the typed name follows.
    TypeInModal("my mesh-1 (\xc3\xa9).msh\r");
    EXPECT_EQ(host.RequestFile("Open Mesh file", editor::kMeshFilter, false, "/data\\in\\"),
              "/data/in/my mesh-1 (\xc3\xa9).msh");

    // Backspace edits; Escape cancels.
    TypeInModal(std::string("ab") + '\b' + "c\r");
    EXPECT_EQ(host.RequestFile("t", "", true, "/x/"), "/x/ac");
    KeyInModal(host::kKeyEscape);
    EXPECT_EQ(host.RequestFile("t", "", true, "/x/"), "");

    // Saving onto an existing file asks first: Y replaces it, N goes back to
    // the path. Opening one does not ask.
    Spit(dir + "/old.msh", "old");
    TypeInModal("old.msh\ry");
    EXPECT_EQ(host.RequestFile("Save Mesh As", editor::kMeshFilter, true, dir + "\\"), dir + "/old.msh");
    TypeInModal("old.msh\rn\b\b\b\b\b\b\bnew.msh\r");
    EXPECT_EQ(host.RequestFile("Save Mesh As", editor::kMeshFilter, true, dir + "\\"), dir + "/new.msh");
    TypeInModal("old.msh\r");
    EXPECT_EQ(host.RequestFile("Open Mesh file", editor::kMeshFilter, false, dir + "\\"), dir + "/old.msh");

    // Through a command: the editor keeps working without a dialog program.
    fs::copy_file(std::string(SOURCE_DIR) + "/examples/cube.msh", dir + "/typed.msh");
    TypeInModal("typed.msh\r");
    Shortcut(editor::kKeyOpen);
    ASSERT_NE(ed->doc.mesh, nullptr);
    EXPECT_EQ(ed->doc.title, "typed");
}

TEST(DataViewHelpers, ReadoutLinesByPosition) {
    auto c = mesh::chunk::Create("DATA");
    float f = 1.5f;
    uint8_t fb[4];
    std::memcpy(fb, &f, 4);
    c->setdata({5, 0xFF, 0xFF, 0xFF, 0xFF, fb[0], fb[1], fb[2], fb[3]});
    auto at0 = editor::ReadoutLines(*c, 0);
    ASSERT_EQ(at0.size(), 6u);
    EXPECT_EQ(at0[0], "at: 0");
    EXPECT_EQ(at0[1], "byt:5");
    EXPECT_EQ(at0[2], "bin:00000101");
    EXPECT_EQ(at0[3], "sht:65285");
    EXPECT_EQ(at0[4], "int:-251");
    auto at1 = editor::ReadoutLines(*c, 1);
    EXPECT_EQ(at1[4], "int:-1");
    auto at5 = editor::ReadoutLines(*c, 5);
    EXPECT_EQ(at5[5], "flt:1.50000000");
    // Near the end only the lines that have their bytes.
    EXPECT_EQ(editor::ReadoutLines(*c, 8).size(), 3u);
    EXPECT_EQ(editor::ReadoutLines(*c, 7).size(), 4u);
    EXPECT_EQ(editor::ReadoutLines(*c, 9).size(), 1u);
}
