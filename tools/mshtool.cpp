// mshtool: the mesh model on the command line, for scripts and build
// pipelines. Reading is what the editor's open command does (the container-name
// list, material grouping unless --no-matl, a rebuild); saving is the editor's
// save.
//
//   mshtool tree   [--format FILE] [--no-matl] MESH
//   mshtool resave [--format FILE] [--no-matl] IN OUT
//   mshtool verify [--format FILE] [--no-matl] MESH
//   mshtool check  [--format FILE] [--no-matl] [--json] [--jobs N] PATH...
//
// verify prints each finding on a line of its own and exits 0 when there is
// none, 1 when there is at least one.
// check runs the deep check on each file, and on every *.msh below a folder;
// see tools/mshtool_check.cpp.
// Exit codes: 0 done, 2 wrong usage or unreadable input, 3 the output could
// not be written (any existing file is left as it was). A failure prints its
// message on stderr and the reason on the line after it.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "host/files.h"
#include "mesh/formatlist.h"
#include "mesh/msh.h"
#include "mesh/verify.h"
#include "mesh/walk.h"
#include "tools/mshtool_check.h"

#ifndef MSHTOOL_FORMAT_FILE
#define MSHTOOL_FORMAT_FILE ""
#endif

namespace {

const char kUsage[] =
    "usage: mshtool tree   [--format FILE] [--no-matl] MESH\n"
    "       mshtool resave [--format FILE] [--no-matl] IN OUT\n"
    "       mshtool verify [--format FILE] [--no-matl] MESH\n"
    "       mshtool check  [--format FILE] [--no-matl] [--json] [--jobs N] PATH...\n";

int Usage() {
    std::fputs(kUsage, stderr);
    return 2;
}

// The options every subcommand takes, and what is left.
struct Options {
    bool ok = true;
    std::string format;  // empty: the default lookup
    int matl = 1;
    bool json = false;  // check only
    int jobs = 0;       // check only; 0: one a core
    std::vector<std::string> args;
};

Options Parse(int argc, char** argv) {
    Options o;
    for (int i = 2; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--format") {
            if (i + 1 >= argc) o.ok = false;
            else o.format = argv[++i];
        } else if (a == "--no-matl") {
            o.matl = 0;
        } else if (a == "--json") {
            o.json = true;
        } else if (a == "--jobs") {
            char* end = nullptr;
            const long n = i + 1 < argc ? std::strtol(argv[i + 1], &end, 10) : 0;
            if (i + 1 >= argc || !end || *end != '\0' || n < 1 || n > 1024) o.ok = false;
            else o.jobs = int(n);
            ++i;
        } else if (a.size() > 1 && a[0] == '-') {
            o.ok = false;
        } else {
            o.args.push_back(a);
        }
    }
    return o;
}

// The container-name list: --format, else mdata/format.txt in the working
// directory, else the copy beside the program, else the one it was built with.
bool LoadFormat(const Options& o, const char* argv0, mesh::namelist& list) {
    if (!o.format.empty()) {
        if (host::PathKind(o.format) != 1) {
            std::fprintf(stderr, "Unable to read format file %s.\n", o.format.c_str());
            return false;
        }
        list = mesh::ReadFormatList(o.format);
        return true;
    }
    std::string self = host::DirectoryPart(argv0 ? argv0 : "");
    if (self.empty()) self = ".";  // started through PATH or from its own folder
    const std::string candidates[] = {"mdata/format.txt", self + "/mdata/format.txt", MSHTOOL_FORMAT_FILE};
    for (const std::string& c : candidates) {
        if (!c.empty() && host::PathKind(c) == 1) {
            list = mesh::ReadFormatList(c);
            return true;
        }
    }
    list.clear();  // no list anywhere: every chunk is read as a leaf
    return true;
}

// A failure: the message, then why on a line of its own.
void Report(const char* message, const std::string& reason) {
    std::fprintf(stderr, "%s\n", message);
    if (!reason.empty()) std::fprintf(stderr, "%s\n", reason.c_str());
}

mesh::mshptr Open(const Options& o, const mesh::namelist& list, const std::string& path) {
    std::string why;
    mesh::mshptr m = mesh::OpenMesh(path, list, o.matl, &why);
    if (!m) Report("Unable to read mesh file.", why);
    return m;
}

// One line per chunk, depth-first pre-order: two spaces per level, the four
// name bytes, a space, the size.
int Tree(const Options& o, const mesh::namelist& list) {
    if (o.args.size() != 1) return Usage();
    mesh::mshptr m = Open(o, list, o.args[0]);
    if (!m) return 2;
    std::string out;
    mesh::PreOrder(*m->hedr, [&](const mesh::chunk& c, size_t depth) {
        out.append(2 * depth, ' ');
        out += c.name;
        out += ' ';
        out += std::to_string(c.size);
        out += '\n';
        if (out.size() > (1u << 20)) {
            std::fwrite(out.data(), 1, out.size(), stdout);
            out.clear();
        }
    });
    std::fwrite(out.data(), 1, out.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 3;
}

int Resave(const Options& o, const mesh::namelist& list) {
    if (o.args.size() != 2) return Usage();
    mesh::mshptr m = Open(o, list, o.args[0]);
    if (!m) return 2;
    std::string why;
    if (!m->Save(o.args[1], o.matl, &why)) {
        Report("Unable to write mesh file.", why);
        return 3;
    }
    return 0;
}

// The findings of a verification, one a line, in the order of the log.
int Verify(const Options& o, const mesh::namelist& list) {
    if (o.args.size() != 1) return Usage();
    mesh::mshptr m = Open(o, list, o.args[0]);
    if (!m) return 2;
    std::vector<std::string> findings = mesh::VerifyMesh(*m);
    std::string out;
    for (const std::string& f : findings) {
        out += f;
        out += '\n';
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    if (std::fflush(stdout) != 0) return 3;
    return findings.empty() ? 0 : 1;
}

int Check(const Options& o, const mesh::namelist& list) {
    if (o.args.empty()) return Usage();
    tools::CheckRun run;
    run.list = &list;
    run.matl = o.matl;
    run.json = o.json;
    run.jobs = o.jobs;
    return tools::RunCheck(run, o.args);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    std::string command = argv[1];
    Options o = Parse(argc, argv);
    if (!o.ok) return Usage();
    // Subcommands.
    int (*run)(const Options&, const mesh::namelist&) = nullptr;
    if (command == "tree") run = Tree;
    else if (command == "resave") run = Resave;
    else if (command == "verify") run = Verify;
    else if (command == "check") run = Check;
    if (!run) return Usage();
    if (run != Check && (o.json || o.jobs)) return Usage();
    mesh::namelist list;
    if (!LoadFormat(o, argv[0], list)) return 2;
    try {
        return run(o, list);
    } catch (const std::bad_alloc&) {
        Report("Out of memory.", host::SystemError(ENOMEM));
        return 2;
    }
}
