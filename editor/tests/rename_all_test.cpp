// rename all: on a model's NAME or a texture record, the prompt's new name
// goes to every record that names the old one as one undo step (named after
// the texture-name finding it mends), a name that is not certain is refused
// with its reason, and undo gives back the exact bytes.
#include <functional>

#include "check/tests/check_meshes.h"
#include "editor/checkpanel.h"
#include "editor/rename_all.h"
#include "editor/tests/fixture.h"
#include "mesh/records.h"

using namespace edtest;

namespace {

std::vector<uint8_t> Saved(const mesh::msh& m) {
    std::vector<uint8_t> b;
    m.hedr->save(b, 1);
    return b;
}

mesh::chunkptr ModelNamed(const mesh::chunkptr& root, const std::string& name) {
    for (const mesh::chunkptr& m : root->getkid("MSH2")->kids)
        if (m->name == "MODL" && m->FetchName() == name) return m;
    return nullptr;
}
mesh::chunkptr Material(const mesh::chunkptr& root, int i) {
    return root->getkid("MSH2")->getkid("MATL")->kids[size_t(i)];
}
std::string TextAt(const mesh::chunkptr& c) { return mesh::TextOf(c.get()); }

class RenameAllTest : public EditorTest {};

TEST_F(RenameAllTest, RenamesWithEveryReferenceOrSaysWhyNot) {
    const struct {
        const char* what;
        std::function<mesh::chunkptr(const mesh::chunkptr&)> select;
        std::string to;
        const char* step;     // null: refused, nothing changes
        const char* message;  // a part of the refusal
        std::function<void(const mesh::chunkptr&)> expect;
    } cases[] = {
        {"a texture the .req file cannot list", [](const mesh::chunkptr& r) { return Material(r, 1)->getkid("TX0D"); },
         "cape_red.tga", "fix texture-name", nullptr,
         [](const mesh::chunkptr& r) {
             EXPECT_EQ(TextAt(Material(r, 1)->getkid("TX0D")), "cape_red.tga");
             EXPECT_EQ(TextAt(ModelNamed(r, "cape")->getkid("GEOM")->getkid("CLTH")->getkid("CTEX")), "cape_red.tga");
         }},
        {"a model", [](const mesh::chunkptr& r) { return ModelNamed(r, "body")->getkid("NAME"); }, "hull_main_body",
         "rename all", nullptr,
         [](const mesh::chunkptr& r) {
             EXPECT_EQ(TextAt(ModelNamed(r, "sv_body")->getkid("PRNT")), "hull_main_body");
             EXPECT_EQ(TextAt(ModelNamed(r, "cape")->getkid("PRNT")), "hull_main_body");
         }},
        {"a model selected itself", [](const mesh::chunkptr& r) { return ModelNamed(r, "body"); }, "hull",
         "rename all", nullptr,
         [](const mesh::chunkptr& r) {
             EXPECT_NE(ModelNamed(r, "hull"), nullptr);
             EXPECT_EQ(TextAt(ModelNamed(r, "cape")->getkid("PRNT")), "hull");
         }},
        {"a name another model has", [](const mesh::chunkptr& r) { return ModelNamed(r, "body")->getkid("NAME"); },
         "root", nullptr, "a model is called \"root\" already", nullptr},
        {"a new texture name with \"//\"", [](const mesh::chunkptr& r) { return Material(r, 0)->getkid("TX0D"); },
         "body//2.tga", nullptr, "holds \"//\"", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        mesh::chunkptr root = checkmesh::Good();
        Material(root, 1)->getkid("TX0D")->setdata(checkmesh::Str("cape\"red.tga"));
        ModelNamed(root, "cape")->getkid("GEOM")->getkid("CLTH")->getkid("CTEX")->setdata(checkmesh::Str("cape\"red.tga"));
        ASSERT_NO_FATAL_FAILURE(OpenAndCheck(root, "named.msh"));
        ASSERT_EQ(ed->checks().Findings().size(), 1u);
        EXPECT_EQ(ed->checks().Findings()[0].rule, "texture-name");
        const std::vector<uint8_t> before = Saved(*ed->doc.mesh);

        ed->doc.selchunk = ed->doc.mesh->hedr->getkid("MSH2");
        Frame();
        EXPECT_FALSE(ed->Execute("rename all")) << "no name is selected";
        EXPECT_TRUE(ed->FindCommand("rename all")->button->disabled());
        ed->doc.selchunk = c.select(ed->doc.mesh->hedr);
        Frame();
        const widgets::gadget* button = ed->FindCommand("rename all")->button;
        ASSERT_FALSE(button->disabled());
        EXPECT_NE(Row(button->dy).find("rename all"), std::string::npos) << Row(button->dy);
        const std::string from = editor::RenamableName(*ed);
        // The prompt starts with the current name.
        const std::string typed = std::string(from.size(), '\b') + c.to + "\r";
        TypeInModal(typed, 2);
        // The prompt takes a key a frame; then one of these answers the popup.
        if (c.message)
            for (int i = 3; i <= 6; ++i) KeyInModal(host::kKeyEnter, int(typed.size()) + i);
        ClickWidget(ed->FindCommand("rename all")->button);
        Frame();
        if (!c.step) {
            ASSERT_FALSE(ed->messages.empty());
            EXPECT_NE(ed->messages.back().text.find(c.message), std::string::npos) << ed->messages.back().text;
            EXPECT_EQ(ed->doc.history.ToUndo(), nullptr);
            EXPECT_EQ(Saved(*ed->doc.mesh), before);
            continue;
        }
        ASSERT_NE(ed->doc.history.ToUndo(), nullptr);
        EXPECT_EQ(ed->doc.history.ToUndo()->name, c.step);
        c.expect(ed->doc.mesh->hedr);
        EXPECT_EQ(ed->checks().Findings().size(), std::string(c.step) == "fix texture-name" ? 0u : 1u)
            << "the check runs again";
        ed->Execute("undo");
        EXPECT_EQ(Saved(*ed->doc.mesh), before);
    }
}

}  // namespace

// fix on a texture-name finding is rename all: it asks for the name.
TEST_F(RenameAllTest, FixOnATextureNameFindingAsksForTheName) {
    mesh::chunkptr root = checkmesh::Good();
    Material(root, 1)->getkid("TX0D")->setdata(checkmesh::Str("cape\"red.tga"));
    ASSERT_NO_FATAL_FAILURE(OpenAndCheck(root, "named.msh"));
    ASSERT_EQ(ed->checks().Findings().size(), 1u);
    EXPECT_FALSE(ed->FindCommand("fix")->Enabled()) << "nothing selected";
    ed->doc.selchunk = Material(ed->doc.mesh->hedr, 1)->getkid("TX0D");
    Frame();
    ASSERT_TRUE(ed->FindCommand("fix")->Enabled());
    TypeInModal(std::string(12, '\b') + "cape_red.tga\r", 2);
    ClickWidget(ed->checks().fixbutton);
    Frame();
    ASSERT_NE(ed->doc.history.ToUndo(), nullptr);
    EXPECT_EQ(ed->doc.history.ToUndo()->name, "fix texture-name");
    EXPECT_EQ(TextAt(Material(ed->doc.mesh->hedr, 1)->getkid("TX0D")), "cape_red.tga");
    EXPECT_TRUE(ed->checks().Findings().empty()) << "the check runs again";
}
