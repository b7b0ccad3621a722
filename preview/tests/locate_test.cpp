// From a chunk and an element, as the check names them, to what the
// picture marks and where the camera looks.
#include <gtest/gtest.h>

#include <limits>

#include "preview/locate.h"
#include "tests/support/models.h"

namespace {

using namespace testsupport;

constexpr uint16_t S = 0x8000;  // strip start
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
const std::vector<float> kSquare = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0};

TEST(Locate, FindingsElementsBecomeMarksAndPoints) {
    std::vector<float> nan = kSquare;
    nan[6] = kNaN;  // vertex 2
    mesh::chunkptr with = Segm(kSquare, "NDXT", {0, 1, 2, 0, 2, 7});
    with->AppendKid(Leaf("NRML", FloatList(kSquare, 3)));
    with->AppendKid(Leaf("SHDW", Zeros(8)));
    mesh::chunkptr cloth = Node("CLTH", {Leaf("CPOS", FloatList(kSquare, 3)),
                                         Leaf("CMSH", Cat({I32s({2}), I32s({0, 1, 2, 0, 2, 3})})),
                                         Leaf("FIDX", Cat({I32s({2}), I32s({0, 3})})),
                                         Leaf("SPRS", Cat({I32s({1}), U16s({2, 3})}))});
    mesh::chunkptr strip = Segm(kSquare, "STRP", {0 | S, 1 | S, 2, 3});
    strip->AppendKid(Leaf("NDXT", IndexList({0, 1, 2, 0, 2, 3}, 3)));
    mesh::chunkptr root = Mesh({Modl("strip", "", 0, {}, {strip}),
                                Modl("tris", "", 0, {}, {with}),
                                Modl("poly", "", 0, {}, {Segm(kSquare, "NDXL", {3, 0, 1, 2, 4, 0, 1, 2, 3})}),
                                Modl("nan", "", 0, {}, {Segm(nan, "NDXT", {0, 1, 3})}),
                                Modl("cloth", "", 2, {}, {cloth})});
    const preview::Geometry g = preview::Build(*root);
    auto kid = [&](int model, const char* name) -> const mesh::chunk* {
        const mesh::chunk* s = g.segments[size_t(model)].chunk;
        for (const mesh::chunkptr& k : s->kids)
            if (k->name == name) return k.get();
        return nullptr;
    };
    struct Case {
        const char* what;
        const mesh::chunk* chunk;
        std::optional<uint32_t> element;
        int segment;
        int64_t at, vertex;  // the face position filled, the vertex marked
        bool found;
        preview::Vec3 point;
    };
    const std::vector<Case> cases = {
        {"a strip's index: its triangles", kid(0, "STRP"), 3, 0, 3, -1, true, {2 / 3.f, 2 / 3.f, 0}},
        {"a face list not drawn from: the corners", kid(0, "NDXT"), 4, 0, -1, 0, true, {1 / 3.f, 2 / 3.f, 0}},
        {"an index out of range: the sound corners", kid(1, "NDXT"), 5, 1, 5, 0, true, {0.5f, 0.5f, 0}},
        {"a polygon's index", kid(2, "NDXL"), 4, 2, 4, -1, true, {0.5f, 0.5f, 0}},
        {"a vertex of a list", kid(1, "NRML"), 3, 1, -1, 3, true, {0, 1, 0}},
        {"a position that is not finite: the segment", kid(3, "POSL"), 2, 3, -1, -1, true, {1 / 3.f, 1 / 3.f, 0}},
        {"a cloth triangle", kid(4, "CMSH"), 1, 4, 3, -1, true, {1 / 3.f, 2 / 3.f, 0}},
        {"a fixed cloth vertex", kid(4, "FIDX"), 1, 4, -1, 3, true, {0, 1, 0}},
        {"a spring", kid(4, "SPRS"), 0, 4, -1, 2, true, {0.5f, 1, 0}},
        {"a shadow edge: the segment", kid(1, "SHDW"), 4, 1, -1, -1, true, {0.5f, 0.5f, 0}},
        {"the segment itself", g.segments[1].chunk, std::nullopt, 1, -1, -1, true, {0.5f, 0.5f, 0}},
        {"a model's NAME: the model", g.models[2].chunk->kids[1].get(), std::nullopt, -1, -1, -1, false, {}},
        {"nothing", nullptr, std::nullopt, -1, -1, -1, false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const preview::Spot s = preview::Locate(g, c.chunk, c.element);
        EXPECT_EQ(s.mark.segment, c.segment);
        EXPECT_EQ(s.mark.at, c.at);
        EXPECT_EQ(s.mark.faces != nullptr, c.at >= 0);
        EXPECT_EQ(s.mark.vertex, c.vertex);
        EXPECT_EQ(s.mark.model, c.segment < 0 && c.chunk ? 2 : -1);
        ASSERT_EQ(s.found, c.found);
        EXPECT_NEAR(s.point.x, c.point.x, 1e-6);
        EXPECT_NEAR(s.point.y, c.point.y, 1e-6);
        EXPECT_NEAR(s.point.z, c.point.z, 1e-6);
    }
}

}  // namespace
