// The structural rules of the mesh format and the count comparison of sibling
// list chunks.
//
// A walk over the tree keeps its own stack, so a million-deep file verifies
// without deep recursion. For every chunk the walk first puts its children on
// the stack (last child at the bottom, so the first child comes out next) and
// counts them by rule name from there, then runs the chunk's own checks: the
// findings thus come in depth-first pre-order, a chunk's own before those of
// its children.
//
// A PRNT names a model that must exist somewhere in the same tree. A search
// from the PRNT outward covers the whole tree, so whether such a model exists
// only depends on the set of model names in the tree; that set is gathered in
// one pass the first time a PRNT asks, which keeps a tree with many models
// linear. Text records are judged without producing a container's whole data
// (see Run::IsText), so nested texts stay linear as well.
#include "mesh/verify.h"
#include "mesh/walk.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace mesh {

using namespace format;

namespace {

// The rule names the checks below refer to, as indexes into kRuleNames.
constexpr int R(std::string_view name) {
    const int i = RuleId(name);
    if (i < 0) throw "not a rule name";  // stops the compilation
    return i;
}
constexpr int HEDR = R("HEDR"), SHVO = R("SHVO"), MSH2 = R("MSH2"), SINF = R("SINF"), FRAM = R("FRAM"),
              CAMR = R("CAMR"), MATL = R("MATL"), MATD = R("MATD"), ATRB = R("ATRB"), TX0D = R("TX0D"),
              MODL = R("MODL"), MTYP = R("MTYP"), MNDX = R("MNDX"), PRNT = R("PRNT"), FLGS = R("FLGS"),
              TRAN = R("TRAN"), SWCI = R("SWCI"), GEOM = R("GEOM"), CLTH = R("CLTH"), CTEX = R("CTEX"),
              CPOS = R("CPOS"), CUV0 = R("CUV0"), FIDX = R("FIDX"), FWGT = R("FWGT"), CMSH = R("CMSH"),
              SPRS = R("SPRS"), CPRS = R("CPRS"), BPRS = R("BPRS"), COLL = R("COLL"), SEGM = R("SEGM"),
              SHDW = R("SHDW"), MATI = R("MATI"), POSL = R("POSL"), WGHT = R("WGHT"), NRML = R("NRML"),
              CLRL = R("CLRL"), UV0L = R("UV0L"), NDXL = R("NDXL"), NDXT = R("NDXT"), STRP = R("STRP"),
              ANM2 = R("ANM2"), CYCL = R("CYCL"), KFR3 = R("KFR3"), CL1L = R("CL1L"), BBOX = R("BBOX"),
              NAME = R("NAME"), DATA = R("DATA"), BLN2 = R("BLN2"), SKL2 = R("SKL2"), ENVL = R("ENVL");
using Rule = int;

// The kind of each rule name, in rule order.
const std::array<const ChunkKind*, kRuleCount>& RuleKinds() {
    static const std::array<const ChunkKind*, kRuleCount> kinds = [] {
        std::array<const ChunkKind*, kRuleCount> a{};
        for (int i = 0; i < kRuleCount; ++i) a[size_t(i)] = FindKind(kRuleNames[size_t(i)]);
        return a;
    }();
    return kinds;
}

bool IsContainerRule(int r) { return r >= 0 && RuleKinds()[size_t(r)]->container; }

// The list-size rule: size equals width * count + 4 (count: the leading int),
// and an empty list is fine. The product is taken without wrapping, so that a
// huge count cannot come round to the size of a short chunk; within range it
// is what determinesize gives.
bool ListSizeAgrees(const chunk& c, int width) {
    if (c.determinesize() != c.size) return false;
    if (c.size == 0) return true;
    return int64_t(width) * int64_t(c.readint(0)) + 4 == int64_t(c.size);
}

// One entry of the walk's stack: a chunk and the index of its rule (-1 when
// the name has none).
struct Pending {
    chunk* c;
    int rule;
};

// The children of the chunk under test, counted by rule name.
struct KidCounts {
    size_t total = 0;
    std::array<int, kRuleCount> count{};
    std::array<const chunk*, kRuleCount> first{};
};

// State shared by the checks of one verification run.
class Run {
public:
    Run(const chunk& start, std::vector<std::string>& messages) : start_(start), messages_(messages) {}

    std::vector<std::string>& messages() { return messages_; }

    // True when some MODL of the tree (the whole tree the start chunk belongs
    // to, found through the parents) has this model name.
    bool ModelExists(const std::string& n) {
        if (!namesready_) GatherModelNames();
        return modelnames_.count(n) != 0;
    }

    // isstring, without producing a container's data: a text record whose
    // chunk has children (a hostile file can nest a million of them) is judged
    // by its last byte, found through its last children.
    bool IsText(const chunk& c) {
        if (c.kids.empty()) return c.isstring() != 0;
        return c.size > 0 && c.size % 4 == 0 && LastByte(c) == 0;
    }

    // datatostring, reading a container's bytes only up to the first zero.
    static std::string TextOf(const chunk& c) {
        if (c.kids.empty()) return c.datatostring();
        const int64_t n = std::max<int32_t>(0, c.size);
        std::string text;
        std::vector<uint8_t> buf;
        for (int64_t pos = 0, step = 64; pos < n; pos += int64_t(buf.size()), step *= 2) {
            buf.resize(size_t(std::min(step, n - pos)));
            const int64_t got = c.readbytes(pos, int64_t(buf.size()), buf.data());
            if (got <= 0) break;
            buf.resize(size_t(got));
            auto zero = std::find(buf.begin(), buf.end(), uint8_t(0));
            text.append(buf.begin(), zero);
            if (zero != buf.end()) return text;
        }
        return std::string();  // no zero byte within the size: the empty text
    }

private:
    // The byte at position size - 1 of a chunk's data (-1 when there is none).
    // A container's data is its children's encodings back to back (after the
    // MATD count of a grouped MATL), so while the sizes agree its last byte is
    // that of its last child's encoding. The answer is remembered for every
    // chunk on the way down, so nested texts cost one walk in all. A leaf, and
    // a container whose sizes disagree (a tree not rebuilt since an edit), is
    // asked for the byte itself.
    int LastByte(const chunk& c) {
        std::vector<const chunk*> path;
        const chunk* cur = &c;
        int v = -1;
        for (;;) {
            if (auto it = lastbyte_.find(cur); it != lastbyte_.end()) {
                v = it->second;
                break;
            }
            const chunk* last = cur->kids.empty() ? nullptr : cur->kids.back().get();
            int64_t sum = 0;
            for (const chunkptr& k : cur->kids)
                if (k) sum += std::max<int32_t>(0, k->size) + 8;
            const bool agrees = last && (cur->size == sum || (cur->name == "MATL" && cur->size == sum + 4));
            if (!agrees) {
                v = cur->readbyte(int64_t(cur->size) - 1);
                path.push_back(cur);
                break;
            }
            path.push_back(cur);
            if (last->size <= 0) {
                v = int((uint32_t(last->size) >> 24) & 0xFF);  // high byte of its size field
                break;
            }
            cur = last;
        }
        for (const chunk* p : path) lastbyte_[p] = v;
        return v;
    }

    void GatherModelNames() {
        namesready_ = true;
        const chunk* root = &start_;
        for (chunkptr p = root->getparent(); p; p = p->getparent()) {
            root = p.get();
            rootkeep_ = p;  // keeps the root alive while it is walked
        }
        PreOrder(*root, [&](const chunk& c) {
            if (c.name != "MODL") return;
            chunkptr n = c.getkid("NAME");
            modelnames_.insert(n ? TextOf(*n) : std::string());
        });
    }

    const chunk& start_;
    std::vector<std::string>& messages_;
    bool namesready_ = false;
    chunkptr rootkeep_;
    std::unordered_set<std::string> modelnames_;
    std::unordered_map<const chunk*, int> lastbyte_;
};

// The checks of one chunk. Every failed check appends the chunk's name and the
// text; checks never stop at the first failure.
class Checker {
public:
    Checker(const chunk& c, const KidCounts& k, Run& run) : c_(c), k_(k), run_(run) {}

    void Check(int rule);

private:
    void Add(std::string_view text) {
        std::string m;
        m.reserve(c_.name.size() + text.size());
        m += c_.name;
        m += text;
        run_.messages().push_back(std::move(m));
    }
    void AtMostOne(Rule r) {
        if (k_.count[r] > 1) Add(std::string(": more than one ") + kRuleNames[r] + " chunk");
    }
    void NotMissing(Rule r) {
        if (k_.count[r] < 1) Add(std::string(": no ") + kRuleNames[r] + " chunk");
    }
    void ExactlyOne(Rule r) {
        AtMostOne(r);
        NotMissing(r);
    }
    void Compare(Rule a, Rule b) { c_.segmcompare(k_.first[a], k_.first[b], run_.messages()); }
    // More children than the allowed ones account for: each name of once
    // counts at most one child, each name of any counts all of its children.
    void Surplus(std::initializer_list<Rule> once, std::initializer_list<Rule> any, std::string_view text) {
        size_t allowed = 0;
        for (Rule r : once) allowed += k_.count[r] > 0 ? 1 : 0;
        for (Rule r : any) allowed += size_t(k_.count[r]);
        if (k_.total > allowed) Add(text);
    }

    void CheckHedr();
    void CheckSegm();
    void CheckAnm2();
    void CheckLeaf(int rule);

    const chunk& c_;
    const KidCounts& k_;
    Run& run_;
};

constexpr std::string_view kIllegalChildren = ": contains illegal children";
constexpr std::string_view kChunkIllegalChildren = ": chunk contains illegal children";

void Checker::Check(int rule) {
    switch (rule) {
        case HEDR: CheckHedr(); break;
        case MSH2:
            AtMostOne(MATL);
            NotMissing(MATL);
            NotMissing(MODL);
            Surplus({SINF, CAMR, MATL}, {MODL}, kChunkIllegalChildren);
            break;
        case SINF:
            ExactlyOne(NAME);
            ExactlyOne(FRAM);
            ExactlyOne(BBOX);
            Surplus({NAME, FRAM, BBOX}, {}, kIllegalChildren);
            break;
        case CAMR:
            ExactlyOne(NAME);
            ExactlyOne(DATA);
            Surplus({NAME, DATA}, {}, kIllegalChildren);
            break;
        case MATL:
            if (k_.total != size_t(k_.count[MATD])) Add(kIllegalChildren);
            break;
        case MATD:
            ExactlyOne(NAME);
            ExactlyOne(DATA);
            ExactlyOne(ATRB);
            AtMostOne(TX0D);
            Surplus({NAME, DATA, ATRB, TX0D}, {}, kIllegalChildren);
            break;
        case MODL:
            ExactlyOne(MTYP);
            ExactlyOne(MNDX);
            ExactlyOne(NAME);
            AtMostOne(PRNT);
            AtMostOne(FLGS);
            ExactlyOne(TRAN);
            AtMostOne(GEOM);
            AtMostOne(SWCI);
            Surplus({MTYP, MNDX, NAME, PRNT, FLGS, TRAN, SWCI, GEOM}, {}, kChunkIllegalChildren);
            break;
        case GEOM:
            ExactlyOne(BBOX);
            AtMostOne(SWCI);
            // SWCI is counted above but is not an allowed child of GEOM.
            Surplus({BBOX, ENVL}, {SEGM, CLTH}, kChunkIllegalChildren);
            break;
        case CLTH:
            for (Rule r : {CTEX, CPOS, CUV0, FIDX, FWGT, CMSH, SPRS, CPRS, BPRS, COLL}) ExactlyOne(r);
            Compare(CPOS, CUV0);
            Compare(FIDX, FWGT);
            Surplus({CTEX, CPOS, CUV0, FIDX, FWGT, CMSH, SPRS, CPRS, BPRS, COLL}, {}, kChunkIllegalChildren);
            break;
        case SEGM: CheckSegm(); break;
        case ANM2: CheckAnm2(); break;
        default: CheckLeaf(rule); break;
    }
}

void Checker::CheckHedr() {
    AtMostOne(SHVO);
    ExactlyOne(MSH2);
    AtMostOne(BLN2);
    AtMostOne(SKL2);
    AtMostOne(ANM2);
    const int b = k_.count[BLN2], s = k_.count[SKL2], a = k_.count[ANM2];
    if (b == 0 && s > 0) Add(": contains an SKL2 chunk but no BLN2 chunk");
    if (b > 0 && s == 0) Add(": contains a BLN2 chunk but no SKL2 chunk");
    if (b == 0 && a > 0) Add(": contains an ANM2 chunk but no BLN2 chunk");
    if (b > 0 && a == 0) Add(": contains a BLN2 chunk but no ANM2 chunk");
    if (s > 0 && a == 0) Add(": contains an SKL2 chunk but no ANM2 chunk");
    if (a > 0 && s == 0) Add(": contains an ANM2 chunk but no SKL2 chunk");
    Compare(BLN2, SKL2);
    if (a > 0) {
        chunkptr keys = k_.first[ANM2]->getkid("KFR3");
        c_.segmcompare(k_.first[BLN2], keys.get(), run_.messages());
        c_.segmcompare(k_.first[SKL2], keys.get(), run_.messages());
    }
    if (!c_.kids.empty() && c_.kids.back() && c_.kids.back()->name != "CL1L") Add(": the final chunk is not a CL1L chunk");
    Surplus({SHVO, MSH2, BLN2, SKL2, ANM2, CL1L}, {}, kIllegalChildren);
}

void Checker::CheckSegm() {
    // A shadow segment holds its SHDW and nothing else.
    if (k_.count[SHDW] > 0) {
        if (k_.total > 1) Add(kChunkIllegalChildren);
        return;
    }
    ExactlyOne(MATI);
    ExactlyOne(POSL);
    AtMostOne(WGHT);
    ExactlyOne(NRML);
    AtMostOne(UV0L);
    AtMostOne(NDXL);
    AtMostOne(NDXT);
    ExactlyOne(STRP);
    AtMostOne(CLRL);
    Compare(POSL, NRML);
    Compare(POSL, WGHT);
    Compare(POSL, UV0L);
    Compare(POSL, CLRL);
    Compare(WGHT, NRML);
    Compare(WGHT, CLRL);
    Compare(WGHT, UV0L);
    Compare(UV0L, CLRL);
    Surplus({MATI, POSL, WGHT, NRML, UV0L, NDXL, NDXT, STRP, CLRL}, {}, kChunkIllegalChildren);
}

void Checker::CheckAnm2() {
    AtMostOne(CYCL);
    if (k_.count[CYCL] < 1) Add(kNoCyclText);
    AtMostOne(KFR3);
    NotMissing(KFR3);
    if (k_.total > 2) Add(kChunkIllegalChildren);
}

void Checker::CheckLeaf(int rule) {
    if (rule < 0) {
        Add(": illegal chunk name");
        return;
    }
    if (k_.total > 0) Add(": chunk contains children");
    const int32_t size = c_.size;
    if (rule == CL1L) {
        if (size > 0) Add(": chunk does not contain 0 bytes of data");
        return;
    }
    const ChunkKind& kind = *RuleKinds()[size_t(rule)];
    // A fixed size may depend on the parent: the data record of a camera and
    // that of a material differ; a DATA anywhere else (or at the root of a
    // chunk file) is free.
    int fixed = kind.layouts.back().fixedsize;
    if (kind.layouts.size() > 1) {
        chunkptr p = c_.getparent();
        fixed = LayoutOf(kind, p ? std::string_view(p->name) : std::string_view()).fixedsize;
    }
    if (kind.nodata && size == 0) Add(": chunk contains no data");
    if (fixed >= 0 && size != fixed) Add(": chunk does not contain " + std::to_string(fixed) + " bytes of data");
    if (kind.text) {
        if (!run_.IsText(c_)) {
            Add(": chunk is not a valid null-terminated string");
        } else if (rule == PRNT && !run_.ModelExists(Run::TextOf(c_))) {
            Add(": parent MODL does not exist");
        }
    }
    if (kind.listwidth && !ListSizeAgrees(c_, kind.listwidth))
        Add(": discrepency between size indicated by first int and actual size");
}

}  // namespace

int chunk::segmcompare(const chunk* first, const chunk* second, std::vector<std::string>& messages) const {
    if (!first || !second) return 0;
    if (first->size < 4 || second->size < 4) return 0;
    if (first->readint(0) == second->readint(0)) return 0;
    messages.push_back(name + ": " + first->name + " and " + second->name +
                       " chunks do not contain the same amount of information");
    return 0;
}

namespace {

// The walk of chunk::verify. Each chunk with findings of its own goes to
// errors (when given) and stands in owners (when given) once for each of them.
void VerifyWalk(const chunk& start, std::vector<std::string>& messages, chunklist* errors,
                std::vector<const chunk*>* owners) {
    Run run(start, messages);
    std::vector<Pending> stack{{const_cast<chunk*>(&start), RuleIndex(start.name)}};
    KidCounts counts;
    while (!stack.empty()) {
        const Pending cur = stack.back();
        stack.pop_back();
        const chunk& c = *cur.c;

        // Children go on the stack last first; counted from there in order.
        const size_t base = stack.size();
        for (size_t i = c.kids.size(); i-- > 0;) {
            chunk* k = c.kids[i].get();
            if (k) stack.push_back({k, RuleIndex(k->name)});
        }
        counts.total = stack.size() - base;
        if (IsContainerRule(cur.rule)) {
            counts.count.fill(0);
            counts.first.fill(nullptr);
            for (size_t i = stack.size(); i-- > base;) {
                const int r = stack[i].rule;
                if (r >= 0 && counts.count[r]++ == 0) counts.first[r] = stack[i].c;
            }
        }

        const size_t before = messages.size();
        Checker(c, counts, run).Check(cur.rule);
        if (messages.size() > before) {
            // Chunks are always owned by a shared pointer (chunk::Create).
            if (errors) {
                if (chunkptr self = cur.c->weak_from_this().lock()) errors->push_back(self);
            }
            if (owners) owners->insert(owners->end(), messages.size() - before, cur.c);
        }
    }
}

}  // namespace

void chunk::verify(std::vector<std::string>& messages, chunklist& errors) {
    VerifyWalk(*this, messages, &errors, nullptr);
}

void VerifyOwners(const chunk& root, std::vector<std::string>& messages, std::vector<const chunk*>& owners) {
    messages.clear();
    owners.clear();
    VerifyWalk(root, messages, nullptr, &owners);
}

void msh::verify(std::vector<std::string>& messages, chunklist& errors) {
    messages.clear();
    errors.clear();
    if (hedr) hedr->verify(messages, errors);
}

std::vector<std::string> VerifyMesh(msh& m) {
    std::vector<std::string> messages;
    m.verify(messages, m.errors);
    return messages;
}

}  // namespace mesh
