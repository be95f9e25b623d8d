#include "shells/word_shells.h"

#include <new>

#include "formats/errors.h"
#include "morphology/dilation.h"
#include "morphology/edge_correction.h"
#include "morphology/morphology.h"

namespace talvik {
namespace {

formats::WordVolume create_like(const formats::WordVolume& x) {
    try {
        return formats::WordVolume(x.width(), x.height(), x.slices());
    } catch (const std::bad_alloc&) {
        formats::fatal("Memory allocation error.\n");
    }
}

}  // namespace

WordShells::WordShells(formats::WordVolume x, unsigned threads)
    : threads_(threads), x_(std::move(x)), xe_(create_like(x_)), xd_(create_like(x_)) {}

ShellCounts WordShells::count_shells(const std::vector<formats::DiscretizedBall>& balls,
                                     size_t epsilon_index, const WindowBlocks& blocks,
                                     const ShellSteps& steps) {
    steps.reference([&] { dilate(x_, xe_, balls[epsilon_index], threads_); },
                    [&] { complement(xe_); });
    ShellCounts counts;
    counts.by_block.assign(blocks.count() * balls.size(), 0);
    for (size_t i = 0; i < balls.size(); ++i) {
        counts.totals.push_back(steps.shell(
            static_cast<unsigned>(i + 1), [&] { clear_volume(xd_); },
            [&] { dilate(xe_, xd_, balls[i], threads_); }, [&] { subtract(xd_, xe_); },
            [&] {
                std::vector<uint32_t> ties(blocks.count(), 0);
                const uint16_t total_ties = correct_edges(xd_, xe_, blocks, ties);
                const std::vector<uint64_t> shares = half_tie_shares(ties);
                // One block is the window: its count is the total.
                const std::vector<uint64_t> voxels =
                    blocks.count() > 1 ? count_blocks(xd_, blocks) : std::vector<uint64_t>{};
                const uint64_t total = count_window(xd_, total_ties);
                for (size_t b = 0; b < blocks.count(); ++b) {
                    counts.by_block[b * balls.size() + i] =
                        blocks.count() > 1 ? voxels[b] + shares[b] : total;
                }
                return total;
            }));
    }
    return counts;
}

}  // namespace talvik
