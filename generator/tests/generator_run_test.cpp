#include "generator_run.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "data_set_writer.h"
#include "formats/data_set.h"

#include "literal_oracles.h"
#include "model_fixtures.h"
#include "partial_folders.h"
#include "random/poisson.h"
#include "test_support.h"

namespace brisolt {
namespace {

namespace fs = std::filesystem;
using talvik::testing::read_file;
using talvik::testing::ScratchDir;
using talvik::testing::write_file;
using testing::counted;

GenerationRequest request_for(const std::string& out, uint32_t count = 2) {
    GenerationRequest r;
    r.model.max_x = 23;
    r.model.max_y = 17;
    r.model.max_z = 12;
    r.model.lambda = 0.002;
    r.model.max_radius = 4;
    r.model.distribution = "Uniform";
    r.model.parameter1 = 1.0;
    r.model.parameter2 = 4.5;
    r.output_directory = out;
    r.prefix = "p";
    r.count = count;
    return r;
}

// Runs in small slices, the way the dialog does, and checks the progress on the way: it
// never goes back and shows 100 only once the last data set is in place.
void run_sliced(GenerationRun& run) {
    int last = 0;
    while (run.advance(std::chrono::milliseconds(0))) {
        ASSERT_GE(run.progress(), last);
        ASSERT_LT(run.progress(), 100);
        last = run.progress();
    }
}

std::vector<std::string> tree(const fs::path& root) {
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        names.push_back(fs::relative(entry.path(), root).string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(RunPlan, RefusesProblemsBeforeAnyDraw) {
    GenerationRequest r = request_for("/nowhere");
    r.model.parameter1 = 20;
    r.model.parameter2 = 30;
    Random::set_seed(0.5);
    const int32_t before = Random::state();
    const RunPlan plan = plan_run(r);
    EXPECT_FALSE(plan.ok);
    EXPECT_EQ(plan.error,
              "No radius from 0 to 4 (Max) can come from the Uniform law from 20 to 30.");
    EXPECT_EQ(Random::state(), before);
}

TEST(RunPlan, DrawsTheCountFromPoissonOfTheMean) {
    const GenerationRequest r = request_for("/nowhere");
    Random::set_seed(0.5);
    const RunPlan plan = plan_run(r);
    ASSERT_TRUE(plan.ok);
    EXPECT_EQ(plan.mu, ((0.002 * 32) * 26) * 21);
    Random::set_seed(0.5);
    Poisson poisson(plan.mu);
    EXPECT_EQ(plan.ball_count, static_cast<int32_t>(poisson.draw()));
}

TEST(RunPlan, ConfirmationText) {
    EXPECT_EQ(confirmation_text(0, 3),
              "About to make 0 balls for each of 3 data sets.\nDo you want to continue?");
    EXPECT_EQ(confirmation_text(106433, 1),
              "About to make 106433 balls for each of 1 data sets.\nDo you want to continue?");
}

TEST(SampledRun, DataSetsLoadInTheEstimatorWithTheSampledVoxels) {
    ScratchDir dir;
    const GenerationRequest r = request_for(dir.path().string(), 3);
    Random::set_seed(0.25);
    const RunPlan plan = plan_run(r);
    ASSERT_TRUE(plan.ok);
    ASSERT_GT(plan.ball_count, 10);
    {
        BallSources sources;
        GenerationRun run(r, plan, sources);
        run_sliced(run);
        ASSERT_FALSE(run.failed()) << run.error();
        EXPECT_TRUE(run.finished());
        EXPECT_EQ(run.progress(), 100);
        EXPECT_EQ(run.data_sets_written(), 3u);
    }
    // The same stream again, voxel by voxel.
    Random::set_seed(0.25);
    ASSERT_EQ(plan_run(r).ball_count, plan.ball_count);
    BallSources sources;
    for (uint32_t i = 0; i < 3; ++i) {
        formats::BitVolume expected(23, 17, 12);
        for (int32_t k = 0; k < plan.ball_count; ++k) {
            const Ball b = draw_ball(r.model, sources);
            testing::literal_add_ball(expected, b.cx, b.cy, b.cz, b.r);
        }
        const std::string set = dir / ("p00" + std::to_string(i));
        const formats::WordVolume loaded = formats::load_data_set(set);
        ASSERT_EQ(loaded.width(), 23);
        ASSERT_EQ(loaded.height(), 17);
        ASSERT_EQ(loaded.slices(), 12);
        size_t set_voxels = 0;
        for (int32_t z = 0; z < 12; ++z) {
            for (int32_t y = 0; y < 17; ++y) {
                for (int32_t x = 0; x < 23; ++x) {
                    ASSERT_EQ(loaded.get(x, y, z), expected.get(x, y, z))
                        << set << " " << x << "," << y << "," << z;
                    set_voxels += expected.get(x, y, z);
                }
            }
        }
        EXPECT_GT(set_voxels, 0u);
        const std::vector<std::string> slices = formats::list_slice_files(set);
        ASSERT_EQ(slices.size(), 12u);
        EXPECT_EQ(slices[10], set + "/pslice010.pbm");
    }
}

TEST(SampledRun, SlicedRunWritesTheSameFilesAsARunInOneGo) {
    ScratchDir sliced_dir;
    ScratchDir whole_dir;
    const GenerationRequest sliced = request_for(sliced_dir.path().string());
    const GenerationRequest whole = request_for(whole_dir.path().string());
    BallSources sources;
    Random::set_seed(0.33);
    GenerationRun a(sliced, plan_run(sliced), sources);
    run_sliced(a);
    Random::set_seed(0.33);
    GenerationRun b(whole, plan_run(whole), sources);
    EXPECT_FALSE(b.advance(std::chrono::milliseconds(60000)));
    const std::vector<std::string> names = tree(whole_dir.path());
    ASSERT_EQ(names, tree(sliced_dir.path()));
    EXPECT_EQ(names.size(), 2u + 2u * (12u + 1u));  // 12 slices and model.txt each
    for (const std::string& name : names) {
        if (name.ends_with(".pbm") || name.ends_with("model.txt")) {
            EXPECT_EQ(read_file(whole_dir / name), read_file(sliced_dir / name)) << name;
        }
    }
}

TEST(SampledRun, SuccessiveRunsContinueTheStream) {
    ScratchDir first;
    ScratchDir second;
    BallSources sources;
    Random::set_seed(0.44);
    for (const ScratchDir* dir : {&first, &second}) {
        const GenerationRequest r = request_for(dir->path().string(), 1);
        GenerationRun run(r, plan_run(r), sources);
        run_sliced(run);
    }
    EXPECT_NE(read_file(first / "p000/pslice006.pbm"), read_file(second / "p000/pslice006.pbm"));
}

uint64_t fnv1a(const std::string& bytes, uint64_t hash = 1469598103934665603ull) {
    for (const char c : bytes) {
        hash = (hash ^ static_cast<uint8_t>(c)) * 1099511628211ull;
    }
    return hash;
}

// Pins the whole stream (seeding, Poisson count, centres, each law's generator, the voxels
// and the file bytes): a given seed must give the same data sets in every build.
TEST(SampledRun, SeedGivesTheSameDataSetsInEveryBuild) {
    const struct {
        const char* law;
        double p1;
        double p2;
        int32_t balls;
        uint64_t hash;
    } cases[] = {{"Uniform", 1.0, 4.5, 32, 1293826167087414742ull},
                 {"LogNormal", 0.5, 0.6, 32, 7709858821871592634ull},
                 {"Exponential", 1.5, 0.0, 32, 3955838711383872707ull}};
    for (const auto& c : cases) {
        ScratchDir dir;
        GenerationRequest r = request_for(dir.path().string(), 2);
        r.model.distribution = c.law;
        r.model.parameter1 = c.p1;
        r.model.parameter2 = c.p2;
        seed_from_time(1733650000);
        const RunPlan plan = plan_run(r);
        BallSources sources;
        GenerationRun run(r, plan, sources);
        run_sliced(run);
        uint64_t hash = 1469598103934665603ull;
        for (const std::string& name : tree(dir.path())) {
            // Pinned before model.txt existed; the model file has tests of its own.
            if (name.ends_with("model.txt")) {
                continue;
            }
            hash = fnv1a(name, hash);
            if (name.ends_with(".pbm")) {
                hash = fnv1a(read_file(dir / name), hash);
            }
        }
        EXPECT_EQ(plan.ball_count, c.balls) << c.law;
        EXPECT_EQ(hash, c.hash) << c.law;
    }
}

TEST(SampledRun, NoBallsGiveEmptySlices) {
    ScratchDir dir;
    BallSources sources;
    GenerationRun run(request_for(dir.path().string(), 3), counted(0), sources);
    run_sliced(run);
    EXPECT_FALSE(run.failed());
    EXPECT_EQ(run.progress(), 100);
    EXPECT_EQ(run.data_sets_written(), 3u);
    EXPECT_EQ(read_file(dir / "p002/pslice011.pbm"), "P4\n23 17\n" + std::string(17 * 3, '\0'));
}

TEST(SampledRun, CountZeroWritesNothing) {
    ScratchDir dir;
    BallSources sources;
    GenerationRun run(request_for(dir.path().string(), 0), counted(5), sources);
    EXPECT_FALSE(run.advance(std::chrono::milliseconds(0)));
    EXPECT_TRUE(run.finished());
    EXPECT_TRUE(tree(dir.path()).empty());
}

TEST(SampledRun, MissingOutputDirectoryStopsAtTheFirstDataSet) {
    ScratchDir dir;
    BallSources sources;
    Random::set_seed(0.5);
    GenerationRun run(request_for(dir / "missing"), counted(3), sources);
    EXPECT_FALSE(run.advance(std::chrono::milliseconds(1000)));
    EXPECT_TRUE(run.failed());
    EXPECT_EQ(run.error(), "Error creating directory " + (dir / "missing/p000") + "!");
    EXPECT_TRUE(tree(dir.path()).empty());
}

TEST(SampledRun, FailureKeepsTheEarlierDataSetsAndMakesNoLaterOnes) {
    ScratchDir dir;
    write_file(dir / "p001", "in the way");
    BallSources sources;
    Random::set_seed(0.5);
    GenerationRun run(request_for(dir.path().string(), 3), counted(4), sources);
    run_sliced(run);
    EXPECT_TRUE(run.failed());
    EXPECT_EQ(run.error(), "Error creating directory " + (dir / "p001") + "!");
    EXPECT_EQ(run.data_sets_written(), 1u);
    EXPECT_EQ(formats::list_slice_files(dir / "p000").size(), 12u);
    EXPECT_FALSE(fs::exists(dir / "p002"));
}

TEST(SampledRun, CancelKeepsTheCompleteDataSetsAndRemovesTheUnfinishedOne) {
    ScratchDir whole_dir;
    ScratchDir cancelled_dir;
    BallSources sources;
    for (const ScratchDir* dir : {&whole_dir, &cancelled_dir}) {
        const GenerationRequest r = request_for(dir->path().string(), 3);
        Random::set_seed(0.5);
        GenerationRun run(r, plan_run(r), sources);
        if (dir == &cancelled_dir) {
            // Into the second data set's slices.
            while (!fs::exists(testing::partial_folder_of(*dir / "p001") + "/pslice004.pbm")) {
                ASSERT_TRUE(run.advance(std::chrono::milliseconds(0)));
            }
            run.cancel();
            EXPECT_TRUE(run.cancelled());
            EXPECT_EQ(run.data_sets_written(), 1u);
        }
        run_sliced(run);
        EXPECT_TRUE(run.finished());
        EXPECT_FALSE(run.failed());
    }
    EXPECT_EQ(
        tree(cancelled_dir.path()),
        (std::vector<std::string>{"p000", "p000/model.txt", "p000/pslice000.pbm",
                                  "p000/pslice001.pbm", "p000/pslice002.pbm", "p000/pslice003.pbm",
                                  "p000/pslice004.pbm", "p000/pslice005.pbm", "p000/pslice006.pbm",
                                  "p000/pslice007.pbm", "p000/pslice008.pbm", "p000/pslice009.pbm",
                                  "p000/pslice010.pbm", "p000/pslice011.pbm"}));
    for (const std::string& name : tree(cancelled_dir.path())) {
        if (name != "p000") {
            EXPECT_EQ(read_file(cancelled_dir / name), read_file(whole_dir / name)) << name;
        }
    }
}

}  // namespace
}  // namespace brisolt
