#pragma once

// The point estimate of the clustering over the draws of a tree, on a worker, with what is drawn from it:
// the membership of every individual in its clusters and the map order of its clusters.

#include "coassign/PairCells.h"
#include "estimate/Estimate.h"
#include "estimate/Membership.h"
#include "jobs/JobRunner.h"
#include "sample/Mc_sample.h"
#include "sample/RunState.h"
#include "tree/MapOrder.h"
#include "tree/TreeShape.h"

#include <cstdint>
#include <memory>
#include <vector>

/// The draws of the tree `tree` (the retained observations of `used`'s burn-in whose k lies in its range)
/// and the search's settings.
struct EstimateRequest {
    std::shared_ptr<const MC_Sample> store;
    std::shared_ptr<const TreeShape> tree;
    RunParameters used;
    EstimateSettings settings;
    /// The pair counts of the tree's draws (by pair_index, `total` draws), for the estimate's map order;
    /// null: no order is made.
    SharedPairCells cells;
    std::int64_t total = 0;
};

struct EstimateOutcome {
    Estimate estimate;
    /// The membership of every individual in the estimate's clusters (estimate/Membership.h); empty when
    /// the search was cancelled.
    std::shared_ptr<const Membership> membership;
    /// The individuals in the order the membership chart shows them (membership_order, by the clusters of
    /// `order`, or ascending without it).
    std::vector<std::int32_t> membership_order;
    /// The map order of the estimate (its clusters by average linkage between them, individuals within by
    /// average linkage) and the dendrogram drawn beside it; null without pair counts or when cancelled.
    std::shared_ptr<const EstimateOrder> order;
};

/// Searches for the clustering of least expected loss, reporting progress in thousandths, then computes
/// its membership and map order, each a stage of its own; a cancel during the search makes the estimate's
/// status `cancelled`, a cancel after it ends the job with Cancelled.
EstimateOutcome estimate_job(const EstimateRequest& request, JobControl& control);
