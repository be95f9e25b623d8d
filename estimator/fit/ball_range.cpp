#include "fit/ball_range.h"

#include <algorithm>

#include "formats/errors.h"
#include "formats/numbers.h"

namespace talvik {
namespace {

// A shell at this share of the largest shell fraction has begun to flatten. With V0 taken
// from the Euler characteristic, the term in de^4 of the fit follows the start of the
// flattening; this share and the de below were chosen together with the fit's other constant
// on the tuned models of bench/accuracy.sh.
constexpr double kFlattening = 0.95;
// Balls up to this de are always fitted: fewer leave V2 and V1 to the noise.
constexpr double kAlwaysFitted = 4.5;
// Where the shells pass this share of their plateau, they have flattened for the warning
// about grains too small (below).
constexpr double kFlattened = 0.9;
// Shells that flatten before a ball of this de, or with fewer balls than this before it: the
// grains are too small for the smallest balls to fit either. Dense Boolean models of radii
// 0-1, 1-2 and 2-3 voxels flatten below it (V1 off by -104, +7 and -2 %, V0 by -11, +40 and
// -27 %), of radii 2-4 and larger above it.
constexpr double kSmallestFlattening = 2.5;
constexpr size_t kFewestBeforeFlattening = 3;

}  // namespace

BallRange choose_ball_range(const std::vector<double>& fractions, const std::vector<double>& de) {
    BallRange range;
    const size_t n = fractions.size();
    const double plateau = n == 0 ? 0.0 : *std::max_element(fractions.begin(), fractions.end());
    size_t before = 0;
    while (before < n && fractions[before] <= kFlattening * plateau) {
        ++before;
    }
    size_t unflattened = 0;
    while (unflattened < n && fractions[unflattened] <= kFlattened * plateau) {
        ++unflattened;
    }
    size_t floor = 0;
    while (floor < n && de[floor] <= kAlwaysFitted) {
        ++floor;
    }
    range.used = std::max(before, floor);
    range.smallest_flatten = unflattened < kFewestBeforeFlattening ||
                             (unflattened < n && de[unflattened] < kSmallestFlattening);
    const std::string limit = formats::fixed(kFlattening * plateau, 6);
    if (range.used == n) {
        range.reason = formats::format_text(
            "every ball fits: no shell reaches %s, %s of the largest shell fraction %s\n",
            limit.c_str(), formats::general(kFlattening, 3).c_str(),
            formats::fixed(plateau, 6).c_str());
    } else if (before >= floor) {
        range.reason = formats::format_text(
            "balls 1..%zu: the shell of ball %zu is the first to pass %s, %s of the largest "
            "shell fraction %s, where the shells flatten\n",
            range.used, range.used + 1, limit.c_str(), formats::general(kFlattening, 3).c_str(),
            formats::fixed(plateau, 6).c_str());
    } else {
        range.reason = formats::format_text(
            "balls 1..%zu: every ball with de up to %s, although the shells pass %s, %s of the "
            "largest shell fraction %s, from ball %zu on\n",
            range.used, formats::general(kAlwaysFitted, 3).c_str(), limit.c_str(),
            formats::general(kFlattening, 3).c_str(), formats::fixed(plateau, 6).c_str(),
            before + 1);
    }
    return range;
}

}  // namespace talvik
