// libFuzzer target: the front-end's ball count on arbitrary text must be the number of balls
// the estimator reads from it, or 0 where the estimator refuses the file.
#include <cstdlib>

#include "balls_file.h"
#include "diagnostics.h"
#include "run_preparation.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    int expected = 0;
    try {
        expected = static_cast<int>(talvik::parse_balls_text({data, size}).balls.size());
    } catch (const talvik::FatalError&) {
        expected = 0;
    }
    if (quenbar::CountBallsInText({data, size}) != expected) {
        std::abort();
    }
    return 0;
}
