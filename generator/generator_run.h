// One run of the generator: the count of balls, then `count` data sets sampled and written
// one after the other. The dialog and the batch mode both drive this object, so the same
// seed and fields give the same files from either.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "boolean_model.h"
#include "data_set_writer.h"
#include "formats/bit_volume.h"
#include "formats/model_file.h"
#include "model_truth.h"

namespace brisolt {

struct GenerationRequest {
    formats::ModelParameters model;
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

// What the parts of a run cost, in one unit, so that the progress moves with the time taken.
struct WorkEstimate {
    double ball = 0.0;    // drawing one ball and adding it to the volume
    double slice = 0.0;   // writing one slice file
    double commit = 0.0;  // model.txt, flushing the data set to disk, moving it into place
};

// Checks the request (model_problem) and draws N from Poisson(mu): the run's first draw.
RunPlan plan_run(const GenerationRequest& request);

// "About to make %u balls for each of %u data sets.\nDo you want to continue?"
std::string confirmation_text(int32_t ball_count, uint32_t count);

// "%u of %u data sets written".
std::string written_summary(uint32_t written, uint32_t count);

class GenerationRun {
  public:
    // `sources` must outlive the run; the random stream is drawn from one thread only. Each
    // data set gets its slices, then model.txt (whose seed is the stream's), written where
    // no program loads them and moved into place when complete (PendingDataSet).
    GenerationRun(GenerationRequest request, int32_t ball_count, BallSources& sources);

    // Works on for about `budget` (at least one step) and returns whether there is more to
    // do. A failure ends the run: the data sets before it stay complete, the failing one is
    // removed, the later ones are not made.
    bool advance(std::chrono::milliseconds budget);

    // Ends the run between two steps as a failure does, without a message. The data sets
    // already complete are those an uncancelled run would have written.
    void cancel();

    bool finished() const { return stage_ == Stage::done; }
    bool failed() const { return failed_; }
    bool cancelled() const { return cancelled_; }
    // The message of the failure, as the user sees it.
    const std::string& error() const { return error_; }
    // The share of the run's work done, 0 .. 100: drawing the balls and writing the files,
    // 100 only once the last data set is in place.
    int progress() const { return progress_; }
    // Data sets completely written, of data_set_count().
    uint32_t data_sets_written() const { return written_; }
    uint32_t data_set_count() const { return request_.count; }

  private:
    enum class Stage { directory, allocate, balls, write, model, commit, done };

    void step_directory();
    void step_allocate();
    void step_balls(std::chrono::steady_clock::time_point deadline);
    void step_write();
    void step_model();
    void step_commit();
    void add_work(double work);
    void stop();
    void fail(std::string message);

    GenerationRequest request_;
    int32_t ball_count_;
    BallSources& sources_;
    int32_t seed_;
    formats::ModelTruth truth_;
    Stage stage_;
    uint32_t data_set_ = 0;
    std::optional<PendingDataSet> pending_;
    formats::BitVolume volume_;
    RunError run_error_;
    int32_t balls_in_set_ = 0;
    int32_t slice_ = 0;
    WorkEstimate work_;
    double work_done_ = 0.0;
    int progress_ = 0;
    uint32_t written_ = 0;
    bool failed_ = false;
    bool cancelled_ = false;
    std::string error_;
};

}  // namespace brisolt
