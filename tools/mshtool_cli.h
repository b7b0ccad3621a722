// mshtool's commands: one table names each command with its usage, what it
// does, its options and its exit codes; the help texts and the argument
// parsing are made from it. A new command is one more entry in the table
// (tools/mshtool_commands.cpp) and a run function in a file of its own.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "mesh/chunk.h"

namespace tools {

// An option of a command. value names its argument ("FILE", "N"); a flag
// has none.
struct Option {
    const char* name;   // "--jobs"
    const char* value;  // nullptr for a flag
    const char* help;   // one line
};

// What the command line gave a command, once parsed against its options.
struct Command;
struct Args {
    const Command* command = nullptr;
    std::vector<std::pair<std::string, std::string>> options;  // name, value ("" for a flag)
    std::vector<std::string> operands;
    mesh::namelist list;  // the container-name list (--format, or the default lookup)
    int matl = 1;         // material grouping (--no-matl turns it off)

    bool Has(const std::string& name) const;
    // The value of the last occurrence of the option; fallback without one.
    std::string Value(const std::string& name, const std::string& fallback = "") const;
};

// Exit codes every command shares.
enum Exit { kOk = 0, kFindings = 1, kFailed = 2, kUnwritable = 3 };

struct Command {
    const char* name;
    const char* operands;  // as in the usage line: "MESH", "IN OUT", "PATH..."
    size_t min_operands;
    size_t max_operands;  // SIZE_MAX: no limit
    const char* summary;      // one line for the command list
    const char* description;  // what it does, a few lines
    std::vector<Option> options;  // besides --format and --no-matl, which every command reading a mesh takes
    const char* exits;            // the exit codes, one "N  meaning" a line
    int (*run)(const Args&);
    bool reads_meshes = true;  // takes --format and --no-matl
};

// The table, in the order of the help.
const std::vector<Command>& Commands();

// Prints a failure: the message, then the reason on a line of its own, on
// stderr.
void Report(const char* message, const std::string& reason);

// A mesh that could not be read: "Unable to read mesh file." and the reason,
// or, when memory ran out, "Out of memory while reading FILE." and the
// system's text for it.
void ReportUnreadable(const std::string& file, const std::string& why);

// Memory ran out while working on what (a file, or the files of a call):
// prints "Out of memory on WHAT." and the system's text for it, and returns
// kFailed.
int OutOfMemory(const std::string& what);

// Prints the usage of the command to stderr and returns kFailed: what a
// command answers a call it cannot run.
int Usage(const Command& c);

// Text for a terminal or a line-oriented reader: a byte that is not printable
// ASCII is written as an escape (\n, \r, \t, else \xHH), and a backslash as
// \\, so a name in a mesh can neither start a line of its own nor reach the
// terminal as a control sequence.
std::string Escaped(std::string_view text);

// A text (a name, a path, a message) as a key of a JSON object: a string as
// it is when it is UTF-8; otherwise the string holds it escaped as Escaped
// writes it, and KEY_bytes holds its bytes in hexadecimal, so that nothing
// of it is lost.
void PutText(nlohmann::ordered_json& j, const std::string& key, std::string_view text);

// One line of JSON (a lone invalid byte cannot remain: PutText keeps them out).
std::string JsonLine(const nlohmann::ordered_json& j);

// The numbers of the options, read as every number a user types is read
// (format/number.h): false for a text that is not the whole number, or for a
// number outside [lo, hi].
// A whole number, as --jobs and --size take it (8, $10, %1000).
bool ReadCount(const std::string& text, long lo, long hi, long& n);
// A finite number, as --yaw and --tolerance take it (30, -2.5, 1e-3).
bool ReadReal(const std::string& text, float lo, float hi, float& out);

}  // namespace tools
