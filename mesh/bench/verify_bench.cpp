// Verification time on a big mesh: one million chunks, 10,000 models, each
// with a PRNT naming another model, thirteen mesh segments a model. Prints the
// chunk count, the number of findings and the time of each run.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/support/timing.h"
#include "mesh/chunk.h"
#include "mesh/msh.h"
#include "mesh/verify.h"

using mesh::chunk;
using mesh::chunkptr;

namespace {

chunkptr Leaf(const char* name, std::vector<uint8_t> bytes) {
    chunkptr c = chunk::Create(name);
    c->setdata(std::move(bytes));
    return c;
}

chunkptr Zeros(const char* name, int n) { return Leaf(name, std::vector<uint8_t>(size_t(n), 0)); }

chunkptr List(const char* name, int32_t count, int width) {
    std::vector<uint8_t> b(size_t(width) * size_t(count) + 4, 0);
    std::memcpy(b.data(), &count, 4);
    return Leaf(name, std::move(b));
}

chunkptr Text(const char* name, const std::string& s) {
    std::vector<uint8_t> b(s.begin(), s.end());
    do b.push_back(0);
    while (b.size() % 4 != 0);
    return Leaf(name, std::move(b));
}

chunkptr Model(int i) {
    chunkptr m = chunk::Create("MODL");
    m->AppendKid(Zeros("MTYP", 4));
    m->AppendKid(Zeros("MNDX", 4));
    m->AppendKid(Text("NAME", "model" + std::to_string(i)));
    m->AppendKid(Text("PRNT", "model" + std::to_string(i / 2)));
    m->AppendKid(Zeros("FLGS", 4));
    m->AppendKid(Zeros("TRAN", 40));
    chunkptr g = chunk::Create("GEOM");
    g->AppendKid(Zeros("BBOX", 44));
    for (int s = 0; s < 13; ++s) {
        chunkptr seg = chunk::Create("SEGM");
        seg->AppendKid(Zeros("MATI", 4));
        seg->AppendKid(List("POSL", 8, 12));
        seg->AppendKid(List("NRML", 8, 12));
        seg->AppendKid(List("UV0L", 8, 8));
        seg->AppendKid(Zeros("NDXL", 16));
        seg->AppendKid(Zeros("STRP", 16));
        g->AppendKid(seg);
    }
    m->AppendKid(g);
    return m;
}

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

}  // namespace

int main() {
    const int models = 10000;
    mesh::msh m;
    m.hedr = chunk::Create("HEDR");
    chunkptr msh2 = chunk::Create("MSH2");
    m.hedr->AppendKid(msh2);
    msh2->AppendKid(Zeros("MATL", 4));
    for (int i = 0; i < models; ++i) msh2->AppendKid(Model(i));
    m.hedr->AppendKid(Zeros("CL1L", 0));
    m.hedr->Update(1);
    m.updatetotalchunks(nullptr);
    std::printf("mesh: %d chunks, %d MODL with PRNT\n", m.totalchunks, models);

    std::vector<double> times;
    size_t findings = 0;
    for (int run = 0; run < 5; ++run) {
        std::vector<std::string> messages;
        auto t0 = std::chrono::steady_clock::now();
        m.verify(messages, m.errors);
        times.push_back(Seconds(std::chrono::steady_clock::now() - t0));
        findings = messages.size();
    }
    std::sort(times.begin(), times.end());
    std::printf("well-formed: %zu findings, verify min %.1f ms, median %.1f ms, max %.1f ms\n", findings,
                times.front() * 1e3, benchtime::Median(times) * 1e3, times.back() * 1e3);

    // Every PRNT pointing nowhere: each is a finding and its model's name set
    // is still gathered only once.
    for (const chunkptr& k : msh2->kids)
        if (k->name == "MODL") k->RemoveKid(3), k->InsertKid(3, Text("PRNT", "missing"));
    m.hedr->Update(1);
    times.clear();
    for (int run = 0; run < 5; ++run) {
        std::vector<std::string> messages;
        auto t0 = std::chrono::steady_clock::now();
        m.verify(messages, m.errors);
        times.push_back(Seconds(std::chrono::steady_clock::now() - t0));
        findings = messages.size();
    }
    std::sort(times.begin(), times.end());
    std::printf("dangling PRNT: %zu findings, %zu flagged, verify min %.1f ms, median %.1f ms\n", findings,
                m.errors.size(), times.front() * 1e3, benchtime::Median(times) * 1e3);
    return 0;
}
