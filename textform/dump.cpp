// The text form of a file's bytes (see textform.h). The bytes are walked as
// they stand, with a stack of the windows (a container's data, the file)
// still to be read, so that nothing is lost that the chunk tree would drop
// or correct: sizes that run past their parent, stray bytes, trailing chunks.
#include <cstring>

#include "format/bytes.h"
#include "mesh/chunk.h"
#include "format/records.h"
#include "format/values.h"
#include "textform/codec.h"
#include "textform/textform.h"

namespace textform {

namespace {

constexpr size_t kHexPerLine = 32;
constexpr size_t kPiece = size_t(1) << 20;

bool Plain(uint8_t b) {
    return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || b == '_';
}

void AppendName(std::string& out, const uint8_t* n) {
    static const char hex[] = "0123456789abcdef";
    for (int i = 0; i < 4; ++i) {
        if (Plain(n[i])) {
            out += static_cast<char>(n[i]);
        } else {
            out += "\\x";
            out += hex[n[i] >> 4];
            out += hex[n[i] & 15];
        }
    }
}

void AppendBytes(std::string& out, const std::string& indent, std::span<const uint8_t> b) {
    for (size_t i = 0; i < b.size(); i += kHexPerLine) {
        out += indent;
        out += ": ";
        AppendHex(out, b.subspan(i, std::min(kHexPerLine, b.size() - i)));
        out += '\n';
    }
}

std::string_view NameAt(std::span<const uint8_t> b, int64_t p) {
    return {reinterpret_cast<const char*>(b.data() + p), 4};
}

// The chunk at p of a window ending at end (at least 8 bytes left): its
// size as the file gives it and the size of the data it stands for, cut as
// the reader cuts it (negative: none; past the window: what is left).
struct Header {
    int32_t declared;
    int64_t size;
};
Header Read(std::span<const uint8_t> b, int64_t p, int64_t end) {
    const int32_t declared = format::LoadI32(b.data() + p + 4);
    const int64_t size = std::clamp<int64_t>(declared, 0, end - p - 8);
    return {declared, size};
}

// The MATD chunks of a grouped MATL's window.
uint32_t MatdCount(std::span<const uint8_t> b, int64_t p, int64_t end) {
    uint32_t n = 0;
    while (end - p >= 8) {
        const Header h = Read(b, p, end);
        n += NameAt(b, p) == "MATD";
        p += 8 + h.size;
    }
    return n;
}

// Whether the lines read back into exactly these bytes.
bool Rebuilds(const std::string& lines, const format::RecordLayout& l, std::span<const uint8_t> want) {
    std::vector<uint8_t> got;
    std::vector<std::string_view> words;
    std::string error;
    std::string text;
    uint64_t seen = 0;
    if (l.layout == format::Layout::Fields) got.assign(static_cast<size_t>(RecordSize(l)), 0);
    for (size_t a = 0; a < lines.size();) {
        size_t e = lines.find('\n', a);
        if (!Tokens(std::string_view(lines).substr(a, e - a), words) || words.empty()) return false;
        a = e + 1;
        bool ok = true;
        if (l.layout == format::Layout::Fields) {
            ok = ParseField(l, words, got.data(), seen, error);
        } else if (l.layout == format::Layout::List) {
            ok = ParseElement(l, std::span(words).subspan(0), got, error);
        } else if (words.size() == 2 && Unquote(words[1], text)) {
            got.insert(got.end(), text.begin(), text.end());
            got.push_back(0);
        } else {
            ok = false;
        }
        if (!ok) return false;
    }
    return got.size() == want.size() && std::equal(got.begin(), got.end(), want.begin());
}

// The line of a leaf (from its name on) and what follows it: decoded when its
// layout reads back exactly, else its bytes.
void Leaf(std::string& out, std::string& line, const std::string& indent, std::string_view name,
          std::string_view parent, std::span<const uint8_t> d) {
    const format::ChunkKind* kind = format::FindKind(name);
    const format::RecordLayout* l = kind ? &format::LayoutOf(*kind, parent) : nullptr;
    std::string body;
    size_t used = 0;
    if (l && !d.empty()) {
        switch (l->layout) {
            case format::Layout::Text: {
                const void* z = std::memchr(d.data(), 0, d.size());
                const size_t len = z ? static_cast<size_t>(static_cast<const uint8_t*>(z) - d.data()) : d.size();
                const std::vector<uint8_t> rec = format::TextRecord(std::string(d.begin(), d.begin() + len));
                if (rec.size() == d.size() && std::equal(rec.begin(), rec.end(), d.begin())) {
                    line += ' ';
                    AppendQuoted(line, d.first(len));
                    used = d.size();
                }
                break;
            }
            case format::Layout::Fields: {
                const size_t rs = static_cast<size_t>(RecordSize(*l));
                if (rs == 0 || d.size() < rs) break;
                AppendFields(body, indent, *l, d.data());
                if (Rebuilds(body, *l, d.first(rs))) used = rs;
                break;
            }
            case format::Layout::List: {
                if (l->elementsize <= 0 || d.size() < 4) break;
                const uint32_t count = format::LoadU32(d.data());
                int64_t p = 4;
                uint32_t k = 0;
                for (; k < count; ++k) {
                    const int64_t len = format::ElementLength(*l, d, p);
                    if (len == 0) break;
                    AppendElement(body, indent, *l, d.data() + p);
                    p += len;
                }
                if (!Rebuilds(body, *l, d.subspan(4, static_cast<size_t>(p - 4)))) break;
                line += k == count ? " count" : " count=" + std::to_string(count);
                used = static_cast<size_t>(p);
                break;
            }
            case format::Layout::Names: {
                if (d.back() != 0) break;
                for (size_t a = 0; a < d.size();) {
                    const size_t z = static_cast<size_t>(
                        static_cast<const uint8_t*>(std::memchr(d.data() + a, 0, d.size() - a)) - d.data());
                    body += indent + "- ";
                    AppendQuoted(body, d.subspan(a, z - a));
                    body += '\n';
                    a = z + 1;
                }
                if (Rebuilds(body, *l, d)) used = d.size();
                break;
            }
            default: break;
        }
    }
    if (used == 0) body.clear();
    out += line;
    out += '\n';
    out += body;
    AppendBytes(out, indent, d.subspan(used));
}

}  // namespace

bool Dump(std::span<const uint8_t> b, const mesh::namelist& list,
          const std::function<bool(std::string_view)>& emit) {
    struct Window {
        int64_t pos, end;
        size_t depth;
        std::string parent;
    };
    std::vector<Window> stack{{0, static_cast<int64_t>(b.size()), 0, std::string()}};
    std::string out = "# mesh text form: one chunk a line; see the README\n";
    std::string line, indent;
    while (!stack.empty()) {
        if (out.size() >= kPiece) {
            if (!emit(out)) return false;
            out.clear();
        }
        Window& w = stack.back();
        if (w.pos >= w.end) {
            stack.pop_back();
            continue;
        }
        indent.assign(2 * w.depth, ' ');
        if (w.end - w.pos < 8) {
            AppendBytes(out, indent, b.subspan(static_cast<size_t>(w.pos), static_cast<size_t>(w.end - w.pos)));
            w.pos = w.end;
            continue;
        }
        const int64_t at = w.pos;
        const Header h = Read(b, at, w.end);
        const int64_t data = at + 8;
        w.pos = data + h.size;
        const size_t depth = w.depth;
        const std::string_view name = NameAt(b, at);
        const std::string parent = w.parent;  // w is not valid once a window is pushed
        line = indent;
        AppendName(line, b.data() + at);
        if (h.declared != h.size) line += " size=" + std::to_string(h.declared);
        const std::span<const uint8_t> d = b.subspan(static_cast<size_t>(data), static_cast<size_t>(h.size));
        if (h.size >= 8 && !format::IsRecordName(name) && mesh::NameInList(std::string(NameAt(d, 0)), list)) {
            out += line;
            out += '\n';
            stack.push_back({data, data + h.size, depth + 1, std::string(name)});
        } else if (name == "MATL" && h.size >= 4 && (h.size == 4 || (h.size >= 12 && NameAt(d, 4) == "MATD"))) {
            const uint32_t stored = format::LoadU32(d.data());
            const uint32_t matds = MatdCount(b, data + 4, data + h.size);
            line += stored == matds ? " count" : " count=" + std::to_string(stored);
            out += line;
            out += '\n';
            stack.push_back({data + 4, data + h.size, depth + 1, std::string(name)});
        } else {
            Leaf(out, line, std::string(2 * depth + 2, ' '), name, parent, d);
        }
    }
    return out.empty() || emit(out);
}

}  // namespace textform
