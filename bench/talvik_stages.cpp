// Runs talvik with the word-parallel or the voxel-by-voxel engine and reports the time of
// each stage and the peak memory, for the benchmark table:
//   talvik_stages fast|literal <talvik arguments>
// The results go to standard output as usual; one line "stages ..." goes to standard error.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>

#include "literal_engine.h"
#include "morphology_engine.h"
#include "parallel.h"
#include "run.h"

namespace {

using Clock = std::chrono::steady_clock;

template <typename F>
auto timed(double& stage, F f) {
    const auto start = Clock::now();
    auto result = f();
    stage += std::chrono::duration<double>(Clock::now() - start).count();
    return result;
}

// Forwards every operation and adds its time to a stage.
class TimingEngine : public talvik::MorphologyEngine {
  public:
    explicit TimingEngine(talvik::MorphologyEngine& inner) : inner_(inner) {}
    double load = 0, de = 0, xe = 0, shells = 0;

    talvik::VolumeShape load_data_set(const std::string& directory) override {
        return timed(load, [&] { return inner_.load_data_set(directory); });
    }
    void create_work_volumes() override {
        timed(load, [&] {
            inner_.create_work_volumes();
            return 0;
        });
    }
    uint64_t reference_shell_count(const talvik::DiscretizedBall& ball) override {
        return timed(de, [&] { return inner_.reference_shell_count(ball); });
    }
    void dilate_data_set(const talvik::DiscretizedBall& epsilon) override {
        timed(xe, [&] {
            inner_.dilate_data_set(epsilon);
            return 0;
        });
    }
    void complement_dilated() override {
        timed(xe, [&] {
            inner_.complement_dilated();
            return 0;
        });
    }
    void clear_work() override {
        timed(shells, [&] {
            inner_.clear_work();
            return 0;
        });
    }
    void dilate_complement(const talvik::DiscretizedBall& delta) override {
        timed(shells, [&] {
            inner_.dilate_complement(delta);
            return 0;
        });
    }
    void subtract_complement() override {
        timed(shells, [&] {
            inner_.subtract_complement();
            return 0;
        });
    }
    uint64_t corrected_shell_count() override {
        return timed(shells, [&] { return inner_.corrected_shell_count(); });
    }

  private:
    talvik::MorphologyEngine& inner_;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || (std::strcmp(argv[1], "fast") != 0 && std::strcmp(argv[1], "literal") != 0)) {
        std::fputs("usage: talvik_stages fast|literal <talvik arguments>\n", stderr);
        return 2;
    }
    std::unique_ptr<talvik::MorphologyEngine> inner;
    if (std::strcmp(argv[1], "fast") == 0) {
        inner = std::make_unique<talvik::WordEngine>(talvik::default_thread_count());
    } else {
        inner = std::make_unique<talvik::oracle::LiteralEngine>();
    }
    TimingEngine engine(*inner);
    argv[1] = argv[0];
    const auto start = Clock::now();
    const int status = talvik::talvik_main(argc - 1, argv + 1, engine);
    const double total = std::chrono::duration<double>(Clock::now() - start).count();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::fprintf(stderr,
                 "stages load=%.3f de=%.3f xe=%.3f shells=%.3f fit=%.3f total=%.3f peak_mb=%.1f\n",
                 engine.load, engine.de, engine.xe, engine.shells,
                 total - engine.load - engine.de - engine.xe - engine.shells, total,
                 static_cast<double>(usage.ru_maxrss) / 1024.0);
    return status;
}
