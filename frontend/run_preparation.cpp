#include "run_preparation.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "balls_file.h"
#include "file_bytes.h"

namespace quenbar {
namespace {

// The first non-empty piece between commas, read as the estimator reads it; 0 when every
// piece is empty.
int32_t first_value(std::string_view row) {
    size_t start = 0;
    while (start < row.size()) {
        const size_t comma = std::min(row.find(',', start), row.size());
        if (comma > start) {
            const std::string piece(row.substr(start, comma - start));
            return talvik::atoi_value(piece.c_str());
        }
        start = comma + 1;
    }
    return 0;
}

// Whether a correction line makes the pending value one that the estimator refuses when a
// ball takes it (a number, but not a finite one); unchanged when the line holds no number.
void note_correction(std::string_view line, bool& pending_unusable) {
    const std::string text(line.substr(1));
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end != text.c_str()) {
        pending_unusable = !std::isfinite(value);
    }
}

}  // namespace

int CountBalls(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (talvik::read_whole_file(path, bytes) != talvik::ReadOutcome::ok) {
        return -1;
    }
    return CountBallsInText(bytes);
}

int CountBallsInText(std::span<const uint8_t> bytes) {
    // Lines are cut into the same pieces as the estimator's reader cuts them, so that both
    // agree on every file, long lines and NUL bytes included.
    size_t count = 0;
    int64_t row = 0;
    int64_t rows_per_ball = 0;
    size_t position = 0;
    std::string_view line;
    bool pending_unusable = false;
    while (talvik::next_text_line(bytes, position, line)) {
        if (line.empty() || line.front() == '[') {
            if (row > 0) {
                return 0;
            }
            if (!line.empty()) {
                note_correction(line, pending_unusable);
            }
            continue;
        }
        if (row == 0) {
            const int64_t v = first_value(line);
            const int64_t fields = std::count(line.begin(), line.end(), ',') + 1;
            if (v % 2 != 1 || fields != (v - 1) / 2 + 1 || pending_unusable) {
                return 0;
            }
            rows_per_ball = fields;
        }
        if (++row == rows_per_ball) {
            // The estimator refuses a ball beyond its list's capacity as a format error.
            if (count == talvik::kMaxBalls) {
                return 0;
            }
            ++count;
            row = 0;
            pending_unusable = false;
        }
    }
    return static_cast<int>(count);
}

void CollectDataSets(const std::string& entry, std::vector<std::string>& data_sets,
                     std::string* problem) {
    namespace fs = std::filesystem;
    // An empty entry would otherwise search the root directory.
    if (entry.empty()) {
        if (problem != nullptr) {
            *problem = "the entry is empty";
        }
        return;
    }
    std::string path = entry;
    if (path.back() != fs::path::preferred_separator) {
        path += fs::path::preferred_separator;
    }
    std::error_code error;
    fs::directory_iterator it(path, error);
    if (error) {
        if (problem != nullptr) {
            *problem = "cannot list the directory: " + error.message();
        }
        return;
    }
    std::vector<std::string> names;
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
        std::error_code type_error;
        std::string name = it->path().filename().string();
        if (it->is_directory(type_error) && !name.starts_with('.')) {
            names.push_back(std::move(name));
        }
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        data_sets.push_back(path + name);
    }
    if (names.empty()) {
        data_sets.push_back(entry);
    }
}

std::string BuildCommandLine(const EstimatorSettings& settings, const std::string& data_set) {
    std::string line = kEstimatorName;
    if (settings.verbose) {
        line += " /v";
    }
    if (!settings.output_path.empty()) {
        line += " /o \"" + settings.output_path + "\"";
    }
    line += " /d \"" + settings.balls_path + "\"";
    line += " /b \"" + data_set + "\"";
    line += " /e " + std::to_string(settings.epsilon);
    return line;
}

std::vector<std::string> BuildArguments(const EstimatorSettings& settings,
                                        const std::string& data_set) {
    std::vector<std::string> args;
    if (settings.verbose) {
        args.push_back("/v");
    }
    if (!settings.output_path.empty()) {
        args.insert(args.end(), {"/o", settings.output_path});
    }
    args.insert(args.end(), {"/d", settings.balls_path, "/b", data_set, "/e",
                             std::to_string(settings.epsilon)});
    return args;
}

}  // namespace quenbar
