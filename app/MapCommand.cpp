// The co-assignment map page: made on a worker from the pair counts of the last tree, in its leaf order.

#include "app/Clustering.h"
#include "app/MakeTreePage.h"
#include "app/MapPage.h"

void TForm1::wire_map() {
    connect(map_page_, &MapPage::send_to_picker, this, [this](const std::vector<std::int32_t>& individuals) {
        if (individuals.empty()) return;
        make_tree_->choose(individuals);
        PageControl1->setCurrentWidget(make_tree_);
        notify_user(tr("%n individual(s) put in the chosen set.", nullptr, static_cast<int>(individuals.size())));
    });
    connect(&maps_, &JobRunner::progressed, map_page_, [this](const JobProgress& p) {
        map_page_->show_progress(p.total > 0 ? tr("%1: %2 %").arg(p.stage).arg(p.done * 100 / p.total) : p.stage);
    });
    connect(&maps_, &JobRunner::finished, this, [this](JobEnd end, const QString&) {
        if (end == JobEnd::failed) map_page_->clear_map(tr("The map could not be made."));
        if (end == JobEnd::cancelled && !map_page_->view()->has_map())
            map_page_->show_progress(tr("The map was cancelled: make the tree again to see it."));
    });
}

void TForm1::start_map(std::shared_ptr<const std::vector<std::uint32_t>> cells, std::int64_t total) {
    if (!cells || total <= 0 || !tree_shape_) {
        map_page_->clear_map(
            tr("The pair counts of this tree were not kept (too many draws to hold as a table): no "
               "map."));
        return;
    }
    const std::shared_ptr<const TreeShape> tree = tree_shape_;
    const QString stage = tr("Preparing the co-assignment map");
    maps_.start<std::shared_ptr<const CoassignMap>>(
        stage,
        [cells, total, tree, stage](JobControl& control) {
            control.report(stage, 0, 1000);
            return std::make_shared<const CoassignMap>(
                cells, total, tree->leaf_order(),
                [&](double f) { control.report(stage, static_cast<qint64>(f * 1000), 1000); }, control.cancel_flag());
        },
        [this, tree](std::shared_ptr<const CoassignMap>&& map) {
            QStringList names;
            for (const std::string& n : run_.names) names.append(QString::fromStdString(n));
            map_page_->show_map(std::move(map), tree, names,
                                tr("Tree of %1: burn-in %2, k from %3 to %4, %5 draws; rows and columns in the "
                                   "order of the tree's leaves.")
                                    .arg(run_name())
                                    .arg(tree_used_.burn_in)
                                    .arg(tree_used_.k_from)
                                    .arg(tree_used_.k_to)
                                    .arg(tree_draws_));
            if (!estimate_clusters_.empty()) map_page_->set_clusters(estimate_clusters_, tr("Outlined: the estimate."));
        });
}
