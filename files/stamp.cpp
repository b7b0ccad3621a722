// What a path is (see stamp.h).
#include "files/stamp.h"

#include <sys/stat.h>

#include <cerrno>

#include "files/files.h"

namespace host {

std::string NotAFile(const std::string& path) {
    struct stat st;
    if (path.empty()) return SystemError(ENOENT);
    if (::stat(NativePath(path).c_str(), &st) != 0) return SystemError(errno);
    if (S_ISDIR(st.st_mode)) return SystemError(EISDIR);
    if (!S_ISREG(st.st_mode)) return "Not a regular file";
    return "";
}

FileStamp StampOf(const std::string& path) {
    FileStamp s;
    struct stat st;
    if (path.empty() || ::stat(NativePath(path).c_str(), &st) != 0) return s;
    s.exists = true;
    s.dev = static_cast<uint64_t>(st.st_dev);
    s.ino = static_cast<uint64_t>(st.st_ino);
    s.size = static_cast<int64_t>(st.st_size);
    s.mtimens = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return s;
}

}  // namespace host
