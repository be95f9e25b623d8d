#include "literal_engine.h"

#include <algorithm>

#include "literal_oracle.h"

namespace talvik::oracle {

LiteralShells::LiteralShells(const formats::WordVolume& x) : x_(formats::to_bit_volume(x)) {}

ShellCounts LiteralShells::count_shells(const std::vector<formats::DiscretizedBall>& balls,
                                        size_t epsilon_index, const WindowBlocks& blocks,
                                        const ShellSteps& steps) {
    formats::BitVolume xe(x_.width, x_.height, x_.slice_count);
    formats::BitVolume xd(x_.width, x_.height, x_.slice_count);
    steps.reference([&] { dilate(x_, xe, balls[epsilon_index]); }, [&] { complement(xe); });
    ShellCounts counts;
    counts.by_block.assign(blocks.count() * balls.size(), 0);
    for (size_t i = 0; i < balls.size(); ++i) {
        counts.totals.push_back(steps.shell(
            static_cast<unsigned>(i + 1),
            [&] {
                for (formats::SliceBits& plane : xd.planes) {
                    std::fill(plane.bytes.begin(), plane.bytes.end(), 0);
                }
            },
            [&] { dilate(xe, xd, balls[i]); }, [&] { subtract(xd, xe); },
            [&] {
                formats::BitVolume tie_voxels(x_.width, x_.height, x_.slice_count);
                const uint16_t ties = correct_edges(xd, xe, &tie_voxels);
                // Voxel by voxel into the blocks, ties with them.
                std::vector<uint32_t> block_ties(blocks.count(), 0);
                for (int32_t z = 5; z < x_.slice_count - 5; ++z) {
                    for (int32_t y = 5; y < x_.height - 5; ++y) {
                        for (int32_t x = 5; x < x_.width - 5; ++x) {
                            const size_t b = blocks.block_of(x, y, z);
                            counts.by_block[b * balls.size() + i] += xd.get(x, y, z);
                            block_ties[b] += tie_voxels.get(x, y, z);
                        }
                    }
                }
                const std::vector<uint64_t> shares = half_tie_shares(block_ties);
                for (size_t b = 0; b < blocks.count(); ++b) {
                    counts.by_block[b * balls.size() + i] += shares[b];
                }
                return count_window(xd, ties);
            }));
    }
    return counts;
}

RunEngines literal_engines() {
    RunEngines engines;
    engines.shell_counter = [](formats::WordVolume x,
                               const std::vector<formats::DiscretizedBall>&) {
        return std::make_unique<LiteralShells>(x);
    };
    engines.reference_shell_count = [](const formats::DiscretizedBall& ball) {
        return reference_shell_count(ball, ReferenceGeometry{});
    };
    return engines;
}

}  // namespace talvik::oracle
