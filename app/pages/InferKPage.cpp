#include "pages/InferKPage.h"

#include "charts/PosteriorChart.h"
#include "charts/TraceChart.h"
#include "pages/DiagnosticsTable.h"
#include "pages/NumericField.h"
#include "sample/OpenRun.h"
#include "session/Session.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

const AnchorLayout::Share at_right{1, 0, 0, 0};
const AnchorLayout::Share below{0, 0.5, 0, 0};
const AnchorLayout::Share below_right{1, 0.5, 0, 0};

}  // namespace

InferKPage::InferKPage(Session& session, QWidget* parent) : Page(parent), session_(session) {
    setObjectName(QStringLiteral("TabSheet1"));
    add_label("Label11", tr("Filename :"), {56, 3, 48, 13});
    file_label_ = add_label("Label12", QStringLiteral("_____"), {112, 3, 30, 13});
    QPushButton* open = add_button("Button2", tr("Open Strandel result file"), {296, 24, 129, 33});
    add_label("Label_output", tr("Output folder :"), {440, 33, 75, 13});
    output_folder_ = add_label("output_folder", QString(), {520, 33, 245, 13}, {0, 0, 1, 0});
    QPushButton* choose = add_button("choose_output_folder", tr("Choose..."), {776, 27, 75, 25}, at_right);
    choose->setToolTip(tr("Choose the folder the output files are written to"));
    add_label("Label_output_set", tr("Files written :"), {768, 56, 89, 13}, at_right);
    output_set_ = new QComboBox(this);
    output_set_->setObjectName(QStringLiteral("output_set"));
    output_set_->addItems({tr("Legacy"), tr("Tidy"), tr("Both")});
    output_set_->setToolTip(
        tr("Legacy: the files Velmora has always written (posterior_k.txt, tree.txt, ...).\n"
           "Tidy: tab-separated tables, Newick and NEXUS trees that R and Python read as "
           "they are (trace.tsv, posterior_k.tsv, diagnostics.tsv, psm.tsv, tree.nwk, ...).\n"
           "Both: the two sets side by side."));
    anchors()->add(output_set_, {768, 71, 89, 22}, at_right);

    trace_ = place_chart(new TraceChart, {75, 60, 678, 281}, {0, 0, 1, 0.5});
    QPushButton* print_trace = add_button("Button3", tr("Print"), {776, 128, 75, 25}, at_right);
    QPushButton* save = add_button("Button4", tr("Save Trajectory"), {768, 224, 89, 25}, at_right);
    trace_note_ = add_wrapped_label("trace_note", QString(), {760, 256, 150, 84}, at_right);
    diagnostics_ = new DiagnosticsTable(this);
    anchors()->add(diagnostics_, {75, 343, 678, 51}, {0, 0.5, 1, 0});
    run_warning_ = add_wrapped_label("run_warning", QString(), {760, 158, 150, 64}, at_right);
    run_warning_->setStyleSheet(QStringLiteral("color: #b00000"));

    posterior_ = place_chart(new PosteriorChart, {301, 396, 356, 269}, {0, 0.5, 1, 0.5});
    add_label("Label5", tr("Posterior k outfile"), {42, 450, 81, 13}, below);
    posterior_name_ = add_edit("posterior_filename", session.controls().posterior_name, {129, 448, 167, 21}, below);
    add_label("Label4", tr("Burn in"), {80, 480, 33, 13}, below);
    burn_in_ = add_numeric("spin_burn_in", 10, 0, 10000, 10, {128, 478, 81, 22}, below);
    refresh_ = add_button("calc_posterior", tr("Refresh"), {136, 518, 156, 20}, below);
    refresh_->setVisible(false);
    refresh_->setEnabled(false);
    add_label("Label8", tr("Bayes factor"), {672, 480, 59, 13}, below_right);
    bayes_ = add_label("Label_bayes", QStringLiteral(":"), {739, 479, 3, 13}, below_right);
    bayes_meaning_ = add_wrapped_label("bayes_meaning", QString(), {672, 497, 236, 42}, below_right);
    bayes_meaning_->setToolTip(
        tr("The Bayes factor compares k = 1 (one cluster) with k > 1: the posterior odds of k = 1 divided by its "
           "prior odds. Above 1 it favours k = 1, below 1 k > 1. Kass and Raftery (1995) grade |log10| below 0.5 "
           "as not worth more than a bare mention, 0.5 to 1 as substantial, 1 to 2 as strong and 2 or more as "
           "decisive."));
    QPushButton* print_posterior = add_button("Button6", tr("Print"), {672, 544, 75, 25}, below_right);
    posterior_note_ = add_wrapped_label("posterior_note", QString(), {8, 548, 285, 60}, {0, 0.75, 0, 0});

    connect(open, &QPushButton::clicked, this, &InferKPage::open_clicked);
    connect(choose, &QPushButton::clicked, this, &InferKPage::choose_output_folder_clicked);
    connect(print_trace, &QPushButton::clicked, this, [this] { emit print_requested(trace_); });
    connect(save, &QPushButton::clicked, this, &InferKPage::save_trajectory_clicked);
    connect(print_posterior, &QPushButton::clicked, this, [this] { emit print_requested(posterior_); });
    connect(burn_in_, &NumericField::changed, this, [this] {
        refresh_->setEnabled(true);
        session_.set_burn_in(truncate_field(burn_in_->value()));
        show_starting_title();
    });
    connect(refresh_, &QPushButton::clicked, &session, &Session::refresh_posterior);
    connect(posterior_name_, &QLineEdit::textChanged, &session, &Session::set_posterior_name);
    connect(output_set_, &QComboBox::activated, this, &InferKPage::output_set_chosen);
    session_.set_burn_in(truncate_field(burn_in_->value()));

    connect(&session, &Session::opened_runs, this, &InferKPage::show_opened);
    connect(&session, &Session::posterior_changed, this, &InferKPage::show_posterior);
    connect(&session, &Session::trace_changed, this, &InferKPage::show_trace);
    connect(&session, &Session::burn_in_marked, trace_, &TraceChart::mark_burn_in);
    connect(&session, &Session::run_warning, this, [this](const QString& text) {
        run_warning_->setText(text);
        run_warning_->setToolTip(text);
    });
    connect(&session, &Session::separator_changed, burn_in_, &NumericField::set_separator);
    connect(&session, &Session::convergence_changed, this,
            [this](const ConvergenceResult& result, const QStringList& labels) {
                diagnostics_->show_summaries(result.k, result.log_likelihood);
                if (result.runs.size() < 2) return;
                std::vector<std::vector<double>> posteriors;
                for (const RunSummary& s : result.runs) posteriors.push_back(s.posterior);
                posterior_->show_run_posteriors(posteriors, labels);
            });
    connect(&session, &Session::tree_made, this, [this] {
        // The trace is emptied until this page comes back, unless it is the one shown: the tree may have
        // been made in the background while the user came back to it.
        if (is_current()) return;
        if (!trace_stale_) trace_->clear_trace();
        trace_stale_ = true;
    });
}

QList<ChartView*> InferKPage::charts() const { return {trace_, posterior_}; }

double InferKPage::burn_in_value() const { return burn_in_->value(); }

void InferKPage::set_burn_in_value(double v) {
    burn_in_->setValue(v);
    show_starting_title();
}

void InferKPage::show_starting_title() {
    if (!session_.opened()) posterior_->set_title(PosteriorChart::starting_title(truncate_field(burn_in_->value())));
}

void InferKPage::show_output_set(int set) { output_set_->setCurrentIndex(set); }

qsizetype InferKPage::trace_points() const { return trace_->shown_points(); }

void InferKPage::show_output_folder(const QString& folder) {
    folder_ = folder;
    output_folder_->setToolTip(folder);
    elide_output_folder();
}

void InferKPage::elide_output_folder() {
    // Until the page is laid out the label's width means nothing: show the whole folder.
    const int room = output_folder_->isVisible() ? output_folder_->width() : QWIDGETSIZE_MAX;
    output_folder_->setText(QFontMetrics(output_folder_->font()).elidedText(folder_, Qt::ElideMiddle, room));
}

void InferKPage::resizeEvent(QResizeEvent* event) {
    Page::resizeEvent(event);
    elide_output_folder();
}

void InferKPage::set_current(bool current) {
    Page::set_current(current);
    if (!current || !trace_stale_) return;
    // The trace of a file opened before any was kept is read back from its side file.
    if (session_.trace() == nullptr && !session_.reload_trace()) return;
    show_trace();
}

void InferKPage::show_opened(const OpenedView& view) {
    file_label_->setText(view.file_label);
    diagnostics_->clear_summaries();
    posterior_->show_posterior({});
    posterior_->set_title(PosteriorChart::starting_title());
    posterior_->set_note(QString());
    posterior_note_->clear();
    bayes_->setText(QStringLiteral(":"));
    bayes_meaning_->clear();
    trace_->clear_trace();
    trace_stale_ = true;
    trace_note_->setText(view.side_file_written
                             ? QString()
                             : tr("The trajectory file could not be written; the trace is kept in memory."));
    burn_in_->setMaximum(view.longest_run);
}

void InferKPage::show_posterior(const PosteriorView& view) {
    posterior_->set_title(view.title);
    bayes_->setText(view.bayes.isEmpty() ? QStringLiteral(":") : view.bayes);
    bayes_meaning_->setText(view.bayes_meaning);
    if (!view.posterior) {
        posterior_->show_posterior({});
        posterior_->set_note(view.note);
        posterior_note_->clear();
        return;
    }
    posterior_->show_posterior(view.posterior->p);
    posterior_->set_note(QString());
    posterior_note_->setText(view.note);
}

void InferKPage::show_trace() {
    std::shared_ptr<const std::vector<TracePoint>> points = session_.shared_trace();
    if (!points) return;
    trace_->show_trace(std::move(points), session_.run_starts(), session_.run_labels());
    trace_stale_ = false;
}
