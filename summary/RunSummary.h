#pragma once

#include "sample/Mc_sample.h"

#include <cstdint>
#include <vector>

/// What one run of a store shows on its own, over the observations the burn-in keeps of it.
struct RunSummary {
    std::int64_t draws = 0;     ///< observations stored
    std::int64_t retained = 0;  ///< observations the burn-in keeps
    double mean_k = 0;          ///< NaN when nothing is kept
    double mean_log_likelihood = 0;
    /// posterior[k] for k = 1..Kmax: share of the kept observations whose k is k (a k above Kmax counts in
    /// the share's denominator only, as in the pooled posterior); posterior[0] is unused. All 0 when
    /// nothing is kept.
    std::vector<double> posterior;
};

/// One summary per run of the store, in order. Kmax is the largest k charted (the pool's).
std::vector<RunSummary> summarise_runs(const MC_Sample& store, std::int32_t burn_in, std::int32_t Kmax);

/// The series the convergence diagnostics compare, one chain per run: k and the log likelihood of the last
/// L observations each run keeps, L the smallest number kept by any run (so chains are equally long).
struct DiagnosticChains {
    std::vector<std::vector<double>> k;
    std::vector<std::vector<double>> log_likelihood;
    std::int64_t length = 0;  ///< L
};
DiagnosticChains diagnostic_chains(const MC_Sample& store, std::int32_t burn_in);
