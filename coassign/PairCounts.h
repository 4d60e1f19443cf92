#pragma once

#include "coassign/PairCells.h"
#include "sample/Mc_sample.h"
#include "sample/Progress.h"

#include <cstddef>
#include <cstdint>
#include <vector>

/// Position of the pair of individuals a < b (both from 1) in a lower triangle of pair cells: the cells of
/// b follow those of b - 1, ordered by a.
inline std::size_t pair_index(std::int32_t a, std::int32_t b) {
    const auto hi = static_cast<std::size_t>(b) - 1;
    return hi * (hi - 1) / 2 + static_cast<std::size_t>(a) - 1;
}

/// For every pair of individuals 1 <= a < b <= n_indivs (n_indivs at most the store's), the number of
/// entries of `observations` (observation numbers below get_n_samples; an entry listed twice counts twice,
/// at most 2^32 - 1 entries) in which a and b hold equal cluster values; laid out by pair_index. Uses up to
/// `threads` threads. `chunk_bytes` bounds each thread's working copy of a chunk of observations (at least
/// 64 observations a chunk). `widest_vectors` false keeps to the 16-byte vectors every target has instead
/// of the widest the processor offers (with 64-byte vectors and their population count, the draws are
/// compared as bit planes of their cluster numbers). None of these change the counts. `progress`, when given, hears how
/// many chunks of observations are done (reported on the calling thread) and stops the work with Cancelled
/// when cancel is raised.
std::vector<std::uint32_t> count_co_assigned_pairs(const MC_Sample& store,
                                                   const std::vector<std::int32_t>& observations, std::int32_t n_indivs,
                                                   int threads, std::size_t chunk_bytes = std::size_t{8} << 20,
                                                   bool widest_vectors = true, const Progress* progress = nullptr);

/// count_co_assigned_pairs into cells of the narrowest width that holds observations.size() (1 byte up to
/// 255 entries, 2 up to 65,535, else 4), held by the result alone (shared with whoever it is copied to). The
/// counts are those of count_co_assigned_pairs whatever the width, threads, chunk size or vectors. For fewer
/// than 2 individuals the result holds no cell (but is not empty).
SharedPairCells count_pair_cells(const MC_Sample& store, const std::vector<std::int32_t>& observations,
                                 std::int32_t n_indivs, int threads, std::size_t chunk_bytes = std::size_t{8} << 20,
                                 bool widest_vectors = true, const Progress* progress = nullptr);
