#include "fit/jackknife.h"

#include <cmath>
#include <limits>

namespace talvik {

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

IntrinsicVolumes block_jackknife(size_t blocks,
                                 const std::function<IntrinsicVolumes(size_t)>& left_out_estimate) {
    std::vector<IntrinsicVolumes> fits;
    for (size_t b = 0; b < blocks && blocks >= 2; ++b) {
        fits.push_back(left_out_estimate(b));
    }
    return jackknife_standard_errors(fits);
}

}  // namespace talvik
