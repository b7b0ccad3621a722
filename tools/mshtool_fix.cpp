// mshtool fix: the repairs of the deep check's mechanical faults, then the
// check of what is left.
//
// Each mesh is read as the editor opens it, repaired rule by rule
// (check/repair.h), written back through the editor's save (to OUT, or over
// IN when something changed) and checked again. A repair prints as
//   FILE: PATH: [RULE] WHAT
// and the findings left as check prints them.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "check/check.h"
#include "check/repair.h"
#include "files/files.h"
#include "mesh/msh.h"
#include "mesh/relay.h"
#include "tools/mshtool_check.h"
#include "tools/mshtool_cli.h"
#include "tools/mshtool_fix.h"

namespace tools {

namespace {

namespace fs = std::filesystem;

struct FixRun {
    std::vector<std::string> rules;  // empty: every repair
    std::vector<std::pair<std::string, std::string>> renames;  // old name, new name
    bool dry = false;
    bool json = false;
    const Args* args = nullptr;
};

struct Outcome {
    std::string out;
    size_t repairs = 0, errors = 0;
    int status = kOk;  // kFailed or kUnwritable for this file
};

std::string RepairLine(bool json, const std::string& file, const check::Repair& r) {
    if (!json) return file + ": " + r.path + ": [" + r.rule + "] " + r.what + "\n";
    nlohmann::ordered_json j;
    j["file"] = file;
    j["repair"] = r.rule;
    j["path"] = r.path;
    j["what"] = r.what;
    return j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

bool Wanted(const FixRun& run, std::string_view rule) {
    return run.rules.empty() || std::find(run.rules.begin(), run.rules.end(), rule) != run.rules.end();
}

// "NAME at offset 48": the chunk whose header starts there.
std::string ChunkAt(const std::vector<uint8_t>& bytes, int64_t at) {
    return Escaped(std::string(bytes.begin() + at, bytes.begin() + at + 4)) + " at offset " + std::to_string(at);
}

Outcome FixOne(const FixRun& run, const std::string& in, const std::string& out) {
    Outcome o;
    std::string why;
    try {
        auto bytes = std::make_shared<std::vector<uint8_t>>();
        mesh::mshptr m;
        size_t relaid = 0;
        if (mesh::msh::ReadBytes(in, *bytes, &why)) {
            // Sizes that leave out their padding are mended on the bytes:
            // the tree would read such a file as other chunks.
            mesh::RelayNote note;
            if (Wanted(run, "chunk-layout"))
                if (auto re = mesh::RelayPadding(*bytes, &note)) {
                    const std::string first = ChunkAt(*bytes, note.first);
                    *bytes = std::move(*re);
                    o.out += RepairLine(run.json, in, {"chunk-layout", "HEDR",
                                                       "re-lay " + std::to_string(note.chunks) +
                                                           (note.chunks == 1 ? " chunk" : " chunks") +
                                                           " whose size left out its padding (the first " + first +
                                                           ")", {}, nullptr});
                    relaid = 1;
                }
            m = mesh::OpenBytes(std::move(bytes), run.args->list, run.args->matl, &why);
        }
        if (!m || !m->hedr) {
            if (why == host::SystemError(ENOMEM)) why = "Out of memory while reading the file.";
            o.out = in + ": unreadable: " + (why.empty() ? std::string("Unable to read mesh file.") : why) + "\n";
            o.status = kFailed;
            return o;
        }
        // The renames asked for come first: the repairs then see the names.
        size_t renamed = 0;
        for (const auto& [from, to] : run.renames) {
            std::string not_done;
            std::optional<check::Repair> r = check::PlanRename(m->hedr, from, to, not_done);
            if (!r) {
                o.out += in + ": [rename] \"" + Escaped(from) + "\" is not renamed: " + Escaped(not_done) + "\n";
                continue;
            }
            r->apply();
            m->hedr->Update(run.args->matl);
            o.out += RepairLine(run.json, in, *r);
            ++renamed;
        }
        const std::vector<check::Repair> done = check::FixTree(m->hedr, run.rules, run.args->matl);
        for (const check::Repair& r : done) o.out += RepairLine(run.json, in, r);
        o.repairs = done.size() + relaid + renamed;
        if (!run.dry && (o.repairs || out != in)) {
            if (!m->Save(out, run.args->matl, &why)) {
                o.out += in + ": unwritable: " + out + ": " + why + "\n";
                o.status = kUnwritable;
                return o;
            }
        }
        const std::optional<check::OptionFile> options = check::OptionFileBeside(in);
        std::vector<check::Finding> left = check::CheckMesh(*m, options ? &*options : nullptr);
        check::SortErrorsFirst(left);
        for (const check::Finding& f : left) {
            if (f.severity == check::Severity::error) ++o.errors;
            o.out += FindingLine(run.json, in, f);
        }
    } catch (const std::bad_alloc&) {
        o.out += in + ": unreadable: Out of memory while repairing the file.\n";
        o.status = kFailed;
    }
    return o;
}

// The meshes of a folder, every *.msh below it, sorted.
std::vector<std::string> MeshesBelow(const std::string& folder, std::string& why) {
    std::vector<std::string> files;
    std::error_code ec;
    fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        std::error_code fec;
        std::string ext = it->path().extension().string();
        std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
        if (ext == ".msh" && it->is_regular_file(fec)) files.push_back(it->path().string());
    }
    if (ec) why = "Unable to read the folder: " + ec.message() + ".";
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace

int RunFix(const Args& a) {
    FixRun run;
    run.args = &a;
    run.dry = a.Has("--dry-run");
    run.json = a.Has("--json");
    for (const auto& [name, value] : a.options) {
        if (name == "--rename") {
            const size_t eq = value.find('=');
            if (eq == std::string::npos) {
                Report("Not a rename.", "--rename takes OLD=NEW, the old name and the new one.");
                return kFailed;
            }
            run.renames.emplace_back(value.substr(0, eq), value.substr(eq + 1));
            continue;
        }
        if (name != "--rule") continue;
        const auto ids = check::RepairRules();
        if (std::find(ids.begin(), ids.end(), value) == ids.end()) {
            Report("Unknown repair.", "No rule called \"" + value + "\" has a repair; see mshtool fix --help.");
            return kFailed;
        }
        run.rules.push_back(value);
    }
    const std::string in = a.operands[0];
    std::error_code ec;
    const bool folder = fs::is_directory(in, ec);
    if (folder && a.operands.size() > 1) return Usage(*a.command);
    std::string why;
    const std::vector<std::string> files =
        folder ? MeshesBelow(in, why) : std::vector<std::string>{in};
    int status = kOk;
    size_t repairs = 0, errors = 0;
    for (const std::string& f : files) {
        const Outcome o = FixOne(run, f, a.operands.size() > 1 ? a.operands[1] : f);
        if (std::fwrite(o.out.data(), 1, o.out.size(), stdout) != o.out.size()) status = kUnwritable;
        repairs += o.repairs;
        errors += o.errors;
        if (o.status != kOk && status != kUnwritable) status = o.status;
    }
    if (!why.empty()) {
        std::fprintf(stdout, "%s: unreadable: %s\n", in.c_str(), why.c_str());
        if (status == kOk) status = kFailed;
    }
    if (std::fflush(stdout) != 0) status = kUnwritable;
    std::fprintf(stderr, "%zu %s, %zu %s%s, %zu %s left\n", files.size(), files.size() == 1 ? "file" : "files",
                 repairs, repairs == 1 ? "repair" : "repairs", run.dry ? " (not written)" : "", errors,
                 errors == 1 ? "error" : "errors");
    if (status != kOk) return status;
    return errors ? kFindings : kOk;
}

}  // namespace tools
