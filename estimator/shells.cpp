#include "shells.h"

#include "morphology.h"

namespace talvik {

void measure_shells(const WordVolume& x, WordVolume& xe, WordVolume& xd,
                    const std::vector<DiscretizedBall>& balls, size_t epsilon_index, Matrix& v,
                    const VerboseLog& log, unsigned threads) {
    log("generating data set Xe...\n");
    dilate(x, xe, balls[epsilon_index], threads);
    log("done\n");
    log("generating data set (Xe)*...\n");
    complement(xe);
    log("done\n");
    const double window = static_cast<double>(window_size(x));
    for (size_t i = 0; i < balls.size(); ++i) {
        const unsigned d = static_cast<unsigned>(i + 1);
        log("clearing data set ((Xe)*)d\n");
        clear_volume(xd);
        log("done\n");
        log("generating data set ((Xe)*)d [d = %2u]...\n", d);
        dilate(xe, xd, balls[i], threads);
        log("done\n");
        log("generating data set ((Xe)*)d\\(Xe)* [d = %2u]...\n", d);
        subtract(xd, xe);
        log("done\n");
        const uint16_t ties = correct_edges(xd, xe);
        const uint64_t volume = count_window(xd, ties);
        log("volume of ((Xe)*)d\\(Xe)* [d = %2u]: %lu\n", d, static_cast<unsigned long>(volume));
        v.at(static_cast<uint32_t>(i), 0) = static_cast<double>(volume) / window;
    }
}

}  // namespace talvik
