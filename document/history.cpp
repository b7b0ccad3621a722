// The undo history: recording each change of the mesh, undoing and redoing it.
#include "document/history.h"

#include <algorithm>
#include <cstring>
#include <span>
#include <unordered_map>
#include <unordered_set>

namespace editor {

namespace {

using fields = mesh::chunk::fields;

std::span<const uint8_t> DataOf(const fields& f) {
    if (!f.buf || f.len <= 0) return {};
    return std::span<const uint8_t>(f.buf->data() + f.off, static_cast<size_t>(f.len));
}

bool SameOwn(const fields& a, const fields& b) {
    if (a.name != b.name || a.expanded != b.expanded || a.kids.size() != b.kids.size()) return false;
    for (size_t i = 0; i < a.kids.size(); ++i)
        if (a.kids[i] != b.kids[i]) return false;
    return true;
}

bool SameData(const fields& a, const fields& b) {
    if (a.size != b.size || a.derived != b.derived) return false;
    if (a.derived) return true;  // both produced from the (same) children
    if (a.buf == b.buf && a.off == b.off && a.len == b.len) return true;
    std::span<const uint8_t> x = DataOf(a), y = DataOf(b);
    return x.size() == y.size() && std::equal(x.begin(), x.end(), y.begin());
}

// A data array held through fields, with its size.
void AddArray(const fields& f, std::unordered_map<const void*, size_t>& arrays) {
    if (f.buf && !f.derived) arrays.emplace(f.buf.get(), f.buf->capacity());
}

// The chunks that one side of an entry holds and the other does not, with
// everything below them: what the step alone may keep alive. A chunk is
// counted with its share of the allocation and its lists; its data array
// goes to arrays.
size_t PinnedBytes(const fields& side, const fields& other, std::unordered_map<const void*, size_t>& arrays) {
    std::unordered_set<const mesh::chunk*> kept;
    for (const mesh::chunkptr& k : other.kids) kept.insert(k.get());
    size_t n = 0;
    std::vector<const mesh::chunk*> stack;
    for (const mesh::chunkptr& k : side.kids)
        if (!kept.count(k.get())) stack.push_back(k.get());
    while (!stack.empty()) {
        const mesh::chunk* c = stack.back();
        stack.pop_back();
        n += sizeof(mesh::chunk) + 32 + c->name.capacity() + c->kids.size() * sizeof(mesh::chunkptr);
        if (c->kids.empty()) AddArray(c->take(), arrays);
        for (const mesh::chunkptr& k : c->kids) stack.push_back(k.get());
    }
    return n;
}

}  // namespace

Snapshot Snapshot::Take(const mesh::chunkptr& scope, bool subtree) {
    Snapshot s;
    if (!scope) return s;
    std::vector<mesh::chunk*> stack{scope.get()};
    while (!stack.empty()) {
        mesh::chunk* c = stack.back();
        stack.pop_back();
        Item item{c->shared_from_this(), {}, false};
        if (subtree && c->name == "MATL") {
            // Its data as saved, read without changing the chunk.
            item.matl = true;
            item.f.name = c->name;
            item.f.expanded = c->expanded;
            const int64_t n = std::max<int64_t>(0, c->size);
            item.f.buf = std::make_shared<std::vector<uint8_t>>(static_cast<size_t>(n), 0);
            c->readbytes(0, n, item.f.buf->data());
            item.f.size = static_cast<int32_t>(n);
            item.f.len = n;
            s.chunks.push_back(std::move(item));
            continue;
        }
        item.f = c->take();
        s.chunks.push_back(std::move(item));
        if (!subtree) break;
        for (size_t i = c->kids.size(); i-- > 0;) stack.push_back(c->kids[i].get());
    }
    return s;
}

bool History::Record(const std::string& name, const Snapshot& before, const Snapshot& after,
                     const Place& placebefore, const Place& placeafter) {
    Step step;
    step.name = name;
    step.before = placebefore;
    step.after = placeafter;

    std::unordered_map<const mesh::chunk*, size_t> index;
    for (size_t i = 0; i < after.chunks.size(); ++i) index.emplace(after.chunks[i].c.get(), i);
    std::vector<bool> paired(after.chunks.size(), false);

    auto keep = [&](const mesh::chunkptr& c, const Snapshot::Item* b, const Snapshot::Item* a) {
        Entry e;
        e.c = c;
        e.hasbefore = b != nullptr;
        e.hasafter = a != nullptr;
        if (b) {
            e.before = b->f;
            e.beforematl = b->matl;
        }
        if (a) {
            e.after = a->f;
            e.aftermatl = a->matl;
        }
        // Two leaves with data arrays of their own: only the bytes between
        // the common start and the common end are kept.
        if (b && a && !b->matl && !a->matl && b->f.kids.empty() && a->f.kids.empty() && !b->f.derived &&
            !a->f.derived) {
            std::span<const uint8_t> x = DataOf(b->f), y = DataOf(a->f);
            size_t p = 0;
            const size_t n = std::min(x.size(), y.size());
            while (p < n && x[p] == y[p]) ++p;
            size_t s = 0;
            while (s < n - p && x[x.size() - 1 - s] == y[y.size() - 1 - s]) ++s;
            e.patch = true;
            e.at = static_cast<int64_t>(p);
            e.was.assign(x.begin() + p, x.end() - s);
            e.now.assign(y.begin() + p, y.end() - s);
            e.before.buf.reset();
            e.after.buf.reset();
        }
        step.entries.push_back(std::move(e));
    };

    for (const Snapshot::Item& b : before.chunks) {
        auto it = index.find(b.c.get());
        if (it == index.end()) {
            keep(b.c, &b, nullptr);
            continue;
        }
        paired[it->second] = true;
        const Snapshot::Item& a = after.chunks[it->second];
        const bool containers = !b.f.kids.empty() && !a.f.kids.empty();
        if (b.matl == a.matl && SameOwn(b.f, a.f) && (containers || SameData(b.f, a.f))) continue;
        keep(b.c, &b, &a);
    }
    for (size_t i = 0; i < after.chunks.size(); ++i)
        if (!paired[i]) keep(after.chunks[i].c, nullptr, &after.chunks[i]);
    if (step.entries.empty()) return false;

    step.bytes = sizeof(Step) + step.name.capacity() + step.entries.capacity() * sizeof(Entry);
    std::unordered_map<const void*, size_t> arrays;
    for (Entry& e : step.entries) {
        // A container's data is derived from its children when it is put
        // back: a copy of it made for a reader is not kept.
        for (fields* f : {&e.before, &e.after})
            if (f->derived) {
                f->buf.reset();
                f->off = f->len = 0;
            }
        step.bytes += e.was.capacity() + e.now.capacity() + e.before.name.capacity() + e.after.name.capacity() +
                      (e.before.kids.capacity() + e.after.kids.capacity()) * sizeof(mesh::chunkptr);
        AddArray(e.before, arrays);
        AddArray(e.after, arrays);
        if (e.hasbefore) step.bytes += PinnedBytes(e.before, e.after, arrays);
        if (e.hasafter) step.bytes += PinnedBytes(e.after, e.before, arrays);
    }
    // Everything that may run out of memory comes before the history
    // changes: a failure leaves it as it was.
    step.id = next_;
    try {
        Count(step, arrays);
        steps_.reserve(std::max(steps_.size(), pos_ + 1));
    } catch (const std::bad_alloc&) {
        Uncount(step);
        throw;
    }
    ++next_;
    DropRedo();
    steps_.push_back(std::move(step));
    pos_ = steps_.size();
    Bound();
    return true;
}

void History::Count(Step& s, const std::unordered_map<const void*, size_t>& sizes) {
    s.arrays.reserve(sizes.size());
    bytes_ += s.bytes;
    for (const auto& [p, n] : sizes) {
        s.arrays.push_back(p);
        Array& a = arrays_[p];
        if (a.steps++ == 0) {
            a.bytes = n;
            bytes_ += n;
        }
    }
}

void History::Uncount(const Step& s) {
    bytes_ -= s.bytes;
    for (const void* p : s.arrays) {
        auto it = arrays_.find(p);
        if (it == arrays_.end()) continue;
        if (--it->second.steps == 0) {
            bytes_ -= it->second.bytes;
            arrays_.erase(it);
        }
    }
}

void History::DropRedo() {
    for (size_t i = pos_; i < steps_.size(); ++i) Uncount(steps_[i]);
    steps_.resize(pos_);
}

void History::Bound() {
    if (steps_.size() < 2 || (steps_.size() <= maxsteps_ && bytes_ <= maxbytes_)) return;
    if (notice_.empty() && !noticed_) {
        try {
            notice_ = steps_.size() > maxsteps_
                          ? "undo: oldest steps dropped (history over " + std::to_string(maxsteps_) + " steps)"
                          : "undo: oldest steps dropped (history over " + std::to_string(maxbytes_ >> 20) + " MB)";
        } catch (const std::bad_alloc&) {
        }
    }
    size_t drop = 0;
    while (steps_.size() - drop > 1 && (steps_.size() - drop > maxsteps_ || bytes_ > maxbytes_)) {
        Uncount(steps_[drop]);
        ++drop;
    }
    base_ = steps_[drop - 1].id;
    steps_.erase(steps_.begin(), steps_.begin() + static_cast<std::ptrdiff_t>(drop));
    pos_ -= std::min(pos_, drop);
}

std::string History::TakeNotice() {
    if (noticed_ || notice_.empty()) return "";
    noticed_ = true;
    return std::move(notice_);
}

History::Prepared History::Prepare(const Entry& e, bool forward, Applied& applied) {
    Prepared p;
    p.c = e.c;
    p.target = forward ? e.after : e.before;
    p.matl = forward ? e.aftermatl : e.beforematl;
    if (e.patch) {
        // The chunk holds the other side's data: swap the differing bytes.
        const std::vector<uint8_t>& out = forward ? e.was : e.now;
        const std::vector<uint8_t>& in = forward ? e.now : e.was;
        fields live = e.c->take();
        std::span<const uint8_t> d = DataOf(live);
        const size_t at = static_cast<size_t>(std::min<int64_t>(e.at, static_cast<int64_t>(d.size())));
        const size_t end = std::min(d.size(), at + out.size());
        // Written in place when the array is this chunk's alone (the chunk
        // and `live` hold it) and keeps its length; copied otherwise.
        if (in.size() == end - at && live.buf && live.buf.use_count() == 2) {
            p.in = &in;
            p.at = static_cast<size_t>(live.off) + at;
            p.target.buf = live.buf;
            p.target.off = live.off;
            p.target.len = live.len;
        } else {
            auto v = std::make_shared<std::vector<uint8_t>>();
            v->reserve(d.size() - (end - at) + in.size());
            v->insert(v->end(), d.begin(), d.begin() + at);
            v->insert(v->end(), in.begin(), in.end());
            v->insert(v->end(), d.begin() + end, d.end());
            p.target.len = static_cast<int64_t>(v->size());
            p.target.off = 0;
            p.target.buf = std::move(v);
        }
    }
    // Children that were not in the list before join the tree.
    std::unordered_set<const mesh::chunk*> had;
    for (const mesh::chunkptr& k : e.c->kids) had.insert(k.get());
    for (const mesh::chunkptr& k : p.target.kids)
        if (!had.count(k.get())) applied.attached.push_back(k);
    return p;
}

void History::Commit(std::vector<Prepared>& todo, Applied& applied) {
    applied.matls.reserve(todo.size());
    // Nothing below allocates: the fields go in all together.
    for (Prepared& p : todo) {
        if (p.in && !p.in->empty()) std::memcpy(p.target.buf->data() + p.at, p.in->data(), p.in->size());
        p.c->put(std::move(p.target));
        if (p.matl) applied.matls.push_back(p.c);
    }
}

History::Applied History::Undo() {
    Applied applied;
    if (!CanUndo()) return applied;
    const Step& s = steps_[pos_ - 1];
    std::vector<Prepared> todo;
    todo.reserve(s.entries.size());
    for (size_t i = s.entries.size(); i-- > 0;)
        if (s.entries[i].hasbefore) todo.push_back(Prepare(s.entries[i], false, applied));
    Commit(todo, applied);
    --pos_;
    return applied;
}

History::Applied History::Redo() {
    Applied applied;
    if (!CanRedo()) return applied;
    const Step& s = steps_[pos_];
    std::vector<Prepared> todo;
    todo.reserve(s.entries.size());
    for (const Entry& e : s.entries)
        if (e.hasafter) todo.push_back(Prepare(e, true, applied));
    Commit(todo, applied);
    ++pos_;
    return applied;
}

History::Applied History::PutBack(Snapshot& s) {
    Applied applied;
    std::vector<Prepared> todo;
    todo.reserve(s.chunks.size());
    for (Snapshot::Item& item : s.chunks) {
        Prepared p;
        p.c = item.c;
        p.matl = item.matl;
        std::unordered_set<const mesh::chunk*> had;
        for (const mesh::chunkptr& k : item.c->kids) had.insert(k.get());
        for (const mesh::chunkptr& k : item.f.kids)
            if (!had.count(k.get())) applied.attached.push_back(k);
        p.target = std::move(item.f);
        todo.push_back(std::move(p));
    }
    Commit(todo, applied);
    return applied;
}

void History::Clear() {
    steps_.clear();
    pos_ = 0;
    saved_ = 0;
    base_ = 0;
    bytes_ = 0;
    arrays_.clear();
    notice_.clear();
    noticed_ = false;
}

mesh::chunkptr NearestInTree(const mesh::chunkptr& c, const mesh::chunkptr& root) {
    // Walking up, every link that is broken (a chunk no longer in its
    // parent's list) makes the parent the lowest candidate.
    mesh::chunkptr lowest = c;
    mesh::chunkptr cur = c;
    while (cur && cur != root) {
        mesh::chunkptr p = cur->getparent();
        if (!p) return nullptr;
        if (p->IndexOfKid(cur.get()) < 0) lowest = p;
        cur = p;
    }
    return cur ? lowest : nullptr;
}

}  // namespace editor
