// Runs in a process of its own: the stream must never have been seeded.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "generator_run.h"
#include "random/exception.h"
#include "random/poisson.h"
#include "random/pos_gen.h"
#include "random/random.h"

namespace brisolt {
namespace {

TEST(Unseeded, EveryGeneratorRefusesToDraw) {
    ASSERT_EQ(Random::state(), 0);
    EXPECT_EQ(Random::seed_state(), 0);
    Uniform uniform;
    Exponential exponential;
    Normal normal;
    Poisson small(3.0);
    Poisson large(300.0);
    const std::function<double()> draws[] = {
        [&] { return uniform.draw(); }, [&] { return exponential.draw(); },
        [&] { return normal.draw(); },  [&] { return small.draw(); },
        [&] { return large.draw(); },   [] { return Random::base_draw(); }};
    for (const auto& draw : draws) {
        try {
            draw();
            ADD_FAILURE() << "no exception";
        } catch (const Logic_error& e) {
            EXPECT_EQ(e.text(),
                      "\n\nAn exception has been thrown\nLogic error:- Random number generator "
                      "not initialised");
        }
    }
}

// A failure of the random numbers ends the run with their message instead of the program.
TEST(Unseeded, RunReportsTheRandomNumberFailure) {
    GenerationRequest request;
    request.model = {.max_x = 10,
                     .max_y = 10,
                     .max_z = 10,
                     .lambda = 0.01,
                     .max_radius = 2,
                     .distribution = "Uniform",
                     .parameter1 = 1.0,
                     .parameter2 = 2.0};
    const RunPlan plan = plan_run(request);
    EXPECT_FALSE(plan.ok);
    EXPECT_EQ(
        plan.error,
        "An exception has been thrown\nLogic error:- Random number generator not initialised");
}

}  // namespace
}  // namespace brisolt
