#pragma once

// "Make Tree" on a worker: the tree, its files and the pair counts the map draws.

#include "coassign/PairCells.h"
#include "jobs/JobRunner.h"
#include "outputs/OutputSet.h"
#include "outputs/WrittenRecord.h"
#include "sample/Mc_sample.h"
#include "sample/Notices.h"
#include "sample/RunState.h"
#include "tree/MakeTree.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

/// "Make Tree" with the parameters read when it was pressed (already normalised).
struct TreeRequest {
    std::shared_ptr<const MC_Sample> store;
    RunParameters params;
    /// The files of the tree: which set, where the tidy ones go, the names they use.
    TreeOutputs files;
};

struct TreeOutcome {
    MakeTreeResult result;
    std::vector<Notice> notices;
    /// Text of the exception that stopped the command; files written before it stay.
    std::string error;
    /// The pair counts of the tree's draws, by pair_index, for the co-assignment map, shared with the
    /// Marginal that made them (no copy); empty when the Marginal did not hold them as a table.
    SharedPairCells pair_cells;
    std::int64_t pair_total = 0;
    /// The average-linkage tree of the pair counts when the tidy files were written (tree_average.nwk is
    /// written from it); null otherwise.
    std::shared_ptr<const AverageTree> average;
    /// The optional files the tree wrote, as recorded in its folder.
    std::vector<WrittenFile> written;
};

/// The stage of make_tree as the user reads it, with its place among the five stages.
QString stage_text(TreeStage stage);

TreeOutcome make_tree_job(const TreeRequest& request, JobControl& control);
