// The Results tab: the table of every data set run since the program started, the plot of the
// selected row's fit, and the buttons that clear, copy and save them.
#pragma once

#include <QSortFilterProxyModel>
#include <QWidget>
#include <memory>

#include "dialog_services.h"
#include "results_model.h"

namespace Ui {
class CResultsView;
}

namespace quenbar {

class CResultsView : public QWidget {
    Q_OBJECT

  public:
    explicit CResultsView(QWidget* parent = nullptr);
    ~CResultsView() override;

    void SetServices(SaveFilePicker pick_save_file, MessageShower show_error);
    ResultsModel& Model() { return m_model; }
    // During a run the rows are still being filled: they cannot be cleared.
    void SetRunning(bool running);
    // Makes the row (an index of the model) the current one, which plots it.
    void SelectRow(int row);

    // The selected rows, in the table's order, as tab-separated text.
    QString SelectedRowsText() const;

  public slots:
    void Copy();
    // False when the user cancelled or the file could not be written (after a message).
    bool SaveCsv();
    void SavePng();
    void SaveSvg();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void ShowCurrentRow();
    void UpdateButtons();
    void UpdateColumns();
    std::vector<int> SelectedRows() const;
    // The rows at places `rows` of the table as shown.
    std::vector<const ResultRow*> ShownRows(const std::vector<int>& rows) const;
    // The picked path, with the format's suffix added when its name has none.
    QString PickSaveFile(const QString& title, const QString& filter, const char* suffix);

    std::unique_ptr<Ui::CResultsView> m_ui;
    ResultsModel m_model;
    QSortFilterProxyModel m_sorted;
    SaveFilePicker m_pickSaveFile;
    MessageShower m_showError;
    bool m_running = false;
};

}  // namespace quenbar
