// Fuzz target of the text form's build: whatever the text, the lines read
// in place give the bytes and the error that the line reader gives, and
// nothing crashes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "textform/tests/linereader.h"
#include "textform/textform.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<uint8_t> fast, slow;
    std::string why, slow_why;
    const bool ok = textform::Build(text, fast, why);
    const bool slow_ok = textform::BuildLineByLine(text, slow, slow_why);
    if (ok != slow_ok || why != slow_why || (ok && fast != slow)) std::abort();
    return 0;
}
