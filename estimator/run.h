// One estimator run, from the settings of the command line to the printed results.
#pragma once

#include "morphology_engine.h"
#include "reference_shell.h"
#include "run_settings.h"

namespace talvik {

// What a run computes with: the volume operations and the count of Re - R.
struct RunEngines {
    MorphologyEngine& morphology;
    ReferenceShellCount reference_shell_count;
};

// Runs every step in order; throws FatalError on any failure.
void run_estimation(const RunSettings& settings, const RunEngines& engines);

// The whole program: parses the command line, runs, reports. Returns the exit status.
int talvik_main(int argc, char** argv, const RunEngines& engines);

}  // namespace talvik
