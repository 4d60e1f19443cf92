#pragma once

// Following the open runs while their sampler writes them: one look at every file, on a worker, and the
// runs' store with what was added.

#include "jobs/JobRunner.h"
#include "sample/Mc_sample.h"
#include "sample/RunFollower.h"
#include "summary/Trajectory.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

/// The followers of the open runs, one per run in store order; used by one job at a time.
struct FollowState {
    std::vector<std::unique_ptr<RunFollower>> followers;
    /// Runs no longer followed: complete, or stopped by a fault (told once).
    std::vector<bool> done;
};

struct FollowRequest {
    std::shared_ptr<FollowState> state;
    std::shared_ptr<const MC_Sample> store;  ///< the runs as shown
    /// The trace as shown and where each run starts in it (one more than the runs: the end).
    std::shared_ptr<const std::vector<TracePoint>> trace;
    std::vector<std::int64_t> run_starts;
};

/// What one look found.
struct FollowOutcome {
    /// The runs' store with what was added (null when no run changed).
    std::shared_ptr<MC_Sample> store;
    /// Per run: whether it was read again from its start, the trace points of its new records (all of them
    /// when read again), the side file's lines of those records, what happened and the note for the user.
    std::vector<bool> replaced;
    std::vector<std::vector<TracePoint>> trace;
    std::vector<std::string> side_lines;
    std::vector<FollowUpdate::Kind> kinds;
    std::vector<std::string> notes;
    std::vector<RunHeader> headers;  ///< each run's header (read again for a restarted run)
    /// With a store: the whole trace with the new points, run after run, and where each run starts in it
    /// (one more than the runs: the end). Made here so that the window only swaps it in.
    std::shared_ptr<const std::vector<TracePoint>> whole_trace;
    std::vector<std::int64_t> run_starts;
};

/// Looks at every run still followed; a run read again with another number of individuals than the others
/// is stopped (it cannot be pooled with them).
FollowOutcome follow_job(const FollowRequest& request, JobControl& control);
