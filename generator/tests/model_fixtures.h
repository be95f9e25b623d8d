// Model parameters for the tests: a cube of `size` voxels, lambda 0.001.
#pragma once

#include <string>

#include "boolean_model.h"
#include "generator_run.h"

namespace brisolt::testing {

inline formats::ModelParameters cube_model(const std::string& law, double p1, double p2,
                                           uint32_t max_radius, uint32_t size) {
    formats::ModelParameters p;
    p.max_x = p.max_y = p.max_z = size;
    p.lambda = 0.001;
    p.max_radius = max_radius;
    p.distribution = law;
    p.parameter1 = p1;
    p.parameter2 = p2;
    return p;
}

// A run's plan with a ball count of the test's choosing.
inline RunPlan counted(int32_t ball_count) {
    RunPlan plan;
    plan.ok = true;
    plan.ball_count = ball_count;
    return plan;
}

}  // namespace brisolt::testing
