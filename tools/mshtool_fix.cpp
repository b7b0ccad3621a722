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
#include "check/fixfile.h"
#include "check/repair.h"
#include "files/files.h"
#include "mesh/msh.h"
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
    if (!json) return Escaped(file) + ": " + Escaped(r.path) + ": [" + r.rule + "] " + Escaped(r.what) + "\n";
    nlohmann::ordered_json j;
    PutText(j, "file", file);
    j["repair"] = r.rule;
    PutText(j, "path", r.path);
    PutText(j, "what", r.what);
    return JsonLine(j);
}

Outcome FixOne(const FixRun& run, const std::string& in, const std::string& out) {
    Outcome o;
    std::string why;
    try {
        auto bytes = std::make_shared<std::vector<uint8_t>>();
        check::FixResult r;
        // As read, for the check when nothing changes (the bytes are
        // changed in place only by a re-lay, which is a repair).
        const std::shared_ptr<const std::vector<uint8_t>> file = bytes;
        if (mesh::msh::ReadBytes(in, *bytes, &why)) {
            const check::FixRequest request{run.rules, run.renames, out != in, &run.args->list, run.args->matl};
            r = check::FixFile(bytes, request);
            why = r.why;
        }
        for (const auto& [from, not_done] : r.refused) {
            o.out += Escaped(in) + ": [rename] \"" + Escaped(from) + "\" is not renamed: " + Escaped(not_done) + "\n";
            o.status = kFailed;  // what was asked for is not done
        }
        const mesh::mshptr& m = r.mesh;
        if (!m || !m->hedr) {
            if (why == host::SystemError(ENOMEM)) why = "Out of memory while reading the file.";
            o.out = Escaped(in) + ": unreadable: " + Escaped(why.empty() ? std::string("Unable to read mesh file.") : why) + "\n";
            o.status = kFailed;
            return o;
        }
        for (const check::Repair& x : r.repairs) o.out += RepairLine(run.json, in, x);
        o.repairs = r.repairs.size();
        const bool written = o.repairs || out != in;
        if (!run.dry && written) {
            if (!m->Save(out, run.args->matl, &why)) {
                o.out += Escaped(in) + ": unwritable: " + Escaped(out) + ": " + Escaped(why) + "\n";
                o.status = kUnwritable;
                return o;
            }
        }
        const std::optional<check::OptionFile> options = check::OptionFileBeside(in);
        // What is left is what the file holds once this is done: the tree
        // as it is (or would be) written, else the file's bytes as they are.
        std::vector<check::Finding> left = written ? check::CheckMesh(*m, options ? &*options : nullptr)
                                                   : check::CheckBytes(*file, options ? &*options : nullptr);
        check::SortErrorsFirst(left);
        for (const check::Finding& f : left) {
            if (f.severity == check::Severity::error) ++o.errors;
            o.out += FindingLine(run.json, in, f);
        }
    } catch (const std::bad_alloc&) {
        o.out += Escaped(in) + ": unreadable: Out of memory while repairing the file.\n";
        o.status = kFailed;
    }
    return o;
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
            Report("Unknown repair.", "No rule called \"" + Escaped(value) + "\" has a repair; see mshtool fix --help.");
            return kFailed;
        }
        run.rules.push_back(value);
    }
    const std::string in = a.operands[0];
    std::error_code ec;
    const bool folder = fs::is_directory(in, ec);
    if (folder && a.operands.size() > 1) return Usage(*a.command);
    // A folder as check walks it: what cannot be read on the way (a folder
    // that cannot be listed, a link that leads nowhere) is said and counted.
    const std::vector<Item> files = folder ? Collect({in}) : std::vector<Item>{{in, ""}};
    int status = kOk;
    size_t repairs = 0, errors = 0;
    for (const Item& f : files) {
        Outcome o;
        if (f.unreadable.empty()) {
            o = FixOne(run, f.file, a.operands.size() > 1 ? a.operands[1] : f.file);
        } else {
            o.out = Escaped(f.file) + ": unreadable: " + Escaped(f.unreadable) + "\n";
            o.status = kFailed;
        }
        if (std::fwrite(o.out.data(), 1, o.out.size(), stdout) != o.out.size()) status = kUnwritable;
        repairs += o.repairs;
        errors += o.errors;
        if (o.status != kOk && status != kUnwritable) status = o.status;
    }
    if (std::fflush(stdout) != 0) status = kUnwritable;
    std::fprintf(stderr, "%zu %s, %zu %s%s, %zu %s left\n", files.size(), files.size() == 1 ? "file" : "files",
                 repairs, repairs == 1 ? "repair" : "repairs", run.dry ? " (not written)" : "", errors,
                 errors == 1 ? "error" : "errors");
    if (status != kOk) return status;
    return errors ? kFindings : kOk;
}

}  // namespace tools
