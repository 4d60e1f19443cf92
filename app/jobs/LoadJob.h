#pragma once

// Opening result files on a worker: the runs loaded, their trace and what loading reported.

#include "jobs/JobRunner.h"
#include "outputs/WrittenRecord.h"
#include "sample/Header.h"
#include "sample/Mc_sample.h"
#include "sample/Notices.h"
#include "sample/OpenRuns.h"
#include "summary/Trajectory.h"

#include <memory>
#include <string>
#include <vector>

#include <QStringList>

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
    /// The optional files of the runs open before that the open removed from the output folder (still as
    /// the window wrote them; see outputs/WrittenRecord.h).
    std::vector<std::string> removed;
    /// The look at those files made by the load's worker; they are removed only once the runs open.
    WrittenCheck written;
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

/// Labels of runs for legends and tooltips: each file's name, with " (run N)" added to names that repeat.
QStringList run_labels_of(const QStringList& files);
