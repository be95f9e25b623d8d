// The discretized-balls file: digital structuring elements, each with its correction value.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

namespace formats {

// A ball of size n reaches n - 1 voxels from its centre along each axis. Entry (r, c) of
// `lengths`, r = |dy| and c = |dx|, is the length along z of the ball's column there.
struct DiscretizedBall {
    int32_t size = 0;
    double de = 0.0;  // correction value (effective radius); 0 when the file gave none
    std::vector<int32_t> lengths;

    int32_t length(int32_t r, int32_t c) const {
        return lengths[static_cast<size_t>(r) * static_cast<size_t>(size) + static_cast<size_t>(c)];
    }
};

// The list holds at most this many balls.
inline constexpr size_t kMaxBalls = 256;

// A stored correction value below this magnitude counts as missing.
inline constexpr double kMissingDe = 0.00001;

struct BallsFile {
    std::vector<DiscretizedBall> balls;
    bool de_missing = false;  // some ball's de must be computed
};

// Reads the file; every failure is fatal.
BallsFile read_balls_file(const std::string& path);

// Reads the text of a balls file; every failure is fatal.
BallsFile parse_balls_text(std::span<const uint8_t> text);

// The number of complete balls that talvik reads from the text, 0 where it stops with its
// format error.
int count_complete_balls(std::span<const uint8_t> text);

// The same for the file at `path`, and -1 when it cannot be read.
int count_complete_balls(const std::string& path);

// The file's written form of the list.
std::string format_balls_file(const std::vector<DiscretizedBall>& balls);

// Rewrites the file with the list, never leaving it half written; fatal on failure.
void write_balls_file(const std::string& path, const std::vector<DiscretizedBall>& balls);

// (dx, dy, dz) lies in the ball when |dx|, |dy|, |dz| < n and |dz| < (lengths(|dy|, |dx|) + 1) / 2.
bool ball_contains(const DiscretizedBall& ball, int32_t dx, int32_t dy, int32_t dz);

// The largest |dz| of the ball's column at (dx, dy), or -1 when the column is empty.
int32_t column_half_length(const DiscretizedBall& ball, int32_t dx, int32_t dy);

// The verbose print: the lengths table, then a picture of the ball, one block per dz.
void print_ball(std::FILE* out, const DiscretizedBall& ball);

}  // namespace formats
