// Edge correction at the corners of the measuring window. It visits at most a few thousand
// voxels, so it reads voxels one at a time.
#include "morphology/edge_correction.h"

#include <algorithm>
#include <array>

#include "morphology/morphology.h"

namespace talvik {
namespace {

// Squared distances 0 .. 75 within the search cube.
constexpr int32_t kLargestSquare = 3 * kSearchReach * kSearchReach;

struct Offset {
    int32_t dx, dy, dz;
};

// Offsets of the 11 x 11 x 11 cube grouped by squared length.
const std::array<std::vector<Offset>, kLargestSquare + 1>& offsets_by_square() {
    static const auto table = [] {
        std::array<std::vector<Offset>, kLargestSquare + 1> t;
        for (int32_t dz = -kSearchReach; dz <= kSearchReach; ++dz) {
            for (int32_t dy = -kSearchReach; dy <= kSearchReach; ++dy) {
                for (int32_t dx = -kSearchReach; dx <= kSearchReach; ++dx) {
                    t[dx * dx + dy * dy + dz * dz].push_back({dx, dy, dz});
                }
            }
        }
        return t;
    }();
    return table;
}

bool in_window(const ReferencePlanes& v, int32_t x, int32_t y, int32_t z) {
    return x >= kWindowMargin && x < v.width() - kWindowMargin && y >= kWindowMargin &&
           y < v.height() - kWindowMargin && z >= kWindowMargin && z < v.slices() - kWindowMargin;
}

}  // namespace

ReferencePlanes::ReferencePlanes(int32_t width, int32_t height, int32_t slices,
                                 size_t words_per_row, int32_t first_row)
    : width_(width),
      height_(height),
      slices_(slices),
      words_per_row_(words_per_row),
      first_row_(first_row),
      planes_(static_cast<size_t>(std::max(slices, 0)), nullptr) {}

ReferencePlanes::ReferencePlanes(const formats::WordVolume& volume)
    : ReferencePlanes(volume.width(), volume.height(), volume.slices(), volume.words_per_row()) {
    for (int32_t z = 0; z < volume.slices(); ++z) {
        set_plane(z, volume.plane(z));
    }
}

std::vector<int32_t> band_set(int32_t n) {
    std::vector<int32_t> band;
    if (n > 20) {
        for (int32_t c = 5; c <= 9; ++c) {
            band.push_back(c);
        }
        for (int32_t c = n - 10; c <= n - 6; ++c) {
            band.push_back(c);
        }
    } else {
        for (int32_t c = 5; c <= n - 6; ++c) {
            band.push_back(c);
        }
    }
    return band;
}

Side nearest_side(const ReferencePlanes& reference, int32_t x, int32_t y, int32_t z,
                  uint16_t& ties) {
    for (const std::vector<Offset>& shell : offsets_by_square()) {
        bool inner = false;
        bool outer = false;
        for (const Offset& o : shell) {
            const int32_t px = x + o.dx;
            const int32_t py = y + o.dy;
            const int32_t pz = z + o.dz;
            if (px < 0 || py < 0 || pz < 0 || px >= reference.width() || py >= reference.height() ||
                pz >= reference.slices() || !reference.get(px, py, pz)) {
                continue;
            }
            (in_window(reference, px, py, pz) ? inner : outer) = true;
        }
        if (inner && !outer) {
            return Side::keep;
        }
        if (inner && outer) {
            ++ties;
            return Side::remove;
        }
        if (outer) {
            return Side::remove;
        }
    }
    return Side::remove;
}

uint16_t correct_edges(formats::WordVolume& shell, const formats::WordVolume& reference) {
    std::vector<uint32_t> ties_per_block(1, 0);
    return correct_edges(shell, reference,
                         WindowBlocks::whole(shell.width(), shell.height(), shell.slices()),
                         ties_per_block);
}

uint16_t correct_edges(formats::WordVolume& shell, const formats::WordVolume& reference,
                       const WindowBlocks& blocks, std::vector<uint32_t>& ties_per_block) {
    uint16_t ties = 0;
    if (shell.width() <= 10 || shell.height() <= 10 || shell.slices() <= 10) {
        return ties;
    }
    const std::vector<int32_t> xs = band_set(shell.width());
    const std::vector<int32_t> ys = band_set(shell.height());
    const std::vector<int32_t> zs = band_set(shell.slices());
    const ReferencePlanes planes(reference);
    for (int32_t z : zs) {
        for (int32_t y : ys) {
            for (int32_t x : xs) {
                if (!shell.get(x, y, z)) {
                    continue;
                }
                const uint16_t before = ties;
                if (nearest_side(planes, x, y, z, ties) == Side::remove) {
                    shell.reset(x, y, z);
                }
                ties_per_block[blocks.block_of(x, y, z)] += ties - before;
            }
        }
    }
    return ties;
}

}  // namespace talvik
