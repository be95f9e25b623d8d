// Turning the front-end's settings into estimator runs: the data sets that a list entry
// stands for, and the estimator's command line. The range of epsilon is the balls file's
// count of complete balls (formats::count_complete_balls).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace quenbar {

// The settings of one estimator run, as the dialog's fields hold them when a data set starts.
struct EstimatorSettings {
    std::string balls_path;
    int epsilon = 0;          // one-based index of the epsilon ball
    std::string output_path;  // empty: no results file
    bool verbose = false;
    // /a: talvik chooses the range of balls from the data and reports standard errors.
    bool adaptive = false;
};

// Appends the data sets that one list entry stands for: each of its sub-directories in
// ascending name order, or the entry itself when it has none. Hidden sub-directories (a name
// that starts with ".") are left out: Brisolt writes a data set under such a name until it is
// complete. An entry that names no searchable directory adds nothing, and then `problem`, when
// given, receives the reason.
void CollectDataSets(const std::string& entry, std::vector<std::string>& data_sets,
                     std::string* problem = nullptr);

// The estimator's name, looked up beside the front-end and on PATH.
inline constexpr const char* kEstimatorName = "talvik";

// The options besides /d, /b and /e, as the command line holds them: "/v", "/a" and the
// results file ("/o" and its path in double quotes), each where set, separated by blanks.
std::string OptionsText(const EstimatorSettings& settings);

// The command line as the user reads it, every path in double quotes.
std::string BuildCommandLine(const EstimatorSettings& settings, const std::string& data_set);

// The same command line as the estimator receives it: one element per argument, the
// estimator's own name not included.
std::vector<std::string> BuildArguments(const EstimatorSettings& settings,
                                        const std::string& data_set);

}  // namespace quenbar
