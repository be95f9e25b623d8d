#include "formats/model_file.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <type_traits>

#include "formats/files.h"
#include "formats/numbers.h"
#include "formats/text_lines.h"

namespace formats {
namespace {

// "name = value" lines; reals with 17 significant digits, which read back unchanged.
void line(std::string& text, const std::string& name, const std::string& value) {
    text += name + " = " + value + "\n";
}

void line(std::string& text, const std::string& name, double value) {
    line(text, name, general(value, 17));
}

void line(std::string& text, const std::string& name, int64_t value) {
    line(text, name, std::to_string(value));
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
        for (const std::string_view line : split_lines(text)) {
            const size_t equals = line.find(" = ");
            if (equals == std::string_view::npos) {
                fail("the line '" + std::string(line) + "' is not 'name = value'.");
                return;
            }
            values_[std::string(line.substr(0, equals))] = line.substr(equals + 3);
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
        } else if constexpr (std::is_same_v<T, uint32_t> || std::is_same_v<T, int64_t>) {
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
    bool has(const std::string& name) const { return values_.contains(name); }

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

std::string model_file_text(const ModelRecord& r) {
    const ModelParameters& p = r.parameters;
    const IntrinsicDensities& d = r.truth.densities;
    const MeanGrain& g = r.truth.grain;
    std::string text;
    line(text, "x", int64_t{p.max_x});
    line(text, "y", int64_t{p.max_y});
    line(text, "z", int64_t{p.max_z});
    line(text, "lambda", p.lambda);
    line(text, "radius", int64_t{p.max_radius});
    line(text, "law", one_line(p.distribution));
    line(text, "p1", p.parameter1);
    line(text, "p2", p.parameter2);
    line(text, "seed", int64_t{r.seed});
    line(text, "skip", std::to_string(r.skip));
    line(text, "balls", int64_t{r.balls});
    line(text, "mean_count", r.mean_count);
    line(text, "V3", d.v3);
    line(text, "V2", d.v2);
    line(text, "V1", d.v1);
    line(text, "V0", d.v0);
    line(text, "vbar", g.vbar);
    line(text, "sbar", g.sbar);
    line(text, "mbar", g.mbar);
    for (size_t j = 0; j < r.truth.radius_law.size(); ++j) {
        line(text, "p_r" + std::to_string(j), r.truth.radius_law[j]);
    }
    line(text, "measured_V3", r.measured_v3);
    line(text, "reproduce", one_line(r.reproduce));
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
    // Files written before these lines were recorded have none.
    r.skip = 0;
    r.reproduce.clear();
    if (error.empty() && lines.has("skip")) {
        int64_t skip = 0;
        lines.number("skip", skip);
        r.skip = static_cast<uint64_t>(skip);
        error = lines.error();
    }
    if (error.empty() && lines.has("reproduce")) {
        lines.text("reproduce", r.reproduce);
    }
    if (error.empty() && p.max_radius > 1000) {
        error = "the radius " + std::to_string(p.max_radius) + " is above 1000.";
    }
    return error.empty();
}

bool read_model_file(const std::string& path, ModelRecord& record, std::string& error) {
    std::vector<uint8_t> bytes;
    if (read_whole_file(path, bytes) != ReadOutcome::ok) {
        error = "the file cannot be read.";
        return false;
    }
    return parse_model_text(std::string(bytes.begin(), bytes.end()), record, error);
}

}  // namespace formats
