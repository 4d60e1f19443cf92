#pragma once

// The output files of an analysis, as the window and the batch tool both write them: one function per
// moment at which files are written (an open or a change of the burn-in, a tree, an estimate, a cut), each
// writing the files of the chosen set in a fixed order into the output folder. Every file is written
// atomically; one that cannot be written is reported and the others are still written.

#include "estimate/Estimate.h"
#include "estimate/Membership.h"
#include "sample/Mc_sample.h"
#include "sample/Notices.h"
#include "sample/OutputNames.h"
#include "sample/Progress.h"
#include "sample/RunState.h"
#include "summary/Posterior.h"
#include "tidy/RunTables.h"
#include "tree/AverageLinkage.h"
#include "tree/MakeTree.h"
#include "tree/TreeShape.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

/// Which output files are written: the legacy set (what the window has always written), the tidy set
/// (tables and trees for R and Python, diagnostics, the estimate), both, or none (a picture drawn only).
enum class OutputSet { legacy, tidy, both, none };

inline bool writes_legacy(OutputSet set) { return set == OutputSet::legacy || set == OutputSet::both; }
inline bool writes_tidy(OutputSet set) { return set == OutputSet::tidy || set == OutputSet::both; }

/// When a file is written: at an open and each change of the burn-in, by Save Trajectory, with a tree,
/// with an estimate, with a cut.
enum class OutputMoment { open, save_trajectory, tree, estimate, cut };

/// One output file: its name in the output folder (the legacy ones: the default, which the user may
/// change), its set and when it is written; `renamed` when the user can give it another name.
struct OutputFileInfo {
    const char* name;
    OutputSet set;
    OutputMoment moment;
    bool renamed;
};

/// Every file Velmora writes, legacy set first, in the order each moment writes them.
const std::vector<OutputFileInfo>& output_files();

/// What the files of an open and of each change of the burn-in are made from.
struct RunOutputs {
    const MC_Sample* store = nullptr;
    /// Each run's file, header and stored observations, in store order (one entry for one run).
    std::vector<PosteriorSource> sources;
    RunHeader pool;  ///< the header of the runs pooled (pooled_header), or the one run's
    std::int32_t burn_in = 0;
    /// The tree's k range as typed: posterior_k.tsv states it and runs.tsv's psm_max_diff counts over it
    /// (both read it in order and clamped to 1..Kmax).
    std::int32_t k_from = 1;
    std::int32_t k_to = 100;
    /// The posterior of k for the burn-in (compute_posterior); empty when the burn-in leaves nothing.
    std::optional<Posterior> posterior;
    std::string folder;                                   ///< the output folder ("" or ".": the working one)
    std::string posterior_name = output_name::posterior;  ///< the legacy posterior file, inside the folder
    int threads = 2;                                      ///< for the runs' pair probabilities (runs.tsv)
    const Progress* progress = nullptr;                   ///< hears the runs' pair counts; may cancel
};

/// The first line of the posterior file: the result files, separated by "; ".
std::string result_line(const std::vector<PosteriorSource>& sources);

/// How writing the files of an open went.
struct RunFilesWritten {
    /// Every file was written; false when one could not be (reported to the notes) or, without a
    /// posterior, when a posterior file was due.
    bool ok = true;
    /// Without a posterior: the posterior file (of the set written) that was due, and whether a file of
    /// that name, left from another burn-in, was removed so that it cannot pass for this one's.
    std::string no_posterior;
    bool removed = false;
};

/// The legacy files of an open: posterior_k.txt (`posterior_name` in the folder).
RunFilesWritten write_legacy_run_files(const RunOutputs& in, Notices& notes);

/// The tidy files of an open, in this order: trace.tsv, posterior_k.tsv, diagnostics.tsv, runs.tsv and
/// posterior_k_runs.tsv.
RunFilesWritten write_tidy_run_files(const RunOutputs& in, Notices& notes);

/// What the files of a tree are made from and where they go.
struct TreeOutputs {
    OutputSet set = OutputSet::legacy;
    std::string folder;              ///< the tidy files' folder (the legacy names are full paths already)
    std::vector<std::string> names;  ///< names[i - 1] names individual i in the tidy files
};

/// The files make_tree writes as it goes: the four legacy files (pairwise_probs.txt, tree.txt,
/// node_clusters.txt, node_heights.txt) when the set has them, and when it has the tidy ones psm.tsv from
/// the pair counts (on a thread of its own, alongside the pairwise file), and tree_average.nwk from their
/// average linkage (average_linkage, made while the counts are there, before the tree's own merges hold
/// memory); `also` (may be empty) hears the pair counts after that. The average-linkage tree is handed to `*average`
/// when given (null when the set has no tidy files or the counts were too many to hold as a table). A tidy file that
/// cannot be written is reported to `notes` and sets `failed`. `notes`, `failed` and `average` must outlive the tree's
/// making.
MakeTreeOutputs tree_outputs(const TreeOutputs& out, Notices& notes, bool& failed,
                             std::function<void(const Marginal&, const KList&)> also = {},
                             std::shared_ptr<const AverageTree>* average = nullptr);

/// The tidy files of a finished tree: tree.nwk, tree.nex and nodes.tsv. Nothing for the legacy set.
/// False when one was not written (reported).
bool write_tree_files(const TreeOutputs& out, const TreeShape& shape, Notices& notes);

/// The files of a point estimate: clustering.tsv, estimate.txt and membership.tsv (the membership of each
/// individual in the estimate's clusters, estimate/Membership.h). False when one was not written.
bool write_estimate_files(const std::string& folder, const Estimate& estimate, const Membership& membership,
                          const std::vector<std::string>& names, Notices& notes);

/// The file of a cut of the tree: cut.tsv. False when it was not written.
bool write_cut_files(const std::string& folder, const std::vector<std::int32_t>& cut,
                     const std::vector<std::string>& names, Notices& notes);
