// A file whose chunk sizes leave out the zero padding after them: read at
// their word, the padding and the next header would make a chunk that is
// not there, and saving would write a size into that header. The editor
// opens it re-laid, says so, compares it with the file as it reads it, and
// saves exactly what mshtool fix writes.
#include <algorithm>

#include "check/tests/check_meshes.h"
#include "editor/checkpanel.h"
#include "editor/inspector.h"
#include "editor/tests/fixture.h"
#include "mesh/records.h"
#include "mesh/relay.h"
#include "mesh/walk.h"

using namespace edtest;

namespace {

class OpenRelaidTest : public EditorTest {};

TEST_F(OpenRelaidTest, SavesWhatFixWritesWithNoChunkThatIsNotThere) {
    using testsupport::Bytes;
    const Bytes good = testsupport::Encode(checkmesh::Good());
    // The size of the NAME "body" (5 bytes of text, 3 of padding) set to 5.
    const Bytes name = testsupport::Cat({testsupport::Text("NAME"), testsupport::U32s({8}), testsupport::Text("body")});
    Bytes unpadded = good;
    const auto at = std::search(unpadded.begin(), unpadded.end(), name.begin(), name.end());
    ASSERT_NE(at, unpadded.end());
    at[4] = 5;
    const std::optional<Bytes> fixed = mesh::RelayPadding(unpadded);
    ASSERT_TRUE(fixed.has_value());
    ASSERT_EQ(*fixed, good);

    for (const bool menu : {false, true}) {
        SCOPED_TRACE(menu ? "open msh" : "command line");
        Spit(dir + "/unpadded.msh", AsString(unpadded));
        if (menu) {
            Start();
            Frame();
            host.file_answers = {dir + "/unpadded.msh"};
            Shortcut(editor::kKeyOpen);
        } else {
            Start({"unpadded.msh"});
        }
        Frame();
        ASSERT_NE(ed->doc.mesh, nullptr);
        EXPECT_EQ(ed->inspector->StatusShown().substr(0, 47), "re-laid: 1 chunk whose size left out its paddin");
        // The repair is a change only a save writes: the title is marked and
        // closing the window asks first (cancelled here).
        EXPECT_EQ(ed->files->title->title, "unpadded *");
        host.RequestClose();
        KeyInModal(host::kKeyEscape, 2);
        EXPECT_TRUE(Frame()) << "closed without asking";
        bool stray = false;
        mesh::PreOrder(*ed->doc.mesh->hedr, [&](const mesh::chunk& c) { stray = stray || c.name[0] == '\0'; });
        EXPECT_FALSE(stray) << "the padding read as a chunk";
        // The root's summary keeps the whole note the status text cuts short.
        ed->doc.selchunk = ed->doc.mesh->hedr;
        Frame();
        const auto& lines = ed->inspector->inspection.lines;
        EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const mesh::InspectLine& l) {
            return l.label == "file read" && l.note.find("saving writes every size with its padding") != std::string::npos;
        }));
        // Compared with the file it came from, it has no difference.
        KeyInModal(host::kKeyEnter, 1);
        Shortcut(editor::kKeyD);
        Frames(2);
        EXPECT_EQ(ed->checks().window->title, "diff: no difference (A saved file, B open mesh)");
        host.file_answers = {dir + "/saved.msh"};
        Shortcut(editor::kKeySave);
        Frame();
        EXPECT_EQ(Slurp(dir + "/saved.msh"), AsString(*fixed));
        EXPECT_EQ(Slurp(dir + "/unpadded.msh"), AsString(unpadded)) << "the file opened is not touched";
        EXPECT_EQ(ed->doc.readnote, "") << "what was saved is whole";
        EXPECT_FALSE(ed->doc.Modified());
    }
}

}  // namespace
