#pragma once

// The orders the co-assignment map can show its rows and columns in, and the average-linkage tree behind
// one of them, made on a worker from a tree's pair counts.

#include "coassign/PairCells.h"
#include "jobs/JobRunner.h"
#include "tree/AverageLinkage.h"
#include "tree/MapOrder.h"
#include "tree/TreeShape.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include <QString>

/// The order of the map's rows and columns: the leaves of the tree made by Make Tree, the leaves of the
/// average linkage of 1 - co-assignment, or the estimate's clusters (EstimateOrder).
enum class MapOrder { tree, average, estimate };

/// "tree", "average" and "estimate", as plot's --order spells them; nothing for another word.
std::optional<MapOrder> map_order_named(std::string_view name);
/// How the map's note tells the order: "in the order of the tree's leaves", ...
QString map_order_text(MapOrder order);

/// The pair counts of a tree's draws (by pair_index, `total` draws) over n_indivs individuals.
struct LinkageRequest {
    SharedPairCells cells;
    std::int64_t total = 0;
    std::int32_t n_indivs = 0;
};

/// The average-linkage tree of the counts (tree/AverageLinkage.h), reporting its progress; Cancelled when
/// the job is cancelled.
std::shared_ptr<const AverageTree> average_tree_job(const LinkageRequest& request, JobControl& control);

/// The shape of `tree` (or of the tree of `order`) as a shared value that keeps the whole alive: the
/// dendrogram beside a map in that order. Null for null.
std::shared_ptr<const TreeShape> shape_of(const std::shared_ptr<const AverageTree>& tree);
std::shared_ptr<const TreeShape> shape_of(const std::shared_ptr<const EstimateOrder>& order);
