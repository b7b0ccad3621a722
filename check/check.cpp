// The deep check's entry points: a file's bytes, a tree as it would be
// saved, a loaded mesh; the option file beside a mesh; the order of errors.
#include "check/check.h"

#include <algorithm>

#include "check/checker.h"
#include "files/files.h"

namespace check {

std::vector<Finding> CheckBytes(std::span<const uint8_t> file, const OptionFile* options) {
    const detail::FileBytes bytes(file);
    return detail::Checker(bytes, 0, nullptr, options).Run();
}

std::vector<Finding> CheckTree(const mesh::chunk& root, std::string_view trailer, const OptionFile* options) {
    // The bytes the tree would be saved as (a grouped MATL with its count),
    // then the trailing chunk's header when the file had one; the leaves'
    // bytes are read where they stand.
    uint8_t header[8] = {};
    std::span<const uint8_t> after;
    if (trailer.size() == 4) {
        std::copy(trailer.begin(), trailer.end(), header);
        after = header;
    }
    const detail::FileBytes bytes(root, after);
    return detail::Checker(bytes, 0, &root, options).Run();
}

std::vector<Finding> CheckMesh(const mesh::msh& m, const OptionFile* options) {
    if (!m.hedr) return {};
    return CheckTree(*m.hedr, m.trailer, options);
}

std::optional<OptionFile> OptionFileBeside(const std::string& meshpath) {
    const std::string path = meshpath + ".option";
    // Option files are a few lines; a larger one is not read whole. Only a
    // regular file is opened: a FIFO of that name would wait for a writer.
    std::vector<uint8_t> bytes;
    if (!host::ReadFileStart(path, size_t{1} << 20, bytes, nullptr)) return std::nullopt;
    const size_t slash = path.find_last_of('/');
    return OptionFile{slash == std::string::npos ? path : path.substr(slash + 1),
                      std::string(bytes.begin(), bytes.end())};
}

void SortErrorsFirst(std::vector<Finding>& findings) {
    std::stable_partition(findings.begin(), findings.end(),
                          [](const Finding& f) { return f.severity == Severity::error; });
}

}  // namespace check
