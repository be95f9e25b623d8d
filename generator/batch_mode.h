// Brisolt --batch: the generator's run from the command line, with no window system, for
// scripts and reproducible data.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "generator_run.h"

namespace brisolt {

struct BatchOptions {
    GenerationRequest request;
    bool seed_given = false;
    int64_t seed = 0;  // calendar time in seconds, as the dialog seeds from the clock
    int64_t skip = 0;  // numbers drawn and thrown away after seeding (a window's earlier runs)
    bool yes = false;  // skip the confirmation question
    bool help = false;
};

// True when an argument is --batch or --help: the program then touches no window system.
bool wants_batch_mode(int argc, char** argv);

// Reads the arguments after the program name. Returns an empty text, or what is wrong.
std::string parse_batch_options(const std::vector<std::string>& args, BatchOptions& options);

extern const char* const kBatchUsage;

// The whole batch mode; returns the exit status: 0 done, 1 refused, failed or not confirmed,
// 2 a bad command line. When SIGINT, SIGTERM or SIGHUP stopped the run (the data sets
// complete by then stay, the unfinished one is removed) it ends the process by that signal
// once it has said so; 128 + the signal number where the signal cannot end it. `now` seeds the
// stream when --seed is not given. With `progress_line` (`err` is a terminal) the progress
// shows on one line that keeps being rewritten; otherwise only the final lines are written.
int run_batch(const std::vector<std::string>& args, std::FILE* in, std::FILE* out, std::FILE* err,
              int64_t now, bool progress_line);

}  // namespace brisolt
