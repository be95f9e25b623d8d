#include "fit/jackknife.h"

#include <cmath>
#include <limits>

namespace talvik {

std::vector<double> fractions_without(const ShellCounts& counts, const WindowBlocks& blocks,
                                      size_t left_out, size_t balls) {
    int64_t window = 0;
    for (size_t b = 0; b < blocks.count(); ++b) {
        window += b == left_out ? 0 : blocks.voxels(b);
    }
    std::vector<double> fractions;
    for (size_t d = 0; d < balls; ++d) {
        const uint64_t count = counts.totals[d] - counts.in_block(left_out, d);
        fractions.push_back(static_cast<double>(count) / static_cast<double>(window));
    }
    return fractions;
}

IntrinsicVolumes jackknife_standard_errors(const std::vector<IntrinsicVolumes>& left_out_fits) {
    const double n = static_cast<double>(left_out_fits.size());
    if (left_out_fits.size() < 2) {
        const double none = std::numeric_limits<double>::quiet_NaN();
        return {none, none, none};
    }
    IntrinsicVolumes mean;
    for (const IntrinsicVolumes& v : left_out_fits) {
        mean.v2 += v.v2 / n;
        mean.v1 += v.v1 / n;
        mean.v0 += v.v0 / n;
    }
    IntrinsicVolumes squares;
    for (const IntrinsicVolumes& v : left_out_fits) {
        squares.v2 += (v.v2 - mean.v2) * (v.v2 - mean.v2);
        squares.v1 += (v.v1 - mean.v1) * (v.v1 - mean.v1);
        squares.v0 += (v.v0 - mean.v0) * (v.v0 - mean.v0);
    }
    const double factor = (n - 1.0) / n;
    return {std::sqrt(factor * squares.v2), std::sqrt(factor * squares.v1),
            std::sqrt(factor * squares.v0)};
}

IntrinsicVolumes block_jackknife(const FitMatrices& fit, const ShellCounts& counts,
                                 const WindowBlocks& blocks) {
    std::vector<IntrinsicVolumes> fits;
    if (blocks.count() >= 2) {
        FitMatrices partial = fit;
        for (size_t b = 0; b < blocks.count(); ++b) {
            const std::vector<double> v = fractions_without(counts, blocks, b, fit.v.rows);
            for (uint32_t i = 0; i < fit.v.rows; ++i) {
                partial.v.at(i, 0) = v[i];
            }
            fits.push_back(solve(partial, VerboseLog(false)));
        }
    }
    return jackknife_standard_errors(fits);
}

}  // namespace talvik
