#include "main_dialog.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFocusEvent>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopedValueRollback>
#include <QScreen>
#include <utility>

#include "child_runner.h"
#include "estimator_output.h"
#include "formats/balls_file.h"
#include "formats/results_file.h"
#include "result_rows.h"
#include "results_view.h"
#include "run_preparation.h"
#include "ui_main_dialog.h"

namespace quenbar {
namespace {

constexpr const char* kCaption = "Quenbar";
// The file pickers offer every file; "*" is the platform's pattern for it.
constexpr const char* kAllFiles = "All Files (*)";

}  // namespace

DialogServices SystemServices() {
    DialogServices services;
    services.show_error = [](QWidget* parent, const QString& caption, const QString& text) {
        QMessageBox::critical(parent, caption, text);
    };
    services.pick_balls_file = [](QWidget* parent) {
        return QFileDialog::getOpenFileName(parent, QString(), QString(), kAllFiles);
    };
    services.pick_output_file = [](QWidget* parent) {
        return QFileDialog::getSaveFileName(parent, QString(), QString(), kAllFiles, nullptr,
                                            QFileDialog::DontConfirmOverwrite);
    };
    services.pick_folder = PickFolder;
    services.ask_results_file = [](QWidget* parent, const QString& path, int rows) {
        QMessageBox box(QMessageBox::Question, kCaption,
                        path +
                            QStringLiteral("\nalready holds %1 of results.\n\n")
                                .arg(rows == 1 ? QStringLiteral("1 row")
                                               : QStringLiteral("%1 rows").arg(rows)) +
                            QStringLiteral("Empty it before the run, or append the new rows?"),
                        QMessageBox::NoButton, parent);
        QPushButton* empty = box.addButton(QStringLiteral("Empty"), QMessageBox::DestructiveRole);
        QPushButton* append = box.addButton(QStringLiteral("Append"), QMessageBox::AcceptRole);
        QPushButton* cancel = box.addButton(QMessageBox::Cancel);
        box.setDefaultButton(append);
        box.setEscapeButton(cancel);
        box.exec();
        return box.clickedButton() == empty    ? ResultsChoice::empty
               : box.clickedButton() == append ? ResultsChoice::append
                                               : ResultsChoice::cancel;
    };
    services.pick_save_file = [](QWidget* parent, const QString& title, const QString& filter) {
        QFileDialog picker(parent, title, QString(), filter);
        picker.setAcceptMode(QFileDialog::AcceptSave);
        // A name typed without a suffix gets the format's, and the overwrite question is asked
        // for that name.
        const QRegularExpressionMatch suffix =
            QRegularExpression(QStringLiteral("\\(\\*\\.(\\w+)\\)")).match(filter);
        if (suffix.hasMatch()) {
            picker.setDefaultSuffix(suffix.captured(1));
        }
        return picker.exec() == QDialog::Accepted && !picker.selectedFiles().isEmpty()
                   ? picker.selectedFiles().first()
                   : QString();
    };
    services.ask_close = [](QWidget* parent, const QString& text) {
        QMessageBox box(QMessageBox::Warning, kCaption, text, QMessageBox::NoButton, parent);
        QPushButton* save =
            box.addButton(QStringLiteral("Save as CSV..."), QMessageBox::AcceptRole);
        QPushButton* discard = box.addButton(QMessageBox::Discard);
        QPushButton* cancel = box.addButton(QMessageBox::Cancel);
        box.setDefaultButton(save);
        box.setEscapeButton(cancel);
        box.exec();
        return box.clickedButton() == save      ? CloseChoice::save
               : box.clickedButton() == discard ? CloseChoice::discard
                                                : CloseChoice::cancel;
    };
    services.estimator = LocateExecutable(kEstimatorName, QCoreApplication::applicationDirPath());
    return services;
}

CMainDialog::CMainDialog(DialogServices services, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::CMainDialog>()), m_services(std::move(services)) {
    m_ui->setupUi(this);
    // The form's size suits a desktop screen; on a smaller one the window, with its frame,
    // starts within it.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        resize(size().boundedTo(screen->availableGeometry().size() * 0.9));
    }
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setWindowIcon(QIcon(QStringLiteral(":/quenbar/quenbar.svg")));

    auto* about = new QAction(QStringLiteral("&About Quenbar..."), this);
    connect(about, &QAction::triggered, this, &CMainDialog::OnAbout);
    addAction(about);
    setContextMenuPolicy(Qt::ActionsContextMenu);

    m_ui->startButton->setEnabled(false);
    m_ui->stopButton->setEnabled(false);
    m_ui->helpButton->hide();
    m_ui->dataSetList->SetTitle(QStringLiteral(" Data sets Directories:"));
    m_ui->dataSetList->SetFolderPicker(m_services.pick_folder);
    m_ui->epsilonSpin->setRange(0, 0);
    m_ui->epsilonSpin->setValue(0);
    m_ui->epsilonSpin->setEnabled(false);
    m_ui->progressBar->setRange(0, 100);
    m_ui->progressBar->setValue(0);
    m_timer.setInterval(1000);
    // The epsilon ball's picture and the matrices line up only in a fixed-width font. Read
    // only, but its text can still be selected and copied.
    m_ui->outputPane->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_ui->outputPane->setTextInteractionFlags(Qt::TextSelectableByMouse |
                                              Qt::TextSelectableByKeyboard);
    m_ui->resultsView->SetServices(m_services.pick_save_file, m_services.show_error);

    connect(m_ui->ballsBrowseButton, &QPushButton::clicked, this, &CMainDialog::OnBrowseBallsFile);
    connect(m_ui->ballsFileEdit, &QLineEdit::returnPressed, this, &CMainDialog::OnBallsFileChanged);
    m_ui->ballsFileEdit->installEventFilter(this);
    connect(m_ui->epsilonSpin, &QSpinBox::textChanged, this, &CMainDialog::UpdateStartButton);
    connect(m_ui->dataSetList, &CEditListBox::selectionChanged, this,
            &CMainDialog::UpdateStartButton);
    connect(m_ui->dataSetList, &CEditListBox::entriesChanged, this,
            &CMainDialog::UpdateStartButton);
    connect(m_ui->startButton, &QPushButton::clicked, this, &CMainDialog::OnStart);
    connect(m_ui->stopButton, &QPushButton::clicked, this, &CMainDialog::OnStop);
    connect(m_ui->exitButton, &QPushButton::clicked, this, &CMainDialog::reject);
    connect(&m_timer, &QTimer::timeout, this, &CMainDialog::OnTimer);
    connect(m_ui->outputBrowseButton, &QPushButton::clicked, this,
            &CMainDialog::OnBrowseOutputFile);
    connect(m_ui->outputFileEdit, &QLineEdit::returnPressed, this,
            &CMainDialog::OnOutputFileChanged);
    m_ui->outputFileEdit->installEventFilter(this);
    connect(m_ui->outputFileEdit, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (text != m_checkedOutput) {
            m_checkedOutput.clear();
        }
        UpdateStartButton();
    });
    m_ready = true;
}

CMainDialog::~CMainDialog() = default;

CResultsView& CMainDialog::Results() {
    return *m_ui->resultsView;
}

// Leaving a file field finishes its editing, unless a click on the field's own Browse button
// took the focus (Browse finishes it itself) or only another window or a menu did.
bool CMainDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::FocusOut) {
        return QDialog::eventFilter(watched, event);
    }
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) {
        return QDialog::eventFilter(watched, event);
    }
    const auto finish = [this, reason](QLineEdit* field, QPushButton* browse,
                                       const QString* checked, auto handler) {
        // A message box must not open inside the focus change: after it.
        QMetaObject::invokeMethod(
            this,
            [this, reason, field, browse, checked, handler] {
                const bool to_browse = reason == Qt::MouseFocusReason && focusWidget() == browse;
                if (field->isEnabled() && field->text() != *checked && !to_browse) {
                    (this->*handler)();
                }
            },
            Qt::QueuedConnection);
    };
    if (watched == m_ui->ballsFileEdit) {
        finish(m_ui->ballsFileEdit, m_ui->ballsBrowseButton, &m_checkedBalls,
               &CMainDialog::OnBallsFileChanged);
    } else if (watched == m_ui->outputFileEdit) {
        finish(m_ui->outputFileEdit, m_ui->outputBrowseButton, &m_checkedOutput,
               &CMainDialog::OnOutputFileChanged);
    }
    return QDialog::eventFilter(watched, event);
}

void CMainDialog::UpdateStartButton() {
    if (!m_ready) {
        return;
    }
    m_ui->startButton->setEnabled(m_ui->dataSetList->GetCount() > 0 &&
                                  !m_ui->ballsFileEdit->text().isEmpty() &&
                                  m_ui->epsilonSpin->value() > 0);
}

void CMainDialog::ReportUnusableFile(const QString& path) {
    m_services.show_error(this, kCaption, path + QStringLiteral("\nCannot open file"));
}

void CMainDialog::OnBallsFileChanged() {
    const QString path = m_ui->ballsFileEdit->text();
    m_checkedBalls = path;
    m_ballCount = 0;
    bool unreadable = false;
    if (!path.isEmpty()) {
        m_ballCount = formats::count_complete_balls(path.toStdString());
        unreadable = m_ballCount < 0;
        m_ballCount = std::max(m_ballCount, 0);
    }
    QSpinBox& spin = *m_ui->epsilonSpin;
    if (m_ballCount > 0) {
        spin.setRange(1, m_ballCount);
        spin.setValue(1);
        spin.setEnabled(true);
    } else {
        spin.setRange(0, 0);
        spin.setValue(0);
        spin.setEnabled(false);
    }
    // The spin's text need not change with its range.
    UpdateStartButton();
    if (unreadable) {
        ReportUnusableFile(path);
        // The name stays, selected, to be corrected.
        m_ui->ballsFileEdit->setFocus(Qt::OtherFocusReason);
        m_ui->ballsFileEdit->selectAll();
    }
}

void CMainDialog::RestoreOutputField() {
    m_ui->outputFileEdit->setText(m_acceptedOutput);
    m_checkedOutput = m_acceptedOutput;
    UpdateStartButton();
}

bool CMainDialog::OnOutputFileChanged() {
    // The question's own focus changes must not ask it again.
    if (m_checkingOutput) {
        return false;
    }
    const QString path = m_ui->outputFileEdit->text();
    if (path.isEmpty() || path == m_checkedOutput) {
        m_checkedOutput = m_acceptedOutput = path;
        UpdateStartButton();
        return true;
    }
    const QScopedValueRollback checking(m_checkingOutput, true);
    const std::string file = path.toStdString();
    using formats::ResultsFilePreparation;
    ResultsFilePreparation prepared = ResultsFilePreparation::rows_changed;
    QString refusal;
    // Looked at again, and asked again, when a run appended rows meanwhile.
    while (prepared == ResultsFilePreparation::rows_changed && refusal.isEmpty()) {
        const formats::ResultsFileCheck check =
            formats::inspect_results_file(file, m_ui->ballsFileEdit->text().toStdString());
        switch (check.kind) {
            case formats::ResultsFileKind::fresh:
                prepared = formats::empty_results_file(file, 0);
                break;
            case formats::ResultsFileKind::results:
                switch (m_services.ask_results_file(this, path, check.rows)) {
                    case ResultsChoice::empty:
                        prepared = formats::empty_results_file(file, check.rows);
                        break;
                    case ResultsChoice::append:
                        prepared = formats::create_results_file(file);
                        break;
                    case ResultsChoice::cancel:
                        RestoreOutputField();
                        return false;
                }
                break;
            case formats::ResultsFileKind::balls_file:
                refusal = QStringLiteral(
                    "This is the discretized balls file: it is never used as "
                    "the results file.");
                break;
            case formats::ResultsFileKind::slice:
                refusal = QStringLiteral(
                    "A *.pbm file is a slice of a data set: it is never used as "
                    "the results file.");
                break;
            case formats::ResultsFileKind::foreign:
                refusal = QStringLiteral(
                              "This file does not begin with \"%1\": it is no "
                              "results file, and it is not emptied.")
                              .arg(QString::fromUtf8(formats::kResultsHeaderWord));
                break;
            case formats::ResultsFileKind::cannot_open:
                prepared = ResultsFilePreparation::cannot_open;
                break;
        }
    }
    if (prepared == ResultsFilePreparation::cannot_lock) {
        refusal = QStringLiteral(
            "This file cannot be locked: its file system does not support locks, which the "
            "runs of talvik need to append their rows.");
    }
    if (!refusal.isEmpty()) {
        m_services.show_error(this, kCaption, path + u'\n' + refusal);
        RestoreOutputField();
        return false;
    }
    if (prepared != ResultsFilePreparation::ready) {
        ReportUnusableFile(path);
        m_ui->outputFileEdit->clear();
        m_checkedOutput = m_acceptedOutput = QString();
        UpdateStartButton();
        return false;
    }
    m_checkedOutput = m_acceptedOutput = path;
    UpdateStartButton();
    return true;
}

void CMainDialog::OnBrowseBallsFile() {
    const QString path = m_services.pick_balls_file(this);
    if (!path.isEmpty()) {
        m_ui->ballsFileEdit->setText(QDir::toNativeSeparators(path));
        OnBallsFileChanged();
    } else if (m_ui->ballsFileEdit->text() != m_checkedBalls) {
        // The focus left the field for this button: its editing is finished.
        OnBallsFileChanged();
    }
}

void CMainDialog::OnBrowseOutputFile() {
    const QString path = m_services.pick_output_file(this);
    if (!path.isEmpty()) {
        m_ui->outputFileEdit->setText(QDir::toNativeSeparators(path));
    }
    if (m_ui->outputFileEdit->text() != m_checkedOutput) {
        OnOutputFileChanged();
    }
}

void CMainDialog::SetRunning(bool running) {
    // The focus passes between Start and Stop; a disabled button would hand it on to Exit.
    QPushButton* const on = running ? m_ui->stopButton : m_ui->startButton;
    QPushButton* const off = running ? m_ui->startButton : m_ui->stopButton;
    on->setEnabled(true);
    if (off->hasFocus()) {
        on->setFocus();
    }
    off->setEnabled(false);
    for (QWidget* control : std::initializer_list<QWidget*>{
             m_ui->ballsFileEdit, m_ui->ballsBrowseButton, m_ui->epsilonSpin, m_ui->dataSetList,
             m_ui->verboseCheck, m_ui->adaptiveCheck, m_ui->outputFileEdit,
             m_ui->outputBrowseButton}) {
        control->setEnabled(!running);
    }
    m_ui->resultsView->SetRunning(running);
    if (running) {
        m_timer.start();
    } else {
        m_timer.stop();
        m_ui->progressBar->setValue(0);
    }
}

void CMainDialog::OnStart() {
    if (m_runner != nullptr || m_waitingForStopped) {
        return;
    }
    // A name typed but not yet finished by Enter or by leaving its field.
    if (m_ui->ballsFileEdit->text() != m_checkedBalls) {
        OnBallsFileChanged();
    }
    if (!OnOutputFileChanged() || !m_ui->startButton->isEnabled()) {
        return;
    }
    m_dataSets.clear();
    m_rowOfDataSet.clear();
    ResultsModel& rows = m_ui->resultsView->Model();
    for (int i = 0; i < m_ui->dataSetList->GetCount(); ++i) {
        const std::string entry = m_ui->dataSetList->GetText(i);
        const size_t first = m_dataSets.size();
        std::string problem;
        CollectDataSets(entry, m_dataSets, &problem);
        if (m_dataSets.size() == first) {
            ResultRow skipped;
            skipped.directory = entry;
            skipped.status = RowStatus::skipped;
            skipped.note = problem;
            rows.AddRow(std::move(skipped));
        }
        for (size_t j = first; j < m_dataSets.size(); ++j) {
            ResultRow waiting;
            waiting.directory = m_dataSets[j];
            m_rowOfDataSet.push_back(rows.AddRow(std::move(waiting)));
        }
    }
    SetRunning(true);
    m_current = 0;
    // A stopped child may still be ending; this run's first child waits for it.
    if (m_stopped != nullptr) {
        m_waitingForStopped = true;
    } else {
        RunDataSet();
    }
}

void CMainDialog::RunDataSet() {
    if (m_current >= m_dataSets.size()) {
        SetRunning(false);
        emit runEnded();
        return;
    }
    const EstimatorSettings settings = Settings();
    const std::string& data_set = m_dataSets[m_current];
    ResultsModel& rows = m_ui->resultsView->Model();
    ResultRow row = rows.Row(m_rowOfDataSet[m_current]);
    row.status = RowStatus::running;
    StartRow(row, settings);
    rows.SetRow(m_rowOfDataSet[m_current], std::move(row));
    m_runOutput.clear();
    QStringList arguments;
    for (const std::string& argument : BuildArguments(settings, data_set)) {
        arguments << QString::fromStdString(argument);
    }
    m_runner = new CChildRunner(m_services.estimator, arguments, *m_ui->outputPane);
    m_runner->setParent(this);
    CChildRunner* runner = m_runner;
    connect(runner, &CChildRunner::finished, this, [this, runner] { OnRunnerFinished(runner); });
    connect(runner, &CChildRunner::relayed, this, [this, runner](const QString& text) {
        if (runner == m_runner) {
            m_runOutput += text;
        }
    });
    // Each run's output under the name of its data set, quiet or verbose.
    AppendBlock(*m_ui->outputPane,
                QStringLiteral("Data set: ") + QString::fromStdString(data_set) + u'\n');
    if (settings.verbose) {
        AppendBlock(
            *m_ui->outputPane,
            "Executing " + QString::fromStdString(BuildCommandLine(settings, data_set)) + "\n\n");
    }
    runner->Run();
}

void CMainDialog::OnRunnerFinished(CChildRunner* runner) {
    runner->deleteLater();
    if (runner == m_stopped) {
        m_stopped = nullptr;
        if (m_waitingForStopped) {
            m_waitingForStopped = false;
            RunDataSet();
        }
        return;
    }
    m_runner = nullptr;
    ResultsModel& rows = m_ui->resultsView->Model();
    const int index = m_rowOfDataSet[m_current];
    ResultRow row = rows.Row(index);
    FinishRow(row, ParseEstimatorOutput(m_runOutput.toStdString()), runner->Failure().toStdString(),
              Settings());
    rows.SetRow(index, std::move(row));
    m_runOutput.clear();
    ++m_current;
    RunDataSet();
}

void CMainDialog::CancelRemainingRows() {
    ResultsModel& rows = m_ui->resultsView->Model();
    for (size_t i = m_current; i < m_rowOfDataSet.size(); ++i) {
        ResultRow row = rows.Row(m_rowOfDataSet[i]);
        if (row.status == RowStatus::waiting) {
            row.note = "not started";
        }
        row.status = RowStatus::cancelled;
        rows.SetRow(m_rowOfDataSet[i], std::move(row));
    }
}

void CMainDialog::OnStop() {
    if (m_waitingForStopped) {
        // The run had not begun its first child yet.
        m_waitingForStopped = false;
    } else if (m_runner != nullptr) {
        m_runner->Cancel();
        m_stopped = std::exchange(m_runner, nullptr);
    } else {
        return;
    }
    CancelRemainingRows();
    m_current = m_dataSets.size();
    SetRunning(false);
    emit runEnded();
}

EstimatorSettings CMainDialog::Settings() const {
    return {m_ui->ballsFileEdit->text().toStdString(), m_ui->epsilonSpin->value(),
            m_ui->outputFileEdit->text().toStdString(), m_ui->verboseCheck->isChecked(),
            m_ui->adaptiveCheck->isChecked()};
}

void CMainDialog::reject() {
    // A run or rows that were never saved are not thrown away unasked.
    const std::string question =
        CloseQuestion(IsRunning(), m_ui->resultsView->Model().UnsavedRows());
    if (!question.empty()) {
        switch (m_services.ask_close(this, QString::fromStdString(question))) {
            case CloseChoice::cancel:
                return;
            case CloseChoice::save:
                // The table as it stands; a run still going is saved with its rows waiting.
                if (!m_ui->resultsView->SaveCsv()) {
                    return;
                }
                break;
            case CloseChoice::discard:
                break;
        }
    }
    if (m_runner != nullptr) {
        m_runner->Cancel();
    }
    if (IsRunning()) {
        CancelRemainingRows();
    }
    m_waitingForStopped = false;
    m_current = m_dataSets.size();
    QDialog::reject();
}

void CMainDialog::OnTimer() {
    int position = m_ui->progressBar->value() + 5;
    if (position > 100) {
        position = 0;
    }
    m_ui->progressBar->setValue(position);
}

void CMainDialog::OnAbout() {
    QMessageBox box(this);
    box.setObjectName(QStringLiteral("aboutBox"));
    box.setWindowTitle(QStringLiteral("About Quenbar"));
    box.setText(QStringLiteral("Quenbar Version 1.5"));
    box.setInformativeText(QStringLiteral(
        "Runs the stereology estimator talvik on each data set and collects its V2, V1 and V0, "
        "with their errors against the truth of Brisolt's models."));
    box.setIconPixmap(windowIcon().pixmap(32, 32));
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

}  // namespace quenbar
