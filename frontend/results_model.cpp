#include "results_model.h"

#include <cmath>

#include "formats/numbers.h"

namespace quenbar {
namespace {

bool numeric(int column) {
    return column >= kV2Column && column < kNoteColumn;
}

std::optional<double> parsed(const std::string& text) {
    double value = 0.0;
    return formats::parse_number(text, value) ? std::optional(value) : std::nullopt;
}

// The value of a numeric cell; nothing when the row has none. An error near zero is the
// difference, any other the per cent.
std::optional<double> number(const ResultRow& row, int column) {
    if (column < kErrorColumn) {
        return parsed(row.values[static_cast<size_t>(column - kV2Column)]);
    }
    if (column >= kStandardErrorColumn && column < kErrorInSeColumn) {
        return row.standard_errors
                   ? parsed(
                         (*row.standard_errors)[static_cast<size_t>(column - kStandardErrorColumn)])
                   : std::nullopt;
    }
    if (column == kBallsUsedColumn) {
        return row.balls_used ? std::optional<double>(row.balls_used->used) : std::nullopt;
    }
    if (!row.truth) {
        return std::nullopt;
    }
    const RowTruth& truth = *row.truth;
    if (column < kStandardErrorColumn) {
        const auto k = static_cast<size_t>(column - kErrorColumn);
        return truth.near_zero[k] ? truth.difference[k] : truth.error_percent[k];
    }
    if (column < kBallsUsedColumn) {
        return truth.error_in_se
                   ? std::optional(
                         (*truth.error_in_se)[static_cast<size_t>(column - kErrorInSeColumn)])
                   : std::nullopt;
    }
    if (column == kDeColumn) {
        return truth.de;
    }
    return truth.values[static_cast<size_t>(column - kTruthColumn)];
}

QString signed_text(double value, const std::string& digits) {
    return QString::fromStdString(value >= 0 ? "+" + digits : digits);
}

// Five digits of a density and a tenth of a per cent are what a comparison needs; the
// tooltip, the copied rows and the CSV file hold every digit.
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
    if (column == kBallsUsedColumn) {
        return row.balls_used ? QStringLiteral("1..%1 of %2")
                                    .arg(row.balls_used->used)
                                    .arg(row.balls_used->count)
                              : QString();
    }
    const std::optional<double> value = number(row, column);
    if (!value) {
        return {};
    }
    if (column == kDeColumn) {
        return QString::fromStdString(formats::fixed(*value, 6));
    }
    if (column >= kErrorColumn && column < kStandardErrorColumn) {
        if (row.truth->near_zero[static_cast<size_t>(column - kErrorColumn)]) {
            return QStringLiteral("Δ ") + signed_text(*value, formats::scientific(*value, 2));
        }
        return signed_text(*value, formats::fixed(*value, 1)) + QStringLiteral(" %");
    }
    if (column >= kErrorInSeColumn && column < kBallsUsedColumn) {
        return signed_text(*value, formats::fixed(*value, 1));
    }
    return QString::fromStdString(formats::scientific(*value, 4));
}

// Every digit of a cell, with what it is.
QString full_text(const ResultRow& row, int column) {
    if (column == kDataSetColumn || column == kStatusColumn || column == kNoteColumn ||
        column == kBallsUsedColumn) {
        return shown(row, column);
    }
    if (column < kErrorColumn) {
        return QString::fromStdString(row.values[static_cast<size_t>(column - kV2Column)]);
    }
    if (column >= kStandardErrorColumn && column < kErrorInSeColumn) {
        return row.standard_errors
                   ? QString::fromStdString(
                         (*row.standard_errors)[static_cast<size_t>(column - kStandardErrorColumn)])
                   : QString();
    }
    const std::optional<double> value = number(row, column);
    if (!value) {
        return {};
    }
    const QString digits = QString::fromStdString(formats::general(*value, 17));
    if (column >= kErrorColumn && column < kStandardErrorColumn) {
        const auto k = static_cast<size_t>(column - kErrorColumn);
        const RowTruth& truth = *row.truth;
        const QString percent =
            QString::fromStdString(formats::general(truth.error_percent[k], 17)) + " %";
        return truth.near_zero[k] ? QStringLiteral(
                                        "estimate - truth = %1; the truth is near zero, and in per "
                                        "cent of it the error would read %2")
                                        .arg(digits, percent)
                                  : percent;
    }
    return digits;
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
            const QString text = full_text(row, column);
            return text.isEmpty() ? QVariant() : text;
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
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    const auto column = static_cast<size_t>(section);
    switch (role) {
        case Qt::DisplayRole:
            return QString::fromUtf8(kColumnTitles[column]);
        case Qt::ToolTipRole:
            return QString::fromUtf8(kColumnHelp[column]);
        default:
            return QAbstractTableModel::headerData(section, orientation, role);
    }
}

int ResultsModel::AddRow(ResultRow row) {
    const int index = rowCount();
    beginInsertRows({}, index, index);
    m_rows.push_back(std::move(row));
    endInsertRows();
    m_saved = false;
    return index;
}

void ResultsModel::SetRow(int index, ResultRow row) {
    m_rows[static_cast<size_t>(index)] = std::move(row);
    m_saved = false;
    emit dataChanged(this->index(index, 0), this->index(index, columnCount() - 1));
}

void ResultsModel::Clear() {
    beginResetModel();
    m_rows.clear();
    endResetModel();
    m_saved = true;
}

int ResultsModel::UnsavedRows() const {
    return m_saved ? 0 : rowCount();
}

}  // namespace quenbar
