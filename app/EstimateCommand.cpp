// The Estimate page's commands: the point estimate over the draws of the last tree, made on a worker and
// written to clustering.tsv and estimate.txt, and the cut of that tree, written to cut.tsv.

#include "app/Clustering.h"
#include "app/EstimatePage.h"
#include "app/MakeTreePage.h"
#include "app/MapPage.h"
#include "app/RunJobs.h"
#include "estimate/TreeCut.h"

#include <cmath>

#include <QFile>
#include <QStatusBar>

namespace {

struct EstimateRequest {
    std::shared_ptr<const MC_Sample> store;
    std::shared_ptr<const TreeShape> tree;
    RunParameters used;
    EstimateSettings settings;
};

Estimate estimate_job(const EstimateRequest& request, JobControl& control) {
    const QString stage = TForm1::tr("Searching for the clustering of least expected loss");
    control.report(stage, 0, 1000);
    const std::vector<std::int32_t> draws =
        request.store->retained_observations(request.used.burn_in, request.used.k_from, request.used.k_to);
    return estimate_clustering(
        *request.store, draws, request.tree->n_indivs, request.settings, request.tree.get(),
        [&](double fraction) { control.report(stage, static_cast<qint64>(std::lround(fraction * 1000)), 1000); },
        control.cancel_flag());
}

QString number(double v) { return QString::number(v, 'g', 6); }

}  // namespace

void TForm1::wire_estimate() {
    connect(estimate_page_, &EstimatePage::estimate_clicked, this, &TForm1::run_estimate);
    connect(estimate_page_, &EstimatePage::cancel_clicked, &estimates_, &JobRunner::cancel);
    connect(estimate_page_, &EstimatePage::cut_clicked, this, &TForm1::cut_last_tree);
    connect(&estimates_, &JobRunner::progressed, estimate_page_, &EstimatePage::show_progress);
    connect(&estimates_, &JobRunner::finished, this, [this](JobEnd end, const QString&) {
        if (end == JobEnd::cancelled) estimate_page_->show_stopped(tr("Cancelled: no estimate was made."));
        if (end == JobEnd::failed) estimate_page_->show_stopped(tr("Stopped by an error."));
    });
}

void TForm1::forget_tree() {
    estimates_.cancel();
    tree_shape_.reset();
    tree_draws_ = 0;
    estimate_clusters_.clear();
    cut_clusters_.clear();
    make_tree_->set_point_clusters({});
    maps_.cancel();
    map_page_->clear_map(tr("Make a tree of %1 on the Make Tree page: the map shows the co-assignment "
                            "probabilities over the tree's draws, in the order of its leaves.")
                             .arg(run_name()));
    QStringList names;
    for (const std::string& n : run_.names) names.append(QString::fromStdString(n));
    estimate_page_->reset(run_.header.n_indivs, names);
    estimate_page_->show_source(tr("Make a tree of %1 on the Make Tree page first: the estimate uses the draws "
                                   "of the last tree (its burn-in and k range).")
                                    .arg(run_name()),
                                false);
}

void TForm1::take_tree(const MakeTreeResult& result, const TreeOutcome& outcome) {
    forget_tree();
    tree_shape_ = std::make_shared<const TreeShape>(result.shape);
    tree_used_ = result.used;
    tree_draws_ = result.draws;
    estimate_page_->show_source(tr("Draws of the last tree of %1: burn-in %2, k from %3 to %4, %5 draws.")
                                    .arg(run_name())
                                    .arg(result.used.burn_in)
                                    .arg(result.used.k_from)
                                    .arg(result.used.k_to)
                                    .arg(result.draws),
                                true);
    start_map(outcome.pair_cells, outcome.pair_total);
}

void TForm1::run_estimate() {
    command([this] {
        if (!tree_shape_ || !run_.store) {
            dialogs_->message(this, QMessageBox::Warning,
                              tr("There is no tree to estimate from: make a tree on the Make Tree page first."));
            return;
        }
        EstimateRequest request{run_.store, tree_shape_, tree_used_, EstimateSettings{}};
        request.settings.loss = estimate_page_->loss();
        request.settings.seed = estimate_page_->seed();
        estimate_page_->show_started();
        estimates_.start<Estimate>(
            tr("Estimating the clustering of %1").arg(run_name()),
            [request](JobControl& control) { return estimate_job(request, control); },
            [this](Estimate&& e) { apply_estimate(std::move(e)); });
    });
}

void TForm1::apply_estimate(Estimate&& estimate) {
    if (estimate.status == Estimate::Status::cancelled) {
        estimate_page_->show_stopped(tr("Cancelled: no estimate was made."));
        return;
    }
    Notices notes;
    const bool written =
        write_estimate_files(QFile::encodeName(output_folder_).toStdString(), estimate, run_.names, notes);
    const QString unit = estimate.loss == Loss::vi ? tr(" bits") : tr(" pairs");
    QString summary = tr("Expected %1 loss %2%3 over %4 draws (best single draw: %5%3); %6 clusters; radius of the "
                         "95 % credible ball: %7 bits; seed %8.")
                          .arg(estimate.loss == Loss::vi ? tr("VI") : tr("Binder"))
                          .arg(number(estimate.expected_loss))
                          .arg(unit)
                          .arg(estimate.draws)
                          .arg(number(estimate.best_draw_loss))
                          .arg(estimate.clusters)
                          .arg(number(estimate.credible_ball_radius_95))
                          .arg(estimate.seed);
    summary += written ? tr(" Written to clustering.tsv and estimate.txt.")
                       : tr(" clustering.tsv or estimate.txt could not be written.");
    estimate_clusters_ = estimate.cluster;
    make_tree_->set_point_clusters(estimate_clusters_);
    map_page_->set_clusters(estimate_clusters_, tr("Outlined: the estimate (%1 clusters, %2 loss).")
                                                    .arg(estimate.clusters)
                                                    .arg(estimate.loss == Loss::vi ? tr("VI") : tr("Binder")));
    estimate_page_->show_estimate(estimate, summary);
    if (!written) show_notices(notes, QMessageBox::Warning);
    notify_user(tr("Estimate done: %1 clusters.").arg(estimate.clusters));
}

void TForm1::cut_last_tree() {
    command([this] {
        if (!tree_shape_) {
            dialogs_->message(this, QMessageBox::Warning,
                              tr("There is no tree to cut: make a tree on the Make Tree page first."));
            return;
        }
        const double level = estimate_page_->cut_level();
        cut_clusters_ = cut_tree(*tree_shape_, level);
        std::int32_t k = 0;
        for (std::int32_t c : cut_clusters_) k = std::max(k, c);
        Notices notes;
        const bool written =
            write_cut_files(QFile::encodeName(output_folder_).toStdString(), cut_clusters_, run_.names, notes);
        estimate_page_->show_cut(cut_clusters_,
                                 tr("At level %1: %2 clusters.").arg(number(level)).arg(k) +
                                     (written ? tr(" Written to cut.tsv.") : tr(" cut.tsv could not be written.")));
        map_page_->set_clusters(cut_clusters_,
                                tr("Outlined: the cut at level %1 (%2 clusters).").arg(number(level)).arg(k));
        if (!written) show_notices(notes, QMessageBox::Warning);
    });
}
