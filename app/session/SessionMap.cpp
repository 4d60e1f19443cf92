// The co-assignment map of the last tree in the order chosen: the tree's leaves, the average linkage of
// 1 - co-assignment, or the estimate's clusters. Each order's map is made once per tree (the estimate's
// once per estimate) on a worker and kept; the pair counts are shared by all of them.

#include "jobs/MapJob.h"
#include "session/Session.h"

namespace {

std::size_t slot(MapOrder order) { return static_cast<std::size_t>(order); }

}  // namespace

void Session::set_map_order(MapOrder order) {
    command([&] {
        const MapOrder before = shown_map_order();
        map_order_ = order;
        if (tree_shape_ && (shown_map_order() != before || !ordered_maps_[slot(shown_map_order())].map)) show_map();
    });
}

MapOrder Session::shown_map_order() const {
    if (map_order_ == MapOrder::estimate && !estimate_order_) return MapOrder::average;
    return map_order_;
}

std::shared_ptr<const TreeShape> Session::dendrogram_of(MapOrder order) const {
    switch (order) {
        case MapOrder::tree:
            return tree_shape_;
        case MapOrder::average:
            return shape_of(average_tree_);
        case MapOrder::estimate:
            return shape_of(estimate_order_);
    }
    return nullptr;
}

void Session::show_map() {
    if (!tree_shape_) return;
    if (!pair_cells_ || pair_total_ <= 0) {
        emit map_cleared(tr("The pair counts of this tree were not kept (too many draws to hold as a table): no map."));
        return;
    }
    const MapOrder order = shown_map_order();
    if (ordered_maps_[slot(order)].map) {
        publish_map(order);
        return;
    }
    if (order == MapOrder::average && !average_tree_) {
        with_average_tree(
            [this] {
                if (shown_map_order() == MapOrder::average)
                    start_ordered_map(MapOrder::average, dendrogram_of(MapOrder::average));
            },
            [this] { emit map_progress(tr("The average linkage was stopped: choose the order again to make it.")); });
        return;
    }
    start_ordered_map(order, dendrogram_of(order));
}

void Session::start_ordered_map(MapOrder order, std::shared_ptr<const TreeShape> dendrogram) {
    const MapRequest request{pair_cells_, pair_total_, dendrogram->leaf_order()};
    maps_.start<std::shared_ptr<const CoassignMap>>(
        tr("Preparing the co-assignment map"), [request](JobControl& control) { return map_job(request, control); },
        [this, order, dendrogram](std::shared_ptr<const CoassignMap>&& map) {
            // A map of a tree or an estimate since replaced is not kept.
            if (dendrogram_of(order) != dendrogram) return;
            ordered_maps_[slot(order)] = {std::move(map), dendrogram};
            if (shown_map_order() == order) publish_map(order);
        });
}

void Session::publish_map(MapOrder order) {
    const OrderedMap& shown = ordered_maps_[slot(order)];
    QString source = tr("Tree of %1: burn-in %2, k from %3 to %4, %5 draws; rows and columns %6.")
                         .arg(run_name())
                         .arg(tree_used_.burn_in)
                         .arg(tree_used_.k_from)
                         .arg(tree_used_.k_to)
                         .arg(tree_draws_)
                         .arg(map_order_text(order));
    if (map_order_ == MapOrder::estimate && order != MapOrder::estimate)
        source += tr(" The estimate's order follows once an estimate is made on the Estimate page.");
    emit map_ready(shown.map, shown.dendrogram, names(), source);
    if (!outlined_.empty()) emit clusters_changed(outlined_, outlined_caption_);
}

void Session::with_average_tree(std::function<void()> then, std::function<void()> dropped) {
    if (average_tree_) {
        then();
        return;
    }
    average_waiting_.emplace_back(std::move(then), std::move(dropped));
    if (average_started_) return;
    average_started_ = true;
    const LinkageRequest request{pair_cells_, pair_total_, tree_shape_->n_indivs};
    linkages_.start<std::shared_ptr<const AverageTree>>(
        tr("Average linkage of %1").arg(run_name()),
        [request](JobControl& control) { return average_tree_job(request, control); },
        [this](std::shared_ptr<const AverageTree>&& tree) {
            average_started_ = false;
            average_tree_ = std::move(tree);
            const auto waiting = std::move(average_waiting_);
            average_waiting_.clear();
            for (const auto& w : waiting) w.first();
        });
}
