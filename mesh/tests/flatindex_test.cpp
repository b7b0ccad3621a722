// The flat index against the chunk tree: on files that are damaged in the
// ways real and hostile files are, both give the same chunks in the same
// order with the same sizes, and verification finds the same.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mesh/flatindex.h"
#include "mesh/msh.h"
#include "mesh/verify.h"
#include "mesh/walk.h"
#include "tests/support/chunks.h"
#include "tests/support/scratch.h"

using namespace testsupport;

namespace {

// One line a chunk: depth, name and size.
std::vector<std::string> TreeLines(const mesh::chunk& root) {
    std::vector<std::string> out;
    mesh::PreOrder(root, [&](const mesh::chunk& c, size_t depth) {
        out.push_back(std::to_string(depth) + " " + c.name + " " + std::to_string(c.size));
    });
    return out;
}

std::vector<std::string> TreeLines(const mesh::flatindex& x) {
    std::vector<std::string> out;
    x.PreOrder([&](uint32_t c, size_t depth) {
        out.push_back(std::to_string(depth) + " " + std::string(x.name(c)) + " " + std::to_string(x[c].size));
    });
    return out;
}

Bytes Nested(int depth) {
    Bytes b = Ck("SINF", {});
    for (int i = 0; i < depth; ++i) b = Ck("MSH2", b);
    return b;
}

// HEDR > MSH2 > a scene header (so that MSH2 is read as a container), body.
Bytes InMsh2(const Bytes& body) {
    return Ck("HEDR", Ck("MSH2", Cat({Ck("SINF", Ck("NAME", Str("s"))), body})));
}

}  // namespace

TEST(FlatIndex, SameTreeAndFindingsAsTheChunkTree) {
    const Bytes mesh = Mesh();
    // A material list whose data starts with a listed name (no MATD count),
    // then one nested in it.
    const Bytes uncounted = Ck("MATL", Cat({Ck("SINF", Ck("NAME", Str("s"))), Matd("one")}));
    const Bytes nestedmatl = Ck("MATL", Cat({Ck("SINF", Ck("NAME", Str("s"))), uncounted, Matd("two")}));
    const Bytes faulty = InMsh2(Cat({
        Ck("MATL", Cat({I32s({1}), Ck("MATD", Cat({Ck("NAME", Str("m")), Ck("DATA", Zeros(8))}))})),
        Ck("MODL", Cat({Ck("NAME", Str("a")), Ck("PRNT", Str("nobody")), Ck("PRNT", Text("abc")),
                        Ck("GEOM", Ck("SEGM", Cat({Ck("POSL", I32s({2, 0, 0, 0, 0, 0, 0})), Ck("NRML", I32s({1, 0, 0, 0}))})))})),
        Ck("CAMR", Ck("DATA", Zeros(8))), Ck("WXYZ", {})}));
    struct Case {
        const char* what;
        Bytes file;
    };
    const std::vector<Case> cases = {
        {"well formed, grouped MATL", mesh},
        {"findings of many kinds", faulty},
        {"MATL without a count, and one inside it", InMsh2(Cat({uncounted, nestedmatl}))},
        {"MATL too short to group", InMsh2(Ck("MATL", I32s({0, 0})))},
        {"MATL whose children overrun it", InMsh2(Ck("MATL", Cat({I32s({1}), Ck("MATD", Zeros(4), 99), Zeros(3)})))},
        {"MATL with one stray byte after its MATD", InMsh2(Ck("MATL", Cat({I32s({1}), Matd("a"), Zeros(1)})))},
        {"truncated in a segment", Bytes(mesh.begin(), mesh.begin() + 700)},
        {"truncated in a header", Bytes(mesh.begin(), mesh.begin() + 13)},
        {"sizes that claim more than remains", Ck("HEDR", Cat({Ck("MSH2", Ck("SINF", Zeros(4)), 400), Zeros(20)}))},
        {"negative sizes", Ck("HEDR", Ck("MSH2", Cat({Ck("SINF", {}, -5), Ck("NAME", Str("x"), -1), Zeros(8)})))},
        {"one stray byte, then three, then five", Ck("HEDR", Cat({Ck("MSH2", Cat({Ck("SINF", {}), Zeros(1)})),
                                                                  Ck("SHVO", Cat({Ck("SINF", {}), Zeros(3)})),
                                                                  Ck("SINF", Cat({Ck("NAME", {}), Text("BBOX"), Zeros(1)}))}))},
        {"odd sizes", Ck("HEDR", Ck("MSH2", Cat({Ck("NAME", Text("abc")), Ck("SINF", Ck("FRAM", Zeros(5))), Ck("BBOX", Zeros(3))})))},
        {"a record whose data starts with a listed name", Ck("HEDR", Ck("NAME", Cat({Ck("SINF", Zeros(8))})))},
        {"bytes after the root", Cat({mesh, Ck("CL1L", {}), Zeros(3)})},
        {"a file of fewer than 8 bytes", Text("HEDR")},
        {"deep nesting", Ck("HEDR", Nested(20000))},
    };
    ScratchDir dir("flatindex");
    for (const Case& c : cases) {
        const std::string path = dir.Write("a.msh", c.file);
        for (int matl : {1, 0}) {
            SCOPED_TRACE(std::string(c.what) + (matl ? "" : ", no grouping"));
            std::string why;
            mesh::mshptr m = mesh::OpenMesh(path, Containers(), matl, &why);
            std::unique_ptr<mesh::flatindex> x = mesh::OpenIndex(path, Containers(), matl, &why);
            ASSERT_TRUE(m && x) << why;
            EXPECT_EQ(TreeLines(*x), TreeLines(*m->hedr));
            std::vector<std::string> found;
            mesh::VerifyIndex(*x, [&](std::string_view name, std::string_view text) {
                found.push_back(std::string(name) + std::string(text));
            });
            EXPECT_EQ(found, mesh::VerifyMesh(*m));
        }
    }
}

TEST(FlatIndex, UnreadableFilesSayWhy) {
    ScratchDir dir("flatindex");
    const std::string empty = dir.Write("empty.msh", Bytes{});
    for (const std::string& path : {empty, dir / "missing.msh", dir.path()}) {
        std::string why, mwhy;
        EXPECT_EQ(mesh::OpenIndex(path, Containers(), 1, &why), nullptr) << path;
        EXPECT_EQ(mesh::msh::ReadMsh(path, Containers(), 1, &mwhy), nullptr) << path;
        EXPECT_EQ(why, mwhy) << path;
        EXPECT_FALSE(why.empty()) << path;
    }
}
