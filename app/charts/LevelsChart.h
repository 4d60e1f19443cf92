#pragma once

// "Prob levels": the probability level of every merge of the tree, as a stair line.

#include "charts/ChartView.h"

#include <vector>

#include <QList>
#include <QPointF>

class QLineSeries;

/// The stair through (s, levels[s]): (0, y0), (1, y0), (1, y1), (2, y1), ..., (n - 1, y(n-1)).
QList<QPointF> stair_points(const std::vector<double>& levels);

/// "Prob levels" (object name Chart1, series Series1): a red stair line of the level of each merge step,
/// its y axis labelled at whole units only (0 and 1).
class LevelsChart : public ChartView {
    Q_OBJECT

  public:
    explicit LevelsChart(QWidget* parent = nullptr);

    /// The level of each merge step, in step order; empty clears the chart.
    void show_levels(const std::vector<double>& levels);

  private:
    QLineSeries* series_;
};
