// The Results table's rows as a Qt item model: the numbers shown shorter (the tool tip and
// the sort key hold the full value, the titles' tool tips say what each column holds), and the
// rows in the order of the runs.
#pragma once

#include <QAbstractTableModel>
#include <vector>

#include "result_rows.h"

namespace quenbar {

class ResultsModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    using QAbstractTableModel::QAbstractTableModel;

    // The role that sorts: numbers by value, text by text.
    static constexpr int kSortRole = Qt::UserRole;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // Appends a row and returns its index, which stays valid until Clear.
    int AddRow(ResultRow row);
    const ResultRow& Row(int index) const { return m_rows[static_cast<size_t>(index)]; }
    // Changes a row and tells the views.
    void SetRow(int index, ResultRow row);
    const std::vector<ResultRow>& Rows() const { return m_rows; }
    void Clear();

    // The rows, when any changed since the table was last saved as CSV or cleared; else 0.
    int UnsavedRows() const;
    void MarkSaved() { m_saved = true; }

  private:
    std::vector<ResultRow> m_rows;
    bool m_saved = true;
};

}  // namespace quenbar
