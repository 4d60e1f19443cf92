#pragma once

#include "diagnostics/Convergence.h"
#include "sample/Notices.h"
#include "sample/TextFormat.h"  // append_tsv_field, for the text fields

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

// The tab-separated files of the diagnostics. Each has one header row, LF line ends and reals written as
// printf "%.6g" would write them in the C locale (whatever the process locale), with "NA" for an
// undefined value (NaN) and "Inf" / "-Inf" for infinities, so that R's read.delim and pandas read them
// as numbers. A text field (a file or quantity name) holding a tab, a line end or a double quote is
// written between double quotes with each double quote doubled, the quoting both readers undo by
// default; any other text is written as it is.

/// Appends v as described above ("%.6g", "NA", "Inf", "-Inf").
void append_tsv_number(std::string& out, double v);

/// One row of diagnostics.tsv: a quantity's name ("k", "log_likelihood") and its summary.
struct QuantitySummary {
    std::string quantity;
    ChainSummary summary;
};

/// diagnostics.tsv: "quantity mean sd ess_bulk ess_tail rhat mcse_mean", then one row per quantity in
/// the order given.
void print_diagnostics(std::ostream& out, const std::vector<QuantitySummary>& rows);
/// print_diagnostics into the file `path`; a failure is reported to `notes`. True when written.
bool write_diagnostics_file(const std::string& path, const std::vector<QuantitySummary>& rows, Notices& notes);

/// One row of runs.tsv, as the caller computed it. NaN where a value is undefined (a run that keeps no
/// draw has no means).
struct RunRow {
    std::string file;           ///< the run's result file as the user named it
    std::int64_t draws = 0;     ///< observations stored
    std::int64_t retained = 0;  ///< observations the burn-in keeps
    double mean_k = 0;          ///< over the retained observations
    double mean_log_likelihood = 0;
    double psm_max_diff = 0;  ///< largest difference between the run's pair probabilities and the pool's
};

/// runs.tsv: "run file draws retained mean_k mean_log_likelihood psm_max_diff", one row per run,
/// numbered from 1 in the order given; counts as integers.
void print_runs(std::ostream& out, const std::vector<RunRow>& runs);
bool write_runs_file(const std::string& path, const std::vector<RunRow>& runs, Notices& notes);

/// posterior_k_runs.tsv: "run k posterior", then for run r = 1, 2, ... and k = 1..Kmax the probability
/// posterior_by_run[r - 1][k]. Each run's vector is indexed by k (entry 0 unused, as in Posterior::p);
/// k beyond its end has probability 0. A run whose vector is empty or all zero (it keeps no draw) has
/// "NA" for every k. Only the header when Kmax < 1.
void print_posterior_k_runs(std::ostream& out, const std::vector<std::vector<double>>& posterior_by_run,
                            std::int32_t Kmax);
bool write_posterior_k_runs_file(const std::string& path, const std::vector<std::vector<double>>& posterior_by_run,
                                 std::int32_t Kmax, Notices& notes);
