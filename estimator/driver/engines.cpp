#include "driver/engines.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <string_view>
#include <thread>

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
    return std::max(1u, std::thread::hardware_concurrency());
}

}  // namespace

EngineSettings engine_settings_from_environment() {
    EngineSettings settings;
    settings.threads = thread_count(std::getenv("TALVIK_THREADS"));
    const char* word_path = std::getenv("TALVIK_WORD_PATH");
    settings.distance_path = word_path == nullptr || std::string_view(word_path) != "1";
    return settings;
}

RunEngines estimator_engines(const EngineSettings& settings) {
    RunEngines engines;
    engines.shell_counter =
        [settings](
            formats::WordVolume x,
            const std::vector<formats::DiscretizedBall>& balls) -> std::unique_ptr<ShellCounter> {
        if (settings.distance_path) {
            if (std::optional<std::vector<int64_t>> thresholds = distance_thresholds(balls)) {
                return std::make_unique<DistanceShells>(std::move(x), std::move(*thresholds),
                                                        settings.threads);
            }
        }
        return std::make_unique<WordShells>(std::move(x), settings.threads);
    };
    engines.reference_shell_count = standard_reference_shell_count(settings.threads);
    return engines;
}

}  // namespace talvik
