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
};

struct CommandLine {
    RunSettings settings;
    // Set when the usage text must be printed and the process end with this status.
    std::optional<int> usage_status;
};

// `args` holds the whole argument vector, the program's own path first.
CommandLine parse_command_line(const std::vector<std::string>& args);

std::string usage_text(const std::string& program_name);

// The integer that C's atoi reads from the front of `text`: leading white space, an optional
// sign and digits; no digits give 0. Out-of-range values wrap to 32 bits as glibc's atoi does.
int32_t atoi_value(const char* text);

}  // namespace talvik
