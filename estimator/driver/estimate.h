// One estimate from a data set in memory: everything a run does between loading the slices
// and printing the results. Every failure throws formats::FatalError with talvik's message.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "driver/engines.h"
#include "driver/verbose_log.h"
#include "fit/steiner_fit.h"
#include "formats/balls_file.h"
#include "formats/word_volume.h"

namespace talvik {

struct EstimateRequest {
    std::string data_set_name;  // as messages name the data set: its directory
    std::string balls_name;     // as messages name the balls file: its path
    int32_t epsilon_index = 0;  // zero-based; an index beyond the balls is refused
    // V0 from the Euler characteristic of Xe, V2 and V1 fitted over the range of balls that
    // the shells themselves show the Steiner polynomial to describe, and standard errors by a
    // block jackknife.
    bool adaptive = false;
};

// What makes an adaptive estimate less trustworthy than its standard errors say.
struct EstimateWarning {
    enum class Kind {
        grains_too_small,   // even the smallest balls lie past the flattening of the shells
        uncertain_v0,       // V0 is uncertain to its first digit
        no_standard_error,  // the window is too small to cut into blocks
    };
    Kind kind;
    std::string text;  // one sentence, without "talvik: warning: " and without a line feed
};

struct Estimate {
    IntrinsicVolumes volumes;
    std::vector<double> fractions;  // V(d): shell d's voxels over the window's, every ball
    std::vector<double> de;         // of every ball
    size_t balls_used = 0;          // the fit took balls 1 .. balls_used (all but adaptive)
    // Adaptive only: the volume fraction of Xe and its Euler characteristic per voxel with
    // 6- and 26-adjacency, from which V0 comes (fit/adaptive_fit.h); the standard errors (not
    // numbers when the window has a single block), the blocks of the window, why the range
    // ends where it does, and the warnings.
    double xe_fraction = 0.0;
    double euler6 = 0.0;
    double euler26 = 0.0;
    IntrinsicVolumes standard_errors;
    size_t blocks = 1;
    std::string range_reason;
    std::vector<EstimateWarning> warnings;
};

// Measures the shells of X (taken over) for every ball and fits V2, V1 and V0. Missing
// correction values are computed into `balls`; `store_de`, when given, is called once they
// are all there, if any was missing.
Estimate estimate(formats::WordVolume x, formats::BallsFile& balls, const EstimateRequest& request,
                  const RunEngines& engines, const VerboseLog& log,
                  const std::function<void(const formats::BallsFile&)>& store_de);

}  // namespace talvik
