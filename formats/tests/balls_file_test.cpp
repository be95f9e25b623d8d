#include "formats/balls_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <cmath>

#include "formats/errors.h"
#include "formats/numbers.h"
#include "test_support.h"

namespace formats {
namespace {

using talvik::testing::read_file;
using talvik::testing::ScratchDir;
using talvik::testing::write_file;

const char* const kBall1 = "3,1\n1,0\n";
const char* const kBall2 = "5,3,1\n3,3,0\n1,0,0\n";

const ScratchDir& scratch() {
    static const ScratchDir dir;
    return dir;
}

int count_text(const std::string& text) {
    write_file(scratch() / "balls.txt", text);
    return count_complete_balls(scratch() / "balls.txt");
}

// What the estimator's own reader makes of the text: its number of balls, or 0 when it stops
// with an error.
int estimator_count(const std::string& text) {
    write_file(scratch() / "balls.txt", text);
    try {
        return static_cast<int>(read_balls_file(scratch() / "balls.txt").balls.size());
    } catch (const FatalError&) {
        return 0;
    }
}

TEST(CountCompleteBalls, CountsCompleteBallsBetweenCorrectionAndEmptyLines) {
    EXPECT_EQ(count_text("[0.8]\n3,1\n1,0\n\n[1.7]\n5,3,1\n3,3,0\n1,0,0\n\n[0.1]\n1\n\n"), 3);
    EXPECT_EQ(count_text(std::string(kBall1) + kBall2 + "1\n"), 3);
    EXPECT_EQ(count_text(""), 0);
    EXPECT_EQ(count_text("\n\n[0.5]\n"), 0);
}

TEST(CountCompleteBalls, LastBallWithoutItsLastRowIsNotCounted) {
    EXPECT_EQ(count_text(std::string(kBall1) + "\n5,3,1\n3,3,0\n"), 1);
    EXPECT_EQ(count_text("5,3,1\n"), 0);
}

TEST(CountCompleteBalls, LineEndsAndLeadingBlanksDoNotMatter) {
    EXPECT_EQ(count_text("[0.8]\r\n3,1\r\n1,0\r\n\r\n1\r\n"), 2);
    EXPECT_EQ(count_text(std::string(kBall1) + "\n1"), 2);
    EXPECT_EQ(count_text(" \t3,1\n\t1,0\n  \n"), 1);
    // A carriage return counts as a line end only before a line feed.
    EXPECT_EQ(count_text("3,1\r1,0\n"), 0);
    EXPECT_EQ(count_text("3,1\n1,0\r"), 1);
}

TEST(CountCompleteBalls, BlankOrCorrectionLineInsideABallBreaksTheFile) {
    EXPECT_EQ(count_text(std::string(kBall2) + "3,1\n\n1,0\n"), 0);
    EXPECT_EQ(count_text(std::string(kBall2) + "3,1\n[0.5]\n1,0\n"), 0);
    EXPECT_EQ(count_text("3,1\n \t\n1,0\n"), 0);
}

TEST(CountCompleteBalls, FirstRowMustFitItsFirstValue) {
    EXPECT_EQ(count_text("4,1,0\n1,0,0\n1,0,0\n"), 0);  // even
    EXPECT_EQ(count_text("5,3\n3,1\n"), 0);             // 5 needs three fields
    EXPECT_EQ(count_text("3,1,0\n1,0,0\n1,0,0\n"), 0);  // 3 needs two
    EXPECT_EQ(count_text("-1\n"), 0);
    EXPECT_EQ(count_text(",,\n"), 0);  // commas but no number
    EXPECT_EQ(count_text("abc\n"), 0);
    // The first non-empty piece is the first value; blanks are read as atoi reads them.
    EXPECT_EQ(count_text(",3, 1\n1,0,0\n1,0,0\n"), 0);
    EXPECT_EQ(count_text(",5,3\n1,0,0\n1,0,0\n"), 1);
    EXPECT_EQ(count_text("3, 1\n1\n"), 1);
    // Later rows are rows, whatever they hold.
    EXPECT_EQ(count_text("3,1\nxyz\n"), 1);
}

TEST(CountCompleteBalls, MissingOrUnreadableFileIsMinusOne) {
    ScratchDir dir;
    EXPECT_EQ(count_complete_balls(dir / "missing.txt"), -1);
    EXPECT_EQ(count_complete_balls(dir.path().string()), -1);
    write_file(dir / "locked.txt", kBall1);
    ::chmod((dir / "locked.txt").c_str(), 0);
    if (::geteuid() != 0) {
        EXPECT_EQ(count_complete_balls(dir / "locked.txt"), -1);
    }
}

TEST(CountCompleteBalls, AgreesWithTheEstimatorOnItsLimits) {
    std::string balls;
    for (size_t i = 0; i < kMaxBalls; ++i) {
        balls += kBall1;
    }
    EXPECT_EQ(count_text(balls), static_cast<int>(kMaxBalls));
    EXPECT_EQ(count_text(balls + "5,3,1\n"), static_cast<int>(kMaxBalls));
    EXPECT_EQ(count_text(balls + "1\n"), 0);
    // A line of more than 1022 characters is read as two lines, which breaks its ball.
    const std::string long_row = "3," + std::string(1030, '1') + "\n1,0\n";
    EXPECT_EQ(count_text(long_row), estimator_count(long_row));
    EXPECT_EQ(count_text(long_row), 0);
    // A value that no fit could use stops the estimator.
    EXPECT_EQ(count_text("[nan]\n1\n"), 0);
    EXPECT_EQ(count_text("[1e999]\n1\n"), 0);
    EXPECT_EQ(count_text("[abc]\n1\n"), 1);
}

const char* const kInvalid = "discretized balls: Invalid file format.\n";

BallsFile read_text(const std::string& text) {
    ScratchDir dir;
    write_file(dir / "balls.txt", text);
    return read_balls_file(dir / "balls.txt");
}

std::string error_of(const std::string& text) {
    try {
        read_text(text);
    } catch (const FatalError& error) {
        return error.what();
    }
    return "no error";
}

std::string printed(const DiscretizedBall& ball) {
    char* buffer = nullptr;
    size_t size = 0;
    std::FILE* out = open_memstream(&buffer, &size);
    print_ball(out, ball);
    std::fclose(out);
    std::string text(buffer, size);
    std::free(buffer);
    return text;
}

TEST(BallsFile, ReadsBallsWithAndWithoutCorrectionValues) {
    const BallsFile file = read_text("[0.5]\n3,1\n1,0\n\n1\n\n[ 1.25 ]\n5,3,1\n3,1,0\n1,0,0\n");
    ASSERT_EQ(file.balls.size(), 3u);
    EXPECT_EQ(file.balls[0].size, 2);
    EXPECT_EQ(file.balls[0].de, 0.5);
    EXPECT_EQ(file.balls[0].lengths, (std::vector<int32_t>{3, 1, 1, 0}));
    EXPECT_EQ(file.balls[1].size, 1);
    EXPECT_EQ(file.balls[1].de, 0.0);
    EXPECT_EQ(file.balls[2].de, 1.25);
    EXPECT_EQ(file.balls[2].lengths, (std::vector<int32_t>{5, 3, 1, 3, 1, 0, 1, 0, 0}));
    EXPECT_TRUE(file.de_missing);
}

TEST(BallsFile, LaterCorrectionLineWinsAndUnreadableOneKeepsThePending) {
    const BallsFile file = read_text("[0.5]\n[0.75]\n3,1\n1,0\n[0.3]\n[abc]\n1\n");
    ASSERT_EQ(file.balls.size(), 2u);
    EXPECT_EQ(file.balls[0].de, 0.75);
    EXPECT_EQ(file.balls[1].de, 0.3);
    EXPECT_FALSE(file.de_missing);
}

TEST(BallsFile, TinyStoredValueCountsAsMissing) {
    EXPECT_TRUE(read_text("[0.000001]\n1\n").de_missing);
    EXPECT_TRUE(read_text("[0.0]\n1\n").de_missing);
    EXPECT_FALSE(read_text("[-0.5]\n1\n").de_missing);
}

TEST(BallsFile, LinesMayHaveBlanksCarriageReturnsAndNoFinalNewline) {
    const BallsFile file = read_text("  [0.5]\r\n\t3, 1\r\n 1,0\r\n\r\n1");
    ASSERT_EQ(file.balls.size(), 2u);
    EXPECT_EQ(file.balls[0].lengths, (std::vector<int32_t>{3, 1, 1, 0}));
    EXPECT_EQ(file.balls[0].de, 0.5);
}

TEST(BallsFile, EmptyPiecesBetweenCommasAreSkipped) {
    // "3,,1" has three values, 3, 1 and 0; as a first row it asks for two.
    EXPECT_EQ(error_of("3,,1\n1,0\n"), kInvalid);
    const BallsFile file = read_text("5,,3\n3,1\n,1\n");
    ASSERT_EQ(file.balls.size(), 1u);
    EXPECT_EQ(file.balls[0].lengths, (std::vector<int32_t>{5, 3, 0, 3, 1, 0, 1, 0, 0}));
}

TEST(BallsFile, ShortAndEmptyLaterRowsFillWithZeros) {
    const BallsFile file = read_text("5,3,1\n3\n,,\n");
    ASSERT_EQ(file.balls.size(), 1u);
    EXPECT_EQ(file.balls[0].lengths, (std::vector<int32_t>{5, 3, 1, 3, 0, 0, 0, 0, 0}));
}

TEST(BallsFile, FirstRowMustMatchItsValueCount) {
    EXPECT_EQ(error_of("4,1\n1,0\n"), kInvalid);
    EXPECT_EQ(error_of("3,1,0\n1,0\n"), kInvalid);
    EXPECT_EQ(error_of("-1\n"), kInvalid);
    EXPECT_EQ(error_of("0\n"), kInvalid);
    EXPECT_EQ(error_of("abc\n"), kInvalid);
}

TEST(BallsFile, SeparatorsAreOnlyAllowedBetweenBalls) {
    EXPECT_EQ(error_of("3,1\n\n1,0\n"), kInvalid);
    EXPECT_EQ(error_of("3,1\n[0.5]\n1,0\n"), kInvalid);
    EXPECT_EQ(read_text("3,1\n1,0\n\n\n\n1\n").balls.size(), 2u);
}

TEST(BallsFile, IncompleteLastBallIsDropped) {
    const BallsFile file = read_text("[0.5]\n1\n5,3,1\n3,1,0\n");
    ASSERT_EQ(file.balls.size(), 1u);
    // Only complete balls decide whether a value is missing.
    EXPECT_FALSE(file.de_missing);
}

TEST(BallsFile, MoreThanTheLimitOfBallsAreRefused) {
    std::string text;
    for (size_t i = 0; i < kMaxBalls; ++i) {
        text += "[0.5]\n1\n\n";
    }
    EXPECT_EQ(read_text(text).balls.size(), kMaxBalls);
    EXPECT_EQ(error_of(text + "[0.5]\n1\n"), kInvalid);
}

TEST(BallsFile, NonFiniteCorrectionValueIsRefusedWhenABallTakesIt) {
    EXPECT_EQ(error_of("[nan]\n1\n"), kInvalid);
    EXPECT_EQ(error_of("[inf]\n1\n"), kInvalid);
    EXPECT_EQ(error_of("[nan]\n[x]\n1\n"), kInvalid);
    // Replaced before a ball takes it, or after the last ball: no effect.
    const std::string replaced = "[nan]\n[0.83]\n3,1\n1,0\n\n[-inf]\n";
    EXPECT_EQ(format_balls_file(read_text(replaced).balls),
              format_balls_file(read_text("[0.83]\n3,1\n1,0\n").balls));
}

TEST(BallsFile, MissingFileIsAnOpenError) {
    ScratchDir dir;
    try {
        read_balls_file(dir / "none.txt");
        FAIL();
    } catch (const FatalError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "Error opening file '" + (dir / "none.txt") + "' for reading.\n");
    }
}

TEST(BallsFile, WrittenFormReadsBackToTheSameList) {
    const BallsFile file =
        read_text("  [0.123456789012345678]\r\n3, 1\n1,0\n\n\n\n1\n[7]\n5,3,1\n3,1,0\n1,0\n");
    const std::string text = format_balls_file(file.balls);
    EXPECT_EQ(text,
              "[  0.1234567890123457]\n3,1\n1,0\n\n"
              "1\n\n"
              "[  7.0000000000000000]\n5,3,1\n3,1,0\n1,0,0\n\n");
    const BallsFile again = read_text(text);
    ASSERT_EQ(again.balls.size(), file.balls.size());
    for (size_t i = 0; i < file.balls.size(); ++i) {
        EXPECT_EQ(again.balls[i].lengths, file.balls[i].lengths);
        double printed = 0.0;
        leading_number(fixed(file.balls[i].de, 16, 20), printed);
        EXPECT_EQ(again.balls[i].de, printed);
    }
}

TEST(BallsFile, NegativeLengthsRoundTripThroughTheirUnsignedForm) {
    const BallsFile file = read_text("3,-1\n1,0\n");
    const std::string text = format_balls_file(file.balls);
    EXPECT_EQ(text, "3,4294967295\n1,0\n\n");
    EXPECT_EQ(read_text(text).balls[0].lengths, file.balls[0].lengths);
}

TEST(BallsFile, RewriteReplacesTheFileAndKeepsItsPermissions) {
    ScratchDir dir;
    const std::string path = dir / "balls.txt";
    write_file(path, "3,1\n1,0\n");
    ::chmod(path.c_str(), 0640);
    BallsFile file = read_balls_file(path);
    file.balls[0].de = 0.25;
    write_balls_file(path, file.balls);
    EXPECT_EQ(read_file(path), "[  0.2500000000000000]\n3,1\n1,0\n\n");
    struct stat info {};
    ::stat(path.c_str(), &info);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    // Nothing else is left beside it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(BallsFile, FailedRewriteLeavesTheFileAsItWas) {
    ScratchDir dir;
    const std::string path = dir / "balls.txt";
    write_file(path, "3,1\n1,0\n");
    BallsFile file = read_balls_file(path);
    file.balls[0].de = 0.25;
    // A child that may write no more than 10 bytes to any file: the rewrite must fail.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{10, 10};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        try {
            write_balls_file(path, file.balls);
        } catch (const FatalError& error) {
            const bool expected =
                std::string(error.what()) == "Error opening file '" + path + "' for writing.\n";
            std::_Exit(expected ? 0 : 2);
        }
        std::_Exit(1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(read_file(path), "3,1\n1,0\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(BallsFile, MembershipFollowsTheColumnLengths) {
    const DiscretizedBall ball = read_text("3,1\n1,0\n").balls[0];
    EXPECT_TRUE(ball_contains(ball, 0, 0, 0));
    EXPECT_TRUE(ball_contains(ball, 0, 0, -1));
    EXPECT_TRUE(ball_contains(ball, 1, 0, 0));
    EXPECT_TRUE(ball_contains(ball, 0, -1, 0));
    EXPECT_FALSE(ball_contains(ball, 1, 0, 1));
    EXPECT_FALSE(ball_contains(ball, 1, 1, 0));
    EXPECT_FALSE(ball_contains(ball, 2, 0, 0));
    EXPECT_EQ(column_half_length(ball, 0, 0), 1);
    EXPECT_EQ(column_half_length(ball, -1, 0), 0);
    EXPECT_EQ(column_half_length(ball, 1, 1), -1);
    // An even length 2 reaches |dz| < 1; a length beyond the ball is capped at n - 1.
    const DiscretizedBall odd = read_text("3,2\n9,-5\n").balls[0];
    EXPECT_TRUE(ball_contains(odd, 1, 0, 0));
    EXPECT_FALSE(ball_contains(odd, 1, 0, 1));
    EXPECT_TRUE(ball_contains(odd, 0, 1, 1));
    EXPECT_FALSE(ball_contains(odd, 0, 1, 2));
    EXPECT_EQ(column_half_length(odd, 0, 1), 1);
    EXPECT_FALSE(ball_contains(odd, 1, 1, 0));
}

TEST(BallsFile, PrintShowsTheTableAndThePicture) {
    const DiscretizedBall ball = read_text("3,1\n1,0\n").balls[0];
    EXPECT_EQ(printed(ball),
              "3 1 \n1 0 \n\n"
              "___\n_X_\n___\n\n"
              "_X_\nXXX\n_X_\n\n"
              "___\n_X_\n___\n\n");
    EXPECT_EQ(printed(read_text("1\n").balls[0]), "1 \n\nX\n\n");
}

}  // namespace
}  // namespace formats
