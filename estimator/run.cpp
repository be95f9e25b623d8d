#include "run.h"

#include <cstdio>
#include <new>

#include "balls_file.h"
#include "data_set.h"
#include "diagnostics.h"
#include "morphology.h"
#include "reference_shell.h"
#include "results_file.h"
#include "shells.h"
#include "steiner_fit.h"

namespace talvik {

void run_estimation(const RunSettings& settings, const RunEngines& engines) {
    const VerboseLog log(settings.verbose);
    BallsFile balls = read_balls_file(*settings.balls_path);
    const size_t epsilon = static_cast<size_t>(settings.epsilon_index);
    if (settings.verbose && epsilon < balls.balls.size()) {
        print_ball(stdout, balls.balls[epsilon]);
    }

    const std::string& directory = *settings.data_set_directory;
    WordVolume x = load_data_set(directory);
    // A window of no voxels would divide every count by zero or less.
    fatal_unless(x.width() > 2 * kWindowMargin && x.height() > 2 * kWindowMargin &&
                     x.slices() > 2 * kWindowMargin,
                 1,
                 "Data set '%s' is too small: it is %d x %d x %d voxels, and the measuring "
                 "window needs at least 11 along every axis.\n",
                 directory.c_str(), x.width(), x.height(), x.slices());
    ShellMeasurement shells(engines.morphology, std::move(x), balls.balls);

    FitMatrices fit = create_fit_matrices(static_cast<uint32_t>(balls.balls.size()));
    compute_de(balls.balls, fit.m, log, engines.reference_shell_count);
    if (balls.de_missing) {
        write_balls_file(*settings.balls_path, balls.balls);
        balls.de_missing = false;
    }
    fatal_unless(epsilon < balls.balls.size(), 1, "Given epsilon '%d' is out of range.\n",
                 settings.epsilon_index + 1);
    // With fewer balls than unknowns the fit has no solution: stop before the long part.
    fatal_unless(balls.balls.size() >= kMinimumBalls, 1,
                 "Cannot fit V2, V1 and V0 with %zu ball%s: the discretized-balls file '%s' "
                 "must hold at least %zu.\n",
                 balls.balls.size(), balls.balls.size() == 1 ? "" : "s",
                 settings.balls_path->c_str(), kMinimumBalls);
    check_fit_is_determined(fit.m);

    log("============================================================\n");
    log("  v (e - epsilon, d - delta)\n");
    log("============================================================\n");
    shells.measure(balls.balls, epsilon, fit.v, log);

    const IntrinsicVolumes volumes = solve(fit, log);
    print_results(stdout, volumes);
    if (settings.output_path) {
        fatal_unless(append_results_row(*settings.output_path, directory, volumes), 1,
                     "Error writing the results to file '%s'.\n", settings.output_path->c_str());
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
    } catch (const FatalError& error) {
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
