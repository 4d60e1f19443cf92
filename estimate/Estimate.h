#pragma once

#include "sample/Mc_sample.h"
#include "tree/TreeShape.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

/// The loss a point estimate minimises in expectation over the draws.
enum class Loss {
    /// Variation of information in bits: VI(c, c') = H(c) + H(c') - 2 I(c, c'), between 0 and log2(n).
    vi,
    /// Binder's loss with equal unit costs: the number of pairs of individuals that one clustering puts
    /// together and the other apart, between 0 and n (n - 1) / 2.
    binder,
};

/// "vi" or "binder", as the files and the command line spell them.
const char* loss_name(Loss loss);

struct EstimateSettings {
    Loss loss = Loss::vi;
    /// Seeds every random choice of the search; the same seed gives the same estimate on any number of
    /// threads.
    std::uint64_t seed = 1;
    /// Threads to use; 0 uses every core.
    int threads = 0;
    /// Random starts of the search (sequential allocation in a random order), at least 1; the best draw and
    /// the cuts of a tree are started from as well.
    int starts = 16;
    /// Zealous updates tried after each start's first local optimum.
    int zealous_attempts = 10;
    /// Draws the search works on before the final polish on every draw: 0 chooses 2^20 / n_indivs of them,
    /// within 128..1024; otherwise that many. Evenly spaced, at most all; the polish is left out when the
    /// search had every draw. The reported loss is always computed against every draw.
    std::int32_t search_draws = 0;
};

/// How doubtful an individual's place in the estimate is, from the co-assignment probabilities p_ij over
/// the draws (individual i counts as co-assigned with itself and is left out of every mean).
struct IndividualDoubt {
    /// Mean p_ij over the other members of i's cluster; NaN when i is alone in its cluster.
    double within = 0.0;
    /// The other cluster (1..K) with the largest mean p_ij over its members, the lowest number on ties; 0 when
    /// the estimate has one cluster.
    std::int32_t nearest_cluster = 0;
    /// That largest mean; NaN when nearest_cluster is 0.
    double nearest = 0.0;
};

/// How far individual i's place in an estimate is from going to another cluster: within − nearest, a
/// missing within (i alone in its cluster) counting as 0 and a missing nearest (one cluster) as 0. The
/// lower, the more doubtful: below 0, i is on average closer to another cluster than to its own.
inline double doubt_margin(const IndividualDoubt& d) {
    return (d.within != d.within ? 0.0 : d.within) - (d.nearest != d.nearest ? 0.0 : d.nearest);
}

struct Estimate {
    enum class Status { done, cancelled } status = Status::done;
    Loss loss = Loss::vi;
    /// cluster[i - 1] is the cluster of individual i (1..n_indivs); clusters are numbered 1..K in the
    /// order of their first member.
    std::vector<std::int32_t> cluster;
    /// The posterior expected loss: the mean loss between the estimate and every draw used (bits for VI, pairs
    /// for Binder), computed exactly.
    double expected_loss = 0.0;
    std::int32_t clusters = 0;
    /// Radius of the 95 % credible ball in VI around the estimate: the ceil(0.95 M)-th smallest of the VI
    /// distances (bits) between the estimate and the M draws.
    double credible_ball_radius_95 = 0.0;
    std::int64_t draws = 0;
    std::uint64_t seed = 0;
    /// doubt[i - 1] for individual i.
    std::vector<IndividualDoubt> doubt;
    /// Expected loss of the best single draw found (exact, like expected_loss); the estimate is never worse.
    double best_draw_loss = 0.0;
};

/// Told the fraction of the work done, 0..1, never decreasing; called on the calling thread only.
using EstimateProgress = std::function<void(double fraction)>;

/// The clustering of individuals 1..n_indivs that minimises the posterior expected loss over the draws
/// `observations` (observation numbers of `store`, each below get_n_samples; one listed twice counts twice),
/// with its uncertainty.
///
/// The search follows sequential allocation with sweetening and zealous updates: `starts` random starts,
/// plus starts from the best single draw and from cuts of `tree` (when given: at levels 0.9, 0.7, 0.5, 0.3
/// and 0.1, leaving out repeated cuts and cuts with more clusters than the largest k among the draws), each
/// run on one thread against evenly spaced draws (search_draws). The three best distinct results are then
/// polished by one-at-a-time moves, in individual order, against every draw (or, when the draws turned
/// around would pass 256 MB, as many evenly spaced ones as fit); the one with the lowest exact expected
/// loss wins, the best single draw included, which wins only when strictly lower. The best draw is the
/// draw of lowest exact expected loss when M^2 (n + 64) <= 2^26; beyond, every draw (or an evenly spaced share of
/// them) is ranked against a few evenly spaced draws and the four ranked first are compared exactly. The
/// search holds at most max(256, as many as 64 MB of tables allow) clusters of two or more members at a
/// time; individuals alone are not limited.
///
/// Raises Exceptions when `observations` is empty, when an observation number is outside the store, when
/// n_indivs is outside 1..store.n_indivs(), or when `tree` has another number of individuals. With `cancel`
/// set (checked about every millisecond of work), returns promptly with status cancelled and nothing else
/// filled in. The result depends only on the inputs and the seed, not on the number of threads.
Estimate estimate_clustering(const MC_Sample& store, const std::vector<std::int32_t>& observations,
                             std::int32_t n_indivs, const EstimateSettings& settings, const TreeShape* tree = nullptr,
                             const EstimateProgress& progress = {}, const std::atomic<bool>* cancel = nullptr);

/// The plain greedy search the estimate is measured against: from each of four starts (the best single
/// draw, everyone in one cluster, and two draws chosen at random by the seed), individuals are taken in
/// order 1..n and each moved to the cluster, a new one included, that lowers the expected loss against every
/// draw the most, until a whole pass moves nobody. The best result, with the same uncertainty as
/// estimate_clustering; `starts`, `zealous_attempts` and `search_draws` are not used. Raises and cancels as
/// estimate_clustering does.
Estimate greedy_clustering(const MC_Sample& store, const std::vector<std::int32_t>& observations, std::int32_t n_indivs,
                           const EstimateSettings& settings, const EstimateProgress& progress = {},
                           const std::atomic<bool>* cancel = nullptr);
