// mshtool check's mod tree part: which files it takes, how its findings
// print, and the summary by rule.
#include "tools/mshtool_modtree.h"

#include <algorithm>

#include <nlohmann/json.hpp>

#include "tools/mshtool_cli.h"

namespace tools {

namespace {

std::string LowerExtension(const std::string& path) {
    const size_t slash = path.find_last_of('/'), dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    std::string ext = path.substr(dot);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return ext;
}

bool Companion(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return path.compare(slash == std::string::npos ? 0 : slash + 1, 2, "._") == 0;
}

}  // namespace

bool TakeTreeFile(const std::string& path, TreeFiles& into) {
    if (Companion(path)) return false;
    const std::string ext = LowerExtension(path);
    if (ext == ".odf") into.odfs.push_back(path);
    else if (ext == ".tga") into.tgas.push_back(path);
    else return false;
    return true;
}

std::string TreeFindingLine(bool json, const check::TreeFinding& f) {
    const char* severity = check::SeverityName(f.severity);
    if (json) {
        nlohmann::ordered_json j;
        j["file"] = f.file;
        j["line"] = f.line > 0 ? nlohmann::ordered_json(f.line) : nlohmann::ordered_json(nullptr);
        j["severity"] = severity;
        j["rule"] = f.rule;
        j["property"] = f.property;
        j["target"] = f.target;
        j["target_file"] = f.target_file;
        j["path"] = f.path;
        j["message"] = f.message;
        return j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + '\n';
    }
    std::string out = Escaped(f.file);
    if (f.line > 0) out += ":" + std::to_string(f.line);
    out += std::string(": ") + severity + ": ";
    if (!f.path.empty()) out += Escaped(f.path) + ": ";
    else if (!f.property.empty()) out += Escaped(f.property) + ": ";
    return out + "[" + f.rule + "] " + Escaped(f.message) + '\n';
}

bool PrintTreeFindings(bool json, const std::vector<check::TreeFinding>& findings, RuleCounts& counts,
                       size_t& maybestock) {
    // Written in pieces, so the output of a large tree is never held whole.
    std::string out;
    bool ok = true;
    for (const check::TreeFinding& f : findings) {
        counts[f.rule][size_t(f.severity)] += 1;
        maybestock += f.maybe_stock ? 1 : 0;
        out += TreeFindingLine(json, f);
        if (out.size() >= (64 << 10)) {
            ok = std::fwrite(out.data(), 1, out.size(), stdout) == out.size() && ok;
            out.clear();
        }
    }
    return std::fwrite(out.data(), 1, out.size(), stdout) == out.size() && ok;
}

std::string RuleSummary(const RuleCounts& counts, size_t maybestock, bool base) {
    std::string s;
    for (const auto& [rule, n] : counts) {
        std::string parts;
        const char* names[3][2] = {{" error", " errors"}, {" warning", " warnings"}, {" note", " notes"}};
        for (size_t k = 0; k < 3; ++k)
            if (n[k]) parts += (parts.empty() ? "" : ", ") + std::to_string(n[k]) + names[k][n[k] == 1 ? 0 : 1];
        s += "  " + rule + ": " + parts + "\n";
    }
    if (maybestock && !base)
        s += std::to_string(maybestock) + (maybestock == 1 ? " reference" : " references") +
             " left unresolved as possible stock assets (notes); --base DIR looks for them\n";
    return s;
}

}  // namespace tools
