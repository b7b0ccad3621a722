// The desktop's native file dialog, run as a separate program (zenity, or
// kdialog on KDE desktops). The program is started with an argument vector,
// never through a shell, and the chosen path is read back from its standard
// output, so any byte a file name may hold comes back unchanged.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace host {

enum class DialogStatus {
    Chosen,       // the user picked a path
    Cancelled,    // the user closed the dialog without a choice
    Unavailable,  // no dialog program, or it failed to run: ask some other way
};

struct DialogResult {
    DialogStatus status = DialogStatus::Unavailable;
    std::string path;  // set only when Chosen
};

enum class DialogKind { Zenity, Kdialog };

struct DialogProgram {
    DialogKind kind = DialogKind::Zenity;
    std::string path;  // executable to start; a bare name is looked up in PATH
};

// One group of a filter text "desc:ext;desc:ext" ("*" as ext for all files).
struct FilterGroup {
    std::string description;
    std::string extension;
};
std::vector<FilterGroup> ParseFilter(const std::string& filter);

// The full argument vector (program first) that asks `kind` for a file.
// `initialpath` names the starting directory, optionally followed by a
// proposed file name; '\' separators are accepted.
std::vector<std::string> DialogArguments(const DialogProgram& program, const std::string& title,
                                         const std::string& filter, bool save,
                                         const std::string& initialpath);

// Runs a program with the given arguments (argv[0] is looked up in PATH when
// it has no '/'), standard input from /dev/null, and collects what it writes.
struct ProgramRun {
    bool started = false;  // false when the program could not be executed
    int exitstatus = -1;   // exit code, or -1 when it died from a signal
    std::string out;
    std::string err;
};
// While the program runs, idle (when given) is called about every 100 ms, so
// the caller's window can keep answering its window system.
ProgramRun RunProgram(const std::vector<std::string>& argv, const std::function<void()>& idle = {});

// Full path of an executable named `name` in PATH, or empty.
std::string FindInPath(const std::string& name);

// The dialog program this desktop offers: kdialog on KDE when installed,
// otherwise zenity, otherwise kdialog. None without an X11 or Wayland display.
std::optional<DialogProgram> FindDialogProgram();

// Interprets a finished dialog run: exit 0 with output is a choice (only the
// final newline is removed), exit 1 a cancel, anything else a failure.
DialogResult InterpretDialogRun(const ProgramRun& run);

class FileDialog {
public:
    // Detects the desktop's dialog program on first use.
    FileDialog() = default;
    // Uses exactly this program (or none, which makes every request Unavailable).
    explicit FileDialog(std::optional<DialogProgram> program);

    DialogResult Request(const std::string& title, const std::string& filter, bool save,
                         const std::string& initialpath);
    // Called about every 100 ms while the dialog is open.
    void SetIdle(std::function<void()> idle) { idle_ = std::move(idle); }

private:
    std::function<void()> idle_;
    bool detected_ = false;
    std::optional<DialogProgram> program_;
};

}  // namespace host
