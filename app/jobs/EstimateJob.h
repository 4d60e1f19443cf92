#pragma once

// The point estimate of the clustering over the draws of a tree, on a worker.

#include "estimate/Estimate.h"
#include "jobs/JobRunner.h"
#include "sample/Mc_sample.h"
#include "sample/RunState.h"
#include "tree/TreeShape.h"

#include <memory>

/// The draws of the tree `tree` (the retained observations of `used`'s burn-in whose k lies in its range)
/// and the search's settings.
struct EstimateRequest {
    std::shared_ptr<const MC_Sample> store;
    std::shared_ptr<const TreeShape> tree;
    RunParameters used;
    EstimateSettings settings;
};

/// Searches for the clustering of least expected loss, reporting progress in thousandths; a cancel makes
/// the result's status `cancelled`.
Estimate estimate_job(const EstimateRequest& request, JobControl& control);
