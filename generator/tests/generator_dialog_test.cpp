#include "generator_dialog.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <vector>

#include "data_set_writer.h"
#include "formats/data_set.h"
#include "formats/model_file.h"
#include "partial_folders.h"
#include "random/random.h"
#include "test_support.h"
#include "typed_spin_box.h"

namespace brisolt {
namespace {

namespace fs = std::filesystem;
using talvik::testing::read_file;
using talvik::testing::run_process;
using talvik::testing::ScratchDir;

struct SeenBox {
    QString title;
    QString text;
    QMessageBox::Icon icon;
};

// Answers every message box that opens, as a user would: with `answer` where the box offers
// it, else with OK.
class BoxAnswerer {
  public:
    explicit BoxAnswerer(QMessageBox::StandardButton answer = QMessageBox::Ok) : answer_(answer) {
        QObject::connect(&timer_, &QTimer::timeout, [this] { answer_open_box(); });
        timer_.start(5);
    }
    const std::vector<SeenBox>& seen() const { return seen_; }

  private:
    void answer_open_box() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible() ||
            std::find(answered_.begin(), answered_.end(), box) != answered_.end()) {
            return;
        }
        answered_.emplace_back(box);
        seen_.push_back({box->windowTitle(), box->text(), box->icon()});
        QAbstractButton* button = box->button(answer_);
        (button ? button : box->button(QMessageBox::Ok))->click();
    }

    QMessageBox::StandardButton answer_;
    QTimer timer_;
    std::vector<QPointer<QMessageBox>> answered_;
    std::vector<SeenBox> seen_;
};

class GeneratorDialog : public ::testing::Test {
  protected:
    void SetUp() override {
        dialog_.setFolderPicker([this](const QString& start) {
            picker_starts_.push_back(start);
            return picker_answer_;
        });
        dialog_.show();
        dialog_.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog_));
    }

    template <typename T>
    T* find(const char* name) {
        T* widget = dialog_.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    CTypedSpinBox* spin(const char* name) { return find<CTypedSpinBox>(name); }
    QLineEdit* edit(const char* name) { return find<QLineEdit>(name); }
    QPushButton* generate() { return find<QPushButton>("m_generate"); }
    // The status line in full (it is cut short to the window's width).
    QString status() { return find<QLabel>("m_status")->toolTip(); }

    // Whether the dialog's focus is on `field`, or on the line edit inside it.
    bool has_focus(QWidget* field) {
        QWidget* focused = dialog_.focusWidget();
        return focused && (focused == field || focused->parentWidget() == field);
    }

    // Replaces the text as typed keys, so that validators and change notices take part.
    void type(QWidget* field, const QString& text) {
        field->setFocus();
        if (auto* s = qobject_cast<QAbstractSpinBox*>(field)) {
            s->selectAll();
        } else if (auto* e = qobject_cast<QLineEdit*>(field)) {
            e->selectAll();
        }
        QTest::keyClick(field, Qt::Key_Delete);
        QTest::keyClicks(field, text);
    }

    void choose_law(int index) {
        QComboBox* law = find<QComboBox>("m_distribution");
        law->setFocus();
        while (law->currentIndex() < index) {
            QTest::keyClick(law, Qt::Key_Down);
        }
        while (law->currentIndex() > index) {
            QTest::keyClick(law, Qt::Key_Up);
        }
    }

    // The example: 50 x 50 x 50, lambda 0.001, R 5, Uniform from 1 to 4.
    void fill_example(const std::string& out) {
        type(spin("m_maxX"), "50");
        type(spin("m_maxY"), "50");
        type(spin("m_maxZ"), "50");
        type(edit("m_lambda"), "0.001");
        type(spin("m_maxRadius"), "5");
        type(edit("m_parameter1"), "1");
        type(edit("m_parameter2"), "4");
        type(edit("m_outputDirectory"), QString::fromStdString(out));
    }

    bool generate_and_wait(int timeout_ms = 60000) {
        QSignalSpy finished(&dialog_, &CGeneratorDialog::runFinished);
        QTest::mouseClick(generate(), Qt::LeftButton);
        return dialog_.isRunning() ? finished.wait(timeout_ms) : !finished.isEmpty();
    }

    CGeneratorDialog dialog_;
    std::vector<QString> picker_starts_;
    QString picker_answer_;
};

TEST_F(GeneratorDialog, StartsWithTheDefaults) {
    EXPECT_EQ(dialog_.windowTitle(), "Brisolt");
    for (const char* name : {"m_maxX", "m_maxY", "m_maxZ", "m_maxRadius"}) {
        EXPECT_EQ(spin(name)->text(), "0") << name;
        EXPECT_EQ(spin(name)->maximum(), 1000) << name;
    }
    for (const char* name : {"m_lambda", "m_parameter1", "m_parameter2"}) {
        EXPECT_EQ(edit(name)->text(), "0.0") << name;
    }
    EXPECT_EQ(spin("m_count")->text(), "1");
    EXPECT_EQ(spin("m_count")->minimum(), 1);
    QComboBox* law = find<QComboBox>("m_distribution");
    ASSERT_EQ(law->count(), 3);
    EXPECT_EQ(law->itemText(0), "Uniform");
    EXPECT_EQ(law->itemText(1), "LogNormal");
    EXPECT_EQ(law->itemText(2), "Exponential");
    EXPECT_EQ(law->currentText(), "Uniform");
    EXPECT_EQ(find<QLabel>("m_parameter1Label")->text(), "Lower Bound:");
    EXPECT_EQ(find<QLabel>("m_parameter2Label")->text(), "Upper Bound:");
    EXPECT_FALSE(generate()->isEnabled());
    EXPECT_EQ(find<QProgressBar>("m_progress")->value(), 0);
    EXPECT_FALSE(find<QPushButton>("m_browse")->isDefault());
    EXPECT_FALSE(generate()->autoDefault());
    EXPECT_FALSE(dialog_.windowIcon().pixmap(32, 32).isNull());
}

TEST_F(GeneratorDialog, TabOrderFollowsTheFields) {
    const char* order[] = {"m_maxX",
                           "m_maxY",
                           "m_maxZ",
                           "m_lambda",
                           "m_maxRadius",
                           "m_distribution",
                           "m_parameter1",
                           "m_parameter2",
                           "m_count",
                           "m_prefix",
                           "m_outputDirectory",
                           "m_browse",
                           "m_newCount",
                           "m_generate",
                           "m_exit"};
    // Generate is skipped while disabled.
    fill_example("/tmp");
    find<QWidget>(order[0])->setFocus();
    for (const char* name : order) {
        EXPECT_TRUE(has_focus(find<QWidget>(name))) << name;
        QTest::keyClick(dialog_.focusWidget(), Qt::Key_Tab);
    }
    EXPECT_TRUE(has_focus(find<QWidget>(order[0])));
}

TEST_F(GeneratorDialog, GenerateRuleForUniform) {
    fill_example("/tmp");
    EXPECT_TRUE(generate()->isEnabled());
    type(edit("m_parameter1"), "0");
    EXPECT_FALSE(generate()->isEnabled());  // a lower bound of exactly 0 is refused
    type(edit("m_parameter1"), "4");
    EXPECT_FALSE(generate()->isEnabled());  // upper bound not above the lower
    type(edit("m_parameter1"), "1");
    EXPECT_TRUE(generate()->isEnabled());
    type(edit("m_lambda"), "1e-23");
    EXPECT_FALSE(generate()->isEnabled());
    // A negative Lambda is a field that does not read, tinted like any other.
    type(edit("m_lambda"), "-0.001");
    EXPECT_FALSE(generate()->isEnabled());
    EXPECT_EQ(status(), "Lambda: -0.001 is negative: it must be above 0.");
    EXPECT_NE(edit("m_lambda")->palette().color(QPalette::Base),
              edit("m_prefix")->palette().color(QPalette::Base));
    type(edit("m_lambda"), "0.001");
    EXPECT_TRUE(generate()->isEnabled());
    type(spin("m_maxZ"), "0");
    EXPECT_FALSE(generate()->isEnabled());
    type(spin("m_maxZ"), "50");
    edit("m_outputDirectory")->clear();
    EXPECT_FALSE(generate()->isEnabled());
}

TEST_F(GeneratorDialog, LogNormalAsksForMuAndSigma) {
    fill_example("/tmp");
    choose_law(1);
    EXPECT_EQ(find<QLabel>("m_parameter1Label")->text(), "Mu:");
    EXPECT_EQ(find<QLabel>("m_parameter2Label")->text(), "Sigma:");
    EXPECT_EQ(edit("m_parameter1")->text(), "0.0");
    EXPECT_EQ(edit("m_parameter2")->text(), "0.0");
    EXPECT_FALSE(generate()->isEnabled());
    type(edit("m_parameter1"), "1");
    EXPECT_FALSE(generate()->isEnabled());
    type(edit("m_parameter2"), "-0.5");
    EXPECT_TRUE(generate()->isEnabled());
}

TEST_F(GeneratorDialog, ExponentialHidesTheSecondParameter) {
    fill_example("/tmp");
    choose_law(2);
    EXPECT_EQ(find<QLabel>("m_parameter1Label")->text(), "Mu:");
    EXPECT_EQ(find<QLabel>("m_parameter2Label")->text(), "(none)");
    EXPECT_FALSE(find<QLabel>("m_parameter2Label")->isVisible());
    EXPECT_FALSE(edit("m_parameter2")->isVisible());
    EXPECT_TRUE(edit("m_parameter1")->isVisible());
    EXPECT_FALSE(generate()->isEnabled());
    type(edit("m_parameter1"), "2");
    EXPECT_TRUE(generate()->isEnabled());
    choose_law(0);
    EXPECT_TRUE(edit("m_parameter2")->isVisible());
    EXPECT_EQ(find<QLabel>("m_parameter1Label")->text(), "Lower Bound:");
    EXPECT_FALSE(generate()->isEnabled());
}

TEST_F(GeneratorDialog, TypedLawCountsAtTheNextChange) {
    fill_example("/tmp");
    type(find<QComboBox>("m_distribution"), "Poisson");
    EXPECT_TRUE(generate()->isEnabled());  // typing in the law's field checks nothing
    type(edit("m_parameter2"), "5");
    EXPECT_FALSE(generate()->isEnabled());  // a law of another name is never allowed
}

TEST_F(GeneratorDialog, RunWritesTheSameDataSetsAsTheBatchMode) {
    ScratchDir dialog_out;
    ScratchDir batch_out;
    fill_example(dialog_out.path().string());
    type(spin("m_maxX"), "20");
    type(spin("m_maxY"), "15");
    type(spin("m_maxZ"), "6");
    type(edit("m_lambda"), "0.002");
    type(spin("m_maxRadius"), "3");
    type(edit("m_parameter2"), "3.5");
    type(spin("m_count"), "2");
    type(edit("m_prefix"), "d");
    seed_from_time(1733650000);
    BoxAnswerer answerer(QMessageBox::Ok);
    ASSERT_TRUE(generate_and_wait());
    ASSERT_EQ(answerer.seen().size(), 1u);
    const SeenBox& question = answerer.seen()[0];
    EXPECT_EQ(question.title, "Brisolt");
    EXPECT_EQ(question.icon, QMessageBox::Question);
    EXPECT_TRUE(question.text.startsWith("About to make "));
    EXPECT_TRUE(
        question.text.endsWith(" balls for each of 2 data sets.\nDo you want to continue?"));
    EXPECT_EQ(find<QProgressBar>("m_progress")->value(), 100);

    const auto batch = run_process(BRISOLT_EXECUTABLE, {"--batch",
                                                        "--x",
                                                        "20",
                                                        "--y",
                                                        "15",
                                                        "--z",
                                                        "6",
                                                        "--lambda",
                                                        "0.002",
                                                        "--radius",
                                                        "3",
                                                        "--law",
                                                        "Uniform",
                                                        "--p1",
                                                        "1",
                                                        "--p2",
                                                        "3.5",
                                                        "--count",
                                                        "2",
                                                        "--prefix",
                                                        "d",
                                                        "--out",
                                                        batch_out.path().string(),
                                                        "--seed",
                                                        "1733650000",
                                                        "--yes"});
    ASSERT_EQ(batch.status, 0) << batch.err;
    EXPECT_NE(batch.out.find("N: " + question.text.section(' ', 3, 3).toStdString() + "\n"),
              std::string::npos);
    for (const char* set : {"d000", "d001"}) {
        for (int z = 0; z < 6; ++z) {
            const std::string name = std::string(set) + "/dslice00" + std::to_string(z) + ".pbm";
            ASSERT_TRUE(fs::exists(dialog_out / name)) << name;
            EXPECT_EQ(read_file(dialog_out / name), read_file(batch_out / name)) << name;
        }
        // The same model file too, its seed and measured volume fraction included.
        const std::string model = std::string(set) + "/model.txt";
        ASSERT_TRUE(fs::exists(dialog_out / model)) << model;
        EXPECT_TRUE(read_file(dialog_out / model).starts_with("x = 20\ny = 15\nz = 6\n"));
        EXPECT_NE(read_file(dialog_out / model).find("\nseed = 1733650000\n"), std::string::npos);
        EXPECT_EQ(read_file(dialog_out / model), read_file(batch_out / model)) << model;
    }
    EXPECT_FALSE(fs::exists(dialog_out / "d002"));
}

TEST_F(GeneratorDialog, RunKeepsTheDialogResponsiveAndTheCloseBoxAsks) {
    ScratchDir out;
    fill_example(out.path().string());
    // About 8000 balls of radius 10 to 20, in many slices of the event loop.
    dialog_.setRunSlice(std::chrono::milliseconds(1));
    type(spin("m_maxX"), "500");
    type(spin("m_maxY"), "500");
    type(spin("m_maxZ"), "100");
    type(edit("m_lambda"), "0.0002");
    type(spin("m_maxRadius"), "20");
    type(edit("m_parameter1"), "10");
    type(edit("m_parameter2"), "20");
    QProgressBar* progress = find<QProgressBar>("m_progress");
    QSignalSpy moves(progress, &QProgressBar::valueChanged);
    QSignalSpy finished(&dialog_, &CGeneratorDialog::runFinished);
    {
        BoxAnswerer answerer(QMessageBox::Ok);
        QTest::mouseClick(generate(), Qt::LeftButton);
    }
    ASSERT_TRUE(dialog_.isRunning());
    EXPECT_EQ(generate()->text(), "Cancel");
    EXPECT_TRUE(generate()->isEnabled());
    EXPECT_FALSE(edit("m_lambda")->isEnabled());
    EXPECT_FALSE(dialog_.aboutAction()->isEnabled());
    {
        BoxAnswerer answerer(QMessageBox::No);
        EXPECT_FALSE(dialog_.close());
        QTest::keyClick(&dialog_, Qt::Key_Escape);
        ASSERT_EQ(answerer.seen().size(), 2u);
        EXPECT_EQ(answerer.seen()[0].title, "Brisolt");
        EXPECT_EQ(answerer.seen()[0].text,
                  "A run is in progress.\nCancel it and close Brisolt? The data sets already "
                  "written are kept.");
    }
    EXPECT_TRUE(dialog_.isVisible());
    ASSERT_TRUE(finished.wait(120000));
    EXPECT_GE(moves.count(), 3);  // the bar moved while the run went on
    EXPECT_EQ(progress->value(), 100);
    EXPECT_EQ(generate()->text(), "Generate");
    EXPECT_TRUE(generate()->isEnabled());
    EXPECT_TRUE(edit("m_lambda")->isEnabled());
    EXPECT_EQ(formats::list_slice_files(out / "000").size(), 100u);
    EXPECT_EQ(status(), "1 of 1 data sets written.");

    // Agreeing to close cancels a run and leaves no trace of its unfinished data set.
    type(spin("m_count"), "2");
    {
        BoxAnswerer answerer(QMessageBox::Ok);
        QTest::mouseClick(generate(), Qt::LeftButton);
    }
    BoxAnswerer answerer(QMessageBox::Yes);
    EXPECT_TRUE(dialog_.close());
    EXPECT_FALSE(dialog_.isRunning());
    EXPECT_EQ(std::distance(fs::directory_iterator(out.path()), fs::directory_iterator()), 1);
}

// Cancel stops a run of three in its second data set: the first stays as an uncancelled run
// writes it, the second leaves nothing.
TEST_F(GeneratorDialog, CancelInTheMiddleKeepsTheCompleteDataSetsOnly) {
    ScratchDir cancelled;
    ScratchDir whole;
    fill_example(cancelled.path().string());
    type(spin("m_count"), "3");
    dialog_.setRunSlice(std::chrono::milliseconds(0));
    bool clicked = false;
    QObject::connect(find<QProgressBar>("m_progress"), &QProgressBar::valueChanged, [&] {
        if (!clicked &&
            fs::exists(testing::partial_folder_of(cancelled / "001") + "/slice003.pbm")) {
            clicked = true;
            QTimer::singleShot(0, [&] { QTest::mouseClick(generate(), Qt::LeftButton); });
        }
    });
    seed_from_time(1733650000);
    {
        BoxAnswerer answerer(QMessageBox::Ok);
        ASSERT_TRUE(generate_and_wait());
        EXPECT_EQ(answerer.seen().size(), 1u);  // the question only
    }
    ASSERT_TRUE(clicked);
    EXPECT_EQ(status(), "Cancelled: 1 of 3 data sets written.");
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(cancelled.path())) {
        left.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(left, std::vector<std::string>{"000"});

    type(edit("m_outputDirectory"), QString::fromStdString(whole.path().string()));
    seed_from_time(1733650000);
    {
        BoxAnswerer answerer(QMessageBox::Ok);
        ASSERT_TRUE(generate_and_wait());
    }
    EXPECT_EQ(status(), "3 of 3 data sets written.");
    size_t files = 0;
    for (const auto& entry : fs::directory_iterator(whole / "000")) {
        const std::string name = "000/" + entry.path().filename().string();
        EXPECT_EQ(read_file(cancelled / name), read_file(whole / name)) << name;
        ++files;
    }
    EXPECT_EQ(files, 50u + 1u);
}

TEST_F(GeneratorDialog, CancelWritesNothingButTheCountWasDrawn) {
    ScratchDir out;
    fill_example(out.path().string());
    seed_from_time(1733650000);
    const int32_t before = Random::state();
    BoxAnswerer answerer(QMessageBox::Cancel);
    EXPECT_TRUE(!generate_and_wait());
    ASSERT_EQ(answerer.seen().size(), 1u);
    EXPECT_FALSE(dialog_.isRunning());
    EXPECT_TRUE(fs::is_empty(out.path()));
    EXPECT_NE(Random::state(), before);
    EXPECT_EQ(find<QProgressBar>("m_progress")->value(), 0);
}

// Found before the question and before the count is drawn, with the cursor in the folder.
TEST_F(GeneratorDialog, MissingOutputFolderIsFoundBeforeTheQuestion) {
    ScratchDir out;
    fill_example(out / "missing");
    type(edit("m_prefix"), "p");
    const int32_t state = Random::state();
    BoxAnswerer answerer(QMessageBox::Ok);
    EXPECT_TRUE(!generate_and_wait());
    ASSERT_EQ(answerer.seen().size(), 1u);
    EXPECT_EQ(answerer.seen()[0].title, "Brisolt");
    EXPECT_EQ(answerer.seen()[0].text.toStdString(),
              "The output folder '" + (out / "missing") + "' does not exist.");
    EXPECT_EQ(Random::state(), state);
    EXPECT_TRUE(has_focus(edit("m_outputDirectory")));
    EXPECT_TRUE(fs::is_empty(out.path()));
    EXPECT_TRUE(generate()->isEnabled());
}

// Two runs in one window continue one stream: the second run's model.txt says how to make its
// data sets again, and the batch mode does so byte for byte.
TEST_F(GeneratorDialog, ModelFileReproducesTheSecondRunOfAWindow) {
    ScratchDir first;
    ScratchDir second;
    ScratchDir again;
    fill_example(first.path().string());
    type(spin("m_maxZ"), "8");
    type(edit("m_prefix"), "r");
    seed_from_time(1733650000);
    BoxAnswerer answerer(QMessageBox::Ok);
    ASSERT_TRUE(generate_and_wait());
    type(edit("m_outputDirectory"), QString::fromStdString(second.path().string()));
    type(edit("m_lambda"), "0.0015");
    type(spin("m_count"), "2");
    QTest::mouseClick(find<QAbstractButton>("m_newCount"), Qt::LeftButton);
    ASSERT_TRUE(generate_and_wait());
    ASSERT_EQ(answerer.seen().size(), 2u);

    formats::ModelRecord record;
    std::string error;
    ASSERT_TRUE(formats::read_model_file(second / "r001/model.txt", record, error)) << error;
    EXPECT_EQ(record.seed, 1733650000);
    EXPECT_GT(record.skip, 0u);  // the first run's draws
    std::vector<std::string> args;
    for (const QString& word : QString::fromStdString(record.reproduce).split(' ')) {
        args.push_back(word.toStdString());
    }
    args.insert(args.end(), {"--out", again.path().string(), "--yes"});
    const auto batch = run_process(BRISOLT_EXECUTABLE, args);
    ASSERT_EQ(batch.status, 0) << batch.err << record.reproduce;
    size_t files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(second.path())) {
        if (entry.is_regular_file()) {
            const fs::path name = fs::relative(entry.path(), second.path());
            EXPECT_EQ(read_file(entry.path()), read_file(again.path() / name)) << name;
            ++files;
        }
    }
    EXPECT_EQ(files, 2u * (8u + 1u));
    // Each data set drew its own count.
    formats::ModelRecord other;
    ASSERT_TRUE(formats::read_model_file(second / "r000/model.txt", other, error)) << error;
    EXPECT_NE(other.balls, record.balls);
}

TEST_F(GeneratorDialog, ParametersThatCannotMakeARunAreRefusedBeforeTheQuestion) {
    ScratchDir out;
    fill_example(out.path().string());
    type(edit("m_parameter1"), "20");
    type(edit("m_parameter2"), "30");
    BoxAnswerer answerer(QMessageBox::Ok);
    EXPECT_TRUE(!generate_and_wait());
    ASSERT_EQ(answerer.seen().size(), 1u);
    EXPECT_EQ(answerer.seen()[0].title, "Error");
    EXPECT_EQ(answerer.seen()[0].text,
              "No radius from 0 to 5 (Max) can come from the Uniform law from 20 to 30.");
    EXPECT_TRUE(fs::is_empty(out.path()));
}

// What the user typed stays as typed; reading it refuses it with a message that names the
// field and puts the focus there; typing alone marks the field and never opens a box.
TEST_F(GeneratorDialog, FieldsKeepWhatWasTypedAndReadingRefusesItWithItsName) {
    fill_example("/tmp");
    BoxAnswerer answerer;
    type(spin("m_maxX"), "1001");
    EXPECT_EQ(spin("m_maxX")->text(), "1001");
    EXPECT_TRUE(answerer.seen().empty());
    EXPECT_FALSE(generate()->isEnabled());
    EXPECT_EQ(status(), "Max. x: 1001 is above 1000.");
    EXPECT_EQ(spin("m_maxX")->toolTip(), "Max. x: 1001 is above 1000.");
    EXPECT_EQ(generate()->toolTip(), "Max. x: 1001 is above 1000.");
    edit("m_prefix")->setFocus();
    QTest::mouseClick(find<QPushButton>("m_browse"), Qt::LeftButton);
    ASSERT_EQ(answerer.seen().size(), 1u);
    EXPECT_EQ(answerer.seen()[0].title, "Brisolt");
    EXPECT_EQ(answerer.seen()[0].text, "Max. x: 1001 is above 1000.");
    EXPECT_TRUE(has_focus(spin("m_maxX")));
    EXPECT_TRUE(picker_starts_.empty());
    // The arrows step from the typed number into the range.
    QTest::keyClick(spin("m_maxX"), Qt::Key_Down);
    EXPECT_EQ(spin("m_maxX")->text(), "1000");
    QTest::keyClick(spin("m_maxX"), Qt::Key_Down);
    EXPECT_EQ(spin("m_maxX")->text(), "999");
    EXPECT_TRUE(generate()->isEnabled());
    EXPECT_EQ(spin("m_maxX")->toolTip(), "");
    EXPECT_EQ(status(), "");

    type(edit("m_lambda"), "0,001");  // read in the C locale, never as 1
    EXPECT_EQ(edit("m_lambda")->text(), "0,001");
    EXPECT_FALSE(generate()->isEnabled());
    EXPECT_EQ(status(), "Lambda: \"0,001\" is not a number; decimals take a point: 0.001.");
    type(edit("m_lambda"), "0.001");
    type(spin("m_maxY"), "-5");
    // 0 reads but makes no run: the message gives the sizes that do.
    EXPECT_EQ(status(), "Max. y: -5 is negative: give a whole number from 1 to 1000.");
    type(spin("m_maxY"), "50");

    // The count and the prefix leave Generate alone: Generate reports them.
    ASSERT_TRUE(generate()->isEnabled());
    type(edit("m_prefix"), "../escaped");
    EXPECT_EQ(status(),
              "Prefix: \"../escaped\" holds a path separator: a prefix only starts names "
              "inside the output folder.");
    EXPECT_TRUE(!generate_and_wait());
    ASSERT_EQ(answerer.seen().size(), 2u);
    EXPECT_EQ(answerer.seen()[1].text, status());
    EXPECT_TRUE(has_focus(edit("m_prefix")));
    type(edit("m_prefix"), "p");
    type(spin("m_count"), "");
    EXPECT_TRUE(!generate_and_wait());
    ASSERT_EQ(answerer.seen().size(), 3u);
    EXPECT_EQ(answerer.seen()[2].text, "Data sets Count: the field is empty.");
    EXPECT_TRUE(has_focus(spin("m_count")));
    EXPECT_FALSE(dialog_.isRunning());
}

TEST_F(GeneratorDialog, BrowseStartsAtTheFieldOrTheCurrentFolder) {
    fill_example("/tmp");
    edit("m_outputDirectory")->clear();
    EXPECT_FALSE(generate()->isEnabled());
    picker_answer_ = "/var/tmp";
    QTest::mouseClick(find<QPushButton>("m_browse"), Qt::LeftButton);
    ASSERT_EQ(picker_starts_.size(), 1u);
    EXPECT_EQ(picker_starts_[0], QDir::currentPath());
    EXPECT_EQ(edit("m_outputDirectory")->text(), "/var/tmp");
    EXPECT_TRUE(generate()->isEnabled());
    picker_answer_.clear();  // the user cancels
    QTest::mouseClick(find<QPushButton>("m_browse"), Qt::LeftButton);
    ASSERT_EQ(picker_starts_.size(), 2u);
    EXPECT_EQ(picker_starts_[1], "/var/tmp");
    EXPECT_EQ(edit("m_outputDirectory")->text(), "/var/tmp");
}

TEST_F(GeneratorDialog, AboutBoxFromTheContextMenu) {
    EXPECT_EQ(dialog_.contextMenuPolicy(), Qt::ActionsContextMenu);
    const QList<QAction*> actions = dialog_.actions();
    ASSERT_EQ(actions.size(), 2);
    EXPECT_TRUE(actions[0]->isSeparator());
    EXPECT_EQ(actions[1], dialog_.aboutAction());
    EXPECT_EQ(actions[1]->text(), "&About Brisolt...");
    BoxAnswerer answerer;
    dialog_.aboutAction()->trigger();
    ASSERT_EQ(answerer.seen().size(), 1u);
    EXPECT_EQ(answerer.seen()[0].title, "About Brisolt");
    EXPECT_EQ(answerer.seen()[0].text, "Brisolt Version 1.0");
}

TEST_F(GeneratorDialog, EnterNeverClosesTheDialog) {
    fill_example("/tmp");
    BoxAnswerer answerer;
    for (QWidget* field :
         {static_cast<QWidget*>(spin("m_maxX")), static_cast<QWidget*>(edit("m_lambda")),
          static_cast<QWidget*>(edit("m_prefix")),
          static_cast<QWidget*>(edit("m_outputDirectory"))}) {
        field->setFocus();
        QTest::keyClick(dialog_.focusWidget(), Qt::Key_Return);
        QTest::keyClick(dialog_.focusWidget(), Qt::Key_Enter, Qt::KeypadModifier);
    }
    type(edit("m_lambda"), "1e");
    QTest::keyClick(edit("m_lambda"), Qt::Key_Return);
    EXPECT_TRUE(dialog_.isVisible());
    EXPECT_TRUE(answerer.seen().empty());
    EXPECT_FALSE(dialog_.isRunning());
}

// The law's labels and the hidden second parameter move nothing; a wider window gives the
// width to the fields.
TEST_F(GeneratorDialog, LayoutHoldsStillAndWidensTheFields) {
    const QSize size = dialog_.size();
    const QRect p1 = edit("m_parameter1")->geometry();
    const int lambda = edit("m_lambda")->width();
    const int folder = edit("m_outputDirectory")->width();
    choose_law(2);
    QApplication::processEvents();
    EXPECT_EQ(dialog_.size(), size);
    EXPECT_EQ(edit("m_parameter1")->geometry(), p1);
    dialog_.resize(size.width() + 300, size.height() + 300);
    QApplication::processEvents();
    EXPECT_EQ(dialog_.height(), size.height());
    EXPECT_GT(edit("m_lambda")->width(), lambda + 100);
    EXPECT_GT(edit("m_parameter1")->width(), p1.width() + 100);
    EXPECT_GT(edit("m_outputDirectory")->width(), folder + 250);
}

TEST_F(GeneratorDialog, EscapeCloses) {
    QTest::keyClick(&dialog_, Qt::Key_Escape);
    EXPECT_FALSE(dialog_.isVisible());
    EXPECT_EQ(dialog_.result(), QDialog::Rejected);
}

TEST(GeneratorProgram, SavesAScreenshotOnRequest) {
    ScratchDir dir;
    const std::string path = dir / "brisolt.png";
    const auto result = run_process(BRISOLT_EXECUTABLE, {"--screenshot", path});
    ASSERT_EQ(result.status, 0) << result.err;
    const QImage image(QString::fromStdString(path));
    EXPECT_GT(image.width(), 300);
    EXPECT_GT(image.height(), 250);
    const auto missing = run_process(BRISOLT_EXECUTABLE, {"--screenshot"});
    EXPECT_EQ(missing.status, 2);
}

TEST(GeneratorProgram, InstallsTheProgramItsMenuEntryAndIcon) {
    ScratchDir prefix;
    const auto install = run_process(
        CMAKE_COMMAND,
        {"--install", BUILD_DIR, "--component", "brisolt", "--prefix", prefix.path().string()});
    ASSERT_EQ(install.status, 0) << install.err;
    EXPECT_TRUE(fs::exists(prefix / "bin/Brisolt"));
    EXPECT_TRUE(fs::exists(prefix / "share/icons/hicolor/scalable/apps/brisolt.svg"));
    const std::string entry = read_file(prefix / "share/applications/brisolt.desktop");
    EXPECT_TRUE(entry.starts_with("[Desktop Entry]\n"));
    EXPECT_NE(entry.find("\nExec=Brisolt\n"), std::string::npos);
    EXPECT_NE(entry.find("\nIcon=brisolt\n"), std::string::npos);
    EXPECT_NE(entry.find("\nType=Application\n"), std::string::npos);
}

}  // namespace
}  // namespace brisolt
