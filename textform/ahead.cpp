// The parts of a text and the helpers that read their runs ahead (ahead.h).
#include "textform/ahead.h"

#include <cstring>

namespace textform {

namespace {

constexpr size_t kMaxThreads = 8;
constexpr size_t kSplitAbove = size_t(8) << 20;  // a smaller text is read on one thread
constexpr size_t kPartsPerThread = 8, kMaxParts = 256;
constexpr size_t kMaxCap = size_t(512) << 20, kMinCap = size_t(64) << 10;

// The start of the first line at or after at.
size_t LineStart(std::string_view text, size_t at) {
    if (at == 0 || text[at - 1] == '\n') return at;
    const size_t e = text.find('\n', at);
    return e == std::string_view::npos ? text.size() : e + 1;
}

}  // namespace

Ahead::Ahead(std::string_view text, size_t limit, const Spread& spread)
    : text_(text), limit_(limit) {
    size_t threads = spread.threads ? spread.threads : std::thread::hardware_concurrency();
    threads = std::clamp<size_t>(threads, 1, kMaxThreads);
    size_t piece = spread.piece;
    if (!piece) piece = limit > kSplitAbove && threads > 1 ? limit / (kPartsPerThread * threads) + 1 : limit + 1;
    piece = std::max<size_t>(piece, limit / kMaxParts + 1);
    parts_.emplace_back().state = kBuild;
    for (size_t k = 1; threads > 1 && k <= limit / piece; ++k) {
        const size_t begin = LineStart(text, k * piece);
        if (begin >= limit || begin <= parts_.back().begin) continue;
        parts_.back().end = begin;
        parts_.emplace_back().begin = begin;
    }
    parts_.back().end = limit;
    for (Part& p : parts_) p.cap = std::min(kMaxCap, std::max(kMinCap, (p.end - p.begin) / 2));
    left_ = parts_.size();
    // Started once the parts stand where they stay.
    for (size_t k = 1; k < threads && parts_.size() > 1; ++k) {
        try {
            helpers_.emplace_back([this](std::stop_token stop) { Help(stop); });
        } catch (...) {
            // No thread, or no memory for one: the build reads the parts itself.
            break;
        }
    }
}

Ahead::~Ahead() {
    for (std::jthread& h : helpers_) h.request_stop();
    helpers_.clear();  // joins them
}

void Ahead::Help(std::stop_token stop) {
    for (size_t k = left_.load(); k > 1 && !stop.stop_requested(); k = left_.load()) {
        // The last part not taken, unless another helper takes it first.
        if (!left_.compare_exchange_weak(k, k - 1)) continue;
        Part& p = parts_[k - 1];
        int free = kFree;
        if (!p.state.compare_exchange_strong(free, kReading)) return;  // the build is there: nothing left
        Read(p, stop);
        p.state.store(kRead, std::memory_order_release);
        p.state.notify_all();
    }
}

Ahead::Part& Ahead::At(size_t a) {
    while (current_ + 1 < parts_.size() && parts_[current_ + 1].begin <= a) {
        Part& p = parts_[++current_];
        int free = kFree;
        if (p.state.compare_exchange_strong(free, kBuild)) continue;  // no helper came this far
        for (int s = p.state.load(std::memory_order_acquire); s != kRead; s = p.state.load(std::memory_order_acquire))
            p.state.wait(s);
    }
    return parts_[current_];
}

const Ahead::Record* Ahead::Find(Part& p, size_t a, const format::RecordLayout* layout, size_t depth) {
    while (p.next < p.records.size() && p.records[p.next].start < a) ++p.next;
    if (p.next == p.records.size()) return nullptr;
    const Record& r = p.records[p.next];
    return r.start == a && r.layout == layout && r.depth == depth ? &r : nullptr;
}

// The helper of one part. It keeps the chunk lines it has seen that are
// still open, as the build would at the same line, and guesses the layout
// of each as the build works it out from its name and its parent's name
// (none seen: no parent). Runs before its first chunk line are left to the
// build. Any failure ends its reading; what it recorded stays good.
void Ahead::Read(Part& p, std::stop_token stop) {
    struct Level {
        size_t depth;
        std::string_view name;  // empty: a name written with escapes
        const format::RecordLayout* layout;
    };
    try {
        // Lists take about a third of the bytes of their text.
        p.bytes.reserve(std::min(p.cap, (p.end - p.begin) / 3));
        std::vector<Level> open;
        const char* const t = text_.data();
        size_t a = p.begin;
        while (a < p.end && p.bytes.size() < p.cap && !stop.stop_requested()) {
            size_t n = 0;
            while (t[a + n] == ' ') ++n;
            const char c = t[a + n];
            const size_t depth = n / 2;
            const bool item = (c == '-' || c == ':') && (t[a + n + 1] == ' ' || t[a + n + 1] == '\t');
            if (item && n % 2 == 0 && !open.empty() && open.back().depth + 1 == depth) {
                // A run's bytes are at most twice its text: bound what it reads by the room left.
                const size_t room = (p.cap - p.bytes.size()) / 2;
                if (!room) break;
                const size_t end = room < p.end - a ? LineStart(text_, a + room) : p.end;
                Record r{a, a, open.back().layout, open.back().depth, p.bytes.size(), 0, 0, 0, false};
                r.stop = ReadRun(text_, a, std::min(end, p.end), r.layout, r.depth, p.bytes, r.items, r.lines);
                if (r.stop > a) {
                    r.to = p.bytes.size();
                    r.cut = r.stop == std::min(end, p.end);
                    p.records.push_back(r);
                    a = r.stop;
                    continue;
                }
            }
            const size_t e = static_cast<size_t>(static_cast<const char*>(std::memchr(t + a, '\n', limit_ - a)) - t);
            if (c == '#' || c == '\n') {
                a = e + 1;
                continue;
            }
            if (c == '\t' || c == '\r' || n % 2) {
                // Blanks and a comment are nothing to the build; it refuses any
                // other such line: no guesses until the next chunk line.
                size_t q = a + n;
                while (t[q] == ' ' || t[q] == '\t' || t[q] == '\r') ++q;
                if (t[q] != '#' && t[q] != '\n') open.clear();
                a = e + 1;
                continue;
            }
            while (!open.empty() && open.back().depth >= depth) open.pop_back();
            size_t w = a + n;
            while (t[w] != ' ' && t[w] != '\t' && t[w] != '\r' && t[w] != '#' && t[w] != '\n') ++w;
            const std::string_view word(t + a + n, w - a - n);
            if (!item && word != "-" && word != ":" && c != '.') {
                Level l{depth, word.size() == 4 && word.find('\\') == std::string_view::npos ? word : "", nullptr};
                if (const format::ChunkKind* k = l.name.empty() ? nullptr : format::FindKind(l.name))
                    l.layout = &format::LayoutOf(*k, open.empty() ? std::string_view() : open.back().name);
                open.push_back(l);
            }
            a = e + 1;
        }
    } catch (...) {
        // Out of memory or any other failure: the records so far stand.
    }
}

}  // namespace textform
