#include "fit_plot.h"
#include "formats/numbers.h"

#include <QChart>
#include <QChartView>
#include <QHBoxLayout>
#include <QImage>
#include <QLineSeries>
#include <QPainter>
#include <QSaveFile>
#include <QScatterSeries>
#include <QSvgGenerator>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <numbers>

namespace quenbar {
namespace {

constexpr int kCurveSamples = 120;

// An axis over at least [low, high] whose ticks are the multiples of a step of 1, 2 or 5 times a
// power of ten, counted from 0, so that 0 reads as "0" and not as a rounding residue.
QValueAxis* make_axis(const QString& title, double low, double high) {
    if (!(high > low)) {
        high = low + 1.0;
    }
    const double wanted = (high - low) / 5.0;
    const double power = std::pow(10.0, std::floor(std::log10(wanted)));
    double step = 10.0 * power;
    for (const double factor : {1.0, 2.0, 5.0}) {
        if (factor * power >= wanted) {
            step = factor * power;
            break;
        }
    }
    auto* axis = new QValueAxis;
    axis->setTitleText(title);
    axis->setRange(std::floor(low / step) * step, std::ceil(high / step) * step);
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(0.0);
    axis->setTickInterval(step);
    axis->setLabelFormat(QStringLiteral("%.3g"));
    return axis;
}

void attach(QChart* chart, QAbstractSeries* series, QValueAxis* x, QValueAxis* y) {
    chart->addSeries(series);
    series->attachAxis(x);
    series->attachAxis(y);
}

// Replaces the view's chart; the view does not delete the one it held.
void set_chart(QChartView* view, QChart* chart) {
    QChart* old = view->chart();
    view->setChart(chart);
    delete old;
}

QChart* new_chart() {
    auto* chart = new QChart;
    chart->setAnimationOptions(QChart::NoAnimation);
    // At the side: the plot has more width than height to give, and a legend below would take
    // the axes' room until their labels shrink to "...".
    chart->legend()->setAlignment(Qt::AlignRight);
    chart->setMargins(QMargins(4, 4, 4, 4));
    return chart;
}

}  // namespace

double SteinerFit(double v2, double v1, double v0, double de) {
    constexpr double pi = std::numbers::pi;
    return 2.0 * v2 * de - pi * v1 * de * de + 4.0 * pi / 3.0 * v0 * de * de * de;
}

FitPlot::FitPlot(QWidget* parent)
    : QWidget(parent),
      m_charts(new QWidget(this)),
      m_fitView(new QChartView(m_charts)),
      m_residualView(new QChartView(m_charts)) {
    m_fitView->setObjectName(QStringLiteral("fitChart"));
    m_residualView->setObjectName(QStringLiteral("residualChart"));
    m_fitView->setAccessibleName(QStringLiteral("Fit of the shell volumes"));
    m_residualView->setAccessibleName(QStringLiteral("Residuals of the fit"));
    m_fitView->setToolTip(
        tr("The shell volume fractions V(d) against de(d), and the Steiner fit "
           "2·V2·de − π·V1·de² + (4π/3)·V0·de³; with /a the balls that the fit left out in grey"));
    m_residualView->setToolTip(tr("The residuals V(d) − fit"));
    for (QChartView* view : {m_fitView, m_residualView}) {
        view->setRenderHint(QPainter::Antialiasing);
        view->setMinimumSize(160, 150);
    }
    // Side by side: the dialog has more width than height to give.
    auto* charts = new QHBoxLayout(m_charts);
    charts->setContentsMargins(0, 0, 0, 0);
    charts->setSpacing(0);
    charts->addWidget(m_fitView, 2);
    charts->addWidget(m_residualView, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_charts);
    ShowRow(nullptr);
}

void FitPlot::ShowText(const QString& text) {
    m_message = text;
    m_hasPlot = false;
    set_chart(m_fitView, new QChart);
    set_chart(m_residualView, new QChart);
}

void FitPlot::ShowRow(const ResultRow* row) {
    if (row == nullptr) {
        ShowText(tr("Select a row of the table to see the fit of its shell volumes."));
        return;
    }
    if (row->status == RowStatus::waiting || row->status == RowStatus::running) {
        ShowText(tr("The data set has not been run yet."));
        return;
    }
    if (row->status != RowStatus::done) {
        ShowText(tr("No plot: the data set has no results.") +
                 (row->note.empty() ? QString() : u'\n' + QString::fromStdString(row->note)));
        return;
    }
    if (row->points.empty()) {
        ShowText(
            tr("No plot: tick Verbose Output and run the data set again. The plot shows the shell "
               "volumes that talvik prints in verbose mode."));
        return;
    }
    double v[3];
    for (size_t k = 0; k < 3; ++k) {
        formats::parse_number(row->values[k], v[k]);
    }

    double de_max = 0.0;
    double low = 0.0;
    double high = 0.0;
    double residual_max = 0.0;
    auto* measured = new QScatterSeries;
    measured->setObjectName(QStringLiteral("measured"));
    measured->setName(tr("V(d) measured"));
    measured->setMarkerSize(9.0);
    auto* residuals = new QScatterSeries;
    residuals->setObjectName(QStringLiteral("residuals"));
    residuals->setName(tr("residual V(d) - fit"));
    residuals->setMarkerSize(8.0);
    // With /a the balls after the range that the fit used are drawn, in grey, for comparison.
    const size_t used = row->balls_used ? static_cast<size_t>(row->balls_used->used) : SIZE_MAX;
    QScatterSeries* unused = nullptr;
    QScatterSeries* unused_residuals = nullptr;
    if (used < row->points.size()) {
        unused = new QScatterSeries;
        unused->setObjectName(QStringLiteral("unused"));
        unused->setName(tr("V(d) not used"));
        unused->setMarkerSize(9.0);
        unused->setColor(QColor(170, 170, 170));
        unused->setBorderColor(QColor(140, 140, 140));
        unused_residuals = new QScatterSeries;
        unused_residuals->setObjectName(QStringLiteral("unusedResiduals"));
        unused_residuals->setMarkerSize(8.0);
        unused_residuals->setColor(unused->color());
        unused_residuals->setBorderColor(unused->borderColor());
    }
    for (size_t d = 0; d < row->points.size(); ++d) {
        const FitPoint& p = row->points[d];
        const double residual = p.fraction - SteinerFit(v[0], v[1], v[2], p.de);
        (d < used ? measured : unused)->append(p.de, p.fraction);
        (d < used ? residuals : unused_residuals)->append(p.de, residual);
        de_max = std::max(de_max, p.de);
        low = std::min(low, p.fraction);
        high = std::max(high, p.fraction);
        residual_max = std::max(residual_max, std::fabs(residual));
    }
    QValueAxis* x = make_axis(tr("de (voxels)"), 0.0, de_max > 0.0 ? de_max * 1.05 : 1.0);
    const double de_end = x->max();
    auto* fit = new QLineSeries;
    fit->setObjectName(QStringLiteral("fit"));
    fit->setName(tr("Steiner fit"));
    for (int i = 0; i <= kCurveSamples; ++i) {
        const double de = de_end * i / kCurveSamples;
        const double value = SteinerFit(v[0], v[1], v[2], de);
        fit->append(de, value);
        low = std::min(low, value);
        high = std::max(high, value);
    }
    // The fraction is 0 at de = 0; the axis starts there unless the fit dips below it.
    const double pad = (high - low) * 0.05;

    QChart* chart = new_chart();
    chart->setTitle(QString::fromStdString(row->directory));
    // Short: a low plot keeps it whole; the legend and the tooltip say what V(d) is.
    QValueAxis* y = make_axis(tr("V(d)"), low < 0.0 ? low - pad : 0.0, high + pad);
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    attach(chart, fit, x, y);
    attach(chart, measured, x, y);
    if (unused != nullptr) {
        attach(chart, unused, x, y);
    }
    set_chart(m_fitView, chart);

    QChart* residual_chart = new_chart();
    // The residual points explain themselves by their axis; the legend would take their room.
    residual_chart->legend()->hide();
    const double r = residual_max > 0.0 ? residual_max * 1.2 : 1e-6;
    QValueAxis* rx = make_axis(tr("de (voxels)"), 0.0, de_end);
    QValueAxis* ry = make_axis(tr("V(d) − fit"), -r, r);
    residual_chart->addAxis(rx, Qt::AlignBottom);
    residual_chart->addAxis(ry, Qt::AlignLeft);
    auto* zero = new QLineSeries;
    zero->append(0.0, 0.0);
    zero->append(de_end, 0.0);
    zero->setColor(Qt::gray);
    attach(residual_chart, zero, rx, ry);
    attach(residual_chart, residuals, rx, ry);
    if (unused_residuals != nullptr) {
        attach(residual_chart, unused_residuals, rx, ry);
    }
    set_chart(m_residualView, residual_chart);
    m_message.clear();
    m_hasPlot = true;
}

bool FitPlot::SavePng(const QString& path, QString& error) const {
    // Twice the screen's pixels, so that the image stays sharp when printed.
    constexpr qreal scale = 2.0;
    QImage image(m_charts->size() * scale, QImage::Format_ARGB32);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::white);
    m_charts->render(&image);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "PNG") || !file.commit()) {
        error = file.errorString();
        return false;
    }
    return true;
}

bool FitPlot::SaveSvg(const QString& path, QString& error) const {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        error = file.errorString();
        return false;
    }
    QSvgGenerator svg;
    svg.setOutputDevice(&file);
    // Text is laid out at the screen's resolution; in the drawing at another its runs would
    // come apart.
    svg.setResolution(m_charts->logicalDpiX());
    svg.setSize(m_charts->size());
    svg.setViewBox(m_charts->rect());
    svg.setTitle(m_fitView->chart()->title());
    svg.setDescription(tr("Fit of the shell volume fractions, Quenbar"));
    {
        QPainter painter(&svg);
        m_charts->render(&painter);
    }
    if (!file.commit()) {
        error = file.errorString();
        return false;
    }
    return true;
}

}  // namespace quenbar
