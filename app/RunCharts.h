#pragma once

// Charts of several runs: one colour per run, shared by the trace, the posterior bars and the
// autocorrelation curves, so that a run is recognised across the window.

#include "app/charts.h"
#include "summary/Trajectory.h"

#include <cstdint>
#include <functional>
#include <vector>

#include <QColor>
#include <QList>
#include <QObject>
#include <QPointF>
#include <QStringList>

class QBarSeries;
class QChart;

/// Most points a run's trace puts in each series. A longer run is drawn as its envelope: the lowest and
/// the highest value of each of max_trace_points / 2 equal stretches, in order, which a chart a few
/// thousand pixels wide cannot tell from the whole trace and which paints quickly at 10^6 draws.
inline constexpr std::int64_t max_trace_points = 4000;

/// The points of observations first..last - 1 at x = 0, 1, ..., all of them or, above max_trace_points,
/// their envelope as described there; `value` picks k or the log likelihood.
/// x counts from `origin` (first when negative).
QList<QPointF> trace_envelope(const std::vector<TracePoint>& points, std::int64_t first, std::int64_t last,
                              const std::function<double(const TracePoint&)>& value, std::int64_t origin = -1);
double trace_k(const TracePoint& p);
double trace_log_likelihood(const TracePoint& p);

/// Labels of runs for legends and tooltips: each file's name, with " (run N)" added to names that repeat.
QStringList run_labels_of(const QStringList& files);

/// Colour of run r (from 0); run 0 keeps the trace's red for k. Colours repeat after eight runs.
QColor run_colour(int r);

/// The trace of several runs overlaid: run r's points are points[starts[r] .. starts[r + 1]) (starts
/// ends with points.size()), drawn at x = 0, 1, ... within the run, so the burn-in shades the same
/// observations of every run. `base` draws run 0 (k in red, log likelihood in green, as for one run);
/// `extra` receives one pair of series per further run, in the run's colour (log likelihood darker),
/// replacing those it held. Runs longer than max_trace_points are drawn as their envelope; the tooltip
/// gives every run's values at the observation under the pointer. One short run: exactly fill_trace.
/// `zoom` holds the connection that draws the stretch a zoom shows again in detail (long runs only);
/// each fill replaces it.
void fill_run_traces(ChartView* view, const TraceSeries& base, std::vector<TraceSeries>& extra,
                     const std::vector<TracePoint>& points, const std::vector<std::int64_t>& starts,
                     const QStringList& run_names, QMetaObject::Connection& zoom);

/// The posterior of k pooled (red, the first bar set, as for one run) and of each run beside it, in the
/// runs' colours. Without per-run posteriors the chart is exactly fill_posterior's.
/// runs[r][k] for k = 1..; entry 0 unused. The legend (shown only then) says "Pooled", "Run 1", ...
void fill_run_posteriors(QBarSeries* series, const std::vector<double>& pooled,
                         const std::vector<std::vector<double>>& runs);

/// Tooltip of the posterior chart: every bar set's value at the k under the pointer, a set named by
/// `set_names` (the pooled set, then the runs) when there are several.
void set_posterior_tooltip(ChartView* view, QBarSeries* series, const QStringList& set_names);

/// Autocorrelation chart: lag on x (0..max), autocorrelation on y; fill_autocorrelation puts one curve per
/// run (curves[r][lag]), in the runs' colours, with a tooltip of every run's value at the lag.
void add_autocorrelation_axes(ChartView* view);
void fill_autocorrelation(ChartView* view, const std::vector<std::vector<double>>& curves,
                          const QStringList& run_names);
