// Start-up, layout, main loop, model list, material grouping and the
// preferences, driven frame by frame through the headless host.
#include <gtest/gtest.h>

#include "editor/checkpanel.h"
#include "editor/inspector.h"
#include "display/palette.h"
#include "editor/prefs.h"
#include "editor/tests/fixture.h"

namespace pal = display::palette;

using namespace edtest;
using widgets::gadget;

namespace {

struct Pos {
    const gadget* g;
    int x, y, w, h;
    const char* what;
};

void ExpectLayout(editor::Editor& ed, int W, int H) {
    const int T = H - 17, L = T - 19, M = T - 32, e = (W - 10) / 3;
    const editor::DataPanel& d = *ed.data;
    std::vector<Pos> want = {
        {ed.files->title, 1, 1, 32, 1, "title"},
        {ed.FindCommand("save msh")->button, 1, 3, e - 1, 1, "save"},
        {ed.FindCommand("open msh")->button, e + 1, 3, e - 1, 1, "open"},
        {ed.FindCommand("new msh")->button, 2 * e + 1, 3, e - 1, 1, "new"},
        {ed.FindCommand("verify")->button, W - 9, 3, 8, 1, "verify"},
        {ed.tree->box, 1, 5, 2, 1, "treebox"},
        {ed.tree->title, 1, 5, 17, 3, "chunk view"},
        {ed.tree->scroll, 17, 7, L, 0, "treescroll"},
        {ed.tree->panel, 1, 7, 16, L, "treepanel"},
        {d.scroll, 17, L + 10, 8, 0, "datascroll"},
        {ed.actions->groupbox, 1, L + 8, 0, 0, "recognize"},
        {ed.actions->window, 19, 5, 20, 16, "chunk actions"},
        {ed.FindCommand("export")->button, 23, 7, 12, 1, "export"},
        {ed.FindCommand("import under")->button, 23, 9, 12, 1, "import under"},
        {ed.FindCommand("import after")->button, 23, 11, 12, 1, "import after"},
        {ed.FindCommand("rename")->button, 23, 13, 12, 1, "rename"},
        {ed.FindCommand("shift up")->button, 23, 15, 12, 1, "shift up"},
        {ed.FindCommand("shift down")->button, 23, 17, 12, 1, "shift down"},
        {ed.FindCommand("delete")->button, 23, 19, 12, 1, "delete"},
        {ed.modellist->view, 19, 22, 20, 3, "modl view"},
        {ed.modellist->anchor, 19, 24, 1, 1, "modlanchor"},
        {ed.modellist->scroll, 38, 24, M, 0, "modlscroll"},
        {d.window, 1, T, W - 22, 16, "data"},
        {d.infowindow, W - 21, T, 20, 16, "info"},
        {d.deletelabel, 4, T + 2, 12, 1, "delete row"},
        {d.insertlabel, 4, T + 4, 12, 1, "insert row"},
        {d.handlebox, 4, T + 6, 0, 0, "handle"},
        {d.inputlabel, 3, T + 9, 14, 1, "input row"},
        {d.fltbutton, 10, T + 10, 3, 1, "flt"},
        {d.strbutton, 14, T + 10, 3, 1, "str"},
        {d.valuebox, 3, T + 12, 14, 3, "valuebox"},
        {d.tableanchor, W - 19, T, 1, 1, "tableanchor"},
    };
    for (int k = 0; k < 3; ++k) {
        want.push_back({d.removebuttons[k], W - 29 + 2 * k, T + 2, 1, 1, "remove"});
        want.push_back({d.insertbuttons[k], W - 29 + 2 * k, T + 4, 1, 1, "insert"});
        want.push_back({d.inputbuttons[k], 2 * k + 3, T + 10, 1, 1, "input"});
    }
    for (const Pos& p : want) {
        SCOPED_TRACE(p.what);
        ASSERT_NE(p.g, nullptr);
        EXPECT_EQ(p.g->dx, p.x);
        EXPECT_EQ(p.g->dy, p.y);
        EXPECT_EQ(p.g->w, p.w);
        EXPECT_EQ(p.g->h, p.h);
    }
    // Grids sized by the layout.
    EXPECT_EQ(ed.g.screen.tmapw, W);
    EXPECT_EQ(ed.g.screen.tmaph, H);
    EXPECT_EQ(ed.tree->grid.tmaph, L);
    EXPECT_EQ(ed.modellist->grid.tmapw, 19);
    EXPECT_EQ(ed.modellist->grid.tmaph, M);
    // Wheel areas cover each bar and the panel to its left.
    ASSERT_TRUE(ed.tree->scroll->box.has_value());
    EXPECT_EQ(ed.tree->scroll->box->x, -16);
    EXPECT_EQ(ed.tree->scroll->box->w, 17);
    EXPECT_EQ(ed.tree->scroll->box->h, L);
    EXPECT_EQ(d.scroll->box->h, 8);
    EXPECT_EQ(ed.modellist->scroll->box->x, -19);
    EXPECT_EQ(ed.modellist->scroll->box->w, 20);
    EXPECT_EQ(ed.modellist->scroll->box->h, M);
}

}  // namespace

TEST_F(EditorTest, LayoutAt80x50) {
    Start();
    Frame();
    ExpectLayout(*ed, 80, 50);
    EXPECT_EQ(ed->layout.e, 23);
    EXPECT_EQ(ed->layout.L, 14);
    EXPECT_EQ(ed->layout.M, 1);
    // The captions reach the screen at their places.
    EXPECT_NE(Row(3).find("save msh"), std::string::npos);
    EXPECT_EQ(Row(3).find("verify"), Row(3).rfind("verify"));
    EXPECT_NE(Row(ed->layout.T + 2).find("delete"), std::string::npos);
}

TEST_F(EditorTest, LayoutAt96x60AndCreationOrder) {
    Configure(96, 60);
    Start();
    Frame();
    ExpectLayout(*ed, 96, 60);

    // Children of one parent are drawn in the order they were created.
    auto order = [](const gadget* parent) {
        std::vector<const gadget*> v;
        for (const auto& c : parent->child) v.push_back(c.get());
        return v;
    };
    auto& w = ed->w;
    const editor::DataPanel& d = *ed->data;
    // The fixed layout first, then the tool row of the free area, then the
    // further additions there.
    std::vector<const gadget*> top = order(w.rootlabel.get());
    ASSERT_GE(top.size(), 11u);
    top.resize(11);
    auto button = [&](const char* name) -> const gadget* { return ed->FindCommand(name)->button; };
    EXPECT_EQ(top, (std::vector<const gadget*>{ed->files->title, button("save msh"), button("open msh"),
                                               button("new msh"), button("verify"), ed->tree->box,
                                               ed->actions->window, ed->modellist->scroll, d.window,
                                               button("undo"), button("redo")}));
    EXPECT_EQ(button("undo")->dx, 41);
    EXPECT_EQ(button("undo")->dy, 5);
    EXPECT_EQ(button("redo")->dx, 48);
    EXPECT_EQ(button("check")->dx, 55);
    EXPECT_EQ(button("check")->dy, 5);
    // The check findings window: (41, T - 15), (W - 42) x 14.
    EXPECT_EQ(ed->checks().window->dx, 41);
    EXPECT_EQ(ed->checks().window->dy, 60 - 17 - 15);
    EXPECT_EQ(ed->checks().window->w, 96 - 42);
    EXPECT_EQ(ed->checks().window->h, 14);
    EXPECT_EQ(order(ed->tree->box), (std::vector<const gadget*>{ed->tree->title, ed->tree->scroll, ed->tree->panel}));
    EXPECT_EQ(order(ed->tree->panel), (std::vector<const gadget*>{d.scroll, ed->actions->groupbox}));
    std::vector<const gadget*> data = {d.infowindow, d.deletelabel, d.insertlabel, d.handlebox,
                                       d.inputlabel, d.fltbutton,   d.strbutton,   d.valuebox};
    for (int k = 0; k < 3; ++k) {
        data.push_back(d.removebuttons[k]);
        data.push_back(d.insertbuttons[k]);
        data.push_back(d.inputbuttons[k]);
    }
    EXPECT_EQ(order(d.window), data);
    EXPECT_EQ(d.valuebox->title, "012345");
    EXPECT_EQ(d.removebuttons[2]->title, "4");
    // The byte picker holds every glyph in order.
    EXPECT_EQ(ed->data->bytetable.glyph(5, 3), 5 + 16 * 3);
    EXPECT_EQ(ed->data->bytetable.fg(15, 15), pal::kPickerGlyph);
}

TEST_F(EditorTest, StartWithoutArgument) {
    Start();
    EXPECT_EQ(ed->doc.mesh, nullptr);
    EXPECT_EQ(ed->doc.datacursor, -5);
    EXPECT_EQ(ed->st.lastdir, dir);
    EXPECT_EQ(ed->doc.recognizematl, 1);
    EXPECT_EQ(ed->data->handle(), 1);
    Frame();
    EXPECT_EQ(ed->files->title->title, "Welcome to vornabel!");
    EXPECT_EQ(ed->FindCommand("save msh")->button->disabled(), 1);
    EXPECT_EQ(ed->FindCommand("verify")->button->disabled(), 1);
    EXPECT_EQ(ed->actions->window->disabled(), 1);
    EXPECT_TRUE(ed->messages.empty());
    // Control+S and Control+V do nothing without a mesh, and no dialog opens.
    Shortcut(editor::kKeySave);
    Shortcut(editor::kKeyVerify);
    EXPECT_TRUE(host.file_requests.empty());
    EXPECT_TRUE(ed->messages.empty());
}

TEST_F(EditorTest, StartWithMeshGroupsMaterialsInFirstFrame) {
    fs::copy_file(std::string(SOURCE_DIR) + "/examples/cube.msh", dir + "/example.msh");
    Point(70, 45);  // away from every panel
    Start({"example.msh", "ignored.msh"});
    ASSERT_NE(ed->doc.mesh, nullptr);
    EXPECT_EQ(ed->doc.title, "example");
    auto matl = ed->doc.mesh->hedr->getkid("MSH2")->getkid("MATL");
    ASSERT_NE(matl, nullptr);
    EXPECT_TRUE(matl->kids.empty());  // grouped only by the first frame
    EXPECT_EQ(ed->modellist->models.size(), 3u);
    Frame();
    EXPECT_EQ(matl->kids.size(), 2u);
    EXPECT_EQ(ed->files->title->title, "example");
    EXPECT_EQ(ed->FindCommand("save msh")->button->disabled(), 0);
    // The saved file is the original, byte for byte, with the grouping on.
    ASSERT_TRUE(ed->doc.mesh->Save(dir + "/again.msh", 1));
    EXPECT_EQ(Slurp(dir + "/again.msh"), Slurp(dir + "/example.msh"));
}

TEST_F(EditorTest, StartWithDirectoryOrUnreadableFileShowsError) {
    fs::create_directories(dir + "/meshes.msh");
    KeyInModal(host::kKeyEnter);
    Start({"meshes.msh"});
    ASSERT_EQ(ed->messages.size(), 1u);
    EXPECT_EQ(ed->messages[0].title, "Error!");
    EXPECT_EQ(ed->messages[0].text, "Failed to open mesh file.");
    EXPECT_EQ(ed->doc.mesh, nullptr);
    Frame();
    EXPECT_EQ(ed->files->title->title, "Welcome to vornabel!");

    // An empty file is a file, but no mesh.
    Spit(dir + "/empty.msh", "");
    auto second = std::make_unique<editor::Editor>(host, display);
    KeyInModal(host::kKeyEnter);
    second->Startup({"empty.msh"});
    ASSERT_EQ(second->messages.size(), 1u);
    EXPECT_EQ(second->messages[0].text, "Unable to read mesh file.\xff" "The file is empty");
    EXPECT_EQ(second->doc.mesh, nullptr);
}

TEST_F(EditorTest, FramesArePacedTo46ms) {
    Start();
    int64_t t0 = host.fake_clock().ClockMs();
    Frames(10);
    EXPECT_GE(host.fake_clock().ClockMs() - t0, 460);
    EXPECT_LT(host.fake_clock().ClockMs() - t0, 480);
    host.RequestClose();
    EXPECT_FALSE(Frame());
}

TEST_F(EditorTest, ModelListHoverAndClick) {
    Configure(80, 60);  // M = 11 rows of models
    fs::copy_file(std::string(SOURCE_DIR) + "/examples/cube.msh", dir + "/example.msh");
    Start({"example.msh"});
    Frames(2);
    const int x0 = ed->modellist->anchor->dx, y0 = ed->modellist->anchor->dy;
    EXPECT_EQ(GridRow(ed->modellist->grid, 0).substr(0, 9), "dummyroot");
    EXPECT_EQ(GridRow(ed->modellist->grid, 2).substr(0, 6), "p_cube");

    // Hovering names the model in the status text for as long as it lasts;
    // the title stays.
    Point(x0 + 3, y0 + 1);
    Frames(2);
    EXPECT_EQ(ed->inspector->statuslabel->title, "model cube");
    EXPECT_EQ(ed->files->title->title, "example");
    EXPECT_EQ(ed->modellist->grid.bg(0, 1), pal::kHover);
    Point(x0 + 3, y0 + 5);  // below the last entry
    Frames(2);
    EXPECT_EQ(ed->inspector->statuslabel->title, "");

    // A click selects the model, opens the path to it and scrolls the tree.
    Click(x0 + 2, y0 + 2);
    Frame();
    ASSERT_EQ(ed->doc.selchunk, ed->modellist->models[2]);
    EXPECT_EQ(ed->doc.selchunk->FetchName(), "p_cube");
    EXPECT_EQ(ed->doc.mesh->hedr->expanded, 1);
    EXPECT_EQ(ed->doc.selchunk->getparent()->expanded, 1);
    EXPECT_EQ(ed->tree->scroll->state,
              std::min(ed->doc.selchunk->findy(nullptr), ed->tree->scroll->h));
    // The selected entry is painted in swapped colours; the chunk actions
    // window is usable and titled with the model's name.
    EXPECT_EQ(ed->modellist->grid.fg(0, 2), pal::kPanel);
    EXPECT_EQ(ed->modellist->grid.bg(0, 2), pal::kText);
    Frame();
    EXPECT_EQ(ed->actions->window->disabled(), 0);
    EXPECT_EQ(ed->actions->window->title, "p_cube");
}

TEST_F(EditorTest, ScrolledModelListAndTreeJump) {
    Configure(80, 51);  // M = 2 rows for three models, L = 15 tree rows
    fs::copy_file(std::string(SOURCE_DIR) + "/examples/cube.msh", dir + "/example.msh");
    Start({"example.msh"});
    Frames(2);
    ASSERT_EQ(ed->modellist->models.size(), 3u);
    EXPECT_EQ(ed->modellist->scroll->h, 1);
    ed->modellist->scroll->state = 1;
    Frame();
    // The second model stands on the first row, the third on the second.
    EXPECT_EQ(GridRow(ed->modellist->grid, 0).substr(0, 4), "cube");
    EXPECT_EQ(GridRow(ed->modellist->grid, 1).substr(0, 6), "p_cube");
    const int x0 = ed->modellist->anchor->dx, y0 = ed->modellist->anchor->dy;
    Point(x0 + 1, y0 + 1);
    Frames(2);
    EXPECT_EQ(ed->inspector->statuslabel->title, "model p_cube");

    // Clicking the last model scrolls the tree towards it, but no further
    // than the bar's end.
    Click(x0 + 1, y0 + 1);
    Frame();  // the list reads the release sampled at the end of the click
    ASSERT_EQ(ed->doc.selchunk, ed->modellist->models[2]);
    const int row = ed->doc.selchunk->findy(nullptr);
    ASSERT_GT(row, ed->tree->scroll->h);
    EXPECT_EQ(ed->tree->scroll->state, ed->tree->scroll->h);
    Click(x0 + 1, y0);
    Frame();
    EXPECT_EQ(ed->doc.selchunk, ed->modellist->models[1]);
}

TEST_F(EditorTest, UnnamedModelIsListedAsSuch) {
    Configure(80, 60);
    Spit(dir + "/m.msh", Enc("HEDR", Enc("MSH2", Enc("SINF", "") + Enc("MODL", Enc("MTYP", Int(0))))));
    Start({"m.msh"});
    Frame();
    ASSERT_EQ(ed->modellist->models.size(), 1u);
    EXPECT_EQ(GridRow(ed->modellist->grid, 0).substr(0, 9), "[unnamed]");
}

TEST_F(EditorTest, RecognizeMatlToggling) {
    fs::copy_file(std::string(SOURCE_DIR) + "/examples/cube.msh", dir + "/example.msh");
    Start({"example.msh"});
    Frame();
    auto matl = ed->doc.mesh->hedr->getkid("MSH2")->getkid("MATL");
    ASSERT_EQ(matl->kids.size(), 2u);
    const int32_t groupedsize = ed->doc.mesh->hedr->size;

    // Unticking ungroups in the next frame; the MATL keeps its stored bytes.
    ClickWidget(ed->actions->groupbox);
    EXPECT_EQ(ed->actions->groupbox->state, 0);
    Frame();
    EXPECT_EQ(ed->doc.recognizematl, 0);
    EXPECT_TRUE(matl->kids.empty());
    EXPECT_EQ(ed->doc.mesh->hedr->size, groupedsize);

    // Ticking again groups each MATD once.
    ClickWidget(ed->actions->groupbox);
    Frame();
    EXPECT_EQ(ed->doc.recognizematl, 1);
    EXPECT_EQ(matl->kids.size(), 2u);
    EXPECT_EQ(SizesConsistent(ed->doc.mesh->hedr, 1), "");
    EXPECT_EQ(ed->doc.mesh->hedr->size, groupedsize);
}

TEST_F(EditorTest, OpenAfterStartingWithoutMeshGroupsOnce) {
    fs::copy_file(std::string(SOURCE_DIR) + "/examples/cube.msh", dir + "/example.msh");
    Start();
    Frame();
    host.file_answers = {dir + "/example.msh"};
    Shortcut(editor::kKeyOpen);
    Frames(2);
    ASSERT_NE(ed->doc.mesh, nullptr);
    auto matl = ed->doc.mesh->hedr->getkid("MSH2")->getkid("MATL");
    EXPECT_EQ(matl->kids.size(), 2u);
}

TEST_F(EditorTest, PrefsWrittenAtShutdownAndReadBack) {
    Start();
    Frame();
    ClickWidget(ed->actions->groupbox);
    ed->data->handlebox->state = 0;
    Frame();
    ed->st.lastdir = "/some where/else";
    host.RequestClose();
    ed->Run();
    EXPECT_EQ(Slurp(dir + "/mdata/prefs.dat"), std::string("/some where/else\r\n") + '\0' + '\0');

    editor::Editor next(host, display);
    next.Startup({});
    EXPECT_EQ(next.st.lastdir, "/some where/else");
    EXPECT_EQ(next.doc.recognizematl, 0);
    EXPECT_EQ(next.data->handle(), 0);
    EXPECT_EQ(next.actions->groupbox->state, 0);
    EXPECT_EQ(next.data->handlebox->state, 0);
}

TEST_F(EditorTest, UnwritablePrefsAreSkipped) {
    fs::create_directories(dir + "/mdata/prefs.dat");  // a directory in the way
    Start();
    Frame();
    EXPECT_FALSE(ed->Shutdown());
    EXPECT_TRUE(fs::is_directory(dir + "/mdata/prefs.dat"));
}
