// The rows of the Results table: one per data set of every run, with talvik's results as it
// printed them, the truth for Xe when the data set carries Brisolt's model.txt, and the points
// of the fit when the run was verbose. Saved as CSV and copied as tab-separated text.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "estimator_output.h"

namespace quenbar {

enum class RowStatus { waiting, running, done, failed, cancelled, skipped };

// "waiting", "running", "done", "failed", "cancelled", "skipped".
const char* StatusText(RowStatus status);

// The truth for Xe beside the estimate, and the estimate's error.
struct RowTruth {
    double de = 0.0;                        // of the epsilon ball, as the balls file stores it
    std::array<double, 3> values{};         // V2, V1, V0 of Xe by Miles' formulae
    std::array<double, 3> error_percent{};  // (estimate - truth) in per cent of |truth|
};

struct ResultRow {
    std::string directory;  // the data set as talvik was given it, or the skipped list entry
    RowStatus status = RowStatus::waiting;
    std::string note;  // why it failed or was skipped, or what else there is to know
    std::array<std::string, 3> values;  // V2, V1, V0 exactly as printed; empty without results
    std::optional<RowTruth> truth;
    std::vector<FitPoint> points;  // verbose runs only
};

// The note of a quiet run's row: the plot needs the verbose output.
inline constexpr const char* kQuietNote = "tick Verbose Output for the plot";

// Completes the row of a finished run from its output. `runner_failure`, when not empty, is the
// runner's own report (the estimator could not be started). When the data set's directory
// holds a model.txt, the truth comes from it with the de that `balls_path` stores for ball
// `epsilon` after the run (talvik stores the ones that were missing).
void FinishRow(ResultRow& row, const EstimatorOutput& output, const std::string& runner_failure,
               const std::string& balls_path, int epsilon, bool verbose);

// The columns of the table, of the CSV file and of copied text, in order. The note comes last,
// where its width does not push the numbers out of sight.
inline constexpr std::array<const char*, 13> kColumnTitles = {
    "Data set", "Status",   "V2",         "V1",         "V0",         "de",  "V2 truth",
    "V1 truth", "V0 truth", "V2 error %", "V1 error %", "V0 error %", "Note"};

enum Column {
    kDataSetColumn,
    kStatusColumn,
    kV2Column,
    kDeColumn = kV2Column + 3,
    kTruthColumn,
    kErrorColumn = kTruthColumn + 3,
    kNoteColumn = kErrorColumn + 3,
    kColumnCount,
};

// The row's fields at full precision: results as printed, reals with 17 significant digits
// (every double reads back unchanged), empty where there is no value.
std::vector<std::string> RowFields(const ResultRow& row);

// RFC 4180: a header line, then one record per row, fields separated by commas, records ended
// by CR LF, a field that holds a comma, a double quote or a line end quoted with its quotes
// doubled.
std::string ResultsCsv(const std::vector<ResultRow>& rows);

// One line per row, fields separated by tabs, as spreadsheets paste them; a tab or line end
// inside a field becomes a blank.
std::string ResultsTsv(const std::vector<const ResultRow*>& rows);

}  // namespace quenbar
