// Names shown through the code page 437 tile set: UTF-8 and Latin-1 text
// reaches the glyphs of its characters, and what the tile set cannot show is
// marked.
#include <gtest/gtest.h>

#include <string>

#include "display/codepage.h"

namespace {

TEST(CodePage, TextShowsTheCharactersItHolds) {
    const std::string none(1, char(display::kNoGlyph));
    const struct {
        const char* what;
        std::string text;
        std::string glyphs;
    } cases[] = {
        {"ASCII as it is", "body_2.tga", "body_2.tga"},
        {"UTF-8", "caf\xC3\xA9 \xC3\x9C\xC3\x9F", "caf\x82 \x9A\xE1"},
        {"Latin-1", "caf\xE9 na\xEFve", "caf\x82 na\x8Bve"},
        {"a box-drawing character in UTF-8", "\xE2\x94\x80", "\xC4"},
        {"what code page 437 has no glyph for", "\xE2\x82\xAC" "5", none + "5"},
        {"control characters", "a\tb\x7F", "a" + none + "b" + none},
        {"UTF-8 cut short is read as Latin-1", "\xE9t\xC3", "\x82t" + none},
    };
    for (const auto& c : cases) EXPECT_EQ(display::TextGlyphs(c.text), c.glyphs) << c.what;
}

}  // namespace
