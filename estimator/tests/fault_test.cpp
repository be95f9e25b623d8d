// Faults that must not lose a user's file: a run killed while it rewrites the balls file, and
// a results file that cannot be written.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <thread>

#include "balls_file.h"
#include "test_support.h"
#include "workloads.h"

extern char** environ;

namespace talvik {
namespace {

using talvik::testing::read_file;
using talvik::testing::ScratchDir;
using talvik::testing::write_file;
using ::testing::StartsWith;

TEST(Faults, KilledRewriteLeavesTheOldFileOrTheNewOne) {
    ScratchDir scratch;
    const std::string data = scratch / "data";
    workloads::write_data_set(data, workloads::boolean_model(12, 12, 12, 0.3, 1, 2, 5));
    // The single-voxel ball never keeps a value, so every run rewrites the file; the other
    // balls make it long, and the old text is not in the written form.
    std::vector<DiscretizedBall> balls = workloads::euclidean_balls(1, 30);
    for (size_t i = 0; i < balls.size(); ++i) {
        balls[i].de = 0.5 + static_cast<double>(i);
    }
    balls.insert(balls.begin(), workloads::euclidean_ball(0));
    const std::string old_text = "\n\n" + format_balls_file(balls);
    const std::string new_text = format_balls_file(balls);
    const std::string path = scratch / "balls.txt";

    const std::vector<std::string> args = {TALVIK_EXECUTABLE, "/d", path, "/b", data, "/e", "2"};
    std::vector<char*> argv;
    for (const std::string& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    auto start = [&] {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        pid_t pid = 0;
        EXPECT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        return pid;
    };
    // Kills are spread over the length of a whole run.
    const auto before = std::chrono::steady_clock::now();
    for (int i = 0; i < 3; ++i) {
        write_file(path, old_text);
        int status = 0;
        ::waitpid(start(), &status, 0);
        ASSERT_EQ(read_file(path), new_text);
    }
    const int64_t run_time = std::chrono::duration_cast<std::chrono::microseconds>(
                                 std::chrono::steady_clock::now() - before)
                                 .count() /
                             3;

    std::mt19937 engine(3);
    int killed_mid_run = 0;
    for (int round = 0; round < 120; ++round) {
        write_file(path, old_text);
        const pid_t pid = start();
        std::this_thread::sleep_for(std::chrono::microseconds(engine() % (run_time + 1)));
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        killed_mid_run += WIFSIGNALED(status);
        const std::string now = read_file(path);
        ASSERT_TRUE(now == old_text || now == new_text)
            << "round " << round << ": " << now.size() << " bytes";
    }
    // The kills must have landed while runs were going on, not only after they ended.
    EXPECT_GT(killed_mid_run, 60);
}

TEST(Faults, ResultsInAReadOnlyFolderArePrintedAndTheFailureReported) {
    ScratchDir scratch;
    std::filesystem::permissions(scratch.path(), std::filesystem::perms::all);
    const std::string data = scratch / "data";
    workloads::write_data_set(data, workloads::boolean_model(16, 16, 16, 0.3, 1, 2, 6));
    const std::string balls = scratch / "balls.txt";
    std::vector<DiscretizedBall> list = workloads::euclidean_balls(1, 3);
    for (size_t i = 0; i < list.size(); ++i) {
        list[i].de = 0.8 + static_cast<double>(i);
    }
    write_file(balls, format_balls_file(list));
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

}  // namespace
}  // namespace talvik
