#include "generator_run.h"

#include <cstdio>
#include <utility>

#include "data_set_writer.h"
#include "model_check.h"
#include "random/exception.h"
#include "random/random.h"

namespace brisolt {
namespace {

// How many balls go between looks at the clock.
constexpr int32_t kBallsBetweenClockChecks = 256;

// The exception text opens with blank lines meant for a console.
std::string exception_message(const Exception& e) {
    const std::string& text = e.text();
    const size_t first = text.find_first_not_of('\n');
    return first == std::string::npos ? text : text.substr(first);
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
    char text[128];
    std::snprintf(text, sizeof text,
                  "About to make %u balls for each of %u data sets.\nDo you want to continue?",
                  static_cast<uint32_t>(ball_count), count);
    return text;
}

GenerationRun::GenerationRun(GenerationRequest request, int32_t ball_count, BallSources& sources)
    : request_(std::move(request)),
      ball_count_(ball_count),
      sources_(sources),
      seed_(Random::seed_state()),
      truth_(model_truth(request_.model)),
      stage_(request_.count == 0 ? Stage::done : Stage::directory) {}

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
                case Stage::done:
                    break;
            }
        } while (stage_ != Stage::done && std::chrono::steady_clock::now() < deadline);
    } catch (const Exception& e) {
        fail(exception_message(e));
    }
    return stage_ != Stage::done;
}

void GenerationRun::step_directory() {
    directory_ = data_set_directory(request_.output_directory, request_.prefix, data_set_);
    if (!create_data_set_directory(directory_)) {
        fail("Error creating directory " + directory_ + "!");
        return;
    }
    stage_ = Stage::allocate;
}

void GenerationRun::step_allocate() {
    const ModelParameters& m = request_.model;
    if (!volume_allocate(volume_, m.max_x, m.max_y, m.max_z, run_error_)) {
        fail(run_error_.text);
        return;
    }
    balls_in_set_ = 0;
    stage_ = Stage::balls;
}

void GenerationRun::step_balls(std::chrono::steady_clock::time_point deadline) {
    const uint64_t total = uint64_t{request_.count} * static_cast<uint64_t>(ball_count_);
    while (balls_in_set_ < ball_count_) {
        for (int32_t k = 0; k < kBallsBetweenClockChecks && balls_in_set_ < ball_count_; ++k) {
            const Ball ball = draw_ball(request_.model, sources_);
            volume_add_ball(volume_, ball.cx, ball.cy, ball.cz, ball.r);
            ++balls_in_set_;
            ++balls_done_;
        }
        progress_ =
            static_cast<int>(static_cast<double>(balls_done_) * 100.0 / static_cast<double>(total));
        if (std::chrono::steady_clock::now() >= deadline) {
            return;
        }
    }
    run_error_.clear();
    slice_ = 0;
    stage_ = Stage::write;
}

void GenerationRun::step_write() {
    const std::string path =
        slice_file_path(directory_, request_.prefix, static_cast<uint32_t>(slice_));
    if (!write_slice(volume_, slice_, path, run_error_)) {
        fail(run_error_.text);
        return;
    }
    if (++slice_ < volume_.slice_count) {
        return;
    }
    stage_ = Stage::model;
}

// Written after the slices, so that a data set with model.txt is complete.
void GenerationRun::step_model() {
    ModelRecord record;
    record.parameters = request_.model;
    record.seed = seed_;
    record.balls = ball_count_;
    record.mean_count = ball_count_mean(request_.model);
    record.truth = truth_;
    record.measured_v3 = volume_fraction(volume_);
    if (!write_data_file(model_file_path(directory_), model_file_text(record), run_error_)) {
        fail(run_error_.text);
        return;
    }
    volume_release(volume_);
    ++written_;
    ++data_set_;
    stage_ = data_set_ < request_.count ? Stage::directory : Stage::done;
}

void GenerationRun::fail(std::string message) {
    volume_release(volume_);
    failed_ = true;
    error_ = std::move(message);
    stage_ = Stage::done;
}

}  // namespace brisolt
