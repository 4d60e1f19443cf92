#include "tree/MakeTree.h"

#include "tree/CountsWriters.h"
#include "tree/Forest.h"
#include "tree/History.h"

#include <utility>

KList make_k_list(std::int32_t k_from, std::int32_t k_to) {
    KList k_list;
    for (std::int64_t k = k_from; k <= k_to; ++k) k_list.push_back(static_cast<std::int32_t>(k));
    return k_list;
}

void normalise_parameters(RunParameters& params, std::int32_t Kmax) {
    if (params.burn_in < 0) params.burn_in = 0;
    if (params.k_from > params.k_to) std::swap(params.k_from, params.k_to);
    if (params.k_from < 1) params.k_from = 1;
    if (params.k_to > Kmax) params.k_to = Kmax;
}

MakeTreeResult make_tree(const MC_Sample* store, RunParameters params, Notices& notes, const TreeProgress& progress,
                         const std::atomic<bool>* cancel, const MakeTreeOutputs& outputs) {
    MakeTreeResult result;
    if (store == nullptr || store->n_indivs() < 1) {
        result.status = MakeTreeResult::Status::no_run;
        result.message = "There is no run to make a tree from: open a result file first.";
        result.used = std::move(params);
        return result;
    }
    const std::int32_t n = store->n_indivs();
    const auto stage = [&](TreeStage s) {
        return Progress(
            [&progress, s](std::int64_t done, std::int64_t total) {
                if (progress) progress(s, done, total);
            },
            cancel);
    };

    normalise_parameters(params, store->Kmax());
    result.used = params;
    Marginal marginal(store->Kmax(), n);
    marginal.fill_co_assi_counts(*store, params.burn_in, n, store->Kmax());
    const KList k_list = make_k_list(params.k_from, params.k_to);
    result.draws = marginal.count_obs_in_k_list(k_list);

    if (k_list.empty() || result.draws == 0) {
        result.status = MakeTreeResult::Status::nothing_to_count;
        const std::string range = std::to_string(params.k_from) + " to " + std::to_string(params.k_to);
        result.message = k_list.empty()
                             ? "Nothing can be counted: the range of k from " + range +
                                   " is empty, since the largest k of the run is " + std::to_string(store->Kmax())
                             : "Nothing can be counted: no observation from the burn-in " +
                                   std::to_string(params.burn_in) + " on has its k in the range " + range;
        result.message += "; no tree was made and no file was written.";
        return result;
    }

    const auto note = [&](bool written, const std::string& path) {
        if (!written) result.not_written.push_back(path);
        return written;
    };
    marginal.prepare(k_list, stage(TreeStage::counts));
    const Progress writing = stage(TreeStage::pairwise_file);
    writing.step(0, n);
    // The files of the counts are written on threads of their own (the Marginal is only read from here on,
    // until its counts are released) while the seeding runs here: writing them is mostly the system's
    // copying, which a second core does alongside.
    CountsWriters writers(notes, cancel);
    if (outputs.write_files)
        writers.start([&](Notices& own, const Progress& p) {
            return marginal.print_pairwise_co_assi_probs(params.pairwise_path, n, k_list, own, &p);
        });
    if (outputs.write_from_counts)
        writers.start([&](Notices& own, const Progress& p) {
            outputs.write_from_counts(marginal, k_list, own, p);
            return true;
        });
    if (outputs.pairs_counted) outputs.pairs_counted(marginal, k_list);

    Forest forest(n, k_list, params.burn_in);
    const Progress seeding = stage(TreeStage::seeding);
    seeding.step(0, n);
    forest.init_proposals(marginal, &seeding);
    const std::deque<bool> written = writers.finish([&](std::int64_t done, std::int64_t total) {
        if (outputs.write_files && total > 0 && progress) progress(TreeStage::pairwise_file, done, total);
    });
    if (outputs.write_files) note(written.front(), params.pairwise_path);
    // The forest holds the pair levels it needs from here on; the counts would only add to the peak.
    marginal.release_counts();
    seeding.step(n, n);
    internal_node_history history(n);
    const Progress merging = stage(TreeStage::merges);
    merging.step(0, n - 1);
    for (std::int32_t s = 1; s < n; ++s) {
        forest.merge_best_proposal(s, n + s, &merging);
        history.record_merge(n + s, forest);
        forest.update_proposals(n + s, *store, &merging);
        merging.step(s, n - 1);
    }
    forest.close_tree(n);

    const Progress files = stage(TreeStage::tree_files);
    files.step(0, 3);
    if (outputs.write_files) {
        result.tree_file_written = note(forest.print_accepted_nodes(params.tree_path, notes), params.tree_path);
        files.step(1, 3);
        note(forest.print_all_clusters(params.clusters_path, notes), params.clusters_path);
        files.step(2, 3);
        note(history.print_node_co_assi_probs(params.heights_path, forest, n, notes), params.heights_path);
    }
    files.step(3, 3);

    result.shape = tree_shape(forest);
    result.levels.reserve(static_cast<std::size_t>(n - 1));
    for (std::int32_t s = 1; s < n; ++s) result.levels.push_back(history.get_step_prob_level(s, forest));
    return result;
}
