// The model list over a document and the headless toolkit, without an
// editor: it follows the document's changes, names the model under the
// pointer and reveals the one clicked.
#include "editor/modellist.h"

#include <gtest/gtest.h>

#include "display/palette.h"
#include "editor/tests/desk.h"
#include "tests/support/chunks.h"

namespace {

namespace pal = display::palette;
using testsupport::Bytes;

// The first characters of a row of the list's grid, up to a blank.
std::string RowText(const display::tilemap& g, int y) {
    std::string s;
    for (int x = 0; x < g.tmapw && g.glyph(x, y) != 0; ++x) s += static_cast<char>(g.glyph(x, y));
    return s;
}

TEST(ModelListTest, FollowsTheDocumentNamesAndRevealsItsModels) {
    struct Case {
        const char* what;
        int models, rows;
        int scrollmax;
    } cases[] = {
        {"all shown", 2, 4, 0},
        {"more than the rows", 5, 3, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testscreen::Screen s;
        edtest::FakeDesk desk(s);
        auto root = widgets::gadget::CreateLabel("", 0, 0, 1, 1, 1);
        widgets::gadget* actions = widgets::gadget::CreateWindow("chunk actions", 19, 5, 20, 16, *root);
        editor::ModelListPanel list(desk);
        list.Build(*actions, *root, c.rows);

        Bytes models = testsupport::Ck("SINF", testsupport::Ck("NAME", testsupport::Str("s")));
        for (int i = 0; i < c.models; ++i) models = testsupport::Cat({models, testsupport::Modl("m" + std::to_string(i))});
        const Bytes file = testsupport::Ck("HEDR", testsupport::Ck("MSH2", models));
        desk.doc.Replace(mesh::msh::FromBytes(std::make_shared<Bytes>(file), testsupport::Containers(), 1), "t", "");
        desk.doc.Refresh();
        ASSERT_EQ(list.models.size(), size_t(c.models));
        EXPECT_EQ(list.scroll->h, c.scrollmax);

        // A first draw places the rows; then the pointer over the second
        // names its model and a click there reveals it.
        display::tilemap screen(80, 60);
        root->draw(desk.ui, screen, 0, 0);
        list.Paste(screen);
        desk.ui.mx = list.anchor->dx + 1;
        desk.ui.my = list.anchor->dy + 1;
        list.View(screen);
        EXPECT_EQ(RowText(list.grid, 0), "m0");
        EXPECT_EQ(RowText(list.grid, 1), "m1");
        EXPECT_EQ(desk.hints, std::vector<std::string>{"m1"});
        EXPECT_EQ(list.grid.bg(0, 1), pal::kHover);
        EXPECT_TRUE(desk.revealed.empty());
        desk.ui.mousereleased[1] = 1;
        list.View(screen);
        ASSERT_EQ(desk.revealed.size(), 1u);
        EXPECT_EQ(desk.revealed[0], list.models[1]);
        // The selected model is shown inverted.
        desk.ui.mousereleased[1] = 0;
        desk.ui.mx = 0;
        list.View(screen);
        EXPECT_EQ(list.grid.fg(0, 1), pal::kPanel);
        EXPECT_EQ(list.grid.bg(0, 1), pal::kText);
        EXPECT_EQ(list.grid.bg(0, 0), pal::kPanel);

        // A model deleted: the list follows the document's change.
        const mesh::chunkptr msh2 = desk.doc.Root()->kids[0];
        desk.doc.Change("delete", msh2, editor::Document::Reach::own, [&] { msh2->RemoveKid(1); });
        EXPECT_EQ(list.models.size(), size_t(c.models - 1));
        EXPECT_EQ(list.scroll->h, std::max(0, c.models - 1 - c.rows));
    }
}

}  // namespace
