#include "mesh/texture_lookup.h"

#include "files/files.h"
#include "files/files_folders.h"

namespace mesh {
namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

std::string Join(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    const char last = folder.back();
    return last == '/' || last == '\\' ? folder + name : folder + "/" + name;
}

// The name of the entry of folder that matches name without case and is of
// the kind wanted: the exact spelling first (one stat, no listing), then the
// first other spelling in byte order. "" when there is none.
std::string Match(const std::string& folder, const std::string& name, host::EntryKind kind) {
    if (host::PathKind(Join(folder, name)) == kind) return name;
    for (const std::string& entry : host::FolderNames(folder))
        if (entry != name && SameNoCase(entry, name) && host::PathKind(Join(folder, entry)) == kind) return entry;
    return "";
}

// The file name a texture record stands for: its last component, with the
// build's extension when it has none.
std::string FileNameOf(const std::string& name) {
    const size_t slash = name.find_last_of("/\\");
    std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
    if (!base.empty() && base.find('.') == std::string::npos) base += ".tga";
    return base;
}

}  // namespace

std::vector<std::string> TextureFolders(const std::string& meshPath, const std::vector<std::string>& extra) {
    const std::string part = host::DirectoryPart(meshPath);
    const std::string own = part.empty() ? std::string(".") : part;
    std::string pc = Match(own, "PC", host::EntryKind::Directory);
    std::vector<std::string> folders{own, Join(own, pc.empty() ? "PC" : pc)};
    folders.insert(folders.end(), extra.begin(), extra.end());
    return folders;
}

std::string FindTexture(const std::string& meshPath, const std::string& name,
                        const std::vector<std::string>& extra) {
    const std::string file = FileNameOf(name);
    if (file.empty() || file == "." || file == "..") return "";
    for (const std::string& folder : TextureFolders(meshPath, extra)) {
        const std::string found = Match(folder, file, host::EntryKind::File);
        if (!found.empty()) return Join(folder, found);
    }
    return "";
}

}  // namespace mesh
