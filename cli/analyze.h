#pragma once

#include "estimate/Estimate.h"
#include "outputs/OutputSet.h"
#include "sample/RunState.h"

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

/// Options of `velmora-cli analyze`.
struct AnalyzeOptions {
    RunParameters params;
    /// The result files: chains over the same individuals, pooled in this order. params.result_path is
    /// unused.
    std::vector<std::string> result_paths;
    std::string out_dir = ".";
    std::string posterior_name = "posterior_k.txt";
    std::string trajectory_name = "trajectories.txt";
    std::string names_path;  ///< names file; empty: individuals are named 1..n
    OutputSet format = OutputSet::both;
    bool tree = true;
    bool estimate = true;             ///< make the point estimate (with the tree, in the tidy set)
    Loss loss = Loss::vi;             ///< its loss
    std::uint64_t seed = 1;           ///< its search's seed
    std::optional<double> cut_level;  ///< write cut.tsv for the tree cut at this level
};

/// Exit statuses of the batch tool.
enum ExitStatus { exit_ok = 0, exit_data = 1, exit_usage = 2 };

/// Runs an open, then "Save Trajectory" and "Make Tree", writing every output into the output folder,
/// which is made (with its parents) when missing. With several result files every output pools the draws
/// the burn-in keeps of each run, in order; each run gets its own side file and saved trajectory, numbered
/// from 1. Warnings and errors go to `err`, one per line. A names file that cannot be used stops everything
/// before a file is written. Returns the exit status.
int run_analyze(const AnalyzeOptions& options, std::ostream& err);
