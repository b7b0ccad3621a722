// The status text of the tool row: where its two rows stand, how a text
// flows over them, and what it says of a character a text box did not take.
// The inspector shows it; the check window shows a text too long for it.
#pragma once

#include <string>

#include "editor/panel.h"

namespace editor {

// The first row stands right of the tool row's buttons, the second under
// them across the free area.
struct StatusPlace {
    int x1, y1, w1, x2, y2, w2;
    static StatusPlace For(const Layout& l) { return {70, 5, l.W - 71, 41, 6, l.W - 42}; }
};

// A text over the two rows: each breaks at its last blank when that keeps
// most of the row, else where the row ends. A text longer than both ends the
// second row in the cut mark (cut).
struct StatusRows {
    std::string first, second;
    bool cut = false;
};
StatusRows FlowStatus(const std::string& text, const StatusPlace& at);

// What the status text says when a text box did not take the typed
// character c.
std::string RefusedChar(int c);

}  // namespace editor
