// The data view's pure helpers: its readout lines and the float input.
#include "editor/dataview.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace editor {

std::vector<std::string> ReadoutLines(const mesh::chunk& c, int at) {
    std::vector<std::string> lines;
    lines.push_back("at: " + std::to_string(at));
    if (at < c.size) {
        const int v = c.readbyte(at);
        lines.push_back("byt:" + std::to_string(v));
        std::string bin;
        for (int bit = 7; bit >= 0; --bit) bin += ((v >> bit) & 1) ? '1' : '0';
        lines.push_back("bin:" + bin);
    }
    if (static_cast<int64_t>(at) <= static_cast<int64_t>(c.size) - 2)
        lines.push_back("sht:" + std::to_string(c.readshort(at)));
    if (static_cast<int64_t>(at) <= static_cast<int64_t>(c.size) - 4) {
        lines.push_back("int:" + std::to_string(c.readint(at)));
        char buf[64];
        std::snprintf(buf, sizeof buf, "%#.9g", static_cast<double>(c.readfloat(at)));
        lines.push_back(std::string("flt:") + buf);
    }
    return lines;
}

float TextToFloat(const std::string& text) {
    // Take only the plain decimal form, so that hexadecimal floats, "inf" and
    // "nan" read as 0 like any other text without a number.
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    std::string num;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) num += text[i++];
    bool digits = false;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
        num += text[i++];
        digits = true;
    }
    if (i < text.size() && text[i] == '.') {
        num += text[i++];
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
            num += text[i++];
            digits = true;
        }
    }
    if (!digits) return 0.0f;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        size_t j = i + 1;
        std::string exp = "e";
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) exp += text[j++];
        bool expdigits = false;
        while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j]))) {
            exp += text[j++];
            expdigits = true;
        }
        if (expdigits) num += exp;
    }
    // strtof rounds once; going through a double first could round a number
    // next to a midpoint between two floats the wrong way.
    return std::strtof(num.c_str(), nullptr);
}

}  // namespace editor
