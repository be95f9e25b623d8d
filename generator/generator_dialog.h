// Brisolt's dialog: the box, the intensity, the radius law, the number of data sets and the
// output folder; Generate samples and writes the data sets after one confirmation.
#pragma once

#include <QDialog>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>

#include "boolean_model.h"
#include "generator_run.h"

class QAbstractSpinBox;
class QAction;
class QLineEdit;
class QSpinBox;

namespace Ui {
class CGeneratorDialog;
}

namespace brisolt {

class CGeneratorDialog : public QDialog {
    Q_OBJECT

  public:
    explicit CGeneratorDialog(QWidget* parent = nullptr);
    ~CGeneratorDialog() override;

    // Asks for a folder, starting at `start`; an empty answer changes nothing. The platform's
    // picker unless replaced (tests answer it themselves).
    using FolderPicker = std::function<QString(const QString& start)>;
    void setFolderPicker(FolderPicker picker) { m_pickFolder = std::move(picker); }

    // How long a run holds the event loop at a time (40 ms unless set).
    void setRunSlice(std::chrono::milliseconds slice) { m_runSlice = slice; }

    bool isRunning() const { return m_run != nullptr; }
    QAction* aboutAction() const { return m_about; }

  public slots:
    // Enter in a field: the fields must read, then the dialog closes.
    void accept() override;
    // Exit, Escape and the close box; ignored while a run goes on.
    void reject() override;

  signals:
    void runFinished();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private slots:
    void OnGenerate();
    void OnBrowse();
    void OnDistributionChanged(int index);
    void UpdateGenerateButton();
    void OnAbout();
    void OnRunStep();

  private:
    enum class Report { silently, withMessage };

    // Reads the fields in the order of the original data exchange into m_fields, stopping at
    // the first that does not read; with a message that names it and the focus on it.
    bool readFields(Report report);
    bool readSpin(QSpinBox* spin, const char* name, uint32_t& member, Report report);
    bool readNumber(QLineEdit* edit, const QString& name, double& member, Report report);
    void refuseField(QWidget* field, const QString& message, Report report);
    void setRunning(bool running);
    void showRunError(const std::string& text);

    std::unique_ptr<Ui::CGeneratorDialog> ui;
    QAction* m_about = nullptr;
    bool m_ready = false;
    GenerationRequest m_fields;
    // Kept from one run to the next, like the stream they draw from.
    BallSources m_sources;
    std::unique_ptr<GenerationRun> m_run;
    int32_t m_ballCount = 0;
    QTimer m_runTimer;
    std::chrono::milliseconds m_runSlice{40};
    FolderPicker m_pickFolder;
};

}  // namespace brisolt
