#include "shells.h"

#include "morphology.h"

namespace talvik {

void measure_shells(MorphologyEngine& engine, const VolumeShape& shape,
                    const std::vector<DiscretizedBall>& balls, size_t epsilon_index, Matrix& v,
                    const VerboseLog& log) {
    log("generating data set Xe...\n");
    engine.dilate_data_set(balls[epsilon_index]);
    log("done\n");
    log("generating data set (Xe)*...\n");
    engine.complement_dilated();
    log("done\n");
    const double window = static_cast<double>(window_size(shape.width, shape.height, shape.slices));
    for (size_t i = 0; i < balls.size(); ++i) {
        const unsigned d = static_cast<unsigned>(i + 1);
        log("clearing data set ((Xe)*)d\n");
        engine.clear_work();
        log("done\n");
        log("generating data set ((Xe)*)d [d = %2u]...\n", d);
        engine.dilate_complement(balls[i]);
        log("done\n");
        log("generating data set ((Xe)*)d\\(Xe)* [d = %2u]...\n", d);
        engine.subtract_complement();
        log("done\n");
        const uint64_t volume = engine.corrected_shell_count();
        log("volume of ((Xe)*)d\\(Xe)* [d = %2u]: %lu\n", d, static_cast<unsigned long>(volume));
        v.at(static_cast<uint32_t>(i), 0) = static_cast<double>(volume) / window;
    }
}

}  // namespace talvik
