#include "results_view.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QKeySequence>
#include <QSaveFile>
#include <algorithm>

#include "fit_plot.h"
#include "ui_results_view.h"

namespace quenbar {
namespace {

constexpr const char* kCaption = "Quenbar";

}  // namespace

CResultsView::CResultsView(QWidget* parent)
    : QWidget(parent), m_ui(std::make_unique<Ui::CResultsView>()) {
    m_ui->setupUi(this);
    m_sorted.setSourceModel(&m_model);
    m_sorted.setSortRole(ResultsModel::kSortRole);
    QTableView& table = *m_ui->resultsTable;
    table.setModel(&m_sorted);
    // Rows stay in run order until a column's title is clicked; a third click restores it.
    table.horizontalHeader()->setSortIndicatorClearable(true);
    table.horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    table.setSortingEnabled(true);
    table.horizontalHeader()->setStretchLastSection(true);
    table.horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    table.verticalHeader()->setDefaultSectionSize(table.fontMetrics().height() + 6);
    // Paths differ at their ends: "/data/run3/ball007" keeps both its start and its name.
    table.setTextElideMode(Qt::ElideMiddle);
    // Room for the numbers as shown; the data set takes what the window has left.
    const QFontMetrics metrics = table.fontMetrics();
    const auto width = [&metrics](const char* text) {
        return metrics.horizontalAdvance(QString::fromUtf8(text)) + 10;
    };
    const int number_width = width("-0.0000e-00");
    const int error_width = width("Δ -0.00e-00") + 8;
    table.setColumnWidth(kStatusColumn, width("cancelled"));
    for (int column = kV2Column; column < kNoteColumn; ++column) {
        table.setColumnWidth(
            column, column >= kErrorColumn && column < kStandardErrorColumn   ? error_width
                    : column >= kErrorInSeColumn && column < kBallsUsedColumn ? width("V0 error")
                    : column == kBallsUsedColumn                              ? width("1..00 of 00")
                    : column == kDeColumn                                     ? width("0.000000")
                                                                              : number_width);
    }
    table.setColumnWidth(kDataSetColumn, width("/home/user/ball000"));
    // The table and the plot share the height; the plot shows only when there is a plot.
    m_ui->resultsSplitter->setStretchFactor(0, 1);
    m_ui->resultsSplitter->setStretchFactor(1, 1);
    m_ui->resultsSplitter->setSizes({300, 300});
    m_ui->fitPlot->hide();

    auto* copy = new QAction(tr("&Copy Rows"), &table);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    connect(copy, &QAction::triggered, this, &CResultsView::Copy);
    table.addAction(copy);
    table.setContextMenuPolicy(Qt::ActionsContextMenu);
    // The view itself would copy only its current cell on Ctrl+C.
    table.installEventFilter(this);

    connect(m_ui->clearButton, &QPushButton::clicked, this, [this] {
        m_model.Clear();
        ShowCurrentRow();
    });
    connect(m_ui->copyButton, &QPushButton::clicked, this, &CResultsView::Copy);
    connect(m_ui->saveCsvButton, &QPushButton::clicked, this, &CResultsView::SaveCsv);
    connect(m_ui->savePngButton, &QPushButton::clicked, this, &CResultsView::SavePng);
    connect(m_ui->saveSvgButton, &QPushButton::clicked, this, &CResultsView::SaveSvg);
    connect(table.selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &CResultsView::ShowCurrentRow);
    connect(table.selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CResultsView::UpdateButtons);
    connect(&m_model, &QAbstractItemModel::dataChanged, this, [this](const QModelIndex& first) {
        const QModelIndex current = m_ui->resultsTable->currentIndex();
        if (current.isValid() && m_sorted.mapToSource(current).row() == first.row()) {
            ShowCurrentRow();
        }
    });
    connect(&m_model, &QAbstractItemModel::rowsInserted, this, &CResultsView::UpdateButtons);
    connect(&m_model, &QAbstractItemModel::modelReset, this, &CResultsView::UpdateButtons);
    connect(&m_model, &QAbstractItemModel::dataChanged, this, &CResultsView::UpdateColumns);
    connect(&m_model, &QAbstractItemModel::modelReset, this, &CResultsView::UpdateColumns);
    UpdateColumns();
    ShowCurrentRow();
}

CResultsView::~CResultsView() = default;

bool CResultsView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_ui->resultsTable && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        Copy();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void CResultsView::SetServices(SaveFilePicker pick_save_file, MessageShower show_error) {
    m_pickSaveFile = std::move(pick_save_file);
    m_showError = std::move(show_error);
}

void CResultsView::SetRunning(bool running) {
    m_running = running;
    UpdateButtons();
}

void CResultsView::SelectRow(int row) {
    const QModelIndex index = m_sorted.mapFromSource(m_model.index(row, 0));
    m_ui->resultsTable->selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void CResultsView::ShowCurrentRow() {
    const QModelIndex current = m_ui->resultsTable->currentIndex();
    m_ui->fitPlot->ShowRow(current.isValid() ? &m_model.Row(m_sorted.mapToSource(current).row())
                                             : nullptr);
    // No plot, no room for one: the line below the table says why.
    m_ui->fitPlot->setVisible(m_ui->fitPlot->HasPlot());
    m_ui->fitText->setVisible(!m_ui->fitPlot->HasPlot());
    m_ui->fitText->setText(m_ui->fitPlot->Message());
    UpdateButtons();
}

// The columns of /a show once a row has them: without /a they would be empty.
void CResultsView::UpdateColumns() {
    bool standard_errors = false;
    bool errors_in_se = false;
    for (const ResultRow& row : m_model.Rows()) {
        standard_errors = standard_errors || row.standard_errors || row.balls_used;
        errors_in_se = errors_in_se || (row.truth && row.truth->error_in_se);
    }
    QTableView& table = *m_ui->resultsTable;
    for (int column = kStandardErrorColumn; column <= kBallsUsedColumn; ++column) {
        const bool in_se = column >= kErrorInSeColumn && column < kBallsUsedColumn;
        table.setColumnHidden(column, !(in_se ? errors_in_se : standard_errors));
    }
}

void CResultsView::UpdateButtons() {
    const bool rows = m_model.rowCount() > 0;
    m_ui->clearButton->setEnabled(rows && !m_running);
    m_ui->saveCsvButton->setEnabled(rows);
    m_ui->copyButton->setEnabled(!SelectedRows().empty());
    m_ui->savePngButton->setEnabled(m_ui->fitPlot->HasPlot());
    m_ui->saveSvgButton->setEnabled(m_ui->fitPlot->HasPlot());
}

std::vector<int> CResultsView::SelectedRows() const {
    std::vector<int> rows;
    for (const QModelIndex& index : m_ui->resultsTable->selectionModel()->selectedRows()) {
        rows.push_back(index.row());
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

std::vector<const ResultRow*> CResultsView::ShownRows(const std::vector<int>& rows) const {
    std::vector<const ResultRow*> shown;
    for (const int row : rows) {
        shown.push_back(&m_model.Row(m_sorted.mapToSource(m_sorted.index(row, 0)).row()));
    }
    return shown;
}

QString CResultsView::SelectedRowsText() const {
    const std::vector<int> rows = SelectedRows();
    return rows.empty() ? QString() : QString::fromStdString(ResultsTsv(ShownRows(rows)));
}

void CResultsView::Copy() {
    const QString text = SelectedRowsText();
    if (!text.isEmpty()) {
        QApplication::clipboard()->setText(text);
    }
}

QString CResultsView::PickSaveFile(const QString& title, const QString& filter,
                                   const char* suffix) {
    const QString path = m_pickSaveFile(this, title, filter);
    return path.isEmpty() ? path : QString::fromStdString(WithSuffix(path.toStdString(), suffix));
}

bool CResultsView::SaveCsv() {
    const QString path =
        PickSaveFile(tr("Save as CSV"), QStringLiteral("CSV files (*.csv);;All Files (*)"), "csv");
    if (path.isEmpty()) {
        return false;
    }
    // In the order that the table shows.
    std::vector<int> rows(static_cast<size_t>(m_sorted.rowCount()));
    for (size_t i = 0; i < rows.size(); ++i) {
        rows[i] = static_cast<int>(i);
    }
    QSaveFile file(path);
    const QByteArray text = QByteArray::fromStdString(ResultsCsv(ShownRows(rows)));
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        m_showError(this, kCaption,
                    path + QStringLiteral("\nCannot write file: ") + file.errorString());
        return false;
    }
    m_model.MarkSaved();
    return true;
}

void CResultsView::SavePng() {
    const QString path =
        PickSaveFile(tr("Save Plot as PNG"), QStringLiteral("PNG images (*.png)"), "png");
    QString error;
    if (!path.isEmpty() && !m_ui->fitPlot->SavePng(path, error)) {
        m_showError(this, kCaption, path + QStringLiteral("\nCannot write file: ") + error);
    }
}

void CResultsView::SaveSvg() {
    const QString path =
        PickSaveFile(tr("Save Plot as SVG"), QStringLiteral("SVG drawings (*.svg)"), "svg");
    QString error;
    if (!path.isEmpty() && !m_ui->fitPlot->SaveSvg(path, error)) {
        m_showError(this, kCaption, path + QStringLiteral("\nCannot write file: ") + error);
    }
}

}  // namespace quenbar
