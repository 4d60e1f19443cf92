#pragma once

#include "summary/Trajectory.h"

#include <cstdint>
#include <vector>

#include <QColor>
#include <QList>
#include <QPointF>
#include <QString>

class ChartView;
class QBarSeries;
class QLineSeries;
class QScatterSeries;
class QWidget;

/// Largest k a stored record can hold; the posterior chart shows no bar beyond it.
inline constexpr int max_charted_k = 254;

/// A flat chart on a white panel with one title line and an optional legend at the bottom (ChartView).
ChartView* make_chart_view(QWidget* parent, const QString& name, const QString& title, bool legend);

// Each add_ function gives the chart its axes and series and the text of its tooltips; each fill_ function
// replaces the points in one update per series and shows the whole chart again (a zoom is reset).

/// Trace chart: k in red against the right axis, log likelihood in green against the left one.
struct TraceSeries {
    QLineSeries* k = nullptr;
    QLineSeries* log_likelihood = nullptr;
};
TraceSeries add_trace_series(ChartView* view);
/// Replaces both series with one point per trace entry, x = its position, in one update each.
void fill_trace(const TraceSeries& series, const std::vector<TracePoint>& points);
void clear_trace(const TraceSeries& series);

/// Posterior chart: red bars labelled with their values.
QBarSeries* add_posterior_series(ChartView* view);
/// One bar per k = 1..min(p.size() - 1, max_charted_k) at x = k with height p[k]; p[0] is unused.
void fill_posterior(QBarSeries* series, const std::vector<double>& p);
/// The heights of the bars shown, in order of k.
std::vector<double> posterior_bars(const QBarSeries* series);

/// "Prob levels": a red stair line, axis labels at least one unit apart.
QLineSeries* add_levels_series(ChartView* view);
/// The stair through (s, levels[s]): (0, y0), (1, y0), (1, y1), (2, y1), ..., (n - 1, y(n-1)).
QList<QPointF> stair_points(const std::vector<double>& levels);
void fill_levels(QLineSeries* series, const std::vector<double>& levels);

/// Co-assignment of one individual with every individual: red points 2 pixels wide; values[m - 1] is drawn
/// at x = m, so the axis reads individuals' numbers.
QScatterSeries* add_coassignment_series(ChartView* view);
/// Replaces the points; a colouring by cluster is dropped.
void fill_coassignment(QScatterSeries* series, const std::vector<double>& values);
/// Colours point m (individual m) by cluster[m - 1] (cluster_colour) and adds a `cluster` column to the
/// chart's data; an empty `cluster`, or one of another length than the points, goes back to plain red.
void colour_by_cluster(QScatterSeries* series, const std::vector<std::int32_t>& cluster);
/// The clusters the points are coloured by; empty when plain.
std::vector<std::int32_t> point_clusters(const QScatterSeries* series);

/// Colour of cluster c (from 1) in every chart and on the map: ten colours told apart by people with
/// colour-blindness, repeated past ten; grey for 0 and below.
QColor cluster_colour(std::int32_t c);
