#pragma once

// Optional files written by a job that was stopped (cancelled, replaced or failed) part way through: the
// files it had already written stay, whole, and are recorded like any others, so that the folder's record
// stays true and the next open of other runs removes them too.

#include <string>
#include <vector>

/// Records those of the files `names` in `folder` that the folder's record does not describe as they are now
/// (new, or changed since they were recorded), with `runs` and `settings`. Files missing are left out.
void record_stopped_writes(const std::string& folder, const std::vector<std::string>& names, const std::string& runs,
                           const std::string& settings);

/// Runs `work`, which writes the files `names` into `folder` and records them when it ends; when it stops
/// part way with an exception, records what it had written (record_stopped_writes) and lets the exception
/// go on.
template <typename Work>
auto recording_stopped_writes(const std::string& folder, const std::vector<std::string>& names, const std::string& runs,
                              const std::string& settings, Work&& work) {
    try {
        return work();
    } catch (...) {
        record_stopped_writes(folder, names, runs, settings);
        throw;
    }
}
