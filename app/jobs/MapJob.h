#pragma once

// The co-assignment map's block means, made on a worker from a tree's pair counts.

#include "coassign/CoassignMap.h"
#include "jobs/JobRunner.h"

#include <cstdint>
#include <memory>
#include <vector>

/// The pair counts of a tree's draws (by pair_index; `total` draws) and the order of the individuals.
struct MapRequest {
    SharedPairCells cells;
    std::int64_t total = 0;
    std::vector<std::int32_t> order;
};

std::shared_ptr<const CoassignMap> map_job(const MapRequest& request, JobControl& control);
