#pragma once

#include "coassign/PairCells.h"
#include "sample/Progress.h"
#include "tree/AverageLinkage.h"

#include <cstdint>
#include <span>
#include <vector>

// Orders of the individuals for the co-assignment map, from the pair counts (cells by pair_index, `total`
// draws, as average_linkage takes them). Each order lists individuals 1..n_indivs once.

/// The leaf order of average_linkage(cells, total, n_indivs): at every merge child1 (the cluster holding
/// the lower smallest member) before child2. Raises and reports as average_linkage does.
std::vector<std::int32_t> average_linkage_order(std::span<const std::uint32_t> cells, std::int64_t total,
                                                std::int32_t n_indivs, const Progress* progress = nullptr);
/// As above, on counts in cells of any width.
std::vector<std::int32_t> average_linkage_order(const PairCells& cells, std::int64_t total, std::int32_t n_indivs,
                                                const Progress* progress = nullptr);

/// The map order of an estimated clustering, and the dendrogram drawn beside it.
struct EstimateOrder {
    /// The individuals in map order: cluster by cluster in cluster_order, each cluster's members in the
    /// leaf order of the average linkage restricted to them.
    std::vector<std::int32_t> order;
    /// The clusters (their numbers as given) in map order: the leaf order of the average linkage between
    /// clusters, whose co-assignment is their counts summed over all their pairs of members divided by
    /// (|A| |B| total).
    std::vector<std::int32_t> cluster_order;
    /// The tree whose leaf order is `order`: first the merges within each cluster (clusters taken by
    /// smallest member), then the merges between clusters, each joining the subtrees of whole clusters.
    /// Levels are those of the linkage each merge comes from, so a merge between two clusters can stand
    /// above a merge within one of them (a loose cluster close to another); heights there are not
    /// ultrametric, as in the greedy tree.
    AverageTree tree;
};

/// The map order of `cluster` (cluster[i - 1] >= 1 is the cluster of individual i, 1..n_indivs; the numbers
/// need not be consecutive). Both linkages follow the rule and tie rule of average_linkage; between
/// clusters, a cluster's smallest member stands for it in the tie rule. Raises Exceptions as
/// average_linkage does, and when cluster does not hold n_indivs numbers of at least 1. `progress` hears
/// units of work done of 3 n_indivs - 2 (the pass that sums the counts between clusters, then the
/// linkages) and stops the work with Cancelled when cancel is raised. Memory: 4 bytes for each pair of
/// members of the largest cluster, and for each pair of clusters.
EstimateOrder estimate_order(std::span<const std::uint32_t> cells, std::int64_t total, std::int32_t n_indivs,
                             const std::vector<std::int32_t>& cluster, const Progress* progress = nullptr);
/// As above, on counts in cells of any width.
EstimateOrder estimate_order(const PairCells& cells, std::int64_t total, std::int32_t n_indivs,
                             const std::vector<std::int32_t>& cluster, const Progress* progress = nullptr);
