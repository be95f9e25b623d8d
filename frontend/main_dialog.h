// Quenbar's dialog: the discretized-balls file, epsilon, the list of data-set directories, the
// results file and Verbose; Start runs the estimator once per data set, one after the other,
// shows all it writes in the output pane and adds a row per data set to the Results table.
// The message boxes, the pickers and the estimator's path are passed in, so that tests can
// stand in for them.
#pragma once

#include <QDialog>
#include <QString>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "dialog_services.h"
#include "edit_list_box.h"
#include "run_preparation.h"

class QLineEdit;

namespace Ui {
class CMainDialog;
}

namespace quenbar {

class CChildRunner;
class CResultsView;

class CMainDialog : public QDialog {
    Q_OBJECT

  public:
    explicit CMainDialog(DialogServices services = SystemServices(), QWidget* parent = nullptr);
    ~CMainDialog() override;

    // Start was pressed, and neither Stop nor the end of the last data set has come yet.
    bool IsRunning() const { return m_runner != nullptr || m_waitingForStopped; }

    CResultsView& Results();

  signals:
    // The last data set of a run is done, or the run was stopped.
    void runEnded();

  public slots:
    void reject() override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void UpdateStartButton();
    // The settings of a run as the fields hold them.
    EstimatorSettings Settings() const;
    // Both file fields are checked when their editing is finished (Enter, the focus leaving
    // the field, Browse), never for a half-typed name.
    void OnBallsFileChanged();
    // Creates the named results file, or empties it or keeps it for appending as the user
    // chooses; false, after a message, when the name cannot be used.
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
    void CancelRemainingRows();
    void ReportUnusableFile(const QString& path);
    void RestoreOutputField();

    std::unique_ptr<Ui::CMainDialog> m_ui;
    DialogServices m_services;
    QTimer m_timer;
    bool m_ready = false;
    int m_ballCount = 0;
    size_t m_current = 0;
    std::vector<std::string> m_dataSets;
    std::vector<int> m_rowOfDataSet;  // the Results row of each data set of the run
    QString m_runOutput;              // what the running child has written so far
    // The runner of the running child; a stopped one stays in m_stopped until its child
    // has ended, and the next run waits for that.
    CChildRunner* m_runner = nullptr;
    CChildRunner* m_stopped = nullptr;
    bool m_waitingForStopped = false;
    QString m_checkedBalls;    // the balls file text last checked
    QString m_checkedOutput;   // the field's text when it was last accepted, until it changes
    QString m_acceptedOutput;  // the results file last accepted: Cancel goes back to it
    bool m_checkingOutput = false;
};

}  // namespace quenbar
