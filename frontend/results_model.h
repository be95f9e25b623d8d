// The Results table's rows as a Qt item model: the results as printed, the truth and the
// errors shown shorter (the tool tip and the sort key hold the full value), and the rows in
// the order of the runs.
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

  private:
    std::vector<ResultRow> m_rows;
};

}  // namespace quenbar
