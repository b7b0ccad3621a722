// mshtool check: which files, checked by a few workers at once, printed in
// order.
//
// The files are numbered in their sorted order. Each worker takes the next
// number, reads and checks that file, keeps only the printed lines and drops
// the mesh before it takes another; the main thread prints the files' lines
// as soon as every file before them is printed. Workers never run more than a
// few files ahead of the printing, so a run holds at most one mesh a worker
// and a bounded number of finished outputs, whatever the size of the folder.
#include "tools/mshtool_check.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <fstream>
#include <new>
#include <mutex>
#include <system_error>
#include <thread>

#include <nlohmann/json.hpp>

#include "check/check.h"
#include "check/meshfacts.h"
#include "files/files.h"
#include "mesh/msh.h"
#include "mesh/relay.h"
#include "tools/mshtool_modtree.h"

namespace tools {

namespace {

namespace fs = std::filesystem;


// What checking one file gave.
struct Result {
    bool done = false;
    std::string out;
    size_t errors = 0, warnings = 0, notes = 0, maybestock = 0;
    RuleCounts rules;
    bool unreadable = false;
    bool nomemory = false;  // memory ran out even for the line that says so: printed later
};

bool IsMsh(const fs::path& p) {
    if (p.filename().string().starts_with("._")) return false;  // a macOS companion, no mesh
    std::string ext = p.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char ch) { return char(std::tolower(ch)); });
    return ext == ".msh";
}

// Every *.msh below the folder, and what could not be read on the way: a
// folder that cannot be listed (by its own path; the walk goes on with the
// others) and a symbolic link that leads nowhere or into a loop. Links to
// folders are not followed. The folders wait on a list, not on the call
// stack, however deep they nest. The mod tree's other files go to tree.
void Walk(const std::string& top, std::vector<Item>& found, TreeFiles& tree) {
    std::vector<fs::path> folders = {top};
    while (!folders.empty()) {
        const fs::path folder = std::move(folders.back());
        folders.pop_back();
        std::error_code ec;
        fs::directory_iterator it(folder, ec), end;
        for (; !ec && it != end; it.increment(ec)) {
            std::error_code fec;
            const fs::file_status own = it->symlink_status(fec);
            if (fs::is_directory(own)) {
                folders.push_back(it->path());
            } else if (fs::is_symlink(own)) {
                const fs::file_status target = fs::status(it->path(), fec);
                if (fec || !fs::exists(target))
                    found.push_back({it->path().string(), "Unable to follow the link: " +
                                                              (fec ? fec.message() : std::string("No such file or directory")) + "."});
                else if (fs::is_regular_file(target) && IsMsh(it->path()))
                    found.push_back({it->path().string(), ""});
                else if (fs::is_regular_file(target))
                    TakeTreeFile(it->path().string(), tree);
            } else if (fs::is_regular_file(own) && IsMsh(it->path())) {
                found.push_back({it->path().string(), ""});
            } else if (fs::is_regular_file(own)) {
                TakeTreeFile(it->path().string(), tree);
            }
        }
        if (ec) found.push_back({folder.string(), "Unable to read the folder: " + ec.message() + "."});
    }
}

// The files of the paths: a file as it is, a folder as every *.msh below it,
// sorted; the mod tree's other files below the folders go to tree, sorted.
std::vector<Item> CollectTree(const std::vector<std::string>& paths, TreeFiles& tree) {
    std::vector<Item> items;
    for (const std::string& p : paths) {
        std::error_code ec;
        const fs::file_status st = fs::status(p, ec);
        if (ec || !fs::exists(st)) {
            items.push_back({p, "No such file or folder."});
            continue;
        }
        if (!fs::is_directory(st)) {
            items.push_back({p, ""});
            continue;
        }
        std::vector<Item> found;
        Walk(p, found, tree);
        std::sort(found.begin(), found.end(), [](const Item& a, const Item& b) { return a.file < b.file; });
        items.insert(items.end(), found.begin(), found.end());
    }
    std::sort(tree.odfs.begin(), tree.odfs.end());
    std::sort(tree.tgas.begin(), tree.tgas.end());
    return items;
}

}  // namespace

std::vector<Item> Collect(const std::vector<std::string>& paths) {
    TreeFiles tree;
    return CollectTree(paths, tree);
}

namespace {

void Line(Result& r, bool json, const std::string& file, const check::Finding& f) {
    r.out += FindingLine(json, file, f);
}

// The file's bytes as they are: the check reads them by the format's schema,
// so a file that ends inside a chunk is seen as such. Empty with a reason
// when the file cannot be read.
std::vector<uint8_t> ReadBytes(const std::string& path, std::string& why) {
    std::vector<uint8_t> bytes;
    std::string error;
    if (!host::ReadWholeFile(path, mesh::msh::kMaxFileBytes, bytes, &error)) {
        why = error == host::SystemError(EFBIG)    ? "The file is larger than any mesh file can be."
              : error == host::SystemError(ENOMEM) ? "Out of memory while reading the file."
                                                   : "Unable to read the file: " + error + ".";
        return {};
    }
    if (bytes.empty()) why = "The file is empty.";
    return bytes;
}

void Count(Result& r, check::Severity s, const std::string& rule) {
    (s == check::Severity::error ? r.errors : s == check::Severity::warning ? r.warnings : r.notes) += 1;
    r.rules[rule][size_t(s)] += 1;
}

// Mesh i of a mod tree: its texture records checked, what the ODFs need of
// it kept.
void TreePart(Result& r, bool json, check::ModTree& tree, size_t i, std::span<const uint8_t> bytes,
              const check::OptionFile* options) {
    check::MeshFacts facts = check::ReadMeshFacts(bytes);
    for (const check::TreeFinding& f : check::CheckMeshTextures(tree, i, facts)) {
        Count(r, f.severity, f.rule);
        r.maybestock += f.maybe_stock ? 1 : 0;
        r.out += TreeFindingLine(json, f);
    }
    check::ModTree::MeshInfo& info = tree.info[i];
    info.facts = std::move(facts);
    if (options) info.options = check::ParseOptions(options->text);
    info.read = true;
}

Result CheckOne(const CheckRun& run, const Item& item, check::ModTree* tree, size_t i) {
    Result r;
    std::string why = item.unreadable;
    if (why.empty()) {
        try {
            const std::vector<uint8_t> bytes = ReadBytes(item.file, why);
            if (!bytes.empty()) {
                const std::optional<check::OptionFile> options = check::OptionFileBeside(item.file);
                // Sizes that leave out the padding after them are read
                // re-laid, as the editor opens the file: one finding says so,
                // and the padding is not read as a chunk that is not there.
                mesh::RelayNote relay;
                const std::optional<std::vector<uint8_t>> relaid = mesh::RelayPadding(bytes, &relay);
                std::vector<check::Finding> findings =
                    check::CheckBytes(relaid ? *relaid : bytes, options ? &*options : nullptr);
                if (relaid) {
                    check::Finding f;
                    f.rule = "chunk-layout";
                    f.path = "HEDR";
                    f.offset = relay.first;
                    f.message = std::to_string(relay.chunks) + (relay.chunks == 1 ? " chunk's size leaves" : " chunks' sizes leave") +
                                " out the zero padding that follows (the first at offset " + std::to_string(relay.first) +
                                "): read re-laid, as the editor opens it, the offsets of the other findings are those "
                                "of the re-laid file; mshtool fix re-lays it";
                    findings.insert(findings.begin(), std::move(f));
                }
                for (const check::Finding& f : findings) {
                    Count(r, f.severity, f.rule);
                    Line(r, run.json, item.file, f);
                }
                if (tree) TreePart(r, run.json, *tree, i, bytes, options ? &*options : nullptr);
                return r;
            }
        } catch (const std::bad_alloc&) {
            // What the check held is gone by now; the file is reported as
            // unreadable and the run goes on with the next one.
            r = Result();
            why = "Out of memory while checking the file.";
        }
    }
    r.unreadable = true;
    check::Finding f;
    f.rule = "unreadable";
    f.message = why;
    Line(r, run.json, item.file, f);
    return r;
}

// CheckOne, and when even its report of running out of memory cannot be
// made, a result that says so when it is printed.
Result Guarded(const CheckRun& run, const Item& item, check::ModTree* tree, size_t i) {
    try {
        return CheckOne(run, item, tree, i);
    } catch (const std::bad_alloc&) {
        Result r;
        r.unreadable = r.nomemory = true;
        return r;
    }
}

}  // namespace

std::vector<MeshPath> CollectMeshes(const std::vector<std::string>& paths) { return Collect(paths); }

std::string FindingLine(bool json, const std::string& file, const check::Finding& f) {
    const char* severity = check::SeverityName(f.severity);
    std::string out;
    if (json) {
        nlohmann::ordered_json j;
        PutText(j, "file", file);
        j["severity"] = severity;
        j["rule"] = f.rule;
        // Names in a mesh are bytes, not always UTF-8: those are kept (PutText).
        PutText(j, "path", f.path);
        PutText(j, "message", f.message);
        if (f.offset >= 0) {  // a chunk, not an option file
            j["offset"] = f.offset;
            j["size"] = f.size;
        }
        if (f.element) j["element"] = *f.element;
        return JsonLine(j);
    } else {
        out = Escaped(file) + ": " + severity + ": " + Escaped(f.path) + ": [" + f.rule + "] " + Escaped(f.message);
    }
    return out + '\n';
}

int PrintRules() {
    std::string out;
    for (const check::Rule& r : check::Rules()) {
        out += std::string(r.id) + " (" + check::SeverityName(r.severity) + ")\n";
        out += std::string("  ") + r.means + "\n";
        out += std::string("  Why: ") + r.why + "\n";
        out += std::string("  Fix: ") + r.fix + "\n";
        if (*r.compiler) out += std::string("  Compiler: ") + r.compiler + "\n";
        out += "\n";
    }
    out += "Codes of the model compiler that no mesh or option file gives:\n";
    for (const check::UntriggeredCode& c : check::UntriggeredCodes())
        out += std::string("  ") + c.code + ": " + c.why + "\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 3;
}

int RunCheck(const CheckRun& run, const std::vector<std::string>& paths) {
    TreeFiles files;
    const std::vector<Item> items = CollectTree(paths, files);
    const size_t n = items.size();
    // A folder with ODFs or TGAs is a mod tree: its references are checked.
    std::unique_ptr<check::ModTree> tree;
    if (!files.odfs.empty() || !files.tgas.empty()) {
        std::vector<std::string> meshes;
        for (const Item& item : items) meshes.push_back(item.file);
        tree = std::make_unique<check::ModTree>(check::IndexModTree(std::move(meshes), std::move(files.odfs),
                                                                    std::move(files.tgas), check::FilesBelow(run.base)));
    }
    size_t jobs = run.jobs > 0 ? size_t(run.jobs) : std::max<size_t>(1, std::thread::hardware_concurrency());
    jobs = std::max<size_t>(1, std::min(jobs, n));
    const size_t ahead = 4 * jobs;  // files a worker may finish before they are printed

    std::vector<Result> results(n);
    std::mutex mu;
    std::condition_variable ready, room;
    size_t next = 0, printed = 0;

    auto worker = [&] {
        for (;;) {
            size_t i;
            {
                std::unique_lock<std::mutex> lock(mu);
                room.wait(lock, [&] { return next >= n || next < printed + ahead; });
                if (next >= n) return;
                i = next++;
            }
            Result r = Guarded(run, items[i], tree.get(), i);
            {
                std::lock_guard<std::mutex> lock(mu);
                results[i] = std::move(r);
                results[i].done = true;
            }
            ready.notify_all();
        }
    };
    // The workers are stopped and joined however this function is left.
    std::vector<std::thread> threads;
    struct Joiner {
        std::function<void()> stop;
        std::vector<std::thread>& threads;
        ~Joiner() {
            stop();
            for (std::thread& t : threads)
                if (t.joinable()) t.join();
        }
    } joiner{[&] {
                 {
                     std::lock_guard<std::mutex> lock(mu);
                     next = n;
                 }
                 room.notify_all();
             },
             threads};
    // A thread that cannot be started (no memory for its stack, a limit on
    // threads) leaves the work to those that could; with none, this thread
    // checks the files itself.
    // One job is done by this thread alone: no hand-over for each file.
    threads.reserve(jobs);
    for (size_t t = 0; t < jobs && jobs > 1; ++t) {
        try {
            threads.emplace_back(worker);
        } catch (const std::system_error&) {
            break;
        }
    }

    size_t errors = 0, warnings = 0, notes = 0, maybestock = 0, unreadable = 0;
    RuleCounts rules;
    bool written = true;
    for (size_t i = 0; i < n; ++i) {
        Result r;
        if (threads.empty()) {
            r = Guarded(run, items[i], tree.get(), i);
        } else {
            std::unique_lock<std::mutex> lock(mu);
            ready.wait(lock, [&] { return results[i].done; });
            r = std::move(results[i]);
            results[i] = Result();
            printed = i + 1;
        }
        room.notify_all();
        errors += r.errors;
        warnings += r.warnings;
        notes += r.notes;
        maybestock += r.maybestock;
        for (const auto& [rule, k] : r.rules)
            for (size_t s = 0; s < 3; ++s) rules[rule][s] += k[s];
        unreadable += r.unreadable ? 1 : 0;
        if (r.nomemory) {
            check::Finding f;
            f.rule = "unreadable";
            f.message = "Out of memory while checking the file.";
            r.out = FindingLine(run.json, items[i].file, f);
        }
        if (!r.out.empty() && std::fwrite(r.out.data(), 1, r.out.size(), stdout) != r.out.size()) written = false;
    }
    joiner.stop();
    for (std::thread& t : threads) t.join();
    size_t files_checked = n;
    if (tree) {
        // The ODFs and TGAs, once every mesh has been read.
        std::vector<check::TreeFinding> found = check::CheckOdfs(*tree);
        std::vector<check::TreeFinding> tgas = check::CheckTgas(*tree);
        found.insert(found.end(), std::make_move_iterator(tgas.begin()), std::make_move_iterator(tgas.end()));
        RuleCounts treerules;
        written = PrintTreeFindings(run.json, found, treerules, maybestock) && written;
        for (const auto& [rule, k] : treerules) {
            for (size_t s = 0; s < 3; ++s) rules[rule][s] += k[s];
            errors += k[0];
            warnings += k[1];
            notes += k[2];
        }
        unreadable += treerules.count("unreadable") ? treerules["unreadable"][0] : 0;
        files_checked += tree->odfs.size() + tree->tgas.size();
    }
    if (std::fflush(stdout) != 0) written = false;

    std::string summary = std::to_string(files_checked) + (files_checked == 1 ? " file, " : " files, ") + std::to_string(errors) +
                          (errors == 1 ? " error, " : " errors, ") + std::to_string(warnings) +
                          (warnings == 1 ? " warning" : " warnings");
    if (notes) summary += ", " + std::to_string(notes) + (notes == 1 ? " note" : " notes");
    if (unreadable) summary += ", " + std::to_string(unreadable) + " unreadable";
    if (tree) {
        summary += " (" + std::to_string(n) + " meshes, " + std::to_string(tree->odfs.size()) + " ODFs, " +
                   std::to_string(tree->tgas.size()) + " TGAs)\n" + RuleSummary(rules, maybestock, !run.base.empty());
        summary.pop_back();
    }
    std::fprintf(stderr, "%s\n", summary.c_str());
    if (!written) return 3;
    if (unreadable) return 2;
    return errors ? 1 : 0;
}

int RunCheckCommand(const Args& a) {
    if (a.Has("--rules"))
        return a.operands.empty() && !a.Has("--json") && !a.Has("--jobs") && !a.Has("--base") ? PrintRules()
                                                                                               : Usage(*a.command);
    if (a.operands.empty()) return Usage(*a.command);
    CheckRun run;
    run.json = a.Has("--json");
    if (a.Has("--jobs")) {
        long n = 0;
        if (!ReadCount(a.Value("--jobs"), 1, 1024, n)) return Usage(*a.command);
        run.jobs = int(n);
    }
    for (const auto& [name, value] : a.options)
        if (name == "--base") run.base.push_back(value);
    return RunCheck(run, a.operands);
}

}  // namespace tools
