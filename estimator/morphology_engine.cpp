#include "morphology_engine.h"

#include <stdexcept>

namespace talvik {

bool MorphologyEngine::counts_all_shells(const std::vector<DiscretizedBall>&) const {
    return false;
}

std::vector<uint64_t> MorphologyEngine::all_shell_counts(const WordVolume&,
                                                         const std::vector<DiscretizedBall>&,
                                                         size_t) {
    throw std::logic_error("this engine has no distance path");
}

}  // namespace talvik
