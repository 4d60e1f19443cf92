#pragma once

// The window's charts built from plain values, on no window: what a command-line plot draws, and what
// export_image (app/ChartExport.h) writes. Titles, axes, colours and data columns are those of the charts
// of the window, so a picture drawn from here and the same chart exported from the window agree. The views
// are never shown; a QApplication must exist (the offscreen platform will do).

#include "app/ChartView.h"
#include "summary/Trajectory.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include <QStringList>

/// "Path of k and log likelihood for markov chain observations": one point per entry of `points`, the
/// first `burn_in` observations shaded as on the Infer k page (none when 0 or less). With several runs,
/// run r is points[starts[r] .. starts[r + 1]) and is drawn in its own colour (fill_run_traces); `starts`
/// empty: one run.
std::unique_ptr<ChartView> trace_chart(const std::vector<TracePoint>& points, std::int32_t burn_in,
                                       const std::vector<std::int64_t>& starts = {}, const QStringList& run_names = {});

/// "Posterior distribution of k (burn in = B )": p[k] for k = 1.. (p[0] unused). `runs`, when given,
/// holds each run's posterior (runs[r][k]), drawn beside the pooled bars as on the Infer k page.
std::unique_ptr<ChartView> posterior_chart(const std::vector<double>& p, std::int32_t burn_in,
                                           const std::vector<std::vector<double>>& runs = {},
                                           const QStringList& run_names = {});

/// "Autocorrelation of k" (`log_likelihood` false) or "Autocorrelation of the log likelihood": one curve
/// per run (curves[r][lag]), as on the Convergence page.
std::unique_ptr<ChartView> autocorrelation_chart(bool log_likelihood, const std::vector<std::vector<double>>& curves,
                                                 const QStringList& run_names);

/// "Prob levels": the level of each merge step, in step order.
std::unique_ptr<ChartView> levels_chart(const std::vector<double>& levels);

/// The co-assignment of individual n with every individual (values[m - 1] for individual m). `clusters`,
/// when not empty, gives cluster[m - 1] of an estimate, and colours the points by it as the window does.
/// `name`, when given, names individual n in the title.
std::unique_ptr<ChartView> individual_chart(std::int32_t n, const std::vector<double>& values,
                                            const std::vector<std::int32_t>& clusters = {}, const QString& name = {});

/// Title of the individual chart for individual n, as the Make Tree page shows it: "... Indiv 7 with the
/// others", or "... Indiv 7 (name) with the others" when the individuals are named.
QString individual_chart_title(std::int32_t n, const QString& name = {});
