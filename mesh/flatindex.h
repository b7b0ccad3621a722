// A compact, read-only index of the chunks of a file: for each chunk where
// its data stands, its size, its name and where its parent, first and last
// child and next sibling are, 32 bytes in all. It holds the tree the editor
// opens (the same parse, the same rebuild of sizes, the same grouping of
// material lists), for the commands that only read that tree and must stay
// small on files of millions of tiny chunks (mshtool tree and verify). A
// chunk object of the editor's tree costs several times as much.
//
// A leaf's data is a slice of the file's bytes (or of bytes made when a
// material list was grouped); a container's data is its children's encodings
// (after the MATD count of a grouped MATL), made when read.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "mesh/chunk.h"

namespace mesh {

class flatindex {
public:
    static constexpr uint32_t none = 0xFFFFFFFFu;
    struct node {
        int64_t at = 0;  // where the data stands (file bytes first, then made bytes)
        int32_t size = 0;
        char name[4] = {};
        uint32_t parent = none, first = none, last = none, next = none;
    };

    // The tree of bytes as mesh::OpenMesh makes it of a file: parsed with the
    // container-name list, sizes rebuilt and, with recognizematl, material
    // lists grouped into their MATD chunks and sizes rebuilt again. The root
    // is the chunk at offset 0 (bytes after it are not indexed). Throws
    // std::bad_alloc when memory runs out.
    flatindex(std::shared_ptr<const std::vector<uint8_t>> bytes, const namelist& list, int recognizematl);

    uint32_t root() const { return 0; }
    // What to say when the file ends inside its root chunk (as msh::cut);
    // empty when it holds the whole root.
    std::string cut() const;
    const node& operator[](uint32_t i) const { return nodes_[i]; }
    std::string_view name(uint32_t i) const { return std::string_view(nodes_[i].name, 4); }
    bool container(uint32_t i) const { return nodes_[i].first != none; }
    // Whether i is written with the MATD count before its children.
    bool grouped(uint32_t i) const;

    // The length of i's data array, and a copy of data[pos .. pos+count-1]
    // (cut to the array) into out; returns the number of bytes copied.
    int64_t datalen(uint32_t i) const;
    int64_t readbytes(uint32_t i, int64_t pos, int64_t count, uint8_t* out) const;

    // Visits root and every chunk below it in pre-order as visit(i, depth);
    // a visitor that returns a bool skips the children of a chunk it
    // answers false for. The stack holds one entry a level.
    template <class Visit>
    void PreOrder(Visit&& visit) const {
        struct Item {
            uint32_t i;
            size_t depth;
        };
        std::vector<Item> stack{{root(), 0}};
        while (!stack.empty()) {
            const Item it = stack.back();
            stack.pop_back();
            bool into = true;
            if constexpr (std::is_same_v<decltype(visit(it.i, it.depth)), bool>)
                into = visit(it.i, it.depth);
            else
                visit(it.i, it.depth);
            const node& n = nodes_[it.i];
            if (n.next != none) stack.push_back({n.next, it.depth});
            if (into && n.first != none) stack.push_back({n.first, it.depth + 1});
        }
    }

private:
    struct build;
    // Bytes at positions pos .. pos+count-1 of the file followed by the made bytes.
    void read(int64_t pos, int64_t count, uint8_t* out) const;
    void Rebuild();
    void GroupMaterials(const namelist& list);
    // The data of container i as its children encode it.
    void Encode(uint32_t i, std::vector<uint8_t>& out) const;

    std::shared_ptr<const std::vector<uint8_t>> file_;
    std::vector<uint8_t> made_;
    std::vector<node> nodes_;
    int recognizematl_ = 0;
};

// The index of the file at path, read as OpenMesh reads it. Null when the
// file cannot be read, is empty or too large, or memory runs out; *error
// (when given) then says why.
std::unique_ptr<flatindex> OpenIndex(const std::string& path, const namelist& list, int recognizematl,
                                     std::string* error = nullptr);

}  // namespace mesh
