#include "pages/DiagnosticsTable.h"

#include <cmath>

#include <QHeaderView>

QString diagnostic_text(double v) {
    if (std::isnan(v)) return QStringLiteral("NA");
    if (std::isinf(v)) return v > 0 ? QStringLiteral("Inf") : QStringLiteral("-Inf");
    return QString::number(v, 'g', 6);
}

DiagnosticsTable::DiagnosticsTable(QWidget* parent) : QTableWidget(0, 7, parent) {
    setObjectName(QStringLiteral("diagnostics_table"));
    setHorizontalHeaderLabels(
        {tr("Convergence"), tr("Mean"), tr("SD"), tr("Bulk-ESS"), tr("Tail-ESS"), tr("R-hat"), tr("MCSE of mean")});
    horizontalHeaderItem(0)->setToolTip(
        tr("Diagnostics of the retained draws, the runs as chains (Vehtari et al. 2021): effective sample sizes "
           "of the bulk and of the tails, rank-normalised split R-hat, Monte Carlo standard error of the mean"));
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::NoSelection);
    setFocusPolicy(Qt::NoFocus);
    verticalHeader()->setVisible(false);
    verticalHeader()->setMinimumSectionSize(10);
    verticalHeader()->setDefaultSectionSize(16);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    horizontalHeader()->setFixedHeight(17);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

int DiagnosticsTable::show_summaries(const ChainSummary& k, const ChainSummary& log_likelihood) {
    const struct {
        QString name;
        const ChainSummary& s;
    } rows[] = {{tr("k"), k}, {tr("log likelihood"), log_likelihood}};
    setRowCount(2);
    int flagged = 0;
    for (int r = 0; r < 2; ++r) {
        const ChainSummary& s = rows[r].s;
        auto* name = new QTableWidgetItem(rows[r].name);
        setItem(r, 0, name);
        const double values[] = {s.mean, s.sd, s.ess_bulk, s.ess_tail, s.rhat, s.mcse_mean};
        for (int c = 0; c < 6; ++c) {
            auto* item = new QTableWidgetItem(diagnostic_text(values[c]));
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            setItem(r, c + 1, item);
        }
        for (const auto& [column, why] :
             {std::pair{3, ess_warning(s.ess_bulk)}, std::pair{4, tail_ess_warning(s.ess_tail)},
              std::pair{5, rhat_warning(s.rhat)}}) {
            if (why.isEmpty()) continue;
            QTableWidgetItem* flagged_item = item(r, column);
            flagged_item->setBackground(QColor(255, 200, 200));
            flagged_item->setToolTip(why);
            flagged_item->setText(flagged_item->text() + QStringLiteral(" \u26a0"));
            ++flagged;
        }
    }
    return flagged;
}

void DiagnosticsTable::clear_summaries() { setRowCount(0); }

QString rhat_warning(double rhat) {
    if (!(rhat > 1.01)) return {};
    return DiagnosticsTable::tr(
               "R-hat %1 is above 1.01: the chains (each split in halves) do not agree yet, so the run has not "
               "converged; a longer run or a larger burn-in is needed (Vehtari et al. 2021).")
        .arg(rhat, 0, 'g', 4);
}

QString ess_warning(double ess_bulk) {
    if (!(ess_bulk < 400)) return {};
    return DiagnosticsTable::tr(
               "Bulk-ESS %1 is below 400: the retained draws carry too little independent information for "
               "reliable estimates and R-hat; run the chains longer (Vehtari et al. 2021).")
        .arg(ess_bulk, 0, 'g', 4);
}

QString tail_ess_warning(double ess_tail) {
    if (!(ess_tail < 400)) return {};
    return DiagnosticsTable::tr(
               "Tail-ESS %1 is below 400: the retained draws say too little about the tails of the distribution "
               "for reliable quantiles and intervals (the 5 % and 95 % quantiles); run the chains longer (Vehtari "
               "et al. 2021).")
        .arg(ess_tail, 0, 'g', 4);
}

int flagged_count(const ChainSummary& k, const ChainSummary& log_likelihood) {
    int flagged = 0;
    for (const ChainSummary* s : {&k, &log_likelihood})
        for (const QString& why : {ess_warning(s->ess_bulk), tail_ess_warning(s->ess_tail), rhat_warning(s->rhat)})
            flagged += why.isEmpty() ? 0 : 1;
    return flagged;
}
