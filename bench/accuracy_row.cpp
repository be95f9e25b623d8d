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

#include "balls_file.h"
#include "diagnostics.h"
#include "miles_densities.h"
#include "model_file.h"

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

// The de of ball `epsilon` (from 1) of the file, or 0 with a message.
double epsilon_de(const char* path, const char* epsilon_text) {
    const int epsilon = std::atoi(epsilon_text);
    try {
        const talvik::BallsFile file = talvik::read_balls_file(path);
        if (epsilon < 1 || static_cast<size_t>(epsilon) > file.balls.size()) {
            std::fprintf(stderr, "accuracy_row: %s has no ball %s\n", path, epsilon_text);
            return 0.0;
        }
        const double de = file.balls[static_cast<size_t>(epsilon) - 1].de;
        if (std::fabs(de) < talvik::kMissingDe) {
            std::fprintf(stderr, "accuracy_row: ball %d of %s has no de yet\n", epsilon, path);
            return 0.0;
        }
        return de;
    } catch (const talvik::FatalError& e) {
        // The estimator's messages end with their own line feed.
        std::fprintf(stderr, "accuracy_row: %s", e.what());
        return 0.0;
    }
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
    std::string text;
    std::string error;
    if (!read_text(args[0], text)) {
        return 1;
    }
    if (!brisolt::parse_model_text(text, model, error)) {
        std::fprintf(stderr, "accuracy_row: %s: %s\n", args[0], error.c_str());
        return 1;
    }
    const double de = epsilon_de(args[1], args[2]);
    if (de == 0.0) {
        return 1;
    }
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
    const brisolt::IntrinsicDensities xe = brisolt::miles_densities(
        model.parameters.lambda, brisolt::mean_grain(model.truth.radius_law, de));
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
        const double scale = 100.0 / std::fabs(truth[k]);
        if (errors_only) {
            std::printf("%s%.3f", k ? " " : "", (mean - truth[k]) * scale);
        } else {
            std::printf("| %10.3e | %10.3e | %+7.1f ± %4.1f%% ", mean, truth[k],
                        (mean - truth[k]) * scale, standard_error * scale);
        }
    }
    std::printf(errors_only ? "\n" : "|\n");
    return 0;
}
