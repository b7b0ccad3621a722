// mshtool tree, resave and verify. Reading is what the editor's open command
// does (the container-name list, material grouping unless --no-matl, a
// rebuild); saving is the editor's save.
#include "tools/mshtool_basic.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "mesh/flatindex.h"
#include "mesh/msh.h"
#include "mesh/relay.h"
#include "mesh/verify.h"

namespace tools {

namespace {

// A file that ends inside its root is read as far as it goes, one whose
// sizes leave out their padding is re-laid, as in the editor; either is said.
mesh::mshptr Open(const Args& a, const std::string& path) {
    std::string why, note;
    mesh::mshptr m = mesh::OpenRelaid(path, a.list, a.matl, true, why, note);
    if (!m) ReportUnreadable(path, why);
    else if (!note.empty()) std::fprintf(stderr, "%s: %s\n", Escaped(path).c_str(), note.c_str());
    return m;
}

// The same tree as a flat index: tree and verify only read it, and it takes
// a few dozen bytes a chunk where chunk objects take hundreds.
std::unique_ptr<mesh::flatindex> OpenFlat(const Args& a, const std::string& path) {
    std::string why;
    std::unique_ptr<mesh::flatindex> x = mesh::OpenIndex(path, a.list, a.matl, &why);
    if (!x) ReportUnreadable(path, why);
    else if (const std::string cut = x->cut(); !cut.empty())
        std::fprintf(stderr, "%s: %s\n", Escaped(path).c_str(), cut.c_str());
    return x;
}

// Output gathered and written a megabyte at a time.
struct Out {
    std::string text;
    void Flush() {
        std::fwrite(text.data(), 1, text.size(), stdout);
        text.clear();
    }
    void Line() {
        text += '\n';
        if (text.size() > (1u << 20)) Flush();
    }
};

}  // namespace

// One line per chunk, depth-first pre-order: two spaces per level, the four
// name bytes, a space, the size.
int RunTree(const Args& a) {
    std::unique_ptr<mesh::flatindex> x = OpenFlat(a, a.operands[0]);
    if (!x) return kFailed;
    Out out;
    x->PreOrder([&](uint32_t c, size_t depth) {
        out.text.append(2 * depth, ' ');
        out.text += Escaped(x->name(c));
        out.text += ' ';
        out.text += std::to_string((*x)[c].size);
        out.Line();
    });
    out.Flush();
    return std::fflush(stdout) == 0 ? kOk : kUnwritable;
}

int RunResave(const Args& a) {
    mesh::mshptr m = Open(a, a.operands[0]);
    if (!m) return kFailed;
    std::string why;
    if (!m->Save(a.operands[1], a.matl, &why)) {
        Report("Unable to write mesh file.", why);
        return kUnwritable;
    }
    return kOk;
}

// The findings of a verification, one a line, in the order of the log,
// written as they are found.
int RunVerify(const Args& a) {
    std::unique_ptr<mesh::flatindex> x = OpenFlat(a, a.operands[0]);
    if (!x) return kFailed;
    Out out;
    size_t findings = 0;
    mesh::VerifyIndex(*x, [&](std::string_view name, std::string_view text) {
        out.text += Escaped(name);
        out.text += Escaped(text);
        out.Line();
        ++findings;
    });
    out.Flush();
    if (std::fflush(stdout) != 0) return kUnwritable;
    return findings == 0 ? kOk : kFindings;
}

}  // namespace tools
