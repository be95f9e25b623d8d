// Faults and limits: a run killed while it rewrites the balls file, a results file that
// cannot be written or locked, a process that may not create threads.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "formats/balls_file.h"
#include "test_support.h"
#include "workloads.h"

namespace talvik {
namespace {

using talvik::testing::asan_preload_options;
using talvik::testing::read_file;
using talvik::testing::ScratchDir;
using talvik::testing::write_file;
using ::testing::StartsWith;

TEST(Faults, KilledRewriteLeavesTheOldFileOrTheNewOne) {
    ScratchDir scratch;
    const std::string data = scratch / "data";
    workloads::write_data_set(data, workloads::boolean_model(12, 12, 12, 0.3, 1, 2, 5));
    // The single-voxel ball never keeps a value, so every run rewrites the file; the old
    // text is not in the written form.
    std::vector<formats::DiscretizedBall> balls = workloads::euclidean_balls(1, 3);
    for (size_t i = 0; i < balls.size(); ++i) {
        balls[i].de = 0.5 + static_cast<double>(i);
    }
    balls.insert(balls.begin(), workloads::euclidean_ball(0));
    const std::string old_text = "\n\n" + formats::format_balls_file(balls);
    const std::string new_text = formats::format_balls_file(balls);
    const std::string path = scratch / "balls.txt";

    // Kill the run at every call that changes a file, one after the other, until a run ends
    // by itself: every step of the rewrite is interrupted once, a write halfway.
    int killed = 0;
    for (int call = 1;; ++call) {
        write_file(path, old_text);
        const auto r =
            testing::run_process(TALVIK_EXECUTABLE, {"/d", path, "/b", data, "/e", "2"},
                                 {"KILL_AT_CALL=" + std::to_string(call),
                                  "LD_PRELOAD=" KILL_AT_CALL_LIBRARY, asan_preload_options()});
        const std::string now = read_file(path);
        ASSERT_TRUE(now == old_text || now == new_text)
            << "killed at call " << call << ": " << now.size() << " bytes";
        if (r.status != 128 + SIGKILL) {
            ASSERT_EQ(r.status, 0) << r.err;
            EXPECT_EQ(now, new_text);
            break;
        }
        ++killed;
    }
    // The temporary file is written, flushed, closed and renamed: at least these calls.
    EXPECT_GE(killed, 4);
}

TEST(Faults, ResultsInAReadOnlyFolderArePrintedAndTheFailureReported) {
    ScratchDir scratch;
    std::filesystem::permissions(scratch.path(), std::filesystem::perms::all);
    const std::string data = scratch / "data";
    workloads::write_data_set(data, workloads::boolean_model(16, 16, 16, 0.3, 1, 2, 6));
    const std::string balls = scratch / "balls.txt";
    std::vector<formats::DiscretizedBall> list = workloads::euclidean_balls(1, 3);
    for (size_t i = 0; i < list.size(); ++i) {
        list[i].de = 0.8 + static_cast<double>(i);
    }
    write_file(balls, formats::format_balls_file(list));
    const std::string folder = scratch / "read-only";
    std::filesystem::create_directory(folder);
    std::filesystem::permissions(
        folder, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec |
                    std::filesystem::perms::others_read | std::filesystem::perms::others_exec);
    const std::string results = folder + "/results.txt";
    const auto r = testing::run_process_unprivileged(
        TALVIK_EXECUTABLE, {"/o", results, "/d", balls, "/b", data, "/e", "1"});
    if (r.status == testing::kCannotDropPrivileges) {
        GTEST_SKIP() << "this machine does not let the tests run a program as another user";
    }
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.out, StartsWith("V2: "));
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 3);
    EXPECT_EQ(r.err, "talvik: Error writing the results to file '" + results + "'.\n");
    EXPECT_FALSE(std::filesystem::exists(results));
}

// A results file on a file system without locks (simulated: every lock request fails with
// ENOLCK) is refused before the computation, with the file's name; the balls file is left
// alone and nothing is printed.
TEST(Faults, ResultsFileThatCannotBeLockedIsRefusedBeforeTheComputation) {
    ScratchDir scratch;
    const std::string data = scratch / "data";
    workloads::write_data_set(data, workloads::boolean_model(16, 16, 16, 0.3, 1, 2, 6));
    // The last ball has no value: a run that computed would store one.
    std::vector<formats::DiscretizedBall> list = workloads::euclidean_balls(1, 3);
    list[0].de = 0.8;
    list[1].de = 1.8;
    const std::string balls = scratch / "balls.txt";
    const std::string balls_text = formats::format_balls_file(list);
    write_file(balls, balls_text);
    const std::string results = scratch / "results.txt";
    write_file(results, "; Data_set\tV2\tV1\tV0\nearlier row\n");
    const auto r = testing::run_process(
        TALVIK_EXECUTABLE, {"/o", results, "/d", balls, "/b", data, "/e", "1"},
        {"NO_LOCKS=1", "LD_PRELOAD=" LIMITED_FILE_SYSTEM_LIBRARY, asan_preload_options()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "talvik: Cannot lock the results file '" + results +
                         "': its file system does not support locks.\n");
    EXPECT_EQ(read_file(balls), balls_text);
    EXPECT_EQ(read_file(results), "; Data_set\tV2\tV1\tV0\nearlier row\n");
}

// Exit status of a child in which the process limit does not stop a thread.
constexpr int kLimitHasNoEffect = 124;

TEST(Limits, RunWithoutTheThreadsItAsksForGivesTheSameResults) {
    ScratchDir scratch;
    std::filesystem::permissions(scratch.path(), std::filesystem::perms::all);
    const std::string data = scratch / "data";
    workloads::write_data_set(data, workloads::boolean_model(20, 20, 20, 0.3, 1, 3, 8));
    // The last ball has no value: the reference count runs on threads too.
    std::vector<formats::DiscretizedBall> balls = workloads::euclidean_balls(1, 3);
    balls[0].de = 0.8308861181319003;
    balls[1].de = 1.7314086001144915;
    const std::string free_balls = scratch / "free.txt";
    const std::string limited_balls = scratch / "limited.txt";
    write_file(free_balls, formats::format_balls_file(balls));
    write_file(limited_balls, formats::format_balls_file(balls));
    std::filesystem::permissions(limited_balls, std::filesystem::perms::all);

    const auto free = testing::run_process(
        TALVIK_EXECUTABLE, {"/d", free_balls, "/b", data, "/e", "2"}, {"TALVIK_THREADS=1"});
    ASSERT_EQ(free.status, 0) << free.err;
    // One process for the user, as `ulimit -u 1` sets it: no thread can be created.
    const auto limited = testing::run_process_unprivileged(
        TALVIK_EXECUTABLE, {"/d", limited_balls, "/b", data, "/e", "2"}, [] {
            ::setenv("TALVIK_THREADS", "4", 1);
            // LeakSanitizer, in the sanitizer build, needs a thread of its own at exit.
            const char* asan = std::getenv("ASAN_OPTIONS");
            ::setenv("ASAN_OPTIONS", (std::string(asan ? asan : "") + ":detect_leaks=0").c_str(),
                     1);
            const rlimit one{1, 1};
            ::setrlimit(RLIMIT_NPROC, &one);
            pthread_t thread;
            if (::pthread_create(
                    &thread, nullptr, [](void*) -> void* { return nullptr; }, nullptr) == 0) {
                std::_Exit(kLimitHasNoEffect);
            }
        });
    if (limited.status == testing::kCannotDropPrivileges || limited.status == kLimitHasNoEffect) {
        GTEST_SKIP() << "this machine does not let the tests limit a user's processes";
    }
    EXPECT_EQ(limited.status, 0) << limited.err;
    EXPECT_EQ(limited.out, free.out);
    EXPECT_EQ(read_file(limited_balls), read_file(free_balls));
}

}  // namespace
}  // namespace talvik
