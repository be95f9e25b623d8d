// The estimator's command line: its options, the usage text and the run's settings.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace talvik {

struct RunSettings {
    std::string program_name;
    std::optional<std::string> output_path;
    std::optional<std::string> balls_path;
    std::optional<std::string> data_set_directory;
    int32_t epsilon_index = -1;  // zero-based; "/e" gives it one-based
    bool verbose = false;
    bool adaptive = false;  // "/a": standard errors and the range of balls from the data
};

struct CommandLine {
    RunSettings settings;
    // Set when the usage text must be printed and the process end with this status.
    std::optional<int> usage_status;
};

// `args` holds the whole argument vector, the program's own path first.
CommandLine parse_command_line(const std::vector<std::string>& args);

std::string usage_text(const std::string& program_name);

}  // namespace talvik
