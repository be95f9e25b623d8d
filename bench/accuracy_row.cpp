// One model's row of the accuracy tables: talvik's estimates for independent data sets of one
// Boolean model against the truth for Xe. Xe is the model (its model.txt) dilated by the
// epsilon ball, which is again a Boolean model, of balls whose radii grow by that ball's de.
//   accuracy_row MODEL_TXT BALLS_FILE EPSILON TALVIK_OUTPUT...
// prints one line of numbers, for V2, V1 and V0 in turn:
//   truth (3), error of the mean estimate in per cent of |truth| (3), standard error of that
//   mean in per cent (3), mean reported SE over the spread between the data sets (3; nan
//   without "/a"), mean reported SE in per cent of |truth| (3; nan without "/a"), and the
//   fewest and most balls used (0 0 without "/a").
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "formats/files.h"
#include "formats/model_file.h"
#include "formats/numbers.h"
#include "model_truth.h"

namespace {

constexpr double kNone = std::numeric_limits<double>::quiet_NaN();

bool read_text(const std::string& path, std::string& text) {
    std::vector<uint8_t> bytes;
    if (formats::read_whole_file(path, bytes) != formats::ReadOutcome::ok) {
        std::fprintf(stderr, "accuracy_row: cannot read %s\n", path.c_str());
        return false;
    }
    text.assign(bytes.begin(), bytes.end());
    return true;
}

// The number after `label` at the start of a line, or nan.
double labelled(const std::string& text, const std::string& label) {
    // With a line feed in front, the first line starts after one like every other; the
    // label's position there is the line's position in `text`.
    const size_t at = std::string(1, '\n').append(text).find(std::string(1, '\n').append(label));
    double value = kNone;
    if (at == std::string::npos ||
        formats::leading_number(std::string_view(text).substr(at + label.size()), value) == 0) {
        return kNone;
    }
    return value;
}

struct Summary {
    double mean = 0.0;
    double spread = 0.0;  // sample standard deviation
};

Summary summary(const std::vector<double>& values) {
    Summary s;
    const double n = static_cast<double>(values.size());
    for (const double v : values) {
        s.mean += v / n;
    }
    double squares = 0.0;
    for (const double v : values) {
        squares += (v - s.mean) * (v - s.mean);
    }
    s.spread = values.size() > 1 ? std::sqrt(squares / (n - 1.0)) : kNone;
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fputs("usage: accuracy_row MODEL_TXT BALLS_FILE EPSILON TALVIK_OUTPUT...\n", stderr);
        return 2;
    }
    formats::ModelRecord model;
    std::string error;
    if (!formats::read_model_file(argv[1], model, error)) {
        std::fprintf(stderr, "accuracy_row: %s: %s\n", argv[1], error.c_str());
        return 1;
    }
    double de = 0.0;
    if (!brisolt::stored_epsilon_de(argv[2], formats::leading_integer(argv[3]), de, error)) {
        std::fprintf(stderr, "accuracy_row: %s\n", error.c_str());
        return 1;
    }
    const char* const names[3] = {"V2", "V1", "V0"};
    std::vector<double> estimates[3];
    std::vector<double> errors[3];
    int fewest = std::numeric_limits<int>::max();
    int most = 0;
    for (int i = 4; i < argc; ++i) {
        std::string text;
        if (!read_text(argv[i], text)) {
            return 1;
        }
        for (int k = 0; k < 3; ++k) {
            const double v = labelled(text, std::string(names[k]) + ":");
            if (std::isnan(v)) {
                std::fprintf(stderr, "accuracy_row: %s holds no %s line\n", argv[i], names[k]);
                return 1;
            }
            estimates[k].push_back(v);
            errors[k].push_back(labelled(text, "SE(" + std::string(names[k]) + "):"));
        }
        // "Balls used: 1..k of n"
        const size_t at = text.find("Balls used: 1..");
        const int used = at == std::string::npos
                             ? 0
                             : formats::leading_integer(std::string_view(text).substr(at + 15));
        fewest = std::min(fewest, used);
        most = std::max(most, used);
    }
    const brisolt::IntrinsicDensities xe = brisolt::xe_truth(model, de);
    const double truth[3] = {xe.v2, xe.v1, xe.v0};
    std::string line;
    auto add = [&](double value) {
        if (!line.empty()) {
            line += ' ';
        }
        line += formats::general(value, 6);
    };
    for (int k = 0; k < 3; ++k) {
        add(truth[k]);
    }
    Summary s[3];
    for (int k = 0; k < 3; ++k) {
        s[k] = summary(estimates[k]);
        add(brisolt::relative_error_percent(s[k].mean, truth[k]));
    }
    const double n = static_cast<double>(estimates[0].size());
    for (int k = 0; k < 3; ++k) {
        add(s[k].spread / std::sqrt(n) * 100.0 / std::fabs(truth[k]));
    }
    for (int k = 0; k < 3; ++k) {
        add(summary(errors[k]).mean / s[k].spread);
    }
    for (int k = 0; k < 3; ++k) {
        add(summary(errors[k]).mean * 100.0 / std::fabs(truth[k]));
    }
    line += ' ';
    line += std::to_string(most == 0 ? 0 : fewest);
    line += ' ';
    line += std::to_string(most);
    std::printf("%s\n", line.c_str());
    return 0;
}
