// The modal popup: a box 38 cells wide (8 rows, more for a long message) in
// the middle of the window with a title, a message and a row of choices, run
// in a loop of its own until one is picked.
#include <algorithm>
#include <string>
#include <vector>

#include "display/palette.h"
#include "display/tilemap.h"
#include "host/host.h"
#include "widgets/gadget.h"

namespace widgets {

namespace pal = display::palette;

std::shared_ptr<gadget> DrawWindow(tilemap& grid, const std::string& title, int x, int y, int w, int h) {
    std::shared_ptr<gadget> g = gadget::CreateWindow(title, x, y, w, h);
    g->paint(grid, 0, 0);
    return g;
}

std::shared_ptr<gadget> DrawLabel(tilemap& grid, const std::string& text, int x, int y, int w, int h) {
    std::shared_ptr<gadget> g = gadget::CreateLabel(text, x, y, w, h, 1);
    g->paint(grid, 0, 0);
    return g;
}

namespace {

constexpr int kGridW = 38;
constexpr int kTextW = 36;
constexpr int kTextRows = 5;  // at least; a longer message makes the box taller
constexpr int kCaptionGap = 3;

}  // namespace

int gadget::popup(Toolkit& ui, const std::string& title, const std::string& text,
                   const std::vector<std::string>& entries) {
    const int n = static_cast<int>(entries.size());
    if (n == 0) return -1;
    host::Host& host = ui.host;
    host.ClearKeys();

    const int screenw = ui.display.settings.width;
    const int screenh = ui.display.settings.height;
    // The message is wrapped at its blanks; the box grows downwards for one
    // that needs more than five rows, as far as the screen allows.
    const int rows = std::max<int>(
        kTextRows, static_cast<int>(WrapText(text, kTextW, std::max(kTextRows, screenh - 3)).size()));
    const int gridh = rows + 3;
    const int captionrow = rows + 1, markerrow = rows + 2;

    tilemap grid(kGridW, gridh);
    grid.Fill(0, pal::kText, pal::kScreen, 0);
    DrawWindow(grid, title, 0, 0, kGridW, gridh);
    DrawLabel(grid, text, 1, 1, kTextW, rows);

    // The captions stand in one row, three blank cells apart, centred.
    int total = kCaptionGap * (n - 1);
    for (const std::string& e : entries) total += static_cast<int>(e.size());
    std::vector<int> column(n);
    int x = std::max(0, (kGridW - total) / 2);
    for (int i = 0; i < n; ++i) {
        column[i] = x;
        grid.InsertString(column[i], captionrow, entries[i], pal::kText, pal::kChoice, 0, 0, 1, -1);
        x += static_cast<int>(entries[i].size()) + kCaptionGap;
    }

    const int left = screenw / 2 - kGridW / 2;
    const int top = screenh / 2 - gridh / 2;
    int s = 0;
    for (;;) {
        ui.UpdatePointer();
        host.ClearScreen();
        // The grid is shown before this frame's markers are written, so the
        // markers reach the screen one frame later.
        grid.Draw(ui.display, left, top, 0, 0, -1, -1);

        if (host.KeyPresses(host::kKeyEscape)) {
            host.ClearKeys();
            return n - 1;
        }
        if (host.KeyPresses(host::kKeyEnter) || host.KeyPresses(host::kKeySpace)) {
            host.ClearKeys();
            return s;
        }
        if (host.KeyPresses(host::kKeyLeft) || host.KeyPresses(host::kKeyA) || host.KeyPresses(host::kKeyUp) ||
            host.KeyPresses(host::kKeyW))
            --s;
        if (host.KeyPresses(host::kKeyRight) || host.KeyPresses(host::kKeyD) || host.KeyPresses(host::kKeyTab) ||
            host.KeyPresses(host::kKeyDown) || host.KeyPresses(host::kKeyS))
            ++s;
        while (s < 0) s += n;
        if (s >= n) s %= n;

        for (int i = 0; i < n; ++i) {
            const int len = static_cast<int>(entries[i].size());
            grid.InsertString(column[i] + len / 2 - 1, markerrow, i == s ? "XX" : "--", pal::kChoiceMark, pal::kScreen, 0, 0, 1, -1);
        }
        // Each caption answers a click over its columns on the row above it,
        // its own row and the marker row.
        for (int i = 0; i < n; ++i) {
            const int len = static_cast<int>(entries[i].size());
            if (ui.InArea(left + column[i], top + captionrow - 1, len, 3) && ui.Released(1)) return i;
        }

        host.ModalFlip();
    }
}

int PopupMessage(Toolkit& ui, const std::string& title, const std::string& text) {
    gadget::popup(ui, title, text, ui.oklist);
    return 1;
}

int PopupConfirm(Toolkit& ui, const std::string& title, const std::string& text) {
    return gadget::popup(ui, title, text, ui.yesnolist);
}

int PopupSaveChanges(Toolkit& ui, const std::string& title, const std::string& text) {
    return gadget::popup(ui, title, text, ui.savelist);
}

}  // namespace widgets
