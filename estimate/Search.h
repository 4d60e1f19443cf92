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
/// Clusters of two or more members have tables; an individual alone has none (F(1) = F(0) = 0) and joining
/// it is weighed by comparing the two individuals' labels, so that many individuals alone cost little.
/// Moves prefer, on equal gains: staying put, then the cluster with a table of lowest number, then the
/// individual alone listed first, then going alone.
class Search {
  public:
    static constexpr std::int32_t unplaced = -1;

    /// Tables for `draws` (which must outlive the Search, of at most 65,535 individuals, as a cell counts
    /// them in 16 bits), every individual unplaced. At most max_tables clusters (at least 1) have tables at
    /// a time: once there are that many, an individual can still go alone but not join one alone. `cancel`
    /// stops every operation part-way when set; `work`, when given, counts the individuals weighed.
    Search(const DrawSet& draws, Loss loss, std::int32_t max_tables, const std::atomic<bool>* cancel = nullptr,
           std::atomic<std::int64_t>* work = nullptr);

    /// The most tables for `draws` that fit in budget_bytes, within 256..n_indivs (n_indivs below 256).
    static std::int32_t max_tables_for(const DrawSet& draws, std::size_t budget_bytes);

    /// Holds `cluster` (one value per individual, small values >= 0; each distinct value a cluster). More
    /// than max_tables values held by two or more individuals are not allowed.
    void assign(const std::vector<std::int32_t>& cluster);
    /// Every individual unplaced.
    void clear();
    /// Sequential allocation: places the listed unplaced individuals one after the other, each where it
    /// lowers the objective of the placed individuals most (alone included).
    void allocate(const std::vector<std::int32_t>& order);
    /// Takes the listed individuals (all placed) one after the other and moves each where the objective is
    /// lowest. True when one moved.
    bool sweep(const std::vector<std::int32_t>& order);
    /// Sweeps, each in a new random order, until one moves nobody or max_sweeps were made.
    void sweeten(Random& rng, int max_sweeps);
    /// Sweeps in individual order until one moves nobody or max_sweeps were made.
    void sweep_to_rest(int max_sweeps);
    /// Zealous updates: `attempts` times, a cluster of two or more chosen at random is broken up, its
    /// members placed again one by one in a random order, and the whole sweetened; kept only when the
    /// objective fell.
    void zealous(Random& rng, int attempts, int max_sweeps);

    /// The objective of the placed individuals, from the tables.
    std::int64_t objective() const;
    std::int32_t clusters() const { return k_ + static_cast<std::int32_t>(singles_.size()); }
    /// Cluster of each individual (0-based): clusters with tables first, then the individuals alone;
    /// unplaced for one not placed.
    std::vector<std::int32_t> cluster() const;
    bool cancelled() const { return cancel_ && cancel_->load(std::memory_order_relaxed); }

  private:
    static constexpr std::int32_t alone = -2;
    struct Target {
        enum Kind { stay, table, single, alone } kind = stay;
        std::int32_t index = 0;  // the table, or the position in singles_
    };

    /// acc_ for every table and single_acc_ for every individual alone, as if i were out of its cluster.
    void weigh(std::int32_t i);
    std::int64_t delta(std::int32_t k) const {
        return draws_weight_ * gain_[size_[static_cast<std::size_t>(k)]] - 2 * acc_[static_cast<std::size_t>(k)];
    }
    /// After weigh(i), with the size of i's table one lower: where i should go.
    Target best_target(std::int32_t i) const;
    void move(std::int32_t i, Target to);
    void change(std::int32_t i, std::int32_t k, int step);
    void put(std::int32_t i, std::int32_t k);
    void take_out(std::int32_t i);
    void drop_empty(std::int32_t k);
    /// Table k holds one individual: it goes alone and the table is dropped.
    void break_up(std::int32_t k);
    void add_single(std::int32_t i);
    void remove_single(std::int32_t i);
    void grow(std::int32_t new_cap);

    const DrawSet& draws_;
    bool linear_;                          // Binder: the gain of a cell is its count
    std::vector<std::int64_t> gain_;       // g(x), x = 0..n_indivs
    std::vector<std::int64_t> gain_less_;  // g(x - 1), x = 1..n_indivs: a cell that holds the individual weighed
    std::vector<std::int64_t> total_;      // F(x), x = 0..n_indivs
    std::int64_t draws_weight_;
    std::int32_t max_tables_;
    const std::atomic<bool>* cancel_;
    std::atomic<std::int64_t>* work_;

    std::int32_t k_ = 0;  // clusters with tables
    std::int32_t cap_ = 0;
    std::vector<std::int32_t> cluster_;  // table, `alone` or `unplaced`
    std::vector<std::int32_t> size_;
    std::vector<std::uint16_t> cells_;      // cells_[(label_base[d] + l) * cap_ + k] = n_kl^d
    std::vector<std::int64_t> acc_;         // weigh: sum over draws of g(n_kl^d), l the individual's label
    std::vector<std::int32_t> singles_;     // the individuals alone
    std::vector<std::int32_t> single_pos_;  // position of an individual alone in singles_
    std::vector<std::int64_t> single_acc_;  // weigh: g(1) times the draws that label i as singles_[t]
};
