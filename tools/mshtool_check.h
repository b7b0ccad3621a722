// mshtool check: the deep check over files and folders, in parallel, with
// the findings printed in the sorted order of the files.
#pragma once

#include <string>
#include <vector>

#include "mesh/chunk.h"
#include "tools/mshtool_cli.h"

namespace tools {

struct CheckRun {
    const mesh::namelist* list = nullptr;  // the container-name list
    int matl = 1;                          // material grouping
    bool json = false;                     // JSON Lines instead of text
    int jobs = 0;                          // files checked at once; 0: one a core
};

// Checks every path (a file, or every *.msh below a folder, recursively and
// sorted) and prints the findings to stdout, one a line, and the summary to
// stderr. Returns the exit status: 0 no error, 1 an error, 2 a file could not
// be read, 3 the output could not be written.
int RunCheck(const CheckRun& run, const std::vector<std::string>& paths);

// The check command of the table: its options read into a CheckRun.
int RunCheckCommand(const Args& a);

}  // namespace tools
