#pragma once

// The convergence diagnostics and the tidy files of the open runs, as plain inputs and results computed on
// a worker thread. Nothing here touches a widget.

#include "app/Jobs.h"
#include "diagnostics/Convergence.h"
#include "outputs/OutputSet.h"
#include "sample/Mc_sample.h"
#include "summary/RunSummary.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

/// Largest lag of the autocorrelation charts.
inline constexpr int max_acf_lag = 100;

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

/// Why a diagnostic value is flagged, following Vehtari et al. (2021): an R-hat above 1.01 or a bulk-ESS
/// below 400 means the chains have not mixed well enough for the summaries to be trusted. Empty when the
/// value is fine or undefined.
QString rhat_warning(double rhat);
QString ess_warning(double ess_bulk);

/// The tidy files of the open runs, written at an open and at each burn-in change (write_tidy_run_files);
/// `files.store` is kept alive by `store`.
struct TidyRunRequest {
    std::shared_ptr<const MC_Sample> store;
    RunOutputs files;
};

/// The notices of files that could not be written (empty when all were).
std::vector<std::string> tidy_run_job(const TidyRunRequest& request, JobControl& control);
