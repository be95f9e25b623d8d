// The rows of the Results table: one per data set of every run, with talvik's results as it
// printed them, with /a their standard errors and the balls used, the truth for Xe when the
// data set carries Brisolt's model.txt, the points of the fit when the run was verbose, and how
// the run was made. Saved as CSV and copied as tab-separated text.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "estimator_output.h"
#include "run_preparation.h"

namespace quenbar {

enum class RowStatus { waiting, running, done, failed, cancelled, skipped };

// "waiting", "running", "done", "failed", "cancelled", "skipped".
const char* StatusText(RowStatus status);

// An error against a truth near zero is shown as the difference estimate - truth, not in per
// cent: when the truth lies within this many standard errors of zero ...
inline constexpr double kNearZeroStandardErrors = 3.0;
// ... or is below this share of the largest of the three truths.
inline constexpr double kNearZeroShare = 1e-3;

// Whether `truth` counts as near zero beside `largest` (the largest |truth| of the row) and
// the estimate's standard error, when known.
bool NearZero(double truth, double largest, std::optional<double> standard_error);

// The truth for Xe beside the estimate, and the estimate's error.
struct RowTruth {
    double de = 0.0;                        // of the epsilon ball, as the balls file stores it
    std::array<double, 3> values{};         // V2, V1, V0 of Xe by Miles' formulae
    std::array<double, 3> difference{};     // estimate - truth
    std::array<double, 3> error_percent{};  // (estimate - truth) in per cent of |truth|
    std::array<bool, 3> near_zero{};        // the error is shown as the difference
    std::optional<std::array<double, 3>> error_in_se;  // (estimate - truth) / SE, with /a
};

struct ResultRow {
    std::string directory;  // the data set as talvik was given it, or the skipped list entry
    RowStatus status = RowStatus::waiting;
    std::string note;  // why it failed or was skipped, the warnings, what else there is to know
    std::array<std::string, 3> values;  // V2, V1, V0 exactly as printed; empty without results
    std::optional<std::array<std::string, 3>> standard_errors;  // as printed, with /a
    std::optional<BallsUsed> balls_used;                        // with /a
    std::optional<RowTruth> truth;
    std::vector<FitPoint> points;  // verbose runs only
    // How the run was made.
    std::string balls_file;
    int epsilon = 0;
    std::string options;  // talvik's options besides /d, /b and /e, as on its command line
};

// The note of a quiet run's row: the plot needs the verbose output.
inline constexpr const char* kQuietNote = "tick Verbose Output for the plot";

// Takes the settings of the run into the row, before it starts.
void StartRow(ResultRow& row, const EstimatorSettings& settings);

// Completes the row of a finished run from its output. `runner_failure`, when not empty, is the
// runner's own report (the estimator could not be started). When the data set's directory
// holds a model.txt, the truth comes from it with the de that the balls file stores for the
// epsilon ball after the run (talvik stores the ones that were missing).
void FinishRow(ResultRow& row, const EstimatorOutput& output, const std::string& runner_failure,
               const EstimatorSettings& settings);

// The columns of the table, in order: the data set, the estimates and their errors first, so
// that they fit the window together; the note last, where its width pushes nothing out of
// sight. A line break in a title splits the header; the units are per voxel of the data set.
inline constexpr std::array<const char*, 20> kColumnTitles = {"Data set",
                                                              "Status",
                                                              "V2\nper voxel",
                                                              "V1\nper voxel",
                                                              "V0\nper voxel",
                                                              "V2 error\n% or Δ",
                                                              "V1 error\n% or Δ",
                                                              "V0 error\n% or Δ",
                                                              "± V2\nper voxel",
                                                              "± V1\nper voxel",
                                                              "± V0\nper voxel",
                                                              "V2 error\nin SE",
                                                              "V1 error\nin SE",
                                                              "V0 error\nin SE",
                                                              "Balls\nused",
                                                              "de\nvoxels",
                                                              "V2 truth\nper voxel",
                                                              "V1 truth\nper voxel",
                                                              "V0 truth\nper voxel",
                                                              "Note"};

enum Column {
    kDataSetColumn,
    kStatusColumn,
    kV2Column,
    kErrorColumn = kV2Column + 3,
    kStandardErrorColumn = kErrorColumn + 3,
    kErrorInSeColumn = kStandardErrorColumn + 3,
    kBallsUsedColumn = kErrorInSeColumn + 3,
    kDeColumn,
    kTruthColumn,
    kNoteColumn = kTruthColumn + 3,
    kColumnCount,
};

static_assert(kColumnTitles.size() == kColumnCount);

// What each column holds, for its title's tooltip.
extern const std::array<const char*, kColumnCount> kColumnHelp;

// The fields of the CSV file and of copied rows, in order: every number at full precision
// (results as printed, reals with 17 significant digits, which read back unchanged), empty
// where there is none, then how the row was made.
std::vector<std::string> CsvTitles();
std::vector<std::string> RowFields(const ResultRow& row);

// RFC 4180: a header line, then one record per row in the order given, fields separated by
// commas, records ended by CR LF, a field that holds a comma, a double quote or a line end
// quoted with its quotes doubled.
std::string ResultsCsv(const std::vector<const ResultRow*>& rows);

// A header line and one line per row, fields separated by tabs, as spreadsheets paste them; a
// tab or line end inside a field becomes a blank.
std::string ResultsTsv(const std::vector<const ResultRow*>& rows);

// `path` with ".`suffix`" added when its file name has no suffix of its own.
std::string WithSuffix(const std::string& path, const std::string& suffix);

// The question before closing: what would be lost. Empty when nothing would.
std::string CloseQuestion(bool running, int unsaved_rows);

}  // namespace quenbar
