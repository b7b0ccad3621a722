// Textures: TGA files decoded through the image library, sizes checked
// before anything is allocated, and each material's texture looked up and
// read once, or listed as missing with the reason.
#include <gtest/gtest.h>

#include "preview/texture.h"
#include "tests/support/materials.h"
#include "tests/support/scratch.h"

namespace {

using namespace testsupport;

Bytes Cut(Bytes b, size_t n) {
    b.resize(n);
    return b;
}

TEST(Texture, TgaFilesDecodeOrAreRefusedWithTheReason) {
    const uint32_t red = 0xFFFF0000, blue = 0x800000FF;
    struct Case {
        const char* what;
        Bytes file;
        std::vector<uint32_t> texels;  // empty: refused
        std::string why;               // a part of the reason
    } cases[] = {
        {"32 bits, rows from the top", Tga(2, 1, {red, blue}), {red, blue}, ""},
        {"rows from the bottom are turned", Tga(1, 2, {red, blue}, true), {blue, red}, ""},
        {"24 bits take full alpha", Tga24(2, 1, {red, blue}), {red, 0xFF0000FF}, ""},
        {"a header of 65535 x 65535", TgaHeader(65535, 65535, 32), {}, "beyond 8192"},
        {"cut short", Cut(Tga(4, 4, std::vector<uint32_t>(16, red)), 30), {}, "ends inside"},
        {"not an image", Text("hello, world"), {}, "not an image"},
        {"empty", {}, {}, "not an image"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        preview::Texture t;
        std::string why;
        const bool ok = preview::DecodeTga(c.file, t, why);
        EXPECT_EQ(ok, !c.texels.empty()) << why;
        if (ok) EXPECT_EQ(t.texels, c.texels);
        else EXPECT_NE(why.find(c.why), std::string::npos) << why;
    }
}

TEST(Texture, EachNameIsLookedUpOnceAndTheMissingAreNamed) {
    ScratchDir dir("textures");
    dir.Write("mod/found.tga", Tga(1, 1, {0xFF00FF00}));
    dir.Write("mod/PC/broken.tga", Text("not a picture"));
    dir.Write("extra/far.tga", Tga(1, 1, {0xFF0000FF}));
    mesh::chunkptr root = MaterialMesh({Matd("a", "found.tga"), Matd("b", "gone.tga"), Matd("c", "Broken.TGA"),
                                        Matd("d", "found.tga"), Matd("e", ""), Matd("f", "far.tga")},
                                       {});
    const preview::Geometry g = preview::Build(*root);
    const preview::Textures t = preview::LoadTextures(g, dir / "mod/m.msh", {dir / "extra"});
    EXPECT_EQ(t.material, (std::vector<int>{0, -2, -2, 0, -1, 1}));
    ASSERT_EQ(t.images.size(), 2u);
    EXPECT_EQ(t.images[1].texels, std::vector<uint32_t>{0xFF0000FF});
    ASSERT_EQ(t.missing.size(), 2u);
    EXPECT_EQ(t.missing[0].name, "gone.tga");
    EXPECT_EQ(t.missing[0].why, "not found");
    EXPECT_EQ(t.missing[1].name, "Broken.TGA");
    EXPECT_NE(t.missing[1].why.find("not an image"), std::string::npos) << t.missing[1].why;
}

}  // namespace
