// Quenbar's dialog: the discretized-balls file, epsilon, the list of data-set directories, the
// results file and Verbose; Start runs the estimator once per data set, one after the other,
// and shows all it writes in the output pane. The message box, the pickers and the estimator's
// path are passed in, so that tests can stand in for them.
#pragma once

#include <QDialog>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "edit_list_box.h"

namespace Ui {
class CMainDialog;
}

namespace quenbar {

class CChildRunner;

// Shows an error `text` captioned `caption` and returns when the user has read it.
using MessageShower =
    std::function<void(QWidget* parent, const QString& caption, const QString& text)>;
// Asks the user for a file; an empty text when the user cancels.
using FilePicker = std::function<QString(QWidget* parent)>;

struct DialogServices {
    MessageShower show_error;
    FilePicker pick_balls_file;
    FilePicker pick_output_file;
    FolderPicker pick_folder;
    QString estimator;  // the talvik executable
};

// The system's message box, open file and save file dialogs, and talvik beside the program
// or on PATH.
DialogServices SystemServices();

class CMainDialog : public QDialog {
    Q_OBJECT

  public:
    explicit CMainDialog(DialogServices services = SystemServices(), QWidget* parent = nullptr);
    ~CMainDialog() override;

    // Start was pressed, and neither Stop nor the end of the last data set has come yet.
    bool IsRunning() const { return m_runner != nullptr || m_waitingForStopped; }

  signals:
    // The last data set of a run is done, or the run was stopped.
    void runEnded();

  public slots:
    void reject() override;

  private:
    void UpdateStartButton();
    void OnBallsFileChanged();
    // Creates or empties the named results file once per name; false, after the message,
    // when it cannot be written.
    bool OnOutputFileChanged();
    void OnBrowseBallsFile();
    void OnBrowseOutputFile();
    void OnStart();
    void OnStop();
    void OnTimer();
    void OnAbout();
    void RunDataSet();
    void OnRunnerFinished(CChildRunner* runner);
    void SetRunning(bool running);
    void ReportUnusableFile(const QString& path);

    std::unique_ptr<Ui::CMainDialog> m_ui;
    DialogServices m_services;
    QTimer m_timer;
    bool m_ready = false;
    int m_ballCount = 0;
    size_t m_current = 0;
    std::vector<std::string> m_dataSets;
    // The runner of the running child; a stopped one stays in m_stopped until its child
    // has ended, and the next run waits for that.
    CChildRunner* m_runner = nullptr;
    CChildRunner* m_stopped = nullptr;
    bool m_waitingForStopped = false;
    QString m_checkedOutput;  // the results file last created or emptied
};

}  // namespace quenbar
