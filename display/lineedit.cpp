// The one line-edit routine of the modal prompts (see lineedit.h).
#include "display/lineedit.h"

#include "host/host.h"

namespace display {

namespace {
constexpr int kDel = 0x7F;  // a control character, though above the space
}

bool Accepts(LineChars set, int c) {
    if (c <= 0 || c >= 256) return false;
    switch (set) {
        case LineChars::Prompt: return kInputLineChars.find(static_cast<char>(c)) != std::string::npos;
        case LineChars::Any: return c >= ' ' && c != kDel;
    }
    return false;
}

LineKey TypeInto(std::string& text, int c, LineChars set) {
    if (c == host::kKeyEnter) return LineKey::Enter;
    if (c == host::kKeyBackspace) {
        if (text.empty()) return LineKey::None;
        text.pop_back();
        return LineKey::Edited;
    }
    if (!Accepts(set, c)) return LineKey::None;
    text += static_cast<char>(c);
    return LineKey::Edited;
}

}  // namespace display
