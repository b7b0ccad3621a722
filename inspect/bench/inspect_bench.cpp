// Time of the inspector's work for one frame of a list: the inspection of
// the chunk and the decoding of the rows a window shows (40), scrolled to the
// middle. A POSL of 1,000,000 vertices beside one of 10 (the baseline): the
// two should cost the same.
#include <benchmark/benchmark.h>

#include <cstring>

#include "inspect/inspect.h"

namespace {

constexpr int kRowsShown = 40;

mesh::chunkptr Positions(int n) {
    std::vector<uint8_t> b(4 + 12 * static_cast<size_t>(n));
    const uint32_t count = static_cast<uint32_t>(n);
    std::memcpy(b.data(), &count, 4);
    for (int i = 0; i < 3 * n; ++i) {
        const float f = static_cast<float>(i) * 0.125f;
        std::memcpy(b.data() + 4 + 4 * i, &f, 4);
    }
    mesh::chunkptr c = mesh::chunk::Create("POSL");
    c->setdata(std::move(b));
    return c;
}

void BM_PositionsFrame(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    mesh::chunkptr c = Positions(n);
    for (auto _ : state) {
        mesh::Inspection in = mesh::Inspect(c, nullptr);
        const int64_t first = std::max<int64_t>(0, in.rows / 2 - kRowsShown / 2);
        size_t chars = 0;
        for (int64_t i = first; i < std::min(in.rows, first + kRowsShown); ++i) {
            mesh::InspectLine l = in.Row(i);
            for (const mesh::InspectValue& f : l.fields) chars += f.text.size();
        }
        benchmark::DoNotOptimize(chars);
    }
}
BENCHMARK(BM_PositionsFrame)->Arg(10)->Arg(1000000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
