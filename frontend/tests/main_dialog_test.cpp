#include "main_dialog.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <QAction>
#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScatterSeries>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QValueAxis>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <numbers>
#include <system_error>

#include "formats/numbers.h"
#include "formats/results_file.h"
#include "qt_test_support.h"
#include "result_rows.h"
#include "results_view.h"
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
        services.ask_results_file = [this](QWidget*, const QString& path, int rows) {
            questions.push_back({path, rows});
            if (while_asking) {
                while_asking();
            }
            return results_choice;
        };
        services.pick_save_file = [this](QWidget*, const QString&, const QString&) {
            return saved_file;
        };
        services.ask_close = [this](QWidget*, const QString& text) {
            close_questions.push_back(text);
            return close_choice;
        };
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

    // A name typed into a file field and finished with Enter.
    static void Enter(QLineEdit* field, const std::string& text) {
        field->setText(QString::fromStdString(text));
        QTest::keyClick(field, Qt::Key_Return);
    }

    void SetBalls(const std::string& text) {
        write_file(scratch / "balls.txt", text);
        Enter(balls(), scratch / "balls.txt");
    }

    // The shipped balls file, copied: talvik may complete it.
    void ShippedBalls() {
        fs::copy_file(EXAMPLES_DIR "/balls_r1-5.txt", scratch / "balls.txt");
        Enter(balls(), scratch / "balls.txt");
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

    struct Question {
        QString path;
        int rows;
    };

    ScratchDir scratch;
    std::vector<Message> messages;
    std::vector<Question> questions;
    ResultsChoice results_choice = ResultsChoice::cancel;
    std::function<void()> while_asking;  // what happens while the question is open
    std::vector<QString> close_questions;
    CloseChoice close_choice = CloseChoice::cancel;
    QString picked_file;
    QString saved_file;
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
    EXPECT_TRUE(find<QPlainTextEdit>("outputPane")->isReadOnly());
    const QFontMetrics metrics(find<QPlainTextEdit>("outputPane")->font());
    EXPECT_EQ(metrics.horizontalAdvance("iiii"), metrics.horizontalAdvance("MMMM"));
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

    Enter(balls(), "");
    EXPECT_FALSE(epsilon()->isEnabled());
    EXPECT_EQ(epsilon()->text(), "0");
    EXPECT_FALSE(button("startButton")->isEnabled());
}

TEST_F(MainDialogTest, BallsFileIsCheckedWhenTypingIsDoneAndAnUnreadableNameIsKept) {
    SetBalls(kThreeBalls);
    AddEntry(scratch.path().string());
    ASSERT_TRUE(button("startButton")->isEnabled());
    const QString missing = QString::fromStdString(scratch / "missing.txt");
    balls()->setFocus();
    balls()->selectAll();
    QTest::keyClicks(balls(), missing);
    QTest::keyClick(balls(), Qt::Key_Backspace);
    QTest::keyClicks(balls(), "t");
    EXPECT_TRUE(messages.empty()) << messages[0].text.toStdString();
    EXPECT_EQ(epsilon()->maximum(), 3);

    QTest::keyClick(balls(), Qt::Key_Return);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].caption, "Quenbar");
    EXPECT_EQ(messages[0].text, missing + "\nCannot open file");
    EXPECT_EQ(balls()->text(), missing);
    EXPECT_EQ(balls()->selectedText(), missing);
    EXPECT_TRUE(balls()->hasFocus());
    EXPECT_FALSE(epsilon()->isEnabled());
    EXPECT_EQ(epsilon()->value(), 0);
    EXPECT_FALSE(button("startButton")->isEnabled());

    // Leaving the field finishes the editing too.
    QTest::keyClicks(balls(), QString::fromStdString(scratch / "balls.txt"));
    EXPECT_EQ(messages.size(), 1u);
    QTest::keyClick(balls(), Qt::Key_Tab);
    QApplication::processEvents();
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_EQ(epsilon()->maximum(), 3);
    EXPECT_TRUE(button("startButton")->isEnabled());
}

TEST_F(MainDialogTest, BrokenBallsFileLeavesEpsilonDisabledWithoutAMessage) {
    AddEntry(scratch.path().string());
    SetBalls("3,1\n\n1,0\n");
    EXPECT_TRUE(messages.empty());
    EXPECT_FALSE(epsilon()->isEnabled());
    EXPECT_EQ(epsilon()->text(), "0");
    EXPECT_FALSE(button("startButton")->isEnabled());
}

TEST_F(MainDialogTest, EveryChangeOfTheListReevaluatesStart) {
    SetBalls(kThreeBalls);
    // New, a typed path and Enter, nothing clicked.
    QTest::mouseClick(list()->findChild<QToolButton*>("newButton"), Qt::LeftButton);
    EXPECT_FALSE(button("startButton")->isEnabled());  // an open edit is no entry yet
    auto* editor = list()->findChild<QLineEdit*>("itemEdit");
    QTest::keyClicks(editor, QString::fromStdString(scratch.path().string()));
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_TRUE(button("startButton")->isEnabled());
    QTest::keyClick(list()->findChild<QListWidget*>("entries"), Qt::Key_Delete);
    ASSERT_EQ(list()->GetCount(), 0);
    EXPECT_FALSE(button("startButton")->isEnabled());
    list()->AddEntry(scratch.path().string());
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
    ShippedBalls();
    const std::string sets = TwoDataSets();
    AddEntry(sets);
    epsilon()->setValue(5);

    // Typed one character at a time: no file for the half-typed names, the whole name on
    // leaving the field, and the question before its rows are lost.
    const std::string results = scratch / "results.txt";
    write_file(results, "; Data_set\tV2\tV1\tV0\nold row\n");
    output()->setFocus();
    QTest::keyClicks(output(), QString::fromStdString(results));
    EXPECT_FALSE(fs::exists(scratch / "r"));
    EXPECT_FALSE(fs::exists(scratch / "results.tx"));
    EXPECT_TRUE(questions.empty());
    results_choice = ResultsChoice::empty;
    QTest::keyClick(output(), Qt::Key_Tab);
    QApplication::processEvents();
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0].path.toStdString(), results);
    EXPECT_EQ(questions[0].rows, 1);
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
    // A quiet run's output too is under the name of its data set.
    EXPECT_EQ(text.count('\n'), 8);
    EXPECT_TRUE(text.startsWith("Data set: " + QString::fromStdString(sets) + "/a\nV2: "))
        << text.toStdString();
    EXPECT_TRUE(text.contains("\nData set: " + QString::fromStdString(sets) + "/b\nV2: "));

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

TEST_F(MainDialogTest, ResultsFileWithRowsIsKeptUnlessTheUserEmptiesIt) {
    ShippedBalls();
    AddEntry(EXAMPLES_DIR "/boolean64");
    const std::string results = scratch / "results.txt";
    const std::string rows = "; Data_set\tV2\tV1\tV0\nold one\nold two\n";
    write_file(results, rows);

    // Cancel: the field gets its previous text back, the file stays as it was.
    Enter(output(), results);
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0].rows, 2);
    EXPECT_TRUE(output()->text().isEmpty());
    EXPECT_EQ(read_file(results), rows);

    // Browse asks once, its own overwrite question being the same one.
    picked_file = QString::fromStdString(results);
    QTest::mouseClick(button("outputBrowseButton"), Qt::LeftButton);
    EXPECT_EQ(questions.size(), 2u);
    EXPECT_EQ(read_file(results), rows);

    // Named but not yet finished when Start is pressed: asked then, and Append keeps the rows.
    results_choice = ResultsChoice::append;
    output()->setText(QString::fromStdString(results));
    ASSERT_TRUE(RunToTheEnd());
    EXPECT_EQ(questions.size(), 3u);
    const std::string after = read_file(results);
    EXPECT_EQ(after.rfind(rows, 0), 0u) << after;
    EXPECT_EQ(std::count(after.begin(), after.end(), '\n'), 4) << after;
}

// A run elsewhere appends a row while the user reads the question: Empty does not lose it
// unseen, the question comes again with the new count.
TEST_F(MainDialogTest, RowAppendedWhileTheQuestionIsOpenIsCountedAndAskedAgain) {
    SetBalls(kThreeBalls);
    const std::string results = scratch / "results.txt";
    write_file(results, "; Data_set\tV2\tV1\tV0\nold one\n");
    results_choice = ResultsChoice::empty;
    while_asking = [&] {
        if (questions.size() == 1) {
            ASSERT_TRUE(formats::append_results_row(results, "new one", 1, 2, 3));
        }
    };
    Enter(output(), results);
    ASSERT_EQ(questions.size(), 2u);
    EXPECT_EQ(questions[0].rows, 1);
    EXPECT_EQ(questions[1].rows, 2);
    EXPECT_EQ(read_file(results), "");
    EXPECT_EQ(output()->text().toStdString(), results);
    EXPECT_TRUE(messages.empty());
}

TEST_F(MainDialogTest, BallsFileSlicesAndOtherFilesAreNeverTakenAsResultsFile) {
    SetBalls(kThreeBalls);
    const std::string notes = scratch / "notes.txt";
    write_file(notes, "my notes\n");
    results_choice = ResultsChoice::empty;
    for (const std::string& name : {scratch / "balls.txt", notes, scratch / "slice000.pbm"}) {
        Enter(output(), name);
    }
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0].text.toStdString(),
              scratch / "balls.txt" +
                  "\nThis is the discretized balls file: it is never used as the results file.");
    EXPECT_TRUE(messages[1].text.contains("does not begin with \"; Data_set\""))
        << messages[1].text.toStdString();
    EXPECT_TRUE(messages[2].text.contains("*.pbm")) << messages[2].text.toStdString();
    EXPECT_TRUE(questions.empty());
    EXPECT_EQ(read_file(scratch / "balls.txt"), kThreeBalls);
    EXPECT_EQ(read_file(notes), "my notes\n");
    EXPECT_FALSE(fs::exists(scratch / "slice000.pbm"));
    EXPECT_TRUE(output()->text().isEmpty());
}

TEST_F(MainDialogTest, UnwritableResultsFileIsReportedAndStartsNothing) {
    SetBalls(kThreeBalls);
    AddEntry(EXAMPLES_DIR "/boolean64");
    const std::string directory = scratch.path().string();
    output()->setFocus();
    output()->setText(QString::fromStdString(directory));
    QTest::keyClick(output(), Qt::Key_Tab);
    QApplication::processEvents();
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
    ShippedBalls();
    const std::string sets = TwoDataSets();
    AddEntry(sets);
    QTest::mouseClick(find<QCheckBox>("verboseCheck"), Qt::LeftButton);
    ASSERT_TRUE(find<QCheckBox>("verboseCheck")->isChecked());
    ASSERT_TRUE(RunToTheEnd());
    const QString text = pane();
    const QString head = "Executing talvik /v /d \"" +
                         QString::fromStdString(scratch / "balls.txt") + "\" /b \"" +
                         QString::fromStdString(sets);
    const qsizetype first = text.indexOf(head + "/a\" /e 1\n\n");
    const qsizetype second = text.indexOf(head + "/b\" /e 1\n\n");
    EXPECT_TRUE(text.startsWith("Data set: " + QString::fromStdString(sets) + "/a\n" + head))
        << text.toStdString();
    ASSERT_GT(second, first);
    // Each command line comes before its own output: the first run's results lie between.
    EXPECT_GT(text.indexOf("V0: "), first);
    EXPECT_LT(text.indexOf("V0: "), second);
    EXPECT_GT(text.lastIndexOf("V0: "), second);
}

TEST_F(MainDialogTest, TypedEpsilonThatIsNoNumberIsNotUsed) {
    ShippedBalls();
    AddEntry(EXAMPLES_DIR "/boolean64");
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

// Escape, Exit and the close box ask before unsaved rows are lost; idle with nothing unsaved
// they close at once.
TEST_F(MainDialogTest, ClosingAsksBeforeUnsavedRowsAreLost) {
    SetBalls(kThreeBalls);
    AddEntry(scratch / "does-not-exist");
    ASSERT_TRUE(RunToTheEnd(1000));
    ASSERT_EQ(dialog->Results().Model().Rows().size(), 1u);

    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    EXPECT_FALSE(dialog->close());
    ASSERT_EQ(close_questions.size(), 2u);
    EXPECT_TRUE(close_questions[0].contains("holds 1 row that has not been saved"))
        << close_questions[0].toStdString();
    EXPECT_TRUE(dialog->isVisible());

    // Save as CSV...: the picker's name gets its suffix; a cancelled picker keeps it open.
    close_choice = CloseChoice::save;
    QTest::mouseClick(button("exitButton"), Qt::LeftButton);
    EXPECT_TRUE(dialog->isVisible());
    saved_file = QString::fromStdString(scratch / "table");
    QTest::mouseClick(button("exitButton"), Qt::LeftButton);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_NE(read_file(scratch / "table.csv").find("does-not-exist,skipped,"), std::string::npos);

    // Saved, nothing is lost: no question.
    Open(TALVIK_EXECUTABLE);
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(close_questions.size(), 4u);
}

// RFC 4180 records, as a spreadsheet reads them.
std::vector<std::vector<std::string>> ReadCsv(const std::string& text) {
    std::vector<std::vector<std::string>> records(1, std::vector<std::string>(1));
    bool quoted = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        std::string& field = records.back().back();
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            records.back().emplace_back();
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            ++i;
            records.emplace_back(1);
        } else {
            field += c;
        }
    }
    records.pop_back();  // after the last record's line end
    return records;
}

// The values of every "V2: ", "V1: " and "V0: " line of the pane, in order.
QStringList PrintedValues(const QString& text) {
    const QRegularExpression line("^V[210]: +(\\S+)$", QRegularExpression::MultilineOption);
    QStringList values;
    for (auto it = line.globalMatch(text); it.hasNext();) {
        values << it.next().captured(1);
    }
    return values;
}

// The correction values that the balls file stores, ball by ball.
std::vector<double> StoredDe(const std::string& balls_path) {
    const QRegularExpression line("^\\[ *(\\S+)\\]", QRegularExpression::MultilineOption);
    std::vector<double> de;
    const QString text = QString::fromStdString(read_file(balls_path));
    for (auto it = line.globalMatch(text); it.hasNext();) {
        de.push_back(it.next().captured(1).toDouble());
    }
    return de;
}

TEST_F(MainDialogTest, ResultsTableHoldsEveryDataSetWithTheTruthBesideTheEstimate) {
    // Too small for the measuring window: talvik refuses it with a message.
    const std::string tiny = scratch / "tiny";
    fs::create_directory(tiny);
    write_file(tiny + "/slice000.pbm", std::string("P4\n8 8\n") + std::string(8, '\0'));
    // Every ball of radius 3; the folder's name needs quoting in CSV.
    const std::string out = scratch / "brisolt, \"one\"";
    fs::create_directory(out);
    QProcess brisolt;
    brisolt.start(BRISOLT_EXECUTABLE, {"--batch",
                                       "--x",
                                       "24",
                                       "--y",
                                       "24",
                                       "--z",
                                       "24",
                                       "--lambda",
                                       "0.002",
                                       "--radius",
                                       "3",
                                       "--law",
                                       "Fixed",
                                       "--p1",
                                       "1",
                                       "--p2",
                                       "1",
                                       "--count",
                                       "1",
                                       "--prefix",
                                       "s",
                                       "--out",
                                       QString::fromStdString(out),
                                       "--seed",
                                       "7",
                                       "--yes"});
    ASSERT_TRUE(brisolt.waitForFinished(60000));
    ASSERT_EQ(brisolt.exitCode(), 0) << brisolt.readAllStandardError().toStdString();
    const std::string generated = out + "/s000";
    const std::vector<std::string> entries = {tiny, scratch / "missing", EXAMPLES_DIR "/boolean64",
                                              generated};
    for (const std::string& entry : entries) {
        AddEntry(entry);
    }
    ShippedBalls();
    epsilon()->setValue(2);
    ASSERT_TRUE(RunToTheEnd());

    const std::vector<ResultRow>& rows = dialog->Results().Model().Rows();
    ASSERT_EQ(rows.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(rows[i].directory, entries[i]);
    }
    EXPECT_EQ(rows[0].status, RowStatus::failed);
    EXPECT_EQ(rows[0].note.rfind("talvik: ", 0), 0u) << rows[0].note;
    EXPECT_NE(rows[0].note.find("too small"), std::string::npos) << rows[0].note;
    EXPECT_EQ(rows[1].status, RowStatus::skipped);
    // The system's own words for the error, in the user's language.
    EXPECT_EQ(rows[1].note,
              "cannot list the directory: " + std::generic_category().message(ENOENT));
    EXPECT_EQ(rows[2].status, RowStatus::done);
    EXPECT_EQ(rows[3].status, RowStatus::done);
    EXPECT_FALSE(rows[2].truth);
    EXPECT_EQ(rows[2].note, kQuietNote);
    const QStringList printed = PrintedValues(pane());
    ASSERT_EQ(printed.size(), 6) << pane().toStdString();
    for (size_t k = 0; k < 3; ++k) {
        EXPECT_EQ(QString::fromStdString(rows[2].values[k]), printed[static_cast<qsizetype>(k)]);
        EXPECT_EQ(QString::fromStdString(rows[3].values[k]),
                  printed[static_cast<qsizetype>(k) + 3]);
    }

    // Miles' formulae for balls of the one radius rho = 3 + de: the mean grain is one ball.
    ASSERT_TRUE(rows[3].truth);
    const RowTruth& truth = *rows[3].truth;
    EXPECT_EQ(truth.de, StoredDe(scratch / "balls.txt").at(1));
    constexpr double pi = std::numbers::pi;
    const double lambda = 0.002;
    const double rho = 3.0 + truth.de;
    const double volume = 4.0 / 3.0 * pi * rho * rho * rho;
    const double surface = 4.0 * pi * rho * rho;
    const double curvature = 4.0 * pi * rho;
    const double empty = std::exp(-lambda * volume);
    const double expected[3] = {
        lambda * surface / 2.0 * empty,
        (lambda * curvature - pi * pi / 32.0 * lambda * lambda * surface * surface) * empty / pi,
        (lambda - lambda * lambda * curvature * surface / (4.0 * pi) +
         pi / 384.0 * lambda * lambda * lambda * surface * surface * surface) *
            empty};
    for (size_t k = 0; k < 3; ++k) {
        EXPECT_NEAR(truth.values[k], expected[k], 1e-12 * std::fabs(expected[k])) << k;
        const double estimate = printed[static_cast<qsizetype>(k) + 3].toDouble();
        EXPECT_NEAR(truth.error_percent[k], (estimate - expected[k]) / std::fabs(expected[k]) * 100,
                    1e-9)
            << k;
    }

    // Saved as CSV, the table reads back with every digit, and each row says how it was made.
    saved_file = QString::fromStdString(scratch / "table.csv");
    QTest::mouseClick(find<QPushButton>("saveCsvButton"), Qt::LeftButton);
    const std::vector<std::vector<std::string>> csv = ReadCsv(read_file(scratch / "table.csv"));
    const std::vector<std::string> titles = CsvTitles();
    const auto column = [&titles](const std::string& title) {
        const auto found = std::find(titles.begin(), titles.end(), title);
        EXPECT_NE(found, titles.end()) << title;
        return static_cast<size_t>(found - titles.begin());
    };
    ASSERT_EQ(csv.size(), 5u);
    EXPECT_EQ(csv[0], titles);
    for (size_t i = 0; i < 4; ++i) {
        ASSERT_EQ(csv[i + 1].size(), titles.size()) << i;
        EXPECT_EQ(csv[i + 1][column("Data set")], entries[i]);
        EXPECT_EQ(csv[i + 1][column("Status")], StatusText(rows[i].status));
        EXPECT_EQ(csv[i + 1][column("Note")], rows[i].note);
    }
    EXPECT_EQ(csv[3][column("V2 per voxel")], rows[2].values[0]);
    EXPECT_EQ(csv[4][column("V0 per voxel")], rows[3].values[2]);
    const auto read_back = [](const std::string& field) {
        double value = NAN;
        formats::parse_number(field, value);
        return value;
    };
    EXPECT_EQ(read_back(csv[4][column("de voxels")]), truth.de);
    EXPECT_EQ(read_back(csv[4][column("V1 truth per voxel")]), truth.values[1]);
    EXPECT_EQ(read_back(csv[4][column("V0 error %")]), truth.error_percent[2]);
    EXPECT_EQ(csv[1][column("V2 truth per voxel")], "");
    EXPECT_EQ(csv[4][column("Balls file")], scratch / "balls.txt");
    EXPECT_EQ(csv[4][column("Epsilon")], "2");
    EXPECT_EQ(csv[4][column("Options")], "");

    // Copied rows are a header line and tab-separated lines, in the table's order.
    auto* table = find<QTableView>("resultsTable");
    table->selectionModel()->select(table->model()->index(2, 0),
                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
    table->selectionModel()->select(table->model()->index(0, 0),
                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
    table->setFocus();
    QTest::keyClick(table, Qt::Key_C, Qt::ControlModifier);
    const QStringList lines = QApplication::clipboard()->text().split('\n');
    ASSERT_EQ(lines.size(), 4) << QApplication::clipboard()->text().toStdString();
    EXPECT_EQ(lines[0].split('\t').first(), "Data set");
    EXPECT_EQ(lines[1].split('\t').first().toStdString(), tiny);
    EXPECT_EQ(
        lines[2].split('\t').value(static_cast<qsizetype>(column("V1 per voxel"))).toStdString(),
        rows[2].values[1]);
    EXPECT_EQ(lines[2].split('\t').size(), static_cast<qsizetype>(titles.size()));
    EXPECT_EQ(lines[3], "");

    // The CSV follows the order shown: sorted by the data set, descending.
    table->sortByColumn(kDataSetColumn, Qt::DescendingOrder);
    QTest::mouseClick(find<QPushButton>("saveCsvButton"), Qt::LeftButton);
    const std::vector<std::vector<std::string>> sorted = ReadCsv(read_file(scratch / "table.csv"));
    ASSERT_EQ(sorted.size(), 5u);
    for (size_t i = 1; i + 1 < sorted.size(); ++i) {
        EXPECT_GT(sorted[i][0], sorted[i + 1][0]);
    }
    table->sortByColumn(-1, Qt::AscendingOrder);

    // A quiet run's row tells how to get the plot.
    dialog->Results().SelectRow(2);
    EXPECT_TRUE(find<QLabel>("fitText")->text().contains("tick Verbose Output"));
    EXPECT_FALSE(find<QPushButton>("savePngButton")->isEnabled());
}

TEST_F(MainDialogTest, PlotHoldsTheShellVolumesOfTheVerboseOutput) {
    ShippedBalls();
    AddEntry(EXAMPLES_DIR "/boolean64");
    QTest::mouseClick(find<QCheckBox>("verboseCheck"), Qt::LeftButton);
    ASSERT_TRUE(RunToTheEnd());
    dialog->Results().SelectRow(0);

    // V(d) is the shell's voxel count over the window's, 54^3 for the 64^3 example.
    const QRegularExpression volume_line(
        "volume of \\(\\(Xe\\)\\*\\)d\\\\\\(Xe\\)\\* \\[d = +(\\d+)\\]: (\\d+)$",
        QRegularExpression::MultilineOption);
    const std::vector<double> de = StoredDe(scratch / "balls.txt");
    std::vector<QPointF> expected;
    for (auto it = volume_line.globalMatch(pane()); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        expected.emplace_back(de.at(m.captured(1).toULongLong() - 1),
                              m.captured(2).toDouble() / (54.0 * 54.0 * 54.0));
    }
    ASSERT_EQ(expected.size(), 5u) << pane().toStdString();
    QChart* chart = find<QChartView>("fitChart")->chart();
    QChart* residual_chart = find<QChartView>("residualChart")->chart();
    auto* measured = chart->findChild<QScatterSeries*>("measured");
    auto* fit = chart->findChild<QLineSeries*>("fit");
    auto* residuals = residual_chart->findChild<QScatterSeries*>("residuals");
    ASSERT_TRUE(measured && fit && residuals);
    ASSERT_EQ(measured->count(), 5);
    const QStringList v = PrintedValues(pane());
    ASSERT_EQ(v.size(), 3);
    for (int d = 0; d < 5; ++d) {
        const QPointF p = measured->at(d);
        EXPECT_NEAR(p.x(), expected[static_cast<size_t>(d)].x(), 1e-15) << d;
        EXPECT_NEAR(p.y(), expected[static_cast<size_t>(d)].y(), 1e-15) << d;
        const double x = p.x();
        const double steiner = 2.0 * v[0].toDouble() * x -
                               std::numbers::pi * v[1].toDouble() * x * x +
                               4.0 * std::numbers::pi / 3.0 * v[2].toDouble() * x * x * x;
        EXPECT_NEAR(residuals->at(d).y(), p.y() - steiner, 1e-15) << d;
    }
    for (const QPointF& p : fit->points()) {
        const double x = p.x();
        EXPECT_NEAR(p.y(),
                    2.0 * v[0].toDouble() * x - std::numbers::pi * v[1].toDouble() * x * x +
                        4.0 * std::numbers::pi / 3.0 * v[2].toDouble() * x * x * x,
                    1e-15);
    }
    EXPECT_GE(fit->points().back().x(), expected.back().x());
    const QList<QAbstractAxis*> x_axes = chart->axes(Qt::Horizontal);
    const QList<QAbstractAxis*> y_axes = chart->axes(Qt::Vertical);
    ASSERT_EQ(x_axes.size(), 1);
    ASSERT_EQ(y_axes.size(), 1);
    EXPECT_EQ(x_axes[0]->titleText(), "de (voxels)");
    EXPECT_EQ(y_axes[0]->titleText(), "V(d)");
    EXPECT_TRUE(chart->legend()->isVisible());

    saved_file = QString::fromStdString(scratch / "fit.png");
    QTest::mouseClick(find<QPushButton>("savePngButton"), Qt::LeftButton);
    EXPECT_FALSE(QImage(saved_file).isNull());
    saved_file = QString::fromStdString(scratch / "fit.svg");
    QTest::mouseClick(find<QPushButton>("saveSvgButton"), Qt::LeftButton);
    EXPECT_NE(read_file(scratch / "fit.svg").find("<svg"), std::string::npos);
    EXPECT_TRUE(messages.empty());
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
    EXPECT_EQ(pane(), "Data set: " + QString::fromStdString(sets) + "/a\nstarted " +
                          QString::fromStdString(sets) +
                          "/a\n\nCancelled.\n\nProcess terminated successfully.\n");
    ASSERT_EQ(Pids().size(), 1u);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !Alive(Pids()[0]); }, 5000));
    ExpectIdle();
    const std::vector<ResultRow>& rows = dialog->Results().Model().Rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].status, RowStatus::cancelled);
    EXPECT_EQ(rows[1].status, RowStatus::cancelled);
    EXPECT_EQ(rows[1].note, "not started");
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
    close_choice = CloseChoice::discard;
    QTest::mouseClick(button("exitButton"), Qt::LeftButton);
    ASSERT_EQ(close_questions.size(), 1u);
    EXPECT_TRUE(close_questions[0].startsWith("A run is in progress"));
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
