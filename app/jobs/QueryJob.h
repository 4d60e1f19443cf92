#pragma once

// The co-assignment of one individual with every other, on a worker.

#include "jobs/JobRunner.h"
#include "sample/Mc_sample.h"

#include <cstdint>
#include <memory>
#include <vector>

/// Co-assignment of individual `n` with every individual, over the retained observations whose k lies in
/// [k_from, k_to].
struct IndividualRequest {
    std::shared_ptr<const MC_Sample> store;
    std::int32_t n = 0;
    std::int32_t k_from = 1;
    std::int32_t k_to = 1;
    std::int32_t burn_in = 0;
};

struct IndividualResult {
    std::int32_t n = 0;
    /// values[m - 1]: share of the counted observations in which n and m share a cluster (1 for m = n).
    std::vector<double> values;
    std::int64_t counted = 0;
};

IndividualResult individual_job(const IndividualRequest& request, JobControl& control);
