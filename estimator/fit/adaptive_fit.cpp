#include "fit/adaptive_fit.h"

#include "formats/numbers.h"

namespace talvik {
namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kFourThirdsPi = 4.1887902047863905;

// The weight w of chi6 - chi26. A linear extrapolation in the width of the gaps that an
// adjacency joins across: w = g6 / (g26 - g6). The width is not one number (it depends on the
// gap's direction and on how much of the facing surfaces lies within it), so w was chosen on
// the five models that bench/accuracy.sh marks tuned, from data sets of other seeds than its
// own: their V0 was right for w between 0.16 and 0.32, and 0.2 gave the smallest errors of all
// three volumes together.
constexpr double kJoinWeight = 0.2;

}  // namespace

WindowMeasures window_measures(const ShellCounts& shells, const CellCounts& cells,
                               const WindowBlocks& blocks, size_t left_out) {
    int64_t voxels = 0;
    for (size_t b = 0; b < blocks.count(); ++b) {
        voxels += b == left_out ? 0 : blocks.voxels(b);
    }
    const double window = static_cast<double>(voxels);
    WindowMeasures measures;
    for (size_t d = 0; d < shells.totals.size(); ++d) {
        const uint64_t count =
            shells.totals[d] - (left_out == kWholeWindow ? 0 : shells.in_block(left_out, d));
        measures.fractions.push_back(static_cast<double>(count) / window);
    }
    const CellCounts::Sums sums = cells.without(left_out);
    measures.xe_fraction = static_cast<double>(sums.voxels) / window;
    measures.euler6 = static_cast<double>(sums.euler6) / window;
    measures.euler26 = static_cast<double>(sums.euler26) / window;
    return measures;
}

double gap_joins(const WindowMeasures& measures) {
    return kJoinWeight * (measures.euler6 - measures.euler26);
}

double euler_v0(const WindowMeasures& measures) {
    return measures.euler6 + gap_joins(measures);
}

FitMatrices euler_fit_matrices(const WindowMeasures& measures, const std::vector<double>& de) {
    const uint32_t n = static_cast<uint32_t>(de.size());
    FitMatrices fit = create_fit_matrices(n);
    const double v0 = euler_v0(measures);
    for (uint32_t i = 0; i < n; ++i) {
        const double d = de[i];
        fit.m.at(0, i) = 2.0 * d;
        fit.m.at(1, i) = kPi * d * d;
        fit.m.at(2, i) = d * d * d * d;
        fit.v.at(i, 0) = measures.fractions[i] - kFourThirdsPi * v0 * d * d * d;
    }
    return fit;
}

IntrinsicVolumes adaptive_volumes(const WindowMeasures& measures, const std::vector<double>& de,
                                  size_t balls_used, const VerboseLog& log) {
    const double joins = gap_joins(measures);
    const double v0 = euler_v0(measures);
    if (log.enabled()) {
        log("V0 from the Euler characteristic of Xe per voxel: %s with 6-adjacency, %s with "
            "26-adjacency; %s joins across gaps below a voxel (%s times their difference); "
            "V0 = %s\n",
            formats::general(measures.euler6, 6).c_str(),
            formats::general(measures.euler26, 6).c_str(), formats::general(joins, 6).c_str(),
            formats::general(kJoinWeight, 3).c_str(), formats::general(v0, 6).c_str());
        log("V2 and V1 by least squares over balls 1..%zu of V - 4/3 pi V0 de^3 = 2 V2 de - pi "
            "V1 de^2 + c de^4:\n",
            balls_used);
    }
    const FitMatrices fit = euler_fit_matrices(measures, de);
    show_matrix(log, "matrix V less 4/3 pi V0 de^3:\n", fit.v);
    show_matrix(log, "matrix M of 2 de, pi de^2 and de^4:\n", fit.m);
    const IntrinsicVolumes fitted = solve_balls(fit, static_cast<uint32_t>(balls_used), log);
    // Where grains face each other across a gap narrower than a voxel the digital Xe has no
    // pore, so the facing surface is missing from the shells: for grains of radius r about
    // pi r per join (the caps of both grains that lie within a voxel of each other, averaged
    // over the gap). r is taken as 3 V3 / S of Xe, a ball's ratio of volume to surface.
    IntrinsicVolumes volumes{fitted.v2, fitted.v1, v0};
    if (fitted.v2 > 0.0) {
        const double radius = 3.0 * measures.xe_fraction / (2.0 * fitted.v2);
        volumes.v2 += 0.5 * kPi * radius * joins;
        if (log.enabled()) {
            log("V2 = %s fitted + %s, the surface hidden where grains join (radius %s)\n",
                formats::general(fitted.v2, 6).c_str(),
                formats::general(volumes.v2 - fitted.v2, 6).c_str(),
                formats::general(radius, 4).c_str());
        }
    }
    return volumes;
}

}  // namespace talvik
