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
    // Each data set draws its own ball count, so that replicates are independent realisations;
    // by default all data sets of a run share the run's one count.
    bool new_count_each = false;
};

// What the confirmation shows: N and the mean it was drawn from, or why no run can start.
struct RunPlan {
    bool ok = false;
    std::string error;
    double mu = 0.0;
    int32_t ball_count = 0;  // of the first data set, or of every one
    // The numbers drawn from the seeded stream before this run's count draw.
    uint64_t draws_before = 0;
};

// What the parts of a run cost, in one unit, so that the progress moves with the time taken.
struct WorkEstimate {
    double ball = 0.0;    // drawing one ball and adding it to the volume
    double slice = 0.0;   // writing one slice file
    double commit = 0.0;  // model.txt, flushing the data set to disk, moving it into place
};

// Checks the request (model_problem) and draws N from Poisson(mu): the run's first draw.
RunPlan plan_run(const GenerationRequest& request);

// "About to make %u balls for each of %u data sets.\nDo you want to continue?"; with a new
// count for each data set, the first data set's count and the mean of the others'.
std::string confirmation_text(int32_t ball_count, uint32_t count, bool new_count_each = false,
                              double mu = 0.0);

// The output folder must exist before anything is drawn or asked: empty when it does, else
// why not ("The output folder '...' does not exist.").
std::string output_folder_problem(const std::string& folder);

// The Brisolt options that repeat the run exactly: the fields, the seed and the draws to skip;
// "--out" and "--yes" are left to the user.
std::string reproduce_options(const GenerationRequest& request, int64_t seed, uint64_t skip);

// "%u of %u data sets written".
std::string written_summary(uint32_t written, uint32_t count);

class GenerationRun {
  public:
    // `sources` must outlive the run; the random stream is drawn from one thread only. Each
    // data set gets its slices, then model.txt (whose seed and skip are the stream's, so that
    // it says how to make the data set again), written where no program loads them and moved
    // into place when complete (PendingDataSet). `plan` is the run's plan_run.
    GenerationRun(GenerationRequest request, const RunPlan& plan, BallSources& sources);

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
    double mu_;
    uint64_t draws_before_;
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
