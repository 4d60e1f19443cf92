#pragma once

#include "sample/Mc_sample.h"
#include "sample/Notices.h"
#include "sample/RunState.h"

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

/// The posterior of k after a burn-in, and the Bayes factor of k = 1 against k > 1.
struct Posterior {
    std::int32_t burn_in = 0;
    /// p[k] for k = 1..Kmax: share of the observations from the burn-in on whose k is k. p[0] is unused.
    std::vector<double> p;
    /// draws[k] for k = 0..Kmax: the observations from the burn-in on whose k is k (k above Kmax is in
    /// no entry).
    std::vector<std::int64_t> draws;
    /// (p1 / (1 - p1)) * ((1 - prior1) / prior1); empty when p1 is 1 or the prior of k = 1 is not a
    /// probability above 0 (U = -1 with an even Kmax, say).
    std::optional<double> bayes_factor;
    /// Title of the posterior chart: "Posterior distribution of k (burn in = B )".
    std::string title;
};

/// Prior probability of k under a geometric prior truncated to 1..Kmax: U^(k-1) (1 - U) / (1 - U^Kmax).
double prior_of_k(double U, std::int32_t k, std::int32_t Kmax);

/// Counts k over the observations the burn-in b keeps (every run loses b) and computes the posterior.
/// Empty (nothing to show, nothing to write) when the header declares no observation or b leaves no
/// stored observation. The probabilities are divided by the number of stored observations from b on.
/// Reads the store only, so it may run while other threads read it too.
std::optional<Posterior> compute_posterior(const RunHeader& header, const MC_Sample& store, std::int32_t b);

/// Writes the posterior file: the result path, the header values, the Bayes factor (or " Not defined "
/// and an extra empty line), then "k \t Posterior prob of k" and one line per k. Lines end with CR LF.
void print_posterior(std::ostream& out, const std::string& result_path, const RunHeader& header,
                     const Posterior& posterior);

/// print_posterior into the file `path`; a failure is reported to `notes`. True when written.
bool write_posterior_file(const std::string& path, const std::string& result_path, const RunHeader& header,
                          const Posterior& posterior, Notices& notes);
