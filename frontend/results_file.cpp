#include "results_file.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <vector>

#include "file_bytes.h"

namespace quenbar {
namespace {

namespace fs = std::filesystem;

bool same_file(const std::string& a, const std::string& b) {
    std::error_code error;
    return !b.empty() && fs::equivalent(a, b, error) && !error;
}

// talvik loads every "*.pbm" entry of a data set; the name is refused in any case of letters,
// as such a file is most likely a slice.
bool slice_name(const std::string& path) {
    const std::string name = fs::path(path).filename().string();
    if (name.size() < 4) {
        return false;
    }
    std::string suffix = name.substr(name.size() - 4);
    std::transform(suffix.begin(), suffix.end(), suffix.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return suffix == ".pbm";
}

// Rows are the lines that are not the header; the estimator never writes an empty one.
int count_rows(std::string_view text) {
    int rows = 0;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = std::min(text.find('\n', start), text.size());
        if (end > start && text[start] != ';') {
            ++rows;
        }
        start = end + 1;
    }
    return rows;
}

}  // namespace

ResultsFileCheck InspectResultsFile(const std::string& path, const std::string& balls_path) {
    if (same_file(path, balls_path)) {
        return {ResultsFileKind::balls_file};
    }
    if (slice_name(path)) {
        return {ResultsFileKind::slice};
    }
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (status.type() == fs::file_type::not_found) {
        return {ResultsFileKind::fresh};
    }
    if (error || fs::is_directory(status)) {
        return {ResultsFileKind::cannot_open};
    }
    std::vector<uint8_t> bytes;
    if (talvik::read_whole_file(path, bytes) != talvik::ReadOutcome::ok) {
        return {ResultsFileKind::cannot_open};
    }
    if (bytes.empty()) {
        return {ResultsFileKind::fresh};
    }
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    // The header's first word is enough to tell a results file.
    if (!text.starts_with("; Data_set")) {
        return {ResultsFileKind::foreign};
    }
    return {ResultsFileKind::results, count_rows(text)};
}

bool EmptyResultsFile(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "w");
    return file != nullptr && std::fclose(file) == 0;
}

bool OpenResultsFileForAppending(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "a");
    return file != nullptr && std::fclose(file) == 0;
}

}  // namespace quenbar
