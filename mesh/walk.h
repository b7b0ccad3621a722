// The walk over a chunk tree in depth-first pre-order (parents before their
// children, children in file order) with an explicit stack, so that a tree a
// million chunks deep is walked without recursion. Queries, writing, counting
// and the tools share it instead of keeping stacks of their own.
#pragma once

#include <cstddef>
#include <type_traits>
#include <utility>
#include <vector>

#include "mesh/chunk.h"

namespace mesh {

// What a visitor answers after seeing a chunk.
enum class walk {
    into,  // visit its children next
    over,  // skip its children
    stop,  // end the walk
};

namespace walkdetail {

template <class R>
walk Step(R&& r) {
    if constexpr (std::is_same_v<std::decay_t<R>, bool>)
        return r ? walk::into : walk::over;
    else
        return r;
}

template <class Visit, class Chunk>
walk Call(Visit& visit, Chunk& c, size_t depth) {
    if constexpr (std::is_invocable_v<Visit&, Chunk&, size_t>) {
        if constexpr (std::is_void_v<std::invoke_result_t<Visit&, Chunk&, size_t>>) {
            visit(c, depth);
            return walk::into;
        } else {
            return Step(visit(c, depth));
        }
    } else {
        if constexpr (std::is_void_v<std::invoke_result_t<Visit&, Chunk&>>) {
            visit(c);
            return walk::into;
        } else {
            return Step(visit(c));
        }
    }
}

}  // namespace walkdetail

// Visits root and every chunk below it in pre-order. visit is called as
// visit(c) or visit(c, depth) (root has depth 0) and returns a walk, a bool
// (true: into, false: over) or nothing (always into). The visitor may change
// the children of the chunk it is visiting (they are read once it returns),
// nothing else of the tree. Returns false when the visitor stopped the walk.
template <class Chunk, class Visit>
bool PreOrder(Chunk& root, Visit&& visit) {
    struct Item {
        Chunk* c;
        size_t depth;
    };
    std::vector<Item> stack{{&root, 0}};
    while (!stack.empty()) {
        Item it = stack.back();
        stack.pop_back();
        walk w = walkdetail::Call(visit, *it.c, it.depth);
        if (w == walk::stop) return false;
        if (w == walk::over) continue;
        const auto& kids = it.c->kids;
        for (size_t i = kids.size(); i-- > 0;)
            if (kids[i]) stack.push_back({kids[i].get(), it.depth + 1});
    }
    return true;
}

}  // namespace mesh
