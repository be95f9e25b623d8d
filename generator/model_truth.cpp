#include "model_truth.h"

#include <cmath>

#include "formats/balls_file.h"
#include "formats/errors.h"
#include "radius_law.h"

#include "formats/balls_file.h"
#include "formats/errors.h"

namespace brisolt {

formats::ModelTruth model_truth(const formats::ModelParameters& parameters) {
    formats::ModelTruth truth;
    truth.radius_law = radius_law(parameters);
    truth.grain = mean_grain(truth.radius_law, 0.0);
    truth.densities = miles_densities(parameters.lambda, truth.grain);
    return truth;
}

IntrinsicDensities xe_truth(const formats::ModelRecord& record, double de) {
    return miles_densities(record.parameters.lambda, mean_grain(record.truth.radius_law, de));
}

bool stored_epsilon_de(const std::string& balls_path, int epsilon, double& de, std::string& error) {
    try {
        const formats::BallsFile file = formats::read_balls_file(balls_path);
        if (epsilon < 1 || static_cast<size_t>(epsilon) > file.balls.size()) {
            error = balls_path + " has no ball " + std::to_string(epsilon) + ".";
            return false;
        }
        de = file.balls[static_cast<size_t>(epsilon) - 1].de;
        if (std::fabs(de) < formats::kMissingDe) {
            error = "ball " + std::to_string(epsilon) + " of " + balls_path + " has no de yet.";
            return false;
        }
        return true;
    } catch (const formats::FatalError& e) {
        // The estimator's message, without the line feed that ends it.
        error = e.what();
        while (!error.empty() && (error.back() == '\n' || error.back() == '\r')) {
            error.pop_back();
        }
        return false;
    }
}

double relative_error_percent(double estimate, double truth) {
    return (estimate - truth) * 100.0 / std::fabs(truth);
}

}  // namespace brisolt
