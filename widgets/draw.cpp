// Drawing and input of every widget kind. One call of draw paints a subtree
// and applies this frame's pointer and keys to it; a parent is handled before
// its children, and children in their order, so later ones paint over earlier
// ones.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "host/host.h"
#include "widgets/gadget.h"

namespace widgets {

namespace {

// Glyphs of the code page 437 tile set.
constexpr int kBlank = 0;
constexpr int kWindowLeftEnd = 91;   // '['
constexpr int kWindowRightEnd = 93;  // ']'
constexpr int kCornerTopLeft = 214;
constexpr int kCornerTopRight = 183;
constexpr int kCornerBottomLeft = 211;
constexpr int kCornerBottomRight = 189;
constexpr int kDoubleBar = 186;
constexpr int kThumb = 4;
constexpr int kArrowUp = 30;
constexpr int kArrowDown = 31;
constexpr int kCheckMark = 251;
constexpr char kLineBreak = static_cast<char>(255);

// Writes text the way every widget does: no colour codes, no force, line
// breaks on, no length limit.
void Write(tilemap& grid, int x, int y, const std::string& text, int fg, int bg) {
    grid.InsertString(x, y, text, fg, bg, 0, 0, 1, -1);
}

// floor(a / 2) for any sign.
int FloorHalf(int a) { return a >= 0 ? a / 2 : -((1 - a) / 2); }

}  // namespace

int gadget::draw(Toolkit& ui, tilemap& grid, int ox, int oy) { return DrawTree(&ui, grid, ox, oy); }

int gadget::paint(tilemap& grid, int ox, int oy) { return DrawTree(nullptr, grid, ox, oy); }

int gadget::DrawTree(Toolkit* ui, tilemap& grid, int ox, int oy) {
    struct Item {
        gadget* g;
        int ox, oy;
    };
    std::vector<Item> todo{{this, ox, oy}};
    std::vector<gadget*> frozen;
    while (!todo.empty()) {
        const Item it = todo.back();
        todo.pop_back();
        gadget* g = it.g;
        if (!g->DrawSelf(ui, grid, it.ox, it.oy)) {
            frozen.push_back(g);
            continue;
        }
        for (auto c = g->child.rbegin(); c != g->child.rend(); ++c) todo.push_back({c->get(), g->dx, g->dy});
    }
    // A hidden subtree takes no input, so nothing in it can have been clicked
    // this frame: a button or text box must not keep reporting a click from
    // the frame before it was hidden.
    while (!frozen.empty()) {
        gadget* g = frozen.back();
        frozen.pop_back();
        if (g->kind == BUTTON || g->kind == TEXTBOX) g->state = 0;
        for (auto& c : g->child) frozen.push_back(c.get());
    }
    return 0;
}

bool gadget::DrawSelf(Toolkit* ui, tilemap& grid, int ox, int oy) {
    dx = ox + x;
    dy = oy + y;
    const int d = disabled();
    if (hidden != 0) return false;

    if (kind == WINDOW) DrawWindowFrame(grid);
    if (kind == TEXTBOX) DrawTextbox(ui, grid, d);
    if (title.empty()) return true;

    switch (kind) {
        case WINDOW:
            DrawWindowTitle(grid);
            break;
        case LABEL:
            DrawLabelText(grid, d);
            break;
        case CHECKBOX:
            DrawCheckbox(ui, grid, d);
            break;
        case BUTTON:
            DrawButton(ui, grid, d);
            break;
        case VSCROLL:
            DrawScroll(ui, grid, d);
            break;
        default:
            break;
    }
    return true;
}

void gadget::DrawWindowFrame(tilemap& grid) {
    grid.SetTiles(dx, dy, w, h, kBlank, TextColor, bgcolor, 0);
    if (h == 1) {
        grid.SetTile(dx, dy, kWindowLeftEnd, bordercolor, bgcolor, 0);
        grid.SetTile(dx + w - 1, dy, kWindowRightEnd, bordercolor, bgcolor, 0);
        return;
    }
    grid.SetTile(dx, dy, kCornerTopLeft, bordercolor, bgcolor, 0);
    grid.SetTile(dx + w - 1, dy, kCornerTopRight, bordercolor, bgcolor, 0);
    grid.SetTile(dx, dy + h - 1, kCornerBottomLeft, bordercolor, bgcolor, 0);
    grid.SetTile(dx + w - 1, dy + h - 1, kCornerBottomRight, bordercolor, bgcolor, 0);
    if (h > 2) {
        grid.SetTiles(dx, dy + 1, 1, h - 2, kDoubleBar, bordercolor, bgcolor, 0);
        grid.SetTiles(dx + w - 1, dy + 1, 1, h - 2, kDoubleBar, bordercolor, bgcolor, 0);
    }
}

void gadget::DrawWindowTitle(tilemap& grid) {
    if (w > 2) grid.SetTiles(dx + 1, dy, w - 2, 1, kBlank, bordercolor, bordercolor, 0);
    if (w > 4) Write(grid, dx + 2, dy, title.substr(0, static_cast<size_t>(w - 4)), TextColor, bordercolor);
}

// A text that fits on one row is written as it is. A longer one (or one that
// holds a line break) is wrapped at its blanks into rows of w characters, as
// many as the label has.
void gadget::DrawLabelText(tilemap& grid, int d) {
    const int c = d ? disabledcolor : TextColor;
    if (static_cast<int64_t>(title.size()) <= w && title.find(kLineBreak) == std::string::npos) {
        Write(grid, dx, dy, title, c, bgcolor);
        return;
    }
    const std::vector<std::string> rows = WrapText(title, w, h);
    for (size_t r = 0; r < rows.size(); ++r)
        if (!rows[r].empty()) Write(grid, dx, dy + static_cast<int>(r), rows[r], c, bgcolor);
}

void gadget::DrawCheckbox(Toolkit* ui, tilemap& grid, int d) {
    const int glyph = state == 1 ? kCheckMark : kBlank;
    if (!d) {
        grid.SetTile(dx, dy, glyph, TextColor, bordercolor, 0);
        Write(grid, dx + 2, dy, title, TextColor, bgcolor);
    } else {
        grid.SetTile(dx, dy, glyph, bgcolor, disabledcolor, 0);
        Write(grid, dx + 2, dy, title, disabledcolor, bgcolor);
    }
    const bool onlabel = labelclicks && ui != nullptr && ui->mx >= dx + 2 && ui->mx < dx + 2 + static_cast<int>(title.size());
    if (!d && ui != nullptr && (ui->mx == dx || onlabel) && ui->my == dy && ui->Released(1)) state = 1 - state;
}

void gadget::DrawButton(Toolkit* ui, tilemap& grid, int d) {
    state = 0;
    int fg, bg;
    if (!d && ui != nullptr && ui->InArea(dx, dy, w, h)) {
        fg = bordercolor;
        bg = TextColor;
        if (ui->Released(1)) state = 1;
    } else {
        fg = d ? disabledcolor : TextColor;
        bg = bordercolor;
    }
    grid.SetTiles(dx, dy, w, h, kBlank, fg, bg, 0);
    const int len = static_cast<int>(title.size());
    Write(grid, dx + FloorHalf(w - len), dy + FloorHalf(h), title, fg, bg);
}

void gadget::DrawScroll(Toolkit* ui, tilemap& grid, int d) {
    const int a = d ? disabledcolor : TextColor;
    grid.SetTiles(dx, dy, 1, w, kDoubleBar, bordercolor, bgcolor, 0);
    if (h != 0) {
        // The caller may have lowered the maximum since the last clamp; keep
        // the thumb on the track meanwhile.
        const double ratio = std::clamp(static_cast<double>(state) / h, 0.0, 1.0);
        grid.SetTile(dx, static_cast<int>(std::trunc(dy + 1 + (w - 3) * ratio)), kThumb, a, bgcolor, 0);
    }
    grid.SetTile(dx, dy, kArrowUp, a, bgcolor, 0);
    grid.SetTile(dx, dy + w - 1, kArrowDown, a, bgcolor, 0);

    if (!d && ui != nullptr) {
        if (ui->mousedown[1] && ui->mx == dx) {
            if (ui->my == dy) {
                if (state > 0) --state;
            } else if (ui->my == dy + w - 1) {
                if (state < h) ++state;
            } else if (ui->my > dy && ui->my < dy + w - 1 && w > 3) {
                // A bar of length 3 has a one-cell track that maps to no
                // position, so a press there changes nothing.
                const double pos = static_cast<double>(h) * (static_cast<double>(ui->my - dy - 1) / (w - 3));
                state = static_cast<int>(std::trunc(std::clamp(pos, -2e9, 2e9)));
            }
        }
        if (box && w > 0 && box->MouseIn(*ui, dx, dy)) {
            const double step = std::ceil(static_cast<double>(h) * 1.5 / w);
            const double pos = state + step * ui->mousezdelta;
            state = static_cast<int>(std::trunc(std::clamp(pos, -2e9, 2e9)));
        }
    }
    if (state > h) state = h;
    if (state < 0) state = 0;
}

void gadget::DrawTextbox(Toolkit* ui, tilemap& grid, int d) {
    state = 0;
    int fg, bg;
    if (!d) {
        fg = TextColor;
        bg = bordercolor;
    } else {
        fg = bgcolor;
        bg = disabledcolor;
        at = -1;
    }

    // The caret takes a cell of its own and blinks every 16 frames, starting
    // visible again at each button release.
    std::string shown = title;
    if (at >= 0) {
        const int idle = ui != nullptr ? ui->idleframes : 0;
        shown = InsertAt(title, (idle / 16) % 2 == 0 ? "_" : " ", at);
    }
    grid.SetTiles(dx, dy, w, h, kBlank, fg, bg, 0);
    if (h == 1 && w > 0) {
        // One row scrolls sideways: the caret stays in view.
        const int len = static_cast<int>(shown.size());
        if (at >= 0 && at < first) first = at;
        if (at >= 0 && at > first + w - 1) first = at - (w - 1);
        first = std::clamp(first, 0, std::max(0, len - w));
        Write(grid, dx, dy, shown.substr(static_cast<size_t>(std::min(first, len)), static_cast<size_t>(w)), 255,
              255);
    } else {
        first = 0;
        grid.InsertWrappedString(dx, dy, shown, w - 1, h, 255, 255, 0, 1);
    }

    if (d || ui == nullptr) return;
    host::Host& host = ui->host;
    if (ui->Released(1)) {
        host.ClearKeys();
        at = -1;
        if (ui->InArea(dx, dy, w, h)) at = std::min(static_cast<int>(title.size()), first + ui->mx - dx);
    }
    if (at < 0) return;

    const int c = host.NextTypedChar() & 0xFF;
    if (c == host::kKeyEnter) {
        state = 1;
        at = -1;
        return;
    }
    if (c != 0 && c != host::kKeyBackspace && chars.find(static_cast<char>(c)) == std::string::npos) refused = c;
    if (c == host::kKeyBackspace) {
        title = DeleteAt(title, at);
        --at;
    } else if (c != 0 && chars.find(static_cast<char>(c)) != std::string::npos &&
               static_cast<int64_t>(title.size()) < (maxchars >= 0 ? maxchars : static_cast<int64_t>(w) * h - 1)) {
        title = InsertAt(title, std::string(1, static_cast<char>(c)), at);
        ++at;
    } else if (host.KeyPresses(host::kKeyDelete)) {
        title = DeleteAt(title, at + 1);
    } else if (host.KeyPresses(host::kKeyLeft)) {
        --at;
    } else if (host.KeyPresses(host::kKeyRight)) {
        ++at;
    } else if (host.KeyPresses(host::kKeyUp)) {
        at -= w;
    } else if (host.KeyPresses(host::kKeyDown)) {
        at += w;
    }
    if (at < 0) at = 0;
    if (at > static_cast<int>(title.size())) at = static_cast<int>(title.size());
}

}  // namespace widgets
