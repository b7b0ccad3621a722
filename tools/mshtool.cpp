// mshtool: the mesh model on the command line, for scripts and build
// pipelines. The commands are the entries of the table in
// tools/mshtool_commands.cpp; this file parses a call against the table,
// prints the help and the version, finds the container-name list and runs the
// command.
//
//   mshtool --help | --version
//   mshtool COMMAND --help
//   mshtool COMMAND [--format FILE] [--no-matl] [OPTION...] OPERAND...
//
// Exit codes: 0 done, 1 findings, 2 wrong usage or unreadable input, 3 the
// output could not be written (any existing file is left as it was). A
// failure prints its message on stderr and the reason on the line after it.
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <cstring>
#include <string>
#include <system_error>
#include <vector>

#include "files/files.h"
#include "mesh/formatlist.h"
#include "tools/mshtool_cli.h"

#ifndef MSHTOOL_FORMAT_FILE
#define MSHTOOL_FORMAT_FILE ""
#endif
#ifndef VORNA_VERSION
#define VORNA_VERSION "unknown"
#endif

namespace tools {

namespace {

// The options of every command that reads meshes.
const std::vector<Option>& MeshOptions() {
    static const std::vector<Option> options = {
        {"--format", "FILE", "the container-name list (default: mdata/format.txt)"},
        {"--no-matl", nullptr, "material lists as one block, not grouped into MATD chunks"},
    };
    return options;
}

std::vector<Option> AllOptions(const Command& c) {
    std::vector<Option> all;
    if (c.reads_meshes) all = MeshOptions();
    all.insert(all.end(), c.options.begin(), c.options.end());
    return all;
}

std::string UsageLine(const Command& c) {
    std::string s = std::string("mshtool ") + c.name;
    for (const Option& o : AllOptions(c)) {
        s += std::string(" [") + o.name;
        if (o.value) s += std::string(" ") + o.value;
        s += "]";
    }
    return s + " " + c.operands;
}

// Options as an aligned list, two spaces in.
std::string OptionList(const std::vector<Option>& options) {
    size_t width = 0;
    std::vector<std::string> heads;
    for (const Option& o : options) {
        heads.push_back(std::string(o.name) + (o.value ? std::string(" ") + o.value : ""));
        width = std::max(width, heads.back().size());
    }
    std::string s;
    for (size_t i = 0; i < options.size(); ++i)
        s += "  " + heads[i] + std::string(width - heads[i].size() + 2, ' ') + options[i].help + "\n";
    return s;
}

std::string Indented(const char* text) {
    std::string s = "  ";
    for (const char* p = text; *p; ++p) {
        s += *p;
        if (*p == '\n' && p[1]) s += "  ";
    }
    return s;
}

std::string CommandHelp(const Command& c) {
    std::vector<Option> options = AllOptions(c);
    options.push_back({"--help", nullptr, "this text"});
    return "usage: " + UsageLine(c) + "\n\n" + c.description + "\n\noptions:\n" + OptionList(options) +
           "\nexit status:\n" + Indented(c.exits);
}

std::string ProgramUsage() {
    std::string s;
    const char* lead = "usage: ";
    for (const Command& c : Commands()) {
        s += lead + UsageLine(c) + "\n";
        lead = "       ";
    }
    return s;
}

std::string ProgramHelp() {
    std::string s = ProgramUsage() +
                    "       mshtool COMMAND --help\n"
                    "       mshtool --version\n\n"
                    "The mesh files (.msh) of SWBFII on the command line, read, saved and\n"
                    "checked the way the editor vornabel does.\n\ncommands:\n";
    size_t width = 0;
    for (const Command& c : Commands()) width = std::max(width, std::string(c.name).size());
    for (const Command& c : Commands())
        s += std::string("  ") + c.name + std::string(width - std::string(c.name).size() + 2, ' ') + c.summary + "\n";
    s += "\noptions of every command that reads meshes:\n" + OptionList(MeshOptions()) +
         "\nexit status:\n"
         "  0  done\n"
         "  1  findings (verify, check)\n"
         "  2  a mesh cannot be read, memory ran out, or the call is wrong\n"
         "  3  the output cannot be written\n";
    return s;
}

int ProgramUsageError() {
    std::fputs((ProgramUsage() + "Try 'mshtool --help'.\n").c_str(), stderr);
    return kFailed;
}

const Option* Find(const std::vector<Option>& options, const std::string& name) {
    for (const Option& o : options)
        if (name == o.name) return &o;
    return nullptr;
}

// Parses the arguments after the command name. False on an unknown option,
// a missing value or a wrong number of operands; help is set by --help.
bool Parse(const Command& c, int argc, char** argv, Args& a, bool& help) {
    const std::vector<Option> options = AllOptions(c);
    bool operands_only = false;
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        if (operands_only || arg.size() < 2 || arg[0] != '-') {
            a.operands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            operands_only = true;
            continue;
        }
        if (arg == "--help") {
            help = true;
            continue;
        }
        std::string name = arg, value;
        const size_t eq = arg.find('=');
        if (eq != std::string::npos) name = arg.substr(0, eq);
        const Option* o = Find(options, name);
        if (!o) return false;
        if (o->value) {
            if (eq != std::string::npos) value = arg.substr(eq + 1);
            else if (i + 1 < argc) value = argv[++i];
            else return false;
        } else if (eq != std::string::npos) {
            return false;
        }
        a.options.emplace_back(name, value);
    }
    return a.operands.size() >= c.min_operands && a.operands.size() <= c.max_operands;
}

// The container-name list: --format, else mdata/format.txt in the working
// directory, else the copy beside the program, else the installed one, else
// the one of the source tree it was built from.
bool LoadFormat(const Args& a, mesh::namelist& list) {
    if (a.Has("--format")) {
        const std::string file = a.Value("--format");
        if (host::PathKind(file) != host::EntryKind::File) {
            std::fprintf(stderr, "Unable to read format file %s.\n", Escaped(file).c_str());
            return false;
        }
        list = mesh::ReadFormatList(file);
        return true;
    }
    const std::string candidates[] = {host::DataRoot("mdata/format.txt") + "mdata/format.txt", MSHTOOL_FORMAT_FILE};
    for (const std::string& c : candidates) {
        if (!c.empty() && host::PathKind(c) == host::EntryKind::File) {
            list = mesh::ReadFormatList(c);
            return true;
        }
    }
    list.clear();  // no list anywhere: every chunk is read as a leaf
    return true;
}

int Main(int argc, char** argv) {
    if (argc < 2) return ProgramUsageError();
    const std::string first = argv[1];
    if (first == "--help" || first == "-h") {
        std::fputs(ProgramHelp().c_str(), stdout);
        return std::fflush(stdout) == 0 ? kOk : kUnwritable;
    }
    if (first == "--version") {
        std::fputs("mshtool " VORNA_VERSION "\n", stdout);
        return std::fflush(stdout) == 0 ? kOk : kUnwritable;
    }
    const Command* command = nullptr;
    for (const Command& c : Commands())
        if (first == c.name) command = &c;
    if (!command) return ProgramUsageError();

    Args a;
    a.command = command;
    bool help = false;
    const bool ok = Parse(*command, argc, argv, a, help);
    if (help) {
        std::fputs(CommandHelp(*command).c_str(), stdout);
        return std::fflush(stdout) == 0 ? kOk : kUnwritable;
    }
    if (!ok) return Usage(*command);
    a.matl = a.Has("--no-matl") ? 0 : 1;
    if (command->reads_meshes && !LoadFormat(a, a.list)) return kFailed;
    // Running out of memory, or of threads, anywhere in a command ends it
    // with a reason and the files it was working on, never with an abort.
    std::string files;
    for (const std::string& o : a.operands) files += (files.empty() ? "" : ", ") + Escaped(o);
    try {
        return command->run(a);
    } catch (const std::bad_alloc&) {
        return OutOfMemory(files);
    } catch (const std::system_error& e) {
        Report(("Unable to run mshtool " + std::string(command->name) + " on " + files + ".").c_str(), e.what());
        return kFailed;
    }
}

}  // namespace

bool Args::Has(const std::string& name) const {
    for (const auto& [n, v] : options)
        if (n == name) return true;
    return false;
}

std::string Args::Value(const std::string& name, const std::string& fallback) const {
    std::string value = fallback;
    for (const auto& [n, v] : options)
        if (n == name) value = v;
    return value;
}

void Report(const char* message, const std::string& reason) {
    std::fprintf(stderr, "%s\n", message);
    if (!reason.empty()) std::fprintf(stderr, "%s\n", reason.c_str());
}

void ReportUnreadable(const std::string& file, const std::string& why) {
    if (why == host::SystemError(ENOMEM))
        Report(("Out of memory while reading " + Escaped(file) + ".").c_str(), why);
    else
        Report("Unable to read mesh file.", why);
}

int OutOfMemory(const std::string& what) {
    // Said without building anything large: memory has just run out.
    std::fprintf(stderr, "Out of memory on %s.\n%s\n", what.c_str(), std::strerror(ENOMEM));
    return kFailed;
}

int Usage(const Command& c) {
    std::fputs(("usage: " + UsageLine(c) + "\nTry 'mshtool " + c.name + " --help'.\n").c_str(), stderr);
    return kFailed;
}

std::string Escaped(std::string_view text) {
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (const char ch : text) {
        const auto b = static_cast<unsigned char>(ch);
        if (b == '\\') out += "\\\\";
        else if (b >= 0x20 && b < 0x7F) out += ch;
        else if (b == '\n') out += "\\n";
        else if (b == '\r') out += "\\r";
        else if (b == '\t') out += "\\t";
        else {
            out += "\\x";
            out += kHex[b >> 4];
            out += kHex[b & 15];
        }
    }
    return out;
}

bool ReadCount(const std::string& text, long lo, long hi, long& n) {
    if (text.empty() || text[0] < '0' || text[0] > '9') return false;
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (errno || *end != '\0' || v < lo || v > hi) return false;
    n = v;
    return true;
}

}  // namespace tools

int main(int argc, char** argv) {
    try {
        return tools::Main(argc, argv);
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "Out of memory.\n%s\n", std::strerror(ENOMEM));
        return tools::kFailed;
    } catch (const std::system_error& e) {
        std::fprintf(stderr, "Unable to run mshtool.\n%s\n", e.what());
        return tools::kFailed;
    }
}
