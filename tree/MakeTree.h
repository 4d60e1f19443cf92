#pragma once

#include "coassign/Marginal.h"
#include "sample/Mc_sample.h"
#include "sample/Notices.h"
#include "sample/Progress.h"
#include "sample/RunState.h"
#include "tree/TreeShape.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

/// k_from, k_from + 1, ..., k_to; empty when k_from > k_to.
KList make_k_list(std::int32_t k_from, std::int32_t k_to);

/// Brings the values a command takes from the window or the options into the form every computation uses,
/// in this order: a burn-in below 0 becomes 0; k_from and k_to are exchanged when k_from is the greater;
/// k_from is raised to 1; k_to is lowered to Kmax. k_from can still exceed k_to afterwards (when it is above
/// Kmax): the k range is then empty.
void normalise_parameters(RunParameters& params, std::int32_t Kmax);

/// The stages of make_tree, in order.
enum class TreeStage {
    counts,         ///< pair co-assignment counts; units: chunks of observations
    pairwise_file,  ///< the pairwise co-assignment file; units: rows
    seeding,        ///< first proposals of the forest; units: individuals
    merges,         ///< the merge loop; units: merge steps
    tree_files,     ///< the tree, node clusters and node heights files; units: files
};
/// Hears make_tree's progress on the thread that runs it: the stage, and done of total in its units.
using TreeProgress = std::function<void(TreeStage stage, std::int64_t done, std::int64_t total)>;

/// What make_tree writes and hands out besides its result; the defaults are the window's.
struct MakeTreeOutputs {
    /// false: the tree is made but none of the four files is written (the batch tool's tidy-only output).
    bool write_files = true;
    /// Called once the pair counts of the tree's k list are made, before the seeding and the merges, while
    /// the pairwise file and write_from_counts are written on threads of their own; both arguments are valid
    /// only during the call.
    std::function<void(const Marginal& marginal, const KList& k_list)> pairs_counted;
    /// Files written from the pair counts alone (psm.tsv): called once the counts are made, on a thread of
    /// its own, while the pairwise file is written on another and pairs_counted and the seeding run on the
    /// calling thread. It may only read the Marginal for k_list, must stop with Cancelled when `progress`
    /// raises it, and reports to `notes`, whose notices make_tree puts after the pairwise file's and before
    /// pairs_counted's, as if each had run after the other.
    std::function<void(const Marginal& marginal, const KList& k_list, Notices& notes, const Progress& progress)>
        write_from_counts;
};

struct MakeTreeResult {
    enum class Status { done, no_run, nothing_to_count } status = Status::done;
    std::string message;         ///< the sentence for no_run and nothing_to_count
    RunParameters used;          ///< the parameters after normalise_parameters: the tree's burn-in and k range
    std::int64_t draws = 0;      ///< observations counted: retained, with k in the range
    std::vector<double> levels;  ///< level of the node formed at each merge step, in step order
    TreeShape shape;             ///< the tree made
    bool tree_file_written = false;
    std::vector<std::string> not_written;  ///< output files that could not be written
};

/// The "Make Tree" command on a loaded store: normalises `params`, counts pair co-assignments over the
/// observations the burn-in keeps, writes the pairwise co-assignment file, grows the tree over the k
/// range, writes the tree file, the node clusters file and the node heights file, and gives the level of
/// every merge. A file that cannot be written is reported to `notes` and listed; the others are still
/// written. Individuals and Kmax are the store's.
///
/// Without a loaded run (no store, or fewer than 1 individual) nothing happens and the status is no_run.
/// When the k range is empty or no retained observation has its k in it, no file is written and the status
/// is nothing_to_count. Exceptions from the store propagate. When `cancel` is raised the work stops with
/// Cancelled: files already written stay, the one being written is left as it was before.
MakeTreeResult make_tree(const MC_Sample* store, RunParameters params, Notices& notes,
                         const TreeProgress& progress = {}, const std::atomic<bool>* cancel = nullptr,
                         const MakeTreeOutputs& outputs = {});
