// Text to integer, as the configuration files and the data input read
// numbers: leading blanks skipped, an optional '+' or '-', then "%" and
// binary digits, "$" and hexadecimal digits of either case, or decimal
// digits. Reading stops at the first character that does not fit; no digits
// give 0; the value wraps to 32 bits.
#pragma once

#include <cstdint>
#include <string_view>

namespace display {

int32_t TextToInt(std::string_view text);

}  // namespace display
