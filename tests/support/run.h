// Running a command-line program from a test: its exit code and what it
// printed on stdout and stderr, captured through files in a directory.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace testsupport {

struct Outcome {
    int code = -1;  // the exit status; -1 when the program did not exit normally
    std::string out, err;
};

inline std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Runs `program args` through the shell with dir as its working directory;
// stdout and stderr go to out.txt and err.txt there.
inline Outcome RunIn(const std::string& dir, const std::string& program, const std::string& args) {
    std::string cmd = "cd '" + dir + "' && '" + program + "' " + args + " >out.txt 2>err.txt";
    int status = std::system(cmd.c_str());
    Outcome r;
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = Slurp(dir + "/out.txt");
    r.err = Slurp(dir + "/err.txt");
    return r;
}

}  // namespace testsupport
