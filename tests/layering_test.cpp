// The layering of the product: every `#include "..."` of its sources checked
// against the table of allowed directions in tests/layers.txt.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/scratch.h"

namespace fs = std::filesystem;

namespace {

struct Part {
    std::string name;
    std::vector<std::string> prefixes;
    std::vector<std::string> uses;
};

std::vector<std::string> Words(const std::string& s) {
    std::istringstream in(s);
    std::vector<std::string> out;
    for (std::string w; in >> w;) out.push_back(w);
    return out;
}

struct Layers {
    std::vector<Part> parts;
    std::vector<std::string> errors;  // what is wrong with the table itself

    int Find(const std::string& name) const {
        for (size_t i = 0; i < parts.size(); ++i)
            if (parts[i].name == name) return static_cast<int>(i);
        return -1;
    }

    // The part whose prefix is the longest that matches path; -1 for none.
    int PartOf(const std::string& path) const {
        int best = -1;
        size_t len = 0;
        for (size_t i = 0; i < parts.size(); ++i)
            for (const std::string& p : parts[i].prefixes)
                if (path.compare(0, p.size(), p) == 0 && p.size() > len) {
                    best = static_cast<int>(i);
                    len = p.size();
                }
        return best;
    }

    // Whether files of part a may include files of part b: a itself, the
    // parts a names, the parts those name, and so on.
    bool MayUse(int a, int b) const {
        std::vector<bool> seen(parts.size(), false);
        std::vector<int> todo{a};
        while (!todo.empty()) {
            int p = todo.back();
            todo.pop_back();
            if (p == b) return true;
            if (seen[p]) continue;
            seen[p] = true;
            for (const std::string& u : parts[p].uses) todo.push_back(Find(u));
        }
        return false;
    }

    // The top-level folders that hold product sources.
    std::vector<std::string> Roots() const {
        std::vector<std::string> out;
        for (const Part& p : parts)
            for (const std::string& pre : p.prefixes) {
                std::string top = pre.substr(0, pre.find('/'));
                if (std::find(out.begin(), out.end(), top) == out.end()) out.push_back(top);
            }
        return out;
    }
};

Layers ReadLayers(const std::string& text) {
    Layers l;
    std::istringstream in(text);
    int n = 0;
    for (std::string line; std::getline(in, line);) {
        ++n;
        line = line.substr(0, line.find('#'));
        if (Words(line).empty()) continue;
        size_t colon = line.find(':');
        size_t arrow = line.find("->");
        if (colon == std::string::npos || arrow == std::string::npos || arrow < colon) {
            l.errors.push_back("line " + std::to_string(n) + ": not \"part: prefixes -> parts\"");
            continue;
        }
        std::vector<std::string> name = Words(line.substr(0, colon));
        Part p;
        p.prefixes = Words(line.substr(colon + 1, arrow - colon - 1));
        p.uses = Words(line.substr(arrow + 2));
        if (name.size() != 1 || p.prefixes.empty()) {
            l.errors.push_back("line " + std::to_string(n) + ": one part name and at least one prefix");
            continue;
        }
        p.name = name[0];
        if (l.Find(p.name) >= 0) l.errors.push_back("part " + p.name + " is named twice");
        // A part is made of whole top-level folders: a file's folder says
        // its layer.
        for (const std::string& pre : p.prefixes) {
            if (pre.size() < 2 || pre.find('/') != pre.size() - 1)
                l.errors.push_back("line " + std::to_string(n) + ": " + pre + " is not a top-level folder");
            for (const Part& q : l.parts)
                if (std::find(q.prefixes.begin(), q.prefixes.end(), pre) != q.prefixes.end())
                    l.errors.push_back("line " + std::to_string(n) + ": " + pre + " is in part " + q.name + " too");
        }
        l.parts.push_back(p);
    }
    for (const Part& p : l.parts)
        for (const std::string& u : p.uses)
            if (l.Find(u) < 0) l.errors.push_back("part " + p.name + " uses " + u + ", which is no part");
    return l;
}

bool IsSource(const fs::path& p) {
    std::string e = p.extension().string();
    return e == ".cpp" || e == ".h" || e == ".cc" || e == ".hpp";
}

// Tests, benchmarks and fuzz targets live in folders of these names.
bool IsTestCode(const std::string& rel) {
    for (const fs::path& part : fs::path(rel))
        if (part == "tests" || part == "bench" || part == "fuzz") return true;
    return false;
}

// Every include of the product sources under root that the table does not
// allow, and every source that belongs to no part: one line each.
std::vector<std::string> Check(const std::string& root, const Layers& layers) {
    std::vector<std::string> out;
    static const std::regex include(R"(^\s*#\s*include\s*"([^"]+)\")");
    for (const std::string& top : layers.Roots()) {
        std::error_code ec;
        if (!fs::is_directory(fs::path(root) / top, ec)) {
            out.push_back(top + "/: named in the table but not there");
            continue;
        }
        std::vector<std::string> files;
        for (const auto& e : fs::recursive_directory_iterator(fs::path(root) / top)) {
            std::string rel = fs::relative(e.path(), root).generic_string();
            if (e.is_regular_file() && IsSource(e.path()) && !IsTestCode(rel)) files.push_back(rel);
        }
        std::sort(files.begin(), files.end());
        for (const std::string& rel : files) {
            int from = layers.PartOf(rel);
            if (from < 0) {
                out.push_back(rel + ": belongs to no part of the table");
                continue;
            }
            std::ifstream in(fs::path(root) / rel);
            int n = 0;
            for (std::string line; std::getline(in, line);) {
                ++n;
                std::smatch m;
                if (!std::regex_search(line, m, include)) continue;
                const std::string target = m[1];
                const std::string where = rel + ":" + std::to_string(n) + ": ";
                if (!fs::is_regular_file(fs::path(root) / target, ec)) {
                    out.push_back(where + "\"" + target + "\" is no file from the project root");
                } else if (IsTestCode(target)) {
                    out.push_back(where + "product code includes test code \"" + target + "\"");
                } else if (int to = layers.PartOf(target); to < 0) {
                    out.push_back(where + "\"" + target + "\" belongs to no part of the table");
                } else if (!layers.MayUse(from, to)) {
                    out.push_back(where + layers.parts[from].name + " may not include \"" + target + "\" (" +
                                  layers.parts[to].name + ")");
                }
            }
        }
    }
    return out;
}

std::string Slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string Lines(const std::vector<std::string>& v) {
    std::string s;
    for (const std::string& l : v) s += l + "\n";
    return s;
}

}  // namespace

TEST(Layering, ProductIncludesFollowTheTable) {
    Layers layers = ReadLayers(Slurp(SOURCE_DIR "/tests/layers.txt"));
    ASSERT_TRUE(layers.errors.empty()) << Lines(layers.errors);
    ASSERT_GE(layers.parts.size(), 6u);  // the table was read at all
    std::vector<std::string> found = Check(SOURCE_DIR, layers);
    EXPECT_TRUE(found.empty()) << Lines(found);
}

// The checker itself, on a small tree: allowed directions pass (also through
// a part in between), and each kind of fault is reported where it is.
TEST(Layering, ReportsEveryKindOfFault) {
    testsupport::ScratchDir dir("layers");
    Layers layers = ReadLayers(
        "# three layers and a tool\n"
        "low:  low/ ->\n"
        "mid:  mid/ -> low\n"
        "top:  top/ -> mid   # low through mid\n"
        "tool: gen/ -> low\n");
    ASSERT_TRUE(layers.errors.empty()) << Lines(layers.errors);
    dir.Write("low/a.h", "#pragma once\n");
    dir.Write("mid/b.h", "#include \"low/a.h\"\n");
    dir.Write("top/c.cpp", "#include <vector>\n#include \"mid/b.h\"\n  #  include \"low/a.h\"\n");
    dir.Write("top/tests/t.cpp", "#include \"top/c.cpp\"\n#include \"gen/none.h\"\n");  // not read
    dir.Write("gen/one.cpp", "#include \"low/a.h\"\n");
    EXPECT_TRUE(Check(dir.path(), layers).empty()) << Lines(Check(dir.path(), layers));

    dir.Write("low/up.cpp", "#include \"low/a.h\"\n#include \"mid/b.h\"\n");
    dir.Write("mid/gone.cpp", "// a comment\n#include \"mid/missing.h\"\n");
    dir.Write("gen/two.cpp", "#include \"odd/d.h\"\n");
    dir.Write("odd/d.h", "#pragma once\n");
    dir.Write("top/fixture.cpp", "#include \"top/tests/t.cpp\"\n");
    dir.Write("gen/one.cpp", "#include \"top/c.cpp\"\n");
    EXPECT_EQ(Lines(Check(dir.path(), layers)),
              "low/up.cpp:2: low may not include \"mid/b.h\" (mid)\n"
              "mid/gone.cpp:2: \"mid/missing.h\" is no file from the project root\n"
              "top/fixture.cpp:1: product code includes test code \"top/tests/t.cpp\"\n"
              "gen/one.cpp:1: tool may not include \"top/c.cpp\" (top)\n"
              "gen/two.cpp:1: \"odd/d.h\" belongs to no part of the table\n");
}

TEST(Layering, ReportsAFaultyTable) {
    Layers layers = ReadLayers("a: a/ -> b\na: x/ ->\nno arrow here\nc: a/sub/ c ->\nd: x/ ->\n");
    EXPECT_EQ(Lines(layers.errors),
              "part a is named twice\n"
              "line 3: not \"part: prefixes -> parts\"\n"
              "line 4: a/sub/ is not a top-level folder\n"
              "line 4: c is not a top-level folder\n"
              "line 5: x/ is in part a too\n"
              "part a uses b, which is no part\n");
}
