// The truth that talvik's estimate is judged against. talvik reports the densities of Xe, the
// data set dilated by the epsilon ball; Xe of a Boolean model of balls is again one, of the same
// centres with every radius grown by that ball's correction value de, so its truth is Miles'
// formulae with rho = j + de.
#pragma once

#include <string>

#include "miles_densities.h"
#include "model_file.h"

namespace brisolt {

// The densities of Xe for the model that `record` describes.
IntrinsicDensities xe_truth(const ModelRecord& record, double de);

// The de that the discretized-balls file at `balls_path` stores for ball `epsilon` (counted
// from 1), read as talvik reads it: false, with the reason in `error`, when the file does not
// read, has no such ball or stores no de for it yet.
bool stored_epsilon_de(const std::string& balls_path, int epsilon, double& de, std::string& error);

// (estimate - truth) in per cent of |truth|.
double relative_error_percent(double estimate, double truth);

}  // namespace brisolt
