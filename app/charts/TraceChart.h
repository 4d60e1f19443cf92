#pragma once

// The trace chart: k (right axis) and the log likelihood (left axis) of every observation, each run in
// its colours, the burn-in shaded.

#include "charts/ChartView.h"
#include "summary/Trajectory.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include <QList>
#include <QPointF>
#include <QStringList>

class QLineSeries;

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

/// "Path of k and log likelihood for markov chain observations" (object name Chart4): k in red against the
/// right axis (series Series5), the log likelihood in green against the left one (Series6).
class TraceChart : public ChartView {
    Q_OBJECT

  public:
    explicit TraceChart(QWidget* parent = nullptr);
    ~TraceChart() override;

    /// The trace of several runs overlaid: run r's points are points[starts[r] .. starts[r + 1]) (starts
    /// ends with points.size(); empty: one run), drawn at x = 0, 1, ... within the run, so the burn-in
    /// shades the same observations of every run. Run 0 is drawn in red and green, each further run in its
    /// own colour (log likelihood darker). Runs longer than max_trace_points are drawn as their envelope,
    /// and a zoom draws the stretch shown again in detail; the tooltip gives every run's values at the
    /// observation under the pointer, and the exported numbers are the whole trace of every run.
    void show_trace(const std::vector<TracePoint>& points, const std::vector<std::int64_t>& starts = {},
                    const QStringList& run_names = {});
    void clear_trace();
    /// Shades observations 0..b - 1, the ones the burn-in b leaves out; b <= 0 shades nothing.
    void mark_burn_in(std::int32_t b);
    /// Points in the first run's k series (the envelope of a long run).
    qsizetype shown_points() const;

  private:
    struct Series {
        QLineSeries* k = nullptr;
        QLineSeries* log_likelihood = nullptr;
    };
    /// One short run: one point per entry, axes fitted to it.
    void fill_one(const std::vector<TracePoint>& points);

    Series base_;
    std::vector<Series> extra_;
    QMetaObject::Connection zoom_;
};
