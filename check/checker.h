// Inside the deep check: the walk's nodes and frames, and the class whose
// parts live in check/walk.cpp (the walk, chunks and records),
// check/segments.cpp (segments, shadow volumes, cloth) and check/scene.cpp
// (models and the rules that need the whole scene).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "check/check.h"
#include "check/filebytes.h"
#include "check/options.h"
#include "format/schema.h"
#include "format/bytes.h"

namespace check::detail {

using Bytes = std::span<const uint8_t>;
using format::schema::Tag;

// Little-endian values at p, through the format's reader; the caller has
// made sure they are inside.
inline uint32_t U32(Bytes b, size_t p) { return format::LoadU32(b.data() + p); }
inline uint32_t U16(Bytes b, size_t p) { return format::LoadU16(b.data() + p); }
inline float F32(Bytes b, size_t p) { return format::LoadF32(b.data() + p); }

// One chunk met by the walk.
struct Node {
    uint32_t tag = 0;
    int32_t sibling = -1;  // index among same-named siblings; -1 when the name is unique
    int64_t offset = 0;    // of the header in the file
    int32_t size = 0;      // the data size the header declares
    int32_t have = 0;      // data bytes present, within the parent and the file
    const mesh::chunk* real = nullptr;   // the tree chunk it is
    const mesh::chunk* owner = nullptr;  // the tree chunk it is or lies in
    bool cut = false;      // the file ends inside it
};

// What the rules of a chunk need from the containers above it.
struct Context {
    int model = -1;          // the MODL (index into models_)
    int64_t materials = -1;  // materials of the scene; -1 unknown
    int64_t envelope = -1;   // entries of the GEOM's ENVL; -1 none
};

// An open container on the walk's stack.
struct Frame {
    Node node;
    std::vector<Node> kids;
    size_t next = 0;
    std::string part;  // its part of the path
    Context ctx;
    bool read = true;  // the compiler reads its children
};

// What a MODL says, kept for the rules that need every model.
struct Model {
    Node node;
    std::string path;
    std::string name;
    bool named = false;
    int64_t index = -1;  // MNDX
    int64_t type = -1;   // MTYP
    bool hasparent = false;
    std::string parent;
    bool hidden = false;
    int64_t shape = -1;  // SWCI shape
    bool weights = false;    // a segment has more than one weight
    bool meshdata = false;   // STRP triangles
    bool clothtriangles = false;  // a CMSH with triangles
    bool segments = false;   // the compiler makes a segment of a SEGM of it
    bool shadowvolume = false;  // a SHDW
    int64_t vertices = 0;    // of its segments, as the compiler counts them
    int64_t triangles = 0;   // of its STRPs, as the compiler makes them
};

// A segment kept for the rules that need the whole scene (shadow volumes
// built from triangles).
struct SegmentRef {
    int model = -1;
    Node posl, strp, wght;
    bool hasposl = false, hasstrp = false, haswght = false;
    std::string path;  // of the STRP
};

// A list of names kept for the end of the walk: ENVL entries, cloth fixed
// weights, cloth collision parents.
struct Names {
    Node node;
    std::string path;
    int model;
    std::vector<std::string> names;  // cloth
    std::vector<uint32_t> entries;   // ENVL
};

class Checker {
public:
    Checker(const FileBytes& file, int64_t rootend, const mesh::chunk* root, const OptionFile* options);
    std::vector<Finding> Run();

private:
    // ---- Findings (check/walk.cpp) ----
    void Add(const char* rule, Severity sev, const Node& n, const std::string& path, std::string message,
             std::optional<uint32_t> element = std::nullopt);
    void AddOption(const char* rule, Severity sev, const std::string& where, std::string message);
    std::string Path() const;                  // of the innermost open container
    std::string KidPath(const Node& k) const;  // of a child of it
    Bytes Data(const Node& n) const { return file_.Sub(n.offset + 8, n.have); }
    const Node* Kid(const Frame& f, uint32_t tag) const;
    std::string TextOf(const Node& n) const;

    // ---- The walk (check/walk.cpp) ----
    bool ParseKids(Frame& f, bool report = true);
    void Open(Frame& f);
    void Leaf(const Frame& f, const Node& k);
    void Record(const Frame& f, const Node& k, const std::string& parentname, bool read);
    // A child's path, made only when a finding needs it: a file of two
    // million records without findings builds none.
    struct LazyPath {
        const Checker* c;
        const Node* k;
        mutable std::string s;
        operator const std::string&() const {
            if (s.empty()) s = c->KidPath(*k);
            return s;
        }
    };
    // Counts a finding of the rule that is past the limit; true when so.
    bool Full(const char* rule);
    // read: the compiler reads the list (a shortage is an error, else a warning).
    int64_t ListCount(const Node& k, const LazyPath& path, int width, bool read = true);
    int64_t VariableList(const Node& k, const LazyPath& path, bool read = true);
    void NotFinite(const Node& k, const LazyPath& path, size_t from, int64_t values, int pervalue,
                   Severity sev, const char* rule, const char* what);
    void Structure(const Frame& f);
    void Truncated(const Node& n, const std::string& path);

    // ---- Segments, shadow volumes, cloth (check/segments.cpp) ----
    void Segment(const Frame& f);
    void Indices(const Node& k, const std::string& path, int64_t vertices);
    void Weights(const Frame& f, const Node& k, int64_t vertices);
    void Shadow(const Node& k, const std::string& path);
    void ShadowClosed(const SegmentRef& s);
    void Cloth(const Frame& f);

    // ---- Models and the scene (check/scene.cpp) ----
    void Header(const Frame& f);
    void Scene(Frame& f);
    void Geometry(Frame& f);
    void ModelHere(Frame& f);
    void Material(const Frame& f);
    void Models();
    void Parents(std::vector<int64_t>& up);
    void Envelopes(const std::vector<bool>& kept);
    void ClothNames(const std::vector<bool>& kept);
    void Collision(const std::vector<int64_t>& up, const std::vector<bool>& kept);
    void Shadows();
    void Options();

    const FileBytes& file_;
    int64_t rootend_;
    const mesh::chunk* root_;
    const OptionFile* optionfile_;
    ParsedOptions options_;

    struct Keyed {
        int64_t key;
        Finding f;
    };
    std::vector<Keyed> out_;
    std::unordered_map<std::string_view, size_t> perrule_;

    std::vector<Frame> stack_;
    std::vector<Model> models_;
    std::vector<Names> envelopes_, fixedweights_, clothcollision_;
    std::vector<SegmentRef> segments_;
    std::vector<uint32_t> blendbones_;  // the name hashes of BLN2, bones the compiler keeps
    std::vector<std::string> textures_;  // TX0D names without their extension
    bool scene_ = false;     // a MSH2 was met
    bool closed_ = false;    // a CL1L was met
    bool cut_ = false;       // the file ends inside a chunk
    bool version_ = false;   // an MSH1 was met
    Node scenenode_;         // the MSH2
    std::string scenepath_;
};

// The triangles the compiler makes of a STRP: strips opened by two indices
// with the strip-start bit, every other triangle turned, those that repeat
// an index left out. Appended to out when given; the count either way.
int64_t StripTriangles(Bytes strp, std::vector<std::array<uint32_t, 3>>* out);

// Case-insensitive tests on ASCII names.
bool StartsWithNoCase(std::string_view s, std::string_view prefix);
bool ContainsNoCase(std::string_view s, std::string_view part);
bool EqualNoCase(std::string_view a, std::string_view b);
std::string Num(int64_t v);
std::string Quoted(const std::string& s);
std::string More(int64_t n, const char* what);

}  // namespace check::detail
