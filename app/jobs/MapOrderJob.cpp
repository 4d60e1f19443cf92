#include "jobs/MapOrderJob.h"

#include <QCoreApplication>

std::optional<MapOrder> map_order_named(std::string_view name) {
    if (name == "tree") return MapOrder::tree;
    if (name == "average") return MapOrder::average;
    if (name == "estimate") return MapOrder::estimate;
    return std::nullopt;
}

QString map_order_text(MapOrder order) {
    switch (order) {
        case MapOrder::tree:
            return QCoreApplication::translate("MapOrder", "in the order of the tree's leaves");
        case MapOrder::average:
            return QCoreApplication::translate("MapOrder",
                                               "in the order of the average linkage of 1 \u2212 co-assignment");
        case MapOrder::estimate:
            return QCoreApplication::translate(
                "MapOrder", "by the estimate's clusters (clusters and individuals within each by average linkage)");
    }
    return {};
}

std::shared_ptr<const AverageTree> average_tree_job(const LinkageRequest& request, JobControl& control) {
    const QString stage = QCoreApplication::translate("MapOrder", "Average linkage of the individuals");
    control.report(stage, 0, 0);
    const Progress progress([&](std::int64_t done, std::int64_t total) { control.report(stage, done, total); },
                            control.cancel_flag());
    return std::make_shared<const AverageTree>(
        average_linkage(request.cells.cells(), request.total, request.n_indivs, &progress));
}

std::shared_ptr<const TreeShape> shape_of(const std::shared_ptr<const AverageTree>& tree) {
    if (!tree) return nullptr;
    return std::shared_ptr<const TreeShape>(tree, &tree->shape);
}

std::shared_ptr<const TreeShape> shape_of(const std::shared_ptr<const EstimateOrder>& order) {
    if (!order) return nullptr;
    return std::shared_ptr<const TreeShape>(order, &order->tree.shape);
}
