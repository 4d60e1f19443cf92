#pragma once

#include "coassign/Count.h"
#include "sample/Diagnostics.h"
#include "sample/Mc_sample.h"

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

/// The selected k values; ascending and consecutive in practice. Every entry counts as often as it occurs.
using KList = std::vector<std::int32_t>;

/// Pair co-assignment counts over the counted observations of a store (those from the burn-in on), and the
/// probabilities made from them. Two individuals are co-assigned in an observation when their stored cluster
/// values are equal, 0 (listed in no cluster) included. An observation whose k is above Kmax is not counted.
///
/// The store is borrowed from fill_co_assi_counts on and must outlive every query: the pair counts are made
/// when a k list is first asked for. Not for use from several threads at once.
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

    /// Sum of the observation counts of the entries of k_list, each entry as often as it occurs; a k
    /// outside 1..Kmax adds 0.
    std::int64_t count_obs_in_k_list(const KList& k_list) const;

    /// Writes the pairwise co-assignment file: n_indivs lines, row i holding the probabilities of (j, i)
    /// for j < i in "%#10.5g" form, each followed by a tab, then the diagonal ("%10g" of 1 on row 1,
    /// "    1.0000" later), then one tab per column after i, then CR LF. Writes nothing when
    /// count_obs_in_k_list(k_list) is 0.
    void print_pairwise_co_assi_probs(std::ostream& out, std::int32_t n_indivs, const KList& k_list) const;
    /// Writes the file `path` atomically. Returns false and reports to `diag` when it is not written: it
    /// cannot be written, or nothing is counted for k_list (an empty k_list included).
    bool print_pairwise_co_assi_probs(const std::string& path, std::int32_t n_indivs, const KList& k_list,
                                      Diagnostics& diag) const;

  private:
    std::int64_t pair_count(std::int32_t a, std::int32_t b, const KList& k_list) const;

    const MC_Sample* store_ = nullptr;
    std::int32_t Kmax_ = 0;
    std::int32_t n_indivs_ = 0;
    std::int32_t burn_in_ = 0;
    std::vector<std::int64_t> obs_per_k_;
};
