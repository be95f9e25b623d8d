#include "main_dialog.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <utility>

#include "child_runner.h"
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
        return QFileDialog::getSaveFileName(parent, QString(), QString(), kAllFiles);
    };
    services.pick_folder = PickFolder;
    services.estimator = LocateExecutable(kEstimatorName, QCoreApplication::applicationDirPath());
    return services;
}

CMainDialog::CMainDialog(DialogServices services, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::CMainDialog>()), m_services(std::move(services)) {
    m_ui->setupUi(this);
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

    connect(m_ui->ballsBrowseButton, &QPushButton::clicked, this, &CMainDialog::OnBrowseBallsFile);
    connect(m_ui->ballsFileEdit, &QLineEdit::textChanged, this, &CMainDialog::OnBallsFileChanged);
    connect(m_ui->epsilonSpin, &QSpinBox::textChanged, this, &CMainDialog::UpdateStartButton);
    connect(m_ui->dataSetList, &CEditListBox::selectionChanged, this,
            &CMainDialog::UpdateStartButton);
    connect(m_ui->startButton, &QPushButton::clicked, this, &CMainDialog::OnStart);
    connect(m_ui->stopButton, &QPushButton::clicked, this, &CMainDialog::OnStop);
    connect(m_ui->exitButton, &QPushButton::clicked, this, &CMainDialog::reject);
    connect(&m_timer, &QTimer::timeout, this, &CMainDialog::OnTimer);
    connect(m_ui->outputBrowseButton, &QPushButton::clicked, this,
            &CMainDialog::OnBrowseOutputFile);
    // The results file is touched only for a finished name, never for one half typed.
    connect(m_ui->outputFileEdit, &QLineEdit::editingFinished, this,
            &CMainDialog::OnOutputFileChanged);
    connect(m_ui->outputFileEdit, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (text != m_checkedOutput) {
            m_checkedOutput.clear();
        }
        UpdateStartButton();
    });
    m_ready = true;
}

CMainDialog::~CMainDialog() = default;

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
    m_ballCount = 0;
    if (!path.isEmpty()) {
        m_ballCount = CountBalls(path.toStdString());
        if (m_ballCount < 0) {
            ReportUnusableFile(path);
            // Emptying the field runs this handler again, which disables epsilon.
            m_ui->ballsFileEdit->clear();
            m_ballCount = 0;
            return;
        }
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
}

bool CMainDialog::OnOutputFileChanged() {
    const QString path = m_ui->outputFileEdit->text();
    if (path.isEmpty() || path == m_checkedOutput) {
        return true;
    }
    if (!EmptyResultsFile(path.toStdString())) {
        ReportUnusableFile(path);
        m_ui->outputFileEdit->clear();
        return false;
    }
    m_checkedOutput = path;
    UpdateStartButton();
    return true;
}

void CMainDialog::OnBrowseBallsFile() {
    const QString path = m_services.pick_balls_file(this);
    if (!path.isEmpty()) {
        m_ui->ballsFileEdit->setText(QDir::toNativeSeparators(path));
    }
}

void CMainDialog::OnBrowseOutputFile() {
    const QString path = m_services.pick_output_file(this);
    if (!path.isEmpty()) {
        m_ui->outputFileEdit->setText(QDir::toNativeSeparators(path));
        OnOutputFileChanged();
    }
}

void CMainDialog::SetRunning(bool running) {
    m_ui->startButton->setEnabled(!running);
    m_ui->stopButton->setEnabled(running);
    for (QWidget* control : std::initializer_list<QWidget*>{
             m_ui->ballsFileEdit, m_ui->ballsBrowseButton, m_ui->epsilonSpin, m_ui->dataSetList,
             m_ui->verboseCheck, m_ui->outputFileEdit, m_ui->outputBrowseButton}) {
        control->setEnabled(!running);
    }
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
    // A results file typed but not yet confirmed by leaving the field.
    if (!OnOutputFileChanged()) {
        return;
    }
    m_dataSets.clear();
    for (int i = 0; i < m_ui->dataSetList->GetCount(); ++i) {
        CollectDataSets(m_ui->dataSetList->GetText(i), m_dataSets);
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
    const EstimatorSettings settings{
        m_ui->ballsFileEdit->text().toStdString(), m_ui->epsilonSpin->value(),
        m_ui->outputFileEdit->text().toStdString(), m_ui->verboseCheck->isChecked()};
    const std::string& data_set = m_dataSets[m_current];
    QStringList arguments;
    for (const std::string& argument : BuildArguments(settings, data_set)) {
        arguments << QString::fromStdString(argument);
    }
    m_runner = new CChildRunner(m_services.estimator, arguments, *m_ui->outputPane);
    m_runner->setParent(this);
    CChildRunner* runner = m_runner;
    connect(runner, &CChildRunner::finished, this, [this, runner] { OnRunnerFinished(runner); });
    if (settings.verbose) {
        AppendOutput(
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
    ++m_current;
    RunDataSet();
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
    m_current = m_dataSets.size();
    SetRunning(false);
    emit runEnded();
}

void CMainDialog::reject() {
    if (m_runner != nullptr) {
        m_runner->Cancel();
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
    box.setIconPixmap(windowIcon().pixmap(32, 32));
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

}  // namespace quenbar
