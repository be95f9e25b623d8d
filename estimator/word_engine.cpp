#include "word_engine.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "diagnostics.h"
#include "dilation.h"
#include "distance_shells.h"
#include "edge_correction.h"
#include "euclidean_ball.h"
#include "morphology.h"

namespace talvik {
namespace {

struct WordHeld : MorphologyEngine::Volume {
    explicit WordHeld(WordVolume v) : words(std::move(v)) {}
    WordVolume words;
};

WordVolume& words(MorphologyEngine::Volume& volume) {
    return static_cast<WordHeld&>(volume).words;
}

const WordVolume& words(const MorphologyEngine::Volume& volume) {
    return static_cast<const WordHeld&>(volume).words;
}

}  // namespace

WordEngine::WordEngine(unsigned threads, bool distance_path)
    : threads_(threads), distance_path_(distance_path) {}

std::unique_ptr<MorphologyEngine::Volume> WordEngine::adopt(WordVolume loaded) {
    return std::make_unique<WordHeld>(std::move(loaded));
}

std::unique_ptr<MorphologyEngine::Volume> WordEngine::create(const VolumeShape& shape) {
    try {
        return std::make_unique<WordHeld>(WordVolume(shape.width, shape.height, shape.slices));
    } catch (const std::bad_alloc&) {
        fatal("Memory allocation error.\n");
    }
}

void WordEngine::clear(Volume& volume) {
    clear_volume(words(volume));
}

void WordEngine::dilate(const Volume& source, Volume& target, const DiscretizedBall& ball) {
    talvik::dilate(words(source), words(target), ball, threads_);
}

void WordEngine::complement(Volume& volume) {
    talvik::complement(words(volume));
}

void WordEngine::subtract(Volume& a, const Volume& b) {
    talvik::subtract(words(a), words(b));
}

uint64_t WordEngine::corrected_count(Volume& shell, const Volume& reference) {
    const uint16_t ties = correct_edges(words(shell), words(reference));
    return count_window(words(shell), ties);
}

bool WordEngine::counts_all_shells(const std::vector<DiscretizedBall>& balls) const {
    if (!distance_path_ || balls.empty()) {
        return false;
    }
    const std::optional<std::vector<int64_t>> thresholds = euclidean_thresholds(balls);
    return thresholds &&
           *std::max_element(thresholds->begin(), thresholds->end()) <= kLargestDistanceThreshold;
}

std::vector<uint64_t> WordEngine::all_shell_counts(const WordVolume& x,
                                                   const std::vector<DiscretizedBall>& balls,
                                                   size_t epsilon_index) {
    return distance_shell_counts(x, *euclidean_thresholds(balls), epsilon_index, threads_);
}

bool distance_path_enabled() {
    const char* text = std::getenv("TALVIK_WORD_PATH");
    return text == nullptr || std::strcmp(text, "1") != 0;
}

}  // namespace talvik
