// Text to integer: the number reader of the configuration files and the data input.
#include "display/textint.h"

namespace display {

static int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 99;
}

int32_t TextToInt(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) i++;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        i++;
    }
    uint32_t base = 10;
    if (i < text.size() && text[i] == '%') {
        base = 2;
        i++;
    } else if (i < text.size() && text[i] == '$') {
        base = 16;
        i++;
    }
    uint32_t value = 0;  // unsigned, so overflow wraps instead of being undefined
    for (; i < text.size(); i++) {
        int d = DigitValue(text[i]);
        if (d >= static_cast<int>(base)) break;
        value = value * base + static_cast<uint32_t>(d);
    }
    if (negative) value = 0u - value;
    return static_cast<int32_t>(value);
}

}  // namespace display
