// The toolkit context: the pointer values every widget reads, sampled once a
// frame by UpdatePointer, the display and host the toolkit draws through, and
// the shared entry lists of the popups. One Toolkit is made at start-up (tests
// make their own) and passed to everything that draws widgets.
#pragma once

#include <string>
#include <vector>

#include "display/display.h"
#include "host/host.h"

namespace widgets {

class Toolkit {
public:
    explicit Toolkit(display::Display& display);

    display::Display& display;
    host::Host& host;

    // ---- pointer state, written only by UpdatePointer
    int mx = 0, my = 0;               // pointer cell
    int mousedown[4] = {0, 0, 0, 0};  // [1] left, [2] right, [3] middle, held this frame
    int mousereleased[4] = {0, 0, 0, 0};  // 1 when held last frame and not now
    int mousezdelta = 0;              // wheel notches turned towards the user since last frame
    int idleframes = 0;               // frames since the last button release
    int lastwheel = 0;                // wheel position at the previous sample

    // The entry lists of PopupMessage, PopupConfirm and PopupSaveChanges.
    const std::vector<std::string> oklist{"Ok"};
    const std::vector<std::string> yesnolist{"Yes", "No"};
    const std::vector<std::string> savelist{"save", "discard", "cancel"};

    // Samples the pointer: counts the frame, maps the pixel position to a
    // cell, takes the held buttons and their release edges and the wheel
    // delta; a release of any button resets idleframes to 0.
    void UpdatePointer();
    // Whether the pointer cell lies in the rectangle (x, y, w, h).
    bool InArea(int x, int y, int w, int h) const;
    bool Released(int button) const { return mousereleased[button] != 0; }
};

}  // namespace widgets
