// The status text's two rows (see statusline.h).
#include "editor/statusline.h"

#include <utility>

#include "display/lineedit.h"
#include "display/tilemap.h"

namespace editor {

StatusRows FlowStatus(const std::string& text, const StatusPlace& at) {
    auto take = [](std::string& rest, size_t w) {
        if (rest.size() <= w) return std::exchange(rest, std::string());
        size_t len = w, next = w;
        const size_t blank = rest.rfind(' ', w);
        if (blank != std::string::npos && blank >= w * 2 / 3) {
            len = blank;
            next = blank + 1;
        }
        std::string row = rest.substr(0, len);
        rest.erase(0, next);
        return row;
    };
    const size_t w1 = at.w1 > 0 ? size_t(at.w1) : 0, w2 = at.w2 > 0 ? size_t(at.w2) : 0;
    StatusRows r;
    std::string rest = text;
    r.first = take(rest, w1);
    if (rest.size() <= w2) {
        r.second = rest;
        return r;
    }
    r.cut = true;
    if (w2 > 0) r.second = take(rest, w2 - 1) + static_cast<char>(display::kCutMark);
    return r;
}

std::string RefusedChar(int c) {
    if (c == ',') return "',' is not taken: the decimal mark is a point (1.5)";
    const std::string why = display::Refusal(display::LineChars::Text, c);
    return why.empty() ? std::string("'") + static_cast<char>(c) + "' is not taken here" : why;
}

}  // namespace editor
