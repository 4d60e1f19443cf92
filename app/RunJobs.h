#pragma once

// The window's long computations, as plain inputs, plain results and the work that turns one into the
// other on a worker thread. Nothing here touches a widget.

#include "app/Jobs.h"
#include "outputs/OutputSet.h"
#include "sample/Header.h"
#include "sample/Mc_sample.h"
#include "sample/Notices.h"
#include "sample/OpenRuns.h"
#include "sample/RunState.h"
#include "summary/Trajectory.h"
#include "tree/MakeTree.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

/// Opening a result file: the file, and where the trajectory side file goes.
struct LoadRequest {
    std::string result_path;
    std::string side_path;
};

struct LoadedRun {
    HeaderStatus header_status = HeaderStatus::ok;
    RunHeader header;
    std::shared_ptr<MC_Sample> store;
    LoadReport report;
    /// The trace, one point per side-file line: read back from the side file when it was written, else made
    /// from the store with the log likelihoods rounded as the side file would hold them. So it can be shown
    /// and saved whether or not the file could be written.
    std::vector<TracePoint> trace;
    bool side_file_written = false;
    /// What loading reported, in order; the legacy texts have not been written anywhere yet.
    std::vector<Notice> notices;
    /// Text of the Exceptions that stopped loading; the store then holds the records read before it.
    std::string error;
    /// Several files loaded together (load_runs): each run as loaded, in store order; empty for one file.
    std::vector<RunInfo> runs;
};

/// The trace as the side file would hold it, one point per stored observation: log likelihoods with six
/// significant digits.
std::vector<TracePoint> trace_of(const MC_Sample& store);

/// Reads the header of `request.result_path`; when it is good, loads the store, writing the side file, and
/// makes the trace. Reports bytes read; stops with Cancelled when asked (the side file is left as it was).
LoadedRun load_run(const LoadRequest& request, JobControl& control);

/// Loads several result files together as chains pooled (open_runs, two at a time), each writing its own
/// numbered side file. The header is the pool's; the trace is made from the store, runs one after another.
/// A refused set of runs (unreadable, other numbers of individuals) gives a header status other than ok.
LoadedRun load_runs(const std::vector<std::string>& paths, const std::string& side_path, JobControl& control);

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
    /// The pair counts of the tree's draws, by pair_index, for the co-assignment map; null when the
    /// Marginal did not hold them as a table.
    std::shared_ptr<const std::vector<std::uint32_t>> pair_cells;
    std::int64_t pair_total = 0;
};

/// The stage of make_tree as the user reads it, with its place among the five stages.
QString stage_text(TreeStage stage);

TreeOutcome make_tree_job(const TreeRequest& request, JobControl& control);

/// Co-assignment of individual `n` with every individual, over the retained observations whose k lies in
/// [k_from, k_to].
struct IndividualRequest {
    std::shared_ptr<const MC_Sample> store;
    std::int32_t n = 0;
    std::int32_t k_from = 1;
    std::int32_t k_to = 1;
    std::int32_t burn_in = 0;
};

struct IndividualResult {
    std::int32_t n = 0;
    /// values[m - 1]: share of the counted observations in which n and m share a cluster (1 for m = n).
    std::vector<double> values;
    std::int64_t counted = 0;
};

IndividualResult individual_job(const IndividualRequest& request, JobControl& control);
