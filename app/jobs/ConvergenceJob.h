#pragma once

// The convergence diagnostics of the open runs, on a worker.

#include "diagnostics/Autocorrelation.h"
#include "diagnostics/Convergence.h"
#include "jobs/JobRunner.h"
#include "sample/Mc_sample.h"
#include "summary/RunSummary.h"

#include <cstdint>
#include <memory>
#include <vector>

/// The diagnostics of the runs of `store` for a burn-in.
struct ConvergenceRequest {
    std::shared_ptr<const MC_Sample> store;
    std::int32_t burn_in = 0;
};

struct ConvergenceResult {
    std::int32_t burn_in = 0;
    /// The runs as chains: k and the log likelihood of each run's last `chain_length` retained draws.
    ChainSummary k;
    ChainSummary log_likelihood;
    std::int64_t chain_length = 0;
    /// Per run, the autocorrelation of its retained draws at lags 0..min(max_acf_lag, retained - 1).
    std::vector<std::vector<double>> acf_k;
    std::vector<std::vector<double>> acf_log_likelihood;
    /// Per run: draws, retained, means and posterior of k (posterior[1..Kmax of the pool]).
    std::vector<RunSummary> runs;
};

ConvergenceResult convergence_job(const ConvergenceRequest& request, JobControl& control);
