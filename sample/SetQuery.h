#pragma once

#include "sample/Mc_sample.h"

#include <cstdint>
#include <vector>

/// Individual n (1..n_indivs) against every individual m = 1..n_indivs, in order of m: entry m - 1 holds what
/// store.count_set_co_assi({n, m}, k_from, k_to, first_obs) gives, made in one pass over the store, so a run
/// of thousands of individuals costs one read of the retained rows rather than one per individual. Every entry
/// has the same `counted`; the entry of n itself has hits equal to counted. Empty when n is outside
/// 1..n_indivs.
std::vector<MC_Sample::SetCount> count_co_assi_with_all(const MC_Sample& store, std::int32_t n, std::int32_t k_from,
                                                        std::int32_t k_to, std::int32_t first_obs);
