// Frame records: what a frame draws, their comparison, and the rectangles
// in which two of them paint differently.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "host/host.h"

namespace host {

// ---- FrameRecord -----------------------------------------------------------

static bool SameQuad(const Quad& a, const Quad& b) {
    return a.x == b.x && a.y == b.y && a.w == b.w && a.h == b.h && a.image == b.image && a.frame == b.frame &&
           a.r == b.r && a.g == b.g && a.b == b.b;
}

static bool SameOp(const FrameRecord::Op& a, const FrameRecord::Op& b) {
    const GridView &g = a.grid, &h = b.grid;
    return a.kind == b.kind && a.at == b.at && a.count == b.count && a.revision == b.revision && a.rgb[0] == b.rgb[0] &&
           a.rgb[1] == b.rgb[1] && a.rgb[2] == b.rgb[2] && g.x == h.x && g.y == h.y && g.cols == h.cols &&
           g.rows == h.rows && g.cellw == h.cellw && g.cellh == h.cellh && g.transparent == h.transparent &&
           g.fgimage == h.fgimage && g.bgimage == h.bgimage;
}

void FrameRecord::Clear(uint8_t r, uint8_t g, uint8_t b) {
    Reset();
    Op op;
    op.kind = Op::kClear;
    op.rgb[0] = r;
    op.rgb[1] = g;
    op.rgb[2] = b;
    ops_.push_back(op);
}

void FrameRecord::Add(const Quad* quads, size_t count) {
    if (count == 0) return;
    Op op;
    op.kind = Op::kQuads;
    op.at = quads_.size();
    op.count = count;
    ops_.push_back(op);
    quads_.insert(quads_.end(), quads, quads + count);
}

void FrameRecord::Add(const GridView& v) {
    if (v.cols <= 0 || v.rows <= 0 || !v.cells || !v.palette) return;
    Op op;
    op.kind = Op::kGrid;
    op.at = bytes_.size();
    op.count = size_t(v.cols) * size_t(v.rows) * 3;
    op.grid = v;
    op.grid.cells = nullptr;
    op.grid.palette = nullptr;
    bytes_.insert(bytes_.end(), v.cells, v.cells + op.count);
    bytes_.insert(bytes_.end(), v.palette, v.palette + 768);
    ops_.push_back(op);
}

void FrameRecord::AddImage(const Quad& quad) {
    if (!quad.image) return;
    Op op;
    op.kind = Op::kImage;
    op.at = quads_.size();
    op.count = 1;
    op.revision = quad.image->revision;
    ops_.push_back(op);
    quads_.push_back(quad);
}

void FrameRecord::Reset() {
    ops_.clear();
    quads_.clear();
    bytes_.clear();
}

bool FrameRecord::operator==(const FrameRecord& o) const {
    if (ops_.size() != o.ops_.size() || quads_.size() != o.quads_.size() || bytes_ != o.bytes_) return false;
    for (size_t i = 0; i < ops_.size(); ++i)
        if (!SameOp(ops_[i], o.ops_[i])) return false;
    for (size_t i = 0; i < quads_.size(); ++i)
        if (!SameQuad(quads_[i], o.quads_[i])) return false;
    return true;
}

// ---- damage between two records ---------------------------------------------

namespace {

int64_t Area(const PixelRect& r) { return int64_t(r.w) * r.h; }

PixelRect Union(const PixelRect& a, const PixelRect& b) {
    const int x0 = std::min(a.x, b.x), y0 = std::min(a.y, b.y);
    const int x1 = std::max(a.x + a.w, b.x + b.w), y1 = std::max(a.y + a.h, b.y + b.h);
    return {x0, y0, x1 - x0, y1 - y0};
}

// The pixels a rectangle of float coordinates may touch, with a pixel to
// spare for rounding, inside the picture; empty when it touches none.
PixelRect Cover(float x, float y, float w, float h, int width, int height) {
    const int x0 = std::max(0, int(std::floor(x)) - 1), y0 = std::max(0, int(std::floor(y)) - 1);
    const int x1 = std::min(width, int(std::ceil(x + w)) + 1), y1 = std::min(height, int(std::ceil(y + h)) + 1);
    if (x1 <= x0 || y1 <= y0 || !(w > 0) || !(h > 0)) return {};
    return {x0, y0, x1 - x0, y1 - y0};
}

// Rows of changed cells of one grid: one rectangle per run of rows whose
// changed columns overlap.
void GridDamage(const GridView& a, const GridView& b, int width, int height, std::vector<PixelRect>& out) {
    const size_t cells = size_t(a.cols) * size_t(a.rows);
    int run_first = -1, run_last = -1, run_c0 = 0, run_c1 = 0;
    auto close = [&] {
        if (run_first < 0) return;
        const PixelRect r = Cover(a.x + run_c0 * a.cellw, a.y + run_first * a.cellh, (run_c1 - run_c0 + 1) * a.cellw,
                                  (run_last - run_first + 1) * a.cellh, width, height);
        if (r.w > 0) out.push_back(r);
        run_first = -1;
    };
    for (int row = 0; row < a.rows; row++) {
        int c0 = -1, c1 = -1;
        for (int p = 0; p < 3; p++) {
            const uint8_t* x = a.cells + p * cells + size_t(row) * a.cols;
            const uint8_t* y = b.cells + p * cells + size_t(row) * b.cols;
            if (std::memcmp(x, y, size_t(a.cols)) == 0) continue;
            for (int c = 0; c < a.cols; c++)
                if (x[c] != y[c]) {
                    if (c0 < 0 || c < c0) c0 = c;
                    if (c > c1) c1 = c;
                }
        }
        if (c0 < 0) {
            close();
            continue;
        }
        if (run_first >= 0 && c0 <= run_c1 + 1 && c1 + 1 >= run_c0) {
            run_last = row;
            run_c0 = std::min(run_c0, c0);
            run_c1 = std::max(run_c1, c1);
        } else {
            close();
            run_first = run_last = row;
            run_c0 = c0;
            run_c1 = c1;
        }
    }
    close();
}

}  // namespace

std::vector<PixelRect> FrameRecord::DamageSince(const FrameRecord& before, int width, int height) const {
    const std::vector<PixelRect> whole{{0, 0, width, height}};
    if (ops_.size() != before.ops_.size()) return whole;
    std::vector<PixelRect> damage;
    auto quad = [&](const Quad& q) {
        const PixelRect r = Cover(q.x, q.y, q.w, q.h, width, height);
        if (r.w > 0 && (damage.empty() || !(damage.back() == r))) damage.push_back(r);
    };
    for (size_t i = 0; i < ops_.size(); i++) {
        const Op &a = ops_[i], &b = before.ops_[i];
        Op same = b;  // b with a's place and revision: equal to a when only contents differ
        same.at = a.at;
        same.revision = a.revision;
        if (!SameOp(a, same)) return whole;  // another kind, colour, count or grid geometry
        switch (a.kind) {
            case Op::kClear:
                break;
            case Op::kQuads:
            case Op::kImage:
                for (size_t k = 0; k < a.count; k++) {
                    const Quad &p = quads_[a.at + k], &q = before.quads_[b.at + k];
                    if (SameQuad(p, q) && a.revision == b.revision) continue;
                    quad(p);
                    quad(q);
                }
                break;
            case Op::kGrid: {
                const GridView ga = GridOf(a), gb = before.GridOf(b);
                if (std::memcmp(ga.palette, gb.palette, 768) != 0) {
                    quad(Quad{ga.x, ga.y, ga.cols * ga.cellw, ga.rows * ga.cellh});
                    break;
                }
                GridDamage(ga, gb, width, height, damage);
                break;
            }
        }
        if (damage.size() > 64) return whole;  // too scattered to be worth the clipping
    }
    // Fewest pixels: merge the pair whose union adds least until few enough.
    while (damage.size() > kMaxDamage) {
        size_t bi = 0, bj = 1;
        int64_t best = INT64_MAX;
        for (size_t i = 0; i < damage.size(); i++)
            for (size_t j = i + 1; j < damage.size(); j++) {
                const int64_t grow = Area(Union(damage[i], damage[j])) - Area(damage[i]) - Area(damage[j]);
                if (grow < best) {
                    best = grow;
                    bi = i;
                    bj = j;
                }
            }
        damage[bi] = Union(damage[bi], damage[bj]);
        damage.erase(damage.begin() + std::ptrdiff_t(bj));
    }
    return damage;
}

GridView FrameRecord::GridOf(const Op& op) const {
    GridView v = op.grid;
    v.cells = bytes_.data() + op.at;
    v.palette = bytes_.data() + op.at + op.count;
    return v;
}

}  // namespace host
