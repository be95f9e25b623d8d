// One estimator run, from the settings of the command line to the printed results.
#pragma once

#include "driver/command_line.h"
#include "driver/engines.h"

namespace talvik {

// Runs every step in order; throws formats::FatalError on any failure.
void run_estimation(const RunSettings& settings, const RunEngines& engines);

// The whole program: parses the command line, runs, reports. Returns the exit status.
int talvik_main(int argc, char** argv, const RunEngines& engines);

}  // namespace talvik
