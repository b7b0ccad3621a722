// mshtool dump, build and diff (see mshtool_text.h).
#include "tools/mshtool_text.h"

#include <cstdio>

#include "host/files.h"
#include "mesh/msh.h"
#include "textform/textform.h"

namespace tools {

namespace {

// A text form is a few times larger than its mesh.
constexpr int64_t kMaxTextBytes = 16 * mesh::msh::kMaxFileBytes;

}  // namespace

int RunDump(const Args& a) {
    const std::vector<std::string>& args = a.operands;
    std::vector<uint8_t> bytes;
    std::string why;
    if (!host::ReadWholeFile(args[0], mesh::msh::kMaxFileBytes, bytes, &why)) {
        Report("Unable to read mesh file.", why);
        return 2;
    }
    if (args.size() == 1) {
        const bool ok = textform::Dump(bytes, a.list, [](std::string_view s) {
            return std::fwrite(s.data(), 1, s.size(), stdout) == s.size();
        });
        return ok && std::fflush(stdout) == 0 ? 0 : 3;
    }
    host::AtomicFile out(args[1]);
    const bool ok = out.Ok() && textform::Dump(bytes, a.list, [&](std::string_view s) {
        return out.Write(reinterpret_cast<const uint8_t*>(s.data()), s.size());
    }) && out.Commit();
    if (!ok) {
        Report("Unable to write text file.", out.Error());
        return 3;
    }
    return 0;
}

int RunBuild(const Args& a) {
    const std::vector<std::string>& args = a.operands;
    std::vector<uint8_t> text;
    std::string why;
    if (!host::ReadWholeFile(args[0], kMaxTextBytes, text, &why)) {
        Report("Unable to read text file.", why);
        return 2;
    }
    std::vector<uint8_t> bytes;
    if (!textform::Build({reinterpret_cast<const char*>(text.data()), text.size()}, bytes, why)) {
        Report("Unable to build mesh file.", why);
        return 2;
    }
    text = {};
    host::AtomicFile out(args[1]);
    if (!out.Ok() || !out.Write(bytes.data(), bytes.size()) || !out.Commit()) {
        Report("Unable to write mesh file.", out.Error());
        return 3;
    }
    return 0;
}

}  // namespace tools
