#include "morphology/window_blocks.h"

#include <algorithm>

#include "morphology/morphology.h"

namespace talvik {
namespace {

std::vector<int32_t> cut(int32_t n, int32_t per_axis, int32_t shortest) {
    const int32_t length = std::max(0, n - 2 * kWindowMargin);
    const int32_t parts = std::clamp(length / std::max(1, shortest), 1, std::max(1, per_axis));
    std::vector<int32_t> edges;
    for (int32_t i = 0; i <= parts; ++i) {
        edges.push_back(kWindowMargin + static_cast<int32_t>(int64_t{length} * i / parts));
    }
    return edges;
}

}  // namespace

WindowBlocks WindowBlocks::whole(int32_t width, int32_t height, int32_t slices) {
    return split(width, height, slices, 1, 1);
}

WindowBlocks WindowBlocks::split(int32_t width, int32_t height, int32_t slices, int32_t per_axis,
                                 int32_t shortest) {
    WindowBlocks blocks;
    blocks.edges_ = {cut(width, per_axis, shortest), cut(height, per_axis, shortest),
                     cut(slices, per_axis, shortest)};
    return blocks;
}

size_t WindowBlocks::block_along(int axis, int32_t c) const {
    const std::vector<int32_t>& e = edges_[static_cast<size_t>(axis)];
    const auto after = std::upper_bound(e.begin() + 1, e.end() - 1, c);
    return static_cast<size_t>(after - e.begin()) - 1;
}

int64_t WindowBlocks::voxels(size_t block) const {
    const size_t bx = block % along(0);
    const size_t by = block / along(0) % along(1);
    const size_t bz = block / along(0) / along(1);
    return int64_t{edge(0, bx + 1) - edge(0, bx)} * (edge(1, by + 1) - edge(1, by)) *
           (edge(2, bz + 1) - edge(2, bz));
}

std::vector<RowSpan> row_spans(const WindowBlocks& blocks, size_t words_per_row) {
    std::vector<RowSpan> spans;
    for (size_t bx = 0; bx < blocks.along(0); ++bx) {
        const int32_t x0 = blocks.edge(0, bx);
        const int32_t x1 = std::max(x0 + 1, blocks.edge(0, bx + 1));
        RowSpan span{static_cast<size_t>(x0) / 64, static_cast<size_t>(x1 - 1) / 64,
                     std::vector<uint64_t>(words_per_row, 0)};
        for (int32_t x = x0; x < blocks.edge(0, bx + 1); ++x) {
            span.mask[static_cast<size_t>(x) / 64] |= uint64_t{1} << (x % 64);
        }
        spans.push_back(std::move(span));
    }
    return spans;
}

std::vector<uint64_t> half_tie_shares(const std::vector<uint32_t>& ties_per_block) {
    std::vector<uint64_t> shares;
    uint64_t running = 0;
    for (const uint32_t ties : ties_per_block) {
        shares.push_back((running + ties) / 2 - running / 2);
        running += ties;
    }
    return shares;
}

}  // namespace talvik
