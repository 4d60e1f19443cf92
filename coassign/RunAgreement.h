#pragma once

#include "sample/Mc_sample.h"
#include "sample/Progress.h"

#include <cstdint>
#include <vector>

/// How far each run's pair co-assignment probabilities stray from those of all runs pooled. The draws are
/// the observations the burn-in keeps whose k lies in [k_from, k_to]. For run r the value is the largest
/// |p_r(a, b) - p(a, b)| over the pairs a < b, p_r counted over r's draws and p over every run's; 0 with
/// fewer than two individuals; NaN for a run without a draw. One entry per run of the store.
std::vector<double> psm_max_diff(const MC_Sample& store, std::int32_t burn_in, std::int32_t k_from, std::int32_t k_to,
                                 int threads, const Progress* progress = nullptr);
