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

std::vector<uint64_t> WordShells::count_shells(const std::vector<formats::DiscretizedBall>& balls,
                                               size_t epsilon_index, const ShellSteps& steps) {
    steps.reference([&] { dilate(x_, xe_, balls[epsilon_index], threads_); },
                    [&] { complement(xe_); });
    std::vector<uint64_t> counts;
    for (size_t i = 0; i < balls.size(); ++i) {
        counts.push_back(steps.shell(
            static_cast<unsigned>(i + 1), [&] { clear_volume(xd_); },
            [&] { dilate(xe_, xd_, balls[i], threads_); }, [&] { subtract(xd_, xe_); },
            [&] { return count_window(xd_, correct_edges(xd_, xe_)); }));
    }
    return counts;
}

}  // namespace talvik
