#include "generator_run.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <numbers>
#include <system_error>
#include <utility>

#include "data_set_writer.h"
#include "formats/numbers.h"
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
    plan.draws_before = Random::draws();
    try {
        plan.ball_count = draw_ball_count(plan.mu);
    } catch (const Exception& e) {
        plan.error = exception_message(e);
        return plan;
    }
    plan.ok = true;
    return plan;
}

std::string confirmation_text(int32_t ball_count, uint32_t count, bool new_count_each, double mu) {
    const std::string balls = std::to_string(static_cast<uint32_t>(ball_count));
    if (new_count_each && count > 1) {
        return "About to make " + std::to_string(count) + " data sets, each with its own number " +
               "of balls (a Poisson number of mean " + formats::general(mu, 6) + "; " + balls +
               " for the first).\nDo you want to continue?";
    }
    return "About to make " + balls + " balls for each of " + std::to_string(count) +
           " data sets.\nDo you want to continue?";
}

std::string output_folder_problem(const std::string& folder) {
    std::error_code error;
    const auto status = std::filesystem::status(folder, error);
    if (folder.empty() || !std::filesystem::exists(status)) {
        return "The output folder '" + folder + "' does not exist.";
    }
    if (!std::filesystem::is_directory(status)) {
        return "The output folder '" + folder + "' is not a folder.";
    }
    return {};
}

namespace {

// A word that a POSIX shell reads back unchanged.
std::string shell_word(const std::string& text) {
    const bool plain = !text.empty() && text.find_first_not_of(
                                            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                            "0123456789+-._/=:") == std::string::npos;
    if (plain) {
        return text;
    }
    std::string quoted = "'";
    for (const char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

}  // namespace

std::string reproduce_options(const GenerationRequest& r, int64_t seed, uint64_t skip) {
    const formats::ModelParameters& m = r.model;
    // The shortest text that reads back as the same number: "0.0005", not "0.00050000000000000001".
    const auto real = [](double value) {
        std::string text;
        double read = 0.0;
        for (int digits = 1; digits <= 17; ++digits) {
            text = formats::general(value, digits);
            if (formats::parse_number(text, read) && read == value) {
                break;
            }
        }
        return text;
    };
    return "--batch --x " + std::to_string(m.max_x) + " --y " + std::to_string(m.max_y) + " --z " +
           std::to_string(m.max_z) + " --lambda " + real(m.lambda) + " --radius " +
           std::to_string(m.max_radius) + " --law " + shell_word(m.distribution) + " --p1 " +
           real(m.parameter1) + " --p2 " + real(m.parameter2) + " --count " +
           std::to_string(r.count) + (r.new_count_each ? " --new-count" : "") + " --prefix " +
           shell_word(r.prefix) + " --seed " + std::to_string(seed) + " --skip " +
           std::to_string(skip);
}

std::string written_summary(uint32_t written, uint32_t count) {
    return std::to_string(written) + " of " + std::to_string(count) + " data sets written";
}

GenerationRun::GenerationRun(GenerationRequest request, const RunPlan& plan, BallSources& sources)
    : request_(std::move(request)),
      ball_count_(plan.ball_count),
      mu_(plan.mu),
      draws_before_(plan.draws_before),
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
    // The first data set's count is the run's; each later one draws its own when asked to.
    if (request_.new_count_each && data_set_ > 0) {
        ball_count_ = draw_ball_count(mu_);
    }
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
    record.skip = draws_before_;
    record.reproduce = reproduce_options(request_, seed_, draws_before_);
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
