// The one line-edit routine of the modal prompts (see lineedit.h).
#include "display/lineedit.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "host/host.h"
#include "host/utf8.h"

namespace display {

namespace {
constexpr int kDel = 0x7F;  // a control character, though above the space
}

bool Accepts(LineChars set, int c) {
    if (c <= 0 || c >= 256) return false;
    switch (set) {
        case LineChars::Prompt: return kInputLineChars.find(static_cast<char>(c)) != std::string::npos;
        case LineChars::Any: return c >= ' ' && c != kDel;
        case LineChars::Text: return c >= ' ' && c < kDel;
    }
    return false;
}

std::string Refusal(LineChars set, int32_t c) {
    if (c > 0 && c < 256 && Accepts(set, c)) return "";
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c < 0 ? 0xFFFD : c));
    if (c == '\t') return "Tab is not taken here";
    if (c == ' ') return "a blank is not taken here";
    if (c < ' ' || c == kDel) return std::string("the control character ") + code + " is not taken here";
    if (c < kDel) return std::string("'") + static_cast<char>(c) + "' is not taken here";
    return std::string(code) + " is not taken: only ASCII characters";
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

LineEdit::LineEdit(std::string text, LineChars set) : text_(std::move(text)), caret_(text_.size()), set_(set) {}

void LineEdit::Insert(const std::string& s) {
    if (all_) {
        text_.clear();
        caret_ = 0;
        all_ = false;
    }
    text_.insert(caret_, s);
    caret_ += s.size();
    refused_.clear();
}

LineKey LineEdit::Type(int c) {
    if (c == 0) return LineKey::None;
    if (c == host::kKeyEnter) return LineKey::Enter;
    if (c == host::kKeyBackspace) {
        refused_.clear();
        if (all_) {
            text_.clear();
            caret_ = 0;
            all_ = false;
            return LineKey::Edited;
        }
        if (caret_ == 0) return LineKey::None;
        text_.erase(--caret_, 1);
        return LineKey::Edited;
    }
    refused_ = Refusal(set_, c);
    if (!refused_.empty()) return LineKey::None;
    Insert(std::string(1, static_cast<char>(c)));
    return LineKey::Edited;
}

void LineEdit::Keys(host::Host& host) {
    const int control = host::kModControl;
    if (host.KeyPresses(host::kKeyA, control, control) > 0) all_ = !text_.empty();
    if (host.KeyPresses(host::kKeyV, control, control) > 0) Paste(host.ClipboardText());
    if (host.KeyPresses(host::kKeyTab) > 0) refused_ = Refusal(set_, '\t');
    const int left = host.KeyPresses(host::kKeyLeft), right = host.KeyPresses(host::kKeyRight);
    const int home = host.KeyPresses(host::kKeyHome), end = host.KeyPresses(host::kKeyEnd);
    if (left + right + home + end > 0) all_ = false;
    caret_ -= std::min<size_t>(caret_, static_cast<size_t>(left));
    caret_ = std::min(text_.size(), caret_ + static_cast<size_t>(right));
    if (home > 0) caret_ = 0;
    if (end > 0) caret_ = text_.size();
    // Delete after the moves of the same frame.
    if (host.KeyPresses(host::kKeyDelete) > 0) {
        if (all_) {
            text_.clear();
            caret_ = 0;
        } else if (caret_ < text_.size()) {
            text_.erase(caret_, 1);
        }
        all_ = false;
    }
}

void LineEdit::Paste(std::string_view utf8) {
    while (!utf8.empty() && (utf8.back() == '\n' || utf8.back() == '\r')) utf8.remove_suffix(1);
    std::string in;
    for (size_t at = 0; at < utf8.size();) {
        const int32_t c = host::NextCodePoint(utf8, at);
        const std::string why = Refusal(set_, c);
        if (!why.empty()) {
            refused_ = why + ": nothing pasted";
            return;
        }
        in += static_cast<char>(c);
    }
    if (!in.empty()) Insert(in);
}

}  // namespace display
