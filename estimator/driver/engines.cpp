#include "driver/engines.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <string>
#include <string_view>

#include "formats/errors.h"
#include "parallel/cpu_budget.h"
#include "shells/distance_shells.h"
#include "shells/word_shells.h"

namespace talvik {
namespace {

// A positive count as strtol reads it (leading blanks, a plus sign), the whole text; at most
// kMaxThreads.
unsigned thread_count(const char* text) {
    if (text != nullptr) {
        std::string_view digits(text);
        while (!digits.empty() &&
               std::string_view(" \t\n\v\f\r").find(digits.front()) != std::string_view::npos) {
            digits.remove_prefix(1);
        }
        if (digits.starts_with('+')) {
            digits.remove_prefix(1);
        }
        uint64_t value = 0;
        const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
        const bool whole = !digits.empty() && end == digits.data() + digits.size();
        if (whole && ec == std::errc::result_out_of_range) {
            return kMaxThreads;
        }
        if (whole && ec == std::errc() && value > 0) {
            return static_cast<unsigned>(std::min<uint64_t>(value, kMaxThreads));
        }
    }
    return usable_cpus();
}

std::string names(const std::vector<const distance::KernelSet*>& sets) {
    std::string text;
    for (const distance::KernelSet* set : sets) {
        text += (text.empty() ? "" : ", ") + std::string(set->name);
    }
    return text;
}

// The kernels TALVIK_SIMD names (unset or empty: null, the best the processor runs).
const distance::KernelSet* simd_target(const char* text) {
    if (text == nullptr || *text == '\0') {
        return nullptr;
    }
    std::vector<const distance::KernelSet*> runnable;
    for (const distance::KernelSet* set : distance::compiled_kernel_sets()) {
        if (distance::runs_here(*set)) {
            runnable.push_back(set);
        }
    }
    const distance::KernelSet* set = distance::kernel_set_named(text);
    formats::fatal_unless(set != nullptr, 1,
                          "TALVIK_SIMD='%s' names no SIMD target; talvik knows %s.\n", text,
                          names(distance::compiled_kernel_sets()).c_str());
    formats::fatal_unless(distance::runs_here(*set), 1,
                          "TALVIK_SIMD='%s': this processor cannot run that SIMD target; it runs "
                          "%s.\n",
                          text, names(runnable).c_str());
    return set;
}

// Whether the distance path is expected to beat the word path with these kernels: with any
// SIMD vectors, not with the plain kernels. Measured on 256^3 to 1000^3 Boolean models with the
// shipped balls files and balls of radii 1 to 10 and 1 to 32, two threads: kernels of 64- and
// 32-byte vectors took 0.04 to 0.37 of the word path's time, 16-byte ones 0.16 to 0.77 (one
// thread, radii 1 to 5: 0.9 to 1.1), the plain kernels 4 to 6 times it but for radii 1 to 32
// with the smallest epsilon (0.8; with the largest, 3 times it).
bool distance_path_pays(const distance::KernelSet& kernels) {
    return kernels.vector_bytes() >= 16;
}

}  // namespace

EngineSettings engine_settings_from_environment() {
    EngineSettings settings;
    settings.threads = thread_count(std::getenv("TALVIK_THREADS"));
    const char* word_path = std::getenv("TALVIK_WORD_PATH");
    settings.distance_path = word_path == nullptr || std::string_view(word_path) != "1";
    settings.kernels = simd_target(std::getenv("TALVIK_SIMD"));
    return settings;
}

RunEngines estimator_engines(const EngineSettings& settings) {
    RunEngines engines;
    engines.shell_counter =
        [settings](
            formats::WordVolume x,
            const std::vector<formats::DiscretizedBall>& balls) -> std::unique_ptr<ShellCounter> {
        if (settings.distance_path) {
            // TALVIK_SIMD names the kernels to run: the distance path then takes every file it
            // can.
            std::optional<std::vector<int64_t>> thresholds = distance_thresholds(balls);
            if (thresholds && (settings.kernels != nullptr ||
                               distance_path_pays(distance::dispatched_kernel_set()))) {
                return std::make_unique<DistanceShells>(std::move(x), std::move(*thresholds),
                                                        settings.threads,
                                                        DistanceTuning{settings.kernels});
            }
        }
        return std::make_unique<WordShells>(std::move(x), settings.threads);
    };
    engines.reference_shell_count = standard_reference_shell_count(settings.threads);
    engines.xe_cells = [threads = settings.threads](const formats::WordVolume& x,
                                                    const formats::DiscretizedBall& epsilon,
                                                    const WindowBlocks& blocks) {
        return count_dilated_cells(x, epsilon, blocks, threads);
    };
    return engines;
}

}  // namespace talvik
