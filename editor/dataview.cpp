// The data view's pure helper: its readout lines.
#include "editor/dataview.h"

#include <cstdio>

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

}  // namespace editor
