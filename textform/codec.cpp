// Record values as text and back (see codec.h).
#include "textform/codec.h"

#include <cstring>

#include "format/bytes.h"
#include "format/values.h"

namespace textform {

namespace {

const char kHex[] = "0123456789abcdef";

// The name of a sublist's entries, more than one ("indexes", "rotation keys").
std::string Plural(const std::string& name) {
    return name + (!name.empty() && name.back() == 'x' ? "es" : "s");
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

int64_t Offset(const format::Field& f, int k) { return f.offset + int64_t(k) * f.Stride(); }

// The integer bits of value k (0 for floats and texts).
uint32_t Bits(const format::Field& f, const uint8_t* rec, int k) {
    return format::IntegerBits(f.type, rec + Offset(f, k));
}

int EntryValues(const format::Sublist& s) {
    int n = 0;
    for (const format::Field& f : s.fields) n += ValueCount(f);
    return n;
}

}  // namespace

// ---- Tokens ---------------------------------------------------------------------------

bool Tokens(std::string_view line, std::vector<std::string_view>& out) {
    out.clear();
    size_t i = 0;
    const size_t n = line.size();
    while (i < n) {
        const char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
        } else if (c == '#') {
            break;
        } else if (c == '"') {
            size_t j = i + 1;
            while (j < n && line[j] != '"') j += line[j] == '\\' ? 2 : 1;
            if (j >= n) return false;
            out.push_back(line.substr(i, j + 1 - i));
            i = j + 1;
        } else {
            size_t j = i;
            while (j < n && line[j] != ' ' && line[j] != '\t' && line[j] != '\r' && line[j] != '#') ++j;
            out.push_back(line.substr(i, j - i));
            i = j;
        }
    }
    return true;
}

void AppendQuoted(std::string& out, std::span<const uint8_t> bytes) {
    out += '"';
    for (uint8_t b : bytes) {
        if (b == '"' || b == '\\') {
            out += '\\';
            out += static_cast<char>(b);
        } else if (b >= 0x20 && b < 0x7F) {
            out += static_cast<char>(b);
        } else {
            out += "\\x";
            out += kHex[b >> 4];
            out += kHex[b & 15];
        }
    }
    out += '"';
}

bool Unquote(std::string_view w, std::string& out) {
    out.clear();
    if (w.size() < 2 || w.front() != '"' || w.back() != '"') return false;
    for (size_t i = 1; i + 1 < w.size(); ++i) {
        if (w[i] != '\\') {
            out += w[i];
            continue;
        }
        if (i + 2 < w.size() && (w[i + 1] == '"' || w[i + 1] == '\\')) {
            out += w[++i];
        } else if (i + 4 < w.size() && w[i + 1] == 'x' && HexDigit(w[i + 2]) >= 0 && HexDigit(w[i + 3]) >= 0) {
            out += static_cast<char>(HexDigit(w[i + 2]) * 16 + HexDigit(w[i + 3]));
            i += 3;
        } else {
            return false;
        }
    }
    return true;
}

void AppendHex(std::string& out, std::span<const uint8_t> bytes) {
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0 && i % 4 == 0) out += ' ';
        out += kHex[bytes[i] >> 4];
        out += kHex[bytes[i] & 15];
    }
}

bool ParseHex(std::span<const std::string_view> words, std::vector<uint8_t>& out) {
    for (std::string_view w : words) {
        if (w.size() % 2) return false;
        for (size_t i = 0; i < w.size(); i += 2) {
            const int hi = HexDigit(w[i]), lo = HexDigit(w[i + 1]);
            if (hi < 0 || lo < 0) return false;
            out.push_back(static_cast<uint8_t>(hi * 16 + lo));
        }
    }
    return true;
}

// ---- Values ---------------------------------------------------------------------------

int ValueCount(const format::Field& f) { return f.type == format::FieldType::Chars ? 1 : f.count; }

void AppendValue(std::string& out, const format::Field& f, const uint8_t* rec, int k) {
    const format::ValueType t = format::ValueTypeOf(f.type);
    if (t == format::ValueType::FixedText) {
        thread_local std::string text;
        text.clear();
        format::AppendShown(text, t, {rec + f.offset, static_cast<size_t>(f.count)});
        AppendQuoted(out, {reinterpret_cast<const uint8_t*>(text.data()), text.size()});
        return;
    }
    format::AppendShown(out, t, {rec + Offset(f, k), static_cast<size_t>(format::FieldTypeWidth(f.type))});
}

bool ReadValue(const format::Field& f, std::string_view word, uint8_t* rec, int k) {
    thread_local std::vector<uint8_t> bytes;
    thread_local std::string text;
    if (f.type == format::FieldType::Chars) {
        if (!Unquote(word, text)) return false;
        word = text;
    }
    if (!format::ParseValue(format::ValueTypeOf(f.type), f.count, word, bytes)) return false;
    std::memcpy(rec + (f.type == format::FieldType::Chars ? f.offset : Offset(f, k)), bytes.data(), bytes.size());
    return true;
}

std::string Meaning(const format::Field& f, const uint8_t* rec) {
    if (f.values.empty() && f.flags.empty()) return {};
    return format::Meaning(f, Bits(f, rec, 0), ", ", "");
}

// ---- Records ------------------------------------------------------------------------

int RecordSize(const format::RecordLayout& l) {
    int end = 0;
    for (const format::Field& f : l.fields) end = std::max(end, f.End());
    return end;
}

void AppendFields(std::string& out, const std::string& indent, const format::RecordLayout& l, const uint8_t* rec) {
    for (const format::Field& f : l.fields) {
        out += indent;
        out += '.';
        out += f.name;
        for (int k = 0; k < ValueCount(f); ++k) {
            out += ' ';
            AppendValue(out, f, rec, k);
        }
        const std::string m = Meaning(f, rec);
        if (!m.empty()) out += "  # " + m;
        out += '\n';
    }
}

bool ParseField(const format::RecordLayout& l, std::span<const std::string_view> words, uint8_t* rec, uint64_t& seen,
                std::string& error) {
    const std::string_view name = words[0].substr(1);
    for (size_t i = 0; i < l.fields.size() && i < 64; ++i) {
        const format::Field& f = l.fields[i];
        if (name != f.name) continue;
        if (seen & (uint64_t(1) << i)) {
            error = "the field ." + std::string(name) + " is given twice";
            return false;
        }
        seen |= uint64_t(1) << i;
        if (static_cast<int>(words.size()) - 1 != ValueCount(f)) {
            error = "." + std::string(name) + " takes " + std::to_string(ValueCount(f)) + " values";
            return false;
        }
        for (int k = 0; k < ValueCount(f); ++k)
            if (!ReadValue(f, words[static_cast<size_t>(k) + 1], rec, k)) {
                error = "not a value for ." + std::string(name) + ": " + std::string(words[static_cast<size_t>(k) + 1]);
                return false;
            }
        return true;
    }
    error = "no field ." + std::string(name) + " in this record";
    return false;
}

// ---- List elements -------------------------------------------------------------------

void AppendElement(std::string& out, const std::string& indent, const format::RecordLayout& l, const uint8_t* el) {
    out += indent;
    out += '-';
    std::string note;
    for (const format::Field& f : l.element) {
        for (int k = 0; k < ValueCount(f); ++k) {
            out += ' ';
            AppendValue(out, f, el, k);
        }
        const std::string m = Meaning(f, el);
        if (!m.empty()) note += (note.empty() ? "" : ", ") + m;
    }
    const uint8_t* q = el + l.elementsize;
    for (const format::Sublist& s : l.sublists) {
        out += " |";
        const uint32_t n = Bits(l.element[static_cast<size_t>(s.countfield)], el, 0);
        for (uint32_t e = 0; e < n; ++e, q += s.entrysize)
            for (const format::Field& f : s.fields)
                for (int k = 0; k < ValueCount(f); ++k) {
                    out += ' ';
                    AppendValue(out, f, q, k);
                }
    }
    if (!note.empty()) out += "  # " + note;
    out += '\n';
}

bool ParseElement(const format::RecordLayout& l, std::span<const std::string_view> words, std::vector<uint8_t>& out,
                  std::string& error) {
    const size_t start = out.size();
    out.resize(start + static_cast<size_t>(l.elementsize), 0);
    size_t w = 1;
    for (const format::Field& f : l.element)
        for (int k = 0; k < ValueCount(f); ++k, ++w) {
            if (w >= words.size() || words[w] == "|") {
                error = "an element takes more values";
                return false;
            }
            if (!ReadValue(f, words[w], out.data() + start, k)) {
                error = "not a value for " + std::string(f.name) + ": " + std::string(words[w]);
                return false;
            }
        }
    for (const format::Sublist& s : l.sublists) {
        if (w >= words.size() || words[w] != "|") {
            error = "the " + Plural(s.name) + " of an element follow a '|'";
            return false;
        }
        size_t end = ++w;
        while (end < words.size() && words[end] != "|") ++end;
        const size_t per = static_cast<size_t>(EntryValues(s));
        const size_t values = end - w;
        const uint32_t declared = Bits(l.element[static_cast<size_t>(s.countfield)], out.data() + start, 0);
        if (per == 0 || values % per != 0 || values / per != declared) {
            error = "the element's count of " + Plural(s.name) + " is " + std::to_string(declared) + ", " +
                    std::to_string(values / std::max<size_t>(per, 1)) + " are given";
            return false;
        }
        for (; w < end; w += per) {
            const size_t at = out.size();
            out.resize(at + static_cast<size_t>(s.entrysize), 0);
            size_t v = w;
            for (const format::Field& f : s.fields)
                for (int k = 0; k < ValueCount(f); ++k, ++v)
                    if (!ReadValue(f, words[v], out.data() + at, k)) {
                        error = "not a value for " + std::string(s.name) + ": " + std::string(words[v]);
                        return false;
                    }
        }
    }
    if (w != words.size()) {
        error = "an element takes fewer values";
        return false;
    }
    return true;
}

}  // namespace textform
