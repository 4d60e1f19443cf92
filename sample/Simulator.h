#pragma once

#include <cstdint>
#include <iosfwd>

/// Settings of a simulated sampler run.
struct SimulationSettings {
    std::int32_t n_indivs = 60;
    std::int32_t n_obs = 2000;
    std::int32_t Kmax = 20;
    std::int32_t groups = 3;
    std::uint64_t seed = 1;
};

/// Writes a result file as the sampler would: a first line, the six header numbers on their own lines,
/// then n_obs records. k wanders around the number of planted groups; each partition is the planted
/// grouping (individual i in group (i - 1) * groups / n_indivs) merged or split to k clusters, with a
/// few individuals moved at random; log likelihoods climb during the first tenth of the chain and then
/// fluctuate. The same settings give the same bytes. Lines end with LF.
void simulate_run(std::ostream& out, const SimulationSettings& settings);
