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
    table.verticalHeader()->setDefaultSectionSize(table.fontMetrics().height() + 6);
    // Room for a printed result ("%20.16f") and the other numbers as shown.
    const QFontMetrics metrics = table.fontMetrics();
    const int number_width = metrics.horizontalAdvance(QStringLiteral("-0.0000000000000000")) + 12;
    const int truth_width = metrics.horizontalAdvance(QStringLiteral("-0.0000e-00")) + 16;
    const int short_width = metrics.horizontalAdvance(QStringLiteral("V0 error %")) + 16;
    table.setColumnWidth(kDataSetColumn, 130);
    table.setColumnWidth(kStatusColumn,
                         metrics.horizontalAdvance(QStringLiteral("cancelled")) + 16);
    for (int column = kV2Column; column < kNoteColumn; ++column) {
        table.setColumnWidth(column, column < kDeColumn      ? number_width
                                     : column == kDeColumn   ? short_width
                                     : column < kErrorColumn ? truth_width
                                                             : short_width);
    }
    // The plot needs the height; a few rows show what was run.
    m_ui->resultsSplitter->setStretchFactor(0, 1);
    m_ui->resultsSplitter->setStretchFactor(1, 3);
    m_ui->resultsSplitter->setSizes({160, 320});

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
    UpdateButtons();
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
    UpdateButtons();
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

QString CResultsView::SelectedRowsText() const {
    std::vector<const ResultRow*> rows;
    for (const int row : SelectedRows()) {
        rows.push_back(&m_model.Row(m_sorted.mapToSource(m_sorted.index(row, 0)).row()));
    }
    return QString::fromStdString(ResultsTsv(rows));
}

void CResultsView::Copy() {
    const QString text = SelectedRowsText();
    if (!text.isEmpty()) {
        QApplication::clipboard()->setText(text);
    }
}

void CResultsView::SaveCsv() {
    const QString path =
        m_pickSaveFile(this, tr("Save as CSV"), QStringLiteral("CSV files (*.csv);;All Files (*)"));
    if (path.isEmpty()) {
        return;
    }
    QSaveFile file(path);
    const QByteArray text = QByteArray::fromStdString(ResultsCsv(m_model.Rows()));
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        m_showError(this, kCaption,
                    path + QStringLiteral("\nCannot write file: ") + file.errorString());
    }
}

void CResultsView::SavePng() {
    const QString path =
        m_pickSaveFile(this, tr("Save Plot as PNG"), QStringLiteral("PNG images (*.png)"));
    QString error;
    if (!path.isEmpty() && !m_ui->fitPlot->SavePng(path, error)) {
        m_showError(this, kCaption, path + QStringLiteral("\nCannot write file: ") + error);
    }
}

void CResultsView::SaveSvg() {
    const QString path =
        m_pickSaveFile(this, tr("Save Plot as SVG"), QStringLiteral("SVG drawings (*.svg)"));
    QString error;
    if (!path.isEmpty() && !m_ui->fitPlot->SaveSvg(path, error)) {
        m_showError(this, kCaption, path + QStringLiteral("\nCannot write file: ") + error);
    }
}

}  // namespace quenbar
