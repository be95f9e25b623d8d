// Boolean models of balls: the parameters, the Poisson number of balls, the sampling of one
// ball and its digitisation into the packed bit volume.
#pragma once

#include <cstdint>
#include <string>

#include "formats/bit_volume.h"
#include "formats/model_parameters.h"
#include "random/pos_gen.h"
#include "random/random.h"

namespace brisolt {

// The error state of a run: set by the volume allocation and the writer, shown by the run.
struct RunError {
    bool flag = false;
    std::string text;

    void clear() {
        flag = false;
        text.clear();
    }
    void set(std::string message) {
        flag = true;
        text = std::move(message);
    }
};

struct Ball {
    int32_t cx = 0;
    int32_t cy = 0;
    int32_t cz = 0;
    int32_t r = 0;
};

// The generator objects of the sampling, one of each kind. They all advance the one base
// stream, so only the order of the draws matters, not which object makes them.
struct BallSources {
    Uniform centre;
    Uniform radius;
    Normal normal;
    Exponential exponential;
};

// mu = ((lambda (X + 2R + 1)) (Y + 2R + 1)) (Z + 2R + 1), evaluated left to right.
double ball_count_mean(const formats::ModelParameters& parameters);

// N: one draw of Poisson(mu), truncated. mu must not exceed kMaxBallCountMean.
int32_t draw_ball_count(double mu);

// The centre (three draws of sources.centre, in x, y, z order) over the box enlarged by R,
// then the radius from the law, redrawn until it lies in 0 .. R. The caller has checked
// with model_problem() that the law can give such a radius.
Ball draw_ball(const formats::ModelParameters& parameters, BallSources& sources);

// Releases `volume` and allocates it anew, every voxel clear. On failure sets `error` to
// "Memory allocation error!" and returns false.
bool volume_allocate(formats::BitVolume& volume, uint32_t max_x, uint32_t max_y, uint32_t max_z,
                     RunError& error);

// Sets every voxel (x, y, z) of the box with (x - cx)^2 + (y - cy)^2 + (z - cz)^2 <= r^2.
// Each row of the ball is filled as one run of bits, so a ball costs O(r^2) row runs.
void volume_add_ball(formats::BitVolume& volume, int32_t cx, int32_t cy, int32_t cz, int32_t r);

void volume_release(formats::BitVolume& volume);

}  // namespace brisolt
