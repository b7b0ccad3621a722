// Fuzz target of the text form's build: whatever the text, and wherever it
// is cut into parts read ahead on other threads, the build gives the bytes
// and the error of a build on one thread, and never crashes.
// Input: a byte for the size of a part, a byte for the threads, the text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "textform/textform.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const textform::Spread spread{.threads = 2u + data[1] % 7u, .piece = 1u + data[0]};
    const std::string_view text(reinterpret_cast<const char*>(data + 2), size - 2);
    std::vector<uint8_t> alone, spread_out;
    std::string why, spread_why;
    const bool ok = textform::Build(text, alone, why, {.threads = 1});
    const bool spread_ok = textform::Build(text, spread_out, spread_why, spread);
    if (ok != spread_ok || why != spread_why || alone != spread_out) std::abort();
    return 0;
}
