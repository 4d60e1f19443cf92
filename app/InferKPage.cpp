#include "app/InferKPage.h"

#include "app/ChartView.h"
#include "app/DiagnosticsTable.h"
#include "app/NumericField.h"
#include "app/RunCharts.h"
#include "app/charts.h"
#include "sample/OpenRun.h"

#include <QBarSeries>
#include <QBarSet>
#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>

namespace {

const AnchorLayout::Share at_right{1, 0, 0, 0};
const AnchorLayout::Share below{0, 0.5, 0, 0};
const AnchorLayout::Share below_right{1, 0.5, 0, 0};

}  // namespace

InferKPage::InferKPage(QWidget* parent) : Page(parent), trace_(std::make_unique<TraceSeries>()) {
    setObjectName(QStringLiteral("TabSheet1"));
    add_label("Label11", tr("Filename :"), {56, 3, 48, 13});
    Label12 = add_label("Label12", QStringLiteral("_____"), {112, 3, 30, 13});
    QPushButton* Button2 = add_button("Button2", tr("Open Strandel result file"), {296, 24, 129, 33});
    add_label("Label_output", tr("Output folder :"), {440, 33, 75, 13});
    output_folder = add_label("output_folder", QString(), {520, 33, 245, 13}, {0, 0, 1, 0});
    QPushButton* choose = add_button("choose_output_folder", tr("Choose..."), {776, 27, 75, 25}, at_right);
    choose->setToolTip(tr("Choose the folder the output files are written to"));
    add_label("Label_output_set", tr("Files written :"), {768, 56, 89, 13}, at_right);
    output_set = new QComboBox(this);
    output_set->setObjectName(QStringLiteral("output_set"));
    output_set->addItems({tr("Legacy"), tr("Tidy"), tr("Both")});
    output_set->setToolTip(
        tr("Legacy: the files Velmora has always written (posterior_k.txt, tree.txt, ...).\n"
           "Tidy: tab-separated tables, Newick and NEXUS trees that R and Python read as "
           "they are (trace.tsv, posterior_k.tsv, diagnostics.tsv, psm.tsv, tree.nwk, ...).\n"
           "Both: the two sets side by side."));
    anchors()->add(output_set, {768, 71, 89, 22}, at_right);

    Chart4 = add_chart("Chart4", tr("Path of k and log likelihood for markov chain observations"), true,
                       {75, 60, 678, 281}, {0, 0, 1, 0.5});
    Chart4->set_print_stretched(true);
    *trace_ = add_trace_series(Chart4);
    trace_->k->setObjectName(QStringLiteral("Series5"));
    trace_->log_likelihood->setObjectName(QStringLiteral("Series6"));
    QPushButton* Button3 = add_button("Button3", tr("Print"), {776, 128, 75, 25}, at_right);
    QPushButton* Button4 = add_button("Button4", tr("Save Trajectory"), {768, 224, 89, 25}, at_right);
    trace_note = add_wrapped_label("trace_note", QString(), {760, 256, 150, 84}, at_right);
    diagnostics_ = new DiagnosticsTable(this);
    anchors()->add(diagnostics_, {75, 343, 678, 51}, {0, 0.5, 1, 0});
    run_warning = add_wrapped_label("run_warning", QString(), {760, 158, 150, 64}, at_right);
    run_warning->setStyleSheet(QStringLiteral("color: #b00000"));

    Chart2 = add_chart("Chart2", tr("Posterior distribution of k (burn in = 1000)"), false, {301, 396, 356, 269},
                       {0, 0.5, 1, 0.5});
    Series3 = add_posterior_series(Chart2);
    Series3->setObjectName(QStringLiteral("Series3"));
    add_label("Label5", tr("Posterior k outfile"), {42, 450, 81, 13}, below);
    posterior_filename = add_edit("posterior_filename", QStringLiteral("posterior_k.txt"), {129, 448, 167, 21}, below);
    add_label("Label4", tr("Burn in"), {80, 480, 33, 13}, below);
    spin_burn_in = add_numeric("spin_burn_in", 10, 0, 10000, 10, {128, 478, 81, 22}, below);
    calc_posterior = add_button("calc_posterior", tr("Refresh"), {136, 518, 156, 20}, below);
    calc_posterior->setVisible(false);
    calc_posterior->setEnabled(false);
    add_label("Label8", tr("Bayes factor"), {672, 480, 59, 13}, below_right);
    Label_bayes = add_label("Label_bayes", QStringLiteral(":"), {739, 479, 3, 13}, below_right);
    QPushButton* Button6 = add_button("Button6", tr("Print"), {672, 544, 75, 25}, below_right);
    posterior_note = add_wrapped_label("posterior_note", QString(), {8, 548, 285, 60}, {0, 0.75, 0, 0});

    connect(Button2, &QPushButton::clicked, this, &InferKPage::open_clicked);
    connect(choose, &QPushButton::clicked, this, &InferKPage::choose_output_folder_clicked);
    connect(Button3, &QPushButton::clicked, this, [this] { emit print_requested(Chart4); });
    connect(Button4, &QPushButton::clicked, this, &InferKPage::save_trajectory_clicked);
    connect(Button6, &QPushButton::clicked, this, [this] { emit print_requested(Chart2); });
    connect(spin_burn_in, &NumericField::changed, this, [this] {
        calc_posterior->setEnabled(true);
        emit burn_in_changed();
    });
    connect(calc_posterior, &QPushButton::clicked, this, &InferKPage::refresh_clicked);
    connect(output_set, &QComboBox::activated, this, &InferKPage::output_set_chosen);
}

InferKPage::~InferKPage() = default;

QList<ChartView*> InferKPage::charts() const { return {Chart4, Chart2}; }

std::int32_t InferKPage::burn_in() const { return truncate_field(spin_burn_in->value()); }

double InferKPage::burn_in_value() const { return spin_burn_in->value(); }

void InferKPage::set_burn_in_value(double v) { spin_burn_in->setValue(v); }

void InferKPage::set_burn_in_limit(std::int32_t n_obs) { spin_burn_in->setMaximum(n_obs); }

QString InferKPage::posterior_name() const { return posterior_filename->text(); }

void InferKPage::set_separator(char sep) { spin_burn_in->set_separator(sep); }

void InferKPage::show_file(const QString& path) { Label12->setText(path); }

void InferKPage::show_output_folder(const QString& folder) {
    folder_ = folder;
    output_folder->setToolTip(folder);
    elide_output_folder();
}

void InferKPage::elide_output_folder() {
    // Until the page is laid out the label's width means nothing: show the whole folder.
    const int room = output_folder->isVisible() ? output_folder->width() : QWIDGETSIZE_MAX;
    output_folder->setText(QFontMetrics(output_folder->font()).elidedText(folder_, Qt::ElideMiddle, room));
}

void InferKPage::resizeEvent(QResizeEvent* event) {
    Page::resizeEvent(event);
    elide_output_folder();
}

void InferKPage::show_posterior(const std::vector<double>& p, const QString& title, const QString& bayes,
                                const QString& note) {
    fill_run_posteriors(Series3, p, {});
    Chart2->set_title(title);
    Chart2->set_note(QString());
    posterior_note->setText(note);
    if (!bayes.isEmpty()) Label_bayes->setText(bayes);
}

void InferKPage::show_no_posterior(const QString& title, const QString& note) {
    fill_run_posteriors(Series3, {}, {});
    Chart2->set_title(title);
    Chart2->set_note(note);
    posterior_note->clear();
}

void InferKPage::reset_posterior() {
    fill_run_posteriors(Series3, {}, {});
    Chart2->set_title(tr("Posterior distribution of k (burn in = 1000)"));
    Chart2->set_note(QString());
    posterior_note->clear();
    Label_bayes->setText(QStringLiteral(":"));
}

void InferKPage::show_trace(const std::vector<TracePoint>& points, const std::vector<std::int64_t>& starts,
                            const QStringList& run_names) {
    fill_run_traces(Chart4, *trace_, run_traces_, points, starts, run_names, trace_zoom_);
}

void InferKPage::clear_trace() { fill_run_traces(Chart4, *trace_, run_traces_, {}, {}, {}, trace_zoom_); }

void InferKPage::show_run_posteriors(const std::vector<std::vector<double>>& runs, const QStringList& run_names) {
    std::vector<double> pooled{0.0};
    for (const double p : posterior_bars(Series3)) pooled.push_back(p);
    fill_run_posteriors(Series3, pooled, runs);
    set_posterior_tooltip(Chart2, Series3, QStringList{tr("Pooled")} + run_names);
}

void InferKPage::set_run_warning(const QString& text) {
    run_warning->setText(text);
    run_warning->setToolTip(text);
}

void InferKPage::show_output_set(int set) { output_set->setCurrentIndex(set); }

std::int64_t InferKPage::trace_points() const { return trace_->k->count(); }

void InferKPage::set_trace_note(const QString& note) { trace_note->setText(note); }

void InferKPage::mark_burn_in(std::int32_t b) {
    if (b <= 0) {
        Chart4->set_shaded_range(std::nullopt);
        return;
    }
    Chart4->set_shaded_range(std::pair<double, double>(0, b), tr("burn-in"));
}
