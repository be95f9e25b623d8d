// One row of the accuracy table: talvik's estimates for data sets of one Boolean model beside
// the truth for Xe. Xe is the model (its model.txt) dilated by the epsilon ball, which is
// again a Boolean model, of balls whose radii grow by that ball's de.
//   accuracy_row [--errors] MODEL_TXT BALLS_FILE EPSILON TALVIK_OUTPUT...
// prints "| de | V2 estimate | V2 truth | V2 error | V1 ... | V0 ... |": the mean estimate
// over the outputs, and its error in per cent of the truth with the standard error of that
// mean. --errors prints the three errors alone, for summaries.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "formats/files.h"
#include "formats/model_file.h"
#include "formats/numbers.h"
#include "model_truth.h"

namespace {

bool read_text(const std::string& path, std::string& text) {
    std::vector<uint8_t> bytes;
    if (formats::read_whole_file(path, bytes) != formats::ReadOutcome::ok) {
        std::fprintf(stderr, "accuracy_row: cannot read %s\n", path.c_str());
        return false;
    }
    text.assign(bytes.begin(), bytes.end());
    return true;
}

// talvik's three result lines.
bool read_estimate(const std::string& text, double (&v)[3]) {
    const char* const labels[3] = {"V2:", "V1:", "V0:"};
    size_t at = 0;
    for (int k = 0; k < 3; ++k) {
        at = text.find(labels[k], at);
        if (at == std::string::npos) {
            return false;
        }
        at += 3;
        const size_t read = formats::leading_number(std::string_view(text).substr(at), v[k]);
        if (read == 0) {
            return false;
        }
        at += read;
    }
    return true;
}

// Blanks on the left up to `width` characters.
std::string padded(std::string text, size_t width) {
    return text.size() < width ? std::string(width - text.size(), ' ') + text : text;
}

}  // namespace

int main(int argc, char** argv) {
    const bool errors_only = argc > 1 && std::strcmp(argv[1], "--errors") == 0;
    char** args = argv + (errors_only ? 2 : 1);
    const int count = argc - (errors_only ? 2 : 1);
    if (count < 4) {
        std::fputs("usage: accuracy_row [--errors] MODEL_TXT BALLS_FILE EPSILON TALVIK_OUTPUT...\n",
                   stderr);
        return 2;
    }
    formats::ModelRecord model;
    std::string error;
    if (!formats::read_model_file(args[0], model, error)) {
        std::fprintf(stderr, "accuracy_row: %s: %s\n", args[0], error.c_str());
        return 1;
    }
    double de = 0.0;
    if (!brisolt::stored_epsilon_de(args[1], formats::leading_integer(args[2]), de, error)) {
        std::fprintf(stderr, "accuracy_row: %s\n", error.c_str());
        return 1;
    }
    std::string text;
    std::vector<double> estimates[3];
    for (int i = 3; i < count; ++i) {
        double v[3];
        if (!read_text(args[i], text)) {
            return 1;
        }
        if (!read_estimate(text, v)) {
            std::fprintf(stderr, "accuracy_row: %s holds no V2, V1 and V0 lines\n", args[i]);
            return 1;
        }
        for (int k = 0; k < 3; ++k) {
            estimates[k].push_back(v[k]);
        }
    }
    const brisolt::IntrinsicDensities xe = brisolt::xe_truth(model, de);
    const double truth[3] = {xe.v2, xe.v1, xe.v0};
    if (!errors_only) {
        std::printf("| %s ", formats::fixed(de, 3).c_str());
    }
    for (int k = 0; k < 3; ++k) {
        const double n = static_cast<double>(estimates[k].size());
        double mean = 0.0;
        for (const double v : estimates[k]) {
            mean += v / n;
        }
        double square_sum = 0.0;
        for (const double v : estimates[k]) {
            square_sum += (v - mean) * (v - mean);
        }
        const double standard_error = n > 1 ? std::sqrt(square_sum / (n - 1) / n) : 0.0;
        const double error_percent = brisolt::relative_error_percent(mean, truth[k]);
        if (errors_only) {
            std::printf("%s%s", k ? " " : "", formats::fixed(error_percent, 3).c_str());
        } else {
            const std::string sign = error_percent >= 0 ? "+" : "";
            std::printf(
                "| %s | %s | %s ± %s%% ", padded(formats::scientific(mean, 3), 10).c_str(),
                padded(formats::scientific(truth[k], 3), 10).c_str(),
                padded(sign + formats::fixed(error_percent, 1), 7).c_str(),
                padded(formats::fixed(standard_error * 100.0 / std::fabs(truth[k]), 1), 4).c_str());
        }
    }
    std::printf(errors_only ? "\n" : "|\n");
    return 0;
}
