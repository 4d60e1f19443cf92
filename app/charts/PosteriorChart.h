#pragma once

// The posterior of k: bars at k = 1.., pooled, and each run's beside them when several runs are open.

#include "charts/ChartView.h"

#include <cstdint>
#include <vector>

#include <QStringList>

class QBarSeries;

/// Largest k a stored record can hold; the posterior chart shows no bar beyond it.
inline constexpr int max_charted_k = 254;

/// "Posterior distribution of k (burn in = B )" (object name Chart2, series Series3): red bars labelled
/// with their values; with several runs the pooled bars turn dark grey and each run's stand beside them in
/// the run's colour, with a legend.
class PosteriorChart : public ChartView {
    Q_OBJECT

  public:
    explicit PosteriorChart(QWidget* parent = nullptr);

    /// The title for a burn-in: "Posterior distribution of k (burn in = B )".
    static QString title_for(std::int32_t burn_in);
    /// The title before any run is open: "Posterior distribution of k (burn in = 1000)".
    static QString starting_title();
    /// The title before any run is open once the burn-in was restored or typed: "... (burn in = B)".
    static QString starting_title(std::int32_t burn_in);

    /// One bar per k = 1..min(p.size() - 1, max_charted_k) at x = k with height p[k]; p[0] is unused.
    /// `runs`, when it holds two or more, gives each run's posterior (runs[r][k]) drawn beside the pooled
    /// bars; `run_names` names them in the tooltip.
    void show_posterior(const std::vector<double>& p, const std::vector<std::vector<double>>& runs = {},
                        const QStringList& run_names = {});
    /// Each run's posterior beside the pooled bars already shown.
    void show_run_posteriors(const std::vector<std::vector<double>>& runs, const QStringList& run_names);
    /// The heights of the pooled bars shown, in order of k.
    std::vector<double> bars() const;
    QBarSeries* series() const { return series_; }

    std::unique_ptr<Exportable> figure(const FigureOptions& options) const override;

  private:
    void set_tooltip(const QStringList& set_names);
    QBarSeries* series_;
    /// What is shown, kept for the figure.
    std::vector<double> p_;
    std::vector<std::vector<double>> runs_;
    QStringList names_;
};
