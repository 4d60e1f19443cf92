#pragma once

// The three answers a user wants first of a run, as plain values and sentences: did the chains converge,
// how many clusters, which clustering and how sure. The window's Summary page, the report and
// `velmora-cli watch` all take them from here, so they say the same.

#include "diagnostics/Convergence.h"
#include "estimate/Estimate.h"
#include "summary/Posterior.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

/// The thresholds the verdict holds the diagnostics to (Vehtari et al. 2021 for R-hat and the effective
/// sample sizes): R-hat at most 1.01, bulk- and tail-ESS at least 400; and each run's pair probabilities
/// within 0.1 of the pool's (psm_max_diff).
inline constexpr double rhat_limit = 1.01;
inline constexpr double ess_limit = 400;
inline constexpr double psm_diff_limit = 0.1;

/// Whether the chains have converged, in words, and the numbers that decided it.
struct ConvergenceVerdict {
    enum class Kind {
        converged,  ///< several runs, every diagnostic within its threshold
        not_yet,    ///< a diagnostic is outside its threshold, or undefined
        one_run,    ///< one run whose diagnostics are within their thresholds
    } kind = Kind::not_yet;
    /// "The runs agree and have converged", "Not yet: run longer or drop more burn-in" or "One run only:
    /// R-hat compares its halves".
    std::string words;
    /// One sentence per number that failed its threshold (or could not be computed), in the order R-hat,
    /// bulk-ESS, tail-ESS (k, then the log likelihood), then the runs' agreement; empty when none failed.
    std::vector<std::string> reasons;
    /// Every number held to a threshold, as "R-hat of k 1.003 (at most 1.01)", in the same order.
    std::vector<std::string> numbers;
};

/// The verdict on `runs` chains summarised by `k` and `log_likelihood`; `psm_max_diff`, when known, holds
/// each run's largest difference from the pool's pair probabilities (one run: ignored). An undefined
/// diagnostic (NaN: too few draws, a constant series) is "not yet", except a constant k or log likelihood
/// with well-defined others, which cannot disagree, and an undefined tail-ESS beside a defined bulk-ESS (a
/// discrete k at the end of its range at the 5 % or 95 % quantile).
ConvergenceVerdict convergence_verdict(const ChainSummary& k, const ChainSummary& log_likelihood, std::int32_t runs,
                                       const std::optional<std::vector<double>>& psm_max_diff = std::nullopt);

/// What the posterior of k says.
struct KSummary {
    std::int32_t mode = 0;          ///< the k of largest probability (the smallest such k on ties)
    double mode_probability = 0.0;  ///< its probability
    double mean = 0.0;              ///< the posterior mean of k
    /// The 95 % credible set: the fewest values of k whose probabilities sum to at least 0.95, taken in
    /// order of probability; values tied with the last one taken are all in. In increasing k.
    std::vector<std::int32_t> credible_set;
    double credible_mass = 0.0;  ///< the probability the set holds
};

/// The summary of `posterior` (p[1..Kmax]); all zero for an empty posterior.
KSummary k_summary(const Posterior& posterior);

/// "2, 3, 4" or "2–4" (a run of consecutive values written as a range): the credible set as text.
std::string k_set_text(const std::vector<std::int32_t>& set);

/// An individual is doubtful when within − nearest (a missing value counted as 0) is below this.
inline constexpr double doubt_limit = 0.1;

/// What the point estimate says.
struct ClusteringSummary {
    std::int32_t clusters = 0;
    Loss loss = Loss::vi;
    double expected_loss = 0.0;
    double best_draw_loss = 0.0;
    double credible_ball_radius_95 = 0.0;
    std::int64_t draws = 0;
    /// The individuals (1..n) whose doubt margin is below doubt_limit, most doubtful first (then by number).
    std::vector<std::int32_t> doubtful;
};

ClusteringSummary clustering_summary(const Estimate& estimate);
