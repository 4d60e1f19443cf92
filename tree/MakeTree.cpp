#include "tree/MakeTree.h"

#include "tree/Forest.h"
#include "tree/History.h"

#include <utility>

KList make_k_list(std::int32_t k_from, std::int32_t k_to) {
    KList k_list;
    for (std::int64_t k = k_from; k <= k_to; ++k) k_list.push_back(static_cast<std::int32_t>(k));
    return k_list;
}

void normalise_k_range(RunState& run) {
    if (run.k_from > run.k_to) std::swap(run.k_from, run.k_to);
    if (run.k_from < 1) run.k_from = 1;
    if (run.k_to > run.header.Kmax) run.k_to = run.header.Kmax;
}

MakeTreeResult make_tree(RunState& run, Diagnostics& diag, const MakeTreeHooks& hooks, const MakeTreeOutputs& outputs) {
    MakeTreeResult result;
    if (!run.store || run.header.n_indivs < 1) {
        result.status = MakeTreeResult::Status::no_run;
        result.message = "There is no run to make a tree from: open a result file first.";
        return result;
    }
    const std::int32_t n = run.header.n_indivs;

    Marginal marginal(run.header.Kmax, n);
    if (!run.trace_stale) {
        if (hooks.clear_trace) hooks.clear_trace();
        run.trace_stale = true;
    }
    marginal.fill_co_assi_counts(*run.store, run.burn_in, n, run.header.Kmax);
    if (hooks.refill_lists) hooks.refill_lists();
    normalise_k_range(run);
    const KList k_list = make_k_list(run.k_from, run.k_to);
    if (hooks.clear_levels_chart) hooks.clear_levels_chart();

    if (k_list.empty() || marginal.count_obs_in_k_list(k_list) == 0) {
        result.status = MakeTreeResult::Status::nothing_to_count;
        const std::string range = std::to_string(run.k_from) + " to " + std::to_string(run.k_to);
        result.message = k_list.empty()
                             ? "Nothing can be counted: the range of k from " + range +
                                   " is empty, since the largest k of the run is " + std::to_string(run.header.Kmax)
                             : "Nothing can be counted: no observation from the burn-in " +
                                   std::to_string(run.burn_in) + " on has its k in the range " + range;
        result.message += "; no tree was made and no file was written.";
        return result;
    }

    const auto note = [&](bool written, const std::string& path) {
        if (!written) result.not_written.push_back(path);
    };
    if (outputs.write_files)
        note(marginal.print_pairwise_co_assi_probs(run.pairwise_path, n, k_list, diag), run.pairwise_path);
    if (outputs.pairs_counted) outputs.pairs_counted(marginal, k_list);

    Forest forest(n, k_list, run.burn_in);
    forest.init_proposals(marginal);
    internal_node_history history(n);
    if (hooks.start_merges) hooks.start_merges(n - 1);
    for (std::int32_t s = 1; s < n; ++s) {
        forest.merge_best_proposal(s, n + s);
        if (hooks.merge_step) hooks.merge_step(s);
        history.record_merge(n + s, forest);
        forest.update_proposals(n + s, *run.store);
    }
    forest.close_tree(n);

    if (outputs.write_files) {
        note(forest.print_accepted_nodes(run.tree_path, diag), run.tree_path);
        note(forest.print_all_clusters(run.clusters_path, diag), run.clusters_path);
        note(history.print_node_co_assi_probs(run.heights_path, forest, n, diag), run.heights_path);
    }

    result.shape = tree_shape(forest);
    result.levels.reserve(static_cast<std::size_t>(n - 1));
    for (std::int32_t s = 1; s < n; ++s) result.levels.push_back(history.get_step_prob_level(s, forest));
    return result;
}
