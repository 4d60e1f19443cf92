#pragma once

#include "coassign/PairCells.h"
#include "sample/Progress.h"
#include "tree/TreeShape.h"

#include <cstdint>
#include <span>
#include <vector>

/// A tree made by average linkage, with its levels at full precision.
struct AverageTree {
    /// Merge s (1..n_indivs - 1) makes node n_indivs + s. child1 is the cluster holding the lower smallest
    /// member, child2 the other; `level` is their co-assignment (see average_linkage) rounded to the nearest
    /// float, so cut_tree, leaf_order and the dendrogram work on it as on the greedy tree.
    TreeShape shape;
    /// levels[s - 1]: the co-assignment of merge s rounded to the nearest double (ties to even). The levels
    /// never increase from one merge to the next, so no node stands above its parent: with heights
    /// 1 - level the tree is ultrametric.
    std::vector<double> levels;
};

/// Average linkage (UPGMA) of individuals 1..n_indivs on the distance 1 - co-assignment.
///
/// `cells` holds the pair counts laid out by pair_index (coassign/PairCounts.h): for 1 <= a < b <= n_indivs,
/// the number of the `total` draws in which a and b share a cluster (Marginal::pair_counts gives both).
/// The co-assignment of two disjoint clusters A and B is S(A, B) / (|A| |B| total), S(A, B) the counts
/// summed over the pairs of A x B.
///
/// Rule: starting from every individual alone, each step joins the two clusters of largest co-assignment.
/// Ties: among the pairs of clusters at the largest co-assignment, the pair whose smallest members are
/// lowest, compared as (smaller of the two minima, larger of the two minima), is joined. No two clusters
/// share a member, so exactly one pair is chosen. Co-assignments are compared exactly as fractions of
/// integers (sums of up to 62 bits, cross products in 128 bits); no rounding decides a merge.
///
/// Method: Müllner's generic algorithm (arXiv:1109.2378). Every cluster keeps a bound on its best pair with
/// the clusters of lower smallest member (a pair at least as good as any of them, by the rule's order with
/// its ties), in a heap; the pair on top is joined once it proves current, else that cluster alone is
/// scanned again. It needs no reducibility argument and makes exactly the merges of the rule above, ties
/// included, in the rule's order (no sorting of the merges afterwards, as a nearest-neighbour chain needs).
/// Time: O(n) a merge for the updates, plus the scans again, about 1 to 2 a merge of O(n) each on planted
/// or random counts (O(n^3) at worst). Memory: one 32-bit cell a pair (a working copy of `cells`, none for
/// the overload that takes them over); sums of 2^32 - 1 or more in a side table (at most n^2 total / 2^33
/// pairs of clusters at once can reach it, as the products |A| |B| of disjoint clusters add up to at most
/// n^2 / 2: about 940 at 16,384 individuals and 30,000 draws); O(n) beside.
///
/// Raises Exceptions when n_indivs is outside 0..65536, when cells does not hold n_indivs (n_indivs - 1) / 2
/// entries, or, for n_indivs >= 2, when total is outside 1..2^32 - 1. `progress`, when given, hears units of
/// work done of 2 (n_indivs - 1) (the rows scanned at the start, then the merges) now and then and at the
/// end, and stops the work with Cancelled when cancel is raised.
AverageTree average_linkage(std::span<const std::uint32_t> cells, std::int64_t total, std::int32_t n_indivs,
                            const Progress* progress = nullptr);
/// As above, on counts in cells of any width (its working copy is 32-bit whatever their width).
AverageTree average_linkage(const PairCells& cells, std::int64_t total, std::int32_t n_indivs,
                            const Progress* progress = nullptr);
/// As above, working in the memory of `cells`, which it takes over and frees: no second copy of the counts.
AverageTree average_linkage(std::vector<std::uint32_t>&& cells, std::int64_t total, std::int32_t n_indivs,
                            const Progress* progress = nullptr);

/// num / den rounded to the nearest double, ties to even, for den > 0 (exact however large num and den).
double rounded_ratio(std::uint64_t num, std::uint64_t den);
/// num / den rounded to the nearest float, ties to even, for den > 0 (not the double rounded again).
float rounded_ratio_float(std::uint64_t num, std::uint64_t den);
