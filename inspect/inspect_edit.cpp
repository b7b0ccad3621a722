// The edits of the inspector's values (see inspect.h): typed input read by
// the table of value types into the bytes it changes, a model's new name
// carried to the PRNT records that named it.
#include "inspect/inspect.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "format/bytes.h"
#include "format/number.h"
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
    if (f.flag != 0) {
        // One flag bit: 1 sets it, 0 clears it, the value's other bits kept.
        format::Integer v;
        if (!format::ReadInteger(input, v) || v.negative || v.magnitude > 1 || f.offset < 0 || f.width < 1 ||
            f.width > 4 || f.offset + f.width > c->size) {
            plan.error = "Not a value for this field.";
            return plan;
        }
        uint32_t bits = 0;
        for (int k = 0; k < f.width; ++k) bits |= uint32_t(std::max(0, c->readbyte(f.offset + k))) << (8 * k);
        bits = v.magnitude ? bits | f.flag : bits & ~f.flag;
        for (int k = 0; k < f.width; ++k) bytes.push_back(static_cast<uint8_t>(bits >> (8 * k)));
        plan.changes.push_back({c, f.offset, std::move(bytes), false});
        plan.ok = true;
        return plan;
    }
    if (f.euler >= 0 && f.euler < 3) {
        // One angle of the rotation: the quaternion written anew, of unit length.
        float deg = 0;
        if (!format::ReadFloat(input, deg) || f.offset < 0 || f.offset + 16 > c->size) {
            plan.error = "Not a value for this field.";
            return plan;
        }
        float q[4];
        for (int k = 0; k < 4; ++k) q[k] = c->readfloat(f.offset + 4 * k);
        double e[3];
        QuaternionToEuler(q, e);
        e[f.euler] = deg;
        EulerToQuaternion(e, q);
        bytes.resize(16);
        for (int k = 0; k < 4; ++k) format::StoreF32(bytes.data() + 4 * k, q[k]);
        plan.changes.push_back({c, f.offset, std::move(bytes), false});
        plan.ok = true;
        return plan;
    }
    if (!format::ParseValue(f.type, f.width, input, bytes)) {
        const bool text = f.type == format::ValueType::Text || f.type == format::ValueType::FixedText;
        const std::string_view why = f.type == format::ValueType::F32 ? format::FloatOutOfRange(input) : "";
        plan.error = text ? "This text does not fit here."
                          : why.empty() ? "Not a value for this field." : "Not a value for this field: " + std::string(why) + ".";
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

// ---- Rotations ----------------------------------------------------------------------

void QuaternionToEuler(const float q[4], double out[3]) {
    const double x = q[0], y = q[1], z = q[2], w = q[3];
    constexpr double kDeg = 180.0 / 3.14159265358979323846;
    out[0] = std::atan2(2 * (w * x + y * z), 1 - 2 * (x * x + y * y)) * kDeg;
    const double s = std::clamp(2 * (w * y - z * x), -1.0, 1.0);
    out[1] = std::asin(s) * kDeg;
    out[2] = std::atan2(2 * (w * z + x * y), 1 - 2 * (y * y + z * z)) * kDeg;
}

void EulerToQuaternion(const double euler[3], float out[4]) {
    constexpr double kHalf = 3.14159265358979323846 / 360.0;  // degrees to half radians
    const double cx = std::cos(euler[0] * kHalf), sx = std::sin(euler[0] * kHalf);
    const double cy = std::cos(euler[1] * kHalf), sy = std::sin(euler[1] * kHalf);
    const double cz = std::cos(euler[2] * kHalf), sz = std::sin(euler[2] * kHalf);
    out[0] = static_cast<float>(sx * cy * cz - cx * sy * sz);
    out[1] = static_cast<float>(cx * sy * cz + sx * cy * sz);
    out[2] = static_cast<float>(cx * cy * sz - sx * sy * cz);
    out[3] = static_cast<float>(cx * cy * cz + sx * sy * sz);
}

}  // namespace mesh
