// The values of records as text and back, for the text form of a mesh and
// for the differences between meshes: one value of a field, the line of a
// record field (".scale 1 1 1"), the line of a list element ("- 1 2 3",
// with "| ..." for the entries of its sublists) and of a name ("- \"bone\"").
// The layouts are those of the table of chunk kinds (format/records.h); a
// value is shown and read by the table of value types (format/values.h), as
// the inspector shows and reads it (floats as the shortest text that reads
// back as the same value).
//
// Every line the formatters write is read back by the encoders into the
// same bytes or the caller falls back to hexadecimal: the text form checks
// exactly that for every record it decodes.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "format/records.h"

namespace textform {

// ---- Tokens ---------------------------------------------------------------------

// The words of a line: blanks separate them, a quoted text ("a b\x00") is
// one word with its quotes, '#' outside quotes starts a comment. False when
// a quote is not closed.
bool Tokens(std::string_view line, std::vector<std::string_view>& out);

// A text in quotes: printable ASCII as it is, '"' and '\' escaped with '\',
// every other byte as \xHH.
void AppendQuoted(std::string& out, std::span<const uint8_t> bytes);
// The bytes of a quoted word; false when it is not one.
bool Unquote(std::string_view word, std::string& out);

// Bytes as hexadecimal, in groups of four bytes.
void AppendHex(std::string& out, std::span<const uint8_t> bytes);
// Appends the bytes of words of hexadecimal digits (an even number each).
bool ParseHex(std::span<const std::string_view> words, std::vector<uint8_t>& out);

// ---- Values ---------------------------------------------------------------------

// Value k of field f of the record or element whose bytes are rec (which
// holds the whole field), as text: integers in decimal, floats as the
// inspector shows them, a fixed-width text quoted up to its first zero.
void AppendValue(std::string& out, const format::Field& f, const uint8_t* rec, int k);
// Reads one word for value k of field f into rec (which has room for it).
bool ReadValue(const format::Field& f, std::string_view word, uint8_t* rec, int k);
// The number of words a field takes (a fixed-width text takes one).
int ValueCount(const format::Field& f);
// What an enumerated value or the set flags of field f mean; empty when
// nothing is named.
std::string Meaning(const format::Field& f, const uint8_t* rec);

// ---- Record lines -----------------------------------------------------------------

// The bytes a record of this layout takes before any tail: its fields'
// extent.
int RecordSize(const format::RecordLayout& l);
// ".name v v v" for each field of a record, each line after indent, with the
// meaning as a comment.
void AppendFields(std::string& out, const std::string& indent, const format::RecordLayout& l, const uint8_t* rec);
// Reads a field line's words (the first is ".name") into rec (RecordSize
// bytes); seen has a bit per field of the layout (at most 64) and refuses a
// field given twice.
bool ParseField(const format::RecordLayout& l, std::span<const std::string_view> words, uint8_t* rec, uint64_t& seen,
                std::string& error);

// "- v v v | e e | e" for the element at el (format::ElementLength bytes).
void AppendElement(std::string& out, const std::string& indent, const format::RecordLayout& l, const uint8_t* el);
// Appends the bytes of an element line (the first word is "-").
bool ParseElement(const format::RecordLayout& l, std::span<const std::string_view> words, std::vector<uint8_t>& out,
                  std::string& error);

}  // namespace textform
