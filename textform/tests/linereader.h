// A text form built by the builder's line reader alone, every line split
// into words, with the errors Build gives: what the lines a build reads in
// place are compared with (the tests and the fuzz target).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "textform/builder.h"

namespace textform {

inline bool BuildLineByLine(std::string_view text, std::vector<uint8_t>& out, std::string& error) {
    out.clear();
    Builder b(out);
    size_t number = 0;
    for (size_t a = 0; a <= text.size();) {
        size_t e = text.find('\n', a);
        if (e == std::string_view::npos) e = text.size();
        if (!b.Line(text.substr(a, e - a))) return error = "line " + std::to_string(number + 1) + ": " + b.error, false;
        ++number;
        a = e + 1;
    }
    return b.Finish() || (error = "at the end: " + b.error, false);
}

}  // namespace textform
