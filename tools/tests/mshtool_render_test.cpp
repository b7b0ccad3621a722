// mshtool render: the picture it writes, and its exit codes.
#include <gtest/gtest.h>

#include <filesystem>

#include "host/host.h"
#include "preview/render.h"
#include "tests/support/models.h"
#include "tests/support/run.h"
#include "tests/support/scratch.h"

#ifndef MSHTOOL_PATH
#error MSHTOOL_PATH must name the mshtool program
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
