// The estimator's engine: word-parallel volume operations, and the distance path for balls
// files of digital Euclidean balls.
#pragma once

#include "morphology_engine.h"
#include "word_volume.h"

namespace talvik {

class WordEngine : public MorphologyEngine {
  public:
    // `distance_path` false keeps every run on the general path.
    WordEngine(unsigned threads, bool distance_path);

    std::unique_ptr<Volume> adopt(WordVolume loaded) override;
    std::unique_ptr<Volume> create(const VolumeShape& shape) override;
    void clear(Volume& volume) override;
    void dilate(const Volume& source, Volume& target, const DiscretizedBall& ball) override;
    void complement(Volume& volume) override;
    void subtract(Volume& a, const Volume& b) override;
    uint64_t corrected_count(Volume& shell, const Volume& reference) override;

    bool counts_all_shells(const std::vector<DiscretizedBall>& balls) const override;
    std::vector<uint64_t> all_shell_counts(const WordVolume& x,
                                           const std::vector<DiscretizedBall>& balls,
                                           size_t epsilon_index) override;

  private:
    unsigned threads_;
    bool distance_path_;
};

// False when TALVIK_WORD_PATH is set to 1: every run then takes the general path.
bool distance_path_enabled();

}  // namespace talvik
