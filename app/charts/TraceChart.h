#pragma once

// The trace chart: k and the log likelihood of every observation, the burn-in shaded. One run: k (right
// axis) and the log likelihood (left axis) overlaid. Several runs: two bands sharing the observation axis,
// k above and the log likelihood below, each run in its own colour.

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
class QCategoryAxis;
class QValueAxis;

/// Most points a run's trace puts in each series. A longer run is drawn as its envelope: the lowest and
/// the highest value of each of max_trace_points / 2 equal stretches, in order, which a chart a few
/// thousand pixels wide cannot tell from the whole trace and which paints quickly at 10^6 draws.
inline constexpr std::int64_t max_trace_points = 4000;

/// The points of observations first..last - 1 at x = 0, 1, ..., all of them or, above max_trace_points,
/// their envelope as described there; `value` picks k or the log likelihood.
/// x counts from `origin` (first when negative).
QList<QPointF> trace_envelope(const std::vector<TracePoint>& points, std::int64_t first, std::int64_t last,
                              double (*value)(const TracePoint&), std::int64_t origin = -1);
double trace_k(const TracePoint& p);
double trace_log_likelihood(const TracePoint& p);

/// "Path of k and log likelihood for markov chain observations" (object name Chart4): for one run, k in red
/// against the right axis (series Series5, "K"), the log likelihood in green against the left one (Series6,
/// "Log likelihood"). For several runs, k of every run in the upper band of the plot (its axis on the left)
/// and the log likelihood of every run in the lower band (its axis on the right), sharing the observation
/// axis, each run in a colour that colour-blind readers tell apart, a little transparent; the legend names
/// the runs.
class TraceChart : public ChartView {
    Q_OBJECT

  public:
    explicit TraceChart(QWidget* parent = nullptr);
    ~TraceChart() override;

    /// Run r's points are points[starts[r] .. starts[r + 1]) (starts ends with points.size(); empty: one
    /// run), drawn at x = 0, 1, ... within the run, so the burn-in shades the same observations of every
    /// run. Runs longer than max_trace_points are drawn as their envelope, and a zoom draws the stretch shown
    /// again in detail; the tooltip gives every run's values at the observation under the pointer, and the
    /// exported numbers are the whole trace of every run.
    void show_trace(const std::vector<TracePoint>& points, const std::vector<std::int64_t>& starts = {},
                    const QStringList& run_names = {});
    /// The same, keeping `points` shared rather than copied.
    void show_trace(std::shared_ptr<const std::vector<TracePoint>> points, const std::vector<std::int64_t>& starts,
                    const QStringList& run_names);
    void clear_trace();
    /// Shades observations 0..b - 1, the ones the burn-in b leaves out; b <= 0 shades nothing.
    void mark_burn_in(std::int32_t b);
    /// Points in the first run's k series (the envelope of a long run).
    qsizetype shown_points() const;
    /// Several runs are drawn, in two bands.
    bool in_panels() const { return panels_; }

    std::unique_ptr<Exportable> figure(const FigureOptions& options) const override;
    void zoom_about(double factor, QPointF at) override;
    void pan_by(QPointF pixels) override;

  private:
    struct Series {
        QLineSeries* k = nullptr;
        QLineSeries* log_likelihood = nullptr;
    };
    /// One short run: one point per entry, axes fitted to it.
    void fill_one(const std::vector<TracePoint>& points);
    void fill_panels(const std::vector<std::int64_t>& bounds, std::int64_t longest);
    void set_panels(bool on);
    void remove_extra_series();

    Series base_;
    std::vector<Series> extra_;
    QMetaObject::Connection zoom_;
    QValueAxis* x_;
    QValueAxis* ll_axis_;
    QValueAxis* k_axis_;
    /// The bands of several runs: the series are drawn on a unit axis, k in its upper band and the log
    /// likelihood in its lower one; the two label axes carry each band's values.
    QCategoryAxis* k_band_axis_;
    QCategoryAxis* ll_band_axis_;
    bool panels_ = false;
    /// What is shown, kept for the figure.
    std::shared_ptr<const std::vector<TracePoint>> data_;
    std::vector<std::int64_t> starts_;
    QStringList names_;
    std::int32_t burn_in_ = 0;
};
