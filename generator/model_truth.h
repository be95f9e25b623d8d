// The truth that talvik's estimate is judged against. talvik reports the densities of Xe, the
// data set dilated by the epsilon ball; Xe of a Boolean model of balls is again one, of the same
// centres with every radius grown by that ball's correction value de, so its truth is Miles'
// formulae with rho = j + de.
#pragma once

#include <string>

#include "formats/model_file.h"
#include "miles_densities.h"

namespace brisolt {

// What the parameters alone decide: the same for every data set of a run.
formats::ModelTruth model_truth(const formats::ModelParameters& parameters);

// The densities of Xe for the model that `record` describes.
IntrinsicDensities xe_truth(const formats::ModelRecord& record, double de);

// The de that the discretized-balls file at `balls_path` stores for ball `epsilon` (counted
// from 1), read as talvik reads it: false, with the reason in `error`, when the file does not
// read, has no such ball or stores no de for it yet.
bool stored_epsilon_de(const std::string& balls_path, int epsilon, double& de, std::string& error);

// (estimate - truth) in per cent of |truth|.
double relative_error_percent(double estimate, double truth);

}  // namespace brisolt
