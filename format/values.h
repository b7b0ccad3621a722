// The types of the values a record holds, as a user sees and types them: one
// table where each type's display (its bytes to text) and its parse (typed
// text to its bytes) stand side by side. The inspector shows and edits
// values through it; the text form of a mesh writes and reads them through
// it; so a value reads back as the bytes it was shown from.
//
// Numbers are typed in the one syntax of format/number.h; an integer must fit
// its type (a hexadecimal or binary value may give the bit pattern of a
// signed one), a float must stay finite in single precision. Floats are shown
// as the shortest text that reads back as the same value. All values are
// little-endian.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "format/records.h"

namespace format {

// How a value is stored, and so how it is shown and how typed input for it
// is read.
enum class ValueType : uint8_t {
    None,       // shown only (never parsed)
    U8,
    U16,
    U32,
    I32,
    F32,
    Text,       // the whole record: text, a zero byte, zero padding to a multiple of 4 (the size changes)
    FixedText,  // text in a field of fixed width, zero-filled (at most width - 1 characters)
};

struct ValueCodec {
    ValueType type;
    // Bytes of one value; 0 for the texts, whose width is their field's (a
    // fixed text) or their record's (a text).
    int width;
    // Appends the value stored in bytes (width bytes; a text: up to its
    // first zero byte, as it is) to out.
    void (*show)(std::string& out, std::span<const uint8_t> bytes);
    // Reads typed input into the bytes the value is stored as (width: a
    // fixed text's field width; the numbers take their own). False when the
    // input does not read or fit; out is then unchanged.
    bool (*parse)(std::string_view input, int width, std::vector<uint8_t>& out);
};

// The entry of a value type in the table.
const ValueCodec& Codec(ValueType t);

// The value type of a field of a record layout (a Chars field is a fixed text).
ValueType ValueTypeOf(FieldType t);

// Codec(t).show and Codec(t).parse.
void AppendShown(std::string& out, ValueType t, std::span<const uint8_t> bytes);
bool ParseValue(ValueType t, int width, std::string_view input, std::vector<uint8_t>& out);

// The integer bits of a value of an integer field type stored at b (0 for
// floats and texts).
uint32_t IntegerBits(FieldType t, const uint8_t* b);

// The length of the list element at p of a list's data: its fields and its
// sublists' entries; 0 when it does not fit in the data.
int64_t ElementLength(const RecordLayout& l, std::span<const uint8_t> data, int64_t p);

// What an enumerated value or the set flags of field f mean: the name of the
// value (`unnamed` when the field enumerates values and this one has no
// name), else the names of the set flag bits joined by `separator`; empty
// when nothing is named.
std::string Meaning(const Field& f, uint32_t bits, std::string_view separator, std::string_view unnamed);

// The record a text is stored as: the text, a zero byte, then zero bytes to a
// multiple of 4.
std::vector<uint8_t> TextRecord(std::string_view text);

// A float as the shortest text that reads back as the same value ("nan",
// "inf" and "-inf" for the values that are no number).
std::string FloatText(float f);

}  // namespace format
