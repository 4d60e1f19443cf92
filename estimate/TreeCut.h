#pragma once

#include "tree/AverageLinkage.h"
#include "tree/TreeShape.h"

#include <cstdint>
#include <vector>

/// The clustering a tree gives at `level`: the individuals joined by the merges whose level, the stored
/// float widened to double, is at least `level` (the union of those merges, whatever their order in the
/// tree: a merge at or above the level takes in the whole of both its children), every other individual
/// alone. cut[i - 1] is the cluster of individual i (1..tree.n_indivs), clusters numbered 1..K in the order
/// of their first member. A level above every merge gives singletons; 0 gives one cluster for a whole tree
/// of levels >= 0; a NaN level joins nobody.
std::vector<std::int32_t> cut_tree(const TreeShape& tree, double level);

/// The same cut of an average-linkage tree, each merge compared at its level in full (AverageTree::levels,
/// a double) rather than at the float the shape keeps, so a merge at 0.49999999 stays out of a cut at 0.5
/// (a merge without a full level, should `levels` be short, is compared at its float).
std::vector<std::int32_t> cut_tree(const AverageTree& tree, double level);

/// Renumbers a clustering (any values, one per individual) 1..K in the order of first appearance.
std::vector<std::int32_t> number_by_first_appearance(const std::vector<std::int32_t>& cluster);
