#pragma once

#include "sample/LoadReport.h"
#include "sample/Notices.h"
#include "sample/Progress.h"
#include "sample/ZeroedAllocator.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

/// Every sampled clustering of a run, in file order. Observation i (from 0) is one row of
/// n_indivs + 1 bytes: byte 0 holds k (1..254), byte x (1..n_indivs) the cluster of individual x
/// (1..k, the position of the cluster in its record), or 0 when the record listed x in no cluster.
/// All rows live in one contiguous block.
class MC_Sample {
  public:
    MC_Sample() = default;

    /// Loads the result file `path` ("-": standard input) in one pass (RunLoader), the window's way: writes
    /// the trajectory side file `side_path` (one line per record whose first line was read: the log
    /// likelihood in "%g" form, a tab, k, CR LF) and puts it in place however loading ends, except on cancel.
    /// Reads at most the header's n_obs records and keeps the records before a bad record. Each stop, and
    /// records that are not clusterings, are reported to `notes`. An individual outside 1..n_indivs raises
    /// Exceptions("fill_mc_sample indiv out of range !") once the side file is in place and the records
    /// before are stored. Called once, on an empty store. `progress`, when given, hears the bytes of the
    /// file read so far (of its size); when cancel is raised loading stops with Cancelled, the side file is
    /// left as it was and the store must be thrown away.
    LoadReport fill_mc_sample(const std::string& path, const std::string& side_path, Notices& notes,
                              const Progress* progress = nullptr);

    /// As fill_mc_sample, from text already in memory; `name` names it in messages. An empty
    /// `side_path` writes no side file.
    LoadReport fill_from_text(const char* begin, const char* end, const std::string& name, const std::string& side_path,
                              Notices& notes);

    /// Appends the observations of `more`, a store of the same n_indivs holding one run, to the last run of
    /// this one: the records a growing file added since it was last read, or the next piece of a file read
    /// in pieces. Kmax becomes the larger of the two; `more` is left empty. An empty store takes `more` as
    /// it is; a `more` without observations adds nothing. Returns false and changes nothing when `more` holds
    /// observations of another n_indivs.
    bool extend(MC_Sample&& more);

  public:
    /// The histogram of k over the observations the burn-in keeps (retained_ranges): entry k (0..Kmax)
    /// counts the retained observations whose k is k. A k above Kmax is not counted.
    std::vector<std::int64_t> k_histogram(std::int32_t burn_in) const;

    std::int32_t get_n_samples() const { return n_samples_; }
    std::int32_t n_indivs() const { return n_indivs_; }
    std::int32_t Kmax() const { return Kmax_; }
    /// Bytes per observation: n_indivs + 1.
    std::size_t stride() const { return static_cast<std::size_t>(n_indivs_) + 1; }

    /// Row of observation i (n_indivs + 1 bytes). Raises "get_sample out of range !" for i >= n_samples.
    std::span<const std::uint8_t> get_sample(std::uint32_t i) const;
    /// k of observation i. Raises "get_k_for_sample out of range !" for i >= n_samples.
    int get_k_for_sample(std::uint32_t i) const;
    /// Cluster of individual indiv (0..n_indivs) in observation i. Raises
    /// "get_indiv_part_in_sample out of range !" when i or indiv is out of range.
    int get_indiv_part_in_sample(std::uint32_t i, std::int32_t indiv) const;

    /// Observations [first, last) of one stretch of the store.
    struct Range {
        std::int32_t first = 0;
        std::int32_t last = 0;
    };
    /// Runs held: a store filled from one result file holds one run; append_run adds more. Run r
    /// (0..n_runs() - 1) owns the observations run(r).first..run(r).last - 1, in the order the runs came.
    std::int32_t n_runs() const { return static_cast<std::int32_t>(run_starts_.size()); }
    Range run(std::int32_t r) const;
    /// Appends the observations of `other`, a filled store of the same n_indivs, as one more run (each of
    /// its runs stays a run); Kmax becomes the larger of the two. `other` is left empty. A store never filled
    /// takes the other's runs; a run without observations keeps its place like any other. Returns false and
    /// changes nothing when n_indivs differ and either store holds observations.
    bool append_run(MC_Sample&& other);
    /// The same runs with only k and the log likelihood of each observation: a store of 0 individuals whose
    /// rows hold k alone, for what needs no clustering (the posterior of k, the trace, the diagnostics) at a
    /// byte a row.
    MC_Sample without_clusterings() const;
    /// A new store of this one's runs, each with grown[r] (a store of one run, of the same n_indivs, or
    /// empty) appended to run r, or, where replaced[r], run r's observations replaced by grown[r]'s: the
    /// store of runs that grew or were read again while they were followed. This store is left as it is, so
    /// computations still reading it go on. grown and replaced hold one entry per run; Kmax becomes the
    /// largest of this one's and theirs. Nothing when grown does not hold one entry per run or a store's
    /// n_indivs differ.
    std::optional<MC_Sample> with_runs_grown(const std::vector<MC_Sample>& grown,
                                             const std::vector<bool>& replaced) const;
    /// The observations a burn-in keeps: from the burn_in-th observation of every run on (a burn-in below 0
    /// keeps all), one range per run that keeps any, in store order. One run gives [burn_in, n_samples).
    std::vector<Range> retained_ranges(std::int32_t burn_in) const;
    /// Number of observations retained_ranges(burn_in) holds.
    std::int64_t count_retained(std::int32_t burn_in) const;
    /// The retained observations whose k lies in [k_from, k_to], in store order.
    std::vector<std::int32_t> retained_observations(std::int32_t burn_in, std::int32_t k_from, std::int32_t k_to) const;

    /// Log likelihood of observation i (0..n_samples - 1) as the result file wrote it, to full double
    /// precision; the side file keeps only six digits.
    double log_likelihood(std::int32_t i) const { return log_likelihoods_[static_cast<std::size_t>(i)]; }
    const std::vector<double>& log_likelihoods() const { return log_likelihoods_; }

    /// The whole block: n_samples rows of stride() bytes.
    const std::uint8_t* data() const { return samples_.data(); }

    /// Outcome of a set query: observations whose k lies in the interval, and how many of them hold every
    /// member in one cluster.
    struct SetCount {
        std::int64_t hits = 0;
        std::int64_t counted = 0;
    };
    /// Among the observations a burn-in of first_obs keeps (retained_ranges) whose k lies in [k_from, k_to],
    /// how many there are and in how many all members share the cluster of the first member (cluster value
    /// 0, listed in no cluster, is shared like any other). Members are individuals 1..n_indivs, in any
    /// order, repeats allowed; a list with a member outside that range has no hits. Never raises.
    SetCount count_set_co_assi(const std::vector<std::int32_t>& members, std::int32_t k_from, std::int32_t k_to,
                               std::int32_t first_obs) const;
    /// hits / counted of count_set_co_assi with k_list's first and last entry as the interval, as a double;
    /// NaN when counted is 0 or k_list is empty. Never raises.
    double calc_set_co_assi_prob(const std::vector<std::int32_t>& members, const std::vector<std::int32_t>& k_list,
                                 std::int32_t first_obs) const;

  private:
    friend class ResultReader;  // fills the rows as it reads them

    // Zeros past the rows in use, so that a row the reader opens lists every individual in no cluster
    // without being cleared.
    std::vector<std::uint8_t, ZeroedAllocator<std::uint8_t>> samples_;
    std::vector<double> log_likelihoods_;      // by observation
    std::vector<std::int32_t> run_starts_{0};  // first observation of each run
    std::int32_t n_indivs_ = 0;
    std::int32_t Kmax_ = 0;
    std::int32_t n_samples_ = 0;
};
