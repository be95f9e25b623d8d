#include "main_dialog.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <filesystem>
#include <fstream>

#include "qt_test_support.h"
#include "test_support.h"

namespace quenbar {
namespace {

namespace fs = std::filesystem;
using talvik::testing::read_file;
using talvik::testing::ScratchDir;
using talvik::testing::write_file;

const char* const kThreeBalls = "3,1\n1,0\n\n5,3,1\n3,3,0\n1,0,0\n\n1\n";

struct Message {
    QString caption;
    QString text;
};

class MainDialogTest : public ::testing::Test {
  protected:
    void SetUp() override { Open(TALVIK_EXECUTABLE); }

    void Open(const QString& estimator) {
        DialogServices services;
        services.show_error = [this](QWidget*, const QString& caption, const QString& text) {
            messages.push_back({caption, text});
        };
        services.pick_balls_file = [this](QWidget*) { return picked_file; };
        services.pick_output_file = [this](QWidget*) { return picked_file; };
        services.pick_folder = [](QWidget*, const QString&) { return QString(); };
        services.estimator = estimator;
        dialog = std::make_unique<CMainDialog>(services);
        dialog->show();
        dialog->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    }

    template <typename T>
    T* find(const char* name) const {
        T* widget = dialog->findChild<T*>(name);
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QPushButton* button(const char* name) const { return find<QPushButton>(name); }
    QLineEdit* balls() const { return find<QLineEdit>("ballsFileEdit"); }
    QLineEdit* output() const { return find<QLineEdit>("outputFileEdit"); }
    QSpinBox* epsilon() const { return find<QSpinBox>("epsilonSpin"); }
    CEditListBox* list() const { return find<CEditListBox>("dataSetList"); }
    QString pane() const { return find<QPlainTextEdit>("outputPane")->toPlainText(); }

    // A list entry made the user's way, then clicked, which re-evaluates Start.
    void AddEntry(const std::string& text) {
        QTest::mouseClick(list()->findChild<QToolButton*>("newButton"), Qt::LeftButton);
        auto* editor = list()->findChild<QLineEdit*>("itemEdit");
        editor->setText(QString::fromStdString(text));
        QTest::keyClick(editor, Qt::Key_Return);
        auto* view = list()->findChild<QListWidget*>("entries");
        const int row = list()->GetCount() - 1;
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                          view->visualItemRect(view->item(row)).center());
    }

    void SetBalls(const std::string& text) {
        write_file(scratch / "balls.txt", text);
        balls()->setText(QString::fromStdString(scratch / "balls.txt"));
    }

    // Two data sets, a and b, each a copy of the shipped example, under one entry.
    std::string TwoDataSets() {
        const fs::path parent = scratch.path() / "sets";
        for (const char* name : {"a", "b"}) {
            fs::create_directories(parent / name);
            for (const auto& slice : fs::directory_iterator(EXAMPLES_DIR "/boolean64")) {
                fs::copy_file(slice.path(), parent / name / slice.path().filename());
            }
        }
        return parent.string();
    }

    bool RunToTheEnd(int timeout_ms = 60000) {
        QSignalSpy ended(dialog.get(), &CMainDialog::runEnded);
        QTest::mouseClick(button("startButton"), Qt::LeftButton);
        return !dialog->IsRunning() || ended.wait(timeout_ms);
    }

    // Stands in for a long estimator run: tells which data set it got and whether the child
    // before it still exists, keeps its process id, and sleeps in that same process.
    QString SleepingEstimator() {
        const QString script = QString::fromStdString(scratch / "sleeping_talvik");
        const QString text =
            QStringLiteral(
                "#!/bin/sh\n"
                "while [ $# -gt 0 ]; do [ \"$1\" = /b ] && name=\"$2\"; shift; done\n"
                "if [ -s '%1' ] && kill -0 $(tail -n 1 '%1') 2>/dev/null; then\n"
                "    echo overlap\n"
                "fi\n"
                "echo \"started $name\"\n"
                "echo $$ >> '%1'\n"
                "exec sleep 30\n")
                .arg(QString::fromStdString(scratch / "pids"));
        write_file(script.toStdString(), text.toStdString());
        fs::permissions(script.toStdString(), fs::perms::owner_all);
        return script;
    }

    std::vector<pid_t> Pids() const {
        std::ifstream in(scratch / "pids");
        std::vector<pid_t> pids;
        for (pid_t pid; in >> pid;) {
            pids.push_back(pid);
        }
        return pids;
    }

    static bool Alive(pid_t pid) { return ::kill(pid, 0) == 0; }

    void ExpectIdle() const {
        EXPECT_TRUE(button("startButton")->isEnabled());
        EXPECT_FALSE(button("stopButton")->isEnabled());
        EXPECT_TRUE(balls()->isEnabled());
        EXPECT_TRUE(list()->isEnabled());
        EXPECT_TRUE(output()->isEnabled());
        EXPECT_EQ(find<QProgressBar>("progressBar")->value(), 0);
    }

    ScratchDir scratch;
    std::vector<Message> messages;
    QString picked_file;
    std::unique_ptr<CMainDialog> dialog;
};

TEST_F(MainDialogTest, OpensWithNothingToStart) {
    EXPECT_EQ(dialog->windowTitle(), "Quenbar");
    EXPECT_FALSE(button("startButton")->isEnabled());
    EXPECT_FALSE(button("stopButton")->isEnabled());
    EXPECT_FALSE(button("helpButton")->isVisible());
    EXPECT_TRUE(button("exitButton")->isEnabled());
    EXPECT_EQ(epsilon()->text(), "0");
    EXPECT_FALSE(epsilon()->isEnabled());
    EXPECT_EQ(find<QProgressBar>("progressBar")->value(), 0);
    EXPECT_FALSE(find<QCheckBox>("verboseCheck")->isChecked());
    EXPECT_EQ(find<QCheckBox>("verboseCheck")->text(), "Verbose Output:");
    EXPECT_EQ(balls()->toolTip(), "Discretized balls File");
    EXPECT_EQ(list()->GetCount(), 0);
    EXPECT_TRUE(pane().isEmpty());
    EXPECT_TRUE(QFile::exists(":/quenbar/quenbar.svg"));
    EXPECT_TRUE(!svg_icons_available() || !dialog->windowIcon().isNull());
    for (const char* name :
         {"startButton", "stopButton", "exitButton", "ballsBrowseButton", "outputBrowseButton"}) {
        EXPECT_FALSE(button(name)->autoDefault()) << name;
    }
}

TEST_F(MainDialogTest, BallsFileSetsTheRangeOfEpsilonAndEnablesStart) {
    AddEntry(scratch.path().string());
    EXPECT_FALSE(button("startButton")->isEnabled());
    SetBalls(kThreeBalls);
    EXPECT_TRUE(epsilon()->isEnabled());
    EXPECT_EQ(epsilon()->minimum(), 1);
    EXPECT_EQ(epsilon()->maximum(), 3);
    EXPECT_EQ(epsilon()->text(), "1");
    EXPECT_TRUE(button("startButton")->isEnabled());
    EXPECT_TRUE(messages.empty());
    // No wrap-around at the top of the range.
    epsilon()->setFocus();
    for (int i = 0; i < 4; ++i) {
        QTest::keyClick(epsilon(), Qt::Key_Up);
    }
    EXPECT_EQ(epsilon()->value(), 3);

    balls()->clear();
    EXPECT_FALSE(epsilon()->isEnabled());
    EXPECT_EQ(epsilon()->text(), "0");
    EXPECT_FALSE(button("startButton")->isEnabled());
}

TEST_F(MainDialogTest, UnreadableBallsFileIsReportedAndCleared) {
    SetBalls(kThreeBalls);
    const std::string missing = scratch / "missing.txt";
    balls()->setText(QString::fromStdString(missing));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].caption, "Quenbar");
    EXPECT_EQ(messages[0].text, QString::fromStdString(missing) + "\nCannot open file");
    EXPECT_TRUE(balls()->text().isEmpty());
    EXPECT_FALSE(epsilon()->isEnabled());
    EXPECT_EQ(epsilon()->value(), 0);

    // Typed one character at a time: the first text that names no readable file.
    messages.clear();
    balls()->setFocus();
    QTest::keyClicks(balls(), "/x");
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].text, "/\nCannot open file");
    EXPECT_EQ(messages[1].text, "x\nCannot open file");
    EXPECT_TRUE(balls()->text().isEmpty());
}

TEST_F(MainDialogTest, BrokenBallsFileLeavesEpsilonDisabledWithoutAMessage) {
    AddEntry(scratch.path().string());
    SetBalls("3,1\n\n1,0\n");
    EXPECT_TRUE(messages.empty());
    EXPECT_FALSE(epsilon()->isEnabled());
    EXPECT_EQ(epsilon()->text(), "0");
    EXPECT_FALSE(button("startButton")->isEnabled());
}

TEST_F(MainDialogTest, AddingAnEntryAloneDoesNotReevaluateStart) {
    SetBalls(kThreeBalls);
    list()->AddEntry(scratch.path().string());
    EXPECT_FALSE(button("startButton")->isEnabled());
    auto* view = list()->findChild<QListWidget*>("entries");
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                      view->visualItemRect(view->item(0)).center());
    EXPECT_TRUE(button("startButton")->isEnabled());
}

TEST_F(MainDialogTest, BrowseWritesThePickedPaths) {
    write_file(scratch / "picked.txt", kThreeBalls);
    picked_file = QString::fromStdString(scratch / "picked.txt");
    QTest::mouseClick(button("ballsBrowseButton"), Qt::LeftButton);
    EXPECT_EQ(balls()->text(), picked_file);
    EXPECT_EQ(epsilon()->maximum(), 3);

    picked_file = QString::fromStdString(scratch / "results.txt");
    QTest::mouseClick(button("outputBrowseButton"), Qt::LeftButton);
    EXPECT_EQ(output()->text(), picked_file);
    EXPECT_TRUE(fs::exists(scratch / "results.txt"));

    picked_file.clear();
    QTest::mouseClick(button("ballsBrowseButton"), Qt::LeftButton);
    EXPECT_EQ(balls()->text().toStdString(), scratch / "picked.txt");
}

TEST_F(MainDialogTest, TwoDataSetsRunOneAfterTheOtherIntoTheResultsFile) {
    fs::copy_file(EXAMPLES_DIR "/balls_r1-5.txt", scratch / "balls.txt");
    const std::string sets = TwoDataSets();
    AddEntry(sets);
    balls()->setText(QString::fromStdString(scratch / "balls.txt"));
    epsilon()->setValue(5);

    // Typed one character at a time: no file for the half-typed names, the whole name on
    // leaving the field.
    const std::string results = scratch / "results.txt";
    write_file(results, "old contents\n");
    output()->setFocus();
    QTest::keyClicks(output(), QString::fromStdString(results));
    EXPECT_FALSE(fs::exists(scratch / "r"));
    EXPECT_FALSE(fs::exists(scratch / "results.tx"));
    EXPECT_EQ(read_file(results), "old contents\n");
    QTest::keyClick(output(), Qt::Key_Tab);
    EXPECT_EQ(read_file(results), "");

    ASSERT_TRUE(RunToTheEnd());
    ExpectIdle();
    const QString text = pane();
    const QRegularExpression line("^V([210]): +-?\\d+\\.\\d{16}$",
                                  QRegularExpression::MultilineOption);
    QStringList labels;
    for (auto it = line.globalMatch(text); it.hasNext();) {
        labels << it.next().captured(1);
    }
    EXPECT_EQ(labels, (QStringList{"2", "1", "0", "2", "1", "0"})) << text.toStdString();
    EXPECT_EQ(text.count('\n'), 6);

    const std::string rows = read_file(results);
    EXPECT_EQ(rows.rfind("; Data_set\tV2\tV1\tV0\n", 0), 0u) << rows;
    const size_t a = rows.find(sets + "/a");
    const size_t b = rows.find(sets + "/b");
    ASSERT_NE(a, std::string::npos) << rows;
    EXPECT_GT(b, a);
    EXPECT_EQ(std::count(rows.begin(), rows.end(), '\n'), 3);

    // A second run appends to the same file.
    ASSERT_TRUE(RunToTheEnd());
    const std::string appended = read_file(results);
    EXPECT_EQ(std::count(appended.begin(), appended.end(), '\n'), 5);
}

TEST_F(MainDialogTest, ResultsFileIsPreparedBeforeAStartWithoutLeavingTheField) {
    fs::copy_file(EXAMPLES_DIR "/balls_r1-5.txt", scratch / "balls.txt");
    AddEntry(EXAMPLES_DIR "/boolean64");
    balls()->setText(QString::fromStdString(scratch / "balls.txt"));
    const std::string results = scratch / "results.txt";
    write_file(results, "old row\n");
    output()->setText(QString::fromStdString(results));
    EXPECT_EQ(read_file(results), "old row\n");
    ASSERT_TRUE(RunToTheEnd());
    const std::string rows = read_file(results);
    EXPECT_EQ(rows.find("old row"), std::string::npos);
    EXPECT_EQ(std::count(rows.begin(), rows.end(), '\n'), 2) << rows;
}

TEST_F(MainDialogTest, UnwritableResultsFileIsReportedAndStartsNothing) {
    SetBalls(kThreeBalls);
    AddEntry(EXAMPLES_DIR "/boolean64");
    const std::string directory = scratch.path().string();
    output()->setFocus();
    output()->setText(QString::fromStdString(directory));
    QTest::keyClick(output(), Qt::Key_Tab);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, QString::fromStdString(directory) + "\nCannot open file");
    EXPECT_TRUE(output()->text().isEmpty());

    messages.clear();
    output()->setText(QString::fromStdString(scratch / "no/such/dir/results.txt"));
    QTest::mouseClick(button("startButton"), Qt::LeftButton);
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_FALSE(dialog->IsRunning());
    EXPECT_TRUE(pane().isEmpty());
}

TEST_F(MainDialogTest, VerbosePrecedesEachDataSetWithItsCommandLine) {
    fs::copy_file(EXAMPLES_DIR "/balls_r1-5.txt", scratch / "balls.txt");
    const std::string sets = TwoDataSets();
    AddEntry(sets);
    balls()->setText(QString::fromStdString(scratch / "balls.txt"));
    QTest::mouseClick(find<QCheckBox>("verboseCheck"), Qt::LeftButton);
    ASSERT_TRUE(find<QCheckBox>("verboseCheck")->isChecked());
    ASSERT_TRUE(RunToTheEnd());
    const QString text = pane();
    const QString head = "Executing talvik /v /d \"" +
                         QString::fromStdString(scratch / "balls.txt") + "\" /b \"" +
                         QString::fromStdString(sets);
    const qsizetype first = text.indexOf(head + "/a\" /e 1\n\n");
    const qsizetype second = text.indexOf(head + "/b\" /e 1\n\n");
    EXPECT_EQ(first, 0) << text.toStdString();
    ASSERT_GT(second, first);
    // Each command line comes before its own output: the first run's results lie between.
    EXPECT_GT(text.indexOf("V0: "), first);
    EXPECT_LT(text.indexOf("V0: "), second);
    EXPECT_GT(text.lastIndexOf("V0: "), second);
}

TEST_F(MainDialogTest, TypedEpsilonThatIsNoNumberIsNotUsed) {
    fs::copy_file(EXAMPLES_DIR "/balls_r1-5.txt", scratch / "balls.txt");
    AddEntry(EXAMPLES_DIR "/boolean64");
    balls()->setText(QString::fromStdString(scratch / "balls.txt"));
    QTest::mouseClick(find<QCheckBox>("verboseCheck"), Qt::LeftButton);
    epsilon()->setFocus();
    epsilon()->selectAll();
    QTest::keyClicks(epsilon(), "x9");
    QTest::keyClick(epsilon(), Qt::Key_Backspace);
    EXPECT_EQ(epsilon()->value(), 1);
    ASSERT_TRUE(RunToTheEnd());
    EXPECT_TRUE(pane().contains("/e 1\n\n")) << pane().toStdString();
    EXPECT_EQ(epsilon()->text(), "1");
}

TEST_F(MainDialogTest, EntryWithoutADirectoryRunsNothing) {
    SetBalls(kThreeBalls);
    AddEntry(scratch / "does-not-exist");
    ASSERT_TRUE(button("startButton")->isEnabled());
    ASSERT_TRUE(RunToTheEnd(1000));
    EXPECT_FALSE(dialog->IsRunning());
    ExpectIdle();
    EXPECT_TRUE(pane().isEmpty());
}

class MainDialogLongRunTest : public MainDialogTest {
  protected:
    void SetUp() override {
        Open(SleepingEstimator());
        SetBalls(kThreeBalls);
        sets = TwoDataSets();
        AddEntry(sets);
    }
    bool WaitFor(const QString& text, int timeout_ms = 10000) {
        return QTest::qWaitFor([&] { return pane().contains(text); }, timeout_ms);
    }
    std::string sets;
};

TEST_F(MainDialogLongRunTest, RunDisablesTheSettingsAndMovesTheProgressBar) {
    QTest::mouseClick(button("startButton"), Qt::LeftButton);
    ASSERT_TRUE(WaitFor("started"));
    EXPECT_FALSE(button("startButton")->isEnabled());
    EXPECT_TRUE(button("stopButton")->isEnabled());
    for (const char* name : {"ballsFileEdit", "ballsBrowseButton", "epsilonSpin", "dataSetList",
                             "verboseCheck", "outputFileEdit", "outputBrowseButton"}) {
        EXPECT_FALSE(dialog->findChild<QWidget*>(name)->isEnabled()) << name;
    }
    QProgressBar* progress = find<QProgressBar>("progressBar");
    ASSERT_TRUE(QTest::qWaitFor([&] { return progress->value() == 10; }, 3500));
    QTest::mouseClick(button("stopButton"), Qt::LeftButton);
    EXPECT_EQ(progress->value(), 0);
}

TEST_F(MainDialogLongRunTest, StopTerminatesTheChildAndStartsNothingMore) {
    QTest::mouseClick(button("startButton"), Qt::LeftButton);
    ASSERT_TRUE(WaitFor("started " + QString::fromStdString(sets) + "/a\n"));
    QTest::mouseClick(button("stopButton"), Qt::LeftButton);
    ExpectIdle();
    ASSERT_TRUE(WaitFor("Cancelled."));
    QTest::qWait(1000);
    EXPECT_EQ(pane(), "started " + QString::fromStdString(sets) +
                          "/a\n\nCancelled.\n\nProcess terminated successfully.\n");
    ASSERT_EQ(Pids().size(), 1u);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !Alive(Pids()[0]); }, 5000));
    ExpectIdle();
}

TEST_F(MainDialogLongRunTest, StartWhileTheStoppedChildEndsWaitsForIt) {
    QTest::mouseClick(button("startButton"), Qt::LeftButton);
    ASSERT_TRUE(WaitFor("started"));
    QTest::mouseClick(button("stopButton"), Qt::LeftButton);
    QTest::mouseClick(button("startButton"), Qt::LeftButton);
    EXPECT_TRUE(dialog->IsRunning());
    ASSERT_TRUE(QTest::qWaitFor([&] { return pane().count("started") == 2; }, 10000));
    const QString text = pane();
    EXPECT_LT(text.indexOf("Cancelled."), text.lastIndexOf("started")) << text.toStdString();
    EXPECT_FALSE(text.contains("overlap")) << "the second child started beside the first";
    // The stopped run's end left the new run's state alone.
    QTest::qWait(300);
    EXPECT_FALSE(button("startButton")->isEnabled());
    EXPECT_TRUE(button("stopButton")->isEnabled());
    EXPECT_FALSE(balls()->isEnabled());
    const std::vector<pid_t> pids = Pids();
    ASSERT_EQ(pids.size(), 2u);
    EXPECT_FALSE(Alive(pids[0]));
    QTest::mouseClick(button("stopButton"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return pane().count("Cancelled.") == 2; }, 5000));
}

TEST_F(MainDialogLongRunTest, ExitDuringARunEndsTheChildAndStartsNoOther) {
    QTest::mouseClick(button("startButton"), Qt::LeftButton);
    ASSERT_TRUE(WaitFor("started"));
    QTest::mouseClick(button("exitButton"), Qt::LeftButton);
    EXPECT_FALSE(dialog->isVisible());
    ASSERT_EQ(Pids().size(), 1u);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !Alive(Pids()[0]); }, 5000));
    QTest::qWait(500);
    EXPECT_EQ(Pids().size(), 1u);
}

TEST_F(MainDialogTest, AboutBoxFromTheContextMenu) {
    const QList<QAction*> actions = dialog->actions();
    ASSERT_EQ(actions.size(), 1);
    EXPECT_EQ(actions[0]->text(), "&About Quenbar...");
    EXPECT_EQ(dialog->contextMenuPolicy(), Qt::ActionsContextMenu);
    QString title;
    QString text;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        box->accept();
    });
    actions[0]->trigger();
    EXPECT_EQ(title, "About Quenbar");
    EXPECT_EQ(text, "Quenbar Version 1.5");
}

}  // namespace
}  // namespace quenbar
