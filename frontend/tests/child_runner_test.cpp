#include "child_runner.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "numbered_lines.h"
#include "run_preparation.h"
#include "test_support.h"

namespace quenbar {
namespace {

using talvik::testing::ScratchDir;

class ChildRunnerTest : public ::testing::Test {
  protected:
    // Runs the test child with `steps` to its end; false when it does not end in time.
    bool run(const QStringList& steps, int timeout_ms = 20000) {
        CChildRunner runner(TEST_CHILD, steps, pane);
        return run(runner, timeout_ms);
    }
    bool run(CChildRunner& runner, int timeout_ms = 20000) {
        QSignalSpy finished(&runner, &CChildRunner::finished);
        runner.Run();
        EXPECT_EQ(finished.count(), 0) << "finished from inside Run";
        const bool ended = finished.wait(timeout_ms);
        QTest::qWait(50);  // a second `finished` would arrive by now
        EXPECT_EQ(finished.count(), 1);
        EXPECT_FALSE(runner.IsActive());
        return ended;
    }
    // Waits until the pane holds `text`.
    bool wait_for(const QString& text, int timeout_ms = 10000) {
        return QTest::qWaitFor([&] { return pane.toPlainText().contains(text); }, timeout_ms);
    }
    std::string shown() const { return pane.toPlainText().toStdString(); }

    QPlainTextEdit pane;
};

TEST_F(ChildRunnerTest, RelaysStandardOutputAndErrorInTheirOrder) {
    ASSERT_TRUE(run({"out:one\\n", "err:two\\n", "sleep:200", "out:three\\n", "exit:3"}));
    // Neither the exit status nor anything of the runner's own is shown.
    EXPECT_EQ(shown(), "one\ntwo\nthree\n");
}

TEST_F(ChildRunnerTest, BackspacesAndNulBytesShowAsBlanks) {
    ASSERT_TRUE(run({"out:a\\bb\\b\\bc\\n"}));
    EXPECT_EQ(shown(), "a b  c\n");
    pane.clear();
    EXPECT_EQ(CleanChunk(QByteArray("x\0y\bz", 5)), QByteArray("x y z"));
    // The prompt is looked for in the chunk as shown.
    EXPECT_EQ(CleanChunk("a Press\bany key to continue . . . b"), QByteArray("a "));
}

TEST_F(ChildRunnerTest, PausePromptEndsItsChunkOnly) {
    ASSERT_TRUE(
        run({"out:done Press any key to continue . . . lost\\n", "sleep:400", "out:later\\n",
             "sleep:400", "out:Press any key to continue . . \\n", "sleep:400", "out:. end\\n"}));
    // The prompt split over two chunks is not recognised.
    EXPECT_EQ(shown(), "done later\nPress any key to continue . . \n. end\n");
}

TEST_F(ChildRunnerTest, ChunksAreAtMost8191Bytes) {
    // The prompt at the start of a long burst cuts only the first chunk; what follows the
    // first 8191 bytes must appear.
    ASSERT_TRUE(run({"out:start\\n", "sleep:300", "prompted:30000"}));
    const std::string burst = kPressAnyKey + numbered_lines(30000);
    const std::string text = shown();
    ASSERT_EQ(text.substr(0, 6), "start\n");
    const size_t kept = text.size() - 6;
    EXPECT_GE(burst.size() - kept, std::strlen(kPressAnyKey));
    EXPECT_LE(burst.size() - kept, 8191u);
    EXPECT_EQ(text.substr(6), burst.substr(burst.size() - kept));
}

TEST_F(ChildRunnerTest, LongOutputIsCompleteAndInOrder) {
    ASSERT_TRUE(run({"bytes:300000", "out:tail\\n"}));
    EXPECT_EQ(shown(), numbered_lines(300000) + "tail\n");
}

TEST_F(ChildRunnerTest, OutputWrittenJustBeforeTheEndIsNotLost) {
    for (int i = 0; i < 5; ++i) {
        pane.clear();
        ASSERT_TRUE(run({"bytes:70000", "out:last words\\n", "exit:1"}));
        EXPECT_EQ(shown(), numbered_lines(70000) + "last words\n");
    }
}

TEST_F(ChildRunnerTest, CharacterAcrossAChunkBoundaryStaysWhole) {
    // 8190 ASCII bytes, then a two-byte character whose halves fall into two chunks.
    ASSERT_TRUE(run({QString("out:") + QString(8190, 'a') + QString::fromUtf8("\xc3\xa9\\n")}));
    EXPECT_EQ(pane.toPlainText(), QString(8190, 'a') + QString::fromUtf8("\xc3\xa9\n"));
}

TEST_F(ChildRunnerTest, SilentChildAddsNothingAndEndsPromptly) {
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(run({"exit:0"}));
    EXPECT_LT(clock.elapsed(), 2000);
    EXPECT_TRUE(pane.toPlainText().isEmpty());
}

TEST_F(ChildRunnerTest, ChildGetsNoInputTheArgumentsAndOurDirectoryAndEnvironment) {
    qputenv("QUENBAR_TEST_VALUE", "inherited value");
    ASSERT_TRUE(
        run({"stdin", "cwd", "env:QUENBAR_TEST_VALUE", "args", "two words", "\"quoted\"", "", "/h"},
            5000));
    EXPECT_EQ(pane.toPlainText(), "stdin ended\n" + QDir::currentPath() +
                                      "\ninherited value\n[two words]\n[\"quoted\"]\n[]\n[/h]\n");
    qunsetenv("QUENBAR_TEST_VALUE");

    pane.clear();
    ScratchDir dir;
    CChildRunner elsewhere(TEST_CHILD, {"cwd"}, pane, QString::fromStdString(dir.path()));
    ASSERT_TRUE(run(elsewhere));
    EXPECT_EQ(shown(), std::filesystem::canonical(dir.path()).string() + "\n");
}

TEST_F(ChildRunnerTest, CancelWhileQuietTerminatesAtOnce) {
    CChildRunner runner(TEST_CHILD, {"out:started\\n", "sleep:30000", "out:too late\\n"}, pane);
    QSignalSpy finished(&runner, &CChildRunner::finished);
    QElapsedTimer clock;
    clock.start();
    runner.Run();
    ASSERT_TRUE(wait_for("started\n"));
    runner.Cancel();
    EXPECT_TRUE(runner.IsActive());  // until the child has really ended
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_LT(clock.elapsed(), 10000);
    EXPECT_EQ(shown(), std::string("started\n") + kCancelledText);
}

TEST_F(ChildRunnerTest, CancelWhileWritingRelaysWhatWaitsThenTerminates) {
    CChildRunner runner(TEST_CHILD, {"flood"}, pane);
    QSignalSpy finished(&runner, &CChildRunner::finished);
    runner.Run();
    ASSERT_TRUE(wait_for("flood 1000\n"));
    runner.Cancel();
    ASSERT_TRUE(finished.wait(10000));
    QTest::qWait(200);
    const std::string text = shown();
    const std::string cancelled = kCancelledText;
    ASSERT_GE(text.size(), cancelled.size());
    EXPECT_EQ(text.substr(text.size() - cancelled.size()), cancelled);
    EXPECT_EQ(text.find(cancelled), text.size() - cancelled.size());
    // What was relayed before the cancel text is the child's output from its start, in order.
    std::string expected;
    for (size_t line = 0; expected.size() < text.size(); ++line) {
        expected += "flood " + std::to_string(line) + "\n";
    }
    const size_t relayed = text.size() - cancelled.size();
    EXPECT_EQ(text.substr(0, relayed), expected.substr(0, relayed));
}

TEST_F(ChildRunnerTest, CancelBeforeTheFirstOutputStillEnds) {
    CChildRunner runner(TEST_CHILD, {"sleep:30000"}, pane);
    QSignalSpy finished(&runner, &CChildRunner::finished);
    runner.Run();
    runner.Cancel();
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_EQ(shown(), kCancelledText);
}

TEST_F(ChildRunnerTest, MissingExecutableIsReportedWithTheSystemsReason) {
    CChildRunner runner("/nonexistent/talvik", {"/h"}, pane);
    ASSERT_TRUE(run(runner, 5000));
    const QString text = pane.toPlainText();
    EXPECT_TRUE(text.startsWith("Error creating process\n")) << text.toStdString();
    EXPECT_TRUE(text.contains("No such file or directory")) << text.toStdString();
    EXPECT_TRUE(text.endsWith("\n"));
    EXPECT_EQ(text.count(QChar(u'\n')), 2) << text.toStdString();
}

TEST_F(ChildRunnerTest, EachChildsOutputBeginsALineOfItsOwn) {
    CChildRunner first(TEST_CHILD, {"out:first", "sleep:300", "out: part"}, pane);
    QSignalSpy relayed(&first, &CChildRunner::relayed);
    ASSERT_TRUE(run(first));
    QString seen;
    for (const QList<QVariant>& arguments : relayed) {
        seen += arguments[0].toString();
    }
    EXPECT_EQ(seen, "first part");
    EXPECT_GE(relayed.count(), 2);
    EXPECT_TRUE(first.Failure().isEmpty());
    ASSERT_TRUE(run({"out:second"}));
    CChildRunner missing("/nonexistent/talvik", {}, pane);
    ASSERT_TRUE(run(missing, 5000));
    EXPECT_TRUE(pane.toPlainText().startsWith("first part\nsecond\nError creating process\n"))
        << shown();
    EXPECT_EQ(missing.Failure().left(24), "Error creating process: ");
}

TEST_F(ChildRunnerTest, RunnerDestroyedDuringARunLeavesNoChild) {
    ScratchDir dir;
    const QString marker = QString::fromStdString(dir / "marker");
    {
        CChildRunner runner(TEST_CHILD, {"out:up\\n", "sleep:1000", "touch:" + marker}, pane);
        runner.Run();
        ASSERT_TRUE(wait_for("up\n"));
    }
    QTest::qWait(1500);
    EXPECT_FALSE(QFile::exists(marker));
}

TEST(AppendOutput, AddsAtTheEndBehindTypedTextAndShowsTheLastLine) {
    QPlainTextEdit pane;
    pane.resize(300, 100);
    pane.show();
    pane.setPlainText("typed by the user");
    QTextCursor start = pane.textCursor();
    start.movePosition(QTextCursor::Start);
    pane.setTextCursor(start);
    AppendOutput(pane, "\nfirst\n");
    EXPECT_EQ(pane.toPlainText(), "typed by the user\nfirst\n");
    for (int i = 0; i < 200; ++i) {
        AppendOutput(pane, QString("line %1\n").arg(i));
    }
    QScrollBar& bar = *pane.verticalScrollBar();
    EXPECT_GT(bar.maximum(), 0);
    EXPECT_EQ(bar.value(), bar.maximum());
    EXPECT_EQ(pane.textCursor().position(), pane.document()->characterCount() - 1);
    EXPECT_FALSE(pane.document()->isUndoAvailable());
}

TEST(LocateExecutable, BesideTheFrontEndFirstThenOnPath) {
    ScratchDir own;
    ScratchDir on_path;
    const auto make_executable = [](const std::string& path, bool executable) {
        std::ofstream(path) << "#!/bin/sh\n";
        std::filesystem::permissions(path, executable ? std::filesystem::perms::owner_all
                                                      : std::filesystem::perms::owner_read);
    };
    const QByteArray saved_path = qgetenv("PATH");
    qputenv("PATH", QByteArray::fromStdString(on_path.path().string()));
    const QString own_dir = QString::fromStdString(own.path());

    EXPECT_EQ(LocateExecutable("talvik", own_dir), "talvik");
    make_executable(on_path / "talvik", true);
    EXPECT_EQ(LocateExecutable("talvik", own_dir).toStdString(), on_path / "talvik");
    make_executable(own / "talvik", false);
    EXPECT_EQ(LocateExecutable("talvik", own_dir).toStdString(), on_path / "talvik");
    make_executable(own / "talvik", true);
    EXPECT_EQ(LocateExecutable("talvik", own_dir).toStdString(), own / "talvik");
    qputenv("PATH", saved_path);
}

// The real estimator through the runner: the pane shows exactly what talvik prints.
TEST(ChildRunnerWithEstimator, ShowsTheThreeResultLines) {
    ScratchDir dir;
    std::filesystem::copy_file(EXAMPLES_DIR "/balls_r1-5.txt", dir / "balls.txt");
    const EstimatorSettings settings{dir / "balls.txt", 5, "", false};
    const std::string data_set = EXAMPLES_DIR "/boolean64";
    QStringList arguments;
    for (const std::string& argument : BuildArguments(settings, data_set)) {
        arguments << QString::fromStdString(argument);
    }
    QPlainTextEdit pane;
    CChildRunner runner(TALVIK_EXECUTABLE, arguments, pane);
    QSignalSpy finished(&runner, &CChildRunner::finished);
    runner.Run();
    ASSERT_TRUE(finished.wait(60000));
    const QStringList lines = pane.toPlainText().split('\n');
    ASSERT_EQ(lines.size(), 4) << pane.toPlainText().toStdString();
    EXPECT_TRUE(lines[0].startsWith("V2: "));
    EXPECT_TRUE(lines[1].startsWith("V1: "));
    EXPECT_TRUE(lines[2].startsWith("V0: "));
    EXPECT_TRUE(lines[3].isEmpty());
    std::vector<std::string> direct_args = BuildArguments(settings, data_set);
    const auto direct = talvik::testing::run_process(TALVIK_EXECUTABLE, direct_args);
    EXPECT_EQ(direct.status, 0);
    EXPECT_EQ(pane.toPlainText().toStdString(), direct.out);
}

}  // namespace
}  // namespace quenbar
