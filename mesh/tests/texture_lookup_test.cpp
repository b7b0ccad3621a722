// Finding a material's texture file as the game's build does.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "mesh/texture_lookup.h"
#include "tests/support/scratch.h"

namespace {

namespace fs = std::filesystem;

struct LookupCase {
    const char* what;
    std::vector<std::string> files;    // made in the scratch folder; "dir/" a folder, "fifo:x" a pipe
    std::string name;                  // the texture record
    std::string found;                 // relative to the scratch folder; "" none
};

TEST(TextureLookup, FindsTheFileInTheBuildsOrderWithoutCaseAndOnlyRegularFiles) {
    // The mesh is mod/m.msh; the extra folders are x1 then x2.
    const LookupCase cases[] = {
        {"beside the mesh", {"mod/crate.tga"}, "crate.tga", "mod/crate.tga"},
        {"case of the file differs", {"mod/CRATE.TGA"}, "crate.tga", "mod/CRATE.TGA"},
        {"case of the name differs", {"mod/crate.tga"}, "Crate.TGA", "mod/crate.tga"},
        {"exact spelling first", {"mod/CRATE.tga", "mod/crate.tga"}, "crate.tga", "mod/crate.tga"},
        {"PC subfolder", {"mod/PC/crate.tga"}, "crate.tga", "mod/PC/crate.tga"},
        {"pc subfolder in lower case", {"mod/pc/crate.tga"}, "crate.tga", "mod/pc/crate.tga"},
        {"mesh folder before PC", {"mod/PC/crate.tga", "mod/crate.tga"}, "crate.tga", "mod/crate.tga"},
        {"PC before the extra folders", {"x1/crate.tga", "mod/PC/crate.tga"}, "crate.tga", "mod/PC/crate.tga"},
        {"extra folders in order", {"x2/crate.tga", "x1/Crate.tga"}, "crate.tga", "x1/Crate.tga"},
        {"second extra folder", {"x2/crate.tga"}, "crate.tga", "x2/crate.tga"},
        {"a folder of that name is passed over", {"mod/crate.tga/", "x1/crate.tga"}, "crate.tga", "x1/crate.tga"},
        {"a pipe of that name is passed over", {"fifo:mod/crate.tga", "mod/PC/crate.tga"}, "crate.tga",
         "mod/PC/crate.tga"},
        {"name without extension", {"mod/crate.tga"}, "crate", "mod/crate.tga"},
        {"name with a folder", {"mod/crate.tga"}, "c:\\art\\crate.tga", "mod/crate.tga"},
        {"name with a folder, slashes", {"x1/crate.tga"}, "art/crate.tga", "x1/crate.tga"},
        {"missing", {"mod/other.tga", "mod/PC/crate.tg"}, "crate.tga", ""},
        {"empty name", {"mod/crate.tga"}, "", ""},
        {"a name that climbs", {"crate.tga"}, "..", ""},
    };
    for (const LookupCase& c : cases) {
        SCOPED_TRACE(c.what);
        testsupport::ScratchDir dir("texlookup");
        dir.Write("mod/m.msh", std::string("mesh"));
        fs::create_directories(dir / "x1");
        fs::create_directories(dir / "x2");
        for (const std::string& f : c.files) {
            if (f.back() == '/') {
                fs::create_directories(dir / f);
            } else if (f.rfind("fifo:", 0) == 0) {
                ASSERT_EQ(::mkfifo((dir / f.substr(5)).c_str(), 0600), 0);
            } else {
                dir.Write(f, std::string("tga"));
            }
        }
        const std::string got = mesh::FindTexture(dir / "mod/m.msh", c.name, {dir / "x1", dir / "x2"});
        EXPECT_EQ(got, c.found.empty() ? "" : dir / c.found);
    }
}

TEST(TextureLookup, FoldersAreTheMeshsItsPcSubfolderAndTheExtraOnes) {
    testsupport::ScratchDir dir("texfolders");
    dir.Write("mod/pc/a.tga", std::string("tga"));
    EXPECT_EQ(mesh::TextureFolders(dir / "mod/m.msh", {"/x"}),
              (std::vector<std::string>{dir / "mod", dir / "mod/pc", "/x"}));
    EXPECT_EQ(mesh::TextureFolders("m.msh", {}), (std::vector<std::string>{".", "./PC"}));
}

}  // namespace
