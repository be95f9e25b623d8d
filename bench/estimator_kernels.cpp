// Google Benchmark timings of the estimator's kernels.
#include <benchmark/benchmark.h>

#include <map>

#include "fit/reference_shell.h"
#include "morphology/dilation.h"
#include "morphology/morphology.h"
#include "shells/distance_shells.h"
#include "workloads.h"

namespace {

using namespace talvik;

const formats::WordVolume& boolean_volume(int32_t side) {
    static std::map<int32_t, formats::WordVolume> cache;
    auto it = cache.find(side);
    if (it == cache.end()) {
        it = cache
                 .emplace(side,
                          to_word_volume(workloads::boolean_model(side, side, side, 0.3, 2, 8, 7)))
                 .first;
    }
    return it->second;
}

void BM_Dilate(benchmark::State& state) {
    const int32_t side = static_cast<int32_t>(state.range(0));
    const formats::DiscretizedBall ball =
        workloads::euclidean_ball(static_cast<int32_t>(state.range(1)));
    const unsigned threads = static_cast<unsigned>(state.range(2));
    const formats::WordVolume& source = boolean_volume(side);
    formats::WordVolume target(side, side, side);
    for (auto _ : state) {
        clear_volume(target);
        dilate(source, target, ball, threads);
        benchmark::DoNotOptimize(target.data());
    }
    state.SetItemsProcessed(state.iterations() * int64_t{side} * side * side);
}
BENCHMARK(BM_Dilate)
    ->ArgsProduct({{256, 512}, {1, 5, 10}, {1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Every shell of balls of radii 1 .. r with epsilon r, at once.
void BM_DistanceShellCounts(benchmark::State& state) {
    const int32_t side = static_cast<int32_t>(state.range(0));
    const int64_t r = state.range(1);
    const unsigned threads = static_cast<unsigned>(state.range(2));
    std::vector<int64_t> thresholds;
    for (int64_t radius = 1; radius <= r; ++radius) {
        thresholds.push_back(radius * radius);
    }
    const formats::WordVolume& x = boolean_volume(side);
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            distance_shell_counts(x, thresholds, thresholds.size() - 1, threads));
    }
    state.SetItemsProcessed(state.iterations() * int64_t{side} * side * side);
}
BENCHMARK(BM_DistanceShellCounts)
    ->ArgsProduct({{256, 512}, {5, 10}, {1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_ReferenceShellCount(benchmark::State& state) {
    const formats::DiscretizedBall ball =
        workloads::euclidean_ball(static_cast<int32_t>(state.range(0)));
    const unsigned threads = static_cast<unsigned>(state.range(1));
    for (auto _ : state) {
        benchmark::DoNotOptimize(reference_shell_count(ball, ReferenceGeometry{}, threads));
    }
}
BENCHMARK(BM_ReferenceShellCount)
    ->ArgsProduct({{1, 5, 10}, {1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_CountWindow(benchmark::State& state) {
    const formats::WordVolume& volume = boolean_volume(512);
    for (auto _ : state) {
        benchmark::DoNotOptimize(count_window(volume, 0));
    }
}
BENCHMARK(BM_CountWindow)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
