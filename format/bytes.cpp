#include "format/bytes.h"

namespace format {

std::string ShortReason(int64_t width, int64_t at, int64_t size) {
    if (width < 0) return "a length of " + std::to_string(width) + " bytes at offset " + std::to_string(at);
    if (at < 0 || at > size)
        return std::to_string(width) + " bytes needed at offset " + std::to_string(at) + ", outside the " +
               std::to_string(size) + " bytes";
    return std::to_string(width) + " bytes needed at offset " + std::to_string(at) + ", " +
           std::to_string(size - at) + " left";
}

}  // namespace format
