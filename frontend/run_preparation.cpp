#include "run_preparation.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <system_error>

namespace quenbar {

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

std::string OptionsText(const EstimatorSettings& settings) {
    std::string options;
    const auto add = [&options](const std::string& piece) {
        options += (options.empty() ? "" : " ") + piece;
    };
    if (settings.verbose) {
        add("/v");
    }
    if (settings.adaptive) {
        add("/a");
    }
    if (!settings.output_path.empty()) {
        add("/o \"" + settings.output_path + "\"");
    }
    return options;
}

std::string BuildCommandLine(const EstimatorSettings& settings, const std::string& data_set) {
    const std::string options = OptionsText(settings);
    std::string line = kEstimatorName;
    if (!options.empty()) {
        line += " " + options;
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
    if (settings.adaptive) {
        args.push_back("/a");
    }
    if (!settings.output_path.empty()) {
        args.insert(args.end(), {"/o", settings.output_path});
    }
    args.insert(args.end(), {"/d", settings.balls_path, "/b", data_set, "/e",
                             std::to_string(settings.epsilon)});
    return args;
}

}  // namespace quenbar
