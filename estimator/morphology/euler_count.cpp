#include "morphology/euler_count.h"

#include <algorithm>
#include <bit>

#include "morphology/dilation.h"
#include "morphology/morphology.h"
#include "parallel/parallel_for.h"

namespace talvik {
namespace {

// The counts are popcounts: without the instruction the library's loop takes longer than the
// rest of the count.
#if defined(__x86_64__) && !defined(__clang__)
#define TALVIK_POPCOUNT_CLONES __attribute__((target_clones("popcnt", "default")))
#else
#define TALVIK_POPCOUNT_CLONES
#endif

int64_t ones(uint64_t word) {
    return std::popcount(word);
}

// Bit x of the result is voxel x - 1 of the row.
uint64_t from_lower_x(const uint64_t* row, size_t i) {
    return (row[i] << 1) | (i > 0 ? row[i - 1] >> 63 : 0);
}

// The cells owned by the window voxels of plane z, whose plane z - 1 is `below`, into the
// blocks of that plane.
TALVIK_POPCOUNT_CLONES
void add_plane(const uint64_t* below, const uint64_t* plane, int32_t z, int32_t height, size_t wpr,
               const WindowBlocks& blocks, const std::vector<RowSpan>& spans, CellCounts& counts) {
    for (int32_t y = kWindowMargin; y < height - kWindowMargin; ++y) {
        // The row itself and the rows one lower in y, in z and in both.
        const uint64_t* r = plane + static_cast<size_t>(y) * wpr;
        const uint64_t* ry = r - wpr;
        const uint64_t* rz = below + static_cast<size_t>(y) * wpr;
        const uint64_t* ryz = rz - wpr;
        const size_t base = blocks.block_of(kWindowMargin, y, z);
        for (size_t bx = 0; bx < spans.size(); ++bx) {
            int64_t voxels = 0;
            int64_t euler6 = 0;
            int64_t euler26 = 0;
            for (size_t i = spans[bx].first; i <= spans[bx].last; ++i) {
                const uint64_t m = spans[bx].mask[i];
                const uint64_t a = r[i];
                const uint64_t ax = from_lower_x(r, i);
                const uint64_t ay = ry[i];
                const uint64_t axy = from_lower_x(ry, i);
                const uint64_t az = rz[i];
                const uint64_t axz = from_lower_x(rz, i);
                const uint64_t ayz = ryz[i];
                const uint64_t axyz = from_lower_x(ryz, i);
                // The faces toward -x, -y, -z; the edges along z, y, x; the corner vertex.
                const uint64_t fx = a & ax, fy = a & ay, fz = a & az;
                const uint64_t ez = fx & ay & axy, ey = fx & az & axz, ex = fy & az & ayz;
                const uint64_t v = ez & az & axz & ayz & axyz;
                voxels += ones(a & m);
                euler6 += ones(a & m) - ones(fx & m) - ones(fy & m) - ones(fz & m) + ones(ez & m) +
                          ones(ey & m) + ones(ex & m) - ones(v & m);
                const uint64_t ux = a | ax, uy = a | ay, uz = a | az;
                const uint64_t uez = ux | ay | axy, uey = ux | az | axz, uex = uy | az | ayz;
                const uint64_t uv = uez | az | axz | ayz | axyz;
                euler26 += ones(uv & m) - ones(uez & m) - ones(uey & m) - ones(uex & m) +
                           ones(ux & m) + ones(uy & m) + ones(uz & m) - ones(a & m);
            }
            counts.voxels[base + bx] += voxels;
            counts.euler6[base + bx] += euler6;
            counts.euler26[base + bx] += euler26;
        }
    }
}

CellCounts empty_counts(const WindowBlocks& blocks) {
    CellCounts counts;
    counts.voxels.assign(blocks.count(), 0);
    counts.euler6.assign(blocks.count(), 0);
    counts.euler26.assign(blocks.count(), 0);
    return counts;
}

// The window's planes in runs, a few per thread. `make_planes()` gives each run a function
// that returns its planes z0 - 1 .. z1 - 1, asked for in ascending order. Each run counts
// into its own counts; integers add up the same in any order.
template <class MakePlanes>
CellCounts count_runs(const formats::WordVolume& volume, const WindowBlocks& blocks,
                      unsigned threads, const MakePlanes& make_planes) {
    CellCounts total = empty_counts(blocks);
    const int32_t z0 = kWindowMargin;
    const int32_t z1 = volume.slices() - kWindowMargin;
    if (volume.width() <= 2 * kWindowMargin || volume.height() <= 2 * kWindowMargin || z1 <= z0) {
        return total;
    }
    const std::vector<RowSpan> spans = row_spans(blocks, volume.words_per_row());
    const int32_t planes = z1 - z0;
    const int64_t runs = std::clamp<int64_t>(planes / 16, 1, 4 * int64_t{std::max(1u, threads)});
    std::vector<CellCounts> parts(static_cast<size_t>(runs), empty_counts(blocks));
    parallel_for(static_cast<size_t>(runs), threads, [&](size_t r) {
        const int64_t run = static_cast<int64_t>(r);
        const int32_t from = z0 + static_cast<int32_t>(planes * run / runs);
        const int32_t to = z0 + static_cast<int32_t>(planes * (run + 1) / runs);
        auto plane = make_planes();
        const uint64_t* below = plane(from - 1);
        for (int32_t z = from; z < to; ++z) {
            const uint64_t* current = plane(z);
            add_plane(below, current, z, volume.height(), volume.words_per_row(), blocks, spans,
                      parts[r]);
            below = current;
        }
    });
    for (const CellCounts& part : parts) {
        for (size_t b = 0; b < blocks.count(); ++b) {
            total.voxels[b] += part.voxels[b];
            total.euler6[b] += part.euler6[b];
            total.euler26[b] += part.euler26[b];
        }
    }
    return total;
}

}  // namespace

CellCounts::Sums CellCounts::without(size_t left_out) const {
    Sums sums;
    for (size_t b = 0; b < voxels.size(); ++b) {
        if (b != left_out) {
            sums.voxels += voxels[b];
            sums.euler6 += euler6[b];
            sums.euler26 += euler26[b];
        }
    }
    return sums;
}

CellCounts count_cells(const formats::WordVolume& volume, const WindowBlocks& blocks,
                       unsigned threads) {
    return count_runs(volume, blocks, threads,
                      [&] { return [&](int32_t z) { return volume.plane(z); }; });
}

CellCounts count_dilated_cells(const formats::WordVolume& x, const formats::DiscretizedBall& ball,
                               const WindowBlocks& blocks, unsigned threads) {
    const size_t wpp = x.words_per_plane();
    return count_runs(x, blocks, threads, [&] {
        // Two planes of the dilation, the current one and the one below, written in turn.
        return [dilation = PlaneDilation(x, ball), buffers = std::vector<uint64_t>(2 * wpp),
                next = size_t{0}, wpp](int32_t z) mutable -> const uint64_t* {
            uint64_t* out = buffers.data() + next * wpp;
            next ^= 1;
            dilation.plane(z, out);
            return out;
        };
    });
}

}  // namespace talvik
