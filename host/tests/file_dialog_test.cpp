// The file dialog launcher: arguments, answers and failures of the dialog programs.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "host/file_dialog.h"
#include "tests/support/scratch.h"

namespace fs = std::filesystem;
using namespace host;

namespace {

// A directory holding stand-in dialog programs: small shell scripts that
// record the arguments they receive and answer like a dialog would.
struct StandIns {
    std::string Script(const std::string& name, const std::string& body) {
        const std::string path = scratch.Write(name, "#!/bin/sh\n" + body);
        chmod(path.c_str(), 0755);
        return path;
    }
    // Arguments recorded by a script that ran `printf '%s\0' "$@" > args`.
    std::vector<std::string> RecordedArgs() {
        std::ifstream in(dir + "/args", std::ios::binary);
        std::string all((std::istreambuf_iterator<char>(in)), {});
        std::vector<std::string> out;
        size_t start = 0;
        for (size_t i = 0; i < all.size(); ++i)
            if (all[i] == '\0') {
                out.push_back(all.substr(start, i - start));
                start = i + 1;
            }
        return out;
    }
    testsupport::ScratchDir scratch{"dialog"};
    const std::string dir = scratch.path();
};

const std::string kHostile = "/tmp/a b/it's \"q\" $HOME (1) `x` \xc3\xbc\xc3\xafn\\x;*.msh";

}  // namespace

TEST(FileDialogArgs, ZenityVectorKeepsEveryArgumentWhole) {
    DialogProgram zen{DialogKind::Zenity, "zenity"};
    auto open = DialogArguments(zen, "Open Mesh file", "SWBFII Mesh:msh;All Files:*", false,
                                "C:\\dir with space\\");
    std::vector<std::string> want = {"zenity", "--file-selection", "--title=Open Mesh file",
                                     "--filename=C:/dir with space/",
                                     "--file-filter=SWBFII Mesh | *.msh",
                                     "--file-filter=All Files | *"};
    EXPECT_EQ(open, want);

    auto save = DialogArguments(zen, "Export Chunk As", "SWBFII Mesh Chunk:mck;All Files:*", true,
                                "/home/u/$dir (2)/it's\\MODL \"x\".mck");
    std::vector<std::string> wantsave = {"zenity", "--file-selection", "--title=Export Chunk As",
                                         "--save", "--confirm-overwrite",
                                         "--filename=/home/u/$dir (2)/it's/MODL \"x\".mck",
                                         "--file-filter=SWBFII Mesh Chunk | *.mck",
                                         "--file-filter=All Files | *"};
    EXPECT_EQ(save, wantsave);

    // No initial path: no --filename at all rather than an empty one.
    auto bare = DialogArguments(zen, "t", "", false, "");
    EXPECT_EQ(bare, (std::vector<std::string>{"zenity", "--file-selection", "--title=t"}));
}

TEST(FileDialogArgs, KdialogVectorAndFilterParsing) {
    DialogProgram kd{DialogKind::Kdialog, "/usr/bin/kdialog"};
    auto args = DialogArguments(kd, "Save Mesh As", "SWBFII Mesh:msh;All Files:*", true, "/x y/");
    std::vector<std::string> want = {"/usr/bin/kdialog", "--title", "Save Mesh As",
                                     "--getsavefilename", "/x y/", "*.msh|SWBFII Mesh\n*|All Files"};
    EXPECT_EQ(args, want);

    auto groups = ParseFilter(" a:b:c ; ;*.png;Text:.txt");
    ASSERT_EQ(groups.size(), 3u);
    EXPECT_EQ(groups[0].description, "a:b");
    EXPECT_EQ(groups[0].extension, "c");
    EXPECT_EQ(groups[1].extension, "png");
    EXPECT_EQ(groups[2].description, "Text");
    EXPECT_EQ(groups[2].extension, "txt");
}

TEST(FileDialogRun, HostilePathsTravelBothWaysIntact) {
    StandIns s;
    // The stand-in records its arguments and answers with the proposed name.
    std::string prog = s.Script("zen", "printf '%s\\0' \"$@\" > \"$(dirname \"$0\")/args\"\n"
                                       "for a in \"$@\"; do case \"$a\" in --filename=*) "
                                       "printf '%s\\n' \"${a#--filename=}\";; esac; done\n");
    FileDialog dialog(DialogProgram{DialogKind::Zenity, prog});
    DialogResult r = dialog.Request("T 'it' \"$x\"", "SWBFII Mesh:msh;All Files:*", true, kHostile);
    ASSERT_EQ(r.status, DialogStatus::Chosen);
    std::string native = kHostile;
    for (char& c : native)
        if (c == '\\') c = '/';
    EXPECT_EQ(r.path, native);
    auto recorded = s.RecordedArgs();
    auto built = DialogArguments(DialogProgram{DialogKind::Zenity, prog}, "T 'it' \"$x\"",
                                 "SWBFII Mesh:msh;All Files:*", true, kHostile);
    ASSERT_EQ(recorded.size() + 1, built.size());
    for (size_t i = 0; i < recorded.size(); ++i) EXPECT_EQ(recorded[i], built[i + 1]);
}

TEST(FileDialogRun, OnlyTheFinalNewlineIsRemoved) {
    StandIns s;
    std::string prog = s.Script("zen", "printf ' lead\\n\\n'\n");
    DialogResult r = FileDialog(DialogProgram{DialogKind::Zenity, prog}).Request("t", "", false, "");
    ASSERT_EQ(r.status, DialogStatus::Chosen);
    EXPECT_EQ(r.path, " lead\n");
}

TEST(FileDialogRun, CancelIsToldApartFromFailure) {
    StandIns s;
    auto status = [&](const std::string& body) {
        static int n = 0;
        std::string prog = s.Script("p" + std::to_string(n++), body);
        return FileDialog(DialogProgram{DialogKind::Zenity, prog}).Request("t", "", false, "/").status;
    };
    EXPECT_EQ(status("exit 1\n"), DialogStatus::Cancelled);
    EXPECT_EQ(status("exit 0\n"), DialogStatus::Cancelled);  // success without a path
    EXPECT_EQ(status("echo /x; exit 5\n"), DialogStatus::Unavailable);
    EXPECT_EQ(status("echo 'Gtk-WARNING: cannot open display: ' >&2; exit 1\n"),
              DialogStatus::Unavailable);
    EXPECT_EQ(status("kill -9 $$\n"), DialogStatus::Unavailable);

    FileDialog missing(DialogProgram{DialogKind::Zenity, s.dir + "/no-such-dialog"});
    EXPECT_EQ(missing.Request("t", "", false, "").status, DialogStatus::Unavailable);
    FileDialog none(std::nullopt);
    EXPECT_EQ(none.Request("t", "", false, "").status, DialogStatus::Unavailable);
}

TEST(FileDialogRun, LargeOutputOnBothStreamsDoesNotStall) {
    StandIns s;
    // 200 KB on stderr before the answer: a launcher that only drained stdout
    // would deadlock once the stderr pipe filled.
    std::string prog = s.Script("noisy", "head -c 200000 /dev/zero | tr '\\0' x >&2\n"
                                         "head -c 100000 /dev/zero | tr '\\0' y\n");
    ProgramRun run = RunProgram({prog});
    ASSERT_TRUE(run.started);
    EXPECT_EQ(run.exitstatus, 0);
    EXPECT_EQ(run.err.size(), 200000u);
    EXPECT_EQ(run.out.size(), 100000u);
}

TEST(FileDialogFind, DesktopChoosesTheProgram) {
    StandIns s;
    s.Script("zenity", "exit 0\n");
    std::string kdialog = s.Script("kdialog", "exit 0\n");
    setenv("PATH", s.dir.c_str(), 1);
    unsetenv("WAYLAND_DISPLAY");
    setenv("DISPLAY", ":99", 1);
    setenv("XDG_CURRENT_DESKTOP", "ubuntu:GNOME", 1);
    auto found = FindDialogProgram();
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->kind, DialogKind::Zenity);
    EXPECT_EQ(found->path, s.dir + "/zenity");

    setenv("XDG_CURRENT_DESKTOP", "KDE", 1);
    found = FindDialogProgram();
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->kind, DialogKind::Kdialog);
    EXPECT_EQ(found->path, kdialog);

    // No display: no dialog, whatever is installed.
    unsetenv("DISPLAY");
    EXPECT_FALSE(FindDialogProgram().has_value());
    setenv("DISPLAY", ":99", 1);
    fs::remove(s.dir + "/zenity");
    fs::remove(kdialog);
    EXPECT_FALSE(FindDialogProgram().has_value());
}
