#include "literal_engine.h"

#include <algorithm>

#include "literal_oracle.h"

namespace talvik::oracle {

LiteralShells::LiteralShells(const formats::WordVolume& x) : x_(formats::to_bit_volume(x)) {}

std::vector<uint64_t> LiteralShells::count_shells(
    const std::vector<formats::DiscretizedBall>& balls, size_t epsilon_index,
    const ShellSteps& steps) {
    formats::BitVolume xe(x_.width, x_.height, x_.slice_count);
    formats::BitVolume xd(x_.width, x_.height, x_.slice_count);
    steps.reference([&] { dilate(x_, xe, balls[epsilon_index]); }, [&] { complement(xe); });
    std::vector<uint64_t> counts;
    for (size_t i = 0; i < balls.size(); ++i) {
        counts.push_back(steps.shell(
            static_cast<unsigned>(i + 1),
            [&] {
                for (formats::SliceBits& plane : xd.planes) {
                    std::fill(plane.bytes.begin(), plane.bytes.end(), 0);
                }
            },
            [&] { dilate(xe, xd, balls[i]); }, [&] { subtract(xd, xe); },
            [&] { return count_window(xd, correct_edges(xd, xe)); }));
    }
    return counts;
}

RunEngines literal_engines() {
    RunEngines engines;
    engines.shell_counter = [](formats::WordVolume x,
                               const std::vector<formats::DiscretizedBall>&) {
        return std::make_unique<LiteralShells>(x);
    };
    engines.reference_shell_count = [](const formats::DiscretizedBall& ball) {
        return reference_shell_count(ball, ReferenceGeometry{});
    };
    return engines;
}

}  // namespace talvik::oracle
