#pragma once

// Internal to the coassign library: the two ways count_co_assigned_pairs counts a band of rows of the pair
// triangle, shared by PairCounts.cpp (which splits the work and picks the way), PairCountBytes.cpp and
// PairCountBits.cpp.

#include "sample/Mc_sample.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

/// How the workers of one count share their progress: chunks done by all, and a flag to stop early.
struct CountShared {
    std::atomic<std::int64_t> chunks_done{0};
    std::atomic<bool> stop{false};
    std::atomic<int> running{0};
};

/// The pairs (a, b), a < b, of the rows b - 1 in [row_from, row_to) of the triangle `tri` (laid out by
/// pair_index), counted over `observations` into cells of type Cell (which must hold every final count).
struct CountBand {
    const MC_Sample* store = nullptr;
    const std::vector<std::int32_t>* observations = nullptr;
    std::size_t row_from = 0;
    std::size_t row_to = 0;
    CountShared* shared = nullptr;
};

// ---- Byte compares: every processor. Each chunk of observations is turned around so that an individual's
// cluster bytes lie side by side, and a pair costs a compare of bytes per vector of observations.

/// Observations per chunk for rows below row_to, the working copy being at most chunk_bytes.
std::size_t byte_chunk_size(std::size_t row_to, std::size_t chunk_bytes);
template <class Cell>
void count_band_bytes(const CountBand& band, std::size_t chunk_bytes, bool widest_vectors, Cell* tri);

// ---- Bit planes: processors with 64-byte vectors and their population count. The observations are taken
// in chunks whose cluster numbers fit in `planes` bits; an individual's chunk is kept as one bit plane per
// bit of its cluster numbers, so that two individuals differ in an observation when any of their planes
// do, and a pair costs `planes` bit operations and a population count per 512 observations.

/// True when the processor has the instructions of the bit-plane counts.
bool bit_planes_available();

/// Observations [first, first + count) of the planned order, in `planes` bits (1..8).
struct BitChunk {
    std::size_t first = 0;
    std::size_t count = 0;
    int planes = 8;
};
/// Puts the observations in the order of the bits the largest cluster number of individuals 1..n_indivs needs
/// (into `ordered`) and cuts that order into chunks of at most 4 KiB per individual.
std::vector<BitChunk> plan_bit_chunks(const MC_Sample& store, const std::vector<std::int32_t>& observations,
                                      std::size_t n_indivs, std::vector<std::int32_t>& ordered);
/// Counts the band over the chunks of plan_bit_chunks; band.observations is the planned order.
template <class Cell>
void count_band_bits(const CountBand& band, const std::vector<BitChunk>& chunks, Cell* tri);
/// The slices of rows [row_from, row_to) that count_band_bits counts a chunk in, each of about the same
/// number of pairs: it tells CountShared::chunks_done and looks for a stop after each.
std::size_t bit_band_slices(std::size_t row_from, std::size_t row_to);
