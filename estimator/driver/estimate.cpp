#include "driver/estimate.h"

#include "fit/reference_shell.h"
#include "formats/errors.h"
#include "morphology/morphology.h"

namespace talvik {

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
    const std::unique_ptr<ShellCounter> shells = engines.shell_counter(std::move(x), balls.balls);

    FitMatrices fit = create_fit_matrices(static_cast<uint32_t>(balls.balls.size()));
    compute_de(balls.balls, fit.m, log, engines.reference_shell_count);
    if (balls.de_missing) {
        balls.de_missing = false;
        if (store_de) {
            store_de(balls);
        }
    }
    const size_t epsilon = static_cast<size_t>(request.epsilon_index);
    formats::fatal_unless(request.epsilon_index >= 0 && epsilon < balls.balls.size(), 1,
                          "Given epsilon '%d' is out of range.\n", request.epsilon_index + 1);
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
    const std::vector<uint64_t> counts =
        shells->count_shells(balls.balls, epsilon, ShellSteps(log));
    Estimate result;
    for (size_t i = 0; i < counts.size(); ++i) {
        fit.v.at(static_cast<uint32_t>(i), 0) = static_cast<double>(counts[i]) / window;
        result.fractions.push_back(fit.v.at(static_cast<uint32_t>(i), 0));
    }
    for (const formats::DiscretizedBall& ball : balls.balls) {
        result.de.push_back(ball.de);
    }
    result.volumes = solve(fit, log);
    return result;
}

}  // namespace talvik
