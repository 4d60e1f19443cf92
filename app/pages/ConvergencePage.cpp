#include "pages/ConvergencePage.h"

#include "charts/AutocorrelationChart.h"
#include "charts/Palette.h"
#include "pages/DiagnosticsTable.h"
#include "session/Session.h"

#include <cmath>

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

namespace {

QTableWidget* make_table(QWidget* parent, const char* name, const QStringList& columns) {
    auto* table = new QTableWidget(0, static_cast<int>(columns.size()), parent);
    table->setObjectName(QLatin1String(name));
    table->setHorizontalHeaderLabels(columns);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->verticalHeader()->setVisible(false);
    table->verticalHeader()->setDefaultSectionSize(18);
    table->horizontalHeader()->setStretchLastSection(true);
    return table;
}

QTableWidgetItem* cell(const QString& text, Qt::Alignment align = Qt::AlignRight | Qt::AlignVCenter) {
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment(align);
    return item;
}

}  // namespace

ConvergencePage::ConvergencePage(Session& session, QWidget* parent) : Page(parent) {
    setObjectName(QStringLiteral("TabSheetConvergence"));
    add_label("Label_runs", tr("Runs open (chains over the same individuals) :"), {8, 6, 300, 13});
    run_table = make_table(
        this, "run_table",
        {tr("Run"), tr("File"), tr("Observations"), tr("Retained"), tr("Mean k"), tr("Mean log likelihood")});
    anchors()->add(run_table, {8, 22, 760, 96}, {0, 0, 1, 0});
    QPushButton* add_run = add_button("add_run", tr("Add run..."), {780, 22, 110, 25}, {1, 0, 0, 0});
    add_run->setToolTip(tr("Load another result file over the same individuals as one more chain"));
    remove_run = add_button("remove_run", tr("Remove run"), {780, 54, 110, 25}, {1, 0, 0, 0});
    remove_run->setToolTip(tr("Take the run chosen in the list out of the analysis"));

    diagnostics_note = add_wrapped_label("diagnostics_note", QString(), {8, 126, 900, 28}, {0, 0, 1, 0});

    acf_k = place_chart(new AutocorrelationChart(false), {4, 156, 452, 512}, {0, 0, 0.5, 1});
    acf_log_likelihood = place_chart(new AutocorrelationChart(true), {460, 156, 452, 512}, {0.5, 0, 0.5, 1});

    connect(add_run, &QPushButton::clicked, this, &ConvergencePage::add_run_clicked);
    connect(remove_run, &QPushButton::clicked, this, &ConvergencePage::remove_run_clicked);
    connect(run_table, &QTableWidget::itemSelectionChanged, this, &ConvergencePage::update_buttons);
    show_runs({});
    clear_diagnostics(tr("Open a result file to see whether its chain has converged."));

    connect(&session, &Session::opened_runs, this, [this](const OpenedView& view) {
        show_runs(view.run_labels);
        clear_diagnostics(tr("Computing..."));
    });
    connect(&session, &Session::convergence_changed, this, &ConvergencePage::show_diagnostics);
}

QList<ChartView*> ConvergencePage::charts() const { return {acf_k, acf_log_likelihood}; }

void ConvergencePage::show_runs(const QStringList& files) {
    run_table->setRowCount(static_cast<int>(files.size()));
    for (int r = 0; r < files.size(); ++r) {
        QTableWidgetItem* number = cell(QString::number(r + 1), Qt::AlignCenter);
        const QColor colour = run_colour(r, static_cast<int>(files.size()));
        number->setBackground(QColor::fromHsv(colour.hsvHue(), colour.hsvSaturation() * 2 / 5, 255));
        run_table->setItem(r, 0, number);
        run_table->setItem(r, 1, cell(files[r], Qt::AlignLeft | Qt::AlignVCenter));
        for (int c = 2; c < run_table->columnCount(); ++c) run_table->setItem(r, c, cell(QString()));
    }
    update_buttons();
}

int ConvergencePage::selected_run() const {
    const QList<QTableWidgetItem*> chosen = run_table->selectedItems();
    return chosen.isEmpty() ? -1 : chosen.constFirst()->row();
}

void ConvergencePage::update_buttons() { remove_run->setEnabled(run_table->rowCount() > 1 && selected_run() >= 0); }

void ConvergencePage::show_diagnostics(const ConvergenceResult& result, const QStringList& run_names) {
    for (int r = 0; r < run_table->rowCount() && r < static_cast<int>(result.runs.size()); ++r) {
        const RunSummary& s = result.runs[static_cast<std::size_t>(r)];
        run_table->item(r, 2)->setText(QString::number(s.draws));
        run_table->item(r, 3)->setText(QString::number(s.retained));
        run_table->item(r, 4)->setText(diagnostic_text(s.retained > 0 ? s.mean_k : NAN));
        run_table->item(r, 5)->setText(diagnostic_text(s.retained > 0 ? s.mean_log_likelihood : NAN));
    }
    QString note = result.runs.size() > 1
                       ? tr("%1 runs compared as chains, each cut to its last %2 retained draws.")
                             .arg(result.runs.size())
                             .arg(result.chain_length)
                       : tr("One run: R-hat compares the halves of its %1 retained draws.").arg(result.chain_length);
    if (flagged_count(result.k, result.log_likelihood) > 0)
        note += QLatin1Char(' ') +
                tr("Values flagged in the diagnostics on the Infer k page (hover for why) say the chains need "
                   "more draws.");
    diagnostics_note->setText(note);
    acf_k->show_curves(result.acf_k, run_names);
    acf_log_likelihood->show_curves(result.acf_log_likelihood, run_names);
}

void ConvergencePage::clear_diagnostics(const QString& note) {
    diagnostics_note->setText(note);
    acf_k->show_curves({}, {});
    acf_log_likelihood->show_curves({}, {});
}
