// Reading a text form's runs ahead on helper threads (see Build in
// textform.h). Nearly all of a large text is runs: the lines of list
// elements and of bytes that a build reads in place under the open chunk.
// What a run gives (its bytes, its count of elements, its lines and where it
// stops) depends only on the text, where it starts, the open chunk's layout
// and its depth. So the text is cut at line starts into parts; a helper per
// part after the first walks its part, works out the open chunk of each run
// it meets from the chunk lines it sees, and reads the run into a buffer of
// its own. The build reads as on one thread, and where it is about to read a
// run that a helper read under the same layout and depth, it takes the
// helper's bytes instead: a wrong guess costs time, never a byte.
//
// The parts are many more than the threads. The helpers take them from the
// last one back, the build from the first on, each part whole, so that they
// meet wherever their speeds make them: the build waits at most for the one
// part a helper is reading where they meet.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <span>
#include <stop_token>
#include <string_view>
#include <thread>
#include <vector>

#include "format/records.h"
#include "mesh/msh.h"
#include "textform/textform.h"

namespace textform {

// A build's reading of the run at a under one open chunk of this layout at
// this depth, into out (build.cpp); lines and items count what it read.
// limit is the start of a line at or before the text's last '\n' + 1.
size_t ReadRun(std::string_view text, size_t a, size_t limit, const format::RecordLayout* layout, size_t depth,
               std::vector<uint8_t>& out, uint32_t& items, size_t& lines);

class Ahead {
public:
    // Cuts the text (up to limit, one past its last '\n') and starts the
    // helpers; a helper that cannot be started leaves its part to the build.
    Ahead(std::string_view text, size_t limit, const Spread& spread);
    ~Ahead();
    Ahead(const Ahead&) = delete;
    Ahead& operator=(const Ahead&) = delete;

    // The build's reading of the runs from a (b.Run), with the runs the
    // helpers read taken where they match b's open chunk (b.Top) and fit
    // in a file next to out (b.Take). Where the runs end.
    template <class B>
    size_t Run(B& b, const std::vector<uint8_t>& out, std::string_view text, size_t a, size_t& number);

private:
    struct Record {
        size_t start, stop;  // the lines it read
        const format::RecordLayout* layout;
        size_t depth;
        size_t from, to;  // its bytes in the part's buffer
        uint32_t items;
        size_t lines;
        bool cut;  // it stopped at the end of what it was given to read, not at a line of another kind
    };
    // Who reads a part: nobody yet, a helper (then it is read), or the build.
    enum State : int { kFree, kReading, kRead, kBuild };
    struct Part {
        size_t begin = 0, end = 0;
        std::vector<uint8_t> bytes;
        std::vector<Record> records;
        size_t next = 0;  // the first record the build has not passed
        size_t cap = 0;   // its helper reads no more runs once its buffer holds this much
        std::atomic<int> state{kFree};
    };
    // A helper: takes the last part nobody has taken, reads it, and so on.
    void Help(std::stop_token stop);
    void Read(Part& p, std::stop_token stop);
    // The part that holds a (a never goes back): the build's own, or one a
    // helper has read whole.
    Part& At(size_t a);
    const Record* Find(Part& p, size_t a, const format::RecordLayout* layout, size_t depth);

    std::string_view text_;
    size_t limit_;
    std::deque<Part> parts_;  // parts stay where they are made (they hold atomics)
    std::atomic<size_t> left_;  // the parts before it are left to the build or taken
    size_t current_ = 0;
    std::vector<std::jthread> helpers_;
};

template <class B>
size_t Ahead::Run(B& b, const std::vector<uint8_t>& out, std::string_view text, size_t a, size_t& number) {
    for (;;) {
        const format::RecordLayout* layout = nullptr;
        size_t depth = 0;
        if (!b.Top(layout, depth)) return b.Run(text, a, limit_, number);
        Part& p = At(a);
        const Record* r = Find(p, a, layout, depth);
        // The test of size is the one the build's own reading makes at any
        // line of the run, so that a file too large fails as it does there.
        if (r && out.size() + (r->to - r->from) + (r->stop - r->start) <=
                     static_cast<size_t>(mesh::msh::kMaxFileBytes)) {
            b.Take(std::span(p.bytes).subspan(r->from, r->to - r->from), r->items);
            number += r->lines;
            a = r->stop;
            if (!r->cut) return a;
            continue;
        }
        // Read up to the next part, where the helpers' runs are looked up again.
        const size_t end = std::max(a, p.end);
        const size_t stop = b.Run(text, a, end, number);
        if (stop != end || end >= limit_) return stop;
        a = stop;
    }
}

}  // namespace textform
