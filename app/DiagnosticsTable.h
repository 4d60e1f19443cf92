#pragma once

#include "diagnostics/Convergence.h"

#include <QTableWidget>

/// The convergence diagnostics of k and of the log likelihood, a row each: mean, sd, bulk-ESS, tail-ESS,
/// R-hat and MCSE of the mean, six significant digits, NA where undefined. A bulk-ESS below 400 and an
/// R-hat above 1.01 are flagged (shaded, marked, and a tooltip saying why).
class DiagnosticsTable : public QTableWidget {
    Q_OBJECT

  public:
    explicit DiagnosticsTable(QWidget* parent = nullptr);

    /// Fills both rows; returns how many values were flagged.
    int show_summaries(const ChainSummary& k, const ChainSummary& log_likelihood);
    void clear_summaries();
};

/// v as the tables show it: six significant digits, "NA" for NaN, "Inf" / "-Inf".
QString diagnostic_text(double v);
