// One run of the generator: the count of balls, then `count` data sets sampled and written
// one after the other. The dialog and the batch mode both drive this object, so the same
// seed and fields give the same files from either.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "bit_volume.h"
#include "boolean_model.h"
#include "model_file.h"

namespace brisolt {

struct GenerationRequest {
    ModelParameters model;
    std::string output_directory;
    std::string prefix;
    uint32_t count = 1;  // data sets
};

// What the confirmation shows: N and the mean it was drawn from, or why no run can start.
struct RunPlan {
    bool ok = false;
    std::string error;
    double mu = 0.0;
    int32_t ball_count = 0;
};

// Checks the request (model_problem) and draws N from Poisson(mu): the run's first draw.
RunPlan plan_run(const GenerationRequest& request);

// "About to make %u balls for each of %u data sets.\nDo you want to continue?"
std::string confirmation_text(int32_t ball_count, uint32_t count);

class GenerationRun {
  public:
    // `sources` must outlive the run; the random stream is drawn from one thread only. Each
    // data set gets its slices, then model.txt (whose seed is the stream's).
    GenerationRun(GenerationRequest request, int32_t ball_count, BallSources& sources);

    // Works on for about `budget` (at least one step) and returns whether there is more to
    // do. A failure ends the run: the data sets before it stay complete, the failing one
    // incomplete, the later ones are not made.
    bool advance(std::chrono::milliseconds budget);

    bool finished() const { return stage_ == Stage::done; }
    bool failed() const { return failed_; }
    // The message of the failure, as the user sees it.
    const std::string& error() const { return error_; }
    // trunc(K * 100 / (count * N)) with K the balls done; stays 0 when N is 0.
    int progress() const { return progress_; }
    // Data sets completely written.
    uint32_t data_sets_written() const { return written_; }
    const std::string& last_directory() const { return directory_; }

  private:
    enum class Stage { directory, allocate, balls, write, model, done };

    void step_directory();
    void step_allocate();
    void step_balls(std::chrono::steady_clock::time_point deadline);
    void step_write();
    void step_model();
    void fail(std::string message);

    GenerationRequest request_;
    int32_t ball_count_;
    BallSources& sources_;
    int32_t seed_;
    ModelTruth truth_;
    Stage stage_;
    uint32_t data_set_ = 0;
    std::string directory_;
    talvik::BitVolume volume_;
    RunError run_error_;
    int32_t balls_in_set_ = 0;
    int32_t slice_ = 0;
    uint64_t balls_done_ = 0;
    int progress_ = 0;
    uint32_t written_ = 0;
    bool failed_ = false;
    std::string error_;
};

}  // namespace brisolt
