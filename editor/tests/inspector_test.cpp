// The inspector window: where it stands, what it shows, and every edit
// through it, saved and compared with the bytes the file should have.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <sstream>

#include "editor/inspector.h"
#include "editor/tests/fixture.h"
#include "format/number.h"

using namespace edtest;

namespace {

// What the test mesh is made of; each test changes one thing and compares
// the saved file with the mesh built with that change.
struct MeshShape {
    std::string texture = "tex.tga";
    std::string rootname = "root";
    std::string parentname = "root";  // the child's PRNT
    float x = 1.0f;                   // the root's translation x
    uint8_t flags = 0;                // the material's ATRB flags
};

// HEDR { MSH2 { SINF{NAME}, MATL{MATD{NAME, DATA, ATRB, TX0D}},
//               MODL root{MTYP, MNDX, NAME, TRAN, GEOM{BBOX, SEGM{MATI, POSL, STRP}}},
//               MODL child{MTYP, MNDX, NAME, PRNT, TRAN} }, CL1L }
std::string Build(const MeshShape& s = {}) {
    const std::string data = Floats({1, 0.5f, 0.25f, 1, 0, 0, 0, 1, 0, 0, 0, 1, 20});
    const std::string atrb = std::string(1, static_cast<char>(s.flags)) + std::string(3, '\0');
    const std::string matd =
        Enc("MATD", Enc("NAME", Text("mat")) + Enc("DATA", data) + Enc("ATRB", atrb) + Enc("TX0D", Text(s.texture)));
    const std::string posl = Int(3) + Floats({0, 0, 0, 1, 0, 0, 0, 1, 0});
    const std::string strp = Int(3) + std::string("\x00\x80\x01\x80\x02\x00", 6);
    const std::string segm = Enc("SEGM", Enc("MATI", Int(0)) + Enc("POSL", posl) + Enc("STRP", strp));
    const std::string root = Enc("MODL", Enc("MTYP", Int(0)) + Enc("MNDX", Int(1)) + Enc("NAME", Text(s.rootname)) +
                                             Enc("TRAN", Floats({1, 1, 1, 0, 0, 0, 1, s.x, 2, 3})) +
                                             Enc("GEOM", Enc("BBOX", std::string(44, '\0')) + segm));
    const std::string child = Enc("MODL", Enc("MTYP", Int(0)) + Enc("MNDX", Int(2)) + Enc("NAME", Text("child")) +
                                              Enc("PRNT", Text(s.parentname)) +
                                              Enc("TRAN", Floats({1, 1, 1, 0, 0, 0, 1, 0, 0, 0})));
    const std::string msh2 =
        Enc("SINF", Enc("NAME", Text("scene"))) + Enc("MATL", Int(1) + matd) + root + child;
    return Enc("HEDR", Enc("MSH2", msh2) + Enc("CL1L", ""));
}

class InspectorTest : public EditorTest {
protected:
    void SetUp() override {
        EditorTest::SetUp();
        Configure(96, 60);
        Spit(dir + "/in.msh", Build());
        Start({"in.msh"});
        Frame();
        ASSERT_TRUE(ed->inspector->shown());
    }
    editor::InspectorPanel& Panel() { return *ed->inspector; }
    mesh::chunkptr Root() { return ed->doc.mesh->hedr; }
    mesh::chunkptr Find(const std::string& name, size_t nth = 0) {
        std::vector<mesh::chunkptr> all;
        Root()->addtolist(all, name);
        return nth < all.size() ? all[nth] : nullptr;
    }
    void Select(const mesh::chunkptr& c) {
        ASSERT_NE(c, nullptr);
        ed->doc.selchunk = c;
        Frames(2);
    }
    // Clicks value k of content line item; the box opens in the frame after.
    void ClickValue(int64_t item, size_t k) {
        int x = 0, y = 0;
        ASSERT_TRUE(Panel().ValueCell(item, k, x, y)) << item << " " << k;
        Click(x, y);
        Frame();
    }
    // Presses Enter in each of the frames from `from` to `to` from now on: one
    // of them answers a popup that opens in between.
    void EnterInModal(int from, int to) {
        for (int i = from; i <= to; ++i) KeyInModal(host::kKeyEnter, i);
    }
    // Types into the focused box: the old text erased, the new one, then Enter.
    void Retype(const std::string& text, const std::string& end = "\r") {
        host.Type(std::string(64, '\b') + text + end);
        Frames(64 + static_cast<int>(text.size() + end.size()) + 1);
    }
    // Focuses the go to box with the caret after its text.
    void ClickGoTo() {
        const widgets::gadget* b = Panel().gotobox;
        Click(b->dx + b->w - 1, b->dy);
    }
    std::string Saved() {
        host.file_answers = {dir + "/out.msh"};
        Shortcut(editor::kKeySave);
        return Slurp(dir + "/out.msh");
    }
    // The text of the inspector's first content row.
    std::string PathRow() {
        std::string row = Row(Panel().window->dy + 1);
        return row.substr(static_cast<size_t>(Panel().window->dx + 1), Panel().grid.tmapw);
    }
};

}  // namespace

TEST_F(InspectorTest, StandsInTheFreeAreaAndShowsThePath) {
    const editor::Layout& l = ed->layout;
    EXPECT_EQ(Panel().window->dx, 41);
    EXPECT_EQ(Panel().window->dy, 7);
    EXPECT_EQ(Panel().window->w, l.W - 42);
    EXPECT_EQ(Panel().window->h, l.T - 23);
    Select(Find("STRP"));
    EXPECT_EQ(PathRow().substr(0, 36), std::string("HEDR/MSH2/MODL[root]/GEOM/SEGM/STRP") + '\0');
    EXPECT_EQ(Panel().inspection.rows, 3);
    // A strip start's row shows its index without the flag.
    int x, y;
    ASSERT_TRUE(Panel().ValueCell(2 + 1, 0, x, y));
    EXPECT_EQ(static_cast<char>(ed->g.screen.glyph(x, y)), '1');
}

TEST_F(InspectorTest, LeftOutOfASmallWindow) {
    for (auto [W, H] : {std::pair{79, 60}, std::pair{96, 49}}) {
        Configure(W, H);
        Start({"in.msh"});
        Frames(2);
        EXPECT_FALSE(ed->inspector->shown()) << W << "x" << H;
        ed->doc.selchunk = Find("TX0D");
        Frames(2);  // runs without the panel
    }
}

TEST_F(InspectorTest, TextureRenamedInPlaceSavesExactBytes) {
    Select(Find("TX0D"));
    ClickValue(0, 0);
    ASSERT_TRUE(Panel().editing);
    EXPECT_EQ(Panel().editbox->title, "tex.tga");
    Retype("stone_wall.tga");
    EXPECT_FALSE(Panel().editing);
    EXPECT_EQ(Find("TX0D")->size, 16);
    EXPECT_EQ(SizesConsistent(Root(), 1), "");
    MeshShape s;
    s.texture = "stone_wall.tga";
    EXPECT_EQ(Saved(), Build(s));
}

TEST_F(InspectorTest, ModelRenameTakesItsChildrenAlong) {
    Select(Find("MODL")->getkid("NAME"));
    ClickValue(0, 0);
    Retype("base");
    EXPECT_EQ(Panel().statuslabel->title, "1 PRNT renamed");
    // The model list shows the new name at once.
    EXPECT_EQ(ed->modellist->models[0]->FetchName(), "base");
    MeshShape s;
    s.rootname = s.parentname = "base";
    EXPECT_EQ(Saved(), Build(s));
}

TEST_F(InspectorTest, NumbersAndFlagsWrittenInPlace) {
    Select(Find("TRAN"));
    // scale, rotation, euler, translation: x of the translation.
    ClickValue(3, 0);
    Retype("-2.5");
    Select(Find("ATRB"));
    ClickValue(0, 0);
    Retype("$89");
    MeshShape s;
    s.x = -2.5f;
    s.flags = 0x89;
    EXPECT_EQ(Saved(), Build(s));
}

TEST_F(InspectorTest, RefusedOrCancelledInputChangesNothing) {
    const std::string original = Build();
    Select(Find("ATRB"));
    ClickValue(0, 0);
    EnterInModal(60, 90);  // answers the popup
    Retype("256");
    ASSERT_FALSE(ed->messages.empty());
    EXPECT_EQ(ed->messages.back().title, "Error!");
    EXPECT_FALSE(Panel().editing);

    Select(Find("TRAN"));
    ClickValue(0, 1);
    ASSERT_TRUE(Panel().editing);
    host.Type("9");
    Frames(2);
    host.PressKey(host::kKeyEscape);
    Frames(2);
    EXPECT_FALSE(Panel().editing);
    EXPECT_TRUE(Panel().editbox->hidden);
    EXPECT_EQ(Saved(), original);
}

TEST_F(InspectorTest, TypedNumbersAreWrittenWholeOrRefused) {
    struct Case {
        const char* chunk;
        std::string typed;
        int64_t value;  // the field's 32 bits afterwards, or -1: refused, unchanged
    } cases[] = {
        {"MNDX", "4000000000", 4000000000},
        {"MTYP", "%10000000000000000000000000000001", 0x80000001},
        {"MNDX", "4294967296", -1},
        {"MTYP", "  $FFFFFFFF  ", 0xFFFFFFFF},
        {"MNDX", "12abc", -1},
        {"MTYP", "-1", -1},
    };
    for (const Case& c : cases) {
        const mesh::chunkptr chunk = Find(c.chunk);
        chunk->SetInt(0, 3, ed->doc.formatlist);
        ed->doc.revision++;
        Select(chunk);
        ClickValue(0, 0);
        ASSERT_TRUE(Panel().editing) << c.typed;
        ed->messages.clear();
        if (c.value < 0) EnterInModal(64 + static_cast<int>(c.typed.size()), 100);
        Retype(c.typed);
        EXPECT_EQ(static_cast<uint32_t>(chunk->readint(0)), c.value < 0 ? 3u : static_cast<uint32_t>(c.value))
            << c.typed;
        EXPECT_EQ(ed->messages.empty() ? "" : ed->messages.back().text, c.value < 0 ? "Not a value for this field." : "")
            << c.typed;
    }
}

TEST_F(InspectorTest, RowsShortenTheirNumbersButNeverCutOne) {
    struct Case {
        float q[4];  // the TRAN's rotation
    } cases[] = {
        {{0.12345678f, -0.38881648f, 0.55555555f, -0.70377f}},
        {{-1.17549435e-38f, -3.40282347e38f, 0.5f, -0.70377f}},
        {{0, 0, 0, 1}},
    };
    const mesh::chunkptr tran = Find("TRAN");
    for (const Case& c : cases) {
        for (int i = 0; i < 4; ++i) tran->SetFloat(12 + 4 * i, c.q[i], ed->doc.formatlist);
        ed->doc.revision++;
        Select(tran);
        // Content line 1 (the rotation) is the grid's third row.
        std::string row = Row(Panel().window->dy + 3).substr(static_cast<size_t>(Panel().window->dx + 1 + 13),
                                                            static_cast<size_t>(Panel().grid.tmapw - 13));
        for (char& ch : row)
            if (ch == '\0') ch = ' ';
        std::istringstream words(row);
        std::vector<float> shown;
        for (std::string w; words >> w;) {
            float f = 0;
            ASSERT_TRUE(format::ReadFloat(w, f)) << "a cut number: " << row;
            shown.push_back(f);
        }
        ASSERT_EQ(shown.size(), 4u) << row;
        for (int i = 0; i < 4; ++i) EXPECT_NEAR(shown[i], c.q[i], std::fabs(c.q[i]) * 1e-3) << row;
    }
}

TEST_F(InspectorTest, ListRowClickPlacesTheDataCursor) {
    Select(Find("POSL"));
    ASSERT_EQ(Panel().inspection.rows, 3);
    // Row 2 of the list is content line 2 (count, element) + 2.
    int x, y;
    ASSERT_TRUE(Panel().ValueCell(4, 0, x, y));
    Click(Panel().window->dx + 2, y);  // on the row's index
    Frame();
    EXPECT_EQ(ed->doc.datacursor, 4 + 2 * 12);
    EXPECT_FALSE(Panel().editing);
}

TEST_F(InspectorTest, HexDumpFollowsTheCursorAndGoesToAnOffset) {
    Select(Find("DATA"));
    ClickWidget(Panel().hexbox);
    Frame();
    ASSERT_EQ(Panel().hexbox->state, 1);
    EXPECT_EQ(Panel().hexbytes, 16);
    int x, y;
    ASSERT_TRUE(Panel().ByteCell(20, x, y));
    // The offset column, then the bytes in hexadecimal.
    EXPECT_EQ(Row(y).substr(static_cast<size_t>(Panel().window->dx + 1), 4), "0010");
    Click(x + 1, y);  // the second digit of byte 20
    Frame();
    EXPECT_EQ(ed->doc.datacursor, 20);

    // go to: decimal or $ hex; the cursor, the dump and the data view follow.
    Select(Root());
    ASSERT_GT(Root()->size, 16 * 16);
    ClickWidget(Panel().gotobox);
    host.Type("$80\r");
    Frames(6);
    EXPECT_EQ(ed->doc.datacursor, 128);
    EXPECT_EQ(ed->data->scroll->state, 8);
    EXPECT_TRUE(Panel().ByteCell(128, x, y));
    ClickGoTo();
    host.Type(std::string(8, '\b') + "200\r");
    Frames(14);
    EXPECT_EQ(ed->doc.datacursor, 200);

    // Past the end of the data: refused, the cursor stays.
    ClickGoTo();
    EnterInModal(10, 30);
    host.Type(std::string(8, '\b') + "99999\r");
    Frames(40);
    EXPECT_EQ(ed->messages.back().title, "Error!");
    EXPECT_EQ(ed->doc.datacursor, 200);
}

TEST_F(InspectorTest, ColoursShowTheNearestPaletteEntry) {
    Select(Find("DATA"));
    int x, y;
    ASSERT_TRUE(Panel().ValueCell(0, 3, x, y));  // diffuse alpha; the swatch follows
    // "1 0.5 0.25 1": the swatch two cells after the last value.
    const int sx = x + 2;
    const int want = [&] {
        int best = 0;
        long bestd = 1L << 40;
        for (int i = 0; i < 256; ++i) {
            const long dr = display.Red(i) - 255, dg = display.Green(i) - 128, db = display.Blue(i) - 64;
            const long d = dr * dr + dg * dg + db * db;
            if (d < bestd) bestd = d, best = i;
        }
        return best;
    }();
    EXPECT_EQ(ed->g.screen.bg(sx, y), want);
}

TEST_F(InspectorTest, EachEditIsOneUndoStep) {
    const std::string original = Build();
    // A model rename with its PRNT: one step back, one step forward.
    Select(Find("MODL")->getkid("NAME"));
    ClickValue(0, 0);
    Retype("base");
    Select(Find("TX0D"));
    ClickValue(0, 0);
    Retype("a.tga");
    Shortcut(editor::kKeyZ);
    Frame();
    MeshShape renamed;
    renamed.rootname = renamed.parentname = "base";
    EXPECT_EQ(Saved(), Build(renamed));
    // The inspector shows the state undone to.
    Select(Find("TX0D"));
    EXPECT_EQ(Panel().inspection.lines[0].fields[0].text, "tex.tga");
    Shortcut(editor::kKeyZ);
    Frame();
    EXPECT_EQ(Saved(), original);
    EXPECT_EQ(ed->modellist->models[0]->FetchName(), "root");
    Shortcut(editor::kKeyY);
    Frame();
    EXPECT_EQ(Saved(), Build(renamed));
}

TEST_F(InspectorTest, AClickInTheOpenBoxKeepsWhatWasTyped) {
    Select(Find("TX0D"));
    ClickValue(0, 0);
    host.Type(std::string(16, '\b') + "new");
    Frames(20);
    const widgets::gadget* b = Panel().editbox;
    Click(b->dx + 1, b->dy);  // the caret moves after the first letter
    Frame();
    ASSERT_TRUE(Panel().editing);
    EXPECT_EQ(b->title, "new");
    EXPECT_EQ(b->at, 1);
    host.Type("X\r");
    Frames(3);
    EXPECT_EQ(Find("TX0D")->datatostring(), "nXew");
}

TEST_F(InspectorTest, BytesAfterTheRootAreShownAndSavedBack) {
    const std::string tail = Enc("CL1L", "") + "\x01\x02";
    for (const std::string& after : {std::string(), tail}) {
        Spit(dir + "/in.msh", Build() + after);
        Start({"in.msh"});
        Select(Root());
        const auto& lines = Panel().inspection.lines;
        const bool shown = !lines.empty() && lines.back().label == "after root";
        EXPECT_EQ(shown, !after.empty());
        if (shown) {
            EXPECT_EQ(lines.back().note, "10 bytes (CL1L), saved as read");
        }
        // An edit of the tree leaves them as they were.
        Select(Find("TX0D"));
        ClickValue(0, 0);
        Retype("new.tga");
        EXPECT_EQ(Saved(), Build({.texture = "new.tga"}) + after);
    }
}

// A file that ends inside its root: the status text says so on opening, and
// the root's summary as long as it is selected.
TEST_F(InspectorTest, AFileThatEndsInsideItsRootIsSaidToBeCut) {
    const std::string whole = Build();
    for (const size_t keep : {whole.size(), whole.size() - 3}) {
        Spit(dir + "/in.msh", whole.substr(0, keep));
        Start({"in.msh"});
        const std::string cut = keep == whole.size() ? "" :
            "the file ends inside HEDR: " + std::to_string(keep - 8) + " of " + std::to_string(whole.size() - 8) +
            " bytes";
        EXPECT_EQ(Panel().statuslabel->title, cut);
        Select(Root());
        const auto& lines = Panel().inspection.lines;
        const bool shown = !lines.empty() && lines.back().label == "file cut";
        EXPECT_EQ(shown, !cut.empty());
        if (shown) {
            EXPECT_EQ(lines.back().note, cut);
        }
    }
}
