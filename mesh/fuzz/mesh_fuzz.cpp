// Feeds arbitrary bytes through the mesh model: parse, group, rebuild, a
// scripted run of edits and queries, verification, write, and parse the
// written bytes again. Besides the sanitizers it checks what must hold for any input:
//   - every chunk's data array holds at least size bytes;
//   - after a rebuild, the written root is size + 8 bytes long and a
//     container's data is exactly the bytes written for its children;
//   - reading what was written and writing it again gives the same bytes;
//   - the flat index of the file holds the tree the editor opens, and
//     verification finds the same in both.
//
// Input: byte 0 flags (bit 0 material grouping), byte 1 the number k of
// operations, then k operations of 6 bytes, then the file.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "check/check.h"
#include "mesh/chunk.h"
#include "mesh/flatindex.h"
#include "inspect/inspect.h"
#include "mesh/msh.h"
#include "mesh/verify.h"
#include "mesh/walk.h"

using namespace mesh;

namespace {

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

const namelist& List() {
    // Record names and container names both, so nesting is still explored.
    static const namelist list = {"MSH2", "SHVO", "SINF", "NAME", "MTYP", "BBOX", "MATI", "SHDW", "CTEX",
                                  "CYCL", "MATD", "MODL", "GEOM", "SEGM", "HEDR"};
    return list;
}

void Flatten(const chunkptr& root, std::vector<chunkptr>& out) {
    out.clear();
    PreOrder(*root, [&](chunk& c) {
        out.push_back(c.shared_from_this());
        if (out.size() > 1000000) Fail("the tree has no end (a cycle?)");
    });
}

void CheckArrays(const std::vector<chunkptr>& all) {
    for (const chunkptr& c : all)
        if (c->size < 0 || c->datalen() < c->size) Fail("data shorter than size");
}

std::vector<uint8_t> Written(const chunkptr& root, int matl) {
    std::vector<uint8_t> out;
    root->save(out, matl);
    return out;
}

// Rebuild, write, and check the derived data against what was written.
std::vector<uint8_t> RebuildAndWrite(const chunkptr& root, int matl) {
    root->Update(matl);
    std::vector<uint8_t> out = Written(root, matl);
    if (out.size() != static_cast<size_t>(root->size) + 8) Fail("written length is not size + 8");
    if (!root->kids.empty()) {
        auto d = root->data();
        if (d.size() != static_cast<size_t>(root->size) || std::memcmp(d.data(), out.data() + 8, d.size()) != 0)
            Fail("container data differs from its written children");
    }
    return out;
}

// Read the bytes as the editor opens them and write them again.
std::vector<uint8_t> Normalise(const std::vector<uint8_t>& bytes, int matl) {
    chunkptr root = chunk::GetChunk(std::make_shared<std::vector<uint8_t>>(bytes), 0, List(), nullptr);
    root->Update(matl);
    if (matl) root->expandmatl(List());
    return RebuildAndWrite(root, matl);
}

// The flat index of the file against the tree as opened: the same chunks in
// pre-order and the same findings.
void CompareFlat(const std::vector<uint8_t>& file, msh& m, int matl) {
    flatindex x(std::make_shared<std::vector<uint8_t>>(file), List(), matl);
    std::vector<std::string> lines;
    PreOrder(*m.hedr, [&](const chunk& c, size_t depth) {
        lines.push_back(std::to_string(depth) + c.name + std::to_string(c.size));
    });
    size_t i = 0;
    x.PreOrder([&](uint32_t c, size_t depth) {
        if (i >= lines.size() || lines[i++] != std::to_string(depth) + std::string(x.name(c)) + std::to_string(x[c].size))
            Fail("the flat index differs from the tree");
    });
    if (i != lines.size()) Fail("the flat index has fewer chunks than the tree");
    std::vector<std::string> found;
    VerifyIndex(x, [&](std::string_view name, std::string_view text) { found.push_back(std::string(name) + std::string(text)); });
    if (found != VerifyMesh(m)) Fail("verification of the flat index differs");
}

void RunOps(const chunkptr& root, const uint8_t* ops, size_t k, int matl) {
    std::vector<chunkptr> all;
    Flatten(root, all);
    std::vector<chunkptr> loose;  // chunks that left the tree, still in use
    for (size_t i = 0; i < k; ++i) {
        const uint8_t* o = ops + 6 * i;
        chunkptr c = all[o[1] % all.size()];
        if (!loose.empty() && (o[0] & 0x80)) c = loose[o[1] % loose.size()];
        int64_t p = static_cast<int8_t>(o[2]) + (c->size > 0 ? o[3] % (c->size + 2) : 0);
        int v = o[4];
        int flag = o[5] & 1;
        int handle = (o[5] >> 1) & 1;
        bool restructured = true;
        switch (o[0] % 20) {
            case 0: c->SetByte(p, v, flag, List()); break;
            case 1: c->SetInt(p, static_cast<int32_t>(v * 0x01010101u), List()); break;
            case 2: c->SetFloat(p, static_cast<float>(v) / 3.0f, List()); break;
            case 3: c->InsertString(p, std::string(static_cast<size_t>(v % 9), 'N'), List()); break;
            case 4: c->InsertBytes(p, 1 + v % 4, handle, flag, List(), matl); break;
            case 5: c->RemoveByte(p, handle, flag, List(), matl); break;
            case 6: c->InsertBytesBlindly(p, 1 + v % 4, flag, List(), matl); break;
            case 7: c->RemoveByteBlindly(p, flag, List(), matl); break;
            case 8: c->GrowData(v % 5); break;
            case 9: c->expandmatl(List()); break;
            case 10: c->collapsematl(); break;
            case 11: c->name = std::string(static_cast<size_t>(v % 7), static_cast<char>('A' + v % 26)); break;
            case 12:
                if (!c->kids.empty()) loose.push_back(c->RemoveKid(static_cast<size_t>(v) % c->kids.size()));
                break;
            case 13: {
                chunkptr k2 = chunk::Create("NEWC");
                k2->setdata(std::vector<uint8_t>(static_cast<size_t>(v % 12), static_cast<uint8_t>(v)));
                c->InsertKid(static_cast<size_t>(v % 3), k2);
                break;
            }
            case 14: c->Update(matl); break;
            case 15: {
                // Move a chunk of the tree (or a loose one) below c; a move
                // that would make a cycle is refused.
                chunkptr mv = (o[5] & 4) && !loose.empty() ? loose[v % loose.size()] : all[v % all.size()];
                c->InsertKid(static_cast<size_t>(o[3] % 4), mv);
                break;
            }
            default: {
                // Queries change nothing.
                restructured = false;
                c->expand();
                (void)root->groupsize();
                (void)root->findy(c.get());
                (void)c->findmodlbyname(c->datatostring(), 1, nullptr);
                (void)c->FetchName();
                (void)c->isstring();
                (void)c->determinesize();
                (void)c->readint(p);
                (void)c->readshort(p);
                (void)c->readfloat(p);
                (void)c->readname(p);
                uint8_t window[16];
                (void)c->readbytes(p, 16, window);
                std::vector<chunkptr> modls;
                root->addtolist(modls, "MODL");
                // The inspector's decoding, some of its rows, and a value
                // typed into the first field that takes one.
                Inspection in = Inspect(c, root);
                for (int64_t r : {int64_t(0), in.rows / 2, in.rows - 1, int64_t(p)}) (void)in.Row(r);
                [&] {
                    if (!(o[4] & 1)) return;
                    for (const InspectLine& l : in.lines)
                        for (const InspectValue& f : l.fields)
                            if (f.editable()) {
                                ApplyEdit(PlanEdit(in, f, (o[4] & 2) ? "$7" : "abc", root), List());
                                return;
                            }
                }();
                break;
            }
        }
        if (restructured) Flatten(root, all);
        CheckArrays(all);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    int matl = data[0] & 1;
    size_t k = data[1] % 32;
    if (size < 2 + 6 * k) return 0;
    const uint8_t* ops = data + 2;
    std::vector<uint8_t> file(data + 2 + 6 * k, data + size);
    if (file.empty()) return 0;

    // Read, group, rebuild, write; what is written must read back to itself.
    std::vector<uint8_t> once = Normalise(file, matl);
    if (Normalise(once, matl) != once) Fail("read and write is not stable");

    // Edit the tree as read, then the same checks.
    auto m = std::make_shared<msh>();
    m->hedr = chunk::GetChunk(std::make_shared<std::vector<uint8_t>>(file), 0, List(), nullptr);
    m->hedr->Update(matl);
    if (matl) m->hedr->expandmatl(List());
    msh::Update(m.get(), matl, 20, 20);
    CompareFlat(file, *m, matl);
    RunOps(m->hedr, ops, k, matl);
    msh::Update(m.get(), matl, 20, 20);
    // Verification only reads the tree, whatever shape it has.
    std::vector<std::string> messages;
    m->verify(messages, m->errors);
    if (!messages.empty() && m->errors.empty()) Fail("findings without a flagged chunk");
    // So does the deep check.
    std::vector<uint8_t> edited = RebuildAndWrite(m->hedr, matl);
    for (const check::Finding& f : check::CheckMesh(*m))
        if (f.rule.empty() || f.message.empty()) Fail("a finding without rule or message");
    if (RebuildAndWrite(m->hedr, matl) != edited) Fail("the check changed the tree");
    std::vector<uint8_t> normal = Normalise(edited, matl);
    if (Normalise(normal, matl) != normal) Fail("read and write is not stable after edits");
    return 0;
}
