// What a path is, for the editor's questions before it reads or writes one:
// why it is no file to read, and a stamp of a file to tell whether another
// program wrote it since.
#pragma once

#include <cstdint>
#include <string>

namespace host {

// Why path names no regular file to read: the system's reason when it
// cannot be looked at ("No such file or directory"), "Is a directory", "Not
// a regular file"; empty for a regular file.
std::string NotAFile(const std::string& path);
// What a file was at one moment, to tell whether another program wrote it
// since: its identity on the disk, its size and its modification time (to
// the nanosecond). A file that cannot be looked at has exists false.
struct FileStamp {
    bool exists = false;
    uint64_t dev = 0, ino = 0;
    int64_t size = 0, mtimens = 0;
    bool operator==(const FileStamp&) const = default;
};
FileStamp StampOf(const std::string& path);

}  // namespace host
