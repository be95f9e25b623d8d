// The generator dialog's rules that need no window: when Generate is enabled and how the
// parameter labels read for each radius law.
#pragma once

#include <string>

#include "boolean_model.h"

namespace brisolt {

struct LawLabels {
    const char* parameter1;
    const char* parameter2;
    bool parameter2_shown;
};

// Labels 1020 and 1021 for a list entry; an entry that is not a law keeps the Uniform ones.
LawLabels law_labels(const std::string& law);

// X, Y, Z and R at least 1, |lambda| above 1e-22, an output directory, and parameters that
// suit the law named in the combo's text field; a parameter of exactly 0 never does.
bool generate_allowed(const ModelParameters& model, const std::string& output_directory);

}  // namespace brisolt
