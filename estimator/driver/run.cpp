#include "driver/run.h"

#include <cstdio>
#include <new>
#include <utility>

#include "driver/estimate.h"
#include "driver/verbose_log.h"
#include "fit/steiner_fit.h"
#include "formats/balls_file.h"
#include "formats/data_set.h"
#include "formats/errors.h"
#include "formats/numbers.h"
#include "formats/results_file.h"

namespace talvik {
namespace {

// The lines that "/a" adds after the results, and its warnings on standard error.
void print_adaptive(const std::string& program, const Estimate& result) {
    const std::string text = "SE(V2): " + formats::fixed(result.standard_errors.v2, 16, 20) +
                             "\nSE(V1): " + formats::fixed(result.standard_errors.v1, 16, 20) +
                             "\nSE(V0): " + formats::fixed(result.standard_errors.v0, 16, 20) +
                             "\nBalls used: 1.." + std::to_string(result.balls_used) + " of " +
                             std::to_string(result.fractions.size()) + "\n";
    std::fputs(text.c_str(), stdout);
    std::fflush(stdout);
    for (const EstimateWarning& warning : result.warnings) {
        std::fprintf(stderr, "%s: warning: %s\n", program.c_str(), warning.text.c_str());
    }
    std::fflush(stderr);
}

}  // namespace

void run_estimation(const RunSettings& settings, const RunEngines& engines) {
    const VerboseLog log(settings.verbose);
    formats::BallsFile balls = formats::read_balls_file(*settings.balls_path);
    const size_t epsilon = static_cast<size_t>(settings.epsilon_index);
    if (settings.verbose && epsilon < balls.balls.size()) {
        formats::print_ball(stdout, balls.balls[epsilon]);
    }

    const std::string& directory = *settings.data_set_directory;
    formats::WordVolume volume = formats::load_data_set(directory);
    if (settings.output_path) {
        // Refused before the computation rather than after it. A file that cannot be opened
        // is reported when the row is written, once the results are printed.
        formats::fatal_unless(formats::create_results_file(*settings.output_path) !=
                                  formats::ResultsFilePreparation::cannot_lock,
                              1,
                              "Cannot lock the results file '%s': its file system does not "
                              "support locks.\n",
                              settings.output_path->c_str());
    }
    const EstimateRequest request{directory, *settings.balls_path, settings.epsilon_index,
                                  settings.adaptive};
    const Estimate result = estimate(
        std::move(volume), balls, request, engines, log, [&](const formats::BallsFile& completed) {
            formats::write_balls_file(*settings.balls_path, completed.balls);
        });
    print_results(stdout, result.volumes);
    if (settings.adaptive) {
        print_adaptive(settings.program_name, result);
    }
    if (settings.output_path) {
        formats::fatal_unless(
            formats::append_results_row(*settings.output_path, directory, result.volumes.v2,
                                        result.volumes.v1, result.volumes.v0),
            1, "Error writing the results to file '%s'.\n", settings.output_path->c_str());
    }
}

int talvik_main(int argc, char** argv, const RunEngines& engines) {
    const std::vector<std::string> args(argv, argv + argc);
    const CommandLine command_line = parse_command_line(args);
    const std::string& program = command_line.settings.program_name;
    if (command_line.usage_status) {
        std::fputs(usage_text(program).c_str(), stderr);
        std::fflush(stderr);
        return *command_line.usage_status;
    }
    try {
        run_estimation(command_line.settings, engines);
    } catch (const formats::FatalError& error) {
        std::fflush(stdout);
        std::fprintf(stderr, "%s: %s", program.c_str(), error.what());
        std::fflush(stderr);
        return error.status();
    } catch (const std::bad_alloc&) {
        std::fflush(stdout);
        std::fprintf(stderr, "%s: Memory allocation error.\n", program.c_str());
        std::fflush(stderr);
        return 1;
    }
    std::fflush(stdout);
    return 0;
}

}  // namespace talvik
