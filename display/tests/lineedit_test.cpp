// The one line-edit routine of the prompts: which characters each line
// takes, Backspace and Enter.
#include <gtest/gtest.h>

#include <string>

#include "display/lineedit.h"
#include "host/host.h"

namespace {

using display::LineChars;
using display::LineKey;

TEST(LineEdit, EachLineTakesItsCharactersAndBackspaceAndEnter) {
    struct Case {
        LineChars set;
        const char* before;
        int c;
        LineKey key;
        const char* after;
    } cases[] = {
        {LineChars::Prompt, "ab", 'c', LineKey::Edited, "abc"},
        {LineChars::Prompt, "ab", ',', LineKey::Edited, "ab,"},
        {LineChars::Prompt, "ab", ' ', LineKey::None, "ab"},
        {LineChars::Prompt, "ab", '-', LineKey::None, "ab"},
        {LineChars::Prompt, "ab", 0xE9, LineKey::None, "ab"},
        {LineChars::Any, "ab", ' ', LineKey::Edited, "ab "},
        {LineChars::Any, "ab", 0xE9, LineKey::Edited, "ab\xE9"},
        {LineChars::Any, "ab", 0x7F, LineKey::None, "ab"},
        {LineChars::Any, "ab", '\t', LineKey::None, "ab"},
        {LineChars::Any, "ab", 300, LineKey::None, "ab"},
        {LineChars::Any, "ab", 0, LineKey::None, "ab"},
        {LineChars::Prompt, "ab", host::kKeyBackspace, LineKey::Edited, "a"},
        {LineChars::Any, "", host::kKeyBackspace, LineKey::None, ""},
        {LineChars::Any, "ab", host::kKeyEnter, LineKey::Enter, "ab"},
    };
    for (const Case& c : cases) {
        std::string text = c.before;
        EXPECT_EQ(display::TypeInto(text, c.c, c.set), c.key) << c.before << " + " << c.c;
        EXPECT_EQ(text, c.after) << c.before << " + " << c.c;
    }
}

}  // namespace
