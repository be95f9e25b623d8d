#include "result_rows.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <system_error>

#include "formats/model_file.h"
#include "formats/numbers.h"
#include "model_truth.h"

namespace quenbar {
namespace {

std::optional<RowTruth> find_truth(const ResultRow& row, const std::array<double, 3>& estimate,
                                   const std::optional<std::array<double, 3>>& standard_errors,
                                   std::string& problem) {
    const std::string path = formats::model_file_path(row.directory);
    std::error_code error;
    if (!std::filesystem::exists(path, error)) {
        return std::nullopt;
    }
    formats::ModelRecord record;
    std::string reason;
    if (!formats::read_model_file(path, record, reason)) {
        problem = "no truth: model.txt: " + reason;
        return std::nullopt;
    }
    RowTruth truth;
    if (!brisolt::stored_epsilon_de(row.balls_file, row.epsilon, truth.de, reason)) {
        problem = "no truth: " + reason;
        return std::nullopt;
    }
    const brisolt::IntrinsicDensities xe = brisolt::xe_truth(record, truth.de);
    truth.values = {xe.v2, xe.v1, xe.v0};
    double largest = 0.0;
    for (const double value : truth.values) {
        largest = std::max(largest, std::fabs(value));
    }
    std::array<double, 3> in_se{};
    for (size_t k = 0; k < 3; ++k) {
        truth.difference[k] = estimate[k] - truth.values[k];
        truth.error_percent[k] = brisolt::relative_error_percent(estimate[k], truth.values[k]);
        const std::optional<double> se =
            standard_errors ? std::optional((*standard_errors)[k]) : std::nullopt;
        truth.near_zero[k] = NearZero(truth.values[k], largest, se);
        if (se) {
            in_se[k] = truth.difference[k] / *se;
        }
    }
    if (standard_errors) {
        truth.error_in_se = in_se;
    }
    return truth;
}

void add_note(std::string& note, const std::string& text) {
    if (!text.empty()) {
        note += (note.empty() ? "" : "; ") + text;
    }
}

std::string full_precision(double value) {
    return formats::general(value, 17);
}

// A record of fields joined by `separator`; `field` turns one field into its text.
template <typename Field>
std::string record(const std::vector<std::string>& fields, const std::string& separator,
                   Field field) {
    std::string line;
    for (size_t i = 0; i < fields.size(); ++i) {
        line += (i > 0 ? separator : "") + field(fields[i]);
    }
    return line;
}

std::string csv_field(const std::string& field) {
    if (field.find_first_of(",\"\r\n") == std::string::npos) {
        return field;
    }
    std::string quoted = "\"";
    for (const char c : field) {
        quoted += c == '"' ? "\"\"" : std::string(1, c);
    }
    return quoted + '"';
}

std::string tsv_field(std::string field) {
    for (char& c : field) {
        if (c == '\t' || c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    return field;
}

}  // namespace

const std::array<const char*, kColumnCount> kColumnHelp = {
    "The data set's directory as talvik got it (for a skipped entry, the entry)",
    "waiting, running, done, failed, cancelled or skipped",
    "V2, half the surface area per voxel, of Xe (the data set dilated by the epsilon ball)",
    "V1, the integral of mean curvature over pi, per voxel, of Xe",
    "V0, the Euler characteristic per voxel, of Xe",
    "V2's error against the truth: in per cent of the truth, or as the difference estimate - "
    "truth (Δ) where the truth is near zero (below 1e-3 of the row's largest truth, or within 3 "
    "standard errors of zero)",
    "V1's error against the truth: in per cent of the truth, or as the difference estimate - "
    "truth (Δ) where the truth is near zero (below 1e-3 of the row's largest truth, or within 3 "
    "standard errors of zero)",
    "V0's error against the truth: in per cent of the truth, or as the difference estimate - "
    "truth (Δ) where the truth is near zero (below 1e-3 of the row's largest truth, or within 3 "
    "standard errors of zero)",
    "The standard error of V2 that talvik /a reports (block jackknife)",
    "The standard error of V1 that talvik /a reports (block jackknife)",
    "The standard error of V0 that talvik /a reports (block jackknife)",
    "V2's error against the truth in standard errors: (estimate - truth) / SE",
    "V1's error against the truth in standard errors: (estimate - truth) / SE",
    "V0's error against the truth in standard errors: (estimate - truth) / SE",
    "The balls of the file that the fit used (talvik /a chooses them from the data)",
    "The epsilon ball's correction value de, in voxels, from the balls file after the run",
    "The truth of V2 for Xe, from the data set's model.txt (Miles' formulae, radii grown by de)",
    "The truth of V1 for Xe, from the data set's model.txt (Miles' formulae, radii grown by de)",
    "The truth of V0 for Xe, from the data set's model.txt (Miles' formulae, radii grown by de)",
    "Why a run failed or was skipped, talvik's warnings, and what else there is to know",
};

const char* StatusText(RowStatus status) {
    switch (status) {
        case RowStatus::waiting:
            return "waiting";
        case RowStatus::running:
            return "running";
        case RowStatus::done:
            return "done";
        case RowStatus::failed:
            return "failed";
        case RowStatus::cancelled:
            return "cancelled";
        case RowStatus::skipped:
            return "skipped";
    }
    return "";
}

bool NearZero(double truth, double largest, std::optional<double> standard_error) {
    const double size = std::fabs(truth);
    return size < kNearZeroShare * largest ||
           (standard_error && size <= kNearZeroStandardErrors * std::fabs(*standard_error));
}

void StartRow(ResultRow& row, const EstimatorSettings& settings) {
    row.balls_file = settings.balls_path;
    row.epsilon = settings.epsilon;
    row.options = OptionsText(settings);
}

void FinishRow(ResultRow& row, const EstimatorOutput& output, const std::string& runner_failure,
               const EstimatorSettings& settings) {
    StartRow(row, settings);
    row.note.clear();
    row.points = output.points;
    const auto add_warnings = [&] {
        for (const std::string& warning : output.warnings) {
            add_note(row.note, "warning: " + warning);
        }
    };
    if (!runner_failure.empty() || !output.has_values) {
        row.status = RowStatus::failed;
        row.note = !runner_failure.empty()      ? runner_failure
                   : !output.error_line.empty() ? output.error_line
                                                : "talvik printed no V2, V1 and V0";
        add_warnings();
        return;
    }
    row.status = RowStatus::done;
    row.values = output.values;
    row.standard_errors = output.standard_errors;
    row.balls_used = output.balls_used;
    add_warnings();
    // A results file that could not be written is reported beside printed results.
    add_note(row.note, output.error_line);
    std::array<double, 3> estimate{};
    std::optional<std::array<double, 3>> standard_errors;
    for (size_t k = 0; k < 3; ++k) {
        formats::parse_number(row.values[k], estimate[k]);
    }
    if (row.standard_errors) {
        standard_errors.emplace();
        for (size_t k = 0; k < 3; ++k) {
            formats::parse_number((*row.standard_errors)[k], (*standard_errors)[k]);
        }
    }
    std::string problem;
    row.truth = find_truth(row, estimate, standard_errors, problem);
    add_note(row.note, problem);
    if (!settings.verbose) {
        add_note(row.note, kQuietNote);
    }
}

std::vector<std::string> CsvTitles() {
    std::vector<std::string> titles = {"Data set", "Status"};
    const auto each = [&](const std::string& before, const std::string& after) {
        for (const char* v : {"V2", "V1", "V0"}) {
            titles.push_back(before + v + after);
        }
    };
    each("", " per voxel");
    each("", " error %");
    each("", " difference per voxel");
    each("SE(", ") per voxel");
    each("", " error in SE");
    titles.insert(titles.end(), {"Balls used", "Balls in file", "de voxels"});
    each("", " truth per voxel");
    titles.insert(titles.end(), {"Note", "Balls file", "Epsilon", "Options"});
    return titles;
}

std::vector<std::string> RowFields(const ResultRow& row) {
    std::vector<std::string> fields = {row.directory, StatusText(row.status)};
    fields.insert(fields.end(), row.values.begin(), row.values.end());
    const auto reals = [&](const std::optional<std::array<double, 3>>& values) {
        for (size_t k = 0; k < 3; ++k) {
            fields.push_back(values ? full_precision((*values)[k]) : std::string());
        }
    };
    const std::optional<RowTruth>& truth = row.truth;
    reals(truth ? std::optional(truth->error_percent) : std::nullopt);
    reals(truth ? std::optional(truth->difference) : std::nullopt);
    for (size_t k = 0; k < 3; ++k) {
        fields.push_back(row.standard_errors ? (*row.standard_errors)[k] : std::string());
    }
    reals(truth ? truth->error_in_se : std::nullopt);
    fields.push_back(row.balls_used ? std::to_string(row.balls_used->used) : std::string());
    fields.push_back(row.balls_used ? std::to_string(row.balls_used->count) : std::string());
    fields.push_back(truth ? full_precision(truth->de) : std::string());
    reals(truth ? std::optional(truth->values) : std::nullopt);
    fields.insert(fields.end(),
                  {row.note, row.balls_file,
                   row.epsilon > 0 ? std::to_string(row.epsilon) : std::string(), row.options});
    return fields;
}

std::string ResultsCsv(const std::vector<const ResultRow*>& rows) {
    std::string text = record(CsvTitles(), ",", csv_field) + "\r\n";
    for (const ResultRow* row : rows) {
        text += record(RowFields(*row), ",", csv_field) + "\r\n";
    }
    return text;
}

std::string ResultsTsv(const std::vector<const ResultRow*>& rows) {
    std::string text = record(CsvTitles(), "\t", tsv_field) + "\n";
    for (const ResultRow* row : rows) {
        text += record(RowFields(*row), "\t", tsv_field) + "\n";
    }
    return text;
}

std::string WithSuffix(const std::string& path, const std::string& suffix) {
    const std::filesystem::path name = std::filesystem::path(path).filename();
    return name.empty() || name.has_extension() ? path : path + "." + suffix;
}

std::string CloseQuestion(bool running, int unsaved_rows) {
    std::string text;
    if (running) {
        text = "A run is in progress: closing stops it.\n";
    }
    if (unsaved_rows > 0) {
        text += "The Results table holds " +
                (unsaved_rows == 1 ? std::string("1 row that has")
                                   : std::to_string(unsaved_rows) + " rows that have") +
                " not been saved as CSV: closing loses them, with their truths, errors and "
                "plots.\n";
    }
    return text.empty() ? text : text + "\nSave the table as CSV before closing?";
}

}  // namespace quenbar
