// The builder of a text form's bytes (see textform.h), shared by the two
// files that make it up: build.cpp reads the chunk and field lines one at a
// time, runs.cpp the long runs of list elements and bytes in place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "format/records.h"
#include "format/values.h"
#include "mesh/msh.h"

namespace textform {

struct Open {
    size_t depth;
    size_t header;             // where its header starts in the output
    bool declared = false;     // size=N given
    int32_t size = 0;
    std::string name;
    const format::RecordLayout* layout = nullptr;  // its data's layout (null: not a known record)
    int64_t countat = -1;      // where its count goes
    bool autocount = true;
    uint32_t count = 0;
    uint32_t items = 0;        // elements and MATD children
    int64_t recordat = -1;     // where its record's fields stand
    uint64_t seen = 0;
};

// One value of a list element as Run() reads it.
struct Slot {
    const format::Field* field;
    format::FieldType type;
    int width;
    int k;
    size_t offset;
    uint64_t max;  // of an integer
};

class Builder {
public:
    explicit Builder(std::vector<uint8_t>& out) : out_(out) {}

    bool Line(std::string_view line);
    // The lines of list elements and of bytes, read in place, from a and
    // while they stand at the indent of the open chunk's contents: nearly
    // all of a large text, up to limit: the start of a line, at most one
    // past the text's last '\n' (the '\n' before it ends every scan of a
    // line). Returns where the first line left to Line() starts, or limit;
    // number counts the lines read.
    size_t Run(std::string_view text, size_t a, size_t limit, size_t& number);
    bool Finish() {
        while (!open_.empty())
            if (!Close()) return false;
        return true;
    }
    std::string error;

private:
    bool Fail(std::string why) {
        error = std::move(why);
        return false;
    }
    bool Close();
    bool Enter(size_t depth);
    bool Chunk(size_t depth, std::span<const std::string_view> words);
    bool Number(std::string_view text, format::ValueType type, uint32_t& v);
    bool Grew() {
        return out_.size() <= static_cast<size_t>(mesh::msh::kMaxFileBytes) ||
               Fail("the file would be larger than a mesh can be");
    }

    // The slots of a list layout whose elements are numbers only; false
    // (and no slots) for any other.
    bool Plan(const format::RecordLayout& l);
    // Makes the output hold at least size + need bytes, a block at a time
    // (zeroed while it is in the cache); false past the largest file.
    bool Room(size_t size, size_t need) { return size + need <= out_.size() || Grow(size, need); }
    bool Grow(size_t size, size_t need);
    // An element's values (p after its "- ") into the output at size, or a
    // line of bytes, whose count is added to size; where the line's '\n'
    // stands, or nullptr for a line Line() must read.
    const char* Element(const char* p, const char* end, size_t size);
    const char* Hex(const char* p, const char* end, size_t& size);
    // The element lines whose values all take the plain form, from a while
    // they last: what Run() spends nearly all its time on, kept apart so
    // that it holds its state in registers. The elements are n values of one
    // type one after the other (floats for width 0, integers of that width
    // otherwise); a line in any other form is left to Element().
    template <int n, int width>
    size_t Plain(const char* t, size_t a, size_t limit, size_t indent, size_t& size, uint32_t& items,
                 size_t& number);
    int shape_ = 0;  // which Plain<n, width> reads the planned elements (see Run)
    static constexpr size_t kBlock = size_t(1) << 12;

    std::vector<uint8_t>& out_;
    std::vector<Open> open_;
    const format::RecordLayout* planned_ = nullptr;
    std::vector<Slot> slots_;
    std::vector<std::string_view> words_;
    std::string text_;
};

}  // namespace textform
