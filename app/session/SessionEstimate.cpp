// What is made from the last tree: the point estimate and its files, the cut and the co-assignment map.

#include "estimate/TreeCut.h"
#include "jobs/EstimateJob.h"
#include "jobs/MapJob.h"
#include "jobs/TreeJob.h"
#include "session/Session.h"

#include <algorithm>

#include <QFile>

namespace {

QString number(double v) { return QString::number(v, 'g', 6); }

QString shown_loss(Loss loss) { return loss == Loss::vi ? Session::tr("VI") : Session::tr("Binder"); }

}  // namespace

void Session::forget_tree() {
    estimates_.cancel();
    maps_.cancel();
    tree_shape_.reset();
    tree_draws_ = 0;
    estimate_clusters_.clear();
    estimate_.reset();
    cut_.clear();
    emit clusters_changed({}, QString());
    emit tree_forgotten(tr("Make a tree of %1 on the Make Tree page: the map shows the co-assignment probabilities "
                           "over the tree's draws, in the order of its leaves.")
                            .arg(run_name()));
    emit estimate_source(tr("Make a tree of %1 on the Make Tree page first: the estimate uses the draws of the last "
                            "tree (its burn-in and k range).")
                             .arg(run_name()),
                         false);
}

void Session::take_tree(const MakeTreeResult& result, const TreeOutcome& outcome) {
    forget_tree();
    tree_shape_ = std::make_shared<const TreeShape>(result.shape);
    tree_used_ = result.used;
    tree_draws_ = result.draws;
    emit estimate_source(tr("Draws of the last tree of %1: burn-in %2, k from %3 to %4, %5 draws.")
                             .arg(run_name())
                             .arg(result.used.burn_in)
                             .arg(result.used.k_from)
                             .arg(result.used.k_to)
                             .arg(result.draws),
                         true);
    start_map(outcome.pair_cells, outcome.pair_total);
}

void Session::estimate(Loss loss, std::uint64_t seed) {
    command([&] {
        if (!tree_shape_ || !run_.store) {
            emit problem(Severity::warning,
                         tr("There is no tree to estimate from: make a tree on the Make Tree page first."));
            return;
        }
        EstimateRequest request{run_.store, tree_shape_, tree_used_, EstimateSettings{}};
        request.settings.loss = loss;
        request.settings.seed = seed;
        asked_loss_ = loss;
        estimate_cancel_asked_ = false;
        emit estimate_started();
        estimates_.start<Estimate>(
            tr("Estimating the clustering of %1").arg(run_name()),
            [request](JobControl& control) { return estimate_job(request, control); },
            [this](Estimate&& e) { apply_estimate(std::move(e)); });
    });
}

void Session::apply_estimate(Estimate&& estimate) {
    if (estimate.status == Estimate::Status::cancelled) {
        estimate_cancelled();
        return;
    }
    Notices notes;
    const bool written =
        write_estimate_files(QFile::encodeName(output_folder_).toStdString(), estimate, run_.names, notes);
    const QString unit = estimate.loss == Loss::vi ? tr(" bits") : tr(" pairs");
    QString summary = tr("Expected %1 loss %2%3 over %4 draws (best single draw: %5%3); %6 clusters; radius of the "
                         "95 % credible ball: %7 bits; seed %8.")
                          .arg(shown_loss(estimate.loss))
                          .arg(number(estimate.expected_loss))
                          .arg(unit)
                          .arg(estimate.draws)
                          .arg(number(estimate.best_draw_loss))
                          .arg(estimate.clusters)
                          .arg(number(estimate.credible_ball_radius_95))
                          .arg(estimate.seed);
    summary += written ? tr(" Written to clustering.tsv and estimate.txt.")
                       : tr(" clustering.tsv or estimate.txt could not be written.");
    if (written) record_written(folder_path(), OutputMoment::estimate, estimate_settings(estimate));
    estimate_clusters_ = estimate.cluster;
    estimate_ = estimate;
    emit estimate_made(estimate, summary);
    emit clusters_changed(
        estimate_clusters_,
        tr("Outlined: the estimate (%1 clusters, %2 loss).").arg(estimate.clusters).arg(shown_loss(estimate.loss)));
    if (!written) report_problem(notes, Severity::warning);
    note(tr("Estimate done: %1 clusters.").arg(estimate.clusters));
}

std::string Session::estimate_settings(const Estimate& estimate) const {
    return range_text(tree_used_) + "; loss " + (estimate.loss == Loss::vi ? "vi" : "binder") + "; seed " +
           std::to_string(estimate.seed);
}

std::string Session::cut_settings(double level) const {
    return range_text(tree_used_) + "; cut at level " + number(level).toStdString();
}

void Session::estimate_cancelled() {
    const QString asked = shown_loss(asked_loss_);
    if (estimate_) {
        const QString shown = shown_loss(estimate_->loss);
        emit estimate_stopped(tr("Cancelled: the %1 estimate stays.").arg(shown));
        if (estimate_cancel_asked_)
            note(tr("The %1 estimate was cancelled; the %2 estimate made before is still shown.").arg(asked, shown));
    } else {
        emit estimate_stopped(tr("Cancelled: no estimate was made."));
        if (estimate_cancel_asked_) note(tr("The %1 estimate was cancelled: no estimate was made.").arg(asked));
    }
    estimate_cancel_asked_ = false;
}

void Session::cut(double level) {
    command([&] {
        if (!tree_shape_) {
            emit problem(Severity::warning, tr("There is no tree to cut: make a tree on the Make Tree page first."));
            return;
        }
        const std::vector<std::int32_t> clusters = cut_tree(*tree_shape_, level);
        std::int32_t k = 0;
        for (std::int32_t c : clusters) k = std::max(k, c);
        Notices notes;
        const bool written =
            write_cut_files(QFile::encodeName(output_folder_).toStdString(), clusters, run_.names, notes);
        if (written) record_written(folder_path(), OutputMoment::cut, cut_settings(level));
        cut_ = clusters;
        cut_level_ = level;
        emit cut_made(clusters, tr("At level %1: %2 clusters.").arg(number(level)).arg(k) +
                                    (written ? tr(" Written to cut.tsv.") : tr(" cut.tsv could not be written.")));
        emit clusters_changed(clusters, tr("Outlined: the cut at level %1 (%2 clusters).").arg(number(level)).arg(k));
        if (!written) report_problem(notes, Severity::warning);
    });
}

void Session::start_map(std::shared_ptr<const std::vector<std::uint32_t>> cells, std::int64_t total) {
    if (!cells || total <= 0 || !tree_shape_) {
        emit map_cleared(tr("The pair counts of this tree were not kept (too many draws to hold as a table): no map."));
        return;
    }
    const std::shared_ptr<const TreeShape> tree = tree_shape_;
    const MapRequest request{std::move(cells), total, tree->leaf_order()};
    maps_.start<std::shared_ptr<const CoassignMap>>(
        tr("Preparing the co-assignment map"), [request](JobControl& control) { return map_job(request, control); },
        [this, tree](std::shared_ptr<const CoassignMap>&& map) {
            emit map_ready(std::move(map), tree, names(),
                           tr("Tree of %1: burn-in %2, k from %3 to %4, %5 draws; rows and columns in the order of "
                              "the tree's leaves.")
                               .arg(run_name())
                               .arg(tree_used_.burn_in)
                               .arg(tree_used_.k_from)
                               .arg(tree_used_.k_to)
                               .arg(tree_draws_));
            if (!estimate_clusters_.empty()) emit clusters_changed(estimate_clusters_, tr("Outlined: the estimate."));
        });
}
