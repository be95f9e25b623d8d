// One estimator run, from the settings of the command line to the printed results.
#pragma once

#include "morphology_engine.h"
#include "run_settings.h"

namespace talvik {

// Runs every step in order; throws FatalError on any failure.
void run_estimation(const RunSettings& settings, MorphologyEngine& engine);

// The whole program: parses the command line, runs, reports. Returns the exit status.
int talvik_main(int argc, char** argv, MorphologyEngine& engine);

}  // namespace talvik
