// The data view, its readouts and the data window with the byte picker.
//
//   building      the widgets and grids, at the places the layout gives
//   one frame     the bytes, the cursor, the readouts, the picker
//   commands      remove, insert, input, str, flt, pick byte
#include "editor/dataview.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstdio>

#include "display/palette.h"
#include "editor/panel.h"
#include "format/bytes.h"
#include "format/number.h"
#include "format/records.h"

namespace editor {

namespace pal = display::palette;

using widgets::gadget;

std::vector<std::string> ReadoutLines(const mesh::chunk& c, int at) {
    std::vector<std::string> lines;
    lines.push_back("at: " + std::to_string(at));
    if (at < c.size) {
        const int v = c.readbyte(at);
        lines.push_back("byt:" + std::to_string(v));
        std::string bin;
        for (int bit = 7; bit >= 0; --bit) bin += ((v >> bit) & 1) ? '1' : '0';
        lines.push_back("bin:" + bin);
    }
    if (static_cast<int64_t>(at) <= static_cast<int64_t>(c.size) - 2)
        lines.push_back("sht:" + std::to_string(c.readshort(at)));
    if (static_cast<int64_t>(at) <= static_cast<int64_t>(c.size) - 4) {
        lines.push_back("int:" + std::to_string(c.readint(at)));
        char buf[64];
        std::snprintf(buf, sizeof buf, "%#.9g", static_cast<double>(c.readfloat(at)));
        lines.push_back(std::string("flt:") + buf);
    }
    return lines;
}

// Only containers whose data is laid out from their children (rebuilt,
// children filling it to the last byte) are looked through.
mesh::chunkptr LeafHolding(const mesh::chunkptr& c, int64_t p, int64_t n, int64_t& at) {
    if (!c || c->kids.empty() || p < 0 || n < 1) return nullptr;
    mesh::chunkptr x = c;
    int64_t q = p;
    while (!x->kids.empty()) {
        const mesh::chunk::fields f = x->take();
        if (!f.derived) return nullptr;
        int64_t off = f.group ? 4 : 0, sum = off;
        for (const mesh::chunkptr& k : x->kids) sum += 8 + static_cast<int64_t>(std::max<int32_t>(0, k->size));
        if (sum != x->size || q < off) return nullptr;
        mesh::chunkptr next;
        for (const mesh::chunkptr& k : x->kids) {
            const int64_t len = 8 + static_cast<int64_t>(std::max<int32_t>(0, k->size));
            if (q < off + len) {
                if (q < off + 8) return nullptr;  // a header
                next = k;
                q -= off + 8;
                break;
            }
            off += len;
        }
        if (!next) return nullptr;
        x = next;
    }
    if (q + n > x->size) return nullptr;
    if (q < 4 && x->size >= 8 && !format::IsRecordName(x->name)) return nullptr;
    at = q;
    return x;
}

// ---- building -------------------------------------------------------------------

void DataPanel::BuildView(gadget& treepanel) {
    const int L = ed_.layout.L;
    scroll = gadget::CreateScroll(16, L + 3, 8, gadget::vertical, 0, treepanel);
    grid = display::tilemap(16, 8);
    grid.Fill(0, pal::kText, pal::kPanel, 0);
    scroll->SetArea(-16, 0, 17, 8);
}

void DataPanel::Build(gadget& root, widgets::area readouts) {
    const int W = ed_.layout.W;
    readouts_ = readouts;
    window = gadget::CreateWindow("data", 1, ed_.layout.T, W - 22, 16, root);
    gadget& data = *window;
    infowindow = gadget::CreateWindow("", W - 22, 0, 20, 16, data);
    deletelabel = gadget::CreateLabel("delete", 3, 2, 12, 1, data, 1);
    insertlabel = gadget::CreateLabel("insert", 3, 4, 12, 1, data, 1);
    handlebox = gadget::CreateCheckbox("handle", 3, 6, data);
    inputlabel = gadget::CreateLabel("input data", 2, 9, 14, 1, data, 1);
    fltbutton = gadget::CreateButton("flt", 9, 10, 3, 1, data);
    strbutton = gadget::CreateButton("str", 13, 10, 3, 1, data);
    valuebox = gadget::CreateTextbox("012345", 2, 12, 14, 3, data, gadget::defaultchars);
    for (int k = 0; k < 3; ++k) {
        std::string caption = std::to_string(1 << k);
        removebuttons[k] = gadget::CreateButton(caption, W - 30 + 2 * k, 2, 1, 1, data);
        insertbuttons[k] = gadget::CreateButton(caption, W - 30 + 2 * k, 4, 1, 1, data);
        inputbuttons[k] = gadget::CreateButton(caption, 2 * k + 2, 10, 1, 1, data);
    }
    tableanchor = gadget::CreateLabel("", 2, 0, 1, 1, *infowindow, 1);

    bytetable = display::tilemap(16, 16);
    byteoverlay = display::tilemap(16, 16);
    byteoverlay.Fill(pal::kKeep, pal::kKeep, pal::kKeep, 1);
    for (int i = 0; i < 256; ++i) bytetable.SetTile(i % 16, i / 16, i, pal::kPickerGlyph, pal::kScreen, 1);
}

void DataPanel::AddCommands() {
    const Document& doc = ed_.doc;
    auto selected = [&doc] { return doc.selchunk != nullptr; };
    auto cursor = [&doc] { return doc.selchunk != nullptr && doc.datacursor >= 0; };
    auto add = [this](std::string name, gadget* button, std::function<bool()> enabled, std::function<void()> run) {
        ed_.commands.push_back({std::move(name), button, {}, std::move(enabled), std::move(run)});
    };
    // Remove, insert and input of 1, 2 and 4 bytes, then "str" and "flt";
    // the byte picker is clicked in the data window.
    for (int k = 0; k < 3; ++k) {
        const int n = 1 << k;
        const std::string bytes = " " + std::to_string(n);
        add("remove" + bytes, removebuttons[k], cursor, [this, n] { RemoveBytes(n); });
        add("insert" + bytes, insertbuttons[k], selected, [this, n] { InsertBytes(n); });
        add("input" + bytes, inputbuttons[k], cursor, [this, n] { InputBytes(n); });
    }
    add("str", strbutton, selected, [this] { InputString(); });
    add("flt", fltbutton, cursor, [this] { InputFloat(); });
    add("pick byte", nullptr, selected, [this] { PickByte(); });
}

void DataPanel::SetHandle(int on) {
    handle_ = on;
    handlebox->state = on;
}

// ---- one frame --------------------------------------------------------------------

void DataPanel::Prepare() {
    grid.Fill(0, pal::kText, pal::kPanel, 0);
    byteoverlay.Fill(pal::kKeep, pal::kKeep, pal::kKeep, 1);
    handle_ = handlebox->state;
    ed_.doc.selchunk ? window->enable() : window->disable();
}

void DataPanel::View(display::tilemap& screen) {
    Bytes();
    Readouts(screen);
}

void DataPanel::Bytes() {
    Document& doc = ed_.doc;
    const widgets::Toolkit& ui = ed_.ui;
    dataat_ = doc.datacursor;
    if (!doc.selchunk) {
        doc.datacursor = kNoCursor;
        return;
    }
    mesh::chunk& c = *doc.selchunk;
    if (doc.datacursor >= c.size) doc.datacursor = kNoCursor;

    // The bytes stand under the tree panel, beside their scroll bar.
    const int px = scroll->parent->dx;
    const int py = scroll->parent->dy + scroll->y;
    int b = kNoCursor;  // the hovered byte among those shown, or none
    if (ui.mx >= px && ui.mx < px + 16 && ui.my >= py && ui.my < py + 8) {
        b = (ui.mx - px) + 16 * (ui.my - py);
        dataat_ = b + 16 * scroll->state;
        if (ui.Released(1)) doc.datacursor = dataat_;
    }

    // Paint the visible bytes.
    uint8_t bytes[128] = {};
    const int64_t first = 16 * static_cast<int64_t>(scroll->state);
    const int64_t count = first < c.size ? std::min<int64_t>(128, c.size - first) : 0;
    if (count > 0) c.readbytes(first, count, bytes);
    for (int i = 0; i < count; ++i) {
        const int64_t idx = first + i;
        int bg = (i / 4) % 2 == 0 ? scroll->bordercolor : pal::kByteGroup;
        if (idx - doc.datacursor >= 0 && idx - doc.datacursor < 4) bg = pal::kCursor;
        if (i - b >= 0 && i - b < 4) bg = pal::kHover;
        grid.SetTile(i % 16, i / 16, bytes[i], pal::kText, bg, 0);
    }
    scroll->h = std::max(0, static_cast<int>(std::ceil(c.size / 16.0)) - 8);
    if (doc.datacursor >= c.size) doc.datacursor = kNoCursor;

    // Byte picker.
    const int tx = tableanchor->dx, ty = tableanchor->dy;
    if (ui.mx >= tx && ui.mx < tx + 16 && ui.my >= ty && ui.my < ty + 16) {
        const int v = (((ui.mx - tx) + 16 * (ui.my - ty)) % 256 + 256) % 256;
        byteoverlay.SetTile(ui.mx - tx, ui.my - ty, v, pal::kKeep, tableanchor->bordercolor, 0);
        if (ui.Released(1)) {
            pickedbyte = v;
            ed_.Execute("pick byte");
        }
    }
}

void DataPanel::Readouts(display::tilemap& screen) {
    const int x0 = readouts_.x, y0 = readouts_.y, n = readouts_.h;
    screen.SetTiles(x0, y0, readouts_.w, n, 0, pal::kText, pal::kPanel, 0);
    screen.SetTiles(x0, y0, 4, n, 0, pal::kText, pal::kLabel, 0);
    const mesh::chunkptr& sel = ed_.doc.selchunk;
    if (dataat_ < 0 || !sel || sel->size == 0) return;

    const std::vector<std::string> lines = ReadoutLines(*sel, dataat_);
    for (size_t i = 0; i < lines.size(); ++i)
        screen.InsertString(x0, y0 + static_cast<int>(i), lines[i], pal::kKeep, pal::kKeep, 0, 0, 0, -1);
    if (dataat_ < sel->size) {
        const int v = sel->readbyte(dataat_);
        if (v >= 0) byteoverlay.SetTile(v % 16, v / 16, pal::kKeep, pal::kText, pal::kCursor, 0);
    }
}

void DataPanel::Paste(display::tilemap& screen) {
    screen.InsertMapImage(grid, scroll->parent->dx, scroll->parent->dy + scroll->y, 1);
    screen.InsertMapImage(bytetable, tableanchor->dx, tableanchor->dy, 1);
}

void DataPanel::Draw() {
    byteoverlay.Draw(ed_.display, tableanchor->dx, tableanchor->dy, 0, 0, -1, -1);
}

void DataPanel::ShowOffset(int64_t offset) {
    const int64_t row = offset / 16;
    if (row < scroll->state || row >= scroll->state + 8)
        scroll->state = static_cast<int>(std::min<int64_t>(row, INT_MAX));
}

// ---- commands ---------------------------------------------------------------------

void DataPanel::RemoveBytes(int n) {
    const mesh::chunkptr c = ed_.doc.selchunk;
    ed_.doc.Change("remove " + std::to_string(n), c, Document::Reach::subtree, [&] {
        // Each call removes the byte at the cursor, so the n bytes from the
        // cursor on go; only the last call parses again.
        for (int j = 0; j < n; ++j)
            c->RemoveByte(ed_.doc.datacursor, handle_, j == n - 1 ? 1 : 0, ed_.doc.formatlist, ed_.doc.recognizematl);
    });
}

void DataPanel::InsertBytes(int n) {
    const mesh::chunkptr c = ed_.doc.selchunk;
    ed_.doc.Change("insert " + std::to_string(n), c, Document::Reach::subtree, [&] {
        if (ed_.doc.datacursor >= 0)
            c->InsertBytes(ed_.doc.datacursor, n, handle_, 1, ed_.doc.formatlist, ed_.doc.recognizematl);
        else
            c->GrowData(n);
    });
}

void DataPanel::InputBytes(int n) {
    // The value box reads numbers as the inspector does; raw bytes take a
    // value of either signedness (a byte: -128 to 255).
    format::Integer v;
    uint64_t bits = 0;
    if (!format::ReadInteger(valuebox->title, v) || !format::FitInteger(v, n, format::Signedness::Either, bits)) {
        ed_.Message("Error!", "Not a value for " + std::to_string(n) + (n == 1 ? " byte." : " bytes."));
        ed_.FlushInput();
        return;
    }
    // The n low bytes, least significant first; the children are parsed
    // again after the last.
    uint8_t bytes[4];
    for (int j = 0; j < 4; ++j) bytes[j] = static_cast<uint8_t>((bits >> (8 * j)) & 255u);
    WriteBytes("input " + std::to_string(n), std::span<const uint8_t>(bytes, static_cast<size_t>(n)));
}

void DataPanel::InputString() {
    const mesh::chunkptr c = ed_.doc.selchunk;
    ed_.doc.Change("str", c, Document::Reach::own,
               [&] { c->InsertString(std::max(0, ed_.doc.datacursor), valuebox->title, ed_.doc.formatlist); });
}

void DataPanel::InputFloat() {
    float f = 0;
    if (!format::ReadFloat(valuebox->title, f)) {
        ed_.Message("Error!", "Not a value for a float.");
        ed_.FlushInput();
        return;
    }
    uint8_t bytes[4];
    format::StoreI32(bytes, std::bit_cast<int32_t>(f));
    WriteBytes("flt", bytes);
}

void DataPanel::PickByte() {
    const uint8_t b = static_cast<uint8_t>(pickedbyte & 0xFF);
    if (ed_.doc.datacursor < ed_.doc.selchunk->size) WriteBytes("pick byte", std::span<const uint8_t>(&b, 1));
}

void DataPanel::WriteBytes(const std::string& name, std::span<const uint8_t> v) {
    const mesh::chunkptr c = ed_.doc.selchunk;
    int64_t at = ed_.doc.datacursor;
    const mesh::chunkptr leaf = LeafHolding(c, ed_.doc.datacursor, static_cast<int64_t>(v.size()), at);
    const mesh::chunkptr target = leaf ? leaf : c;
    ed_.doc.Change(name, target, Document::Reach::own, [&] { target->SetBytes(at, v, ed_.doc.formatlist); });
}

}  // namespace editor
