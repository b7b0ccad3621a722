// The walk and the shared state of one verification run, over a view of the
// tree (mesh/verify_views.h): the pre-order walk, children counted by rule
// name, texts read without producing a container's whole data, and the model
// names a PRNT may point at. Only mesh/verify.cpp includes this.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "format/records.h"

namespace mesh::verifyrun {

using format::kRuleCount;

// Visits start and everything below it in pre-order, with one cursor a level
// on the stack.
template <class View, class Visit>
void Walk(View& v, typename View::node start, Visit&& visit) {
    std::vector<typename View::cursor> stack;
    visit(start);
    stack.push_back(v.kids(start));
    while (!stack.empty()) {
        const typename View::node k = v.next(stack.back());
        if (k == View::none) {
            stack.pop_back();
            continue;
        }
        visit(k);
        stack.push_back(v.kids(k));
    }
}

// The first child of c with that name, or none.
template <class View>
typename View::node FirstKid(const View& v, typename View::node c, std::string_view name) {
    if (c == View::none) return View::none;
    auto kids = v.kids(c);
    for (typename View::node k = v.next(kids); k != View::none; k = v.next(kids))
        if (v.name(k) == name) return k;
    return View::none;
}

// The children of the chunk under test, counted by rule name.
template <class View>
struct KidCounts {
    size_t total = 0;
    std::array<int, kRuleCount> count{};
    std::array<typename View::node, kRuleCount> first{};
};

// State shared by the checks of one verification run: the view of the tree
// and where the findings go (sink.finding(chunk, its name, text)).
template <class View, class Sink>
class Run {
public:
    using node = typename View::node;
    Run(View& v, node start, Sink& sink) : v_(v), start_(start), sink_(sink) {}

    View& view() { return v_; }
    // A finding of chunk c: its name followed by text.
    void Add(node c, std::string_view text) { sink_.finding(c, v_.name(c), text); }

    // True when some MODL of the tree (the whole tree the start chunk belongs
    // to, found through the parents) has this model name.
    bool ModelExists(const std::string& n) {
        if (!namesready_) GatherModelNames();
        return modelnames_.count(n) != 0;
    }

    // isstring, without producing a container's data: a text record whose
    // chunk has children (a hostile file can nest a million of them) is judged
    // by its last byte, found through its last children.
    bool IsText(node c) {
        if (!v_.haskids(c)) return v_.isstring(c);
        return v_.size(c) > 0 && v_.size(c) % 4 == 0 && LastByte(c) == 0;
    }

    // datatostring, reading a container's bytes only up to the first zero.
    std::string TextOf(node c) {
        if (!v_.haskids(c)) return v_.datatostring(c);
        const int64_t n = std::max<int32_t>(0, v_.size(c));
        std::string text;
        std::vector<uint8_t> buf;
        for (int64_t pos = 0, step = 64; pos < n; pos += int64_t(buf.size()), step *= 2) {
            buf.resize(size_t(std::min(step, n - pos)));
            const int64_t got = v_.readbytes(c, pos, int64_t(buf.size()), buf.data());
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
    int LastByte(node c) {
        std::vector<node> path;
        node cur = c;
        int v = -1;
        for (;;) {
            if (auto it = lastbyte_.find(cur); it != lastbyte_.end()) {
                v = it->second;
                break;
            }
            const node last = v_.last(cur);
            int64_t sum = 0;
            auto kids = v_.kids(cur);
            for (node k = v_.next(kids); k != View::none; k = v_.next(kids)) sum += std::max<int32_t>(0, v_.size(k)) + 8;
            const int32_t size = v_.size(cur);
            const bool agrees = last != View::none && (size == sum || (v_.name(cur) == "MATL" && size == sum + 4));
            if (!agrees) {
                v = v_.readbyte(cur, int64_t(size) - 1);
                path.push_back(cur);
                break;
            }
            path.push_back(cur);
            if (v_.size(last) <= 0) {
                v = int((uint32_t(v_.size(last)) >> 24) & 0xFF);  // high byte of its size field
                break;
            }
            cur = last;
        }
        for (node p : path) lastbyte_[p] = v;
        return v;
    }

    void GatherModelNames() {
        namesready_ = true;
        Walk(v_, v_.root(start_), [&](node c) {
            if (v_.name(c) != "MODL") return;
            const node n = FirstKid(v_, c, "NAME");
            modelnames_.insert(n != View::none ? TextOf(n) : std::string());
        });
    }

    View& v_;
    node start_;
    Sink& sink_;
    bool namesready_ = false;
    std::unordered_set<std::string> modelnames_;
    std::unordered_map<node, int> lastbyte_;
};

}  // namespace mesh::verifyrun
