// The results file that the estimator appends its rows to: what a name in the Output File
// field stands for, and preparing it for a run. A file that holds rows, or that is no results
// file at all, is never emptied without the user's word.
#pragma once

#include <string>

namespace quenbar {

enum class ResultsFileKind {
    fresh,        // missing, or empty: nothing to lose
    results,      // begins with the header "; Data_set" and holds `rows` rows
    balls_file,   // the discretized-balls file itself
    slice,        // a "*.pbm" name: a slice bitmap, or a name that a data set would load
    foreign,      // not empty and not beginning with "; Data_set"
    cannot_open,  // a directory, or a file that cannot be read
};

struct ResultsFileCheck {
    ResultsFileKind kind = ResultsFileKind::fresh;
    int rows = 0;
};

// What `path` names, given the discretized-balls file of the dialog (may be empty).
ResultsFileCheck InspectResultsFile(const std::string& path, const std::string& balls_path);

// Creates the results file empty, or empties it, so that the next run starts it afresh with
// its header line. False when it cannot be opened for writing.
bool EmptyResultsFile(const std::string& path);

// Creates the file when it is missing and leaves its contents alone. False when it cannot be
// opened for appending.
bool OpenResultsFileForAppending(const std::string& path);

}  // namespace quenbar
