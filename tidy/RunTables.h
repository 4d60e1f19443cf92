#pragma once

#include "sample/Mc_sample.h"
#include "sample/Notices.h"
#include "sample/RunState.h"
#include "summary/Posterior.h"

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

/// Writes trace.tsv: the header "iteration\tk\tlog_likelihood\tretained", then one row per stored
/// observation in store order. `iteration` counts from 1 within each run; `log_likelihood` is the value
/// of the result file at full precision (shortest text that reads back the same); `retained` is 1 from
/// the burn-in on (burn_in below 0 keeps everything), else 0, as MC_Sample::retained_ranges. A store of
/// several runs gets a first column `run` (1-based) as well. LF line ends.
void print_trace_tsv(std::ostream& out, const MC_Sample& store, std::int32_t burn_in);
bool write_trace_tsv(const std::string& path, const MC_Sample& store, std::int32_t burn_in, Notices& notes);

/// One result file behind a posterior table.
struct PosteriorSource {
    std::string result_path;
    RunHeader header;
    std::int64_t stored = 0;  ///< observations loaded from the file
};

/// Everything posterior_k.tsv shows, as plain values.
struct PosteriorTable {
    std::vector<PosteriorSource> sources;  ///< one per run, in store order; at least one
    std::int32_t n_indivs = 0;
    std::int32_t Kmax = 0;  ///< rows k = 1..Kmax; also the Kmax of the prior
    double U = 1.0;         ///< the prior's U: 1 gives 1 / Kmax for every k, else prior_of_k
    std::int32_t burn_in = 0;
    std::int64_t retained = 0;    ///< observations from the burn-in on, every run together
    std::int64_t above_Kmax = 0;  ///< of those, how many have k above Kmax (in no row)
    std::int32_t k_from = 1;      ///< the tree's k range, ordered and clamped to 1..Kmax
    std::int32_t k_to = 0;
    std::vector<std::int64_t> draws;  ///< by k (0..Kmax): retained observations with that k
    Posterior posterior;
};

/// The table of the runs in `store` (one source per run, in store order) pooled under `pool` (their
/// pooled header), from `posterior` (compute_posterior on the store with `burn_in`). The tree's k range is
/// k_from..k_to read in order and clamped to 1..Kmax, as make_tree reads it.
PosteriorTable posterior_table(std::vector<PosteriorSource> sources, const RunHeader& pool, const MC_Sample& store,
                               std::int32_t burn_in, std::int32_t k_from, std::int32_t k_to,
                               const Posterior& posterior);
/// The table of one open run: its one source is run.result_path, run.header and every stored observation.
PosteriorTable posterior_table(const RunState& run, const Posterior& posterior);

/// Writes posterior_k.tsv: "# key: value" lines (result file, individuals, Kmax, observations declared
/// and stored, period, U, Theta, burn-in, retained draws, draws above Kmax, the tree's k range, Bayes
/// factor or "not defined"), then "k\tdraws\tposterior\tprior" and a row for each k = 1..Kmax. With
/// several sources the per-file keys carry the run's number: result_file_1, observations_declared_1, ...
/// Reals are shortest round-trip text; a prior that is not a finite number (U = -1 with an even Kmax) is NA.
void print_posterior_tsv(std::ostream& out, const PosteriorTable& table);
bool write_posterior_tsv(const std::string& path, const PosteriorTable& table, Notices& notes);
