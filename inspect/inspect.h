// The inspector's model: a chunk's data decoded into labelled values, and the
// edits of those values. No drawing here: the editor lays the lines out.
//
// A chunk decodes in one of four forms:
// - a record (TRAN, MATD's DATA, NAME, ...): lines of values at fixed offsets;
// - a list (POSL, STRP, NDXL, CYCL, ...): a few head lines (the count), then one row
//   per element, decoded on request only (Row), so a list of a million
//   elements costs per frame just the rows that are shown;
// - a container: its children's names and counts (a MODL adds its name, type,
//   index, parent, and the segments and vertices below it);
// - raw data: nothing decoded (the editor shows a hex dump).
// A record shorter than its layout shows the values that fit and marks the
// rest missing; a list shows the elements that its data holds. The layouts
// are those of the table of chunk kinds (format/records.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "format/values.h"
#include "mesh/chunk.h"
#include "mesh/records.h"  // ChunkPath, the path the inspection shows

namespace mesh {

// One value as shown, and where it is stored.
struct InspectValue {
    std::string text;            // the value as shown; "missing" when the data ends before it
    int64_t offset = 0;          // first byte in the chunk's data
    int width = 0;               // bytes it occupies (a Text value: the record's size)
    format::ValueType type = format::ValueType::None;  // how it is shown and read (format/values.h)
    bool missing = false;
    // Flag bits that share the value's bytes (a strip start): shown apart,
    // kept as they are when a new value is typed.
    uint32_t keep = 0;
    bool editable() const { return type != format::ValueType::None && !missing; }
};

struct InspectLine {
    std::string label;           // "scale", "diffuse", a list row's index
    std::vector<InspectValue> fields;
    std::string note;            // shown after the values: a meaning, flag names, a model name
    bool mark = false;           // a strip start, a missing element
    bool colour = false;         // rgba holds a colour to show beside the values
    float rgba[4] = {0, 0, 0, 0};
    int64_t at = -1;             // a list row: the element's first byte in the chunk's data
};

enum class Form { Raw, Record, List, Container };

// Facts about the mesh that some rows name (an ENVL entry's model, a MATI's
// material); gathered once per inspection.
struct InspectContext;

class Inspection {
public:
    Form form = Form::Raw;
    chunkptr target;             // the inspected chunk
    std::string path;            // from the root: HEDR/MSH2/MODL[body]/GEOM/SEGM[2]/STRP
    std::vector<InspectLine> lines;  // a record's values, a list's head, a container's summary
    int64_t rows = 0;            // a list: the elements the data holds

    // Row i of a list (0 <= i < rows); an empty line otherwise. Reads only
    // that element's bytes.
    InspectLine Row(int64_t i) const;

    // The list's layout (from the table of chunk kinds).
    const format::RecordLayout* list = nullptr;
    std::shared_ptr<const InspectContext> context;
    // Elements of variable length (a polygon, a bone's keys): the offset of
    // every 256th element, so a row is found without walking the whole list.
    std::vector<int64_t> checkpoints;
};

// Decodes the chunk. root: the root of its mesh (for the path, model names
// and materials); may be null.
Inspection Inspect(const chunkptr& c, const chunkptr& root);

// ---- Edits --------------------------------------------------------------------

// One chunk's new bytes: a fixed field's bytes at offset, or (whole) the
// whole data of a text record.
struct Change {
    chunkptr target;
    int64_t offset = 0;
    std::vector<uint8_t> bytes;
    bool whole = false;
};

struct EditPlan {
    bool ok = false;
    std::string error;           // why the input was refused
    std::vector<Change> changes;
    int parents = 0;             // PRNT records renamed with their model
};

// What typing input into field f of the inspected chunk changes. A model's
// NAME renamed also renames every PRNT of the mesh that named the old name.
// Refused (ok false, no changes) when the input does not parse or fit, when
// the field is not editable or lies outside the data, or when a text would
// make the root larger than its 32-bit size field holds.
EditPlan PlanEdit(const Inspection& in, const InspectValue& f, const std::string& input, const chunkptr& root);

// Writes the changes into the chunks' data; no re-reading of children, no
// rebuild (the caller's refresh makes every ancestor's size right).
void ApplyEdit(const EditPlan& plan, const namelist& list);

// ---- Shown values ----------------------------------------------------------------

// Euler angles in degrees (about x, y, z) of a rotation quaternion (x, y, z, w).
void QuaternionToEuler(const float q[4], double out[3]);

}  // namespace mesh
