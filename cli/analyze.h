#pragma once

#include "sample/RunState.h"

#include <iosfwd>
#include <string>

/// Options of `velmora-cli analyze`.
struct AnalyzeOptions {
    RunParameters params;
    std::string out_dir = ".";
    std::string posterior_name = "posterior_k.txt";
    std::string trajectory_name = "trajectories.txt";
    bool tree = true;
};

/// Exit statuses of the batch tool.
enum ExitStatus { exit_ok = 0, exit_data = 1, exit_usage = 2 };

/// Runs an open, then "Save Trajectory" and "Make Tree", writing every output into the output folder.
/// Warnings and errors go to `err`, one per line. Returns the exit status.
int run_analyze(const AnalyzeOptions& options, std::ostream& err);
