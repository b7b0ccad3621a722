// Typing into a line of text: the one routine the modal prompts share (the
// line prompt of the chunk name, the typed path when there is no file
// dialog), and the characters each of them takes. Typed characters come from
// the host's queue (NextTypedChar): Enter and Backspace arrive there under
// their key codes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace host {
class Host;
}

namespace display {

// Which typed characters a line takes.
enum class LineChars {
    // The line prompt's 90 (kInputLineChars): letters, digits and
    // "!@#$%^&*()_+|\[];',./{}:<>?`"; no space.
    Prompt,
    // Every character from the space on but DEL, the bytes above 127
    // included, so that any file name can be typed.
    Any,
    // The printable ASCII characters and the blank: a name as the game's
    // tools read it, checked whole when it is given.
    Text,
};

// The characters the line prompt accepts.
inline const std::string kInputLineChars =
    "qazwsxedcrfvtgbyhnujmikolpQAZWSXEDCRFVTGBYHNUJMIKOLP1234567890!@#$%^&*()_+|\\[];',./{}:<>?`";

bool Accepts(LineChars set, int c);
// Why a line does not take the character c (a typed one, or a code point of
// pasted text): "'\"' is not taken here", "U+00E9 is not taken: only ASCII
// characters"; empty when it does.
std::string Refusal(LineChars set, int32_t c);

// What one typed character did to a line.
enum class LineKey {
    None,    // nothing typed, or a character the line does not take
    Edited,  // a character appended, or the last one dropped
    Enter,
};

// Applies one typed character c (0: none) to text: Backspace drops its last
// character, a character of the set is appended, Enter is only reported.
LineKey TypeInto(std::string& text, int c, LineChars set);

// A line edited with a caret: typed characters go in at the caret, Backspace
// and Delete take out the one before and after it; Left, Right, Home and End
// move it; Control+A selects the whole line (what comes next replaces it,
// Backspace or Delete empty it, a move ends the selection); Control+V
// pastes the host's clipboard at the caret (a line break at its end is left
// out). A character the line does not take changes nothing and says why
// (Refused), as does Tab, and a paste with one such character is not done.
class LineEdit {
public:
    LineEdit(std::string text, LineChars set);
    const std::string& Text() const { return text_; }
    size_t Caret() const { return caret_; }
    bool AllSelected() const { return all_; }
    // Why the last input was refused, until the next one is taken; empty
    // when it was not.
    const std::string& Refused() const { return refused_; }

    // One typed character (0: none) from the host's queue.
    LineKey Type(int c);
    // The editing keys pressed since the last frame (consumed).
    void Keys(host::Host& host);
    // Text (UTF-8) put in at the caret, whole or not at all.
    void Paste(std::string_view utf8);

private:
    void Insert(const std::string& s);
    std::string text_;
    size_t caret_ = 0;
    bool all_ = false;
    LineChars set_;
    std::string refused_;
};

}  // namespace display
