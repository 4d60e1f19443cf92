#pragma once

#include "coassign/Marginal.h"
#include "sample/Mc_sample.h"
#include "sample/Notices.h"
#include "tests/support/ResultText.h"
#include "tree/Forest.h"
#include "tree/History.h"

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace treetest {

using testutil::result_text;
using testutil::Row;

inline std::unique_ptr<MC_Sample> load_store(const std::string& text) {
    auto store = std::make_unique<MC_Sample>();
    Notices notes;
    testutil::load_text(*store, text, notes);
    // Rows with cluster 0 come from records that list some individuals in no cluster: loading reads them as
    // listed and warns about them, and nothing else.
    for (const Notice& n : notes.notices())
        EXPECT_NE(n.text.find("is not a clustering of individuals"), std::string::npos) << n.text;
    return store;
}

/// Everything a grown tree shows: the node made at each step and the three files.
struct Grown {
    std::vector<std::int32_t> child1, child2;
    std::vector<float> levels;
    std::vector<std::vector<std::int32_t>> members;
    std::vector<std::vector<std::int32_t>> roots;  // internal roots after each step
    std::string tree, clusters, heights;
};

/// Grows the tree with Forest and internal_node_history as the make-tree command does.
/// `stats`, when given, receives the Forest's counters; `threads` goes to Forest::set_threads.
inline Grown grow(const MC_Sample& store, std::int32_t n, const KList& k_list, std::int32_t burn_in,
                  std::int32_t bound_limit = 16384, Forest::Stats* stats = nullptr, int threads = 2) {
    Marginal marginal(store.Kmax(), n);
    marginal.fill_co_assi_counts(store, burn_in, n, store.Kmax());
    Forest forest(n, k_list, burn_in);
    forest.set_pair_bound_limit(bound_limit);
    forest.set_threads(threads);
    forest.init_proposals(marginal);
    internal_node_history history(n);
    Grown g;
    for (std::int32_t s = 1; s < n; ++s) {
        forest.merge_best_proposal(s, n + s);
        history.record_merge(n + s, forest);
        forest.update_proposals(n + s, store);
        const Node& node = forest.get_active_node(n + s);
        g.child1.push_back(node.get_child(1));
        g.child2.push_back(node.get_child(2));
        g.levels.push_back(node.get_prob_level());
        g.members.emplace_back(node.get_cluster()->begin(), node.get_cluster()->end());
        g.roots.push_back(history.roots_after_step(s));
    }
    forest.close_tree(n);
    if (stats != nullptr) *stats = forest.stats();
    std::ostringstream tree, clusters, heights;
    forest.print_accepted_nodes(tree);
    forest.print_all_clusters(clusters);
    history.print_node_co_assi_probs(heights, forest, n);
    g.tree = tree.str();
    g.clusters = clusters.str();
    g.heights = heights.str();
    return g;
}

}  // namespace treetest
