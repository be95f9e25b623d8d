// One row of the accuracy table: talvik's estimates for data sets of one Boolean model beside
// the truth for Xe. Xe is the model (its model.txt) dilated by the epsilon ball, which is
// again a Boolean model, of balls whose radii grow by that ball's de.
//   accuracy_row [--errors] MODEL_TXT BALLS_FILE EPSILON TALVIK_OUTPUT...
// prints "| de | V2 estimate | V2 truth | V2 error | V1 ... | V0 ... |": the mean estimate
// over the outputs, and its error in per cent of the truth with the standard error of that
// mean. --errors prints the three errors alone, for summaries.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "model_file.h"
#include "xe_truth.h"

namespace {

bool read_text(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream contents;
    contents << in.rdbuf();
    text = contents.str();
    if (!in) {
        std::fprintf(stderr, "accuracy_row: cannot read %s\n", path.c_str());
    }
    return static_cast<bool>(in);
}

// talvik's three result lines.
bool read_estimate(const std::string& text, double (&v)[3]) {
    const size_t at = text.find("V2:");
    return at != std::string::npos &&
           std::sscanf(text.c_str() + at, "V2: %lf V1: %lf V0: %lf", &v[0], &v[1], &v[2]) == 3;
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
    brisolt::ModelRecord model;
    std::string error;
    if (!brisolt::read_model_file(args[0], model, error)) {
        std::fprintf(stderr, "accuracy_row: %s: %s\n", args[0], error.c_str());
        return 1;
    }
    double de = 0.0;
    if (!brisolt::stored_epsilon_de(args[1], std::atoi(args[2]), de, error)) {
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
        std::printf("| %.3f ", de);
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
            std::printf("%s%.3f", k ? " " : "", error_percent);
        } else {
            std::printf("| %10.3e | %10.3e | %+7.1f ± %4.1f%% ", mean, truth[k], error_percent,
                        standard_error * 100.0 / std::fabs(truth[k]));
        }
    }
    std::printf(errors_only ? "\n" : "|\n");
    return 0;
}
