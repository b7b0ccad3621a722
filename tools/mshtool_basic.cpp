// mshtool tree, resave and verify. Reading is what the editor's open command
// does (the container-name list, material grouping unless --no-matl, a
// rebuild); saving is the editor's save.
#include "tools/mshtool_basic.h"

#include <cstdio>
#include <string>
#include <vector>

#include "mesh/msh.h"
#include "mesh/verify.h"
#include "mesh/walk.h"

namespace tools {

namespace {

mesh::mshptr Open(const Args& a, const std::string& path) {
    std::string why;
    mesh::mshptr m = mesh::OpenMesh(path, a.list, a.matl, &why);
    if (!m) ReportUnreadable(path, why);
    // A file that ends inside its root is read as far as it goes; say so.
    else if (!m->cut.empty()) std::fprintf(stderr, "%s: %s\n", Escaped(path).c_str(), m->cut.c_str());
    return m;
}

}  // namespace

// One line per chunk, depth-first pre-order: two spaces per level, the four
// name bytes, a space, the size.
int RunTree(const Args& a) {
    mesh::mshptr m = Open(a, a.operands[0]);
    if (!m) return kFailed;
    std::string out;
    mesh::PreOrder(*m->hedr, [&](const mesh::chunk& c, size_t depth) {
        out.append(2 * depth, ' ');
        out += Escaped(c.name);
        out += ' ';
        out += std::to_string(c.size);
        out += '\n';
        if (out.size() > (1u << 20)) {
            std::fwrite(out.data(), 1, out.size(), stdout);
            out.clear();
        }
    });
    std::fwrite(out.data(), 1, out.size(), stdout);
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

// The findings of a verification, one a line, in the order of the log.
int RunVerify(const Args& a) {
    mesh::mshptr m = Open(a, a.operands[0]);
    if (!m) return kFailed;
    std::vector<std::string> findings = mesh::VerifyMesh(*m);
    std::string out;
    for (const std::string& f : findings) {
        out += Escaped(f);
        out += '\n';
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    if (std::fflush(stdout) != 0) return kUnwritable;
    return findings.empty() ? kOk : kFindings;
}

}  // namespace tools
