#pragma once

#include "sample/Mc_sample.h"
#include "sample/Notices.h"
#include "sample/Progress.h"
#include "sample/RunState.h"

#include <exception>
#include <memory>
#include <string>
#include <vector>

/// One result file of an analysis, as it was loaded.
struct RunInfo {
    std::string path;
    std::string side_path;  ///< its trajectory side file ("" for none)
    RunHeader header;
    LoadReport report;
    std::int32_t stored = 0;  ///< observations stored: run r of the pooled store
};

/// Several result files loaded as one analysis: chains over the same individuals.
struct OpenedRuns {
    enum class Status {
        ok,
        unreadable,   ///< a file cannot be read or its header is bad; nothing loaded
        mismatch,     ///< the runs do not have the same number of individuals; nothing loaded
        load_failed,  ///< a run raised Exceptions while loading (its message in `error`)
    } status = Status::ok;
    std::vector<RunInfo> runs;
    /// Every run's observations, run r in store->run(r), in the order the files were given. Kmax is the
    /// largest of the runs'. Null unless the status is ok.
    std::unique_ptr<MC_Sample> store;
    std::string error;  ///< what() of the Exceptions for load_failed
};

/// The header that describes the pool: the common number of individuals, the largest Kmax, the declared
/// observations summed, and period, U and Theta of the first run.
RunHeader pooled_header(const std::vector<RunInfo>& runs);

/// Side file name of run r (from 0) of `count` runs: `side_path` itself for a single run, else the name
/// with "_<r + 1>" put before its extension ("_trajectories.txt" -> "_trajectories_2.txt").
std::string numbered_name(const std::string& side_path, std::size_t r, std::size_t count);

/// Reads every header first: a file that cannot be read or whose header is bad, or a number of individuals
/// that differs from the first run's, stops everything before any loading, with a message naming the file
/// (and both numbers). A U or Theta that differs from the first run's is a warning. Then loads the runs,
/// up to `threads` at a time, each writing its side file numbered_name(side_path, r, count), and pools them.
/// Notices come in the order of the runs. `progress` hears the bytes read over all files and can cancel
/// (Cancelled propagates; side files are left as they were).
OpenedRuns open_runs(const std::vector<std::string>& paths, const std::string& side_path, Notices& notes,
                     int threads = 2, const Progress* progress = nullptr);
