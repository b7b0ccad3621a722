// mshtool check: the deep check over files and folders, in parallel, with
// the findings printed in the sorted order of the files.
#pragma once

#include <string>
#include <vector>

#include "check/check.h"
#include "tools/mshtool_cli.h"

namespace tools {

// The check reads each file's bytes by the format's schema: the
// container-name list and material grouping do not change its findings.
struct CheckRun {
    bool json = false;  // JSON Lines instead of text
    int jobs = 0;       // files checked at once; 0: one a core
    std::vector<std::string> base;  // the game's stock asset folders (--base)
};

// Checks every path (a file, or every *.msh below a folder, recursively and
// sorted), with the option file NAME.msh.option beside a mesh, and prints the findings to stdout, one a line, and the summary to
// stderr. The .odf and .tga files below the folders make them a mod tree:
// the references between the files are checked too (check/modtree.h), the
// ODFs' and TGAs' findings printed after the meshes', and the summary
// counts the findings by rule. Returns the exit status: 0 no error, 1 an error, 2 a file could not
// be read, 3 the output could not be written.
int RunCheck(const CheckRun& run, const std::vector<std::string>& paths);

// The check command of the table: its options read into a CheckRun.
int RunCheckCommand(const Args& a);

// One file to check or repair; a reason when it is known beforehand that it
// cannot be read (a path that does not exist, a folder that cannot be
// listed, a link that leads nowhere).
struct Item {
    std::string file;
    std::string unreadable;
};

// The files of the paths: a file as it is, a folder as every *.msh below it
// (sorted; links to folders not followed), and what could not be read on
// the way, each by its own path.
std::vector<Item> Collect(const std::vector<std::string>& paths);

// The same walk for the other commands that take folders (render DIR).
using MeshPath = Item;
std::vector<MeshPath> CollectMeshes(const std::vector<std::string>& paths);

// One finding as check prints it: "FILE: SEVERITY: PATH: [RULE] MESSAGE", or
// a JSON object; with its newline.
std::string FindingLine(bool json, const std::string& file, const check::Finding& f);

// Prints every rule of the check: its id and severity, what a finding means,
// why the game or its tools care and how to fix it. Returns the exit status
// (0, or 3 when the output could not be written).
int PrintRules();

}  // namespace tools
