// A scratch directory for a test: made fresh under /tmp, removed with all it
// holds when the test ends (permissions a test took away are given back
// first), with small helpers to write and read the files in it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

class ScratchDir {
public:
    // tag names the directory (/tmp/vorna-<tag>-XXXXXX) so a leftover is
    // easy to trace back.
    explicit ScratchDir(const std::string& tag = "test");
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& path() const { return path_; }
    // The path of a name inside the directory ("a.msh", "sub/b.msh").
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

    // Writes a file (making the folders on its way); returns its path.
    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) const;
    std::string Write(const std::string& name, const std::string& text) const;
    // The bytes of a file; empty when it cannot be read.
    std::vector<uint8_t> Read(const std::string& name) const;
    std::string ReadText(const std::string& name) const;
    // The number of entries directly in the directory.
    size_t Entries() const;

private:
    std::string path_;
};

}  // namespace testsupport
