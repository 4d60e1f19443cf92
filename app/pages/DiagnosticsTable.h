#pragma once

#include "diagnostics/Convergence.h"

#include <QTableWidget>

/// The convergence diagnostics of k and of the log likelihood, a row each: mean, sd, bulk-ESS, tail-ESS,
/// R-hat and MCSE of the mean, six significant digits, NA where undefined. A bulk- or tail-ESS below 400
/// and an R-hat above 1.01 are flagged (shaded, marked, and a tooltip saying why).
class DiagnosticsTable : public QTableWidget {
    Q_OBJECT

  public:
    explicit DiagnosticsTable(QWidget* parent = nullptr);

    /// Fills both rows; returns how many values were flagged.
    int show_summaries(const ChainSummary& k, const ChainSummary& log_likelihood);
    void clear_summaries();
};

/// Why a diagnostic value is flagged, following Vehtari et al. (2021): an R-hat above 1.01, or a bulk- or
/// tail-ESS below 400, means the chains have not mixed well enough for the summaries (the tail-ESS: the
/// quantiles and intervals) to be trusted. Empty when the value is fine or undefined.
QString rhat_warning(double rhat);
QString ess_warning(double ess_bulk);
QString tail_ess_warning(double ess_tail);

/// How many of the diagnostics of k and of the log likelihood are flagged (the table's rule).
int flagged_count(const ChainSummary& k, const ChainSummary& log_likelihood);

/// v as the tables show it: six significant digits, "NA" for NaN, "Inf" / "-Inf".
QString diagnostic_text(double v);
