// The desktop's native file dialog, run as a separate program.
#include "host/file_dialog.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "files/files.h"

namespace host {

namespace {

std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return "";
    size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

// The glob for one extension: "*" stays "*", "msh" becomes "*.msh".
std::string Pattern(const std::string& ext) {
    if (ext.empty() || ext == "*") return "*";
    return "*." + ext;
}

bool EnvSet(const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr && *v != '\0';
}

}  // namespace

std::vector<FilterGroup> ParseFilter(const std::string& filter) {
    std::vector<FilterGroup> groups;
    size_t start = 0;
    while (start <= filter.size()) {
        size_t end = filter.find(';', start);
        if (end == std::string::npos) end = filter.size();
        std::string part = filter.substr(start, end - start);
        if (!Trim(part).empty()) {
            FilterGroup g;
            size_t colon = part.rfind(':');
            if (colon == std::string::npos) {
                g.extension = Trim(part);
                g.description = g.extension;
            } else {
                g.description = Trim(part.substr(0, colon));
                g.extension = Trim(part.substr(colon + 1));
            }
            // A leading dot or glob in the extension is tolerated.
            if (g.extension.rfind("*.", 0) == 0) g.extension.erase(0, 2);
            if (!g.extension.empty() && g.extension[0] == '.') g.extension.erase(0, 1);
            if (g.description.empty()) g.description = Pattern(g.extension);
            groups.push_back(g);
        }
        start = end + 1;
    }
    return groups;
}

std::vector<std::string> DialogArguments(const DialogProgram& program, const std::string& title,
                                         const std::string& filter, bool save,
                                         const std::string& initialpath) {
    std::vector<std::string> args;
    args.push_back(program.path);
    std::string start = NativePath(initialpath);
    std::vector<FilterGroup> groups = ParseFilter(filter);
    if (program.kind == DialogKind::Zenity) {
        args.push_back("--file-selection");
        args.push_back("--title=" + title);
        if (save) {
            args.push_back("--save");
            args.push_back("--confirm-overwrite");
        }
        if (!start.empty()) args.push_back("--filename=" + start);
        for (const FilterGroup& g : groups) {
            // zenity splits the name from the patterns at '|'.
            std::string desc = g.description;
            for (char& c : desc)
                if (c == '|') c = '/';
            args.push_back("--file-filter=" + desc + " | " + Pattern(g.extension));
        }
    } else {
        args.push_back("--title");
        args.push_back(title);
        args.push_back(save ? "--getsavefilename" : "--getopenfilename");
        args.push_back(start.empty() ? "." : start);
        std::string kfilter;
        for (const FilterGroup& g : groups) {
            if (!kfilter.empty()) kfilter += '\n';
            std::string desc = g.description;
            for (char& c : desc)
                if (c == '\n') c = ' ';
            kfilter += Pattern(g.extension) + "|" + desc;
        }
        if (!kfilter.empty()) args.push_back(kfilter);
    }
    return args;
}

ProgramRun RunProgram(const std::vector<std::string>& argv, const std::function<void()>& idle) {
    ProgramRun run;
    if (argv.empty() || argv[0].empty()) return run;

    // Everything the child needs is prepared before fork: after it, the child
    // only calls async-signal-safe functions.
    std::vector<char*> cargv;
    for (const std::string& a : argv) cargv.push_back(const_cast<char*>(a.c_str()));
    cargv.push_back(nullptr);

    int outpipe[2], errpipe[2], execpipe[2];
    if (pipe2(outpipe, O_CLOEXEC) != 0) return run;
    if (pipe2(errpipe, O_CLOEXEC) != 0) {
        close(outpipe[0]);
        close(outpipe[1]);
        return run;
    }
    if (pipe2(execpipe, O_CLOEXEC) != 0) {
        close(outpipe[0]);
        close(outpipe[1]);
        close(errpipe[0]);
        close(errpipe[1]);
        return run;
    }
    int devnull = open("/dev/null", O_RDONLY | O_CLOEXEC);

    pid_t pid = fork();
    if (pid == 0) {
        if (devnull >= 0) dup2(devnull, 0);
        dup2(outpipe[1], 1);
        dup2(errpipe[1], 2);
        execvp(cargv[0], cargv.data());
        int e = errno;
        ssize_t ignored = write(execpipe[1], &e, sizeof e);
        (void)ignored;
        _exit(127);
    }
    close(outpipe[1]);
    close(errpipe[1]);
    close(execpipe[1]);
    if (devnull >= 0) close(devnull);
    if (pid < 0) {
        close(outpipe[0]);
        close(errpipe[0]);
        close(execpipe[0]);
        return run;
    }

    // Read both outputs until the child closes them, so neither pipe can fill
    // up and stall it.
    pollfd fds[2] = {{outpipe[0], POLLIN, 0}, {errpipe[0], POLLIN, 0}};
    std::string* sinks[2] = {&run.out, &run.err};
    int open_count = 2;
    char buf[4096];
    while (open_count > 0) {
        int r = poll(fds, 2, idle ? 100 : -1);
        if (r == 0) {
            idle();
            continue;
        }
        if (r < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            ssize_t n = read(fds[i].fd, buf, sizeof buf);
            if (n > 0) {
                sinks[i]->append(buf, static_cast<size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open_count;
            }
        }
    }
    for (pollfd& p : fds)
        if (p.fd >= 0) close(p.fd);

    int execerr = 0;
    ssize_t got;
    do {
        got = read(execpipe[0], &execerr, sizeof execerr);
    } while (got < 0 && errno == EINTR);
    close(execpipe[0]);

    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return run;
    }
    if (got > 0) return run;  // exec failed: the program never ran
    run.started = true;
    run.exitstatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

std::string FindInPath(const std::string& name) {
    if (name.empty()) return "";
    if (name.find('/') != std::string::npos) return access(name.c_str(), X_OK) == 0 ? name : "";
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        std::string dir = dirs.substr(start, end - start);
        if (dir.empty()) dir = ".";
        std::string full = dir + "/" + name;
        if (access(full.c_str(), X_OK) == 0 && PathKind(full) == EntryKind::File) return full;
        start = end + 1;
    }
    return "";
}

std::optional<DialogProgram> FindDialogProgram() {
    if (!EnvSet("DISPLAY") && !EnvSet("WAYLAND_DISPLAY")) return std::nullopt;
    std::string zenity = FindInPath("zenity");
    std::string kdialog = FindInPath("kdialog");
    const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
    bool kde = desktop != nullptr && std::strstr(desktop, "KDE") != nullptr;
    if (kde && !kdialog.empty()) return DialogProgram{DialogKind::Kdialog, kdialog};
    if (!zenity.empty()) return DialogProgram{DialogKind::Zenity, zenity};
    if (!kdialog.empty()) return DialogProgram{DialogKind::Kdialog, kdialog};
    return std::nullopt;
}

DialogResult InterpretDialogRun(const ProgramRun& run) {
    DialogResult result;
    if (!run.started) return result;
    if (run.exitstatus == 0) {
        std::string path = run.out;
        if (!path.empty() && path.back() == '\n') path.pop_back();
        if (path.empty()) {
            result.status = DialogStatus::Cancelled;
        } else {
            result.status = DialogStatus::Chosen;
            result.path = path;
        }
        return result;
    }
    // A toolkit that cannot reach the display also ends with status 1, which
    // would otherwise look like a cancel.
    if (run.exitstatus == 1 && run.err.find("cannot open display") == std::string::npos)
        result.status = DialogStatus::Cancelled;
    return result;
}

FileDialog::FileDialog(std::optional<DialogProgram> program)
    : detected_(true), program_(std::move(program)) {}

DialogResult FileDialog::Request(const std::string& title, const std::string& filter, bool save,
                                 const std::string& initialpath) {
    if (!detected_) {
        program_ = FindDialogProgram();
        detected_ = true;
    }
    if (!program_) return DialogResult{};
    return InterpretDialogRun(RunProgram(DialogArguments(*program_, title, filter, save, initialpath), idle_));
}

}  // namespace host
