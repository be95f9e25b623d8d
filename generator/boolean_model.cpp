#include "boolean_model.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "formats/integer_sqrt.h"
#include "random/exception.h"
#include "random/poisson.h"

namespace brisolt {
namespace {

// The side of the enlarged box, X + 2R + 1; exact in a double.
double enlarged_side(uint32_t size, uint32_t max_radius) {
    return static_cast<double>(static_cast<uint64_t>(size) + 2 * uint64_t{max_radius} + 1);
}

int32_t draw_centre(Uniform& centre, uint32_t size, uint32_t max_radius) {
    const double u = centre.draw();
    return static_cast<int32_t>(u * enlarged_side(size, max_radius) -
                                static_cast<double>(max_radius));
}

// A draw is kept when it truncates to 0 .. R; values in (-1, 0) truncate to 0.
bool keep_radius(double value, uint32_t max_radius, int32_t& r) {
    const double t = std::trunc(value);
    if (t >= 0.0 && t <= max_radius) {
        r = static_cast<int32_t>(t);
        return true;
    }
    return false;
}

int32_t draw_radius(const formats::ModelParameters& p, BallSources& sources) {
    const uint32_t max_radius = p.max_radius;
    int32_t r = 0;
    if (p.distribution == "Uniform") {
        while (!keep_radius(p.parameter1 + sources.radius.draw() * (p.parameter2 - p.parameter1),
                            max_radius, r)) {
        }
    } else if (p.distribution == "LogNormal") {
        while (!keep_radius(std::exp(sources.normal.draw() * p.parameter2 + p.parameter1),
                            max_radius, r)) {
        }
    } else if (p.distribution == "Exponential") {
        while (!keep_radius(sources.exponential.draw() * p.parameter1, max_radius, r)) {
        }
    } else {
        r = static_cast<int32_t>(max_radius);
    }
    return r;
}

// Sets bits first .. last (inclusive) of a plane, least significant bit first.
void set_bit_run(uint8_t* bytes, size_t first, size_t last) {
    const size_t first_byte = first / 8;
    const size_t last_byte = last / 8;
    const unsigned low = 0xFFu << (first % 8);
    const unsigned high = 0xFFu >> (7 - last % 8);
    if (first_byte == last_byte) {
        bytes[first_byte] |= static_cast<uint8_t>(low & high);
        return;
    }
    bytes[first_byte] |= static_cast<uint8_t>(low);
    std::memset(bytes + first_byte + 1, 0xFF, last_byte - first_byte - 1);
    bytes[last_byte] |= static_cast<uint8_t>(high);
}

}  // namespace

double ball_count_mean(const formats::ModelParameters& p) {
    return ((p.lambda * enlarged_side(p.max_x, p.max_radius)) *
            enlarged_side(p.max_y, p.max_radius)) *
           enlarged_side(p.max_z, p.max_radius);
}

int32_t draw_ball_count(double mu) {
    Poisson count(mu);
    const double variate = count.draw();
    if (!(variate < 2147483648.0)) {
        throw Runtime_error("RNG: ball count does not fit 32 bits");
    }
    return static_cast<int32_t>(variate);
}

Ball draw_ball(const formats::ModelParameters& p, BallSources& sources) {
    Ball ball;
    ball.cx = draw_centre(sources.centre, p.max_x, p.max_radius);
    ball.cy = draw_centre(sources.centre, p.max_y, p.max_radius);
    ball.cz = draw_centre(sources.centre, p.max_z, p.max_radius);
    ball.r = draw_radius(p, sources);
    return ball;
}

bool volume_allocate(formats::BitVolume& volume, uint32_t max_x, uint32_t max_y, uint32_t max_z,
                     RunError& error) {
    error.clear();
    volume_release(volume);
    try {
        volume = formats::BitVolume(static_cast<int32_t>(max_x), static_cast<int32_t>(max_y),
                                    static_cast<int32_t>(max_z));
    } catch (const std::bad_alloc&) {
        error.set("Memory allocation error!");
        return false;
    }
    return true;
}

void volume_add_ball(formats::BitVolume& volume, int32_t cx, int32_t cy, int32_t cz, int32_t r) {
    const int32_t z_end = std::min(volume.slice_count, cz + r + 1);
    const int32_t y_end = std::min(volume.height, cy + r + 1);
    const int32_t y_begin = std::max(0, cy - r - 1);
    for (int32_t z = std::max(0, cz - r - 1); z < z_end; ++z) {
        const int32_t rest_z = r * r - (z - cz) * (z - cz);
        if (rest_z < 0) {
            continue;
        }
        uint8_t* plane = volume.planes[static_cast<size_t>(z)].bytes.data();
        for (int32_t y = y_begin; y < y_end; ++y) {
            const int32_t rest = rest_z - (y - cy) * (y - cy);
            if (rest < 0) {
                continue;
            }
            const int32_t half = static_cast<int32_t>(formats::floor_sqrt(rest));
            const int32_t x_first = std::max(0, cx - half);
            const int32_t x_last = std::min(volume.width - 1, cx + half);
            if (x_first <= x_last) {
                set_bit_run(plane, volume.bit_index(x_first, y), volume.bit_index(x_last, y));
            }
        }
    }
}

void volume_release(formats::BitVolume& volume) {
    volume = formats::BitVolume();
}

}  // namespace brisolt
