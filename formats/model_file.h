// model.txt beside the slices of every data set: the model's parameters, its radius law as
// drawn, its densities by Miles' formulae and the volume fraction measured in the data set.
// The estimator loads only "*.pbm" entries, so the file does not disturb it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats/model_parameters.h"

namespace formats {

// Mean values over the radius law of one grain, a ball of radius rho = j + epsilon:
// volume 4/3 pi rho^3, surface area 4 pi rho^2, integral of mean curvature 4 pi rho.
struct MeanGrain {
    double vbar = 0.0;
    double sbar = 0.0;
    double mbar = 0.0;
};

// Volume fraction V3, half the surface area V2, V1 = (integral of mean curvature) / pi and
// the Euler characteristic V0, per unit volume, normalised so that one ball of radius r has
// V2 = 2 pi r^2, V1 = 4 r and V0 = 1.
struct IntrinsicDensities {
    double v3 = 0.0;
    double v2 = 0.0;
    double v1 = 0.0;
    double v0 = 0.0;
};

// "<directory>/model.txt".
std::string model_file_path(const std::string& directory);

// What the parameters alone decide: the same for every data set of a run.
struct ModelTruth {
    std::vector<double> radius_law;  // P(r = j), j = 0 .. R
    MeanGrain grain;                 // epsilon 0
    IntrinsicDensities densities;    // epsilon 0
};

struct ModelRecord {
    ModelParameters parameters;
    int32_t seed = 0;  // the state the stream was seeded with
    // The numbers drawn from the seeded stream before this data set's run began (the earlier
    // runs of the same window); 0 in files written before it was recorded.
    uint64_t skip = 0;
    // The Brisolt options that write this data set again, byte for byte, into any folder;
    // empty in files written before it was recorded.
    std::string reproduce;
    int32_t balls = 0;
    double mean_count = 0.0;
    ModelTruth truth;
    double measured_v3 = 0.0;
};

// One "name = value" line each: x, y, z, lambda, radius, law, p1, p2, seed, skip, balls,
// mean_count, V3, V2, V1, V0, vbar, sbar, mbar, p_r0 .. p_rR, measured_V3, reproduce; reals
// "%.17g".
std::string model_file_text(const ModelRecord& record);

// Reads the text back: false, with what is wrong in `error`, when a line is missing or does
// not read. Unknown lines are passed over.
bool parse_model_text(const std::string& text, ModelRecord& record, std::string& error);

// Reads and parses the file at `path`: false, with what is wrong in `error`, when it cannot be
// read or does not parse.
bool read_model_file(const std::string& path, ModelRecord& record, std::string& error);

}  // namespace formats
