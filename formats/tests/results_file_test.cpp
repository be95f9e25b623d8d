#include "formats/results_file.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <sstream>
#include <vector>

#include "formats/errors.h"
#include "formats/files.h"
#include "test_support.h"

namespace formats {
namespace {

using talvik::testing::read_file;
using talvik::testing::ScratchDir;
using talvik::testing::write_file;

TEST(ResultsFile, HeaderOnceThenOneRowPerRun) {
    ScratchDir dir;
    const std::string path = dir / "results.txt";
    ASSERT_TRUE(append_results_row(path, "data/set01", 0.5, -0.25, 0.125));
    ASSERT_TRUE(append_results_row(path, "a_directory_name_longer_than_thirty_two", 1, 2, 3));
    EXPECT_EQ(read_file(path),
              "; Data_set\tV2\tV1\tV0\n"
              "data/set01                         0.5000000000000000  -0.2500000000000000   "
              "0.1250000000000000\n"
              "a_directory_name_longer_than_thirty_two   1.0000000000000000   2.0000000000000000 "
              "  3.0000000000000000\n");
}

TEST(ResultsFile, ExistingContentIsKeptAndGetsNoHeader) {
    ScratchDir dir;
    const std::string path = dir / "results.txt";
    write_file(path, "earlier\n");
    ASSERT_TRUE(append_results_row(path, "d", 0, 0, 0));
    EXPECT_EQ(read_file(path).substr(0, 10), "earlier\nd ");
}

TEST(ResultsFile, UnopenableFileIsReported) {
    ScratchDir dir;
    EXPECT_FALSE(append_results_row(dir / "missing/results.txt", "d", 0, 0, 0));
    EXPECT_FALSE(append_results_row(dir.path().string(), "d", 0, 0, 0));
}

// Runs `append` in a child process; its exit status is 0 when the append succeeded.
template <typename Append>
pid_t fork_appending(Append append) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::_Exit(append() ? 0 : 1);
    }
    return pid;
}

int exit_status(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(ResultsFile, ProcessesSideBySideWriteOneHeaderAndWholeRows) {
    constexpr int kProcesses = 64;
    constexpr int kRowsEach = 4;
    ScratchDir dir;
    const std::string path = dir / "results.txt";
    // Rows of 166 bytes: many of them cross a 4096-byte offset of the file.
    auto directory = [](int process, int row) {
        return "data/" + std::string(94, 'x') + std::to_string(process * kRowsEach + row);
    };
    std::map<std::string, int> expected;
    for (int p = 0; p < kProcesses; ++p) {
        for (int r = 0; r < kRowsEach; ++r) {
            expected[format_text("%-32s %20.16f %20.16f %20.16f", directory(p, r).c_str(), 0.5,
                                 -0.25, p + r / 8.0)] = 1;
        }
    }
    for (int round = 0; round < 10; ++round) {
        std::filesystem::remove(path);
        // Every child waits until the pipe closes, so that all of them start together.
        int start[2];
        ASSERT_EQ(::pipe(start), 0);
        std::vector<pid_t> children;
        for (int p = 0; p < kProcesses; ++p) {
            children.push_back(fork_appending([&] {
                ::close(start[1]);
                char byte;
                while (::read(start[0], &byte, 1) > 0) {
                }
                bool ok = true;
                for (int r = 0; r < kRowsEach; ++r) {
                    ok = append_results_row(path, directory(p, r), 0.5, -0.25, p + r / 8.0) && ok;
                }
                return ok;
            }));
        }
        ::close(start[0]);
        ::close(start[1]);
        for (const pid_t child : children) {
            ASSERT_EQ(exit_status(child), 0);
        }
        std::istringstream text(read_file(path));
        std::string line;
        std::getline(text, line);
        ASSERT_EQ(line, "; Data_set\tV2\tV1\tV0") << "round " << round;
        std::map<std::string, int> rows;
        while (std::getline(text, line)) {
            ++rows[line];
        }
        ASSERT_EQ(rows, expected) << "round " << round;
    }
}

TEST(ResultsFile, FailedAppendLeavesTheFileAsItWas) {
    ScratchDir dir;
    const std::string path = dir / "results.txt";
    for (const bool empty : {true, false}) {
        write_file(path, "");
        if (!empty) {
            for (int i = 0; i < 3; ++i) {
                ASSERT_TRUE(append_results_row(path, "earlier", 1, 2, 3));
            }
        }
        const std::string before = read_file(path);
        // A file size limit fails a write part of the way, as a full disk does.
        const pid_t child = fork_appending([&] {
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{before.size() + 10, before.size() + 10};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            return append_results_row(path, "d", 0, 0, 0);
        });
        EXPECT_EQ(exit_status(child), 1);
        EXPECT_EQ(read_file(path), before) << (empty ? "empty file" : "file with rows");
    }
}

// The front-end empties a file under the lock of the appending runs. This process stands for
// a run of talvik that holds the lock, having found the file not empty, and appends its row
// while the front-end waits: the front-end counts the rows again and empties nothing, as the
// user saw fewer. Neither a new nor an emptied file is thus left without its header.
TEST(EmptyResultsFile, WaitsForAnAppendInProgressAndCountsTheRowsAgain) {
    ScratchDir dir;
    const std::string path = dir / "results.txt";
    const std::string header = kResultsHeader;
    for (const int seen : {0, 2}) {
        const std::string before = seen == 0 ? "" : header + "a\nb\n";
        write_file(path, before);
        const int fd = ::open(path.c_str(), O_RDWR | O_APPEND);
        // Read through the locked descriptor: closing another one of the file, as read_file
        // does, would drop this process's lock.
        const auto contents = [fd] {
            std::vector<uint8_t> bytes;
            ::lseek(fd, 0, SEEK_SET);
            EXPECT_TRUE(read_all(fd, bytes));
            return std::string(bytes.begin(), bytes.end());
        };
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        ASSERT_EQ(::fcntl(fd, F_SETLK, &lock), 0);
        // A lock held by a run shows that the file system has locks; nothing waits for it.
        const pid_t creator = fork_appending(
            [&] { return create_results_file(path) == ResultsFilePreparation::ready; });
        EXPECT_EQ(exit_status(creator), 0);
        const pid_t emptier = fork_appending(
            [&] { return empty_results_file(path, seen) == ResultsFilePreparation::rows_changed; });
        ::usleep(100000);
        EXPECT_EQ(contents(), before) << seen;
        const std::string row = (seen == 0 ? header : "") + "c\n";
        ASSERT_TRUE(write_all(fd, row));
        ::close(fd);
        EXPECT_EQ(exit_status(emptier), 0) << seen;
        EXPECT_EQ(read_file(path), before + row) << seen;

        // Asked again, the user saw the new row too: emptied.
        EXPECT_EQ(empty_results_file(path, seen + 1), ResultsFilePreparation::ready);
        EXPECT_EQ(read_file(path), "");
    }
}

TEST(InspectResultsFile, TellsWhatANameStandsFor) {
    ScratchDir dir;
    const std::string balls = dir / "balls.txt";
    write_file(balls, "3,1\n1,0\n");
    write_file(dir / "empty.txt", "");
    write_file(dir / "results.txt",
               "; Data_set\tV2\tV1\tV0\na  0.1 0.2 0.3\nb  0.1 0.2 0.3\n; Data_set\tV2\tV1\tV0\nc "
               " 0.1 0.2 0.3");
    write_file(dir / "notes.txt", "my notes\n");
    const auto kind = [&](const std::string& path) {
        return inspect_results_file(path, balls).kind;
    };
    EXPECT_EQ(kind(dir / "new.txt"), ResultsFileKind::fresh);
    EXPECT_EQ(kind(dir / "empty.txt"), ResultsFileKind::fresh);
    EXPECT_EQ(kind(dir / "results.txt"), ResultsFileKind::results);
    EXPECT_EQ(inspect_results_file(dir / "results.txt", balls).rows, 3);
    EXPECT_EQ(kind(dir / "notes.txt"), ResultsFileKind::foreign);
    // The balls file under another spelling of its path.
    EXPECT_EQ(kind(dir.path().string() + "/./balls.txt"), ResultsFileKind::balls_file);
    EXPECT_EQ(kind(dir / "new.PBM"), ResultsFileKind::slice);
    EXPECT_EQ(kind(dir.path().string()), ResultsFileKind::cannot_open);
    EXPECT_EQ(inspect_results_file(dir / "balls.txt", "").kind, ResultsFileKind::foreign);
}

}  // namespace
}  // namespace formats
