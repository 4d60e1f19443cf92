#pragma once

#include "sample/RunState.h"

#include <iosfwd>
#include <string>

/// Which output files `analyze` writes.
enum class OutputFormat {
    legacy,  ///< the seven files the window writes
    tidy,    ///< trace.tsv, posterior_k.tsv, psm.tsv, tree.nwk, tree.nex, nodes.tsv
    both,
};

/// Options of `velmora-cli analyze`.
struct AnalyzeOptions {
    RunParameters params;
    std::string out_dir = ".";
    std::string posterior_name = "posterior_k.txt";
    std::string trajectory_name = "trajectories.txt";
    std::string names_path;  ///< names file; empty: individuals are named 1..n
    OutputFormat format = OutputFormat::both;
    bool tree = true;
};

/// Exit statuses of the batch tool.
enum ExitStatus { exit_ok = 0, exit_data = 1, exit_usage = 2 };

/// Runs an open, then "Save Trajectory" and "Make Tree", writing every output into the output folder,
/// which is made (with its parents) when missing. Warnings and errors go to `err`, one per line. A names
/// file that cannot be used stops everything before a file is written. Returns the exit status.
int run_analyze(const AnalyzeOptions& options, std::ostream& err);

/// `name` inside the folder `dir`: as it is when it is absolute or dir is "." or empty.
std::string in_dir(const std::string& dir, const std::string& name);
