// The bytes of a text form (see textform.h), in one pass over its lines: a
// chunk's header is written when its line is read and its size (and count)
// filled in when the first line that does not belong to it closes it.
#include <algorithm>
#include <limits>
#include <new>

#include "format/bytes.h"
#include "format/records.h"
#include "format/values.h"
#include "textform/builder.h"
#include "textform/codec.h"
#include "textform/textform.h"

namespace textform {

bool Builder::Number(std::string_view text, format::ValueType type, uint32_t& v) {
    std::vector<uint8_t> b;
    if (!format::ParseValue(type, 4, std::string(text), b) || b.size() != 4) return false;
    v = format::LoadU32(b.data());
    return true;
}

bool Builder::Close() {
    Open& c = open_.back();
    if (c.recordat >= 0) {
        const size_t fields = std::min<size_t>(c.layout->fields.size(), 64);
        for (size_t i = 0; i < fields; ++i)
            if (!(c.seen & (uint64_t(1) << i)))
                return Fail(c.name + " lacks its field ." + c.layout->fields[i].name);
    }
    if (c.countat >= 0) {
        const uint32_t n = c.autocount ? c.items : c.count;
        format::StoreU32(out_.data() + c.countat, n);
    }
    const int64_t size = static_cast<int64_t>(out_.size() - c.header - 8);
    if (size > std::numeric_limits<int32_t>::max()) return Fail(c.name + " holds more than a chunk can");
    format::StoreI32(out_.data() + c.header + 4, c.declared ? c.size : static_cast<int32_t>(size));
    open_.pop_back();
    return true;
}

bool Builder::Chunk(size_t depth, std::span<const std::string_view> words) {
    std::string name;
    const std::string_view w = words[0];
    for (size_t i = 0; i < w.size(); ++i) {
        if (w[i] == '\\' && i + 3 < w.size() && w[i + 1] == 'x') {
            std::string one;
            if (!Unquote("\"" + std::string(w.substr(i, 4)) + "\"", one))
                return Fail("not a chunk name: " + std::string(w));
            name += one;
            i += 3;
        } else {
            name += w[i];
        }
    }
    if (name.size() != 4) return Fail("a chunk name is four bytes: " + std::string(w));
    if (!open_.empty() && open_.back().name == "MATL" && name == "MATD") ++open_.back().items;
    Open c;
    c.depth = depth;
    c.header = out_.size();
    c.name = name;
    if (const format::ChunkKind* k = format::FindKind(name))
        c.layout = &format::LayoutOf(*k, open_.empty() ? std::string_view() : std::string_view(open_.back().name));
    out_.insert(out_.end(), name.begin(), name.end());
    out_.resize(out_.size() + 4, 0);
    for (std::string_view a : words.subspan(1)) {
        uint32_t v = 0;
        if (a == "count") {
            c.countat = static_cast<int64_t>(out_.size());
            out_.resize(out_.size() + 4, 0);
        } else if (a.starts_with("count=") && c.countat < 0) {
            if (!Number(a.substr(6), format::ValueType::U32, v)) return Fail("not a count: " + std::string(a));
            c.autocount = false;
            c.count = v;
            c.countat = static_cast<int64_t>(out_.size());
            out_.resize(out_.size() + 4, 0);
        } else if (a.starts_with("size=")) {
            if (!Number(a.substr(5), format::ValueType::I32, v)) return Fail("not a size: " + std::string(a));
            c.declared = true;
            c.size = static_cast<int32_t>(v);
        } else if (a.starts_with("\"")) {
            if (!Unquote(a, text_)) return Fail("not a text: " + std::string(a));
            const std::vector<uint8_t> rec = format::TextRecord(text_);
            out_.insert(out_.end(), rec.begin(), rec.end());
        } else {
            return Fail("not an attribute of a chunk: " + std::string(a));
        }
    }
    open_.push_back(std::move(c));
    return Grew();
}

// Closes the chunks a line at this depth ends; false when it stands deeper
// than the chunk it would belong to (error then says so).
bool Builder::Enter(size_t depth) {
    while (!open_.empty() && open_.back().depth >= depth)
        if (!Close()) return false;
    if (depth > 0 && (open_.empty() || open_.back().depth + 1 != depth)) return Fail("indented deeper than its chunk");
    return true;
}

bool Builder::Line(std::string_view line) {
    size_t spaces = 0;
    while (spaces < line.size() && line[spaces] == ' ') ++spaces;
    if (!Tokens(line, words_)) return Fail("a quote is not closed");
    if (words_.empty()) return true;
    if (spaces < line.size() && line[spaces] == '\t') return Fail("indent with spaces, not tabs");
    if (spaces % 2) return Fail("an indent is two spaces a level");
    const size_t depth = spaces / 2;
    if (!Enter(depth)) return false;
    const std::string_view first = words_[0];
    if (first == ":") {
        if (!ParseHex(std::span(words_).subspan(1), out_)) return Fail("not hexadecimal bytes");
        return Grew();
    }
    if (first[0] != '.' && first != "-") return Chunk(depth, words_);
    if (open_.empty()) return Fail("a value outside any chunk");
    Open& c = open_.back();
    const format::Layout form = c.layout ? c.layout->layout : format::Layout::Opaque;
    if (first[0] == '.') {
        if (form != format::Layout::Fields) return Fail(c.name + " has no fields here");
        if (c.recordat < 0) {
            c.recordat = static_cast<int64_t>(out_.size());
            out_.resize(out_.size() + static_cast<size_t>(RecordSize(*c.layout)), 0);
        }
        return ParseField(*c.layout, words_, out_.data() + c.recordat, c.seen, error);
    }
    ++c.items;
    if (form == format::Layout::List) return ParseElement(*c.layout, words_, out_, error) && Grew();
    if (form == format::Layout::Names) {
        if (words_.size() != 2 || !Unquote(words_[1], text_)) return Fail("a name is one quoted text");
        out_.insert(out_.end(), text_.begin(), text_.end());
        out_.push_back(0);
        return Grew();
    }
    return Fail(c.name + " has no list here");
}

bool Build(std::string_view text, std::vector<uint8_t>& out, std::string& error) {
    out.clear();
    Builder b(out);
    try {
        // A mesh takes fewer bytes than its text: one reservation instead of
        // copies as it grows.
        out.reserve(text.size() / 2);
        size_t number = 0;
        const size_t last = text.rfind('\n');
        const size_t limit = last == std::string_view::npos ? 0 : last + 1;
        for (size_t a = 0; a <= text.size();) {
            a = b.Run(text, a, limit, number);
            size_t e = text.find('\n', a);
            if (e == std::string_view::npos) e = text.size();
            ++number;
            if (!b.Line(text.substr(a, e - a))) {
                error = "line " + std::to_string(number) + ": " + b.error;
                return false;
            }
            a = e + 1;
        }
        if (!b.Finish()) {
            error = "at the end: " + b.error;
            return false;
        }
    } catch (const std::bad_alloc&) {
        error = "Out of memory.";
        return false;
    }
    return true;
}

}  // namespace textform
