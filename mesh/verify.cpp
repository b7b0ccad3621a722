// The structural rules of the mesh format and the count comparison of sibling
// list chunks.
//
// The rules are written once, against a view of the tree (mesh/verify_views.h):
// they run on the editor's chunk objects and on mshtool's flat index alike.
// A walk over the tree keeps its own stack of one cursor a level, so a
// million-deep file verifies without deep recursion. For every chunk the walk
// counts its children by rule name, then runs the chunk's own checks, then
// goes down to its first child: the findings thus come in depth-first
// pre-order, a chunk's own before those of its children.
//
// A PRNT names a model that must exist somewhere in the same tree. A search
// from the PRNT outward covers the whole tree, so whether such a model exists
// only depends on the set of model names in the tree; that set is gathered in
// one pass the first time a PRNT asks, which keeps a tree with many models
// linear. Text records are judged without producing a container's whole data
// (see Run::IsText in mesh/verify_run.h), so nested texts stay linear as well.
#include "mesh/verify.h"
#include "mesh/verify_run.h"
#include "mesh/verify_views.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace mesh {

using namespace format;
using namespace verifyrun;

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
template <class View>
bool ListSizeAgrees(const View& v, typename View::node c, int width) {
    const int32_t size = v.size(c);
    if (v.determinesize(c) != size) return false;
    if (size == 0) return true;
    return int64_t(width) * int64_t(v.readint(c, 0)) + 4 == int64_t(size);
}

// The checks of one chunk. Every failed check appends the chunk's name and the
// text; checks never stop at the first failure.
template <class View, class Sink>
class Checker {
public:
    using node = typename View::node;
    Checker(node c, const KidCounts<View>& k, Run<View, Sink>& run) : c_(c), k_(k), run_(run), v_(run.view()) {}

    void Check(int rule);

private:
    void Add(std::string_view text) { run_.Add(c_, text); }
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
    void Compare(Rule a, Rule b) { Compare(k_.first[a], k_.first[b]); }
    // When both exist, both have a size of at least 4 and their leading
    // counts differ.
    void Compare(node a, node b) {
        if (a == View::none || b == View::none || v_.size(a) < 4 || v_.size(b) < 4) return;
        if (v_.readint(a, 0) == v_.readint(b, 0)) return;
        std::string text = ": ";
        text += v_.name(a);
        text += " and ";
        text += v_.name(b);
        text += " chunks do not contain the same amount of information";
        Add(text);
    }
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

    node c_;
    const KidCounts<View>& k_;
    Run<View, Sink>& run_;
    View& v_;
};

constexpr std::string_view kIllegalChildren = ": contains illegal children";
constexpr std::string_view kChunkIllegalChildren = ": chunk contains illegal children";

template <class View, class Sink>
void Checker<View, Sink>::Check(int rule) {
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

template <class View, class Sink>
void Checker<View, Sink>::CheckHedr() {
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
        const node keys = FirstKid(v_, k_.first[ANM2], "KFR3");
        Compare(k_.first[BLN2], keys);
        Compare(k_.first[SKL2], keys);
    }
    const node last = v_.last(c_);
    if (last != View::none && v_.name(last) != "CL1L") Add(": the final chunk is not a CL1L chunk");
    Surplus({SHVO, MSH2, BLN2, SKL2, ANM2, CL1L}, {}, kIllegalChildren);
}

template <class View, class Sink>
void Checker<View, Sink>::CheckSegm() {
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

template <class View, class Sink>
void Checker<View, Sink>::CheckAnm2() {
    AtMostOne(CYCL);
    if (k_.count[CYCL] < 1) Add(kNoCyclText);
    AtMostOne(KFR3);
    NotMissing(KFR3);
    if (k_.total > 2) Add(kChunkIllegalChildren);
}

template <class View, class Sink>
void Checker<View, Sink>::CheckLeaf(int rule) {
    if (rule < 0) {
        Add(": illegal chunk name");
        return;
    }
    if (k_.total > 0) Add(": chunk contains children");
    const int32_t size = v_.size(c_);
    if (rule == CL1L) {
        if (size > 0) Add(": chunk does not contain 0 bytes of data");
        return;
    }
    const ChunkKind& kind = *RuleKinds()[size_t(rule)];
    // A fixed size may depend on the parent: the data record of a camera and
    // that of a material differ; a DATA anywhere else (or at the root of a
    // chunk file) is free.
    int fixed = kind.layouts.back().fixedsize;
    if (kind.layouts.size() > 1) fixed = LayoutOf(kind, v_.parentname(c_)).fixedsize;
    if (kind.nodata && size == 0) Add(": chunk contains no data");
    if (fixed >= 0 && size != fixed) Add(": chunk does not contain " + std::to_string(fixed) + " bytes of data");
    if (kind.text) {
        if (!run_.IsText(c_)) {
            Add(": chunk is not a valid null-terminated string");
        } else if (rule == PRNT && !run_.ModelExists(run_.TextOf(c_))) {
            Add(": parent MODL does not exist");
        }
    }
    if (kind.listwidth && !ListSizeAgrees(v_, c_, kind.listwidth))
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

// The walk of every verification: for each chunk, in pre-order, its children
// counted by rule name, then its checks. A chunk with findings of its own is
// then handed to sink.flagged with their number.
template <class View, class Sink>
void VerifyWalk(View& v, typename View::node start, Sink& sink) {
    using node = typename View::node;
    Run<View, Sink> run(v, start, sink);
    KidCounts<View> counts;
    Walk(v, start, [&](node c) {
        const int rule = RuleIndex(v.name(c));
        const bool container = IsContainerRule(rule);
        if (container) {
            counts.count.fill(0);
            counts.first.fill(View::none);
        }
        counts.total = 0;
        auto kids = v.kids(c);
        for (node k = v.next(kids); k != View::none; k = v.next(kids)) {
            ++counts.total;
            const int r = container ? RuleIndex(v.name(k)) : -1;
            if (r >= 0 && counts.count[r]++ == 0) counts.first[r] = k;
        }
        const size_t before = sink.count;
        Checker<View, Sink>(c, counts, run).Check(rule);
        if (sink.count > before) sink.flagged(c, sink.count - before);
    });
}

// Findings of the chunk tree as strings; each chunk with findings of its own
// goes to errors (when given) and stands in owners (when given) once for each.
struct chunksink {
    std::vector<std::string>& messages;
    chunklist* errors;
    std::vector<const chunk*>* owners;
    size_t count = 0;
    void finding(const chunk*, std::string_view name, std::string_view text) {
        std::string m;
        m.reserve(name.size() + text.size());
        m += name;
        m += text;
        messages.push_back(std::move(m));
        ++count;
    }
    void flagged(const chunk* c, size_t n) {
        // Chunks are always owned by a shared pointer (chunk::Create).
        if (errors) {
            if (chunkptr self = const_cast<chunk*>(c)->weak_from_this().lock()) errors->push_back(self);
        }
        if (owners) owners->insert(owners->end(), n, c);
    }
};

void VerifyWalk(const chunk& start, std::vector<std::string>& messages, chunklist* errors,
                std::vector<const chunk*>* owners) {
    chunkview v;
    chunksink sink{messages, errors, owners};
    VerifyWalk(v, &start, sink);
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

void VerifyIndex(const flatindex& x, const std::function<void(std::string_view, std::string_view)>& found) {
    struct sink {
        const std::function<void(std::string_view, std::string_view)>& found;
        size_t count = 0;
        void finding(uint32_t, std::string_view name, std::string_view text) {
            found(name, text);
            ++count;
        }
        void flagged(uint32_t, size_t) {}
    } s{found};
    flatview v(x);
    VerifyWalk(v, x.root(), s);
}

}  // namespace mesh
