#include "driver/estimate.h"

#include <cmath>

#include "fit/adaptive_fit.h"
#include "fit/ball_range.h"
#include "fit/jackknife.h"
#include "fit/reference_shell.h"
#include "formats/errors.h"
#include "formats/numbers.h"
#include "morphology/morphology.h"

namespace talvik {
namespace {

// Blocks of the jackknife: with 3 x 3 x 3 the standard errors match the spread between
// independent data sets (bench/accuracy.sh); fewer blocks leave the standard error itself
// more scattered. Shorter blocks than this hold too few grains to vary independently.
constexpr int32_t kBlocksPerAxis = 3;
constexpr int32_t kShortestBlock = 16;
// V0 whose standard error reaches this share of |V0| has no trustworthy digit.
constexpr double kUncertainV0 = 0.5;

// Balls 1 .. k, grown until they determine the fit (the whole file does: the fit of V2, V1
// and the term in de^4 has the same conditions on the de values as the cubic).
size_t determined_range(const FitMatrices& fit, size_t k) {
    while (k < fit.v.rows && !fit_is_determined(first_balls(fit, static_cast<uint32_t>(k)).m)) {
        ++k;
    }
    return k;
}

void add_warnings(Estimate& result) {
    if (result.blocks < 2) {
        result.warnings.push_back(
            {EstimateWarning::Kind::no_standard_error,
             "the measuring window is too small to cut into blocks: no standard errors"});
    }
    const double v0 = std::fabs(result.volumes.v0);
    const double se = result.standard_errors.v0;
    // A V0 of 0 with a standard error of 0 (no set, or all of it) is exact, not uncertain.
    if (std::isfinite(se) && se > 0.0 && se >= kUncertainV0 * v0) {
        result.warnings.push_back(
            {EstimateWarning::Kind::uncertain_v0,
             formats::format_text(
                 "V0 is uncertain: its standard error is %s %% of |V0|, so few of its digits "
                 "mean anything",
                 v0 > 0.0 ? formats::general(100.0 * se / v0, 3).c_str() : "infinitely many")});
    }
}

}  // namespace

Estimate estimate(formats::WordVolume x, formats::BallsFile& balls, const EstimateRequest& request,
                  const RunEngines& engines, const VerboseLog& log,
                  const std::function<void(const formats::BallsFile&)>& store_de) {
    // A window of no voxels would divide every count by zero or less.
    formats::fatal_unless(x.width() > 2 * kWindowMargin && x.height() > 2 * kWindowMargin &&
                              x.slices() > 2 * kWindowMargin,
                          1,
                          "Data set '%s' is too small: it is %d x %d x %d voxels, and the "
                          "measuring window needs at least 11 along every axis.\n",
                          request.data_set_name.c_str(), x.width(), x.height(), x.slices());
    const double window = static_cast<double>(window_size(x.width(), x.height(), x.slices()));
    const WindowBlocks blocks =
        request.adaptive
            ? WindowBlocks::split(x.width(), x.height(), x.slices(), kBlocksPerAxis, kShortestBlock)
            : WindowBlocks::whole(x.width(), x.height(), x.slices());
    const size_t epsilon = static_cast<size_t>(request.epsilon_index);
    const bool epsilon_in_range = request.epsilon_index >= 0 && epsilon < balls.balls.size();
    // Counted before X goes to the shell counter; a wrong epsilon is refused below.
    CellCounts cells;
    if (request.adaptive && epsilon_in_range) {
        log("counting the voxels and the Euler characteristic of Xe...\n");
        cells = engines.xe_cells(x, balls.balls[epsilon], blocks);
        log("done\n");
    }
    const std::unique_ptr<ShellCounter> shells = engines.shell_counter(std::move(x), balls.balls);

    FitMatrices fit = create_fit_matrices(static_cast<uint32_t>(balls.balls.size()));
    compute_de(balls.balls, fit.m, log, engines.reference_shell_count);
    if (balls.de_missing) {
        balls.de_missing = false;
        if (store_de) {
            store_de(balls);
        }
    }
    formats::fatal_unless(epsilon_in_range, 1, "Given epsilon '%d' is out of range.\n",
                          request.epsilon_index + 1);
    // With fewer balls than unknowns the fit has no solution: stop before the long part.
    formats::fatal_unless(balls.balls.size() >= kMinimumBalls, 1,
                          "Cannot fit V2, V1 and V0 with %zu ball%s: the discretized-balls file "
                          "'%s' must hold at least %zu.\n",
                          balls.balls.size(), balls.balls.size() == 1 ? "" : "s",
                          request.balls_name.c_str(), kMinimumBalls);
    check_fit_is_determined(fit.m);

    log("============================================================\n");
    log("  v (e - epsilon, d - delta)\n");
    log("============================================================\n");
    const ShellCounts counts = shells->count_shells(balls.balls, epsilon, blocks, ShellSteps(log));
    Estimate result;
    for (size_t i = 0; i < counts.totals.size(); ++i) {
        fit.v.at(static_cast<uint32_t>(i), 0) = static_cast<double>(counts.totals[i]) / window;
        result.fractions.push_back(fit.v.at(static_cast<uint32_t>(i), 0));
    }
    for (const formats::DiscretizedBall& ball : balls.balls) {
        result.de.push_back(ball.de);
    }
    result.balls_used = balls.balls.size();
    if (!request.adaptive) {
        result.volumes = solve(fit, log);
        return result;
    }

    const BallRange range = choose_ball_range(result.fractions, result.de);
    const WindowMeasures whole = window_measures(counts, cells, blocks);
    const FitMatrices euler_fit = euler_fit_matrices(whole, result.de);
    result.balls_used = determined_range(euler_fit, range.used);
    result.range_reason = range.reason;
    log("range of balls: %s", range.reason.c_str());
    if (result.balls_used != range.used) {
        log("range of balls: 1..%zu, the fewest first balls that determine the fit\n",
            result.balls_used);
    }
    if (range.smallest_flatten) {
        result.warnings.push_back(
            {EstimateWarning::Kind::grains_too_small,
             "the shells flatten from the smallest balls on: the grains are too small for the "
             "voxel size, and the estimates are biased"});
    }
    // The shells and the cubic's M of every ball first, as without "/a": what a reader of the
    // log plots.
    show_model(fit, log);
    result.xe_fraction = whole.xe_fraction;
    result.euler6 = whole.euler6;
    result.euler26 = whole.euler26;
    result.volumes = adaptive_volumes(whole, result.de, result.balls_used, log);
    result.blocks = blocks.count();
    result.standard_errors = block_jackknife(blocks.count(), [&](size_t b) {
        return adaptive_volumes(window_measures(counts, cells, blocks, b), result.de,
                                result.balls_used, VerboseLog(false));
    });
    log("standard errors: delete-one jackknife over %zu blocks (%zu x %zu x %zu) of the "
        "window; condition number of the scaled M*Mt %s\n",
        blocks.count(), blocks.along(0), blocks.along(1), blocks.along(2),
        formats::general(
            scaled_condition(first_balls(euler_fit, static_cast<uint32_t>(result.balls_used)).m), 3)
            .c_str());
    add_warnings(result);
    return result;
}

}  // namespace talvik
