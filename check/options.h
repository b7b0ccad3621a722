// The compiler option file beside a mesh (NAME.msh.option), read the way the
// model compiler reads it: the first word is an option, and so is every
// later word that starts with '-' (a word in double quotes never does); the
// words between are its arguments. There are no comments: "//" is an option
// name like any other, which the compiler ignores.
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
    bool softskin = false, softskinshadow = false, nocollision = false, largetexcoords = false;
    bool hiresshadow = false;
    int hiresshadowlod = 0;
    std::vector<Named> keep, keepmaterial, attachlight, bump;
    std::vector<OptionProblem> problems;  // bad values and unknown options
};

ParsedOptions ParseOptions(std::string_view text);

}  // namespace check
