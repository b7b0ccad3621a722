// The rules of models and of the scene as a whole: what each MODL says of
// itself while the walk meets it, then what the models say together (names,
// indices, parents, envelopes, the skeleton, cloth bones, collision) once
// every one is known, and the option file's names against them.
#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "check/checker.h"
#include "format/crc.h"

namespace check::detail {

namespace {

// Line breaks written as \n and \r, so a message stays one line.
std::string Printable(const std::string& s) {
    std::string out;
    for (char c : s) out += c == '\n' ? "\\n" : c == '\r' ? "\\r" : std::string(1, c);
    return out;
}

constexpr uint32_t kMatl = Tag("MATL"), kMatd = Tag("MATD"), kModl = Tag("MODL"), kName = Tag("NAME"),
                   kMndx = Tag("MNDX"), kMtyp = Tag("MTYP"), kPrnt = Tag("PRNT"), kFlgs = Tag("FLGS"),
                   kSwci = Tag("SWCI"), kEnvl = Tag("ENVL"), kAtrb = Tag("ATRB"), kTx0d = Tag("TX0D");
constexpr uint32_t kTextures[] = {kTx0d, Tag("TX1D"), Tag("TX2D"), Tag("TX3D")};

constexpr int64_t kBoneType = 3, kClothType = 2, kShadowType = 6;
constexpr size_t kSkeletonBones = 64;
constexpr int64_t kCollisionVertices = 0x10000;

bool KnownType(int64_t t) { return (t >= 0 && t <= 4) || t == kShadowType; }
bool KnownRenderType(int t) {
    return t == 0 || t == 3 || t == 4 || t == 6 || t == 7 || t == 11 || t == 22 || (t >= 24 && t <= 29);
}
bool IsCollisionMesh(const std::string& name) { return StartsWithNoCase(name, "collision"); }

// The flags of a collision name: "p_-svb-name", "collision_-s_plane".
// Empty when the name carries none.
std::string CollisionFlags(const std::string& name) {
    size_t at = StartsWithNoCase(name, "collision") ? 9 : 2;
    while (at < name.size() && name[at] == '_') ++at;
    if (at >= name.size() || name[at] != '-') return std::string();
    const size_t end = name.find_first_of("-_", at + 1);
    return name.substr(at + 1, end == std::string::npos ? std::string::npos : end - at - 1);
}

}  // namespace

// MSH2: the number of materials its segments may use.
void Checker::Scene(Frame& f) {
    scene_ = true;
    scenenode_ = f.node;
    scenepath_ = Path();
    f.ctx.materials = 0;
    if (const Node* matl = Kid(f, kMatl)) {
        // Count the MATD children; the walk judges the MATL when it opens it.
        Frame m{*matl, {}, 0, {}, {}};
        ParseKids(m, false);
        for (const Node& k : m.kids) f.ctx.materials += k.tag == kMatd ? 1 : 0;
    }
}

// HEDR: the skeleton chunks come together and agree on the bone count.
void Checker::Header(const Frame& f) {
    const Node* parts[] = {Kid(f, Tag("SKL2")), Kid(f, Tag("BLN2")), Kid(f, Tag("ANM2"))};
    // BLN2: a count, then per bone its name's hash, a count of pairs and the pairs.
    if (const Node* bln2 = parts[1]) {
        Bytes d = Data(*bln2);
        const int64_t count = d.size() >= 4 ? int64_t(U32(d, 0)) : 0;
        for (int64_t i = 0, p = 4; i < count && p + 8 <= int64_t(d.size()); ++i) {
            blendbones_.push_back(U32(d, size_t(p)));
            p += 8 + 8 * int64_t(U32(d, size_t(p + 4)));
        }
    }
    const int present = (parts[0] ? 1 : 0) + (parts[1] ? 1 : 0) + (parts[2] ? 1 : 0);
    if (present == 0 || present == 3) return;
    const Node& first = *(parts[0] ? parts[0] : parts[1] ? parts[1] : parts[2]);
    std::string missing;
    for (int i = 0; i < 3; ++i)
        if (!parts[i]) missing += std::string(missing.empty() ? "" : " and ") + (i == 0 ? "SKL2" : i == 1 ? "BLN2" : "ANM2");
    Add("animation", Severity::warning, first, KidPath(first), "the skeleton chunks lack " + missing);
}

void Checker::Material(const Frame& f) {
    if (const Node* atrb = Kid(f, kAtrb); atrb && atrb->have >= 2) {
        const int t = Data(*atrb)[1];
        if (!KnownRenderType(t))
            Add("render-type", Severity::warning, *atrb, KidPath(*atrb),
                "render type " + Num(t) + " is none the compiler knows");
    }
    if (const Node* tx = Kid(f, kTx0d)) {
        std::string t = TextOf(*tx);
        if (const size_t dot = t.rfind('.'); dot != std::string::npos) t.resize(dot);
        textures_.push_back(std::move(t));
    }
    for (const Node& k : f.kids) {
        if (std::find(std::begin(kTextures), std::end(kTextures), k.tag) == std::end(kTextures)) continue;
        const std::string name = TextOf(k);
        if (const char* fault = TextureNameFault(name))
            Add("texture-name", Severity::error, k, KidPath(k),
                "the texture name " + Quoted(Printable(name)) + " holds " + fault +
                    ": the model's .req file cannot list it");
    }
}

// GEOM: its envelope, for the weights of its segments.
void Checker::Geometry(Frame& f) {
    const Node* envl = Kid(f, kEnvl);
    if (!envl) return;
    Bytes d = Data(*envl);
    const int64_t declared = d.size() >= 4 ? int64_t(U32(d, 0)) : 0;
    const int64_t n = std::min<int64_t>(declared, d.size() >= 4 ? int64_t(d.size() - 4) / 4 : 0);
    f.ctx.envelope = n;
    Names e{*envl, KidPath(*envl), f.ctx.model, {}, {}};
    e.entries.reserve(size_t(n));
    for (int64_t i = 0; i < n; ++i) e.entries.push_back(U32(d, size_t(4 + 4 * i)));
    envelopes_.push_back(std::move(e));
}

// What one model says about itself; what it says with the others waits for
// the end of the walk.
void Checker::ModelHere(Frame& f) {
    Model m;
    m.node = f.node;
    m.path = Path();
    auto value = [&](uint32_t tag) -> int64_t {
        const Node* k = Kid(f, tag);
        return k && k->have >= 4 ? int64_t(U32(Data(*k), 0)) : -1;
    };
    if (const Node* n = Kid(f, kName)) m.named = true, m.name = TextOf(*n);
    if (const Node* p = Kid(f, kPrnt)) m.hasparent = true, m.parent = TextOf(*p);
    m.index = value(kMndx);
    m.type = value(kMtyp);
    const int64_t flags = value(kFlgs);
    m.hidden = flags >= 0 && (flags & 1) == 1;
    m.shape = value(kSwci);
    if (!Kid(f, kMndx) && !f.node.cut)
        Add("model-index", Severity::error, f.node, m.path, "the model has no MNDX");
    if (const Node* t = Kid(f, kMtyp); t && m.type >= 0 && !KnownType(m.type))
        Add("model-type", Severity::error, *t, KidPath(*t),
            "model type " + Num(m.type) + " is none of null, skin, cloth, bone, static, shadow volume (0-4, 6)");

    const std::string& s = m.name;
    for (const char* p : {"hp_", "sv_", "p_"}) {
        const std::string_view prefix(p);
        if (StartsWithNoCase(s, prefix) && s.compare(0, prefix.size(), prefix) != 0)
            Add("name-case", Severity::warning, f.node, m.path,
                "the name starts with " + Quoted(s.substr(0, prefix.size())) + ": only lower case " + Quoted(p) +
                    (p[0] == 'h'   ? " marks a hardpoint"
                     : p[0] == 's' ? " marks a shadow volume"
                                   : " marks a collision primitive"));
    }
    // Level-of-detail names: lod2, lod3, lowres, lowrez anywhere in any
    // case; "lod" and other digits is a suffix the exporter refuses.
    for (size_t i = 0; i + 4 <= s.size(); ++i) {
        if (!EqualNoCase(std::string_view(s).substr(i, 3), "lod")) continue;
        size_t d = i + 3;
        while (d < s.size() && s[d] >= '0' && s[d] <= '9') ++d;
        const std::string digits = s.substr(i + 3, d - i - 3);
        if (!digits.empty() && digits != "2" && digits != "3") {
            Add("lod-suffix", Severity::warning, f.node, m.path,
                "the level of detail " + Quoted(s.substr(i, d - i)) + " is none of lod2, lod3, lowres, lowrez");
            break;
        }
    }
    if (s.compare(0, 3, "sv_") == 0 && !m.hidden)
        Add("shadow-visible", Severity::warning, f.node, m.path, "a shadow volume model that is not hidden (FLGS bit 0)");
    if (const Node* swci = Kid(f, kSwci); swci && m.shape >= 0 && m.shape != 0 && m.shape != 2 && m.shape != 4)
        Add("collision-shape", Severity::warning, *swci, KidPath(*swci),
            "collision shape " + Num(m.shape) + " is none of sphere, cylinder, box (0, 2, 4): the game makes it a sphere");
    f.ctx.model = int(models_.size());
    models_.push_back(std::move(m));
}

// ---- The whole scene ------------------------------------------------------------

void Checker::Models() {
    if (!scene_) {
        if (!cut_ && !version_) {
            Node root;
            root.owner = root_;
            Add("scene-empty", Severity::error, root, "HEDR", "the file has no MSH2 scene");
        }
        return;
    }
    const Node& scene = scenenode_;
    const size_t n = models_.size();
    if (!cut_) {
        // Mesh data as the compiler counts it: STRP triangles of a model of
        // any type, cloth triangles of a cloth model, a p_ primitive.
        bool meshdata = false, listed = false;
        for (const Model& m : models_) {
            meshdata = meshdata || m.meshdata || (m.type == kClothType && m.clothtriangles) ||
                       (m.shape >= 0 && m.name.compare(0, 2, "p_") == 0);
            listed = listed || (m.segments && m.vertices > 0);
        }
        if (n == 0) Add("scene-empty", Severity::error, scene, scenepath_, "the scene has no model");
        else if (!meshdata)
            Add("scene-empty", Severity::error, scene, scenepath_,
                std::string("no model holds mesh data (STRP triangles, cloth or a p_ collision primitive)") +
                    (listed ? ": the compiler does not read NDXT or NDXL" : ""));
    }

    std::unordered_map<std::string_view, size_t> byname;
    std::unordered_map<int64_t, size_t> byindex;
    for (size_t i = 0; i < n; ++i) {
        const Model& m = models_[i];
        if (!byname.emplace(m.name, i).second)
            Add("model-name", Severity::error, m.node, m.path,
                "the name " + Quoted(m.name) + " is also the name of an earlier model", std::nullopt);
        if (m.index >= 0) {
            auto [it, fresh] = byindex.emplace(m.index, i);
            if (!fresh)
                Add("model-index", Severity::error, m.node, m.path,
                    "MNDX " + Num(m.index) + " is also that of " + models_[it->second].path);
        }
    }
    std::vector<int64_t> up(n, -1);
    for (size_t i = 0; i < n; ++i) {
        if (!models_[i].hasparent) continue;
        auto it = byname.find(models_[i].parent);
        if (it != byname.end()) up[i] = int64_t(it->second);
        else
            Add("parent-missing", Severity::error, models_[i].node, models_[i].path,
                "the parent " + Quoted(models_[i].parent) + " is no model's name");
    }
    Parents(up);

    // The models the compiler keeps as bones: bones, roots, hardpoints,
    // models kept by the option file, parents of cloth collision.
    std::vector<bool> kept(n, false);
    std::sort(blendbones_.begin(), blendbones_.end());
    std::unordered_set<std::string> keep;
    for (const ParsedOptions::Named& k : options_.keep) {
        std::string lower = k.name;
        for (char& c : lower) c = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
        keep.insert(lower);
    }
    for (const Names& c : clothcollision_)
        for (const std::string& p : c.names) {
            std::string lower = p;
            for (char& ch : lower) ch = (ch >= 'A' && ch <= 'Z') ? char(ch - 'A' + 'a') : ch;
            keep.insert(lower);
        }
    for (size_t i = 0; i < n; ++i) {
        const Model& m = models_[i];
        std::string lower = m.name;
        for (char& c : lower) c = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
        kept[i] = options_.keepall || m.type == kBoneType || !m.hasparent || StartsWithNoCase(m.name, "hp_") ||
                  keep.count(lower) ||
                  std::binary_search(blendbones_.begin(), blendbones_.end(), format::NameCrc(m.name));
    }
    Envelopes(kept);
    ClothNames(kept);
    Collision(up, kept);
    Shadows();
}

// Following the parents is a walk on a graph where every node has at most
// one way out, so one pass with three colours finds every loop.
void Checker::Parents(std::vector<int64_t>& up) {
    const size_t n = models_.size();
    std::vector<uint8_t> colour(n, 0);  // 0 not seen, 1 on the current path, 2 done
    std::vector<size_t> loop(n, 0), path;
    for (size_t s = 0; s < n; ++s) {
        if (colour[s]) continue;
        path.clear();
        int64_t i = int64_t(s);
        while (i >= 0 && colour[size_t(i)] == 0) {
            colour[size_t(i)] = 1;
            path.push_back(size_t(i));
            i = up[size_t(i)];
        }
        if (i >= 0 && colour[size_t(i)] == 1) {
            const size_t start = size_t(std::find(path.begin(), path.end(), size_t(i)) - path.begin());
            for (size_t k = start; k < path.size(); ++k) loop[path[k]] = path.size() - start;
        }
        for (size_t k : path) colour[k] = 2;
    }
    for (size_t i = 0; i < n; ++i) {
        const Model& m = models_[i];
        if (loop[i] == 1)
            Add("parent-loop", Severity::error, m.node, m.path, "the model names itself as its parent");
        else if (loop[i] > 1)
            Add("parent-loop", Severity::error, m.node, m.path,
                "following the parents from " + Quoted(m.parent) + " comes back to this model (a loop of " +
                    Num(int64_t(loop[i])) + " models)");
        else if (up[i] >= 0 && models_[size_t(up[i])].node.offset > m.node.offset)
            Add("parent-order", Severity::warning, m.node, m.path, "the model stands before its parent " + Quoted(m.parent));
    }
}

// Envelope entries are MNDX values; the skeleton is the kept models and the
// others that envelopes use.
void Checker::Envelopes(const std::vector<bool>& kept) {
    std::unordered_map<int64_t, size_t> byindex;
    for (size_t i = 0; i < models_.size(); ++i)
        if (models_[i].index >= 0) byindex.emplace(models_[i].index, i);
    std::vector<bool> nameless(models_.size(), false);
    for (const Names& e : envelopes_) {
        int64_t bad = 0, first = -1, unkept = 0, firstunkept = -1;
        for (size_t i = 0; i < e.entries.size(); ++i) {
            auto it = byindex.find(e.entries[i]);
            if (it == byindex.end()) {
                if (bad++ == 0) first = int64_t(i);
            } else if (!kept[it->second]) {
                nameless[it->second] = true;
                if (unkept++ == 0) firstunkept = int64_t(i);
            }
        }
        if (bad)
            Add("envelope", Severity::error, e.node, e.path,
                "entry " + Num(first) + " (" + Num(e.entries[size_t(first)]) + ") is no model's MNDX" +
                    More(bad - 1, "entries"),
                uint32_t(first));
        if (unkept) {
            const Model& m = models_[byindex[e.entries[size_t(firstunkept)]]];
            Add("envelope-bone", Severity::warning, e.node, e.path,
                "entry " + Num(firstunkept) + " names " + Quoted(m.name) +
                    ", which is no bone: its vertices follow an unnamed bone that does not move" +
                    More(unkept - 1, "entries"),
                uint32_t(firstunkept));
        }
    }
    size_t bones = 0;
    for (size_t i = 0; i < models_.size(); ++i) bones += kept[i] || nameless[i] ? 1 : 0;
    if (bones > kSkeletonBones) {
        const Node& scene = scenenode_;
        Add("skeleton-size", Severity::error, scene, scenepath_,
            "the skeleton has " + Num(int64_t(bones)) + " bones, more than " + Num(kSkeletonBones));
    }
}

void Checker::ClothNames(const std::vector<bool>& kept) {
    std::unordered_map<std::string_view, size_t> byname;
    for (size_t i = 0; i < models_.size(); ++i) byname.emplace(models_[i].name, i);
    for (const Names& w : fixedweights_) {
        for (size_t i = 0; i < w.names.size(); ++i) {
            auto it = byname.find(w.names[i]);
            const Model* m = it == byname.end() ? nullptr : &models_[it->second];
            if (!m)
                Add("cloth", Severity::error, w.node, w.path,
                    "fixed weight " + Num(int64_t(i)) + " names " + Quoted(w.names[i]) + ", which is no model", uint32_t(i));
            else if (m->type != kBoneType)
                Add("cloth", Severity::error, w.node, w.path,
                    "fixed weight " + Num(int64_t(i)) + " names " + Quoted(w.names[i]) + ", which is no bone (MTYP 3)" +
                        (kept[it->second] ? " (kept as one is not enough)" : ""),
                    uint32_t(i));
            else
                continue;
            break;  // one finding a list
        }
    }
    for (const Names& c : clothcollision_) {
        for (size_t i = 0; i < c.names.size(); ++i) {
            if (byname.count(c.names[i])) continue;
            Add("cloth", Severity::error, c.node, c.path,
                "collision object " + Num(int64_t(i)) + " has the parent " + Quoted(c.names[i]) + ", which is no model",
                uint32_t(i));
            break;
        }
    }
}

namespace {

bool LodName(const std::string& s) {
    return ContainsNoCase(s, "lod2") || ContainsNoCase(s, "lod3") || ContainsNoCase(s, "lowres") ||
           ContainsNoCase(s, "lowrez");
}

// A model the compiler draws: segments, not hidden unless a level of detail,
// none of cloth, primitive, hardpoint, collision or terrain cutter.
bool Drawn(const Model& m) {
    if (m.hidden && !LodName(m.name)) return false;
    if (m.type == kClothType || m.name.compare(0, 2, "p_") == 0 || m.name.compare(0, 3, "hp_") == 0) return false;
    if (IsCollisionMesh(m.name) || StartsWithNoCase(m.name, "terraincutter")) return false;
    return m.segments;
}

}  // namespace

void Checker::Collision(const std::vector<int64_t>& up, const std::vector<bool>& kept) {
    const size_t n = models_.size();
    for (size_t i = 0; i < n; ++i) {
        const Model& m = models_[i];
        const bool primitive = m.name.compare(0, 2, "p_") == 0, mesh = IsCollisionMesh(m.name);
        if (primitive && m.shape < 0)
            Add("collision", Severity::warning, m.node, m.path, "a p_ model without SWCI: no collision primitive is made");
        if (m.shape >= 0 && !StartsWithNoCase(m.name, "p_"))
            Add("collision", Severity::warning, m.node, m.path,
                "an SWCI on a model whose name does not start with p_: the primitive is ignored");
        if (primitive || mesh) {
            for (char c : CollisionFlags(m.name)) {
                if (std::string_view("svbtofSVBTOF").find(c) != std::string_view::npos) continue;
                Add("collision", Severity::warning, m.node, m.path,
                    std::string("unknown collision flag '") + c + "' (known: s v b t o f): the model collides with everything");
                break;
            }
        }
    }
    if (options_.nocollision || n == 0) return;
    // The collision mesh: the collision models; without them and without p_
    // primitives, every drawn model of the first level of detail.
    std::vector<size_t> set;
    bool primitives = false;
    for (size_t i = 0; i < n; ++i) {
        if (IsCollisionMesh(models_[i].name)) set.push_back(i);
        else if (StartsWithNoCase(models_[i].name, "p_") && models_[i].shape >= 0) primitives = true;
    }
    const bool implicit = set.empty() && !primitives;
    if (implicit)
        for (size_t i = 0; i < n; ++i)
            if (Drawn(models_[i]) && !LodName(models_[i].name)) set.push_back(i);
    if (set.empty()) return;
    int64_t vertices = 0, triangles = 0;
    for (size_t i : set) vertices += models_[i].vertices, triangles += models_[i].triangles;
    const Model& head = models_[set[0]];
    const std::string what = implicit ? "the collision mesh the compiler builds from the drawn models (" +
                                            Num(int64_t(set.size())) + ", the first " + Quoted(head.name) + ")"
                                      : "the collision mesh of the collision models (" + Num(int64_t(set.size())) + ")";
    if (vertices == 0 || triangles == 0)
        Add("collision-empty", Severity::error, head.node, head.path,
            what + " has no " + (vertices == 0 ? "vertices" : "STRP triangles") +
                (implicit ? ": add a collision model or give -nocollision" : ""));
    else if (vertices > kCollisionVertices)
        Add("vertex-limit", Severity::error, head.node, head.path,
            what + " has " + Num(vertices) + " vertices, more than " + Num(kCollisionVertices) +
                (implicit ? ": add a collision model or give -nocollision" : ""));

    // The first bone of the skeleton: the compiler takes, model by model,
    // the kept models of its envelope, then the model itself when kept.
    std::unordered_map<int64_t, size_t> byindex;
    for (size_t i = 0; i < n; ++i)
        if (models_[i].index >= 0) byindex.emplace(models_[i].index, i);
    std::vector<const Names*> envelope(n, nullptr);
    for (const Names& e : envelopes_)
        if (e.model >= 0) envelope[size_t(e.model)] = &e;
    int64_t first = -1;
    for (size_t i = 0; i < n && first < 0; ++i) {
        if (envelope[i])
            for (uint32_t entry : envelope[i]->entries)
                if (auto it = byindex.find(entry); it != byindex.end() && kept[it->second]) {
                    first = int64_t(it->second);
                    break;
                }
        if (first < 0 && kept[i]) first = int64_t(i);
    }
    for (size_t i : set) {
        const Model& m = models_[i];
        if (m.weights)
            Add("collision", Severity::warning, m.node, m.path,
                std::string(implicit ? "a drawn model the compiler makes collision of" : "a collision mesh") +
                    " has weights: collision cannot move");
        // The bone it follows: its nearest kept ancestor (a root follows the first model).
        int64_t p = up[i] >= 0 ? up[i] : 0;
        for (size_t steps = 0; !kept[size_t(p)] && steps < n; ++steps) p = up[size_t(p)] >= 0 ? up[size_t(p)] : 0;
        if (kept[size_t(p)] && p != first)
            Add("collision", Severity::warning, m.node, m.path,
                std::string(implicit ? "a drawn model the compiler makes collision of" : "a collision mesh") +
                    " follows the bone " + Quoted(models_[size_t(p)].name) +
                    ", not the root: collision cannot follow a bone");
    }
}

// The option file: its own problems, then its names against the mesh.
void Checker::Options() {
    if (!optionfile_) return;
    const std::string& file = optionfile_->name;
    for (const OptionProblem& p : options_.problems)
        AddOption(p.rule, p.severity, file + ":" + Num(p.line), p.message);
    auto model = [&](const std::string& name) {
        for (const Model& m : models_)
            if (EqualNoCase(m.name, name)) return true;
        return false;
    };
    auto names = [&](const std::vector<ParsedOptions::Named>& list, const char* option) {
        for (const ParsedOptions::Named& k : list)
            if (!model(k.name))
                AddOption("option-name", Severity::warning, file + ":" + Num(k.line),
                          std::string(option) + " names " + Quoted(k.name) + ", which is no model");
    };
    names(options_.keep, "-keep");
    names(options_.keepmaterial, "-keepmaterial");
    names(options_.attachlight, "-attachlight");
    for (const ParsedOptions::Named& b : options_.bump) {
        bool used = false;
        for (const std::string& t : textures_) used = used || EqualNoCase(t, b.name);
        if (!used)
            AddOption("option-name", Severity::warning, file + ":" + Num(b.line),
                      "-bump names the texture " + Quoted(b.name) + ", which no material uses");
    }
}

}  // namespace check::detail

namespace check {

// The compiler lists a model's textures in its .req file, each name without
// its extension as one quoted entry a line; the level build reads "//" there
// as the start of a comment, '=' as a property and a quote or a line break
// as the end of the entry, and stops on the file.
const char* TextureNameFault(std::string_view name) {
    if (const size_t dot = name.rfind('.'); dot != std::string_view::npos) name = name.substr(0, dot);
    if (name.find('"') != std::string_view::npos) return "a double quote";
    if (name.find_first_of("\r\n") != std::string_view::npos) return "a line break";
    if (const size_t eq = name.find('='); eq != std::string_view::npos && eq + 1 < name.size())
        return "'=' followed by text";
    if (name.find("//") != std::string_view::npos) return "\"//\"";
    return nullptr;
}

}  // namespace check
