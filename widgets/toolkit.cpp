// The toolkit context: the pointer sampled once a frame and the shared popup lists.
#include "widgets/toolkit.h"

namespace widgets {

Toolkit::Toolkit(display::Display& display) : display(display), host(display.host) {
    lastwheel = host.WheelPosition();
}

void Toolkit::UpdatePointer() {
    ++idleframes;

    // Pixel to cell: by the tile size, then by the scale (both truncating).
    const int tw = display.tilew;
    const int th = display.tileh;
    const int scale = display.settings.scale;
    mx = (tw > 0 && scale > 0) ? host.PointerX() / tw / scale : 0;
    my = (th > 0 && scale > 0) ? host.PointerY() / th / scale : 0;

    int wasdown[4];
    for (int b = 1; b <= 3; ++b) {
        wasdown[b] = mousedown[b];
        mousedown[b] = host.ButtonHeld(b) ? 1 : 0;
    }

    const int wheel = host.WheelPosition();
    mousezdelta = lastwheel - wheel;
    lastwheel = wheel;

    bool anyrelease = false;
    for (int b = 1; b <= 3; ++b) {
        mousereleased[b] = (wasdown[b] && !mousedown[b]) ? 1 : 0;
        anyrelease = anyrelease || mousereleased[b];
    }
    if (anyrelease) idleframes = 0;
}

bool Toolkit::InArea(int x, int y, int w, int h) const {
    return mx >= x && mx < x + w && my >= y && my < y + h;
}

}  // namespace widgets
