// libFuzzer target: the balls-file reader on arbitrary text. What it accepts must survive
// the written form unchanged.
#include <cmath>
#include <cstdlib>
#include <string>

#include "balls_file.h"
#include "diagnostics.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace talvik;
    BallsFile file;
    try {
        file = parse_balls_text({data, size});
    } catch (const FatalError&) {
        return 0;
    }
    if (file.balls.size() > kMaxBalls) {
        std::abort();
    }
    const std::string text = format_balls_file(file.balls);
    const BallsFile again =
        parse_balls_text({reinterpret_cast<const uint8_t*>(text.data()), text.size()});
    if (again.balls.size() != file.balls.size()) {
        std::abort();
    }
    for (size_t i = 0; i < file.balls.size(); ++i) {
        if (again.balls[i].lengths != file.balls[i].lengths) {
            std::abort();
        }
        // A stored value comes back as written, with 16 decimals; a missing one stays missing.
        const double de = file.balls[i].de;
        const std::string written = std::fabs(de) > kMissingDe ? format_text("%20.16f", de) : "";
        const double back = again.balls[i].de;
        const std::string reread = std::fabs(back) > kMissingDe ? format_text("%20.16f", back) : "";
        if (written != reread) {
            std::abort();
        }
    }
    return 0;
}
