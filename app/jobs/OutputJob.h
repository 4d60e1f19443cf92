#pragma once

// The files of the open runs written on a worker.

#include "jobs/JobRunner.h"
#include "outputs/OutputSet.h"
#include "sample/Mc_sample.h"

#include <memory>
#include <string>
#include <vector>

/// The tidy files of the open runs, written at an open and at each burn-in change (write_tidy_run_files);
/// `files.store` is kept alive by `store`.
struct TidyRunRequest {
    std::shared_ptr<const MC_Sample> store;
    RunOutputs files;
};

/// The notices of files that could not be written (empty when all were).
std::vector<std::string> tidy_run_job(const TidyRunRequest& request, JobControl& control);
