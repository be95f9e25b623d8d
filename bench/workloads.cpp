#include "workloads.h"

#include "formats/numbers.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>

#include "formats/integer_sqrt.h"
#include "formats/slice_file.h"
#include "shells/euclidean_ball.h"

namespace talvik::workloads {
namespace {

// Uniform in [0, 1) from the top 53 bits: the same on every platform, unlike the standard
// distributions.
double unit(std::mt19937_64& engine) {
    return static_cast<double>(engine() >> 11) * 0x1.0p-53;
}

}  // namespace

formats::DiscretizedBall euclidean_ball(int32_t radius, double de) {
    formats::DiscretizedBall ball = threshold_ball(int64_t{radius} * radius);
    ball.de = de;
    return ball;
}

std::vector<formats::DiscretizedBall> euclidean_balls(int32_t first, int32_t last) {
    std::vector<formats::DiscretizedBall> balls;
    for (int32_t r = first; r <= last; ++r) {
        balls.push_back(euclidean_ball(r));
    }
    return balls;
}

std::vector<formats::DiscretizedBall> distinct_euclidean_balls(int64_t last) {
    std::vector<formats::DiscretizedBall> balls;
    for (int64_t t = 1; t <= last; ++t) {
        formats::DiscretizedBall ball = threshold_ball(t);
        if (euclidean_threshold(ball) == t) {
            balls.push_back(std::move(ball));
        }
    }
    return balls;
}

formats::BitVolume boolean_model(int32_t w, int32_t h, int32_t s, double fraction, int32_t rmin,
                                 int32_t rmax, uint64_t seed) {
    formats::BitVolume volume(w, h, s);
    // Mean voxel count of the digital balls of the radius law.
    double mean_volume = 0.0;
    for (int32_t r = rmin; r <= rmax; ++r) {
        int64_t count = 0;
        for (int32_t z = -r; z <= r; ++z) {
            for (int32_t y = -r; y <= r; ++y) {
                const int32_t rest = r * r - z * z - y * y;
                count += rest >= 0 ? 2 * static_cast<int32_t>(formats::floor_sqrt(rest)) + 1 : 0;
            }
        }
        mean_volume += static_cast<double>(count) / (rmax - rmin + 1);
    }
    const double enlarged = static_cast<double>(w + 2 * rmax) * (h + 2 * rmax) * (s + 2 * rmax);
    const double lambda = -std::log(1.0 - fraction) / mean_volume;
    const int64_t balls = std::llround(lambda * enlarged);
    std::mt19937_64 engine(seed);
    for (int64_t i = 0; i < balls; ++i) {
        const int32_t cx = static_cast<int32_t>(std::floor(unit(engine) * (w + 2 * rmax))) - rmax;
        const int32_t cy = static_cast<int32_t>(std::floor(unit(engine) * (h + 2 * rmax))) - rmax;
        const int32_t cz = static_cast<int32_t>(std::floor(unit(engine) * (s + 2 * rmax))) - rmax;
        const int32_t r =
            rmin + static_cast<int32_t>(engine() % static_cast<uint64_t>(rmax - rmin + 1));
        for (int32_t z = std::max(0, cz - r); z <= std::min(s - 1, cz + r); ++z) {
            for (int32_t y = std::max(0, cy - r); y <= std::min(h - 1, cy + r); ++y) {
                const int32_t rest = r * r - (z - cz) * (z - cz) - (y - cy) * (y - cy);
                if (rest < 0) {
                    continue;
                }
                const int32_t half = static_cast<int32_t>(formats::floor_sqrt(rest));
                for (int32_t x = std::max(0, cx - half); x <= std::min(w - 1, cx + half); ++x) {
                    volume.set(x, y, z);
                }
            }
        }
    }
    return volume;
}

std::string slice_file_bytes(const formats::BitVolume& volume, int32_t z) {
    std::string bytes =
        "P4\n" + std::to_string(volume.width) + " " + std::to_string(volume.height) + "\n";
    const formats::SliceBits& plane = volume.planes[static_cast<size_t>(z)];
    size_t index = 0;
    for (int32_t y = 0; y < volume.height; ++y) {
        for (int32_t x0 = 0; x0 < volume.width; x0 += 8) {
            unsigned byte = 0;
            for (int32_t b = 0; b < 8 && x0 + b < volume.width; ++b, ++index) {
                if (plane.pixel(index)) {
                    byte |= 0x80u >> b;
                }
            }
            bytes.push_back(static_cast<char>(byte));
        }
    }
    return bytes;
}

void write_data_set(const std::string& directory, const formats::BitVolume& volume) {
    std::filesystem::create_directories(directory);
    for (int32_t z = 0; z < volume.slice_count; ++z) {
        const std::string name =
            "slice" + formats::zero_padded(static_cast<uint64_t>(z), 3) + ".pbm";
        const std::string path = (std::filesystem::path(directory) / name).string();
        const std::string bytes = slice_file_bytes(volume, z);
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out) {
            throw std::runtime_error("cannot write " + path);
        }
    }
}

}  // namespace talvik::workloads
