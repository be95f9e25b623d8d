// Runs talvik with its own engine or the voxel-by-voxel one and reports the time of each
// stage and the peak memory, for the benchmark table:
//   talvik_stages fast|literal <talvik arguments>
// "fast" is talvik itself (TALVIK_WORD_PATH=1 keeps it on the general path). The results go
// to standard output as usual; one line "stages ..." goes to standard error. On the distance
// path Xe is made together with the shells, and its time counts as theirs.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>

#include "literal_engine.h"
#include "literal_oracle.h"
#include "parallel.h"
#include "reference_shell.h"
#include "run.h"
#include "word_engine.h"

namespace {

using Clock = std::chrono::steady_clock;
using talvik::DiscretizedBall;
using talvik::MorphologyEngine;

struct Stages {
    Clock::time_point start = Clock::now();
    bool started = false;
    double load = 0, de = 0, xe = 0, shells = 0;

    // Loading runs before the first operation: its time ends there.
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

// Forwards every operation and adds its time to a stage.
class TimingEngine : public MorphologyEngine {
  public:
    TimingEngine(MorphologyEngine& inner, Stages& stages) : inner_(inner), stages_(stages) {}

    std::unique_ptr<Volume> adopt(talvik::WordVolume loaded) override {
        return stages_.timed(stages_.load, [&] {
            auto x = inner_.adopt(std::move(loaded));
            x_ = x.get();
            return x;
        });
    }
    std::unique_ptr<Volume> create(const talvik::VolumeShape& shape) override {
        return stages_.timed(stages_.load, [&] { return inner_.create(shape); });
    }
    void clear(Volume& volume) override {
        stages_.timed(stages_.shells, [&] {
            inner_.clear(volume);
            return 0;
        });
    }
    void dilate(const Volume& source, Volume& target, const DiscretizedBall& ball) override {
        stages_.timed(&source == x_ ? stages_.xe : stages_.shells, [&] {
            inner_.dilate(source, target, ball);
            return 0;
        });
    }
    void complement(Volume& volume) override {
        stages_.timed(stages_.xe, [&] {
            inner_.complement(volume);
            return 0;
        });
    }
    void subtract(Volume& a, const Volume& b) override {
        stages_.timed(stages_.shells, [&] {
            inner_.subtract(a, b);
            return 0;
        });
    }
    uint64_t corrected_count(Volume& shell, const Volume& reference) override {
        return stages_.timed(stages_.shells,
                             [&] { return inner_.corrected_count(shell, reference); });
    }
    bool counts_all_shells(const std::vector<DiscretizedBall>& balls) const override {
        stages_.first_call();
        return inner_.counts_all_shells(balls);
    }
    std::vector<uint64_t> all_shell_counts(const talvik::WordVolume& x,
                                           const std::vector<DiscretizedBall>& balls,
                                           size_t epsilon_index) override {
        return stages_.timed(stages_.shells,
                             [&] { return inner_.all_shell_counts(x, balls, epsilon_index); });
    }

  private:
    MorphologyEngine& inner_;
    Stages& stages_;
    const Volume* x_ = nullptr;
};

}  // namespace

int main(int argc, char** argv) {
    const bool fast = argc >= 2 && std::strcmp(argv[1], "fast") == 0;
    if (argc < 2 || (!fast && std::strcmp(argv[1], "literal") != 0)) {
        std::fputs("usage: talvik_stages fast|literal <talvik arguments>\n", stderr);
        return 2;
    }
    const unsigned threads = talvik::default_thread_count();
    std::unique_ptr<MorphologyEngine> inner;
    talvik::ReferenceShellCount count;
    if (fast) {
        inner = std::make_unique<talvik::WordEngine>(threads, talvik::distance_path_enabled());
        count = talvik::standard_reference_shell_count(threads);
    } else {
        inner = std::make_unique<talvik::oracle::LiteralEngine>();
        count = [](const DiscretizedBall& ball) {
            return talvik::oracle::reference_shell_count(ball, talvik::ReferenceGeometry{});
        };
    }
    Stages stages;
    TimingEngine engine(*inner, stages);
    const talvik::ReferenceShellCount timed_count = [&](const DiscretizedBall& ball) {
        return stages.timed(stages.de, [&] { return count(ball); });
    };
    argv[1] = argv[0];
    const int status = talvik::talvik_main(argc - 1, argv + 1, {engine, timed_count});
    const double total = std::chrono::duration<double>(Clock::now() - stages.start).count();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::fprintf(stderr,
                 "stages load=%.3f de=%.3f xe=%.3f shells=%.3f fit=%.3f total=%.3f peak_mb=%.1f\n",
                 stages.load, stages.de, stages.xe, stages.shells,
                 total - stages.load - stages.de - stages.xe - stages.shells, total,
                 static_cast<double>(usage.ru_maxrss) / 1024.0);
    return status;
}
