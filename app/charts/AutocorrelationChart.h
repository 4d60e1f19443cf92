#pragma once

// The autocorrelation of k or of the log likelihood at lags 0..max_acf_lag, one curve per run.

#include "charts/ChartView.h"

#include <vector>

#include <QStringList>

/// "Autocorrelation of k" (object name acf_k) or "Autocorrelation of the log likelihood"
/// (acf_log_likelihood): lag on x, autocorrelation on y, one curve per run in the run's colour, with a
/// legend when there are several and a tooltip of every run's value at the lag under the pointer.
class AutocorrelationChart : public ChartView {
    Q_OBJECT

  public:
    explicit AutocorrelationChart(bool log_likelihood, QWidget* parent = nullptr);

    /// curves[r][lag] of run r; NaN values are left out.
    void show_curves(const std::vector<std::vector<double>>& curves, const QStringList& run_names);

    std::unique_ptr<Exportable> figure(const FigureOptions& options) const override;

  private:
    bool log_likelihood_;
    std::vector<std::vector<double>> curves_;
    QStringList names_;
};
