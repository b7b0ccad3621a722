// The inspector's edits in place: the edit box over a value, writing what is
// typed (or saying why not), and "go to".
#include <algorithm>
#include <climits>

#include "display/lineedit.h"
#include "editor/inspector.h"
#include "format/bytes.h"
#include "format/values.h"

namespace editor {

namespace {

// What the edit box takes: a number in any syntax (binary digits, a long
// decimal fraction), a text of a record whose size follows it.
constexpr int kMostNumberChars = 1024;
constexpr int kMostTextChars = 65536;

// The characters of the widest decimal value of a number field.
int WidestNumber(format::ValueType t) {
    switch (t) {
        case format::ValueType::U8: return 3;    // 255
        case format::ValueType::U16: return 5;   // 65535
        case format::ValueType::U32: return 10;  // 4294967295
        case format::ValueType::I32: return 11;  // -2147483648
        case format::ValueType::F32: return 15;  // -1.17549435e-38
        default: return 10;
    }
}

}  // namespace


// ---- editing ----------------------------------------------------------------------------

void InspectorPanel::OpenEdit(int64_t item, int k) {
    const mesh::InspectLine line = Item(item);
    if (k < 0 || static_cast<size_t>(k) >= line.fields.size() || !line.fields[static_cast<size_t>(k)].editable())
        return;
    const Span* span = nullptr;
    for (const Span& s : spans_)
        if (s.item == item && s.k == k) span = &s;
    if (!span) return;
    editvalue_ = line.fields[static_cast<size_t>(k)];
    edititem_ = item;
    editk_ = k;
    editscroll_ = scroll->state;
    const bool text = editvalue_.type == format::ValueType::Text || editvalue_.type == format::ValueType::FixedText;
    // A text takes the whole row; a number is as wide as the widest decimal
    // value of its field, moved left when the row ends before that. Both
    // scroll for anything longer and take every character a value that fits
    // can be written with, so what is typed is what is read, whole: a value
    // that does not fit is refused, never cut to one that does.
    int x = span->x0;
    int wdt = grid.tmapw;
    int most = kMostNumberChars;
    if (text) {
        x = 0;
        most = editvalue_.type == format::ValueType::FixedText ? std::max(0, editvalue_.width - 1) : kMostTextChars;
    } else {
        wdt = std::max<int>(WidestNumber(editvalue_.type), static_cast<int>(editvalue_.text.size())) + 1;
        wdt = std::min(wdt, grid.tmapw);
        x = std::min(x, grid.tmapw - wdt);
    }
    editbox->x = 1 + x;
    editbox->y = 1 + span->y;
    editbox->w = wdt;
    editbox->h = 1;
    editbox->maxchars = std::max<int>(most, static_cast<int>(std::min<size_t>(editvalue_.text.size(), INT_MAX)));
    editbox->title = editvalue_.text;
    editbox->at = static_cast<int>(editbox->title.size());
    editbox->first = 0;
    editbox->hidden = 0;
    editing = true;
    opened_ = true;
}

void InspectorPanel::CancelEdit() {
    editing = false;
    editbox->hidden = 1;
    editbox->at = -1;
    edititem_ = -1;
    editk_ = -1;
}

void InspectorPanel::SetValue() {
    const std::string input = editbox->title;
    const mesh::InspectValue value = editvalue_;
    CancelEdit();
    const mesh::chunkptr target = inspection.target;
    if (!target || target != ed_.doc.selchunk) return;
    const mesh::chunkptr root = ed_.doc.mesh ? ed_.doc.mesh->hedr : nullptr;
    // A text takes what the game's tools read; a number says what it takes.
    std::string why;
    if (value.type == format::ValueType::Text || value.type == format::ValueType::FixedText) {
        for (size_t i = 0; i < input.size() && why.empty(); ++i)
            why = display::Refusal(display::LineChars::Text, static_cast<uint8_t>(input[i]));
    }
    const mesh::EditPlan plan = why.empty() ? mesh::PlanEdit(inspection, value, input, root) : mesh::EditPlan{};
    if (!plan.ok) {
        if (why.empty())
            why = value.flag ? "takes 1 (set) or 0 (clear)" : format::WhyNotValue(value.type, value.width, input);
        ed_.Message("Error!", WithReason(why.empty() || plan.error.empty() ? "Not written." : plan.error, why));
        ed_.FlushInput();
        return;
    }
    const bool one = plan.changes.size() == 1;
    ed_.doc.Change("set value", one ? plan.changes[0].target : nullptr,
                   one ? Document::Reach::own : Document::Reach::subtree,
                   [&] { mesh::ApplyEdit(plan, ed_.doc.formatlist); });
    // A model's new name: say how many children followed it.
    const mesh::chunkptr parent = target->getparent();
    if (target->name == "NAME" && parent && parent->name == "MODL" && value.type == format::ValueType::Text)
        ed_.Status(std::to_string(plan.parents) + (plan.parents == 1 ? " PRNT renamed" : " PRNTs renamed"));
    else
        ed_.Status("");
}

void InspectorPanel::GoTo() {
    const mesh::chunkptr& c = ed_.doc.selchunk;
    std::vector<uint8_t> bytes;
    if (!format::ParseValue(format::ValueType::U32, 4, gotobox->title, bytes)) {
        ed_.Message("Error!", "Not an offset.");
        ed_.FlushInput();
        return;
    }
    const int64_t offset = format::LoadU32(bytes.data());
    if (offset >= c->size) {
        ed_.Message("Error!", "The chunk ends before this offset.");
        ed_.FlushInput();
        return;
    }
    hexbox->state = 1;
    ed_.doc.datacursor = static_cast<int>(offset);
    lastcursor_ = kNoCursor;  // the dump scrolls to it in the next frame
    ed_.ShowInDataView(offset);
}

}  // namespace editor
