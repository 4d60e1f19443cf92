#pragma once

#include <limits>
#include <span>
#include <vector>

/// Convergence summary of one scalar quantity (k, or the log likelihood) over several chains, as defined
/// by Vehtari, Gelman, Simpson, Carpenter and Buerkner (2021), "Rank-normalization, folding, and
/// localization: an improved R-hat for assessing convergence of MCMC", and computed as the Stan team's R
/// package `posterior` 1.4 computes it. NaN marks a value that is undefined (the package's NA).
struct ChainSummary {
    static constexpr double kUndefined = std::numeric_limits<double>::quiet_NaN();
    double mean = kUndefined;       ///< mean of all draws pooled
    double sd = kUndefined;         ///< standard deviation of all draws pooled (divisor n - 1); NaN for one draw
    double ess_bulk = kUndefined;   ///< effective sample size of the rank-normalised split chains
    double ess_tail = kUndefined;   ///< smaller effective sample size of the indicators x <= q05 and x <= q95
    double rhat = kUndefined;       ///< larger of the rank-normalised split R-hat of the draws and of the folded draws
    double mcse_mean = kUndefined;  ///< sd / sqrt(effective sample size of the split chains themselves)
};

/// Computes the summary of equally long chains (each a sequence of draws in sampling order; the caller
/// cuts runs of different lengths to their last L draws, L the shortest).
///
/// The rules, step by step as the package takes them:
/// - Split: each chain of L draws becomes its first floor(L/2) and its last floor(L/2) draws (the middle
///   draw of an odd L is left out); the first halves of all chains, then the second halves, are the
///   columns of a draws matrix. One draw per chain is not split. Two or three draws per chain with
///   several chains give, as the package does, a matrix of one row per chain and two columns (first and
///   last draw).
/// - Rank normalisation: every cell of the split matrix gets its rank r among all cells (ties get the
///   average of their ranks), then z = Phi^-1((r - 3/8) / (S + 1/4)), S the number of cells.
/// - Folding: |x - median of all draws|, then split and rank-normalised in the same way.
/// - Effective sample size of a matrix of N rows and C columns: autocovariances per column by FFT
///   (divisor N), averaged over the columns, turned into autocorrelations with the between-column
///   variance, summed by Geyer's initial monotone sequence over pairs of lags, and N C / tau with tau
///   held at least 1 / log10(N C). When the pairwise sum stops at once (fewer than six rows, say) the
///   package's sum counts the lag-0 autocorrelation in, so tau is 2 and the size N C / 2; kept here.
/// - Tail ESS: the smaller ESS of the split indicators x <= q, q the 5% and the 95% quantile of all
///   draws (interpolated between order statistics).
/// - R-hat of a matrix: sqrt((B / W + N - 1) / N), B = N times the variance of the column means, W the
///   mean column variance; +infinity when the columns are constant but differ.
///
/// Undefined (NaN): an ESS with fewer than 3 rows; any ESS, R-hat or tail value whose input matrix holds a
/// NaN or an infinity or is constant (max - min below 2.2e-16); the tail ESS whenever any draw is NaN or
/// infinite, or all draws are equal; R-hat with one row or one column; sd with one draw; everything for
/// no draws at all. Infinite draws are ranked like any others, so bulk ESS and R-hat stay defined.
/// Raises Exceptions when the chains differ in length. Linear in the number of draws apart from the
/// FFTs (n log n); keeps no state between calls, so calls may run on several threads at once.
ChainSummary summarise_chains(std::span<const std::span<const double>> chains);
ChainSummary summarise_chains(const std::vector<std::vector<double>>& chains);
