// The edits of the inspector's values (see inspect.h): typed input read by
// the table of value types into the bytes it changes, a model's new name
// carried to the PRNT records that named it.
#include "inspect/inspect.h"

#include <algorithm>
#include <limits>

#include "format/values.h"

namespace mesh {

// ---- Edits ---------------------------------------------------------------------------

EditPlan PlanEdit(const Inspection& in, const InspectValue& f, const std::string& input, const chunkptr& root) {
    EditPlan plan;
    const chunkptr& c = in.target;
    if (!c || !f.editable() || !c->kids.empty()) {
        plan.error = "This value cannot be changed.";
        return plan;
    }
    std::vector<uint8_t> bytes;
    if (!format::ParseValue(f.type, f.width, input, bytes)) {
        const bool text = f.type == format::ValueType::Text || f.type == format::ValueType::FixedText;
        plan.error = text ? "This text does not fit here." : "Not a value for this field.";
        return plan;
    }
    if (f.type != format::ValueType::Text) {
        if (f.offset < 0 || f.offset + static_cast<int64_t>(bytes.size()) > c->size) {
            plan.error = "This value lies outside the data.";
            return plan;
        }
        if (f.keep) {
            // The flag bits that share the value's bytes stay as they are.
            uint32_t v = 0, old = 0;
            for (size_t k = 0; k < bytes.size() && k < 4; ++k) {
                v |= uint32_t(bytes[k]) << (8 * k);
                old |= uint32_t(std::max(0, c->readbyte(f.offset + int64_t(k)))) << (8 * k);
            }
            if (v & f.keep) {
                plan.error = "Not a value for this field.";
                return plan;
            }
            v |= old & f.keep;
            for (size_t k = 0; k < bytes.size() && k < 4; ++k) bytes[k] = static_cast<uint8_t>(v >> (8 * k));
        }
        plan.changes.push_back({c, f.offset, std::move(bytes), false});
        plan.ok = true;
        return plan;
    }
    int64_t growth = static_cast<int64_t>(bytes.size()) - c->size;
    const std::string old = c->datatostring();
    const std::string now = input;
    plan.changes.push_back({c, 0, bytes, true});
    // A model's name: the PRNT records that named it follow.
    chunkptr model = c->name == "NAME" ? c->getparent() : nullptr;
    if (model && model->name == "MODL" && model->getkid("NAME") == c && root && !old.empty() && old != now) {
        std::vector<chunkptr> prnts;
        root->addtolist(prnts, "PRNT");
        for (const chunkptr& p : prnts) {
            if (!p->kids.empty() || p->datatostring() != old) continue;
            growth += static_cast<int64_t>(bytes.size()) - p->size;
            plan.changes.push_back({p, 0, bytes, true});
            ++plan.parents;
        }
    }
    const int64_t rootsize = root ? root->size : c->size;
    if (rootsize + growth > std::numeric_limits<int32_t>::max()) {
        plan.changes.clear();
        plan.parents = 0;
        plan.error = "The file would grow too large.";
        return plan;
    }
    plan.ok = true;
    return plan;
}

void ApplyEdit(const EditPlan& plan, const namelist& list) {
    if (!plan.ok) return;
    for (const Change& ch : plan.changes) {
        if (!ch.target) continue;
        if (ch.whole) {
            ch.target->setdata(ch.bytes);
        } else {
            for (size_t k = 0; k < ch.bytes.size(); ++k)
                ch.target->SetByte(ch.offset + static_cast<int64_t>(k), ch.bytes[k], 0, list);
        }
    }
}

}  // namespace mesh
