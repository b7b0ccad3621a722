// The widget record: construction, layout helpers and the enabled state.
#include "widgets/gadget.h"

#include <utility>

namespace widgets {

const std::string gadget::defaultchars =
    std::string("~\"` /\\.") + "!@#$%^&*()[]{}|:'_-+" + "1234567890" + "qwertyuiopasdfghjklzxcvbnm" +
    "QWERTYUIOPASDFGHJKLZXCVBNM" + ";";

area area::Create(int x, int y, int w, int h) {
    area a;
    if (w < 0) {
        x += w;
        w = -w;
    }
    if (h < 0) {
        y += h;
        h = -h;
    }
    a.x = x;
    a.y = y;
    a.w = w;
    a.h = h;
    return a;
}

bool area::MouseIn(const Toolkit& ui, int ox, int oy) const {
    return ui.mx >= x + ox && ui.my >= y + oy && ui.mx < x + w + ox && ui.my < y + h + oy;
}

std::string InsertAt(const std::string& text, const std::string& insertion, int pos) {
    if (pos < 1) return insertion + text;
    if (static_cast<size_t>(pos) >= text.size()) return text + insertion;
    return text.substr(0, pos) + insertion + text.substr(pos);
}

std::string DeleteAt(const std::string& text, int pos) {
    if (pos < 1 || static_cast<size_t>(pos) > text.size()) return text;
    std::string out = text;
    out.erase(static_cast<size_t>(pos) - 1, 1);
    return out;
}

std::vector<std::string> WrapText(const std::string& text, int width, int maxrows) {
    std::vector<std::string> rows;
    if (width < 1) return rows;
    const size_t wd = static_cast<size_t>(width);
    size_t p = 0;
    size_t end = std::string::npos;  // the end of the paragraph p is in
    while (p <= text.size() && static_cast<int>(rows.size()) < maxrows) {
        if (end == std::string::npos || end < p) {
            end = text.find('\xff', p);
            if (end == std::string::npos) end = text.size();
        }
        if (end - p <= wd) {
            rows.push_back(text.substr(p, end - p));
            p = end + 1;
            continue;
        }
        // Too long: break at the last blank that lets the row fit, else cut
        // the word where the row ends.
        const size_t cut = text.rfind(' ', p + wd);
        if (cut == std::string::npos || cut <= p) {
            rows.push_back(text.substr(p, wd));
            p += wd;
        } else {
            rows.push_back(text.substr(p, cut - p));
            p = cut + 1;
        }
    }
    return rows;
}

gadget* gadget::Adopt(std::unique_ptr<gadget> g, gadget& parent) {
    g->parent = &parent;
    gadget* raw = g.get();
    parent.child.push_back(std::move(g));
    return raw;
}

namespace {

// A new widget of a kind, with its caption and rectangle; the rest keeps the
// defaults.
std::unique_ptr<gadget> MakeGadget(int kind, const std::string& title, int x, int y, int w, int h) {
    auto g = std::make_unique<gadget>();
    g->kind = kind;
    g->title = title;
    g->x = x;
    g->y = y;
    g->w = w;
    g->h = h;
    return g;
}

}  // namespace

std::unique_ptr<gadget> gadget::CreateWindow(const std::string& title, int x, int y, int w, int h) {
    return MakeGadget(WINDOW, title, x, y, w, h);
}

gadget* gadget::CreateWindow(const std::string& title, int x, int y, int w, int h, gadget& parent) {
    return Adopt(CreateWindow(title, x, y, w, h), parent);
}

std::unique_ptr<gadget> gadget::CreateLabel(const std::string& text, int x, int y, int w, int h, int mode) {
    auto g = MakeGadget(LABEL, text, x, y, w, h);
    g->at = mode;
    return g;
}

gadget* gadget::CreateLabel(const std::string& text, int x, int y, int w, int h, gadget& parent, int mode) {
    return Adopt(CreateLabel(text, x, y, w, h, mode), parent);
}

std::unique_ptr<gadget> gadget::CreateButton(const std::string& caption, int x, int y, int w, int h) {
    return MakeGadget(BUTTON, caption, x, y, w, h);
}

gadget* gadget::CreateButton(const std::string& caption, int x, int y, int w, int h, gadget& parent) {
    return Adopt(CreateButton(caption, x, y, w, h), parent);
}

std::unique_ptr<gadget> gadget::CreateCheckbox(const std::string& caption, int x, int y) {
    auto g = std::make_unique<gadget>();
    g->kind = CHECKBOX;
    g->title = caption;
    g->x = x;
    g->y = y;
    return g;
}

gadget* gadget::CreateCheckbox(const std::string& caption, int x, int y, gadget& parent) {
    return Adopt(CreateCheckbox(caption, x, y), parent);
}

std::unique_ptr<gadget> gadget::CreateTextbox(const std::string& text, int x, int y, int w, int h,
                                              const std::string& allowed) {
    auto g = MakeGadget(TEXTBOX, text, x, y, w, h);
    g->chars = allowed;
    g->at = -1;
    return g;
}

gadget* gadget::CreateTextbox(const std::string& text, int x, int y, int w, int h, gadget& parent,
                              const std::string& allowed) {
    return Adopt(CreateTextbox(text, x, y, w, h, allowed), parent);
}

std::unique_ptr<gadget> gadget::CreateScroll(int x, int y, int length, int /*direction*/, int maximum) {
    auto g = MakeGadget(VSCROLL, "-", x, y, length, maximum);
    g->box = area::Create(0, 0, 1, length);
    return g;
}

gadget* gadget::CreateScroll(int x, int y, int length, int direction, int maximum, gadget& parent) {
    return Adopt(CreateScroll(x, y, length, direction, maximum), parent);
}

void gadget::SetArea(int ax, int ay, int aw, int ah) { box = area::Create(ax, ay, aw, ah); }

// The subtree walks below keep their own stack: widget trees are shallow, but
// nothing here should depend on that.
void gadget::disablegroup() {
    std::vector<gadget*> todo{this};
    while (!todo.empty()) {
        gadget* g = todo.back();
        todo.pop_back();
        g->_disabled = 1;
        for (auto& c : g->child) todo.push_back(c.get());
    }
}

void gadget::enablegroup() {
    std::vector<gadget*> todo{this};
    while (!todo.empty()) {
        gadget* g = todo.back();
        todo.pop_back();
        g->_disabled = 0;
        for (auto& c : g->child) todo.push_back(c.get());
    }
}

int gadget::disabled() const {
    for (const gadget* g = this; g != nullptr; g = g->parent)
        if (g->_disabled != 0) return 1;
    return 0;
}

bool gadget::mouseover(const Toolkit& ui) const { return ui.InArea(dx, dy, w, h); }

}  // namespace widgets
