// Brisolt's dialog: the box, the intensity, the radius law, the number of data sets and the
// output folder; Generate samples and writes the data sets after one confirmation.
#pragma once

#include <QDialog>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

#include "boolean_model.h"
#include "dialog_rules.h"
#include "generator_run.h"

class QAction;
class QLineEdit;

namespace Ui {
class CGeneratorDialog;
}

namespace brisolt {

class CTypedSpinBox;

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
    // Exit, Escape and the close box; during a run, only once the user agrees to cancel it.
    void reject() override;

  signals:
    void runFinished();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private slots:
    void OnGenerate();
    void OnCancel();
    void OnBrowse();
    void OnDistributionChanged(int index);
    void UpdateGenerateButton();
    void OnAbout();
    void OnRunStep();
    void showFieldProblems();

  private:
    enum class Report { silently, withMessage };

    // One field as the dialog reads it: the field, its name in messages and its text's
    // reading into `m_fields` (or a scratch copy).
    struct FieldReader {
        QWidget* field;
        std::function<FieldRead(GenerationRequest&)> read;
    };
    std::vector<FieldReader> fieldReaders();

    // Reads the fields in the order of the original data exchange into m_fields, stopping at
    // the first that does not read; with a message that names it and the focus on it.
    bool readFields(Report report);
    void setRunning(bool running);
    // The tooltips that say what the fields mean; a field's problem is shown above its own.
    void setHelp();
    void finishRun();
    void showRunError(const std::string& text);
    void setStatus(const QString& text);
    void showStatus();

    std::unique_ptr<Ui::CGeneratorDialog> ui;
    QAction* m_about = nullptr;
    bool m_ready = false;
    GenerationRequest m_fields;
    // Kept from one run to the next, like the stream they draw from.
    BallSources m_sources;
    std::unique_ptr<GenerationRun> m_run;
    QTimer m_runTimer;
    std::chrono::milliseconds m_runSlice{40};
    FolderPicker m_pickFolder;
    // How the last run ended, shown while no field has a problem.
    QString m_runSummary;
    QString m_statusText;
};

}  // namespace brisolt
