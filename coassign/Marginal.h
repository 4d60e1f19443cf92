#pragma once

#include "coassign/Count.h"
#include "coassign/PairCells.h"
#include "sample/Mc_sample.h"
#include "sample/Notices.h"
#include "sample/Progress.h"

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <span>
#include <string>
#include <vector>

/// The selected k values; ascending and consecutive in practice. Every entry counts as often as it occurs.
using KList = std::vector<std::int32_t>;

/// Pair co-assignment counts over the counted observations of a store (those from the burn-in on), and the
/// probabilities made from them. Two individuals are co-assigned in an observation when their stored cluster
/// values are equal, 0 (listed in no cluster) included. An observation whose k is above Kmax is not counted.
///
/// The store is borrowed from fill_co_assi_counts on and must outlive every query: the pair counts of a k
/// list are made when it is first asked for and kept until another k list is asked for. The queries keep
/// that cache, so one object is not for use from several threads at once.
class Marginal {
  public:
    Marginal(std::int32_t Kmax, std::int32_t n_indivs);

    /// Remembers the store and the burn-in and counts the observations of each k from observation
    /// burn_in on (a burn-in below 0 counts from 0). Individuals 1..n_indivs, k 1..Kmax. Call once.
    /// Raises Exceptions("get_indiv_part_in_sample out of range !") when n_indivs exceeds the store's and
    /// an observation is counted.
    void fill_co_assi_counts(const MC_Sample& store, std::int32_t burn_in, std::int32_t n_indivs, std::int32_t Kmax);

    /// Fraction of counted observations with k in k_list in which the two members share a cluster, summed
    /// over the entries of k_list: (sum of co-assigned counts) / (sum of observation counts). members must
    /// be an ascending pair {a, b}, 1 <= a < b <= n_indivs, else 0; 0 when nothing is counted. Never raises.
    double calc_co_assi_prob(const std::vector<std::int32_t>& members, const KList& k_list) const;
    /// calc_co_assi_prob({a, b}, k_list) without building a member list; for repeated calls with one k_list.
    double pair_prob(std::int32_t a, std::int32_t b, const KList& k_list) const;

    /// The counts behind pair_prob for k_list: pair_prob(a, b, k_list) is cells[pair_index(a, b)] / total
    /// (see coassign/PairCounts.h), computed in double; cells holds n_indivs (n_indivs - 1) / 2 entries, in
    /// cells no wider than total needs (PairCells), or none when nothing is counted, or when the weighted
    /// observations exceed 2^32 - 1 and pairs are counted on request (then ask pair_prob). Makes the counts
    /// when they are not made yet. Valid until another k list is asked for or release_counts is called.
    struct PairCountView {
        PairCells cells;
        std::int64_t total = 0;
    };
    PairCountView pair_counts(const KList& k_list) const;
    /// The same counts, shared rather than borrowed: they stay valid for as long as the holder is kept,
    /// whatever the Marginal does next (no copy is made). Empty when pair_counts(k_list).cells is.
    SharedPairCells shared_pair_counts(const KList& k_list) const;
    /// Frees the pair counts; the next query makes them again. For callers done with the pairs that need
    /// the memory (the counts of 16,384 individuals take 0.5 GB).
    void release_counts() { table_.reset(); }

    /// Makes the pair counts of k_list now rather than at the first query, reporting to `progress` (chunks
    /// of observations counted) and stopping with Cancelled when cancel is raised.
    void prepare(const KList& k_list, const Progress& progress) const;

    /// Sum of the observation counts of the entries of k_list, each entry as often as it occurs; a k
    /// outside 1..Kmax adds 0.
    std::int64_t count_obs_in_k_list(const KList& k_list) const;

    /// Writes the pairwise co-assignment file: n_indivs lines, row i holding the probabilities of (j, i)
    /// for j < i in "%#10.5g" form, each followed by a tab, then the diagonal ("%10g" of 1 on row 1,
    /// "    1.0000" later), then one tab per column after i, then CR LF. Writes nothing when
    /// count_obs_in_k_list(k_list) is 0.
    /// `progress`, when given, hears the rows written (of n_indivs) and can stop the writing with Cancelled.
    void print_pairwise_co_assi_probs(std::ostream& out, std::int32_t n_indivs, const KList& k_list,
                                      const Progress* progress = nullptr) const;
    /// Writes the file `path` atomically. Returns false and reports to `notes` when it is not written: it
    /// cannot be written, or nothing is counted for k_list (an empty k_list included). On Cancelled the
    /// file is left as it was.
    bool print_pairwise_co_assi_probs(const std::string& path, std::int32_t n_indivs, const KList& k_list,
                                      Notices& notes, const Progress* progress = nullptr) const;

    /// Worker threads the pair counting may use (at least 1; by default the cores it may run on). The results
    /// do not depend on it.
    void set_worker_threads(int threads);

  private:
    /// Pair counts for one k list. Each k of 1..Kmax carries a weight: how often it occurs in the list,
    /// divided by the common divisor of these weights (which leaves every quotient unchanged).
    struct Table {
        KList source;                       ///< the k list as given
        std::vector<std::int32_t> weights;  ///< by k, 0..Kmax
        std::int64_t total = 0;             ///< weighted counted observations
        SharedPairCells cells;              ///< weighted co-assigned counts, by pair_index
        bool direct = false;                ///< too many for 32-bit cells: pairs are counted on request
    };

    std::vector<std::int32_t> weights_of(const KList& k_list) const;
    const Table& table_for(const KList& k_list, const Progress* progress = nullptr) const;
    std::int64_t pair_numerator(const Table& t, std::int32_t a, std::int32_t b) const;

    const MC_Sample* store_ = nullptr;
    std::int32_t Kmax_ = 0;
    std::int32_t n_indivs_ = 0;
    std::int32_t burn_in_ = 0;
    int threads_ = 1;
    std::vector<std::int64_t> obs_per_k_;
    mutable std::unique_ptr<Table> table_;  ///< the counts of the k list asked for last
};

/// One off-diagonal cell of the pairwise co-assignment file: v (0 <= v <= 1) as printf "%#10.5g" writes it
/// in the C locale, whatever the current locale. So 0 -> "    0.0000", 0.5 -> "   0.50000",
/// 0.0001234 -> "0.00012340", 0.00001234 -> "1.2340e-05".
std::string pairwise_cell_text(double v);
