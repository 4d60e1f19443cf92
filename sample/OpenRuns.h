#pragma once

#include "sample/Mc_sample.h"
#include "sample/Notices.h"
#include "sample/PendingSideFile.h"
#include "sample/Progress.h"
#include "sample/RunLoader.h"
#include "sample/RunState.h"

#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

/// One result file of an analysis, as it was loaded.
struct RunInfo {
    std::string path;
    std::string side_path;  ///< its trajectory side file ("" for none)
    RunHeader header;
    /// How its loading went; report.input holds the bytes read and their SHA-256.
    LoadReport report;
    std::int32_t stored = 0;  ///< observations stored: run r of the pooled store
};

/// Several result files loaded as one analysis: chains over the same individuals.
struct OpenedRuns {
    enum class Status {
        ok,
        unreadable,   ///< a fatal fault in a run (cannot be read, bad header, not text, ...); nothing loaded
        mismatch,     ///< the runs do not have the same number of individuals; nothing loaded
        load_failed,  ///< a bad record in a run, without LoadOptions::keep_going; nothing loaded
        refused,      ///< the caller's check of the headers said no; nothing loaded
    } status = Status::ok;
    std::vector<RunInfo> runs;
    /// Every run's observations, run r in store->run(r), in the order the files were given. Kmax is the
    /// largest of the runs'. Null unless the status is ok.
    std::unique_ptr<MC_Sample> store;
    std::string error;  ///< unused: every message is in the notices
    /// Each run's side file (null for none), still pending when LoadOptions::commit_side_files was false;
    /// empty otherwise.
    std::vector<std::unique_ptr<PendingSideFile>> side_files;

    /// Puts the pending side files in place and notes it in each run's report (side_file_written). False
    /// when one could not be (reported at level error); the others are still put in place.
    bool commit_side_files(Notices& notes);
    /// Drops the pending side files: the files of those names stay as they were.
    void discard_side_files();
    /// The first run whose loading stopped at a bad record, or null.
    const RunInfo* bad_record() const;
};

/// The header that describes the pool: the common number of individuals, the largest Kmax, the declared
/// observations summed (in 64 bits: pooled_n_obs; n_obs holds the sum clamped to 2^31 - 1), and period, U
/// and Theta of the first run.
RunHeader pooled_header(const std::vector<RunInfo>& runs);

/// Side file name of run r (from 0) of `count` runs: `side_path` itself for a single run, else the name
/// with "_<r + 1>" put before its extension ("_trajectories.txt" -> "_trajectories_2.txt").
std::string numbered_name(const std::string& side_path, std::size_t r, std::size_t count);

/// Reads each file once (RunLoader; "-" is standard input). Every header first, in order: a file that cannot
/// be read or whose header is bad, or a number of individuals that differs from the first run's, stops
/// everything before any record is read, with a message naming the file (and both numbers). A U or Theta
/// that differs from the first run's, and a U of 0 or below, are warnings. `headers_read`, when given, then
/// sees the runs with their headers and may refuse them. Then loads the records, up to `threads` runs at a
/// time, each writing its side file numbered_name(side_path, r, count), and pools them. The fault rule
/// (LoadFault): a fatal fault in any run fails the whole load (unreadable); a bad record fails it unless
/// options.keep_going (load_failed), else its run keeps the records before it. When the load fails the side
/// files are discarded. Notices come in the order of the runs, the stops at level error when they fail the
/// load. `progress` hears the bytes read over all files and can cancel (Cancelled propagates; side files
/// are left as they were). Running out of memory while pooling is a fatal fault too.
OpenedRuns open_runs(const std::vector<std::string>& paths, const std::string& side_path, Notices& notes,
                     int threads = 2, const Progress* progress = nullptr, const LoadOptions& options = {},
                     const std::function<bool(const std::vector<RunInfo>&)>& headers_read = {});
