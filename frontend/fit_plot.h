// The plot of one data set's fit: the shell volume fractions V(d) against de(d) as points, the
// fitted Steiner polynomial 2 V2 de - pi V1 de^2 + (4 pi / 3) V0 de^3 as a curve, and
// beside them the residuals. A row without points gets a line of text that says why.
#pragma once

#include <QString>
#include <QWidget>

#include "result_rows.h"

class QChartView;
class QLabel;
class QStackedWidget;

namespace quenbar {

// The fitted polynomial at `de`, for the results V2, V1 and V0.
double SteinerFit(double v2, double v1, double v0, double de);

class FitPlot : public QWidget {
    Q_OBJECT

  public:
    explicit FitPlot(QWidget* parent = nullptr);

    // Shows the fit of `row`; null when no row is selected.
    void ShowRow(const ResultRow* row);
    bool HasPlot() const;
    // The two charts as one image; false, with the reason in `error`, when it cannot be written.
    bool SavePng(const QString& path, QString& error) const;
    bool SaveSvg(const QString& path, QString& error) const;

  private:
    void ShowText(const QString& text);

    QStackedWidget* m_pages;
    QLabel* m_text;
    QWidget* m_charts;
    QChartView* m_fitView;
    QChartView* m_residualView;
};

}  // namespace quenbar
