#pragma once

#include "estimate/Estimate.h"

#include <atomic>
#include <cstdint>
#include <vector>

/// Compares one clustering of n individuals with draws, one draw at a time, through their contingency table.
class DrawComparer {
  public:
    /// cluster[i]: cluster (0..clusters - 1) of individual i + 1.
    DrawComparer(const std::vector<std::int32_t>& cluster, std::int32_t clusters);
    /// Compares another clustering of as many individuals from now on, keeping the memory.
    void reset(const std::vector<std::int32_t>& cluster, std::int32_t clusters);

    struct Distances {
        double vi = 0.0;          ///< variation of information, bits; exactly 0 for the same clustering
        std::int64_t binder = 0;  ///< pairs together in one clustering and apart in the other
    };
    /// Distances to the draw whose labels (any byte values) are labels[0..n - 1].
    Distances compare(const std::uint8_t* labels);
    /// For the individuals first..last - 1 (0-based): adds to mates[(i - first) * clusters + k], for each
    /// cluster k, the members of k that the draw labels as it labels i (i itself included).
    void add_mates(const std::uint8_t* labels, std::int32_t first, std::int32_t last, std::uint64_t* mates);

  private:
    /// Counts the draw's cells, and its labels into label_count_.
    void tally(const std::uint8_t* labels);
    /// sum_l m_l^2 of the draw tallied last; label_count_ is back at 0 after.
    std::int64_t take_label_squares();

    std::vector<std::int32_t> cluster_;
    std::vector<std::int32_t> size_;
    std::vector<double> log2_;             // log2(x), x = 1..n
    std::int64_t size_squares_ = 0;        // sum_k n_k^2
    std::vector<std::uint32_t> table_;     // table_[k * 256 + label]
    std::vector<std::uint32_t> touched_;   // cells of table_ above 0, in the order they were first counted
    std::vector<std::uint32_t> by_label_;  // touched_ sorted by label (add_mates)
    std::uint32_t label_count_[256] = {};
};

/// Distances between a clustering and each draw.
struct DrawDistances {
    std::vector<double> vi;
    std::vector<std::int64_t> binder;
};

/// Distances between `cluster` (as for DrawComparer) and each draw of `observations` (valid observation
/// numbers of `store`, labels of individuals 1..cluster.size()), in the order listed, on up to `threads`
/// threads; `work` (optional) counts the draws done. Empty when `cancel` is set part-way.
DrawDistances distances_to_draws(const MC_Sample& store, const std::vector<std::int32_t>& observations,
                                 const std::vector<std::int32_t>& cluster, std::int32_t clusters, int threads,
                                 const std::atomic<bool>* cancel, std::atomic<std::int64_t>* work,
                                 const std::function<void()>& poll = {});

/// The mean of the distances of `loss` (pairs for Binder); 0 without draws.
double mean_loss(const DrawDistances& distances, Loss loss);

/// The ceil(0.95 M)-th smallest of M distances; 0 without distances.
double credible_ball_radius_95(std::vector<double> vi);

/// within, nearest_cluster and nearest (see IndividualDoubt) of each individual for `cluster` (clusters
/// numbered 1..clusters, cluster[i - 1] for individual i) over the draws `observations`, summing exact
/// integer counts on up to `threads` threads; `work` counts draws passed. Empty when `cancel` is set.
std::vector<IndividualDoubt> individual_doubt(const MC_Sample& store, const std::vector<std::int32_t>& observations,
                                              const std::vector<std::int32_t>& cluster, std::int32_t clusters,
                                              int threads, const std::atomic<bool>* cancel,
                                              std::atomic<std::int64_t>* work, const std::function<void()>& poll = {});
