#pragma once

#include "coassign/Marginal.h"
#include "sample/Diagnostics.h"
#include "sample/RunState.h"
#include "tree/TreeShape.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

/// k_from, k_from + 1, ..., k_to; empty when k_from > k_to.
KList make_k_list(std::int32_t k_from, std::int32_t k_to);

/// Orders and clamps the k range of the run, in this order: exchanges k_from and k_to when k_from is the
/// greater; raises k_from to 1; lowers k_to to Kmax. k_from can still exceed k_to afterwards (when it is
/// above Kmax).
void normalise_k_range(RunState& run);

/// What the window does during make_tree; each is optional.
struct MakeTreeHooks {
    std::function<void()> clear_trace;              ///< empty the trace chart (only when the trace was not stale)
    std::function<void()> refill_lists;             ///< refill the lists of individuals
    std::function<void()> clear_levels_chart;       ///< empty the "Prob levels" chart
    std::function<void(int n_steps)> start_merges;  ///< show "Constructing tree"; progress 0 of n_steps
    std::function<void(int s)> merge_step;          ///< merge step s is done: advance progress, process events
};

/// What make_tree writes and hands out besides its result; the defaults are the window's.
struct MakeTreeOutputs {
    /// false: the tree is made but none of the four files is written (the batch tool's tidy-only output).
    bool write_files = true;
    /// Called once the pair counts of the tree's k list are made (after the pairwise file, before the
    /// merges); both arguments are valid only during the call.
    std::function<void(const Marginal& marginal, const KList& k_list)> pairs_counted;
};

struct MakeTreeResult {
    enum class Status { done, no_run, nothing_to_count } status = Status::done;
    std::string message;                   ///< the sentence for no_run and nothing_to_count
    std::vector<double> levels;            ///< level of the node formed at each merge step, in step order
    TreeShape shape;                       ///< the tree made
    std::vector<std::string> not_written;  ///< output files that could not be written
};

/// The "Make Tree" command on the open run: counts pair co-assignments from the burn-in on, normalises
/// the k range (kept in `run`), writes the pairwise co-assignment file, grows the tree over the k range,
/// writes the tree file, the node clusters file and the node heights file, and gives the level of every
/// merge. A file that cannot be written is reported to `diag` and listed; the others are still written.
///
/// Without a loaded run (no store, or fewer than 1 individual) nothing happens and the status is no_run.
/// When the k range is empty or no observation from the burn-in on has its k in it, the command stops
/// after emptying the levels chart, writes no file and the status is nothing_to_count. Exceptions from
/// the store propagate.
MakeTreeResult make_tree(RunState& run, Diagnostics& diag, const MakeTreeHooks& hooks = {},
                         const MakeTreeOutputs& outputs = {});
