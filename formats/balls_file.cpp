#include "formats/balls_file.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "formats/errors.h"
#include "formats/files.h"
#include "formats/numbers.h"
#include "formats/text_lines.h"

namespace formats {
namespace {

[[noreturn]] void invalid_format() {
    fatal("discretized balls: Invalid file format.\n");
}

// The values of a table row: its value count is its number of commas plus one; its non-empty
// pieces between commas fill the first slots in order, each read as by atoi; the rest are 0.
std::vector<int32_t> row_values(std::string_view line) {
    size_t count = 1;
    for (char c : line) {
        count += c == ',';
    }
    std::vector<int32_t> values(count, 0);
    size_t slot = 0;
    size_t start = 0;
    while (start <= line.size()) {
        size_t comma = line.find(',', start);
        if (comma == std::string_view::npos) {
            comma = line.size();
        }
        if (comma > start) {
            values[slot++] = leading_integer(line.substr(start, comma - start));
        }
        start = comma + 1;
    }
    return values;
}

}  // namespace

bool ball_contains(const DiscretizedBall& ball, int32_t dx, int32_t dy, int32_t dz) {
    const int32_t n = ball.size;
    if (std::abs(dx) >= n || std::abs(dy) >= n || std::abs(dz) >= n) {
        return false;
    }
    const int64_t reach = (static_cast<int64_t>(ball.length(std::abs(dy), std::abs(dx))) + 1) / 2;
    return std::abs(dz) < reach;
}

int32_t column_half_length(const DiscretizedBall& ball, int32_t dx, int32_t dy) {
    const int32_t n = ball.size;
    if (std::abs(dx) >= n || std::abs(dy) >= n) {
        return -1;
    }
    const int64_t reach = (static_cast<int64_t>(ball.length(std::abs(dy), std::abs(dx))) + 1) / 2;
    if (reach <= 0) {
        return -1;
    }
    return static_cast<int32_t>(std::min<int64_t>(reach - 1, n - 1));
}

BallsFile read_balls_file(const std::string& path) {
    std::vector<uint8_t> bytes;
    fatal_unless(read_whole_file(path, bytes) == ReadOutcome::ok, 1,
                 "Error opening file '%s' for reading.\n", path.c_str());
    return parse_balls_text(bytes);
}

BallsFile parse_balls_text(std::span<const uint8_t> bytes) {
    BallsFile result;
    double pending_de = 0.0;
    DiscretizedBall ball;
    int32_t rows_read = 0;  // rows of `ball` read so far; 0 between balls
    size_t position = 0;
    std::string_view line;
    while (next_text_line(bytes, position, line)) {
        if (line.empty() || line.front() == '[') {
            if (rows_read > 0) {
                invalid_format();
            }
            double value = 0.0;
            if (!line.empty() && leading_number(line.substr(1), value) > 0) {
                pending_de = value;
            }
            continue;
        }
        const std::vector<int32_t> values = row_values(line);
        if (rows_read == 0) {
            const int64_t v = values[0];
            const int64_t n = static_cast<int64_t>(values.size());
            // A value that is not finite would only carry NaN into the fit; until a ball takes
            // it, a later correction line may still replace it.
            if (n != (v - 1) / 2 + 1 || v % 2 != 1 || !std::isfinite(pending_de)) {
                invalid_format();
            }
            ball = DiscretizedBall{};
            ball.size = static_cast<int32_t>(n);
            ball.de = pending_de;
            ball.lengths.assign(static_cast<size_t>(n * n), 0);
        }
        // Later rows give their first n values; missing ones stay 0.
        const size_t n = static_cast<size_t>(ball.size);
        for (size_t c = 0; c < n && c < values.size(); ++c) {
            ball.lengths[static_cast<size_t>(rows_read) * n + c] = values[c];
        }
        if (++rows_read == ball.size) {
            if (result.balls.size() == kMaxBalls) {
                invalid_format();
            }
            result.balls.push_back(std::move(ball));
            rows_read = 0;
            pending_de = 0.0;
        }
    }
    // An incomplete last ball is dropped; only the complete ones can lack a value.
    for (const DiscretizedBall& b : result.balls) {
        result.de_missing = result.de_missing || std::fabs(b.de) < kMissingDe;
    }
    return result;
}

int count_complete_balls(std::span<const uint8_t> text) {
    try {
        return static_cast<int>(parse_balls_text(text).balls.size());
    } catch (const FatalError&) {
        return 0;
    }
}

int count_complete_balls(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (read_whole_file(path, bytes) != ReadOutcome::ok) {
        return -1;
    }
    return count_complete_balls(bytes);
}

std::string format_balls_file(const std::vector<DiscretizedBall>& balls) {
    std::string text;
    for (const DiscretizedBall& ball : balls) {
        if (std::fabs(ball.de) > kMissingDe) {
            text += '[';
            text += fixed(ball.de, 16, 20);
            text += "]\n";
        }
        for (int32_t r = 0; r < ball.size; ++r) {
            for (int32_t c = 0; c < ball.size; ++c) {
                if (c > 0) {
                    text += ',';
                }
                text += std::to_string(static_cast<unsigned>(ball.length(r, c)));
            }
            text += '\n';
        }
        text += '\n';
    }
    return text;
}

void write_balls_file(const std::string& path, const std::vector<DiscretizedBall>& balls) {
    fatal_unless(replace_file_contents(path, format_balls_file(balls)), 1,
                 "Error opening file '%s' for writing.\n", path.c_str());
}

void print_ball(std::FILE* out, const DiscretizedBall& ball) {
    const int32_t n = ball.size;
    for (int32_t r = 0; r < n; ++r) {
        for (int32_t c = 0; c < n; ++c) {
            std::fprintf(out, "%u ", static_cast<unsigned>(ball.length(r, c)));
        }
        std::fputs("\n", out);
    }
    std::fputs("\n", out);
    for (int32_t dz = -(n - 1); dz <= n - 1; ++dz) {
        for (int32_t dy = -(n - 1); dy <= n - 1; ++dy) {
            for (int32_t dx = -(n - 1); dx <= n - 1; ++dx) {
                std::fputc(ball_contains(ball, dx, dy, dz) ? 'X' : '_', out);
            }
            std::fputc('\n', out);
        }
        std::fputc('\n', out);
    }
}

}  // namespace formats
