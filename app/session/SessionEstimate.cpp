// What is made from the last tree: the point estimate and its files, and the cut (the map: SessionMap.cpp).

#include "estimate/TreeCut.h"
#include "jobs/EstimateJob.h"
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
    linkages_.cancel();
    tree_shape_.reset();
    tree_draws_ = 0;
    estimate_clusters_.clear();
    outlined_.clear();
    outlined_caption_.clear();
    pair_cells_.reset();
    pair_total_ = 0;
    average_tree_.reset();
    average_started_ = false;
    average_waiting_.clear();
    estimate_order_.reset();
    membership_.reset();
    ordered_maps_ = {};
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
    pair_cells_ = outcome.pair_cells;
    pair_total_ = outcome.pair_total;
    emit made_from_fewer(QString());
    average_tree_ = outcome.average;
    show_map();
}

void Session::estimate(Loss loss, std::uint64_t seed) {
    command([&] {
        if (!tree_shape_ || !run_.store) {
            emit problem(Severity::warning,
                         tr("There is no tree to estimate from: make a tree on the Make Tree page first."));
            return;
        }
        EstimateRequest request{run_.store, tree_shape_, tree_used_, EstimateSettings{}, pair_cells_, pair_total_};
        request.settings.loss = loss;
        request.settings.seed = seed;
        asked_loss_ = loss;
        estimate_cancel_asked_ = false;
        emit estimate_started();
        estimates_.start<EstimateOutcome>(
            tr("Estimating the clustering of %1").arg(run_name()),
            [request](JobControl& control) { return estimate_job(request, control); },
            [this](EstimateOutcome&& e) { apply_estimate(std::move(e)); });
    });
}

void Session::apply_estimate(EstimateOutcome&& outcome) {
    const Estimate& estimate = outcome.estimate;
    if (estimate.status == Estimate::Status::cancelled) {
        estimate_cancelled();
        return;
    }
    Notices notes;
    const bool written = write_estimate_files(QFile::encodeName(output_folder_).toStdString(), estimate,
                                              *outcome.membership, run_.names, notes);
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
    summary += written ? tr(" Written to clustering.tsv, estimate.txt and membership.tsv.")
                       : tr(" clustering.tsv, estimate.txt or membership.tsv could not be written.");
    if (written) record_written(folder_path(), OutputMoment::estimate, estimate_settings(estimate));
    estimate_clusters_ = estimate.cluster;
    estimate_ = estimate;
    estimate_order_ = outcome.order;
    membership_ = outcome.membership;
    ordered_maps_[static_cast<std::size_t>(MapOrder::estimate)] = {};
    const QString loss = shown_loss(estimate.loss);
    emit estimate_made(estimate, summary);
    emit membership_made(MembershipData{membership_, outcome.membership_order,
                                        estimate_order_ ? estimate_order_->cluster_order : std::vector<std::int32_t>{},
                                        names(), groups(),
                                        tr("The estimate of %1 (%2 loss, seed %3): %4 clusters over %5 draws.")
                                            .arg(run_name(), loss)
                                            .arg(estimate.seed)
                                            .arg(estimate.clusters)
                                            .arg(estimate.draws)});
    outlined_ = estimate_clusters_;
    outlined_caption_ = tr("Outlined: the estimate (%1 clusters, %2 loss).").arg(estimate.clusters).arg(loss);
    emit clusters_changed(outlined_, outlined_caption_);
    if (shown_map_order() == MapOrder::estimate) show_map();
    if (!written) report_problem(notes, Severity::warning);
    note(tr("Estimate done: %1 clusters.").arg(estimate.clusters));
}

std::string Session::estimate_settings(const Estimate& estimate) const {
    return range_text(tree_used_) + "; loss " + (estimate.loss == Loss::vi ? "vi" : "binder") + "; seed " +
           std::to_string(estimate.seed);
}

std::string Session::cut_settings(double level, CutTree tree) const {
    return range_text(tree_used_) + (tree == CutTree::tree ? "; cut at level " : "; average-linkage cut at level ") +
           number(level).toStdString();
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

void Session::cut(double level, CutTree tree) {
    command([&] {
        if (!tree_shape_) {
            emit problem(Severity::warning, tr("There is no tree to cut: make a tree on the Make Tree page first."));
            return;
        }
        // A cut asked replaces one still waiting for the average-linkage tree: that one is dropped unseen, so
        // that the cut shown and written is always the last one asked.
        const std::uint64_t asked = ++cuts_asked_;
        if (tree == CutTree::tree) {
            apply_cut(cut_tree(*tree_shape_, level), level, tree);
            return;
        }
        if (!pair_cells_) {
            emit problem(Severity::warning, tr("The pair counts of this tree were not kept (too many draws to hold as "
                                               "a table), so there is no average-linkage tree to cut."));
            return;
        }
        if (!average_tree_) emit cut_made({}, tr("Making the average-linkage tree..."));
        with_average_tree(
            [this, level, asked] {
                if (asked == cuts_asked_) apply_cut(cut_tree(*average_tree_, level), level, CutTree::average);
            },
            [this, asked] {
                if (asked == cuts_asked_) emit cut_made({}, tr("The average linkage was stopped: no cut was made."));
            });
    });
}

void Session::apply_cut(const std::vector<std::int32_t>& clusters, double level, CutTree tree) {
    std::int32_t k = 0;
    for (std::int32_t c : clusters) k = std::max(k, c);
    Notices notes;
    const bool written = write_cut_files(QFile::encodeName(output_folder_).toStdString(), clusters, run_.names, notes);
    if (written) record_written(folder_path(), OutputMoment::cut, cut_settings(level, tree));
    cut_ = clusters;
    cut_level_ = level;
    cut_tree_ = tree;
    const QString which = tree == CutTree::tree ? tr("The tree") : tr("The average-linkage tree");
    emit cut_made(clusters, tr("%1 cut at level %2: %3 clusters.").arg(which, number(level)).arg(k) +
                                (written ? tr(" Written to cut.tsv.") : tr(" cut.tsv could not be written.")));
    outlined_ = clusters;
    outlined_caption_ =
        tree == CutTree::tree
            ? tr("Outlined: the cut of the tree at level %1 (%2 clusters).").arg(number(level)).arg(k)
            : tr("Outlined: the cut of the average-linkage tree at level %1 (%2 clusters).").arg(number(level)).arg(k);
    emit clusters_changed(outlined_, outlined_caption_);
    if (!written) report_problem(notes, Severity::warning);
}
