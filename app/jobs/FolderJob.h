#pragma once

// Another output folder chosen: what the window has made so far written there, on a worker. The files are
// the ones each moment writes (the runs' files, the tree's, the estimate's, the cut's), written by the same
// functions, so they are those the window would have written had the folder been chosen first.

#include "estimate/Estimate.h"
#include "jobs/JobRunner.h"
#include "jobs/OutputJob.h"
#include "jobs/TreeJob.h"

#include <optional>
#include <string>
#include <vector>

/// Everything to write into `folder`, and what the record of optional files says it was made from.
struct FolderRequest {
    std::string folder;
    OutputSet set = OutputSet::legacy;
    /// The runs' files (folder and legacy posterior name already in `folder`); empty when no run is open.
    std::optional<TidyRunRequest> runs;
    /// The last tree made again, its files in `folder`; empty when there is none.
    std::optional<TreeRequest> tree;
    std::optional<Estimate> estimate;
    std::shared_ptr<const Membership> membership;  ///< the estimate's, for membership.tsv
    std::vector<std::int32_t> cut;                 ///< the last cut; empty when none
    std::vector<std::string> names;
    /// For the record: the result files, and each moment's settings.
    std::string runs_text;
    std::string run_settings;
    std::string tree_settings;
    std::string estimate_settings;
    std::string cut_settings;
};

/// What was written, and what could not be.
struct FolderOutcome {
    std::vector<std::string> written;   ///< the files of folder_files that are there now, in order
    std::vector<std::string> failures;  ///< the notices of files not written
};

/// The files folder_job writes, by name in `request.folder` (paths as given for legacy names outside it), in
/// the order it writes them.
std::vector<std::string> folder_files(const FolderRequest& request);

/// Writes the files, moment by moment, recording the optional ones in the folder's record as each moment
/// ends. Reports its stage; a cancel stops it between files (those written stay, recorded).
FolderOutcome folder_job(const FolderRequest& request, JobControl& control);
