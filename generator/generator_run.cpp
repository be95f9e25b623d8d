#include "generator_run.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <numbers>
#include <utility>

#include "data_set_writer.h"
#include "model_check.h"
#include "random/exception.h"
#include "random/random.h"

namespace brisolt {
namespace {

// How many balls go between looks at the clock: few enough that a run of large balls still
// answers a cancel soon.
constexpr int32_t kBallsBetweenClockChecks = 16;

// The cost model of estimate_work(), in nanoseconds, measured on a desktop machine with a
// local disk.
constexpr double kBallCost = 200.0;       // drawing a ball and finding its rows
constexpr double kRowCost = 8.0;          // one row run of a ball inside the box ...
constexpr double kRowWordCost = 4.0;      // ... and each 64-bit word it sets
constexpr double kCacheMissFactor = 4.0;  // rows of a volume far larger than the caches
constexpr double kCachedVolumeBytes = 32e6;
constexpr double kFileCost = 250000.0;  // creating and closing a file
constexpr double kByteCost = 5.0;       // one byte of a slice, converted and written
constexpr double kSyncByteCost = 3.0;   // one byte flushed to disk

// The exception text opens with blank lines meant for a console.
std::string exception_message(const Exception& e) {
    const std::string& text = e.text();
    const size_t first = text.find_first_not_of('\n');
    return first == std::string::npos ? text : text.substr(first);
}

WorkEstimate estimate_work(const formats::ModelParameters& model,
                           const formats::ModelTruth& truth) {
    double mean_radius = 0.0;
    double mean_square_radius = 0.0;
    for (size_t j = 0; j < truth.radius_law.size(); ++j) {
        mean_radius += truth.radius_law[j] * static_cast<double>(j);
        mean_square_radius += truth.radius_law[j] * static_cast<double>(j * j);
    }
    const double x = model.max_x;
    const double y = model.max_y;
    const double z = model.max_z;
    const double r = model.max_radius;
    // Centres fall in the box enlarged by R: about this share of the balls' rows lies inside.
    const double inside = (x / (x + 2 * r + 1)) * (y / (y + 2 * r + 1)) * (z / (z + 2 * r + 1));
    const double slice_bytes = y * std::ceil(x / 8.0);
    const double cache = slice_bytes * z > kCachedVolumeBytes ? kCacheMissFactor : 1.0;
    const double row = (kRowCost + kRowWordCost * (1.0 + mean_radius / 32.0)) * cache;
    WorkEstimate work;
    work.ball = kBallCost + row * std::numbers::pi * mean_square_radius * inside;
    work.slice = kFileCost + kByteCost * slice_bytes;
    work.commit = 2 * kFileCost + kSyncByteCost * slice_bytes * z;
    return work;
}

}  // namespace

RunPlan plan_run(const GenerationRequest& request) {
    RunPlan plan;
    plan.error = model_problem(request.model);
    if (!plan.error.empty()) {
        return plan;
    }
    plan.mu = ball_count_mean(request.model);
    try {
        plan.ball_count = draw_ball_count(plan.mu);
    } catch (const Exception& e) {
        plan.error = exception_message(e);
        return plan;
    }
    plan.ok = true;
    return plan;
}

std::string confirmation_text(int32_t ball_count, uint32_t count) {
    return "About to make " + std::to_string(static_cast<uint32_t>(ball_count)) +
           " balls for each of " + std::to_string(count) + " data sets.\nDo you want to continue?";
}

std::string written_summary(uint32_t written, uint32_t count) {
    return std::to_string(written) + " of " + std::to_string(count) + " data sets written";
}

GenerationRun::GenerationRun(GenerationRequest request, int32_t ball_count, BallSources& sources)
    : request_(std::move(request)),
      ball_count_(ball_count),
      sources_(sources),
      seed_(Random::seed_state()),
      truth_(model_truth(request_.model)),
      stage_(request_.count == 0 ? Stage::done : Stage::directory),
      work_(estimate_work(request_.model, truth_)) {}

bool GenerationRun::advance(std::chrono::milliseconds budget) {
    const auto deadline = std::chrono::steady_clock::now() + budget;
    try {
        do {
            switch (stage_) {
                case Stage::directory:
                    step_directory();
                    break;
                case Stage::allocate:
                    step_allocate();
                    break;
                case Stage::balls:
                    step_balls(deadline);
                    break;
                case Stage::write:
                    step_write();
                    break;
                case Stage::model:
                    step_model();
                    break;
                case Stage::commit:
                    step_commit();
                    break;
                case Stage::done:
                    break;
            }
        } while (stage_ != Stage::done && std::chrono::steady_clock::now() < deadline);
    } catch (const Exception& e) {
        fail(exception_message(e));
    }
    return stage_ != Stage::done;
}

void GenerationRun::cancel() {
    if (stage_ != Stage::done) {
        cancelled_ = true;
        stop();
    }
}

void GenerationRun::step_directory() {
    pending_.emplace(data_set_directory(request_.output_directory, request_.prefix, data_set_));
    if (!pending_->create(run_error_)) {
        fail(run_error_.text);
        return;
    }
    stage_ = Stage::allocate;
}

void GenerationRun::step_allocate() {
    const formats::ModelParameters& m = request_.model;
    if (!volume_allocate(volume_, m.max_x, m.max_y, m.max_z, run_error_)) {
        fail(run_error_.text);
        return;
    }
    balls_in_set_ = 0;
    stage_ = Stage::balls;
}

void GenerationRun::step_balls(std::chrono::steady_clock::time_point deadline) {
    while (balls_in_set_ < ball_count_) {
        int32_t drawn = 0;
        for (; drawn < kBallsBetweenClockChecks && balls_in_set_ < ball_count_; ++drawn) {
            const Ball ball = draw_ball(request_.model, sources_);
            volume_add_ball(volume_, ball.cx, ball.cy, ball.cz, ball.r);
            ++balls_in_set_;
        }
        add_work(drawn * work_.ball);
        if (std::chrono::steady_clock::now() >= deadline) {
            return;
        }
    }
    run_error_.clear();
    slice_ = 0;
    stage_ = Stage::write;
}

void GenerationRun::step_write() {
    const auto z = static_cast<uint32_t>(slice_);
    if (!pending_->write(slice_file_name(request_.prefix, z), slice_file_contents(volume_, slice_),
                         run_error_)) {
        fail(run_error_.text);
        return;
    }
    add_work(work_.slice);
    if (++slice_ < volume_.slice_count) {
        return;
    }
    stage_ = Stage::model;
}

// Written after the slices, so that a data set with model.txt is complete.
void GenerationRun::step_model() {
    formats::ModelRecord record;
    record.parameters = request_.model;
    record.seed = seed_;
    record.balls = ball_count_;
    record.mean_count = ball_count_mean(request_.model);
    record.truth = truth_;
    record.measured_v3 = formats::volume_fraction(volume_);
    const std::string name =
        std::filesystem::path(formats::model_file_path(pending_->directory())).filename().string();
    if (!pending_->write(name, formats::model_file_text(record), run_error_)) {
        fail(run_error_.text);
        return;
    }
    volume_release(volume_);
    stage_ = Stage::commit;
}

void GenerationRun::step_commit() {
    if (!pending_->commit(run_error_)) {
        fail(run_error_.text);
        return;
    }
    pending_.reset();
    add_work(work_.commit);
    ++written_;
    ++data_set_;
    stage_ = data_set_ < request_.count ? Stage::directory : Stage::done;
    if (stage_ == Stage::done) {
        progress_ = 100;
    }
}

void GenerationRun::add_work(double work) {
    work_done_ += work;
    const double total = request_.count * (ball_count_ * work_.ball +
                                           request_.model.max_z * work_.slice + work_.commit);
    // Short of the end by rounding only; 100 waits for the last data set to be in place.
    progress_ = std::min(99, static_cast<int>(work_done_ * 100.0 / total));
}

// Removes the unfinished data set's partial folder with everything in it.
void GenerationRun::stop() {
    pending_.reset();
    volume_release(volume_);
    stage_ = Stage::done;
}

void GenerationRun::fail(std::string message) {
    failed_ = true;
    error_ = std::move(message);
    stop();
}

}  // namespace brisolt
