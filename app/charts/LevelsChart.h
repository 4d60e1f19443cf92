#pragma once

// "Prob levels": the probability level of every merge of the tree, as a stair line.

#include "charts/ChartView.h"

#include <cstdint>
#include <vector>

#include <QList>
#include <QPointF>

class QLineSeries;

/// The stair through (s, levels[s]): (0, y0), (1, y0), (1, y1), (2, y1), ..., (n - 1, y(n-1)).
QList<QPointF> stair_points(const std::vector<double>& levels);
/// The staircase of `levels` in at most about `max_points` points: stair_points when it has no more, else
/// per stretch of steps its first, lowest, highest and last step (the outline a pixel per stretch shows).
QList<QPointF> stair_outline(const std::vector<double>& levels, std::size_t max_points);

/// "Prob levels" (object name Chart1, series Series1): a red stair line of the level of each merge step. On
/// screen its level axis is labelled at whole units only (0 and 1); drawn for a file it takes a log scale,
/// where the levels of late merges (which halve as sets grow, down to 0) can be read, levels of 0 drawn
/// at a marked floor of 1 / draws.
class LevelsChart : public ChartView {
    Q_OBJECT

  public:
    explicit LevelsChart(QWidget* parent = nullptr);

    /// The level of each merge step, in step order, of a tree of `draws` draws; empty clears the chart.
    void show_levels(const std::vector<double>& levels, std::int64_t draws = 0);

    std::unique_ptr<Exportable> figure(const FigureOptions& options) const override;

  private:
    void show_on_log_scale();

    QLineSeries* series_;
    std::vector<double> levels_;
    std::int64_t draws_ = 0;
};
