#include "batch_mode.h"

#include <algorithm>
#include <csignal>
#include <cstring>
#include <iterator>
#include <type_traits>

#include "data_set_writer.h"
#include "formats/numbers.h"
#include "random/random.h"

namespace brisolt {
namespace {

enum class Kind { flag, whole, number, text, seed, skip };

struct OptionSpec {
    const char* name;
    Kind kind;
    bool required;
};

const OptionSpec kOptions[] = {
    {"--batch", Kind::flag, false},     {"--x", Kind::whole, true},
    {"--y", Kind::whole, true},         {"--z", Kind::whole, true},
    {"--lambda", Kind::number, true},   {"--radius", Kind::whole, true},
    {"--law", Kind::text, true},        {"--p1", Kind::number, true},
    {"--p2", Kind::number, true},       {"--count", Kind::whole, true},
    {"--prefix", Kind::text, true},     {"--out", Kind::text, true},
    {"--seed", Kind::seed, false},      {"--skip", Kind::skip, false},
    {"--new-count", Kind::flag, false}, {"--yes", Kind::flag, false},
    {"--help", Kind::flag, false},
};

// Reads `value` into `target` as the option's kind of number; the error names the option.
template <typename T>
bool read_into(T& target, const std::string& name, const std::string& value, std::string& error) {
    T parsed{};
    bool ok;
    if constexpr (std::is_floating_point_v<T>) {
        ok = formats::parse_number(value, parsed);
    } else {
        ok = formats::parse_whole(value, parsed);
    }
    if (!ok) {
        error = name + (std::is_floating_point_v<T> ? " needs a number" : " needs a whole number") +
                ", not '" + value + "'.";
        return false;
    }
    target = parsed;
    return true;
}

bool store(const OptionSpec& option, const std::string& value, BatchOptions& o,
           std::string& error) {
    GenerationRequest& r = o.request;
    formats::ModelParameters& m = r.model;
    const std::string name = option.name;
    switch (option.kind) {
        case Kind::whole:
            return read_into(name == "--x"        ? m.max_x
                             : name == "--y"      ? m.max_y
                             : name == "--z"      ? m.max_z
                             : name == "--radius" ? m.max_radius
                                                  : r.count,
                             name, value, error);
        case Kind::number:
            return read_into(name == "--lambda" ? m.lambda
                             : name == "--p1"   ? m.parameter1
                                                : m.parameter2,
                             name, value, error);
        case Kind::text:
            if (name == "--prefix" && !prefix_problem(value).empty()) {
                error = "--prefix " + prefix_problem(value);
                return false;
            }
            if (name == "--out" && value.empty()) {
                error = "--out needs a folder.";
                return false;
            }
            (name == "--law"      ? m.distribution
             : name == "--prefix" ? r.prefix
                                  : r.output_directory) = value;
            return true;
        case Kind::seed:
            if (!read_into(o.seed, name, value, error) || o.seed < 1 || o.seed > 2147483646) {
                error = "--seed needs a time in whole seconds from 1 to 2147483646, not '" + value +
                        "'.";
                return false;
            }
            o.seed_given = true;
            return true;
        case Kind::skip:
            if (!formats::parse_whole(value, o.skip)) {
                error = "--skip needs a whole number of draws, not '" + value + "'.";
                return false;
            }
            return true;
        case Kind::flag:
            break;
    }
    return true;
}

const OptionSpec* find_option(const std::string& name) {
    for (const OptionSpec& option : kOptions) {
        if (name == option.name) {
            return &option;
        }
    }
    return nullptr;
}

bool is_known_law(const std::string& law) {
    for (const char* name : formats::kRadiusLaws) {
        if (law == name) {
            return true;
        }
    }
    return false;
}

// The signal that asked the run to stop, or 0.
volatile std::sig_atomic_t g_stop_signal = 0;

void note_stop_signal(int signal) {
    g_stop_signal = signal;
}

const int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

// While a run goes on, the signals that end a program from a terminal or a job scheduler
// end the run cleanly instead, between two of its steps. One that was ignored when the run
// began (nohup, a background job of a shell without job control) stays ignored.
class StopSignals {
  public:
    StopSignals() {
        g_stop_signal = 0;
        struct sigaction action {};
        action.sa_handler = note_stop_signal;
        sigemptyset(&action.sa_mask);
        for (size_t i = 0; i < std::size(kStopSignals); ++i) {
            sigaction(kStopSignals[i], nullptr, &previous_[i]);
            if (previous_[i].sa_handler != SIG_IGN) {
                sigaction(kStopSignals[i], &action, nullptr);
            }
        }
    }
    ~StopSignals() {
        for (size_t i = 0; i < std::size(kStopSignals); ++i) {
            sigaction(kStopSignals[i], &previous_[i], nullptr);
        }
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

  private:
    struct sigaction previous_[std::size(kStopSignals)]{};
};

const char* signal_name(int signal) {
    switch (signal) {
        case SIGINT:
            return "SIGINT";
        case SIGTERM:
            return "SIGTERM";
        default:
            return "SIGHUP";
    }
}

// Ends the process by `signal` with its default action, so that the shell or the scheduler
// that started Brisolt sees it ended by that signal: a shell loop stops at Ctrl-C.
void end_by_signal(int signal) {
    std::signal(signal, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signal);
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
    std::raise(signal);
}

bool confirmed(std::FILE* in) {
    char answer[64] = {};
    if (!std::fgets(answer, sizeof answer, in)) {
        return false;
    }
    answer[std::strcspn(answer, "\r\n")] = '\0';
    return std::strcmp(answer, "y") == 0 || std::strcmp(answer, "Y") == 0 ||
           std::strcmp(answer, "yes") == 0;
}

}  // namespace

const char* const kBatchUsage =
    "Usage: Brisolt --batch --x X --y Y --z Z --lambda L --radius R --law NAME --p1 P1 --p2 P2\n"
    "               --count C --prefix P --out DIR [--new-count] [--seed T [--skip K]] [--yes]\n"
    "\n"
    "Samples C Boolean models of balls in an X x Y x Z box and writes them as data sets\n"
    "DIR/P000, DIR/P001, ... of slices Pslice000.pbm, Pslice001.pbm, ... and a model.txt\n"
    "that holds the model's parameters, its true densities and its measured volume fraction.\n"
    "\n"
    "  --x, --y, --z  the box in voxels, 1 to 1000\n"
    "  --lambda L     expected ball centres per voxel of the box enlarged by R on every side\n"
    "  --radius R     the largest radius, 1 to 1000\n"
    "  --law NAME     Uniform (P1 lower, P2 upper bound), LogNormal (P1 mu, P2 sigma),\n"
    "                 Exponential (P1 mu); any other name gives every ball the radius R\n"
    "  --count C      the number of data sets; they share one Poisson number of balls\n"
    "  --new-count    draw a new number of balls for each data set, so that the data sets\n"
    "                 are independent realisations of the model (for statistics over them)\n"
    "  --prefix P     starts every directory and slice name; may be empty (\"\"), holds no \"/\"\n"
    "  --out DIR      an existing directory that receives the data sets\n"
    "  --seed T       seeds the random numbers with the time T in seconds (default: now);\n"
    "                 the same seed and values give the same files\n"
    "  --skip K       draw K numbers after seeding before the run starts: model.txt gives\n"
    "                 seed and skip of the run that wrote it, and its line 'reproduce' the\n"
    "                 options that write the data set again byte for byte\n"
    "  --yes          do not ask for confirmation\n"
    "\n"
    "A data set is written into a hidden folder DIR/.P000.partial-XXXXXX of its own and moved\n"
    "into place when complete, so DIR never shows a half-written one. SIGINT (Ctrl-C), SIGTERM\n"
    "and SIGHUP stop the run after its current step: the complete data sets stay, the\n"
    "unfinished one is removed, and Brisolt then ends by that signal (a shell shows the\n"
    "status 130, 143, 129).\n";

bool wants_batch_mode(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--batch") == 0 || std::strcmp(argv[i], "--help") == 0) {
            return true;
        }
    }
    return false;
}

std::string parse_batch_options(const std::vector<std::string>& args, BatchOptions& options) {
    std::vector<const OptionSpec*> seen;
    for (size_t i = 0; i < args.size(); ++i) {
        const OptionSpec* option = find_option(args[i]);
        if (!option) {
            return "unknown option '" + args[i] + "'.";
        }
        for (const OptionSpec* s : seen) {
            if (s == option) {
                return args[i] + " is given twice.";
            }
        }
        seen.push_back(option);
        if (option->kind == Kind::flag) {
            options.yes = options.yes || args[i] == "--yes";
            options.request.new_count_each =
                options.request.new_count_each || args[i] == "--new-count";
            options.help = options.help || args[i] == "--help";
            continue;
        }
        if (i + 1 == args.size()) {
            return args[i] + " needs a value.";
        }
        std::string error;
        if (!store(*option, args[++i], options, error)) {
            return error;
        }
    }
    if (options.help) {
        return {};
    }
    for (const OptionSpec& option : kOptions) {
        bool given = false;
        for (const OptionSpec* s : seen) {
            given = given || s == &option;
        }
        if (option.required && !given) {
            return std::string(option.name) + " is missing.";
        }
    }
    if (options.skip > 0 && !options.seed_given) {
        return "--skip counts draws from a --seed: give both.";
    }
    return {};
}

int run_batch(const std::vector<std::string>& args, std::FILE* in, std::FILE* out, std::FILE* err,
              int64_t now, bool progress_line) {
    BatchOptions options;
    const std::string problem = parse_batch_options(args, options);
    if (!problem.empty()) {
        std::fprintf(err, "Brisolt: %s\nRun 'Brisolt --help' for the options.\n", problem.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(kBatchUsage, out);
        return 0;
    }
    const GenerationRequest& request = options.request;
    const int64_t seed = options.seed_given ? options.seed : now;
    seed_from_time(seed);
    Random::skip_draws(static_cast<uint64_t>(options.skip));
    if (!is_known_law(request.model.distribution)) {
        std::fprintf(err,
                     "Brisolt: '%s' is none of Uniform, LogNormal and Exponential: every ball "
                     "gets the radius %u.\n",
                     request.model.distribution.c_str(), request.model.max_radius);
    }
    // Before anything is drawn or asked.
    if (const std::string folder = output_folder_problem(request.output_directory);
        !folder.empty()) {
        std::fprintf(err, "Brisolt: %s\n", folder.c_str());
        return 1;
    }
    const RunPlan plan = plan_run(request);
    if (!plan.ok) {
        std::fprintf(err, "Brisolt: %s\n", plan.error.c_str());
        return 1;
    }
    std::fprintf(out, "seed: %s\nmu: %s\nN: %s\n", std::to_string(seed).c_str(),
                 formats::general(plan.mu, 10).c_str(), std::to_string(plan.ball_count).c_str());
    if (!options.yes) {
        std::fprintf(
            out, "%s [y/N] ",
            confirmation_text(plan.ball_count, request.count, request.new_count_each, plan.mu)
                .c_str());
        std::fflush(out);
        if (!confirmed(in)) {
            std::fprintf(err, "Brisolt: not confirmed; nothing written.\n");
            return 1;
        }
    }
    std::fflush(out);
    BallSources sources;
    GenerationRun run(request, plan, sources);
    int shown_progress = -1;
    {
        const StopSignals stop_signals;
        bool more = true;
        while (more && g_stop_signal == 0) {
            // One step at a time, so that a signal stops the run after the current step.
            more = run.advance(std::chrono::milliseconds(0));
            if (progress_line && run.progress() != shown_progress) {
                shown_progress = run.progress();
                std::fprintf(err, "\rprogress: %d%%, data set %u of %u", shown_progress,
                             std::min(run.data_sets_written() + 1, request.count), request.count);
                std::fflush(err);
            }
        }
        if (more) {
            run.cancel();
        }
    }
    if (shown_progress >= 0) {
        std::fputc('\n', err);
    }
    const std::string written = written_summary(run.data_sets_written(), request.count) + " into " +
                                request.output_directory + ".";
    if (run.cancelled()) {
        std::fprintf(err, "Brisolt: stopped by %s; %s\n", signal_name(g_stop_signal),
                     written.c_str());
        std::fflush(out);
        std::fflush(err);
        end_by_signal(g_stop_signal);
        return 128 + g_stop_signal;
    }
    if (run.failed()) {
        std::fprintf(err, "Brisolt: %s\nBrisolt: %s\n", run.error().c_str(), written.c_str());
        return 1;
    }
    std::fprintf(out, "Wrote %u data sets into %s.\n", run.data_sets_written(),
                 request.output_directory.c_str());
    return 0;
}

}  // namespace brisolt
