// The inspector's view mode: the picture follows the selection, a click on a
// triangle selects its segment, a finding's element is marked and looked at,
// and the picture is rendered again only when something changed.
#include <gtest/gtest.h>

#include <limits>

#include "check/tests/check_meshes.h"
#include "editor/checkpanel.h"
#include "editor/inspector.h"
#include "editor/tests/fixture.h"
#include "preview/render.h"
#include "tests/support/materials.h"
#include "tests/support/models.h"

using namespace edtest;
namespace ts = testsupport;

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

std::vector<float> CubeAt(float x, float y = 0) {
    std::vector<float> p = ts::CubePoints();
    for (size_t i = 0; i < p.size(); i += 3) p[i] += x, p[i + 1] += y;
    return p;
}

mesh::chunkptr Cube(const std::string& name, float x, const std::string& parent = "") {
    return ts::Modl(name, parent, 0, {}, {ts::Segm(CubeAt(x), "NDXT", ts::CubeTriangles())});
}

class PreviewTest : public EditorTest {
protected:
    // Starts on a mesh of these models, the view on, the root selected.
    void Open(std::vector<mesh::chunkptr> models) {
        Configure(96, 60);
        const ts::Bytes b = ts::Encode(ts::Mesh(std::move(models)));
        Spit(dir + "/view.msh", std::string(b.begin(), b.end()));
        Start({dir + "/view.msh"});
        Select(ed->doc.mesh->hedr);
        ClickWidget(Panel().viewbox);
        Frames(2);
    }
    editor::PreviewPanel& Panel() { return *ed->inspector->preview; }
    void Select(const mesh::chunkptr& c) {
        ed->Reveal(c);
        Frames(2);
    }
    mesh::chunkptr Model(size_t i) { return ed->modellist->models.at(i); }
    // Segment k of a model's GEOM (its last child, BBOX first).
    mesh::chunkptr Segment(size_t model, size_t k) { return Model(model)->kids.back()->kids[1 + k]; }
    // The window's pixels under the picture.
    std::vector<uint32_t> Picture() {
        std::vector<uint32_t> out;
        const editor::PreviewPanel& p = Panel();
        for (int y = p.cy * kTile; y < (p.cy + p.ch) * kTile; ++y)
            for (int x = p.cx * kTile; x < (p.cx + p.cw) * kTile; ++x) out.push_back(host.Pixel(x, y));
        return out;
    }
};

}  // namespace

TEST_F(PreviewTest, TheSelectionChangesThePicture) {
    mesh::chunkptr left = Cube("left", -2);
    left->kids.back()->AppendKid(ts::Segm(CubeAt(-2, 1.5f), "NDXT", ts::CubeTriangles()));
    Open({left, Cube("right", 2), Cube("child", 4, "left")});
    struct Case {
        const char* what;
        std::function<mesh::chunkptr()> chunk;
        int focus;    // the model shown with its children, -1 all
        bool marked;  // the highlight colour is seen
    };
    const std::vector<Case> cases = {
        {"the root: every model", [&] { return ed->doc.mesh->hedr; }, -1, false},
        {"a model with a child: it is marked", [&] { return Model(0); }, 0, true},
        {"a model alone: not marked", [&] { return Model(1); }, 1, false},
        {"a segment", [&] { return Segment(1, 0); }, 1, true},
        {"a list of a segment: the segment", [&] { return Segment(0, 1)->kids[1]; }, 0, true},
    };
    std::vector<std::vector<uint32_t>> seen;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Select(c.chunk());
        seen.push_back(Picture());
        // A shade of the highlight colour (yellow: no blue) anywhere.
        EXPECT_EQ(std::any_of(seen.back().begin(), seen.back().end(),
                              [](uint32_t p) { return (p & 255) == 0 && p > 0xFFFF; }),
                  c.marked);
        EXPECT_EQ(Panel().focus(), c.focus);
        for (size_t k = 0; k + 1 < seen.size(); ++k) EXPECT_NE(seen[k], seen.back()) << "same picture as case " << k;
    }
}

TEST_F(PreviewTest, AClickOnATriangleSelectsItsSegment) {
    Open({ts::Modl("two", "", 0, {},
                   {ts::Segm(CubeAt(-1.5f), "NDXT", ts::CubeTriangles()),
                    ts::Segm(CubeAt(1.5f), "NDXT", ts::CubeTriangles())})});
    for (size_t k : {1u, 0u}) {
        SCOPED_TRACE(k);
        Select(ed->doc.mesh->hedr);
        int x = 0, y = 0;  // the centre of the segment's cube on the screen
        ASSERT_TRUE(Panel().ScreenPixel({k ? 1.5f : -1.5f, 0, 0}, x, y));
        host.SetPointer(x, y);
        host.SetButton(1, true);
        Frame();
        host.SetButton(1, false);
        Frames(2);
        const mesh::chunkptr s = Segment(0, k);
        ASSERT_EQ(ed->doc.selchunk, s);
        for (mesh::chunkptr p = s->getparent(); p; p = p->getparent()) EXPECT_TRUE(p->expanded);
        EXPECT_EQ(ed->tree->scroll->state, std::min(s->findy(nullptr), ed->tree->scroll->h));
        EXPECT_EQ(Panel().mark.segment, int(k));
    }
    const mesh::chunkptr before = ed->doc.selchunk;
    Click(Panel().cx, Panel().cy);  // the background
    EXPECT_EQ(ed->doc.selchunk, before);
}

TEST_F(PreviewTest, AFindingMarksItsElementAndTheCameraTurnsToIt) {
    // a: the normal of vertex 6 is not finite. b: index 5 of its triangles
    // (the last corner of the triangle 4, 7, 6) is out of range.
    mesh::chunkptr a = Cube("a", -2);
    std::vector<float> normals(24, 0);
    normals[18] = kNaN;
    a->kids.back()->kids.back()->AppendKid(ts::Leaf("NRML", ts::FloatList(normals, 3)));
    std::vector<uint16_t> tris = ts::CubeTriangles();
    tris[5] = 40;
    Open({a, ts::Modl("b", "", 0, {}, {ts::Segm(CubeAt(2), "NDXT", tris)})});
    Shortcut(editor::kKeyK);
    Frames(2);
    struct Case {
        const char* rule;
        const char* list;
        int64_t vertex;  // marked
        float x, y, z;   // where the camera looks
    };
    // Vertex i of a cube: x from bit 0, y from bit 1, z from bit 2. The
    // triangle left out shows its sound corners 4 and 7, and looks between.
    const std::vector<Case> cases = {{"not-finite", "NRML", 6, -2.5f, 0.5f, 0.5f},
                                     {"index-range", "NDXT", 4, 2, 0, 0.5f}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        size_t i = 0;
        while (i < ed->checks().Findings().size() && ed->checks().Findings()[i].rule != c.rule) ++i;
        ASSERT_LT(i, ed->checks().Findings().size());
        // The errors of a mesh the compiler refuses (no STRP, no materials)
        // come first: the list is scrolled to the finding.
        ed->checks().scroll->state = int(i);
        Frames(1);
        Click(ed->checks().anchor->dx, ed->checks().anchor->dy + int(i) - ed->checks().scroll->state);
        Frames(2);
        ASSERT_EQ(ed->doc.selchunk->name, c.list);
        EXPECT_EQ(Panel().mark.vertex, c.vertex);
        const preview::Vec3 t = Panel().camera.target;
        EXPECT_TRUE(std::abs(t.x - c.x) + std::abs(t.y - c.y) + std::abs(t.z - c.z) < 1e-5f);
        // The marker is on the screen where the vertex is.
        const preview::Geometry& g = Panel().geometry();
        int x = 0, y = 0;
        ASSERT_TRUE(Panel().ScreenPixel(g.points[g.segments[size_t(Panel().mark.segment)].first + size_t(c.vertex)], x, y));
        EXPECT_EQ(host.Pixel(x, y), preview::kVertexMark);
    }
}

TEST_F(PreviewTest, ThePictureIsRenderedOnlyWhenSomethingChanged) {
    Open({Cube("left", -2), Cube("right", 2)});
    const int x = Panel().cx * kTile, y = Panel().cy * kTile;
    struct Case {
        const char* what;
        std::function<void()> act;
        bool renders;
        bool builds;  // the geometry is built again
    };
    const std::vector<Case> cases = {
        {"idle frames", [] {}, false, false},
        {"the pointer moves over it", [&] { host.SetPointer(x + 5, y + 5); }, false, false},
        {"another model", [&] { Select(Model(1)); }, true, false},
        {"the wheel", [&] { host.RollWheel(1); }, true, false},
        {"a left drag",
         [&] {
             host.SetButton(1, true);
             Frame();
             host.SetPointer(x + 30, y + 9);
             Frame();
             host.SetButton(1, false);
         },
         true, false},
        {"a right drag moves the target",
         [&] {
             const preview::Vec3 t = Panel().camera.target;
             host.SetButton(2, true);
             Frame();
             host.SetPointer(x + 5, y + 30);
             Frame();
             host.SetButton(2, false);
             Frame();
             EXPECT_GT(std::abs(Panel().camera.target.y - t.y), 0.01f);
         },
         true, false},
        {"wireframe", [&] { ClickWidget(Panel().wirebox); }, true, false},
        {"home", [&] { ClickWidget(Panel().homebutton); }, true, false},
        {"a change of the mesh",
         [&] {
             ed->doc.Change("t", Model(0), editor::Document::Reach::subtree,
                        [&] { Model(0)->kids[0]->setdata({6, 0, 0, 0}); });
         },
         true, true},
        {"undo", [&] { Shortcut(editor::kKeyZ); }, true, true},
        {"idle again", [] {}, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const int renders = Panel().renders, builds = Panel().builds, shown = host.PresentedFrames();
        c.act();
        Frames(4);
        EXPECT_EQ(Panel().renders > renders, c.renders);
        EXPECT_EQ(Panel().builds > builds, c.builds);
        if (!c.renders) {
            EXPECT_EQ(host.PresentedFrames(), shown) << "an idle frame is not shown again";
        }
    }
}

TEST_F(PreviewTest, ControlThreeEnlargesThePreviewOverTheCheckWindow) {
    Open({Cube("left", 0)});
    const int h = ed->inspector->window->h, rows = Panel().ch;
    ClickWidget(ed->inspector->hexbox);  // hex takes the place of the view
    ASSERT_FALSE(Panel().on);
    for (bool big : {true, false, true}) {
        Shortcut(host::kKey3);
        Frames(2);
        EXPECT_TRUE(Panel().on);
        EXPECT_EQ(Panel().enlarged, big);
        EXPECT_EQ(ed->checks().window->hidden, big ? 1 : 0);
        EXPECT_EQ(Panel().ch, rows + (big ? 15 : 0));
        EXPECT_EQ(Panel().frame.height, Panel().ch * kTile);
        // The buttons show through the inspector's contents.
        EXPECT_EQ(Row(Panel().homebutton->dy).substr(size_t(Panel().homebutton->dx), 4), "home");
    }
    // A check shows its findings, a second one too; so does a comparison.
    auto listsShow = [&](std::initializer_list<int> keys) {
        for (int key : keys) {
            if (key == editor::kKeyD) KeyInModal(host::kKeyEnter);  // with the saved file
            Shortcut(key);
            Frames(2);
            EXPECT_FALSE(Panel().enlarged) << char(key);
            EXPECT_EQ(ed->checks().window->hidden, 0);
            Shortcut(host::kKey3);
            Frames(2);
            ASSERT_TRUE(Panel().enlarged);
        }
    };
    listsShow({editor::kKeyK, editor::kKeyK, editor::kKeyD});
    ClickWidget(Panel().viewbox);  // leaving the view puts the inspector back
    Frames(2);
    EXPECT_FALSE(Panel().enlarged);
    EXPECT_EQ(ed->inspector->window->h, h);

    // Checks that find nothing, each time, are shown as well.
    mesh::msh good;
    good.hedr = checkmesh::Good();
    ASSERT_TRUE(good.Save(dir + "/good.msh", 1));
    Start({dir + "/good.msh"});
    ClickWidget(Panel().viewbox);
    Shortcut(host::kKey3);
    Frames(2);
    ASSERT_TRUE(Panel().enlarged);
    listsShow({editor::kKeyK, editor::kKeyK});
    EXPECT_TRUE(ed->checks().Findings().empty());
}

TEST_F(PreviewTest, MalformedGeometryDrawsWhatIsSound) {
    // A NaN corner, an index out of range, a strip of two, a parent loop, a
    // count far beyond its list's bytes.
    std::vector<float> nan = ts::CubePoints();
    nan[4] = kNaN;
    mesh::chunkptr huge = ts::Segm(ts::CubePoints(), "NDXT", ts::CubeTriangles());
    huge->kids[2]->setdata(ts::Cat({ts::I32s({0x7FFFFFFF}), ts::U16s({0, 1, 2})}));
    Open({ts::Modl("nan", "", 0, {}, {ts::Segm(nan, "NDXT", ts::CubeTriangles())}),
          ts::Modl("range", "", 0, {}, {ts::Segm(ts::CubePoints(), "NDXT", {0, 1, 99, 0, 1, 2})}),
          ts::Modl("strip", "", 0, {}, {ts::Segm(ts::CubePoints(), "STRP", {0x8000, 0x8001})}),
          ts::Modl("loop1", "loop2", 0, {}, {}), ts::Modl("loop2", "loop1", 0, {}, {}),
          ts::Modl("huge", "", 0, {}, {huge})});
    const std::vector<bool> drawn = {true, true, false, false, false, true};
    for (size_t i = 0; i < drawn.size(); ++i) {
        SCOPED_TRACE(i);
        Select(Model(i));
        const std::vector<uint32_t>& ids = Panel().frame.ids;
        EXPECT_EQ(std::count(ids.begin(), ids.end(), preview::Frame::kNone) < std::ptrdiff_t(ids.size()), drawn[i]);
        EXPECT_EQ(Row(Panel().cy).find("No triangles to show.") == std::string::npos, drawn[i]);
    }
}

TEST_F(PreviewTest, OpeningRefitsHomeTurnsBackAPickKeepsTheModelsAndMissingTexturesAreNamed) {
    Open({ts::Modl("two", "", 0, {},
                   {ts::Segm(CubeAt(-1.5f), "NDXT", ts::CubeTriangles()),
                    ts::Segm(CubeAt(1.5f), "NDXT", ts::CubeTriangles())}),
          Cube("other", 6)});
    editor::PreviewPanel& p = Panel();
    const float whole = p.camera.distance;
    // A click on a triangle selects its segment; the models shown stay.
    int x = 0, y = 0;
    ASSERT_TRUE(p.ScreenPixel({1.5f, 0, 0}, x, y));
    host.SetPointer(x, y);
    host.SetButton(1, true);
    Frame();
    host.SetButton(1, false);
    Frames(2);
    ASSERT_EQ(ed->doc.selchunk, Segment(0, 1));
    EXPECT_EQ(p.focus(), -1);
    EXPECT_EQ(p.camera.distance, whole);

    // Turned, then home: the first turn and the whole picture again.
    p.camera.yaw = 100, p.camera.pitch = -40;
    ed->FindCommand("home view")->run();
    Frames(1);
    EXPECT_EQ(p.camera.yaw, preview::kHomeYaw);
    EXPECT_EQ(p.camera.pitch, preview::kHomePitch);

    // Another, smaller mesh with a texture that is not there: fitted to it
    // from the first turn, the texture named.
    p.camera.yaw = 100;
    const ts::Bytes small = ts::Encode(ts::MaterialMesh(
        {ts::Matd("m", "nowhere.tga")}, {ts::Modl("tiny", "", 0, {}, {ts::Segm(ts::CubePoints(0.1f), "NDXT", ts::CubeTriangles())})}));
    Spit(dir + "/small.msh", std::string(small.begin(), small.end()));
    ed->doc.Replace(mesh::msh::FromBytes(std::make_shared<std::vector<uint8_t>>(small), ed->doc.formatlist, 1),
                    "small", dir + "/small.msh");
    ed->doc.Refresh();
    Frames(2);
    EXPECT_EQ(p.camera.yaw, preview::kHomeYaw);
    EXPECT_LT(p.camera.distance, whole / 20);
    ASSERT_EQ(p.textures.missing.size(), 1u);
    const std::string status = ed->inspector->statuslabel->title + ed->inspector->statusrest->title;
    EXPECT_NE(status.find("nowhere.tga"), std::string::npos) << status;
}
