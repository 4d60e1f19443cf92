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

/// "Path of k and log likelihood for markov chain observations": one point per entry of `points`, the
/// first `burn_in` observations shaded as on the Infer k page (none when 0 or less).
std::unique_ptr<ChartView> trace_chart(const std::vector<TracePoint>& points, std::int32_t burn_in);

/// "Posterior distribution of k (burn in = B )": p[k] for k = 1.. (p[0] unused).
std::unique_ptr<ChartView> posterior_chart(const std::vector<double>& p, std::int32_t burn_in);

/// "Prob levels": the level of each merge step, in step order.
std::unique_ptr<ChartView> levels_chart(const std::vector<double>& levels);

/// The co-assignment of individual n with every individual (values[m - 1] for individual m). `clusters`,
/// when not empty, gives cluster[m - 1] of an estimate, and colours the points by it as the window does.
std::unique_ptr<ChartView> individual_chart(std::int32_t n, const std::vector<double>& values,
                                            const std::vector<std::int32_t>& clusters = {});

/// Title of the individual chart for individual n, as the Make Tree page shows it.
QString individual_chart_title(std::int32_t n);
