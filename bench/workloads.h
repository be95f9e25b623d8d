// Deterministic workloads for benchmarks, examples and tests: digital Euclidean balls and
// Boolean models of balls written as data sets.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats/balls_file.h"
#include "formats/bit_volume.h"

namespace talvik::workloads {

// The digital Euclidean ball of radius r: size r + 1; the column at (a, b) has length
// 2 floor(sqrt(r^2 - a^2 - b^2)) + 1 where a^2 + b^2 <= r^2, else 0.
formats::DiscretizedBall euclidean_ball(int32_t radius, double de = 0.0);

// Balls of radii first .. last, in that order.
std::vector<formats::DiscretizedBall> euclidean_balls(int32_t first, int32_t last);

// Every distinct digital Euclidean ball {q : |q|^2 <= t} with 1 <= t <= last, by t: the t
// that are sums of three squares (the others give the set of a smaller t).
std::vector<formats::DiscretizedBall> distinct_euclidean_balls(int64_t last);

// A Boolean model in a w x h x s box: balls with integer radii uniform in [rmin, rmax] and
// centres uniform in the box enlarged by rmax, as many as give the volume fraction `fraction`
// in expectation. The same arguments give the same volume on every machine.
formats::BitVolume boolean_model(int32_t w, int32_t h, int32_t s, double fraction, int32_t rmin,
                                 int32_t rmax, uint64_t seed);

// The P4 file of plane z: header "P4\n<w> <h>\n", rows most significant bit first.
std::string slice_file_bytes(const formats::BitVolume& volume, int32_t z);

// Writes the planes as "slice000.pbm", "slice001.pbm", ... into `directory` (created).
void write_data_set(const std::string& directory, const formats::BitVolume& volume);

}  // namespace talvik::workloads
