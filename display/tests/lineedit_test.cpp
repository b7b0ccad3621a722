// The one line-edit routine of the prompts: which characters each line
// takes, Backspace and Enter.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "display/lineedit.h"
#include "host/headless_host.h"
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

// A line with a caret: each step is keys pressed (with Control when ctrl),
// or text typed, and what the line holds after it.
TEST(LineEdit, TheCaretMovesAndEditsAndWhatIsNotTakenIsSaidNotDropped) {
    struct Step {
        std::vector<int> keys;  // pressed, then the typed text
        bool ctrl;
        std::string typed;
        std::string text;
        size_t caret;
        std::string refused;
    };
    const struct {
        const char* what;
        LineChars set;
        std::string start;
        std::string clipboard;
        std::vector<Step> steps;
    } cases[] = {
        {"caret moves and types in the middle", LineChars::Text, "abc", "",
         {{{host::kKeyLeft, host::kKeyLeft}, false, "X", "aXbc", 2, ""},
          {{host::kKeyHome}, false, "<", "<aXbc", 1, ""},
          {{host::kKeyEnd}, false, "\b", "<aXb", 4, ""},
          {{host::kKeyHome, host::kKeyDelete}, false, "", "aXb", 0, ""}}},
        {"Control+A, then typing replaces all", LineChars::Text, "/long/path/name.msh", "",
         {{{host::kKeyA}, true, "b.msh", "b.msh", 5, ""}}},
        {"Control+A, then Backspace empties", LineChars::Any, "abc", "", {{{host::kKeyA}, true, "\b", "", 0, ""}}},
        {"a double quote is kept in a name", LineChars::Text, "", "", {{{}, false, "a\"b.tga", "a\"b.tga", 7, ""}}},
        {"refused with the reason, never dropped", LineChars::Text, "ab", "",
         {{{}, false, "\xE9", "ab", 2, "U+00E9 is not taken: only ASCII characters"},
          {{host::kKeyTab}, false, "", "ab", 2, "Tab is not taken here"},
          {{}, false, "c", "abc", 3, ""}}},
        {"the chunk name prompt says what it does not take", LineChars::Prompt, "MO", "",
         {{{}, false, "-", "MO", 2, "'-' is not taken here"}}},
        {"paste at the caret, its line break left out", LineChars::Any, "ab", "/x y\n",
         {{{host::kKeyLeft}, false, "", "ab", 1, ""}, {{host::kKeyV}, true, "", "a/x yb", 5, ""}}},
        {"a paste with what the line does not take is not done", LineChars::Text, "ab", "c\td",
         {{{host::kKeyV}, true, "", "ab", 2, "Tab is not taken here: nothing pasted"}}},
        {"a pasted UTF-8 character beyond ASCII", LineChars::Text, "", "\xC3\xA9",
         {{{host::kKeyV}, true, "", "", 0, "U+00E9 is not taken: only ASCII characters: nothing pasted"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        host::HeadlessHost h;
        h.clipboard = c.clipboard;
        display::LineEdit line(c.start, c.set);
        for (const Step& s : c.steps) {
            if (s.ctrl) h.HoldKey(host::kKeyLeftControl, true);
            for (int k : s.keys) h.PressKey(k);
            if (s.ctrl) h.HoldKey(host::kKeyLeftControl, false);
            line.Keys(h);
            for (char ch : s.typed) line.Type(static_cast<unsigned char>(ch));
            EXPECT_EQ(line.Text(), s.text);
            EXPECT_EQ(line.Caret(), s.caret);
            EXPECT_EQ(line.Refused(), s.refused);
        }
    }
}

}  // namespace
