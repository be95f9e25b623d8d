#include "results_model.h"
#include "formats/numbers.h"

namespace quenbar {
namespace {

bool numeric(int column) {
    return column >= kV2Column && column < kNoteColumn;
}

// The value of a numeric cell; nothing when the row has none.
std::optional<double> number(const ResultRow& row, int column) {
    if (column < kDeColumn) {
        const std::string& text = row.values[static_cast<size_t>(column - kV2Column)];
        double value = 0.0;
        return formats::parse_number(text, value) ? std::optional(value) : std::nullopt;
    }
    if (!row.truth) {
        return std::nullopt;
    }
    if (column == kDeColumn) {
        return row.truth->de;
    }
    if (column < kErrorColumn) {
        return row.truth->values[static_cast<size_t>(column - kTruthColumn)];
    }
    return row.truth->error_percent[static_cast<size_t>(column - kErrorColumn)];
}

QString shown(const ResultRow& row, int column) {
    if (column == kDataSetColumn) {
        return QString::fromStdString(row.directory);
    }
    if (column == kStatusColumn) {
        return QString::fromUtf8(StatusText(row.status));
    }
    if (column == kNoteColumn) {
        return QString::fromStdString(row.note);
    }
    if (column < kDeColumn) {
        return QString::fromStdString(row.values[static_cast<size_t>(column - kV2Column)]);
    }
    const std::optional<double> value = number(row, column);
    if (!value) {
        return {};
    }
    if (column == kDeColumn) {
        return QString::fromStdString(formats::fixed(*value, 6));
    }
    // Five digits of the truth and a tenth of a per cent are what a comparison with an estimate
    // needs; the tooltip, the copied rows and the CSV file hold every digit.
    if (column < kErrorColumn) {
        return QString::fromStdString(formats::scientific(*value, 4));
    }
    const QString number = QString::fromStdString(formats::fixed(*value, 1));
    return *value >= 0 ? u'+' + number : number;
}

}  // namespace

int ResultsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int ResultsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(kColumnTitles.size());
}

QVariant ResultsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) {
        return {};
    }
    const ResultRow& row = Row(index.row());
    const int column = index.column();
    switch (role) {
        case Qt::DisplayRole:
            return shown(row, column);
        case Qt::ToolTipRole: {
            const std::string field = RowFields(row)[static_cast<size_t>(column)];
            return field.empty() ? QVariant() : QString::fromStdString(field);
        }
        case Qt::TextAlignmentRole:
            return numeric(column) ? QVariant(Qt::AlignRight | Qt::AlignVCenter) : QVariant();
        case kSortRole:
            if (numeric(column)) {
                const std::optional<double> value = number(row, column);
                return value ? QVariant(*value) : QVariant();
            }
            return shown(row, column);
        default:
            return {};
    }
}

QVariant ResultsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= columnCount()) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    return QString::fromUtf8(kColumnTitles[static_cast<size_t>(section)]);
}

int ResultsModel::AddRow(ResultRow row) {
    const int index = rowCount();
    beginInsertRows({}, index, index);
    m_rows.push_back(std::move(row));
    endInsertRows();
    return index;
}

void ResultsModel::SetRow(int index, ResultRow row) {
    m_rows[static_cast<size_t>(index)] = std::move(row);
    emit dataChanged(this->index(index, 0), this->index(index, columnCount() - 1));
}

void ResultsModel::Clear() {
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

}  // namespace quenbar
