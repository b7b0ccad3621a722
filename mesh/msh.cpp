// One loaded mesh: reading, refreshing, saving and exporting.
#include "mesh/msh.h"

#include <algorithm>
#include <cerrno>
#include <limits>
#include <new>
#include <unordered_set>

#include "format/bytes.h"
#include "files/files.h"
#include "mesh/walk.h"

namespace mesh {

namespace {

// The number of bytes the encoding of the tree takes, counted without the
// 32-bit limit of the size fields.
int64_t EncodedLength(const chunk& root, int recognizematl) {
    int64_t total = 0;
    PreOrder(root, [&](const chunk& c) {
        total += 8;
        if (c.kids.empty())
            total += std::max<int32_t>(c.size, 0);
        else if (recognizematl && c.name == "MATL")
            total += 4;  // the MATD count
    });
    return total;
}

}  // namespace

std::string CutNote(const std::vector<uint8_t>& bytes) {
    const auto n = static_cast<int64_t>(bytes.size());
    if (n < 8) return "the file ends inside the root chunk's header: " + std::to_string(n) + " of 8 bytes";
    format::Reader r(bytes, 0);
    const std::string name = r.Chars(4);
    const int64_t declared = r.I32();
    if (declared <= n - 8) return "";
    std::string shown;
    for (const char ch : name) shown += ch >= 0x20 && ch < 0x7F ? ch : '?';
    return "the file ends inside " + shown + ": " + std::to_string(n - 8) + " of " + std::to_string(declared) +
           " bytes";
}

mshptr msh::ReadMsh(const std::string& path, const namelist& list, int recognizematl, std::string* error) {
    try {
        auto bytes = std::make_shared<std::vector<uint8_t>>();
        if (!ReadBytes(path, *bytes, error)) return nullptr;
        return FromBytes(std::move(bytes), list, recognizematl, error);
    } catch (const std::bad_alloc&) {
        if (error) *error = host::SystemError(ENOMEM);
        return nullptr;
    }
}

mshptr msh::FromBytes(std::shared_ptr<std::vector<uint8_t>> bytes, const namelist& list, int recognizematl,
                      std::string* error) {
    try {
        if (!bytes || bytes->empty()) {
            if (error) *error = "The file is empty";
            return nullptr;
        }
        auto m = std::make_shared<msh>();
        m->hedr = chunk::GetChunk(bytes, 0, list, nullptr);
        const int64_t next = 8 + int64_t(std::max<int32_t>(m->hedr->size, 0));
        if (next + 8 <= int64_t(bytes->size())) m->trailer = format::Reader(*bytes, next).Chars(4);
        if (next < int64_t(bytes->size())) m->tail.assign(bytes->begin() + next, bytes->end());
        m->cut = CutNote(*bytes);
        bytes.reset();
        m->hedr->Update(recognizematl);
        m->updatetotalchunks(nullptr);
        return m;
    } catch (const std::bad_alloc&) {
        if (error) *error = host::SystemError(ENOMEM);
        return nullptr;
    }
}

bool msh::ReadBytes(const std::string& path, std::vector<uint8_t>& bytes, std::string* error) {
    if (!host::ReadWholeFile(path, kMaxFileBytes, bytes, error)) return false;
    if (bytes.empty()) {
        if (error) *error = "The file is empty";
        return false;
    }
    return true;
}

refresh msh::Update(msh* m, int recognizematl, int treew, int modlw) {
    refresh r;
    if (m && m->hedr) {
        m->hedr->Update(recognizematl);
        r.treeh = std::max(0, m->hedr->groupsize() - treew);
        m->updatetotalchunks(nullptr);
        m->hedr->addtolist(r.modllist, "MODL");
    } else if (m) {
        m->totalchunks = 0;
    }
    r.modlh = std::max(0, static_cast<int>(r.modllist.size()) - modlw);
    return r;
}

void msh::updatetotalchunks(const chunk* start) {
    if (!start) {
        totalchunks = 0;
        start = hedr.get();
        if (!start) return;
    }
    int n = 0;
    PreOrder(*start, [&](const chunk&) { ++n; });
    totalchunks += n;
}

bool msh::Save(const std::string& path, int recognizematl, std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error) *error = why;
        return false;
    };
    if (!hedr) return fail("There is no chunk to save");
    // A size field holds at most 2^31 - 1 bytes. A larger tree (grown by
    // imports) would be written with wrapped sizes, a file that no longer
    // reads back: refuse it before anything is written.
    if (EncodedLength(*hedr, recognizematl) + int64_t(tail.size()) > kMaxFileBytes)
        return fail("The mesh is larger than a mesh file can hold (2 GB)");
    // The target is checked (and the temporary file created) before the tree
    // is touched: a file that cannot be written changes nothing.
    host::AtomicFile file(path);
    if (!file.Ok()) return fail(file.Error());
    hedr->Update(recognizematl);
    if (!hedr->save(*file.stream(), recognizematl) || (!tail.empty() && !file.Write(tail.data(), tail.size())) ||
        !file.Commit())
        return fail(file.Error().empty() ? host::SystemError(EIO) : file.Error());
    cut.clear();  // what was saved is whole
    return true;
}

namespace {

// The grouping of materials and the rebuild that opening adds to reading.
mshptr Opened(mshptr m, const namelist& list, int recognizematl, std::string* error) {
    if (!m) return nullptr;
    try {
        if (recognizematl) m->hedr->expandmatl(list);
        m->hedr->Update(recognizematl);
        m->updatetotalchunks(nullptr);
    } catch (const std::bad_alloc&) {
        if (error) *error = host::SystemError(ENOMEM);
        return nullptr;
    }
    return m;
}

}  // namespace

mshptr OpenMesh(const std::string& path, const namelist& list, int recognizematl, std::string* error) {
    return Opened(msh::ReadMsh(path, list, recognizematl, error), list, recognizematl, error);
}

mshptr OpenBytes(std::shared_ptr<std::vector<uint8_t>> bytes, const namelist& list, int recognizematl,
                 std::string* error) {
    return Opened(msh::FromBytes(std::move(bytes), list, recognizematl, error), list, recognizematl, error);
}

void ExpandEach(const chunklist& list) {
    // Each chunk's way up ends at the first chunk an earlier way has
    // passed: everything above that is open already.
    std::unordered_set<const chunk*> done;
    for (const chunkptr& c : list) {
        chunkptr p = c;
        while (p && done.insert(p.get()).second) {
            p->expanded = 1;
            p = p->parent.lock();
        }
    }
}

bool ExportChunk(const chunkptr& c, const std::string& path, int recognizematl, std::string* error) {
    if (!c) {
        if (error) *error = "There is no chunk to export";
        return false;
    }
    msh tmp;
    tmp.hedr = c;
    c->Update(recognizematl);
    tmp.updatetotalchunks(nullptr);
    return tmp.Save(path, recognizematl, error);
}

}  // namespace mesh
