// The plot of one data set's fit: the shell volume fractions V(d) against de(d) as points, the
// fitted Steiner polynomial 2 V2 de - pi V1 de^2 + (4 pi / 3) V0 de^3 as a curve, and
// beside them the residuals; with /a, the balls that the fit did not use in grey. A row without
// points has no plot but a line of text that says why.
#pragma once

#include <QString>
#include <QWidget>

#include "result_rows.h"

class QChartView;

namespace quenbar {

// The fitted polynomial at `de`, for the results V2, V1 and V0.
double SteinerFit(double v2, double v1, double v0, double de);

class FitPlot : public QWidget {
    Q_OBJECT

  public:
    explicit FitPlot(QWidget* parent = nullptr);

    // Shows the fit of `row`; null when no row is selected.
    void ShowRow(const ResultRow* row);
    bool HasPlot() const { return m_hasPlot; }
    // Why there is no plot; empty when there is one.
    const QString& Message() const { return m_message; }
    // The two charts as one image; false, with the reason in `error`, when it cannot be written.
    bool SavePng(const QString& path, QString& error) const;
    bool SaveSvg(const QString& path, QString& error) const;

  private:
    void ShowText(const QString& text);

    bool m_hasPlot = false;
    QString m_message;
    QWidget* m_charts;
    QChartView* m_fitView;
    QChartView* m_residualView;
};

}  // namespace quenbar
