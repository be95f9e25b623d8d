#include "model_file.h"

#include <algorithm>
#include <bit>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <type_traits>

#include "file_bytes.h"
#include "number_text.h"
#include "radius_law.h"

namespace brisolt {
namespace {

// Appends one printf-formatted line; every line of the file is short.
[[gnu::format(printf, 2, 3)]] void append(std::string& text, const char* format, ...) {
    char line[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    text += line;
}

// A law is any text the user typed; a line break in it would end its line early.
std::string one_line(std::string text) {
    for (char& c : text) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    return text;
}

// The lines of a model file by name.
class ModelLines {
  public:
    explicit ModelLines(const std::string& text) {
        size_t start = 0;
        while (start < text.size()) {
            const size_t end = std::min(text.find('\n', start), text.size());
            const std::string line = text.substr(start, end - start);
            start = end + 1;
            const size_t equals = line.find(" = ");
            if (equals == std::string::npos) {
                fail("the line '" + line + "' is not 'name = value'.");
                return;
            }
            values_[line.substr(0, equals)] = line.substr(equals + 3);
        }
    }

    bool text(const std::string& name, std::string& value) {
        if (!error_.empty()) {
            return false;
        }
        const auto found = values_.find(name);
        if (found == values_.end()) {
            fail("no line '" + name + " = ...'.");
            return false;
        }
        value = found->second;
        return true;
    }

    template <typename T>
    bool number(const std::string& name, T& value) {
        std::string digits;
        if (!text(name, digits)) {
            return false;
        }
        bool read;
        if constexpr (std::is_same_v<T, double>) {
            read = parse_number(digits, value);
        } else if constexpr (std::is_same_v<T, uint32_t>) {
            read = parse_whole(digits, value);
        } else {
            int64_t whole = 0;
            read = parse_whole(digits, whole) && whole <= INT32_MAX;
            value = static_cast<int32_t>(whole);
        }
        if (!read) {
            fail("the value of '" + name + "' does not read: '" + digits + "'.");
        }
        return read;
    }

    const std::string& error() const { return error_; }

  private:
    void fail(std::string message) {
        if (error_.empty()) {
            error_ = std::move(message);
        }
    }

    std::map<std::string, std::string> values_;
    std::string error_;
};

}  // namespace

std::string model_file_path(const std::string& directory) {
    return directory + std::filesystem::path::preferred_separator + "model.txt";
}

ModelTruth model_truth(const ModelParameters& parameters) {
    ModelTruth truth;
    truth.radius_law = radius_law(parameters);
    truth.grain = mean_grain(truth.radius_law, 0.0);
    truth.densities = miles_densities(parameters.lambda, truth.grain);
    return truth;
}

std::string model_file_text(const ModelRecord& r) {
    const ModelParameters& p = r.parameters;
    const IntrinsicDensities& d = r.truth.densities;
    const MeanGrain& g = r.truth.grain;
    std::string text;
    append(text, "x = %u\n", p.max_x);
    append(text, "y = %u\n", p.max_y);
    append(text, "z = %u\n", p.max_z);
    append(text, "lambda = %.17g\n", p.lambda);
    append(text, "radius = %u\n", p.max_radius);
    text += "law = " + one_line(p.distribution) + "\n";
    append(text, "p1 = %.17g\n", p.parameter1);
    append(text, "p2 = %.17g\n", p.parameter2);
    append(text, "seed = %d\n", r.seed);
    append(text, "balls = %d\n", r.balls);
    append(text, "mean_count = %.17g\n", r.mean_count);
    append(text, "V3 = %.17g\n", d.v3);
    append(text, "V2 = %.17g\n", d.v2);
    append(text, "V1 = %.17g\n", d.v1);
    append(text, "V0 = %.17g\n", d.v0);
    append(text, "vbar = %.17g\n", g.vbar);
    append(text, "sbar = %.17g\n", g.sbar);
    append(text, "mbar = %.17g\n", g.mbar);
    for (size_t j = 0; j < r.truth.radius_law.size(); ++j) {
        append(text, "p_r%zu = %.17g\n", j, r.truth.radius_law[j]);
    }
    append(text, "measured_V3 = %.17g\n", r.measured_v3);
    return text;
}

bool parse_model_text(const std::string& text, ModelRecord& r, std::string& error) {
    ModelLines lines(text);
    ModelParameters& p = r.parameters;
    IntrinsicDensities& d = r.truth.densities;
    MeanGrain& g = r.truth.grain;
    const bool read =
        lines.number("x", p.max_x) && lines.number("y", p.max_y) && lines.number("z", p.max_z) &&
        lines.number("lambda", p.lambda) && lines.number("radius", p.max_radius) &&
        lines.text("law", p.distribution) && lines.number("p1", p.parameter1) &&
        lines.number("p2", p.parameter2) && lines.number("seed", r.seed) &&
        lines.number("balls", r.balls) && lines.number("mean_count", r.mean_count) &&
        lines.number("V3", d.v3) && lines.number("V2", d.v2) && lines.number("V1", d.v1) &&
        lines.number("V0", d.v0) && lines.number("vbar", g.vbar) && lines.number("sbar", g.sbar) &&
        lines.number("mbar", g.mbar) && lines.number("measured_V3", r.measured_v3);
    r.truth.radius_law.clear();
    // R is at most 1000 in a model the generator wrote.
    for (uint32_t j = 0; read && j <= p.max_radius && j <= 1000; ++j) {
        r.truth.radius_law.push_back(0.0);
        if (!lines.number("p_r" + std::to_string(j), r.truth.radius_law.back())) {
            break;
        }
    }
    error = lines.error();
    if (error.empty() && p.max_radius > 1000) {
        error = "the radius " + std::to_string(p.max_radius) + " is above 1000.";
    }
    return error.empty();
}

bool read_model_file(const std::string& path, ModelRecord& record, std::string& error) {
    std::vector<uint8_t> bytes;
    if (talvik::read_whole_file(path, bytes) != talvik::ReadOutcome::ok) {
        error = "the file cannot be read.";
        return false;
    }
    return parse_model_text(std::string(bytes.begin(), bytes.end()), record, error);
}

double volume_fraction(const talvik::BitVolume& volume) {
    // The spare bits after a plane's last voxel are never set.
    uint64_t set = 0;
    for (const talvik::SliceBits& plane : volume.planes) {
        for (const uint8_t byte : plane.bytes) {
            set += static_cast<uint64_t>(std::popcount(byte));
        }
    }
    const double voxels = static_cast<double>(volume.width) * volume.height * volume.slice_count;
    return voxels > 0.0 ? static_cast<double>(set) / voxels : 0.0;
}

}  // namespace brisolt
