#include "files/files_folders.h"

#include <dirent.h>

#include <algorithm>

#include "files/files.h"

namespace host {

std::vector<std::string> FolderNames(const std::string& folder) {
    std::vector<std::string> names;
    DIR* d = ::opendir(NativePath(folder).c_str());
    if (!d) return names;
    while (dirent* e = ::readdir(d)) {
        std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(std::move(name));
    }
    ::closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace host
