#pragma once

#include <cstdint>
#include <vector>

class Forest;

/// One merge of the tree: the node n_indivs + s, made at merge step s, joins the clusters child1 and child2
/// (ids as in the Forest: 1..n_indivs are leaves, n_indivs + t the node made at step t) at `level`, the
/// 32-bit float level the forest stored.
struct Merge {
    std::int32_t child1 = 0;
    std::int32_t child2 = 0;
    float level = 0.0f;
};

/// A finished tree as plain values, for writers and views that need no Forest.
struct TreeShape {
    std::int32_t n_indivs = 0;
    /// merges[s - 1] made the node n_indivs + s; n_indivs - 1 entries for a whole tree.
    std::vector<Merge> merges;

    /// Id of the root: 2 n_indivs - 1 (leaf 1 alone when n_indivs is 1); 0 for an empty tree.
    std::int32_t root() const;
    /// Member individuals of node id (1..2 n_indivs - 1), ascending.
    std::vector<std::int32_t> members(std::int32_t id) const;
    /// The individuals in the order the tree file lists them: child1's subtree before child2's.
    std::vector<std::int32_t> leaf_order() const;
};

/// The shape of a closed forest.
TreeShape tree_shape(const Forest& forest);
