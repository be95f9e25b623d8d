// libFuzzer target: the balls-file reader on arbitrary text. What it accepts must survive
// the written form unchanged.
#include <cmath>
#include <cstdlib>
#include <string>

#include "formats/balls_file.h"
#include "formats/errors.h"
#include "formats/numbers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    formats::BallsFile file;
    try {
        file = formats::parse_balls_text({data, size});
    } catch (const formats::FatalError&) {
        return 0;
    }
    if (file.balls.size() > formats::kMaxBalls) {
        std::abort();
    }
    const std::string text = formats::format_balls_file(file.balls);
    const formats::BallsFile again =
        formats::parse_balls_text({reinterpret_cast<const uint8_t*>(text.data()), text.size()});
    if (again.balls.size() != file.balls.size()) {
        std::abort();
    }
    for (size_t i = 0; i < file.balls.size(); ++i) {
        if (again.balls[i].lengths != file.balls[i].lengths) {
            std::abort();
        }
        // A stored value comes back as written, with 16 decimals; a missing one stays missing.
        const double de = file.balls[i].de;
        const std::string written =
            std::fabs(de) > formats::kMissingDe ? formats::fixed(de, 16, 20) : "";
        const double back = again.balls[i].de;
        const std::string reread =
            std::fabs(back) > formats::kMissingDe ? formats::fixed(back, 16, 20) : "";
        if (written != reread) {
            std::abort();
        }
    }
    return 0;
}
