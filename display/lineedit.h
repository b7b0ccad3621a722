// Typing into a line of text: the one routine the modal prompts share (the
// line prompt of the chunk name, the typed path when there is no file
// dialog), and the characters each of them takes. Typed characters come from
// the host's queue (NextTypedChar): Enter and Backspace arrive there under
// their key codes.
#pragma once

#include <string>

namespace display {

// Which typed characters a line takes.
enum class LineChars {
    // The line prompt's 90 (kInputLineChars): letters, digits and
    // "!@#$%^&*()_+|\[];',./{}:<>?`"; no space.
    Prompt,
    // Every character from the space on but DEL, the bytes above 127
    // included, so that any file name can be typed.
    Any,
};

// The characters the line prompt accepts.
inline const std::string kInputLineChars =
    "qazwsxedcrfvtgbyhnujmikolpQAZWSXEDCRFVTGBYHNUJMIKOLP1234567890!@#$%^&*()_+|\\[];',./{}:<>?`";

bool Accepts(LineChars set, int c);

// What one typed character did to a line.
enum class LineKey {
    None,    // nothing typed, or a character the line does not take
    Edited,  // a character appended, or the last one dropped
    Enter,
};

// Applies one typed character c (0: none) to text: Backspace drops its last
// character, a character of the set is appended, Enter is only reported.
LineKey TypeInto(std::string& text, int c, LineChars set);

}  // namespace display
