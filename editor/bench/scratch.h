// The scratch working directory of the editor benchmarks: a fresh folder
// under /tmp holding the shipped configuration and images, made the working
// directory while it lives, removed afterwards.
#pragma once

#include <filesystem>
#include <string>

#include "tests/support/scratch.h"

namespace editorbench {

struct Scratch {
    // tag names the folder (/tmp/vorna-<tag>-XXXXXX).
    explicit Scratch(const std::string& tag) : folder(tag), dir(folder.path()) {
        namespace fs = std::filesystem;
        fs::create_directories(dir + "/mdata");
        fs::create_directories(dir + "/data/image");
        for (const char* f : {"mdata/format.txt", "mdata/graphics.txt"})
            fs::copy_file(std::string(SOURCE_DIR) + "/" + f, dir + "/" + f);
        for (const auto& e : fs::directory_iterator(std::string(SOURCE_DIR) + "/data/image"))
            fs::copy_file(e.path(), dir + "/data/image/" + e.path().filename().string());
        old = fs::current_path();
        fs::current_path(dir);
    }
    ~Scratch() { std::filesystem::current_path(old); }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    testsupport::ScratchDir folder;  // removed after the working directory is given back
    std::string dir;
    std::filesystem::path old;
};

}  // namespace editorbench
