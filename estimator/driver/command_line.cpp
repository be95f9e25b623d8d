#include "driver/command_line.h"

#include <filesystem>
#include <system_error>

#include "formats/errors.h"
#include "formats/numbers.h"

namespace talvik {
namespace {

std::string program_name_of(const std::string& argument) {
    const size_t last = argument.find_last_of(std::filesystem::path::preferred_separator);
    return last == std::string::npos ? argument : argument.substr(last + 1);
}

bool names_directory(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_directory(path, error) && !error;
}

}  // namespace

CommandLine parse_command_line(const std::vector<std::string>& args) {
    CommandLine result;
    RunSettings& settings = result.settings;
    if (!args.empty()) {
        settings.program_name = program_name_of(args[0]);
    }
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& option = args[i];
        if (option == "/h") {
            result.usage_status = 0;
            return result;
        }
        const bool takes_value =
            option == "/o" || option == "/d" || option == "/b" || option == "/e";
        if (option == "/v") {
            settings.verbose = true;
        } else if (option == "/a") {
            settings.adaptive = true;
        } else if (takes_value) {
            if (i + 1 == args.size()) {
                result.usage_status = 1;
                return result;
            }
            const std::string& value = args[++i];
            if (option == "/o") {
                settings.output_path = value;
            } else if (option == "/d") {
                settings.balls_path = value;
            } else if (option == "/b") {
                settings.data_set_directory = value;
            } else {
                const int32_t one_based = formats::leading_integer(value.c_str());
                settings.epsilon_index = one_based > 0 ? one_based - 1 : -1;
            }
        }
    }
    if (!settings.balls_path || !settings.data_set_directory ||
        !names_directory(*settings.data_set_directory) || settings.epsilon_index < 0) {
        result.usage_status = 1;
    }
    return result;
}

std::string usage_text(const std::string& program_name) {
    const char c = '/';
    return formats::format_text(
        "Usage: %s [option] [%co output_file] %cd disballs_file %cb bitmaps_dir %ce epsilon\n\n"
        "Options are:\n\t%ch\t\tprint this help\n\t%cv\t\tbe verbose\n\n",
        program_name.c_str(), c, c, c, c, c, c);
}

}  // namespace talvik
