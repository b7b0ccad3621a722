// The scratch directory of the tests.
#include "tests/support/scratch.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace fs = std::filesystem;

namespace testsupport {

ScratchDir::ScratchDir(const std::string& tag) {
    std::string tmpl = "/tmp/vorna-" + tag + "-XXXXXX";
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("cannot make a scratch directory " + tmpl);
    path_ = tmpl;
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    // Give back what a test took away, or removal stops at the first folder
    // it cannot enter.
    for (auto it = fs::recursive_directory_iterator(path_, fs::directory_options::skip_permission_denied, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
}

std::string ScratchDir::Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
    std::string p = *this / name;
    fs::create_directories(fs::path(p).parent_path());
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return p;
}

std::string ScratchDir::Write(const std::string& name, const std::string& text) const {
    return Write(name, std::vector<uint8_t>(text.begin(), text.end()));
}

std::vector<uint8_t> ScratchDir::Read(const std::string& name) const {
    std::ifstream in(*this / name, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::string ScratchDir::ReadText(const std::string& name) const {
    std::vector<uint8_t> b = Read(name);
    return std::string(b.begin(), b.end());
}

size_t ScratchDir::Entries() const {
    std::error_code ec;
    size_t n = 0;
    for (fs::directory_iterator it(path_, ec); !ec && it != fs::directory_iterator(); it.increment(ec)) ++n;
    return n;
}

}  // namespace testsupport
