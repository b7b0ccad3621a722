// One loaded mesh or chunk file: the root chunk, the chunk count and the
// error chunk list that verification fills.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "mesh/chunk.h"

namespace mesh {

class msh;
using mshptr = std::shared_ptr<msh>;

// What the refresh hands back to the editor: the new maxima (h) of the tree
// and model scroll bars and the MODL chunks in tree order.
struct refresh {
    int treeh = 0;
    int modlh = 0;
    std::vector<chunkptr> modllist;
};

class msh {
public:
    chunkptr hedr;          // the root chunk, or null
    int totalchunks = 0;    // chunks in the tree, root included (after updatetotalchunks)
    chunklist errors;       // the chunks that the last verification flagged
    // The name of the chunk that followed the root in the file read (empty
    // when nothing did); real files often close with a CL1L there instead of
    // inside the root.
    std::string trailer;
    // Every byte that followed the root in the file read, kept as it was and
    // written back after the root by Save. Not part of the tree: verification,
    // the check and the tree listing cover the root alone.
    std::vector<uint8_t> tail;
    // When the file read ends inside its root chunk (its header declares
    // more bytes than follow it), what to tell the user: "the file ends
    // inside HEDR: 292 of 3296 bytes". The tree holds the bytes that were
    // there, its sizes made to fit them. Empty otherwise, and once saved.
    std::string cut;

    // The largest file a root chunk can fill: its header and 2^31 - 1 bytes.
    static constexpr int64_t kMaxFileBytes = int64_t{0x7FFFFFFF} + 8;

    // Reads the file at path and parses its root with the container-name
    // list; sizes rebuilt and chunks counted. Null when the file cannot be
    // read, holds no bytes, is larger than any mesh file can be (refused
    // before anything is allocated) or memory runs out; *error (when given)
    // then says why. Bytes after the root chunk go to tail. The mesh keeps
    // what was read, whatever happens to the file afterwards.
    static mshptr ReadMsh(const std::string& path, const namelist& list, int recognizematl,
                          std::string* error = nullptr);
    // The bytes of the file at path, read as ReadMsh reads them; false (and
    // why in *error) on the same failures. Throws std::bad_alloc when memory
    // runs out.
    [[nodiscard]] static bool ReadBytes(const std::string& path, std::vector<uint8_t>& bytes, std::string* error);

    // ReadMsh over bytes already read (a file's, or bytes made from them):
    // the tree keeps slices of them.
    static mshptr FromBytes(std::shared_ptr<std::vector<uint8_t>> bytes, const namelist& list, int recognizematl,
                            std::string* error = nullptr);

    // The refresh after every change to a tree (m may be null): rebuilds m's
    // tree, recounts it and computes the scroll maxima from the lengths w of
    // the tree and model scroll bars (max(0, rows - w)) and the model list.
    static refresh Update(msh* m, int recognizematl, int treew, int modlw);

    // start null: reset totalchunks to 0 and count from hedr; otherwise add
    // start and its descendants to totalchunks.
    void updatetotalchunks(const chunk* start);

    // Rebuilds the tree and writes the root, then the tail, to path. The bytes go to a
    // temporary file beside the target that replaces it only once it is
    // completely on disk, so a failure leaves the old file as it was and no
    // temporary file behind. False on failure, with the reason in *error
    // (when given). Nothing is changed when the target cannot be written.
    [[nodiscard]] bool Save(const std::string& path, int recognizematl, std::string* error = nullptr);

    // 1 when c is an element of errors (the same object), else 0.
    int inerrors(const chunk* c) const { return errors.contains(c) ? 1 : 0; }

    // ---- Verification (mesh/verify.cpp) ----
    // verify is declared here.
    // Empties both lists, then verifies the tree from hedr (when there is one).
    void verify(std::vector<std::string>& messages, chunklist& errors);
    // ---- end of verification ----
};

// What to say of a file of these bytes when it ends inside its root chunk
// (msh::cut); empty when it holds the whole root.
std::string CutNote(const std::vector<uint8_t>& bytes);

// Opens a mesh the way the editor does: ReadMsh with the list, then, when
// material grouping is on, expandmatl on the root, then a rebuild and a count.
// Null when the file cannot be read or is empty, or memory runs out; *error
// then says why.
mshptr OpenMesh(const std::string& path, const namelist& list, int recognizematl,
                std::string* error = nullptr);

// The same over bytes already read.
mshptr OpenBytes(std::shared_ptr<std::vector<uint8_t>> bytes, const namelist& list, int recognizematl,
                 std::string* error = nullptr);

// Opens every chunk of the list and all its ancestors (as expand() on each
// would), visiting each ancestor once however many of the chunks lie below it.
void ExpandEach(const chunklist& list);

// Writes one chunk (and what is below it) to a file as its root: a temporary
// msh whose hedr is the chunk, saved with msh::Save. The chunk keeps its place
// in its tree.
[[nodiscard]] bool ExportChunk(const chunkptr& c, const std::string& path, int recognizematl, std::string* error = nullptr);

}  // namespace mesh
