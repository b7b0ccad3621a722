// The inspector's model: every record kind decoded from bytes written by
// hand, and the edits.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "format/bytes.h"
#include "inspect/inspect.h"
#include "tests/support/chunks.h"

using namespace testsupport;
using mesh::chunk;
using mesh::chunkptr;
using testsupport::F32s;
using testsupport::U16s;
using mesh::InspectValue;
using mesh::Form;
using mesh::Inspect;
using mesh::Inspection;
using mesh::InspectLine;
using format::ValueType;

namespace {

// The value texts of a line, joined by blanks.
std::string Values(const InspectLine& l) {
    std::string s;
    for (const InspectValue& f : l.fields) s += (s.empty() ? "" : " ") + f.text;
    return s;
}

const InspectLine* Find(const Inspection& in, const std::string& label) {
    for (const InspectLine& l : in.lines)
        if (l.label == label) return &l;
    return nullptr;
}

std::string ValuesOf(const Inspection& in, const std::string& label) {
    const InspectLine* l = Find(in, label);
    return l ? Values(*l) : "<no line " + label + ">";
}

std::string NoteOf(const Inspection& in, const std::string& label) {
    const InspectLine* l = Find(in, label);
    return l ? l->note : "<no line " + label + ">";
}

// Parses the bytes as a tree, rebuilt.
chunkptr Tree(const Bytes& b) {
    chunkptr c = Parse(b);
    c->Update(0);
    return c;
}

// The same with the materials grouped, as the editor opens a mesh.
chunkptr Grouped(const Bytes& b) {
    chunkptr c = Parse(b);
    c->expandmatl(Containers());
    c->Update(1);
    return c;
}

// The first chunk of the subtree with this name.
chunkptr First(const chunkptr& root, const std::string& name, size_t nth = 0) {
    std::vector<chunkptr> all;
    root->addtolist(all, name);
    return nth < all.size() ? all[nth] : nullptr;
}

}  // namespace

// ---- Records -----------------------------------------------------------------------

TEST(InspectRecord, ModelFieldsWithMeanings) {
    Inspection t = Inspect(Leaf("MTYP", I32s({1})), nullptr);
    EXPECT_EQ(t.form, Form::Record);
    EXPECT_EQ(ValuesOf(t, "type"), "1");
    EXPECT_EQ(NoteOf(t, "type"), "skin");
    EXPECT_EQ(NoteOf(Inspect(Leaf("MTYP", I32s({6})), nullptr), "type"), "shadow volume");
    EXPECT_EQ(NoteOf(Inspect(Leaf("MTYP", I32s({5})), nullptr), "type"), "unknown");
    EXPECT_EQ(ValuesOf(Inspect(Leaf("MNDX", I32s({7})), nullptr), "index"), "7");
    // A record's flags are shown with the whole value they are part of.
    Inspection flgs = Inspect(Leaf("FLGS", I32s({3})), nullptr);
    EXPECT_EQ(ValuesOf(flgs, "flags"), "3");
    EXPECT_EQ(NoteOf(flgs, "flags"), "hidden");
    EXPECT_EQ(Find(flgs, "flags")->fields[0].keep, 0u);
    EXPECT_EQ(NoteOf(Inspect(Leaf("FLGS", I32s({2})), nullptr), "flags"), "");
    EXPECT_EQ(ValuesOf(Inspect(Leaf("SHVO", I32s({1})), nullptr), "value"), "1");
    // A u32 above the signed range shows as unsigned.
    EXPECT_EQ(ValuesOf(Inspect(Leaf("MNDX", I32s({-1})), nullptr), "index"), "4294967295");
}

TEST(InspectRecord, MaterialAttributesAndColours) {
    Inspection a = Inspect(Leaf("ATRB", Bytes{1 | 8 | 128, 6, 200, 3}), nullptr);
    EXPECT_EQ(ValuesOf(a, "flags"), "137");
    EXPECT_EQ(NoteOf(a, "flags"), "unlit double-sided specular");
    EXPECT_EQ(ValuesOf(a, "render"), "6");
    EXPECT_EQ(ValuesOf(a, "data0"), "200");
    EXPECT_EQ(ValuesOf(a, "data1"), "3");
    EXPECT_EQ(Find(a, "render")->fields[0].offset, 1);
    EXPECT_EQ(Find(a, "render")->fields[0].type, ValueType::U8);

    chunkptr matd = Tree(Ck("MATD", Cat({Ck("NAME", Str("m")),
                                          Ck("DATA", F32s({1, 0.5f, 0.25f, 1, 0, 0, 0, 1, 0.1f, 0.2f, 0.3f, 0.4f, 50})),
                                          Ck("ATRB", Zeros(4))})));
    Inspection d = Inspect(matd->getkid("DATA"), matd);
    EXPECT_EQ(d.form, Form::Record);
    EXPECT_EQ(ValuesOf(d, "diffuse"), "1 0.5 0.25 1");
    EXPECT_EQ(ValuesOf(d, "ambient"), "0.1 0.2 0.3 0.4");
    EXPECT_EQ(ValuesOf(d, "exponent"), "50");
    const InspectLine* diffuse = Find(d, "diffuse");
    ASSERT_TRUE(diffuse->colour);
    EXPECT_FLOAT_EQ(diffuse->rgba[1], 0.5f);
    EXPECT_EQ(diffuse->fields[3].offset, 12);
    EXPECT_EQ(Find(d, "specular")->fields[0].offset, 16);
    EXPECT_FALSE(Find(d, "exponent")->colour);

    // A DATA outside a material is not a colour record.
    chunkptr other = Tree(Ck("SINF", Cat({Ck("NAME", Str("s")), Ck("DATA", Zeros(52))})));
    EXPECT_EQ(Inspect(other->getkid("DATA"), other).form, Form::Raw);
}

TEST(InspectRecord, TransformsBoxesShapesFrames) {
    const float s = std::sqrt(0.5f);
    Inspection t = Inspect(Leaf("TRAN", F32s({1, 2, 3, 0, 0, s, s, -4, 5.5f, 6})), nullptr);
    EXPECT_EQ(ValuesOf(t, "scale"), "1 2 3");
    EXPECT_EQ(Find(t, "rotation")->fields.size(), 4u);
    EXPECT_EQ(ValuesOf(t, "translation"), "-4 5.5 6");
    EXPECT_EQ(Find(t, "translation")->fields[0].offset, 28);
    EXPECT_EQ(ValuesOf(t, "euler"), "0.00 0.00 90.00");
    EXPECT_FALSE(Find(t, "euler")->fields[0].editable());
    // The lines follow the record's order, the Euler line after the rotation.
    ASSERT_EQ(t.lines.size(), 4u);
    EXPECT_EQ(t.lines[2].label, "euler");

    Inspection b = Inspect(Leaf("BBOX", F32s({0, 0, 0, 1, 1, 2, 3, 4, 5, 6, 7.25f})), nullptr);
    EXPECT_EQ(ValuesOf(b, "rotation"), "0 0 0 1");
    EXPECT_EQ(ValuesOf(b, "centre"), "1 2 3");
    EXPECT_EQ(ValuesOf(b, "extents"), "4 5 6");
    EXPECT_EQ(ValuesOf(b, "radius"), "7.25");

    Bytes swci = Cat({I32s({2}), F32s({0.5f, 2, 0})});
    Inspection w = Inspect(Leaf("SWCI", swci), nullptr);
    EXPECT_EQ(NoteOf(w, "shape"), "cylinder");
    EXPECT_EQ(ValuesOf(w, "height"), "2");
    EXPECT_EQ(NoteOf(Inspect(Leaf("SWCI", Cat({I32s({9}), F32s({0, 0, 0})})), nullptr), "shape"), "unknown");

    Inspection f = Inspect(Leaf("FRAM", Cat({I32s({1, 120}), F32s({29.97f})})), nullptr);
    EXPECT_EQ(ValuesOf(f, "first"), "1");
    EXPECT_EQ(ValuesOf(f, "last"), "120");
    EXPECT_EQ(ValuesOf(f, "rate"), "29.97");
}

TEST(InspectRecord, ShortRecordMarksMissingAndLongOneCountsTheRest) {
    // 18 bytes of a 40-byte TRAN: scale whole, the rotation's first value
    // whole, the rest missing; a missing value cannot be edited.
    Bytes part = F32s({1, 1, 1, 0});
    part.push_back(9);
    part.push_back(9);
    Inspection t = Inspect(Leaf("TRAN", part), nullptr);
    EXPECT_EQ(ValuesOf(t, "scale"), "1 1 1");
    EXPECT_EQ(ValuesOf(t, "rotation"), "0 missing missing missing");
    EXPECT_TRUE(Find(t, "rotation")->fields[1].missing);
    EXPECT_FALSE(Find(t, "rotation")->fields[1].editable());
    EXPECT_EQ(Find(t, "euler"), nullptr);
    EXPECT_EQ(ValuesOf(t, "translation"), "missing missing missing");
    EXPECT_EQ(NoteOf(Inspect(Leaf("MTYP", Bytes{1, 0}), nullptr), "type"), "");
    EXPECT_EQ(ValuesOf(Inspect(Leaf("MTYP", {}), nullptr), "type"), "missing");

    Inspection f = Inspect(Leaf("FLGS", I32s({1, 2})), nullptr);
    EXPECT_EQ(NoteOf(f, "more"), "4 bytes after the record");
}

TEST(InspectRecord, TextsAndNames) {
    Inspection n = Inspect(Leaf("TX0D", Str("rock.tga")), nullptr);
    ASSERT_EQ(n.form, Form::Record);
    const InspectLine* text = Find(n, "text");
    EXPECT_EQ(Values(*text), "rock.tga");
    EXPECT_EQ(text->fields[0].type, ValueType::Text);
    EXPECT_EQ(text->fields[0].width, 12);
    EXPECT_EQ(text->note, "");
    for (const char* name : {"NAME", "TX1D", "TX2D", "TX3D", "PRNT", "CTEX"})
        EXPECT_EQ(ValuesOf(Inspect(Leaf(name, Str("x")), nullptr), "text"), "x") << name;
    // Without a zero byte the bytes are shown, and said to be unterminated.
    Inspection raw = Inspect(Leaf("NAME", Text("abcd")), nullptr);
    EXPECT_EQ(ValuesOf(raw, "text"), "abcd");
    EXPECT_EQ(NoteOf(raw, "text"), "no zero byte");

    Inspection w = Inspect(Leaf("FWGT", Cat({Text("bone_a"), Bytes{0}, Text("root"), Bytes{0, 0, 0}})), nullptr);
    ASSERT_EQ(w.lines.size(), 2u);
    EXPECT_EQ(Values(w.lines[0]), "bone_a");
    EXPECT_EQ(Values(w.lines[1]), "root");
    EXPECT_EQ(w.lines[1].fields[0].offset, 7);
}

TEST(InspectRecord, MaterialIndexNamesItsMaterialGroupedOrStored) {
    Bytes segm = Ck("SEGM", Cat({Ck("MATI", I32s({1})), Ck("POSL", I32s({0}))}));
    Bytes body = Ck("MODL", Cat({Ck("NAME", Str("m")), Ck("GEOM", Cat({Ck("BBOX", Zeros(44)), segm}))}));
    Bytes msh2 = Ck("MSH2", Cat({Ck("SINF", Ck("NAME", Str("s"))), Ck("MATL", Cat({I32s({2}), Matd("stone"), Matd("moss")})),
                                 body}));
    chunkptr stored = Tree(Ck("HEDR", msh2));
    Inspection s = Inspect(First(stored, "MATI"), stored);
    EXPECT_EQ(ValuesOf(s, "material"), "1");
    EXPECT_EQ(NoteOf(s, "material"), "moss");

    chunkptr grouped = Parse(Ck("HEDR", msh2));
    grouped->expandmatl(Containers());
    grouped->Update(1);
    ASSERT_EQ(First(grouped, "MATL")->kids.size(), 2u);
    EXPECT_EQ(NoteOf(Inspect(First(grouped, "MATI"), grouped), "material"), "moss");

    First(grouped, "MATI")->SetInt(0, 5, Containers());
    EXPECT_EQ(NoteOf(Inspect(First(grouped, "MATI"), grouped), "material"), "no such material");
    EXPECT_EQ(NoteOf(Inspect(Leaf("MATI", I32s({0})), nullptr), "material"), "no material list");
}

// ---- Lists -------------------------------------------------------------------------

TEST(InspectList, PositionsRowsAndTheirBytes) {
    chunkptr posl = Leaf("POSL", Cat({I32s({3}), F32s({1, 2, 3, 4, 5, 6, -7, 8.5f, 9})}));
    Inspection in = Inspect(posl, nullptr);
    ASSERT_EQ(in.form, Form::List);
    EXPECT_EQ(in.rows, 3);
    EXPECT_EQ(ValuesOf(in, "count"), "3");
    EXPECT_FALSE(Find(in, "count")->mark);
    InspectLine r = in.Row(2);
    EXPECT_EQ(r.label, "2");
    EXPECT_EQ(Values(r), "-7 8.5 9");
    EXPECT_EQ(r.at, 28);
    EXPECT_EQ(r.fields[1].offset, 32);
    EXPECT_TRUE(r.fields[1].editable());
    EXPECT_TRUE(in.Row(3).fields.empty());
    EXPECT_TRUE(in.Row(-1).fields.empty());

    // A count beyond the data: the elements that fit, and the shortfall said.
    chunkptr shortl = Leaf("NRML", Cat({I32s({5}), F32s({1, 2, 3, 4})}));
    Inspection s = Inspect(shortl, nullptr);
    EXPECT_EQ(s.rows, 1);
    EXPECT_TRUE(Find(s, "count")->mark);
    EXPECT_EQ(NoteOf(s, "count"), "data holds 1");
    EXPECT_EQ(Inspect(Leaf("UV0L", I32s({-1})), nullptr).rows, 0);

    Inspection uv = Inspect(Leaf("UV0L", Cat({I32s({1}), F32s({0.25f, 0.75f})})), nullptr);
    EXPECT_EQ(Values(uv.Row(0)), "0.25 0.75");
    Inspection cuv = Inspect(Leaf("CUV0", Cat({I32s({1}), F32s({1, 0})})), nullptr);
    EXPECT_EQ(Values(cuv.Row(0)), "1 0");
    Inspection cpos = Inspect(Leaf("CPOS", Cat({I32s({1}), F32s({1, 0, 2})})), nullptr);
    EXPECT_EQ(Values(cpos.Row(0)), "1 0 2");
}

TEST(InspectList, ColoursWeightsTrianglesClothAndAnimations) {
    // CLRL stores B, G, R, A; the values show in that order, the swatch
    // takes each channel from its place.
    Inspection c = Inspect(Leaf("CLRL", Cat({I32s({1}), Bytes{10, 20, 255, 128}})), nullptr);
    EXPECT_EQ(NoteOf(c, "element"), "blue green red alpha");
    InspectLine r = c.Row(0);
    EXPECT_EQ(Values(r), "10 20 255 128");
    EXPECT_EQ(r.fields[2].offset, 6);
    ASSERT_TRUE(r.colour);
    EXPECT_FLOAT_EQ(r.rgba[0], 1.0f);
    EXPECT_FLOAT_EQ(r.rgba[2], 10 / 255.0f);

    Inspection w = Inspect(Leaf("WGHT", Cat({I32s({1}), I32s({3}), F32s({0.75f}), I32s({-1}), F32s({0.25f}),
                                              I32s({0}), F32s({0}), I32s({0}), F32s({0})})),
                           nullptr);
    EXPECT_EQ(Values(w.Row(0)), "3 0.75 -1 0.25 0 0 0 0");

    Inspection t = Inspect(Leaf("NDXT", Cat({I32s({2}), U16s({0, 1, 2, 2, 1, 3})})), nullptr);
    EXPECT_EQ(t.rows, 2);
    EXPECT_EQ(Values(t.Row(1)), "2 1 3");
    EXPECT_EQ(t.Row(1).at, 10);

    EXPECT_EQ(Values(Inspect(Leaf("FIDX", Cat({I32s({1, 42})})), nullptr).Row(0)), "42");
    EXPECT_EQ(Values(Inspect(Leaf("SPRS", Cat({I32s({1}), U16s({4, 5})})), nullptr).Row(0)), "4 5");
    EXPECT_EQ(Values(Inspect(Leaf("CMSH", I32s({1, 7, 8, 9})), nullptr).Row(0)), "7 8 9");

    Bytes anim = Text("run");
    anim.resize(64, 0);
    anim = Cat({anim, F32s({30}), I32s({1, 0, 40})});
    Inspection y = Inspect(Leaf("CYCL", Cat({I32s({1}), anim})), nullptr);
    ASSERT_EQ(y.rows, 1);
    InspectLine a = y.Row(0);
    EXPECT_EQ(Values(a), "run 30 1 0 40");
    EXPECT_EQ(a.fields[0].type, ValueType::FixedText);
    EXPECT_EQ(a.fields[0].width, 64);
    EXPECT_EQ(a.fields[1].offset, 68);
}

TEST(InspectList, StripStartsAreMarkedWithoutTheirFlag) {
    Inspection s = Inspect(Leaf("STRP", Cat({I32s({4}), U16s({0x8000, 0x8001, 2, 0x8003})})), nullptr);
    ASSERT_EQ(s.rows, 4);
    EXPECT_EQ(Values(s.Row(0)), "0");
    EXPECT_TRUE(s.Row(0).mark);
    EXPECT_EQ(s.Row(0).note, "strip start");
    EXPECT_EQ(Values(s.Row(1)), "1");
    EXPECT_FALSE(s.Row(2).mark);
    EXPECT_EQ(Values(s.Row(2)), "2");
    EXPECT_EQ(Values(s.Row(3)), "3");
    EXPECT_TRUE(s.Row(3).mark);
    EXPECT_EQ(s.Row(3).at, 10);
}

TEST(InspectList, PolygonListsFindRowsPastTheirCheckpoints) {
    // 600 polygons of 1 to 4 indices: row i lies past the checkpoints of
    // every 256th polygon.
    Bytes body;
    std::vector<int64_t> at;
    int64_t p = 4;
    for (int i = 0; i < 600; ++i) {
        const int n = 1 + i % 4;
        at.push_back(p);
        format::Writer w(body);
        w.U16(static_cast<uint16_t>(n));
        for (int j = 0; j < n; ++j) w.U16(static_cast<uint16_t>(i + j));
        p += 2 + 2 * n;
    }
    Inspection in = Inspect(Leaf("NDXL", Cat({I32s({600}), body})), nullptr);
    ASSERT_EQ(in.rows, 600);
    for (int i : {0, 255, 256, 257, 513, 599}) {
        InspectLine r = in.Row(i);
        EXPECT_EQ(r.at, at[static_cast<size_t>(i)]) << i;
        // The vertex count, then the indices.
        ASSERT_EQ(r.fields.size(), static_cast<size_t>(2 + i % 4)) << i;
        EXPECT_EQ(r.fields[0].text, std::to_string(1 + i % 4)) << i;
        EXPECT_EQ(r.fields[1].text, std::to_string(i)) << i;
        EXPECT_EQ(r.fields[1].offset, at[static_cast<size_t>(i)] + 2) << i;
    }
    // A polygon cut off by the end of the data is not a row.
    Bytes cut = Cat({I32s({2}), U16s({2, 0, 1, 3, 0})});
    EXPECT_EQ(Inspect(Leaf("NDXL", cut), nullptr).rows, 1);
}

TEST(InspectList, KeyFramesShowEachBoneWithItsKeys) {
    // Two bones: one translation key and two rotation keys, then none.
    Bytes bone0 = Cat({I32s({0x1234, 0, 1, 2}), I32s({5}), F32s({1, 2, 3}), I32s({0}), F32s({0, 0, 0, 1}),
                       I32s({9}), F32s({0, 1, 0, 0})});
    Bytes bone1 = I32s({0x99, 0, 0, 0});
    Inspection in = Inspect(Leaf("KFR3", Cat({I32s({2}), bone0, bone1})), nullptr);
    ASSERT_EQ(in.rows, 2);
    InspectLine r0 = in.Row(0);
    EXPECT_EQ(Values(r0), "4660 0 1 2 5 1 2 3 0 0 0 0 1 9 0 1 0 0");
    EXPECT_EQ(in.Row(1).at, 4 + static_cast<int64_t>(bone0.size()));
    EXPECT_EQ(Values(in.Row(1)), "153 0 0 0");
}

TEST(InspectList, EnvelopeEntriesNameTheirModels) {
    auto modl = [](const std::string& name, int index) {
        return Ck("MODL", Cat({Ck("MTYP", I32s({3})), Ck("MNDX", I32s({index})), Ck("NAME", Str(name))}));
    };
    Bytes envl = Ck("ENVL", I32s({3, 7, 1, 9}));
    Bytes skin = Ck("MODL", Cat({Ck("NAME", Str("skin")), Ck("GEOM", Cat({Ck("BBOX", Zeros(44)), envl}))}));
    Bytes sinf = Ck("SINF", Ck("NAME", Str("s")));
    chunkptr root = Tree(Ck("HEDR", Ck("MSH2", Cat({sinf, modl("bone_b", 7), modl("bone_a", 12), skin}))));
    Inspection in = Inspect(First(root, "ENVL"), root);
    ASSERT_EQ(in.rows, 3);
    EXPECT_EQ(in.Row(0).note, "bone_b");   // by MNDX
    EXPECT_EQ(in.Row(1).note, "bone_a");   // no MNDX 1: the second model
    EXPECT_EQ(in.Row(2).note, "no model");
}

// ---- Containers and paths -------------------------------------------------------------

TEST(InspectContainer, ChildrenCountsAndModelSummary) {
    chunkptr root = Tree(Mesh());
    chunkptr child = First(root, "MODL", 1);
    Inspection m = Inspect(child, root);
    EXPECT_EQ(m.form, Form::Container);
    EXPECT_EQ(NoteOf(m, "name"), "child");
    EXPECT_EQ(NoteOf(m, "type"), "0 null");
    EXPECT_EQ(NoteOf(m, "index"), "1");
    EXPECT_EQ(NoteOf(m, "parent"), "root");
    EXPECT_EQ(NoteOf(m, "segments"), "2");
    EXPECT_EQ(NoteOf(m, "vertices"), "5");
    EXPECT_EQ(NoteOf(m, "children"), "6");
    EXPECT_EQ(NoteOf(Inspect(First(root, "MODL"), root), "parent"), "none");

    Inspection g = Inspect(First(root, "GEOM"), root);
    EXPECT_EQ(NoteOf(g, "children"), "3");
    EXPECT_EQ(NoteOf(g, " SEGM"), "x2");
    EXPECT_EQ(NoteOf(g, " BBOX"), "1");
    EXPECT_EQ(Find(g, "name"), nullptr);
}

TEST(InspectContainer, PathNamesModelsAndSameNamedSiblings) {
    chunkptr root = Tree(Mesh());
    EXPECT_EQ(mesh::ChunkPath(root), "HEDR");
    EXPECT_EQ(Inspect(First(root, "STRP", 3), root).path, "HEDR/MSH2/MODL[child]/GEOM/SEGM[1]/STRP");
    EXPECT_EQ(mesh::ChunkPath(First(root, "MODL")), "HEDR/MSH2/MODL[root]");
    EXPECT_EQ(mesh::ChunkPath(First(root, "CL1L")), "HEDR/CL1L");
    // A chunk that left the tree starts its own path.
    chunkptr msh2 = First(root, "MSH2");
    chunkptr sinf = msh2->RemoveKid(0);
    EXPECT_EQ(mesh::ChunkPath(sinf->getkid("NAME")), "SINF/NAME");
}

TEST(InspectContainer, OtherLeavesAreRaw) {
    EXPECT_EQ(Inspect(Leaf("ZZZZ", I32s({1, 2})), nullptr).form, Form::Raw);
    EXPECT_EQ(Inspect(nullptr, nullptr).form, Form::Raw);
}

TEST(ShownValues, EulerAngles) {
    const float half = std::sqrt(0.5f);
    const float qx[4] = {half, 0, 0, half};
    double e[3];
    mesh::QuaternionToEuler(qx, e);
    EXPECT_NEAR(e[0], 90, 1e-4);
    EXPECT_NEAR(e[1], 0, 1e-4);
    const float qy[4] = {0, half, 0, half};
    mesh::QuaternionToEuler(qy, e);
    EXPECT_NEAR(e[1], 90, 0.05);  // asin is steep near 90 degrees
}

// ---- Edits ------------------------------------------------------------------------------------

namespace {

// Inspects the chunk, finds the field with this label (and index among the
// line's values, or of list row `row`), and plans typing input into it.
mesh::EditPlan Plan(const chunkptr& c, const chunkptr& root, const std::string& label, size_t k,
                    const std::string& input, int64_t row = -1) {
    Inspection in = Inspect(c, root);
    InspectLine l = row >= 0 ? in.Row(row) : (Find(in, label) ? *Find(in, label) : InspectLine{});
    if (k >= l.fields.size()) {
        ADD_FAILURE() << "no field " << label << " " << k;
        return {};
    }
    return mesh::PlanEdit(in, l.fields[k], input, root);
}

}  // namespace

TEST(InspectEdit, FixedFieldsWriteOnlyTheirBytes) {
    chunkptr root = Grouped(Mesh());
    const Bytes before = Saved(root, 1);
    chunkptr tran = First(root, "TRAN");
    const Bytes tag = Text("TRAN");
    const int64_t pos = std::search(before.begin(), before.end(), tag.begin(), tag.end()) - before.begin();

    mesh::EditPlan plan = Plan(tran, root, "translation", 1, "2.5");
    ASSERT_TRUE(plan.ok) << plan.error;
    mesh::ApplyEdit(plan, Containers());
    root->Update(1);
    Bytes expect = before;
    const Bytes f = F32s({2.5f});
    std::copy(f.begin(), f.end(), expect.begin() + pos + 8 + 32);
    EXPECT_EQ(Saved(root, 1), expect);

    // A byte of ATRB, a u32 of MTYP.
    chunkptr atrb = First(root, "ATRB");
    ASSERT_TRUE(Plan(atrb, root, "render", 0, "$7").ok);
    mesh::ApplyEdit(Plan(atrb, root, "render", 0, "$7"), Containers());
    EXPECT_EQ(DataOf(atrb), (Bytes{0, 7, 0, 0}));
    chunkptr mtyp = First(root, "MTYP");
    mesh::ApplyEdit(Plan(mtyp, root, "type", 0, "4"), Containers());
    EXPECT_EQ(DataOf(mtyp), I32s({4}));
    EXPECT_EQ(Inspect(mtyp, root).lines[0].note, "static");

    // A list element's value.
    chunkptr posl = First(root, "POSL");
    mesh::ApplyEdit(Plan(posl, root, "", 2, "-1", 1), Containers());
    EXPECT_EQ(posl->readfloat(4 + 12 + 8), -1.0f);
}

TEST(InspectEdit, RefusedInputChangesNothing) {
    chunkptr root = Grouped(Mesh());
    const Bytes before = Saved(root, 1);
    struct Case {
        std::string name, label;
        size_t k;
        std::string input;
    } cases[] = {
        {"ATRB", "flags", 0, "256"},   {"ATRB", "flags", 0, "x"},      {"MTYP", "type", 0, "-1"},
        {"TRAN", "scale", 0, "1e40"},  {"TRAN", "scale", 2, "abc"},    {"MNDX", "index", 0, "$100000000"},
        {"TRAN", "euler", 0, "1"},
    };
    for (const Case& c : cases) {
        mesh::EditPlan plan = Plan(First(root, c.name), root, c.label, c.k, c.input);
        EXPECT_FALSE(plan.ok) << c.name << " " << c.input;
        EXPECT_FALSE(plan.error.empty());
        EXPECT_TRUE(plan.changes.empty());
        mesh::ApplyEdit(plan, Containers());
    }
    root->Update(1);
    EXPECT_EQ(Saved(root, 1), before);

    // A field past the end of a short record cannot be typed into.
    chunkptr shortt = Leaf("TRAN", F32s({1, 1}));
    EXPECT_FALSE(Plan(shortt, nullptr, "scale", 2, "1").ok);
    EXPECT_EQ(DataOf(shortt), F32s({1, 1}));
}

TEST(InspectEdit, TextRecordsResizeAndTheAncestorsFollow) {
    chunkptr root = Grouped(Mesh());
    chunkptr tex = First(root, "TX0D");  // "tex.tga": 8 bytes
    const int32_t rootsize = root->size;
    const int32_t matdsize = tex->getparent()->size;

    mesh::EditPlan plan = Plan(tex, root, "text", 0, "stone_wall.tga");  // 14 + 1 -> 16
    ASSERT_TRUE(plan.ok);
    EXPECT_EQ(plan.parents, 0);
    mesh::ApplyEdit(plan, Containers());
    EXPECT_EQ(DataOf(tex), Str("stone_wall.tga"));
    EXPECT_EQ(tex->size, 16);
    root->Update(1);
    EXPECT_EQ(root->size, rootsize + 8);
    EXPECT_EQ(tex->getparent()->size, matdsize + 8);

    // The whole file: the mesh as if built with the new name.
    auto matd = [](const std::string& tex) {
        return Ck("MATD", Cat({Ck("NAME", Str("one")), Ck("DATA", Zeros(52)), Ck("ATRB", Zeros(4)), Ck("TX0D", Str(tex))}));
    };
    Bytes matl = Cat({I32s({2}), matd("stone_wall.tga"), Matd("two")});
    Bytes msh2 = Cat({Ck("SINF", Cat({Ck("NAME", Str("scene")), Ck("FRAM", Zeros(12)), Ck("BBOX", Zeros(44))})),
                      Ck("MATL", matl), Modl("root"), Modl("child", "root")});
    EXPECT_EQ(Saved(root, 1), Ck("HEDR", Cat({Ck("MSH2", msh2), Ck("CL1L", {})})));

    // A text of a multiple of four gets a whole word of zeros; an empty one, one word.
    mesh::ApplyEdit(Plan(tex, root, "text", 0, "abcd"), Containers());
    EXPECT_EQ(DataOf(tex), Cat({Text("abcd"), Zeros(4)}));
    mesh::ApplyEdit(Plan(tex, root, "text", 0, ""), Containers());
    EXPECT_EQ(DataOf(tex), Zeros(4));
}

TEST(InspectEdit, ModelRenameRewritesTheParentsThatNamedIt) {
    // root; child and second (PRNT root); other (PRNT rootish).
    const Bytes sinf = Ck("SINF", Ck("NAME", Str("s")));
    Bytes msh2 = Cat({sinf, Modl("root"), Modl("child", "root"), Modl("second", "root"), Modl("other", "rootish")});
    chunkptr root = Tree(Ck("HEDR", Ck("MSH2", msh2)));
    chunkptr name = First(root, "MODL")->getkid("NAME");
    mesh::EditPlan plan = Plan(name, root, "text", 0, "base_model");
    ASSERT_TRUE(plan.ok);
    EXPECT_EQ(plan.parents, 2);
    mesh::ApplyEdit(plan, Containers());
    root->Update(0);
    Bytes expect = Cat({sinf, Modl("base_model"), Modl("child", "base_model"), Modl("second", "base_model"),
                        Modl("other", "rootish")});
    EXPECT_EQ(Saved(root, 0), Ck("HEDR", Ck("MSH2", expect)));
    // The children still find their parent.
    chunkptr prnt = First(root, "PRNT");
    EXPECT_EQ(prnt->findmodlbyname(prnt->datatostring(), 1, nullptr), First(root, "MODL"));

    // The same name again, or a NAME that is not a model's, renames no parent.
    EXPECT_EQ(Plan(First(root, "MODL")->getkid("NAME"), root, "text", 0, "base_model").parents, 0);
    chunkptr scene = Tree(Mesh());
    chunkptr sinfname = First(scene, "SINF")->getkid("NAME");
    Inspection in = Inspect(sinfname, scene);
    mesh::EditPlan p2 = mesh::PlanEdit(in, in.lines[0].fields[0], "root", scene);
    EXPECT_TRUE(p2.ok);
    EXPECT_EQ(p2.parents, 0);
    // A PRNT typed into directly is only that record.
    EXPECT_EQ(Plan(First(scene, "PRNT"), scene, "text", 0, "x").parents, 0);
}

TEST(InspectEdit, AStripIndexKeepsItsStartFlag) {
    chunkptr strp = Leaf("STRP", Cat({I32s({2}), U16s({0x8005, 6})}));
    mesh::EditPlan plan = Plan(strp, nullptr, "", 0, "300", 0);
    ASSERT_TRUE(plan.ok);
    mesh::ApplyEdit(plan, Containers());
    EXPECT_EQ(DataOf(strp), Cat({I32s({2}), U16s({0x8000 | 300, 6})}));
    // A value that would reach into the flag is refused.
    EXPECT_FALSE(Plan(strp, nullptr, "", 0, "$8000", 0).ok);
    mesh::ApplyEdit(Plan(strp, nullptr, "", 0, "7", 1), Containers());
    EXPECT_EQ(DataOf(strp), Cat({I32s({2}), U16s({0x8000 | 300, 7})}));
}
