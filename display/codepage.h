// Text shown through the tile set, whose 256 glyphs are code page 437. Names
// in a mesh are bytes: mostly ASCII, sometimes UTF-8 or Latin-1. Drawn as
// they are, such a name would show other characters than it holds.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace display {

// The glyph shown for a character the tile set has no glyph for ('\xfe', a
// small square).
inline constexpr int kNoGlyph = 254;

// The glyph of a Unicode character, or kNoGlyph; a control character has
// none either.
int GlyphOf(int32_t codepoint);

// The glyphs that show text: read as UTF-8 when it is valid UTF-8 with a
// byte above 127, else as Latin-1 (every byte a character), each character
// its glyph. ASCII text comes back as it is.
std::string TextGlyphs(std::string_view text);

}  // namespace display
