// The data view, its readouts, the byte picker, the data buttons and the
// verification report, driven frame by frame.
#include <gtest/gtest.h>

#include <cstdio>

#include "display/palette.h"
#include "editor/tests/fixture.h"

namespace pal = display::palette;

using namespace edtest;

namespace {

std::string Bytes(int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += static_cast<char>(i + 1);
    return s;
}

class DataViewTest : public EditorTest {
protected:
    // HEDR { MSH2 { SINF }, BLOB (n bytes 1, 2, 3, ...), CL1L }
    void StartWithBlob(int n) {
        Spit(dir + "/blob.msh",
             Enc("HEDR", Enc("MSH2", Enc("SINF", "")) + Enc("BLOB", Bytes(n)) + Enc("CL1L", "")));
        Start({"blob.msh"});
        Frame();
        blob = ed->doc.mesh->hedr->kids[1];
        ed->doc.selchunk = blob;
        Frames(2);
    }
    int Px() const { return ed->tree->panel->dx; }
    int Py() const { return ed->tree->panel->dy + ed->layout.L + 3; }
    // Places the cursor on byte i of the view (seen by the frame after the click).
    void PlaceCursor(int i) {
        Click(Px() + i % 16, Py() + i / 16);
        Frame();
    }
    std::string Readout(int row) {
        const int x0 = ed->modellist->anchor->dx;
        const int y0 = ed->modellist->anchor->dy + ed->modellist->grid.tmaph + 1;
        std::string r = Row(y0 + row).substr(x0, 20);
        while (!r.empty() && (r.back() == '\0' || r.back() == ' ')) r.pop_back();
        return r;
    }
    void Press(widgets::gadget* button) {
        ClickWidget(button);
        Frame();
    }
    mesh::chunkptr blob;
};

}  // namespace

TEST_F(DataViewTest, CursorHoverAndReadouts) {
    StartWithBlob(40);
    EXPECT_EQ(ed->doc.datacursor, -5);
    EXPECT_EQ(Readout(0), "");  // no cursor, no hover: no readouts
    // 40 bytes: three rows painted, the rest keeps the cleared look.
    EXPECT_EQ(ed->data->grid.glyph(5, 0), 6);
    EXPECT_EQ(ed->data->grid.bg(4, 0), pal::kByteGroup);  // second group of four
    EXPECT_EQ(ed->data->grid.glyph(8, 2), 0);
    EXPECT_EQ(ed->data->grid.bg(8, 2), pal::kPanel);
    EXPECT_EQ(ed->data->scroll->h, 0);
    EXPECT_EQ(ed->actions->window->title, "chunk actions");  // a BLOB has no name

    PlaceCursor(3);
    EXPECT_EQ(ed->doc.datacursor, 3);
    Point(Px() + 1, Py() + 1);  // byte 17
    Frames(2);
    EXPECT_EQ(Readout(0), "at: 17");
    EXPECT_EQ(Readout(1), "byt:18");
    EXPECT_EQ(Readout(2), "bin:00010010");
    EXPECT_EQ(ed->data->grid.bg(1, 1), pal::kHover);  // hovered four cells
    Point(70, 45);
    Frames(2);
    EXPECT_EQ(Readout(0), "at: 3");
    EXPECT_EQ(Readout(3), "sht:1284");
    EXPECT_EQ(ed->data->grid.bg(3, 0), pal::kCursor);  // the cursor's four cells
    EXPECT_EQ(ed->data->grid.bg(6, 0), pal::kCursor);

    // On the last byte only three lines; a click past the end places nothing.
    PlaceCursor(39);
    Point(70, 45);
    Frames(2);
    EXPECT_EQ(Readout(2), "bin:00101000");
    EXPECT_EQ(Readout(3), "");
    PlaceCursor(45);
    EXPECT_EQ(ed->doc.datacursor, -5);
}

TEST_F(DataViewTest, InputButtonsWriteNumbersAndRefuseWhatDoesNotRead) {
    StartWithBlob(20);
    PlaceCursor(2);
    const std::string before = "03040506";
    struct Case {
        std::string text;
        int button;            // 0, 1, 2: the 1, 2, 4 buttons; 3: flt
        std::string bytes;     // bytes 2 to 5 afterwards, in hexadecimal
        std::string message;   // the error, when refused
    } cases[] = {
        {"$FF", 1, "ff000506", ""},
        {"-1", 2, "ffffffff", ""},
        {"%101", 0, "05040506", ""},
        {"-128", 0, "80040506", ""},
        {"4294967295", 2, "ffffffff", ""},
        {"2.5", 3, "00002040", ""},
        {"12abc", 0, before, "Not a value for 1 byte."},
        {"abc", 0, before, "Not a value for 1 byte."},
        {"256", 0, before, "Not a value for 1 byte."},
        {"65536", 1, before, "Not a value for 2 bytes."},
        {"4294967296", 2, before, "Not a value for 4 bytes."},
        {"2.5", 2, before, "Not a value for 4 bytes."},
        {"abc", 3, before, "Not a value for a float."},
        {"1e39", 3, before, "Not a value for a float."},
    };
    for (const Case& c : cases) {
        for (int i = 0; i < 4; ++i) blob->SetByte(2 + i, 3 + i, 0, ed->doc.formatlist);
        ed->messages.clear();
        ed->data->valuebox->title = c.text;
        if (!c.message.empty()) KeyInModal(host::kKeyEnter, 2);
        Press(c.button < 3 ? ed->data->inputbuttons[c.button] : ed->data->fltbutton);
        std::string bytes;
        for (int i = 2; i < 6; ++i) {
            char buf[4];
            std::snprintf(buf, sizeof buf, "%02x", blob->readbyte(i));
            bytes += buf;
        }
        EXPECT_EQ(bytes, c.bytes) << c.text;
        EXPECT_EQ(ed->messages.empty() ? "" : ed->messages.back().text, c.message) << c.text;
    }
    EXPECT_EQ(blob->size, 20);
    EXPECT_EQ(SizesConsistent(ed->doc.mesh->hedr, 1), "");
}

TEST_F(DataViewTest, RemoveAndInsertKeepSizes) {
    StartWithBlob(20);
    const int32_t root = ed->doc.mesh->hedr->size;
    // Insert without a cursor appends zero bytes.
    Press(ed->data->insertbuttons[2]);
    EXPECT_EQ(blob->size, 24);
    EXPECT_EQ(blob->readint(20), 0);
    EXPECT_EQ(ed->doc.mesh->hedr->size, root + 4);

    // Remove 4 on the second-last byte takes the last two; the cursor goes.
    PlaceCursor(22);
    Press(ed->data->removebuttons[2]);
    EXPECT_EQ(blob->size, 22);
    EXPECT_EQ(ed->doc.mesh->hedr->size, root + 2);
    Frame();
    EXPECT_EQ(ed->doc.datacursor, -5);

    PlaceCursor(0);
    Press(ed->data->insertbuttons[1]);
    EXPECT_EQ(blob->size, 24);
    // The inserted places keep what was there before the move.
    EXPECT_EQ(blob->readbyte(0), 1);
    EXPECT_EQ(blob->readbyte(1), 2);
    EXPECT_EQ(blob->readbyte(2), 1);
    ed->data->valuebox->title = "ab";
    Press(ed->data->strbutton);
    EXPECT_EQ(blob->readbyte(0), 'a');
    Frame();
    EXPECT_EQ(SizesConsistent(ed->doc.mesh->hedr, 1), "");
}

TEST_F(DataViewTest, BytePickerNeedsACursor) {
    StartWithBlob(8);
    const int tx = ed->data->tableanchor->dx, ty = ed->data->tableanchor->dy;
    Click(tx + 1, ty + 4);  // glyph 65
    Frame();
    EXPECT_EQ(blob->readbyte(0), 1);
    PlaceCursor(0);
    Click(tx + 1, ty + 4);
    Frame();
    EXPECT_EQ(blob->readbyte(0), 65);
    // The cursor's value is marked on the picker, the hovered cell too.
    EXPECT_EQ(ed->data->byteoverlay.bg(1, 4), pal::kCursor);
    Point(tx + 2, ty + 4);
    Frames(2);
    EXPECT_EQ(ed->data->byteoverlay.bg(2, 4), pal::kBorder);
    EXPECT_EQ(ed->data->byteoverlay.glyph(2, 4), 66);
}

TEST_F(DataViewTest, LongChunkScrollsAndEmptyChunkShowsNothing) {
    StartWithBlob(200);
    EXPECT_EQ(ed->data->scroll->h, 5);
    ed->data->scroll->state = 2;
    Frames(2);
    EXPECT_EQ(ed->data->grid.glyph(0, 0), 33);  // byte 32 holds 33

    Spit(dir + "/zero.msh", Enc("HEDR", Enc("MSH2", Enc("SINF", "")) + Enc("BLOB", "")));
    host.file_answers = {dir + "/zero.msh"};
    Shortcut(editor::kKeyOpen);
    ed->doc.selchunk = ed->doc.mesh->hedr->kids[1];
    ed->doc.datacursor = 0;
    Frames(2);
    EXPECT_EQ(ed->doc.datacursor, -5);
    EXPECT_EQ(Readout(0), "");
    Press(ed->data->insertbuttons[2]);
    EXPECT_EQ(ed->doc.selchunk->size, 4);
}

TEST_F(DataViewTest, HandleModeCarriesEditsIntoTheChild) {
    StartWithBlob(20);
    mesh::chunkptr root = ed->doc.mesh->hedr;
    ed->doc.selchunk = root;
    ed->data->handlebox->state = 1;
    Frame();
    // Root data: MSH2 (8 + 8 bytes), then BLOB's header; its first byte is 24.
    PlaceCursor(24);
    Press(ed->data->insertbuttons[1]);
    EXPECT_EQ(root->kids[1], blob) << "the children are not read again";
    EXPECT_EQ(blob->size, 22);
    EXPECT_EQ(blob->readbyte(2), 1);
    Press(ed->data->removebuttons[1]);
    EXPECT_EQ(blob->size, 20);
    EXPECT_EQ(blob->readbyte(0), 1);
    EXPECT_EQ(SizesConsistent(root, 1), "");
}

TEST_F(DataViewTest, NamedChunkTitlesTheActionsWindow) {
    Spit(dir + "/named.msh",
         Enc("HEDR", Enc("MSH2", Enc("SINF", "") + Enc("MODL", Enc("NAME", std::string("box") + '\0')))));
    Start({"named.msh"});
    Frame();
    ed->doc.selchunk = ed->doc.mesh->hedr->kids[0]->kids[1];
    Frame();
    EXPECT_EQ(ed->actions->window->title, "box");
    ed->doc.selchunk = ed->doc.mesh->hedr;
    Frame();
    EXPECT_EQ(ed->actions->window->title, "chunk actions");
}

TEST_F(EditorTest, VerifyNewMeshWritesLogAndFlagsRoot) {
    Spit(dir + "/log__untitled.txt", "an older and longer log that is replaced\r\n");
    Start();
    Frame();
    KeyInModal(host::kKeyEnter, 2);
    ClickWidget(ed->FindCommand("new msh")->button);
    KeyInModal(host::kKeyEnter);
    Shortcut(editor::kKeyVerify);
    ASSERT_EQ(ed->messages.size(), 1u);
    EXPECT_EQ(ed->messages[0].title, "verification");
    EXPECT_EQ(ed->messages[0].text,
              std::string("This mesh is very probably not") + '\xff' + "going to work with SWBFII");
    EXPECT_EQ(Slurp(dir + "/log__untitled.txt"), "HEDR: no MSH2 chunk\r\n");
    EXPECT_TRUE(ed->doc.mesh->inerrors(ed->doc.mesh->hedr.get()));

    // Twice: the same log again.
    KeyInModal(host::kKeyEnter, 2);
    ClickWidget(ed->FindCommand("verify")->button);
    EXPECT_EQ(ed->messages.size(), 2u);
    EXPECT_EQ(Slurp(dir + "/log__untitled.txt"), "HEDR: no MSH2 chunk\r\n");

    // A log that cannot be created is skipped; the verdict and the mark stay.
    fs::remove(dir + "/log__untitled.txt");
    fs::create_directory(dir + "/log__untitled.txt");
    KeyInModal(host::kKeyEnter, 2);
    ClickWidget(ed->FindCommand("verify")->button);
    ASSERT_EQ(ed->messages.size(), 3u);
    EXPECT_EQ(ed->messages[2].text, ed->messages[0].text);
    EXPECT_TRUE(fs::is_directory(dir + "/log__untitled.txt"));
    EXPECT_TRUE(ed->doc.mesh->inerrors(ed->doc.mesh->hedr.get()));
}

TEST_F(EditorTest, VerifyFlaggedChunksOpenTheTree) {
    // A mesh in another folder logs into the working folder, by its bare name.
    fs::create_directories(dir + "/meshes");
    fs::copy_file(std::string(SOURCE_DIR) + "/examples/cube.msh", dir + "/meshes/tank.msh");
    Start({"meshes/tank.msh"});
    Frame();
    // Spoil the names of the last two models so that both are flagged.
    auto first = ed->modellist->models[1], last = ed->modellist->models[2];
    auto name = first->getkid("NAME");
    name->setdata({'p', 'x'});
    last->getkid("NAME")->setdata({'q', 'y'});
    ed->doc.Refresh();
    const int scrollmax = ed->tree->scroll->h;
    KeyInModal(host::kKeyEnter);
    Shortcut(editor::kKeyVerify);
    ASSERT_GE(ed->findings.size(), 2u);
    EXPECT_EQ(ed->findings[0], "NAME: chunk is not a valid null-terminated string");
    EXPECT_EQ(ed->doc.mesh->errors[0], name);
    EXPECT_EQ(first->expanded, 1);
    EXPECT_EQ(last->expanded, 1);
    EXPECT_EQ(ed->doc.mesh->hedr->expanded, 1);
    // Scrolled to the first flagged chunk, past the old maximum if need be.
    EXPECT_EQ(ed->tree->scroll->state, name->findy(nullptr));
    EXPECT_GT(ed->tree->scroll->state, scrollmax);
    std::string log;
    for (const std::string& f : ed->findings) log += f + "\r\n";
    EXPECT_EQ(Slurp(dir + "/log__tank.txt"), log);
    EXPECT_FALSE(fs::exists(dir + "/meshes/log__tank.txt"));
}

TEST_F(EditorTest, VerifyCleanMeshLeavesOldLog) {
    fs::copy_file(std::string(SOURCE_DIR) + "/examples/cube.msh", dir + "/example.msh");
    Spit(dir + "/log__example.txt", "old");
    Start({"example.msh"});
    Frame();
    KeyInModal(host::kKeyEnter);
    Shortcut(editor::kKeyVerify);
    ASSERT_EQ(ed->messages.size(), 1u);
    EXPECT_EQ(ed->messages[0].text, std::string("This mesh is likely to work fine") + '\xff' + "with SWBFII");
    EXPECT_TRUE(ed->findings.empty());
    EXPECT_EQ(Slurp(dir + "/log__example.txt"), "old");
}

TEST_F(EditorTest, VerifyReplacesAPlantedLinkAndAnswersAClose) {
    // A link planted under the log's name is replaced; the file it points at
    // keeps its bytes.
    Spit(dir + "/precious.txt", "not a log");
    fs::create_symlink(dir + "/precious.txt", dir + "/log__untitled.txt");
    Start();
    Frame();
    KeyInModal(host::kKeyEnter, 2);
    ClickWidget(ed->FindCommand("new msh")->button);
    KeyInModal(host::kKeyEnter);
    Shortcut(editor::kKeyVerify);
    ASSERT_EQ(ed->messages.size(), 1u);
    EXPECT_FALSE(fs::is_symlink(dir + "/log__untitled.txt"));
    EXPECT_EQ(Slurp(dir + "/log__untitled.txt"), "HEDR: no MSH2 chunk\r\n");
    EXPECT_EQ(Slurp(dir + "/precious.txt"), "not a log");

    // A close asked for while verifying ends the work there: no log, no
    // popup, and the main loop ends at the end of the frame.
    fs::remove(dir + "/log__untitled.txt");
    host.RequestClose();
    ASSERT_TRUE(ed->Execute("verify"));
    EXPECT_EQ(ed->messages.size(), 1u);
    EXPECT_FALSE(fs::exists(dir + "/log__untitled.txt"));
    EXPECT_FALSE(ed->Frame());
}
