// The inspector window: the selected chunk's path, its decoded values and their edits.
#include "editor/inspector.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <utility>

#include "display/codepage.h"
#include "display/lineedit.h"
#include "display/palette.h"
#include "editor/panel.h"
#include "editor/statusline.h"
#include "format/bytes.h"
#include "format/number.h"
#include "format/values.h"
#include "host/host.h"

namespace editor {

using widgets::gadget;

namespace {

using namespace display::palette;

constexpr int kLabelWidth = 12;
constexpr int kWheelRows = 3;

// The values of a line as they fit in `room` cells (each followed by a
// blank): as decoded, or with their fractions at fewer significant digits,
// down to one, until the row fits. Integers and texts stay as they are.
std::vector<std::string> ShownValues(const mesh::InspectLine& line, int room) {
    std::vector<std::string> out;
    // A text that is not ASCII shows the characters it holds.
    for (const mesh::InspectValue& v : line.fields) {
        const bool text = v.type == format::ValueType::Text || v.type == format::ValueType::FixedText;
        out.push_back(v.text.empty() ? " " : text ? display::TextGlyphs(v.text) : v.text);
    }
    auto width = [&] {
        int64_t w = 0;
        for (const std::string& s : out) w += static_cast<int64_t>(s.size()) + 1;
        return w;
    };
    for (int digits = 8; digits >= 1 && width() > room; --digits) {
        for (size_t k = 0; k < out.size(); ++k) {
            const mesh::InspectValue& v = line.fields[k];
            float f = 0;
            const bool fraction = v.text.find_first_of(".e") != std::string::npos;
            if (v.missing || !fraction || (v.type != format::ValueType::F32 && v.type != format::ValueType::None) ||
                !format::ReadFloat(v.text, f))
                continue;
            char buf[32];
            std::snprintf(buf, sizeof buf, "%.*g", digits, static_cast<double>(f));
            if (std::string(buf).size() < out[k].size()) out[k] = buf;
        }
    }
    return out;
}

// Every character from the blank on but DEL: the edit box drops nothing that
// is typed, and a value it cannot take is refused whole with the reason.
std::string EveryChar() {
    std::string s;
    for (int c = ' '; c < 256; ++c)
        if (c != 0x7F) s += static_cast<char>(c);
    return s;
}

}  // namespace

// ---- building -------------------------------------------------------------------

void InspectorPanel::Build(gadget& root) {
    ed_.doc.notices.Subscribe([this](const Notice& n) { SetStatus(n.text); });
    ed_.doc.findingschanged.Subscribe([this](const FindingsChanged& e) { missing_ = e.missingfiles; });
    const Layout& l = ed_.layout;
    if (!l.HasFreeArea()) return;
    const int w = l.W - 42, h = l.T - 23;

    // The tool row's status text, right of its buttons.
    const StatusPlace at = StatusPlace::For(l);
    statuslabel = gadget::CreateLabel("", at.x1, at.y1, at.w1, 1, root, 1);
    statusrest = gadget::CreateLabel("", at.x2, at.y2, at.w2, 1, root, 1);

    window = gadget::CreateWindow("inspector", 41, 7, w, h, root);
    hexbox = gadget::CreateCheckbox("hex", 12, 0, *window);
    gadget::CreateLabel("go to", 25, 0, 5, 1, *window, 1);
    gotobox = gadget::CreateTextbox("", 31, 0, w - 33, 1, *window, gadget::defaultchars);
    gotobox->bordercolor = kLabel;
    scroll = gadget::CreateScroll(w - 2, 1, h - 2, gadget::vertical, 0, *window);
    editbox = gadget::CreateTextbox("", 1, 1, 8, 1, *window, EveryChar());
    editbox->bordercolor = kLabel;
    editbox->hidden = 1;
    grid = display::tilemap(w - 3, h - 2);
    preview = std::make_unique<PreviewPanel>(ed_, *window, grid);
    preview->Build();
    // The window's tick boxes take a click on their captions too.
    for (const auto& g : window->child)
        if (g->kind == gadget::CHECKBOX) g->labelclicks = 1;
}

void InspectorPanel::AddCommands() {
    if (!window) return;
    Command set;
    set.name = "set value";
    set.button = editbox;
    set.enabled = [this] { return editing && ed_.doc.selchunk != nullptr; };
    set.run = [this] { SetValue(); };
    ed_.commands.push_back(std::move(set));
    Command go;
    go.name = "go to";
    go.button = gotobox;
    go.enabled = [this] { return ed_.doc.selchunk != nullptr; };
    go.run = [this] { GoTo(); };
    ed_.commands.push_back(std::move(go));
    preview->AddCommands();
}

void InspectorPanel::ShowHint(const std::string& hint) {
    shown_ = hint.empty() ? status_ : hint;
    if (!statuslabel) return;
    const StatusRows rows = FlowStatus(shown_, StatusPlace::For(ed_.layout));
    statuslabel->title = rows.first;
    statusrest->title = rows.second;
}

void InspectorPanel::SetStatus(const std::string& text) {
    status_ = text;
    ShowHint("");
}

// ---- one frame --------------------------------------------------------------------

void InspectorPanel::Follow() {
    const mesh::chunkptr& c = ed_.doc.selchunk;
    const bool other = c.get() != target_;
    if (other || ed_.doc.revision != revision_ || (c && c->size != size_)) {
        mesh::chunkptr root = ed_.doc.mesh ? ed_.doc.mesh->hedr : nullptr;
        inspection = mesh::Inspect(c, root);
        // Bytes that followed the root in the file are no chunk of the tree;
        // the root's summary says they are there and go back unchanged.
        if (c && c == root && !ed_.doc.mesh->tail.empty()) {
            mesh::InspectLine after;
            after.label = "after root";
            const std::string& name = ed_.doc.mesh->trailer;
            after.note = std::to_string(ed_.doc.mesh->tail.size()) + " bytes" +
                         (name.empty() ? std::string() : " (" + name + ")") + ", saved as read";
            inspection.lines.push_back(after);
        }
        // A file that ended inside the root was read as far as it went.
        if (c && c == root && !ed_.doc.mesh->cut.empty()) {
            mesh::InspectLine cut;
            cut.label = "file cut";
            cut.note = ed_.doc.mesh->cut;
            inspection.lines.push_back(cut);
        }
        // Whatever else reading the file said (sizes re-laid), until saved.
        if (c && c == root && !ed_.doc.readnote.empty() && ed_.doc.readnote != ed_.doc.mesh->cut) {
            mesh::InspectLine read;
            read.label = "file read";
            read.note = ed_.doc.readnote;
            inspection.lines.push_back(read);
        }
        target_ = c.get();
        size_ = c ? c->size : -1;
        revision_ = ed_.doc.revision;
        if (editing) CancelEdit();
        if (other) {
            scroll->state = 0;
            lastcursor_ = kNoCursor;
        }
    }
}

mesh::InspectLine InspectorPanel::Item(int64_t item) const {
    const auto n = static_cast<int64_t>(inspection.lines.size());
    if (item >= 0 && item < n) return inspection.lines[static_cast<size_t>(item)];
    return inspection.Row(item - n);
}

int64_t InspectorPanel::Items() const {
    return static_cast<int64_t>(inspection.lines.size()) + inspection.rows;
}

void InspectorPanel::View(display::tilemap&) {
    if (!window) return;
    for (gadget* box : {gotobox, editbox})
        if (box->refused) {
            ed_.Status(RefusedChar(box->refused));
            box->refused = 0;
        }
    if (editing && ed_.host.KeyPresses(host::kKeyTab) > 0) ed_.Status(display::Refusal(display::LineChars::Text, '\t'));
    gx_ = window->dx + 1;
    gy_ = window->dy + 1;
    grid.Fill(0, kText, kPanel, 1);
    spans_.clear();
    Follow();
    if (editing && (editbox->at < 0 || scroll->state != editscroll_)) CancelEdit();
    if (editing && ed_.host.KeyPresses(host::kKeyEscape) > 0) CancelEdit();
    opened_ = false;
    // hex and view are two modes: the one ticked last wins.
    if (preview->viewbox->state && hexbox->state) (lasthex_ ? hexbox->state : preview->viewbox->state) = 0;
    lasthex_ = hexbox->state != 0;
    const bool view = preview->viewbox->state != 0;
    scroll->hidden = view ? 1 : 0;
    if (view && editing) CancelEdit();
    if (!ed_.doc.selchunk) {
        preview->View(view);
        scroll->h = 0;
        return;
    }

    // The path from the root, its end kept when it is too long; a texture
    // record whose file the check found missing says so on it.
    const bool missing = !missing_.empty() && Holds(missing_, ed_.doc.selchunk.get());
    std::string path = display::TextGlyphs(inspection.path) + (missing ? "  file missing" : "");
    if (static_cast<int>(path.size()) > grid.tmapw) path = ".." + path.substr(path.size() - (grid.tmapw - 2));
    const int pathbg = missing ? display::palette::kMissingFile : kLabel;
    grid.SetTiles(0, 0, grid.tmapw, 1, 0, kText, pathbg, 1);
    grid.InsertString(0, 0, path, kText, pathbg, 0, 1, 0, -1);

    // The wheel over the contents moves a few rows.
    const bool over = ui().mx >= gx_ && ui().mx < gx_ + grid.tmapw && ui().my >= gy_ && ui().my < gy_ + grid.tmaph;
    preview->View(view);
    if (view) return;
    const bool hex = hexbox->state || inspection.form == mesh::Form::Raw;
    if (hex)
        PaintHex();
    else
        PaintLines();
    if (over && ui().mousezdelta != 0)
        scroll->state = std::clamp(scroll->state + kWheelRows * ui().mousezdelta, 0, scroll->h);
    if (over && ui().Released(1) && painted_) Click();
}

const widgets::Toolkit& InspectorPanel::ui() const { return ed_.ui; }

void InspectorPanel::PaintLines() {
    const int visible = grid.tmaph - 1;
    const int64_t items = Items();
    scroll->h = static_cast<int>(std::clamp<int64_t>(items - visible, 0, INT_MAX));
    scroll->state = std::clamp(scroll->state, 0, scroll->h);
    const bool list = inspection.form == mesh::Form::List;
    // A list's rows are labelled by their index: as wide as the last one, and
    // at least as wide as the legend's label ("element").
    const int labelw =
        list ? std::max<int>(static_cast<int>(std::to_string(std::max<int64_t>(0, inspection.rows - 1)).size()), 7)
             : kLabelWidth;
    for (int r = 0; r < visible; ++r) {
        const int64_t item = scroll->state + int64_t(r);
        if (item >= items) break;
        const mesh::InspectLine line = Item(item);
        const int y = 1 + r;
        const int labelbg = line.mark ? kMarked : kLabel;
        grid.SetTiles(0, y, labelw, 1, 0, kText, labelbg, 1);
        grid.InsertString(0, y, line.label.substr(0, static_cast<size_t>(labelw)), kText, labelbg, 0, 1, 0, -1);
        if (line.at >= 0) spans_.push_back({0, grid.tmapw, y, item, -1});
        int x = labelw + 1;
        // Numbers are never cut: a row too narrow shows its fractions with
        // fewer digits, and a value that still does not fit is left out
        // whole, with '>' saying that the row goes on.
        const std::vector<std::string> shown = ShownValues(line, grid.tmapw - x);
        for (size_t k = 0; k < shown.size() && x < grid.tmapw; ++k) {
            const mesh::InspectValue& v = line.fields[k];
            const bool text = v.type == format::ValueType::Text || v.type == format::ValueType::FixedText;
            std::string s = shown[k];
            const size_t room = static_cast<size_t>(grid.tmapw - x);
            if (s.size() > room) {
                if (!text) {
                    grid.InsertString(x, y, ">", kText, kPanel, 0, 1, 0, -1);
                    x = grid.tmapw;
                    break;
                }
                s = s.substr(0, room);
            }
            const int x1 = x + static_cast<int>(s.size());
            const bool hovered = ui().my == gy_ + y && ui().mx >= gx_ + x && ui().mx < gx_ + x1;
            const int bg = !v.editable() ? kPanel : hovered ? kHover : kValue;
            grid.InsertString(x, y, s, kText, bg, 0, 1, 0, -1);
            spans_.push_back({x, x1, y, item, static_cast<int>(k)});
            x = x1 + 1;
        }
        if (line.colour && x + 2 <= grid.tmapw) {
            grid.SetTiles(x, y, 2, 1, 0, kText, Nearest(line.rgba), 1);
            x += 3;
        }
        if (!line.note.empty() && x < grid.tmapw) {
            // A note that does not fit ends at a blank, never inside a word or number.
            std::string note = line.note;
            const size_t room = static_cast<size_t>(grid.tmapw - x);
            if (note.size() > room) {
                const size_t cut = note.rfind(' ', room);
                note = cut == std::string::npos ? "" : note.substr(0, cut);
            }
            grid.InsertString(x, y, note, kText, kPanel, 0, 1, 0, -1);
        }
    }
}

bool InspectorPanel::ValueCell(int64_t item, size_t k, int& x, int& y) const {
    for (const Span& s : spans_)
        if (s.item == item && s.k == static_cast<int>(k)) {
            x = gx_ + s.x0;
            y = gy_ + s.y;
            return true;
        }
    return false;
}

void InspectorPanel::Click() {
    const int x = ui().mx - gx_, y = ui().my - gy_;
    if (y < 1) return;
    // A click in the open edit box moves its caret and nothing else.
    if (editing && x >= editbox->x - 1 && x < editbox->x - 1 + editbox->w && y >= editbox->y - 1 &&
        y < editbox->y - 1 + editbox->h)
        return;
    const bool hex = hexbox->state || inspection.form == mesh::Form::Raw;
    if (hex) {
        int digits = 4;
        while (digits < 8 && (int64_t(1) << (4 * digits)) < ed_.doc.selchunk->size) ++digits;
        const int hx = digits + 1;
        const int gx = hexlines == 1 ? hx + 2 * hexbytes + 1 : hx;
        const int line = (y - 1) % hexlines;
        int i = -1;
        if (line == 0 && x >= hx && x < hx + 2 * hexbytes) i = (x - hx) / 2;
        if (hexlines == 1 && x >= gx && x < gx + hexbytes) i = x - gx;
        if (hexlines == 2 && line == 1 && x >= gx && x < gx + 2 * hexbytes) i = (x - gx) / 2;
        if (i < 0) return;
        const int64_t offset = (scroll->state + int64_t((y - 1) / hexlines)) * hexbytes + i;
        if (offset >= ed_.doc.selchunk->size) return;
        ed_.doc.datacursor = static_cast<int>(offset);
        lastcursor_ = ed_.doc.datacursor;  // already on the dump
        ed_.ShowInDataView(offset);
        return;
    }
    for (const Span& s : spans_) {
        if (s.y != y || x < s.x0 || x >= s.x1) continue;
        if (s.k < 0) {
            // A list row: the data cursor goes to its element's first byte.
            const mesh::InspectLine line = Item(s.item);
            if (line.at >= 0 && line.at < ed_.doc.selchunk->size) {
                ed_.doc.datacursor = static_cast<int>(line.at);
                ed_.ShowInDataView(line.at);
            }
        } else {
            OpenEdit(s.item, s.k);
        }
    }
}

int InspectorPanel::Nearest(const float rgba[4]) const {
    int want[3];
    for (int k = 0; k < 3; ++k) {
        const float v = rgba[k] != rgba[k] ? 0.0f : std::clamp(rgba[k], 0.0f, 1.0f);
        want[k] = static_cast<int>(v * 255.0f + 0.5f);
    }
    int best = 0;
    long bestd = LONG_MAX;
    for (int i = 0; i < 256; ++i) {
        const long dr = ed_.display.Red(i) - want[0], dg = ed_.display.Green(i) - want[1],
                   db = ed_.display.Blue(i) - want[2];
        const long d = dr * dr + dg * dg + db * db;
        if (d < bestd) {
            bestd = d;
            best = i;
        }
    }
    return best;
}

void InspectorPanel::Draw() {
    if (preview) preview->Draw();
}

void InspectorPanel::Paste(display::tilemap& screen) {
    if (!window) return;
    painted_ = true;
    gx_ = window->dx + 1;
    gy_ = window->dy + 1;
    // The edit box shows through the contents.
    if (editing) grid.SetTiles(editbox->x - 1, editbox->y - 1, editbox->w, editbox->h, kKeep, kKeep, kKeep, 1);
    screen.InsertMapImage(grid, gx_, gy_, 0);
}

}  // namespace editor
