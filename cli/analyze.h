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
    bool strict = false;              ///< a record that is not a clustering of 1..n is a bad record
    bool keep_going = false;          ///< a bad record ends its run; the records before it are analysed
};

/// Exit statuses of the batch tool.
enum ExitStatus { exit_ok = 0, exit_data = 1, exit_usage = 2 };

/// Runs an open, then "Save Trajectory" and "Make Tree", writing every output into the output folder,
/// which is made (with its parents) when missing. With several result files every output pools the draws
/// the burn-in keeps of each run, in order; each run gets its own side file and saved trajectory, numbered
/// from 1. Warnings and errors go to `err`, one per line. Each result file is read once ("-": standard
/// input). The fault rule (LoadFault): a fatal fault, or a bad record without keep_going, stops everything
/// before any output is written or removed (exit 1); an incomplete last record is a warning. A names file
/// that cannot be used, or an output folder that cannot take files, stops everything before any record is
/// read. The folder is locked (FolderLock) from then to the end. Returns the exit status.
int run_analyze(const AnalyzeOptions& options, std::ostream& err);
