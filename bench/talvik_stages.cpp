// Runs talvik with its own engines or the voxel-by-voxel ones and reports the time of each
// stage and the peak memory, for the benchmark table:
//   talvik_stages fast|literal <talvik arguments>
// "fast" is talvik itself (TALVIK_WORD_PATH=1 keeps it on the word path). The results go to
// standard output as usual; one line "stages ..." goes to standard error. The shells stage
// includes making Xe and (Xe)*.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>

#include "driver/engines.h"
#include "driver/run.h"
#include "formats/errors.h"
#include "literal_engine.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Stages {
    Clock::time_point start = Clock::now();
    bool started = false;
    double load = 0, de = 0, shells = 0;

    // Loading runs before the first stage: its time ends there.
    void first_call() {
        if (!started) {
            started = true;
            load += std::chrono::duration<double>(Clock::now() - start).count();
        }
    }

    template <typename F>
    auto timed(double& stage, F f) {
        first_call();
        const auto begin = Clock::now();
        auto result = f();
        stage += std::chrono::duration<double>(Clock::now() - begin).count();
        return result;
    }
};

// Forwards to the shell counting of a run and adds its time to the shells stage.
class TimedShells : public talvik::ShellCounter {
  public:
    TimedShells(std::unique_ptr<talvik::ShellCounter> inner, Stages& stages)
        : inner_(std::move(inner)), stages_(stages) {}

    talvik::ShellCounts count_shells(const std::vector<formats::DiscretizedBall>& balls,
                                     size_t epsilon_index, const talvik::WindowBlocks& blocks,
                                     const talvik::ShellSteps& steps) override {
        return stages_.timed(stages_.shells, [&] {
            return inner_->count_shells(balls, epsilon_index, blocks, steps);
        });
    }

  private:
    std::unique_ptr<talvik::ShellCounter> inner_;
    Stages& stages_;
};

}  // namespace

int main(int argc, char** argv) {
    const bool fast = argc >= 2 && std::strcmp(argv[1], "fast") == 0;
    if (argc < 2 || (!fast && std::strcmp(argv[1], "literal") != 0)) {
        std::fputs("usage: talvik_stages fast|literal <talvik arguments>\n", stderr);
        return 2;
    }
    talvik::RunEngines inner;
    try {
        inner = fast ? talvik::estimator_engines(talvik::engine_settings_from_environment())
                     : talvik::oracle::literal_engines();
    } catch (const formats::FatalError& error) {
        std::fprintf(stderr, "talvik_stages: %s", error.what());
        return 1;
    }
    Stages stages;
    talvik::RunEngines timed;
    timed.shell_counter = [&](formats::WordVolume x,
                              const std::vector<formats::DiscretizedBall>& balls) {
        // The volumes a path creates up front belong to loading, as before any stage.
        auto counter = inner.shell_counter(std::move(x), balls);
        stages.first_call();
        return std::make_unique<TimedShells>(std::move(counter), stages);
    };
    timed.reference_shell_count = [&](const formats::DiscretizedBall& ball) {
        return stages.timed(stages.de, [&] { return inner.reference_shell_count(ball); });
    };
    argv[1] = argv[0];
    const int status = talvik::talvik_main(argc - 1, argv + 1, timed);
    const double total = std::chrono::duration<double>(Clock::now() - stages.start).count();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::fprintf(stderr, "stages load=%.3f de=%.3f shells=%.3f fit=%.3f total=%.3f peak_mb=%.1f\n",
                 stages.load, stages.de, stages.shells,
                 total - stages.load - stages.de - stages.shells, total,
                 static_cast<double>(usage.ru_maxrss) / 1024.0);
    return status;
}
