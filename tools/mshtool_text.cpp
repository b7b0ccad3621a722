// mshtool dump, build and diff (see mshtool_text.h).
#include "tools/mshtool_text.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include <nlohmann/json.hpp>

#include "diff/diff.h"
#include "files/files.h"
#include "mesh/msh.h"
#include "mesh/relay.h"
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
        ReportUnreadable(args[0], why);
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

int RunDiff(const Args& a) {
    const std::vector<std::string>& args = a.operands;
    meshdiff::Options o;
    if (a.Has("--tolerance")) {
        const std::string e = a.Value("--tolerance");
        char* end = nullptr;
        o.tolerance = std::strtod(e.c_str(), &end);
        if (e.empty() || *end != '\0' || !(o.tolerance >= 0) || o.tolerance > 1e30) return Usage(*a.command);
    }
    const bool json = a.Has("--json");
    mesh::mshptr m[2];
    for (int i = 0; i < 2; ++i) {
        // Sizes that leave out their padding are re-laid, as the editor and
        // resave read them, so the padding is no difference; that is said.
        std::string why, note;
        m[i] = mesh::OpenRelaid(args[static_cast<size_t>(i)], a.list, a.matl, true, why, note);
        if (m[i] && !note.empty())  // what the note says of saving is nothing to a comparison
            std::fprintf(stderr, "%s: %s\n", Escaped(args[static_cast<size_t>(i)]).c_str(),
                         note.substr(0, note.find(';')).c_str());
        if (!m[i]) {
            if (why == host::SystemError(ENOMEM))
                ReportUnreadable(args[static_cast<size_t>(i)], why);
            else
                Report("Unable to read mesh file.", args[static_cast<size_t>(i)] + ": " + why);
            return 2;
        }
    }
    std::vector<meshdiff::Difference> diffs = meshdiff::Diff(*m[0]->hedr, *m[1]->hedr, o);
    if (auto tail = meshdiff::DiffTail(m[0]->tail, m[1]->tail)) diffs.push_back(std::move(*tail));
    std::string out;
    for (const meshdiff::Difference& d : diffs) {
        if (json) {
            nlohmann::json j = {{"kind", meshdiff::KindName(d.kind)}, {"path", d.path}};
            if (!d.what.empty()) j["what"] = d.what;
            if (!d.a.empty()) j["a"] = d.a;
            if (!d.b.empty()) j["b"] = d.b;
            out += j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
        } else {
            out += meshdiff::Line(d);
        }
        out += '\n';
    }
    if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size() || std::fflush(stdout) != 0) return 3;
    return diffs.empty() ? 0 : 1;
}

}  // namespace tools
