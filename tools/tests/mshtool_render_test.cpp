// mshtool render: the picture it writes, and its exit codes.
#include <gtest/gtest.h>

#include <filesystem>

#include "host/host.h"
#include "preview/render.h"
#include "tests/support/materials.h"
#include "tests/support/models.h"
#include "tests/support/run.h"
#include "tests/support/scratch.h"

#ifndef MSHTOOL_PATH
#error MSHTOOL_PATH must name the mshtool program
#endif
#ifndef EXAMPLE_CUBE
#error EXAMPLE_CUBE must name the example mesh
#endif

namespace {

using namespace testsupport;
namespace fs = std::filesystem;

TEST(RenderTool, WritesThePictureOrSaysWhyNot) {
    ScratchDir dir("render-tool");
    // A cube, and a small far model with its own colour kind (cloth).
    mesh::chunkptr root = Mesh({Modl("cube", "", 4, {}, {Segm(CubePoints(), "NDXT", CubeTriangles())}),
                                Modl("flap", "", 2, {Tran(3, 0, 0)}, {Segm(CubePoints(0.2f), "NDXT", CubeTriangles())})});
    dir.Write("a.msh", Encode(root));
    fs::create_directory(dir.path() + "/taken.png");

    struct Case {
        std::string args;
        int code;
        int width, height;  // of the picture written
    } cases[] = {
        {"render a.msh out.png", 0, 640, 480},
        {"render --size 64x32 --yaw 0 --pitch 0 --wireframe a.msh out.png", 0, 64, 32},
        {"render --model flap --size=50x50 a.msh out.png", 0, 50, 50},
        {"render --model nobody a.msh out.png", 2, 0, 0},
        {"render --size 0x5 a.msh out.png", 2, 0, 0},
        {"render --size 64 a.msh out.png", 2, 0, 0},
        {"render --pitch 95 a.msh out.png", 2, 0, 0},
        {"render --yaw nan a.msh out.png", 2, 0, 0},
        {"render missing.msh out.png", 2, 0, 0},
        {"render a.msh", 2, 0, 0},
        {"render a.msh nofolder/out.png", 3, 0, 0},
        {"render a.msh taken.png", 3, 0, 0},
    };
    for (const Case& c : cases) {
        fs::remove(dir.path() + "/out.png");
        Outcome r = RunIn(dir.path(), MSHTOOL_PATH, c.args);
        EXPECT_EQ(r.code, c.code) << c.args << "\n" << r.err;
        host::PixelBuffer p;
        EXPECT_EQ(host::LoadPng(dir.path() + "/out.png", p), c.code == 0) << c.args;
        if (c.code != 0) continue;
        EXPECT_EQ(p.width, c.width) << c.args;
        EXPECT_EQ(p.height, c.height) << c.args;
        // Some pixels are the model's, the corner is background.
        int model = 0, cloth = 0;
        for (uint32_t px : p.pixels) {
            model += px != (0xFF000000u | preview::kBackground);
            cloth += (px >> 8 & 255) > (px >> 16 & 255) + 40;  // green well above red
        }
        EXPECT_GT(model, p.width * p.height / 50) << c.args;
        EXPECT_EQ(p.pixels[0], 0xFF000000u | preview::kBackground) << c.args;
        if (c.args.find("flap") != std::string::npos) {
            EXPECT_GT(cloth, p.width * p.height / 10) << c.args;
        }
    }
    EXPECT_TRUE(fs::is_directory(dir.path() + "/taken.png"));
}

}  // namespace

namespace {

// Pixels well toward one colour: red, blue, or the missing texture's magenta.
struct Tally {
    int red = 0, blue = 0, magenta = 0;
    explicit Tally(const host::PixelBuffer& p) {
        for (uint32_t px : p.pixels) {
            const int r = px >> 16 & 255, g = px >> 8 & 255, b = px & 255;
            red += r > g + 60 && r > b + 60;
            blue += b > r + 60 && b > g + 60;
            magenta += r > g + 60 && b > g + 60;
        }
    }
};

TEST(RenderTool, TexturesBesideTheMeshOrNamedMissingAndAFolderOfMeshes) {
    ScratchDir dir("render-textures");
    const std::string bytes = Slurp(EXAMPLE_CUBE);
    const Bytes cube(bytes.begin(), bytes.end());
    ASSERT_FALSE(cube.empty());
    dir.Write("mod/cube.msh", cube);
    dir.Write("mod/sub/other.msh", cube);
    // The example's two materials name crate.tga and metal.tga.
    dir.Write("mod/crate.tga", Tga(2, 2, {0xFFFF0000, 0xFFFF2020, 0xFFE00000, 0xFFFF0000}));
    dir.Write("tx/metal.tga", Tga(1, 1, {0xFF0000FF}));

    Outcome r = RunIn(dir.path(), MSHTOOL_PATH, "render --textures tx mod/cube.msh out.png");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "");
    host::PixelBuffer p;
    ASSERT_TRUE(host::LoadPng(dir / "out.png", p));
    Tally found(p);
    EXPECT_GT(found.red, 500);
    EXPECT_GT(found.blue, 500);
    EXPECT_EQ(found.magenta, 0);

    // Renamed away (and the extra folder not given): both named, drawn magenta.
    fs::rename(dir / "mod/crate.tga", dir / "mod/crate_old.tga");
    r = RunIn(dir.path(), MSHTOOL_PATH, "render mod/cube.msh out.png");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.err.find("texture crate.tga missing: not found"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("texture metal.tga missing: not found"), std::string::npos) << r.err;
    ASSERT_TRUE(host::LoadPng(dir / "out.png", p));
    Tally lost(p);
    EXPECT_GT(lost.magenta, 1000);
    EXPECT_EQ(lost.red + lost.blue, 0);

    // A folder: one picture a mesh, at the same place below the output.
    r = RunIn(dir.path(), MSHTOOL_PATH, "render --jobs 2 --textures tx --bones --hardpoints --collision --shadow mod pics");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(host::LoadPng(dir / "pics/cube.png", p));
    EXPECT_TRUE(host::LoadPng(dir / "pics/sub/other.png", p));
    EXPECT_NE(r.err.find("2 meshes drawn"), std::string::npos) << r.err;
}

}  // namespace
