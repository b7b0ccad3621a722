// mshtool check over files and folders: sorted output whatever the number of
// jobs, the text and JSON Lines forms, option files beside meshes, the rule
// reference, the summary and the exit codes.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "format/bytes.h"
#include "mesh/msh.h"
#include "check/tests/check_meshes.h"

#include "tests/support/chunks.h"
#include "tests/support/run.h"
#include "tests/support/scratch.h"

#ifndef MSHTOOL_PATH
#error MSHTOOL_PATH must name the mshtool program
#endif

using namespace checkmesh;
namespace fs = std::filesystem;

namespace {

using testsupport::Outcome;
using testsupport::Slurp;

std::vector<std::string> Lines(const std::string& s) {
    std::vector<std::string> v;
    std::istringstream in(s);
    for (std::string l; std::getline(in, l);) v.push_back(l);
    return v;
}

class MshtoolCheck : public ::testing::Test {
protected:
    void SetUp() override {
        std::string list;
        for (const std::string& name : testsupport::Containers()) list += name + "\n";
        scratch.Write("format.txt", list);
    }

    void Save(const std::string& file, const chunkptr& root) {
        fs::create_directories(fs::path(dir + "/" + file).parent_path());
        mesh::msh m;
        m.hedr = root;
        ASSERT_TRUE(m.Save(dir + "/" + file, 1));
    }
    Outcome Tool(const std::string& args) { return testsupport::RunIn(dir, MSHTOOL_PATH, args); }
    testsupport::ScratchDir scratch{"check"};
    const std::string dir = scratch.path();
};

chunkptr WithWarning() {
    chunkptr r = Good();
    for (const chunkptr& k : r->kids[0]->kids)
        if (k->name == "MODL" && k->FetchName() == "hp_fire") k->kids[2]->setdata(Str("HP_fire"));
    r->Update(1);
    return r;
}
chunkptr WithError() {
    chunkptr r = Good();
    r->kids[0]->kids[2]->kids[0]->setdata(U32s({5}));  // MODL root: MTYP 5
    r->Update(1);
    return r;
}

TEST_F(MshtoolCheck, FolderInSortedOrderWithAnUnreadableFile) {
    Save("meshes/b.msh", WithError());
    Save("meshes/a/z.msh", WithWarning());
    Save("meshes/c.MSH", Good());
    std::ofstream(dir + "/meshes/empty.msh").flush();           // unreadable: no bytes
    std::ofstream(dir + "/meshes/notes.txt") << "not a mesh";    // not a *.msh: left out
    fs::create_directories(dir + "/meshes/folder.msh");
    std::ofstream(dir + "/meshes/c.MSH.option") << "-nocollision\n-lodgroup tiny\n";

    const std::vector<std::string> text = {
        "meshes/a/z.msh: warning: HEDR/MSH2/MODL[HP_fire]: [name-case] the name starts with \"HP_\": only lower case "
        "\"hp_\" marks a hardpoint",
        "meshes/b.msh: error: HEDR/MSH2/MODL[root]/MTYP: [model-type] model type 5 is none of null, skin, cloth, "
        "bone, static, shadow volume (0-4, 6)",
        "meshes/c.MSH: error: c.MSH.option:2: [option] -lodgroup: needs model, bigmodel, soldier or hugemodel, not "
        "\"tiny\"",
        "meshes/empty.msh: error: : [unreadable] The file is empty.",
    };
    for (const char* jobs : {"1", "3"}) {
        SCOPED_TRACE(jobs);
        Outcome r = Tool(std::string("check --format format.txt --jobs ") + jobs + " meshes");
        EXPECT_EQ(r.code, 2);  // a file could not be read
        EXPECT_EQ(Lines(r.out), text);
        EXPECT_EQ(r.err, "4 files, 2 errors, 1 warning, 1 unreadable\n");
    }
    // Without the unreadable file: 1 for an error, 0 for warnings only.
    fs::remove(dir + "/meshes/empty.msh");
    fs::remove(dir + "/meshes/c.MSH.option");
    EXPECT_EQ(Tool("check --format format.txt meshes").code, 1);
    EXPECT_EQ(Tool("check --format format.txt meshes/a meshes/c.MSH").code, 0);
    Outcome missing = Tool("check --format format.txt meshes/c.MSH nothing.msh");
    EXPECT_EQ(missing.code, 2);
    EXPECT_EQ(Lines(missing.out), (std::vector<std::string>{"nothing.msh: error: : [unreadable] No such file or folder."}));
    EXPECT_EQ(missing.err, "2 files, 0 errors, 0 warnings, 1 unreadable\n");
}

TEST_F(MshtoolCheck, UnreadableFolderAndBrokenLinksAreReportedAndTheWalkGoesOn) {
    Save("meshes/a/a.msh", Good());
    Save("meshes/b/b.msh", Good());
    Save("meshes/c/c.msh", WithError());
    fs::create_symlink("nothing.msh", dir + "/meshes/dangling.msh");
    fs::create_symlink("loop.msh", dir + "/meshes/loop.msh");
    fs::create_directory_symlink("c", dir + "/meshes/folder-link.msh");  // not followed
    fs::permissions(dir, fs::perms(0755));
    fs::permissions(dir + "/meshes/b", fs::perms::none);
    for (const char* f : {"/out.txt", "/err.txt"}) {
        std::ofstream(dir + f).flush();
        fs::permissions(dir + f, fs::perms(0666));
    }
    // The superuser reads any folder: the program then runs as nobody, from a
    // copy in the scratch folder, which nobody can reach wherever the build
    // folder stands (a home folder only its owner may enter).
    fs::copy_file(MSHTOOL_PATH, dir + "/mshtool");
    fs::permissions(dir + "/mshtool", fs::perms(0755));
    const std::string cmd = "cd '" + dir + "' && ./mshtool check --format format.txt meshes >out.txt 2>err.txt";
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(99);
        if (access((dir + "/meshes/b").c_str(), R_OK) == 0) _exit(99);
        if (access((dir + "/mshtool").c_str(), X_OK) != 0 || access((dir + "/format.txt").c_str(), R_OK) != 0) _exit(97);
        execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char*>(nullptr));
        _exit(98);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    fs::permissions(dir + "/meshes/b", fs::perms::owner_all);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 99) GTEST_SKIP() << "no user here for whom a folder is unreadable";
    if (WIFEXITED(status) && WEXITSTATUS(status) == 97)
        GTEST_SKIP() << "user 65534 cannot run the program or read the scratch folder " << dir;
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 2);
    const std::vector<std::string> lines = Lines(Slurp(dir + "/out.txt"));
    const std::vector<std::string> expected = {
        "meshes/b: error: : [unreadable] Unable to read the folder: Permission denied.",
        "meshes/c/c.msh: error: HEDR/MSH2/MODL[root]/MTYP: [model-type] ",
        "meshes/dangling.msh: error: : [unreadable] Unable to follow the link: No such file or directory.",
        "meshes/loop.msh: error: : [unreadable] Unable to follow the link: Too many levels of symbolic links.",
    };
    ASSERT_EQ(lines.size(), expected.size()) << Slurp(dir + "/out.txt");
    for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i].substr(0, expected[i].size()), expected[i]);
    EXPECT_EQ(Slurp(dir + "/err.txt"), "5 files, 1 error, 0 warnings, 3 unreadable\n");
}

// A FIFO is never opened to wait for a writer: one beside a mesh as its
// option file is no option file, one named as a mesh is refused with the
// reason, whichever command reads it.
TEST_F(MshtoolCheck, FifosAreRefusedNotWaitedOn) {
    Save("x.msh", Good());
    ASSERT_EQ(mkfifo((dir + "/x.msh.option").c_str(), 0600), 0);
    ASSERT_EQ(mkfifo((dir + "/fifo.msh").c_str(), 0600), 0);
    fs::create_directory(dir + "/folder.msh");
    struct Case {
        const char* args;
        int code;
        const char* out;  // what stdout holds, or stderr when stdout is empty
    };
    const Case cases[] = {
        {"check --format format.txt x.msh", 0, ""},
        {"check --format format.txt .", 0, ""},
        {"fix --format format.txt --dry-run x.msh", 0, ""},
        {"check --format format.txt fifo.msh", 2, "fifo.msh: error: : [unreadable] Unable to read the file: Not a regular file.\n"},
        {"fix --format format.txt fifo.msh", 2, "fifo.msh: unreadable: Not a regular file\n"},
        {"tree --format format.txt fifo.msh", 2, "Unable to read mesh file.\nNot a regular file\n"},
        {"dump fifo.msh", 2, "Unable to read mesh file.\nNot a regular file\n"},
        {"render --format format.txt fifo.msh o.png", 2, "Unable to read mesh file.\nNot a regular file\n"},
        {"resave --format format.txt folder.msh o.msh", 2, "Unable to read mesh file.\nIs a directory\n"},
        {"build fifo.msh o.msh", 2, "Unable to read text file.\nNot a regular file\n"},
    };
    for (const Case& c : cases) {
        // timeout only ends a run that waits: a pass never comes near it.
        const Outcome r = testsupport::RunIn(dir, "timeout", std::string("60 '" MSHTOOL_PATH "' ") + c.args);
        EXPECT_EQ(r.code, c.code) << c.args << "\n" << r.err;
        if (c.out[0]) {
            EXPECT_EQ(r.out.empty() ? r.err : r.out, c.out) << c.args;
        }
    }
}

// A name in a mesh, an argument or a line of a text form reaches the output
// escaped on every command: it can neither forge a line nor send the
// terminal a control sequence; JSON carries bytes that are not UTF-8 in a
// field of their own, so they can be read back.
TEST_F(MshtoolCheck, NamesAreEscapedInEveryCommandAndRecoverableInJson) {
    const std::string evil = "HP_\x1b[31mRED\nFAKE: error: \xff";
    chunkptr bad = Good();
    Model(bad, "hp_fire")->kids[2]->setdata(Str(evil));
    bad->Update(1);
    Save("evil.msh", bad);
    Save("good.msh", Good());
    scratch.Write("bad.txt", "HEDR\n  \x1b[31mRED\n");
    const char* text[] = {
        "fix --format format.txt --dry-run evil.msh",
        "diff --format format.txt good.msh evil.msh",
        "render --format format.txt --model \"$(printf 'x\\033[31mY\\nFAKE')\" evil.msh o.png",
        "build bad.txt o.msh",
    };
    for (const char* args : text) {
        const Outcome r = Tool(args);
        const std::string all = r.out + r.err;
        EXPECT_EQ(all.find('\x1b'), std::string::npos) << args << "\n" << all;
        EXPECT_EQ(("\n" + all).find("\nFAKE"), std::string::npos) << args << "\n" << all;
    }
    const char* json[] = {
        "fix --format format.txt --json --dry-run evil.msh",
        "diff --format format.txt --json evil.msh good.msh",
        "check --format format.txt --json evil.msh",
    };
    for (const char* args : json) {
        const Outcome r = Tool(args);
        bool recovered = false;
        for (const std::string& l : Lines(r.out)) {
            const nlohmann::json j = nlohmann::json::parse(l);
            if (!j.contains("path_bytes")) continue;
            std::string raw;
            const std::string hex = j["path_bytes"];
            for (size_t i = 0; i + 1 < hex.size(); i += 2) raw += char(std::stoi(hex.substr(i, 2), nullptr, 16));
            recovered = recovered || raw.find(evil.substr(0, evil.size() - 1)) != std::string::npos;
        }
        EXPECT_TRUE(recovered) << args << "\n" << r.out;
    }
}

// fix names every change it makes (a size opening cut to its parent is a
// repair of its own), says what a removed segment drops, and leaves nothing
// for a second run; what cannot be done or read makes it exit 2.
TEST_F(MshtoolCheck, FixNamesEveryChangeAndOneRunReachesTheEnd) {
    Save("good.msh", Good());
    const std::vector<uint8_t> good = scratch.Read("good.msh");
    auto at = [&](const char* name, int nth) {
        size_t p = 0;
        for (int k = 0; k <= nth; ++k) p = size_t(std::search(good.begin() + std::ptrdiff_t(p + (k ? 1 : 0)), good.end(), name, name + 4) - good.begin());
        return p;
    };
    struct Case {
        const char* what;
        std::vector<uint8_t> file;
        const char* says;  // in the first run's output
    };
    std::vector<uint8_t> overrun = good, nocount = good, cut = good;
    const size_t modl = at("MODL", 8);  // hp_fire, the last model of MSH2
    ASSERT_LT(modl, good.size());
    format::StoreU32(overrun.data() + modl + 4, format::LoadU32(overrun.data() + modl + 4) + 16);
    format::StoreU32(nocount.data() + at("POSL", 0) + 8, 0);
    cut.resize(at("POSL", 0) + 8 + 4 + 36);
    const Case cases[] = {
        {"a model's size past its parent", overrun, "MODL[hp_fire]: [chunk-layout] write the sizes and counts"},
        {"a vertex count of 0", nocount, "[segment-empty] remove the segment"},
        {"a file cut after a segment's vertices", cut, "(no triangles), dropping its 3 vertices"},
    };
    for (const Case& c : cases) {
        scratch.Write("x.msh", c.file);
        const Outcome first = Tool("fix --format format.txt x.msh");
        EXPECT_NE(first.out.find(c.says), std::string::npos) << c.what << "\n" << first.out;
        EXPECT_NE(scratch.Read("x.msh"), c.file) << c.what;
        const std::vector<uint8_t> once = scratch.Read("x.msh");
        const Outcome second = Tool("fix --format format.txt x.msh");
        EXPECT_EQ(second.err.substr(0, 19), "1 file, 0 repairs, ") << c.what << "\n" << second.out;
        EXPECT_EQ(scratch.Read("x.msh"), once) << c.what;
        // What the first run said was left is what the file holds.
        const Outcome check = Tool("check --format format.txt x.msh");
        EXPECT_EQ(first.code, check.code) << c.what << "\n" << first.out << check.out;
    }
    fs::create_directories(dir + "/folder/sub");
    fs::copy_file(dir + "/good.msh", dir + "/folder/sub/a.msh");
    fs::create_symlink("nothing.msh", dir + "/folder/dangling.msh");
    const Outcome folder = Tool("fix --format format.txt folder");
    EXPECT_EQ(folder.code, 2);
    EXPECT_NE(folder.out.find("folder/dangling.msh: unreadable: Unable to follow the link"), std::string::npos) << folder.out;
    const Outcome refused = Tool("fix --format format.txt --rename nobody=x good.msh");
    EXPECT_EQ(refused.code, 2);
    EXPECT_NE(refused.out.find("[rename] \"nobody\" is not renamed"), std::string::npos) << refused.out;
}

TEST_F(MshtoolCheck, JsonLinesParse) {
    chunkptr bad = WithError();
    // A model name that is not UTF-8 still gives valid JSON.
    bad->kids[0]->kids[10]->kids[2]->setdata(Str("HP_\xff\xfe"));  // MODL hp_fire
    Save("x.msh", bad);
    std::ofstream(dir + "/y.msh").flush();
    Outcome r = Tool("check --json --format format.txt x.msh y.msh");
    EXPECT_EQ(r.code, 2);
    std::vector<nlohmann::json> objects;
    for (const std::string& l : Lines(r.out)) {
        nlohmann::json j = nlohmann::json::parse(l);  // throws, failing the test, when a line is not JSON
        ASSERT_TRUE(j.is_object());
        for (const char* key : {"file", "severity", "rule", "path", "message"}) EXPECT_TRUE(j[key].is_string()) << l;
        objects.push_back(j);
    }
    ASSERT_GE(objects.size(), 3u) << r.out;
    EXPECT_EQ(objects.front()["file"], "x.msh");
    bool modeltype = false;
    for (const nlohmann::json& j : objects)
        modeltype = modeltype || (j["rule"] == "model-type" && j["path"] == "HEDR/MSH2/MODL[root]/MTYP" &&
                                  j["severity"] == "error" && j["size"] == 4 && j["offset"].is_number() &&
                                  j["offset"] > 200);
    EXPECT_TRUE(modeltype) << r.out;
    // The bytes that are not UTF-8: escaped in the text, exact beside it.
    EXPECT_EQ(objects[1]["path"], "HEDR/MSH2/MODL[HP_\\xff\\xfe]");
    EXPECT_EQ(objects[1]["path_bytes"], "484544522f4d5348322f4d4f444c5b48505ffffe5d");
    EXPECT_EQ(objects.back(), nlohmann::json::parse(R"({"file":"y.msh","severity":"error","rule":"unreadable","path":"","message":"The file is empty."})"));
}

TEST_F(MshtoolCheck, RuleReference) {
    Outcome r = Tool("check --rules");
    EXPECT_EQ(r.code, 0);
    for (const char* part : {"list-count (error)\n", "  Why: ", "  Fix: ", "option-name (warning)\n"})
        EXPECT_NE(r.out.find(part), std::string::npos) << part;
}

TEST_F(MshtoolCheck, WrongCalls) {
    Save("x.msh", Good());
    for (const char* args : {"check", "check --jobs 0 x.msh", "check --jobs x.msh", "check --jobs two x.msh",
                             "verify --json x.msh", "tree --jobs 2 x.msh", "check --bogus x.msh",
                             "check --rules x.msh", "tree --rules x.msh"}) {
        Outcome r = Tool(args);
        EXPECT_EQ(r.code, 2) << args;
        EXPECT_EQ(r.out, "") << args;
        EXPECT_NE(r.err.find("usage:"), std::string::npos) << args;
    }
    EXPECT_EQ(Tool("check --jobs 2 x.msh").code, 0);
}

}  // namespace

// Names in a mesh are bytes: in text output none of them may start a line of
// its own or reach the terminal as a control sequence.
TEST(MshtoolText, NamesAreEscaped) {
    const testsupport::ScratchDir scratch("escape");
    const std::string& dir = scratch.path();
    chunkptr r = Good();
    const std::string forged = "HP_\nf.msh: error: HEDR: [fake] forged\x1b[2J\\";  // a name-case warning
    r->kids[0]->kids[10]->kids[2]->setdata(Str(forged));  // MODL hp_fire
    r->kids[0]->AppendKid(D("\n\x1b\x01\x7f", Bytes{}));
    mesh::msh m;
    m.hedr = r;
    ASSERT_TRUE(m.Save(dir + "/f.msh", 1));
    std::ofstream(dir + "/format.txt") << "MSH2\nSHVO\nSINF\nNAME\nMTYP\nBBOX\nMATI\nSHDW\nCTEX\nCYCL\n";
    const std::string escaped = "MODL[HP_\\nf.msh: error: HEDR: [fake] forged\\x1b[2J\\\\]";
    struct Case {
        const char* args;
        const char* expected;  // a piece of the output
    } cases[] = {
        {"tree --format format.txt f.msh", "\n    \\n\\x1b\\x01\\x7f 0\n"},
        {"verify --format format.txt f.msh", "\\n\\x1b\\x01\\x7f"},
        {"check --format format.txt f.msh", "f.msh: warning: HEDR/MSH2/MODL["},
    };
    for (const Case& c : cases) {
        Outcome o = testsupport::RunIn(dir, MSHTOOL_PATH, c.args);
        EXPECT_NE(o.out.find(c.expected), std::string::npos) << c.args << "\n" << o.out;
        for (const std::string& line : Lines(o.out)) {
            EXPECT_EQ(line.find_first_of("\x1b\x01\x7f\r"), std::string::npos) << c.args << ": " << line;
            if (std::string(c.args).rfind("check", 0) == 0) {
                EXPECT_EQ(line.rfind("f.msh: ", 0), 0u) << line;
            }
        }
    }
    EXPECT_NE(testsupport::RunIn(dir, MSHTOOL_PATH, "check --format format.txt f.msh").out.find(escaped),
              std::string::npos);
    // JSON carries the name as it is.
    Outcome json = testsupport::RunIn(dir, MSHTOOL_PATH, "check --json --format format.txt f.msh");
    const std::string quoted = nlohmann::json(forged).dump();
    EXPECT_NE(json.out.find(quoted.substr(1, quoted.size() - 2)), std::string::npos) << json.out;
}

namespace {

// Runs mshtool in dir with limits on its address space and on the stack
// size its threads are given, set in the child before the program starts.
Outcome ToolUnderLimits(const std::string& dir, rlim_t space, rlim_t stack, const std::vector<std::string>& args) {
    const pid_t pid = fork();
    if (pid == 0) {
        const rlimit as{space, space}, st{stack, stack};
        if (chdir(dir.c_str()) != 0 || setrlimit(RLIMIT_AS, &as) != 0 || setrlimit(RLIMIT_STACK, &st) != 0) _exit(99);
        if (!freopen("out.txt", "w", stdout) || !freopen("err.txt", "w", stderr)) _exit(99);
        std::vector<char*> argv{const_cast<char*>(MSHTOOL_PATH)};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(MSHTOOL_PATH, argv.data());
        _exit(98);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    Outcome o;
    o.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    o.out = Slurp(dir + "/out.txt");
    o.err = Slurp(dir + "/err.txt");
    return o;
}

}  // namespace

// Memory that runs out while a file is checked, or threads that cannot be
// started, end neither the program nor a folder run: the file is reported
// with its reason and the others are checked.
TEST(MshtoolLimits, OutOfMemoryAndThreadsGiveAReason) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reserves more address space than any limit the test could set";
#else
    const testsupport::ScratchDir scratch("oom");
    const std::string& dir = scratch.path();
    fs::create_directories(dir + "/folder");
    // 4 million empty leaves: 32 MB to read, several times that to check.
    const int32_t leaves = 4'000'000;
    std::vector<uint8_t> bytes;
    bytes.reserve(16 + 8 * size_t(leaves));
    auto header = [&](const char* name, int32_t size) {
        format::Writer w(bytes);
        w.Chars(name, 4);
        w.I32(size);
    };
    header("HEDR", 8 + 8 * leaves);
    header("MSH2", 8 * leaves);
    for (int32_t i = 0; i < leaves; ++i) header("ZZZZ", 0);
    std::ofstream(dir + "/folder/a_big.msh", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    bytes = {};
    mesh::msh small;
    small.hedr = WithWarning();
    ASSERT_TRUE(small.Save(dir + "/folder/b_small.msh", 1));

    const rlim_t mb = 1 << 20;
    struct Case {
        const char* what;
        rlim_t space, stack;
        std::vector<std::string> args;
        int code;
        std::vector<std::string> lines;  // the start of each line of the output
    } cases[] = {
        {"memory runs out on one file of a folder", 16 * mb + 48 * mb, 8 * mb, {"check", "--jobs", "1", "folder"}, 2,
         {"folder/a_big.msh: error: : [unreadable] Out of memory while", "folder/b_small.msh: warning: "}},
        {"no thread can be started", 1024 * mb, 4096 * mb, {"check", "--jobs", "4", "folder/b_small.msh"}, 0,
         {"folder/b_small.msh: warning: "}},
        {"memory runs out while reading", 16 * mb, 8 * mb, {"tree", "folder/a_big.msh"}, 2, {}},
    };
    for (const Case& c : cases) {
        const Outcome o = ToolUnderLimits(dir, c.space, c.stack, c.args);
        EXPECT_EQ(o.code, c.code) << c.what << "\n" << o.out << o.err;
        const std::vector<std::string> lines = Lines(o.out);
        ASSERT_GE(lines.size(), c.lines.size()) << c.what << "\n" << o.out;
        for (size_t i = 0; i < c.lines.size(); ++i)
            EXPECT_EQ(lines[i].rfind(c.lines[i], 0), 0u) << c.what << ": " << lines[i];
        if (c.code == 2) {
            EXPECT_NE((o.out + o.err).find("a_big.msh"), std::string::npos) << c.what << o.err;
            EXPECT_NE((o.out + o.err).find("ut of memory"), std::string::npos) << c.what << o.err;
        }
    }
#endif
}
