#pragma once

#include "estimate/DrawSet.h"
#include "estimate/Estimate.h"
#include "estimate/Random.h"

#include <atomic>
#include <cstdint>
#include <vector>

/// A candidate clustering held with its contingency tables against every draw of a DrawSet, so that the
/// change of the expected loss when one individual moves costs one pass over that individual's labels.
///
/// Both losses are sums over draws of terms of the contingency counts: with n_k the size of cluster k and
/// n_kl^d the members of k that draw d labels l, the expected loss is an increasing affine function of
///     objective = M sum_k F(n_k) - 2 sum_d sum_kl F(n_kl^d),
/// M the number of draws, F(x) = x log2 x for VI and x (x - 1) / 2 for Binder. F is kept in integers
/// (VI in fixed point, scaled as far as 64 bits allow), through the gains g(x) = F(x + 1) - F(x): moves are
/// weighed exactly, every move taken lowers the objective, and equal moves are equal.
///
/// Clusters are 0..clusters() - 1; an individual not yet placed has cluster `unplaced`. Moves prefer, on
/// equal gains, staying put, then the lowest cluster, then a new cluster.
class Search {
  public:
    static constexpr std::int32_t unplaced = -1;

    /// Tables for `draws` (which must outlive the Search, of at most 65,535 individuals, as a cell counts
    /// them in 16 bits), every individual unplaced. At most max_clusters
    /// clusters (at least 1) are opened. `cancel` stops every operation part-way when set; `work`, when
    /// given, counts the individuals weighed.
    Search(const DrawSet& draws, Loss loss, std::int32_t max_clusters, const std::atomic<bool>* cancel = nullptr,
           std::atomic<std::int64_t>* work = nullptr);

    /// The most clusters whose tables for `draws` fit in budget_bytes, within 256..n_indivs (n_indivs
    /// below 256).
    static std::int32_t max_clusters_for(const DrawSet& draws, std::size_t budget_bytes);

    /// Holds `cluster` (one value per individual, small values >= 0; each distinct value a cluster, numbered
    /// by first appearance). More than max_clusters distinct values are not allowed.
    void assign(const std::vector<std::int32_t>& cluster);
    /// Every individual unplaced.
    void clear();
    /// Sequential allocation: places the listed unplaced individuals one after the other, each where it
    /// lowers the objective of the placed individuals most (a new cluster included).
    void allocate(const std::vector<std::int32_t>& order);
    /// Takes the listed individuals (all placed) one after the other out of their cluster and puts each back
    /// where the objective is lowest. True when one moved.
    bool sweep(const std::vector<std::int32_t>& order);
    /// Sweeps, each in a new random order, until one moves nobody or max_sweeps were made.
    void sweeten(Random& rng, int max_sweeps);
    /// Sweeps in individual order until one moves nobody or max_sweeps were made.
    void sweep_to_rest(int max_sweeps);
    /// Zealous updates: `attempts` times, a cluster chosen at random is broken up, its members placed again
    /// one by one in a random order, and the whole sweetened; kept only when the objective fell.
    void zealous(Random& rng, int attempts, int max_sweeps);

    /// The objective of the placed individuals, from the tables.
    std::int64_t objective() const;
    std::int32_t clusters() const { return k_; }
    /// Cluster of each individual (0-based), unplaced for one not placed.
    const std::vector<std::int32_t>& cluster() const { return cluster_; }
    bool cancelled() const { return cancel_ && cancel_->load(std::memory_order_relaxed); }

  private:
    /// acc_[k] for every cluster k, as if i were out of its own cluster (or unplaced).
    void weigh(std::int32_t i);
    std::int64_t delta(std::int32_t k) const {
        return draws_weight_ * gain_[size_[static_cast<std::size_t>(k)]] - 2 * acc_[static_cast<std::size_t>(k)];
    }
    /// After weigh(i) with i out of every table: the cluster i should join; k_ stands for a new cluster.
    std::int32_t best_cluster(std::int32_t stay) const;
    void change(std::int32_t i, std::int32_t k, int step);
    void put(std::int32_t i, std::int32_t k);
    void take_out(std::int32_t i);
    void drop_empty(std::int32_t k);
    void grow(std::int32_t new_cap);
    std::uint16_t* row(std::size_t label_row) { return cells_.data() + label_row * static_cast<std::size_t>(cap_); }

    const DrawSet& draws_;
    bool linear_;                          // Binder: the gain of a cell is its count
    std::vector<std::int64_t> gain_;       // g(x), x = 0..n_indivs
    std::vector<std::int64_t> gain_less_;  // g(x - 1), x = 1..n_indivs: a cell that holds the individual weighed
    std::vector<std::int64_t> total_;      // F(x), x = 0..n_indivs
    std::int64_t draws_weight_;
    std::int32_t max_clusters_;
    const std::atomic<bool>* cancel_;
    std::atomic<std::int64_t>* work_;

    std::int32_t k_ = 0;
    std::int32_t cap_ = 0;
    std::vector<std::int32_t> cluster_;
    std::vector<std::int32_t> size_;
    std::vector<std::uint16_t> cells_;  // cells_[(label_base[d] + l) * cap_ + k] = n_kl^d
    std::vector<std::int64_t> acc_;     // weigh: sum over draws of g(n_kl^d), l the individual's label
};
