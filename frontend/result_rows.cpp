#include "result_rows.h"

#include <filesystem>
#include <system_error>

#include "formats/model_file.h"
#include "formats/numbers.h"
#include "model_truth.h"

namespace quenbar {
namespace {

std::optional<RowTruth> find_truth(const std::string& directory,
                                   const std::array<double, 3>& estimate,
                                   const std::string& balls_path, int epsilon,
                                   std::string& problem) {
    const std::string path = formats::model_file_path(directory);
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
    if (!brisolt::stored_epsilon_de(balls_path, epsilon, truth.de, reason)) {
        problem = "no truth: " + reason;
        return std::nullopt;
    }
    const brisolt::IntrinsicDensities xe = brisolt::xe_truth(record, truth.de);
    truth.values = {xe.v2, xe.v1, xe.v0};
    for (size_t k = 0; k < 3; ++k) {
        truth.error_percent[k] = brisolt::relative_error_percent(estimate[k], truth.values[k]);
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

}  // namespace

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

void FinishRow(ResultRow& row, const EstimatorOutput& output, const std::string& runner_failure,
               const std::string& balls_path, int epsilon, bool verbose) {
    row.note.clear();
    row.points = output.points;
    if (!runner_failure.empty() || !output.has_values) {
        row.status = RowStatus::failed;
        row.note = !runner_failure.empty()      ? runner_failure
                   : !output.error_line.empty() ? output.error_line
                                                : "talvik printed no V2, V1 and V0";
        return;
    }
    row.status = RowStatus::done;
    row.values = output.values;
    // A results file that could not be written is reported beside printed results.
    add_note(row.note, output.error_line);
    std::array<double, 3> estimate{};
    for (size_t k = 0; k < 3; ++k) {
        formats::parse_number(row.values[k], estimate[k]);
    }
    std::string problem;
    row.truth = find_truth(row.directory, estimate, balls_path, epsilon, problem);
    add_note(row.note, problem);
    if (!verbose) {
        add_note(row.note, kQuietNote);
    }
}

std::vector<std::string> RowFields(const ResultRow& row) {
    std::vector<std::string> fields = {row.directory, StatusText(row.status)};
    fields.insert(fields.end(), row.values.begin(), row.values.end());
    if (row.truth) {
        fields.push_back(full_precision(row.truth->de));
        for (const double value : row.truth->values) {
            fields.push_back(full_precision(value));
        }
        for (const double error : row.truth->error_percent) {
            fields.push_back(full_precision(error));
        }
    } else {
        fields.resize(fields.size() + 7);
    }
    fields.push_back(row.note);
    return fields;
}

std::string ResultsCsv(const std::vector<ResultRow>& rows) {
    const auto record = [](const std::vector<std::string>& fields) {
        std::string line;
        for (size_t i = 0; i < fields.size(); ++i) {
            const std::string& field = fields[i];
            line += i > 0 ? "," : "";
            if (field.find_first_of(",\"\r\n") == std::string::npos) {
                line += field;
                continue;
            }
            line += '"';
            for (const char c : field) {
                line += c == '"' ? "\"\"" : std::string(1, c);
            }
            line += '"';
        }
        return line + "\r\n";
    };
    std::string text = record(std::vector<std::string>(kColumnTitles.begin(), kColumnTitles.end()));
    for (const ResultRow& row : rows) {
        text += record(RowFields(row));
    }
    return text;
}

std::string ResultsTsv(const std::vector<const ResultRow*>& rows) {
    std::string text;
    for (const ResultRow* row : rows) {
        const std::vector<std::string> fields = RowFields(*row);
        for (size_t i = 0; i < fields.size(); ++i) {
            std::string field = fields[i];
            for (char& c : field) {
                if (c == '\t' || c == '\n' || c == '\r') {
                    c = ' ';
                }
            }
            text += (i > 0 ? "\t" : "") + field;
        }
        text += '\n';
    }
    return text;
}

}  // namespace quenbar
