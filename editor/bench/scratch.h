// The scratch working directory of the editor benchmarks: a fresh folder
// under /tmp holding the shipped configuration and images, made the working
// directory while it lives, removed afterwards.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace editorbench {

struct Scratch {
    // tag names the folder (/tmp/vorna-<tag>-XXXXXX).
    explicit Scratch(const std::string& tag) {
        namespace fs = std::filesystem;
        std::string tmpl = "/tmp/vorna-" + tag + "-XXXXXX";
        dir = mkdtemp(tmpl.data());
        fs::create_directories(dir + "/mdata");
        fs::create_directories(dir + "/data/image");
        for (const char* f : {"mdata/format.txt", "mdata/graphics.txt"})
            fs::copy_file(std::string(SOURCE_DIR) + "/" + f, dir + "/" + f);
        for (const auto& e : fs::directory_iterator(std::string(SOURCE_DIR) + "/data/image"))
            fs::copy_file(e.path(), dir + "/data/image/" + e.path().filename().string());
        old = fs::current_path();
        fs::current_path(dir);
    }
    ~Scratch() {
        std::filesystem::current_path(old);
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    std::string dir;
    std::filesystem::path old;
};

}  // namespace editorbench
