#include "shells.h"

#include "morphology.h"

namespace talvik {

ShellMeasurement::ShellMeasurement(MorphologyEngine& engine, WordVolume x,
                                   const std::vector<DiscretizedBall>& balls)
    : engine_(engine),
      shape_{x.width(), x.height(), x.slices()},
      all_at_once_(engine.counts_all_shells(balls)) {
    if (all_at_once_) {
        x_ = std::move(x);
        return;
    }
    x_volume_ = engine_.adopt(std::move(x));
    xe_ = engine_.create(shape_);
    xd_ = engine_.create(shape_);
}

void ShellMeasurement::measure(const std::vector<DiscretizedBall>& balls, size_t epsilon_index,
                               Matrix& v, const VerboseLog& log) {
    std::vector<uint64_t> counts;
    log("generating data set Xe...\n");
    if (all_at_once_) {
        counts = engine_.all_shell_counts(x_, balls, epsilon_index);
    } else {
        engine_.dilate(*x_volume_, *xe_, balls[epsilon_index]);
    }
    log("done\n");
    log("generating data set (Xe)*...\n");
    if (!all_at_once_) {
        engine_.complement(*xe_);
    }
    log("done\n");
    const double window =
        static_cast<double>(window_size(shape_.width, shape_.height, shape_.slices));
    for (size_t i = 0; i < balls.size(); ++i) {
        const unsigned d = static_cast<unsigned>(i + 1);
        log("clearing data set ((Xe)*)d\n");
        if (!all_at_once_) {
            engine_.clear(*xd_);
        }
        log("done\n");
        log("generating data set ((Xe)*)d [d = %2u]...\n", d);
        if (!all_at_once_) {
            engine_.dilate(*xe_, *xd_, balls[i]);
        }
        log("done\n");
        log("generating data set ((Xe)*)d\\(Xe)* [d = %2u]...\n", d);
        if (!all_at_once_) {
            engine_.subtract(*xd_, *xe_);
        }
        log("done\n");
        const uint64_t volume = all_at_once_ ? counts[i] : engine_.corrected_count(*xd_, *xe_);
        log("volume of ((Xe)*)d\\(Xe)* [d = %2u]: %lu\n", d, static_cast<unsigned long>(volume));
        v.at(static_cast<uint32_t>(i), 0) = static_cast<double>(volume) / window;
    }
}

}  // namespace talvik
