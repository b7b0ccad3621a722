// The compiler option file beside a mesh (NAME.msh.option), read the way the
// model compiler reads it: options start with '-', the words after one are
// its arguments ("quoted" words keep their spaces), and "//" starts a
// comment to the end of the line.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "check/rules.h"

namespace check {

struct OptionProblem {
    const char* rule;
    Severity severity;
    int line;
    std::string message;
};

struct ParsedOptions {
    struct Named {
        std::string name;
        int line;
    };
    bool keepall = false;
    std::vector<Named> keep, keepmaterial, attachlight, bump;
    std::vector<OptionProblem> problems;  // bad values and unknown options
};

ParsedOptions ParseOptions(std::string_view text);

}  // namespace check
