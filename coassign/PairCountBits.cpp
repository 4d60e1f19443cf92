#include "coassign/PairCountKernels.h"
#include "sample/CpuFeatures.h"
#include "sample/Exceptions.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <memory>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define VELMORA_BIT_PLANES 1
#define VELMORA_PLANES_TARGET __attribute__((target("avx512f,avx512bw,avx512vpopcntdq")))
#endif

namespace {

constexpr std::size_t block_draws = 512;  // observations a block: one 64-byte vector per plane
constexpr std::size_t vector_bytes = 64;
constexpr std::size_t indiv_budget = 4096;  // bytes of planes an individual holds per chunk
constexpr std::size_t turn_group = 1024;    // individuals turned around at a time, 512 KiB

/// Observations a chunk of `planes` bits holds: as many whole blocks as fit the budget.
std::size_t chunk_draws(int planes) {
    return indiv_budget / (static_cast<std::size_t>(planes) * vector_bytes) * block_draws;
}

struct alignas(64) Line {
    std::uint8_t bytes[64];
};

}  // namespace

namespace {

/// Pairs of a slice of rows: a few tens of milliseconds of counting for the largest chunks.
constexpr std::size_t slice_pairs = std::size_t{1} << 22;

/// The row after a slice that starts at row `from`, before `to`: rows [from, end) hold about slice_pairs
/// pairs (row i holds i), and at least 64 rows.
std::size_t slice_end(std::size_t from, std::size_t to) {
    const double f = static_cast<double>(from);
    const auto end = static_cast<std::size_t>(std::sqrt(f * f + 2.0 * static_cast<double>(slice_pairs)));
    return std::min(to, std::max(from + 64, end));
}

}  // namespace

std::size_t bit_band_slices(std::size_t row_from, std::size_t row_to) {
    std::size_t slices = 0;
    for (std::size_t r = row_from; r < row_to; r = slice_end(r, row_to)) ++slices;
    return slices;
}

std::vector<BitChunk> plan_bit_chunks(const MC_Sample& store, const std::vector<std::int32_t>& observations,
                                      std::size_t n_indivs, std::vector<std::int32_t>& ordered) {
    const std::uint8_t* data = store.data();
    const std::size_t stride = store.stride();
    // The bits an observation needs come from its cluster bytes themselves, not from its k, so that any
    // store is counted right.
    std::vector<std::uint8_t> bits(observations.size());
    std::array<std::size_t, 10> starts{};
    for (std::size_t t = 0; t < observations.size(); ++t) {
        const std::uint8_t* row = data + static_cast<std::size_t>(observations[t]) * stride + 1;
        std::uint8_t all = 0;
        for (std::size_t i = 0; i < n_indivs; ++i) all |= row[i];
        bits[t] = static_cast<std::uint8_t>(std::max(1, static_cast<int>(std::bit_width(static_cast<unsigned>(all)))));
        ++starts[bits[t] + 1];
    }
    for (std::size_t b = 1; b < starts.size(); ++b) starts[b] += starts[b - 1];
    ordered.resize(observations.size());
    std::array<std::size_t, 10> at = starts;
    for (std::size_t t = 0; t < observations.size(); ++t) ordered[at[bits[t]]++] = observations[t];

    // Chunks follow the order; one that starts in fewer bits than it ends takes the size of its last.
    const auto planes_at = [&](std::size_t k) {
        return static_cast<int>(std::upper_bound(starts.begin() + 1, starts.end(), k) - starts.begin()) - 1;
    };
    std::vector<BitChunk> chunks;
    const std::size_t total = ordered.size();
    for (std::size_t s = 0; s < total;) {
        std::size_t e = std::min(total, s + chunk_draws(planes_at(s)));
        e = std::min(e, s + chunk_draws(planes_at(e - 1)));
        chunks.push_back(BitChunk{s, e - s, planes_at(e - 1)});
        s = e;
    }
    return chunks;
}

#ifndef VELMORA_BIT_PLANES

bool bit_planes_available() { return false; }
template <class Cell>
void count_band_bits(const CountBand&, const std::vector<BitChunk>&, Cell*) {}

#else

bool bit_planes_available() { return has_bit_plane_instructions(); }

namespace {

/// Bit planes of one chunk: individual i's blocks start at bytes + i * stride, each block `Planes`
/// vectors, bit t of plane p's vector being bit p of the cluster number in observation t of the block.
struct Planes {
    const std::uint8_t* bytes;
    std::size_t stride;  // bytes between individuals: at most indiv_budget
    std::size_t count;   // observations of the chunk
    std::size_t blocks;  // 512 observations each, the last padded with observations where all share 0
};

using Lanes = std::uint64_t __attribute__((vector_size(64)));

/// The sum of the eight 64-bit lanes. (Shuffles of vector types: the intrinsics would leave a lane
/// undefined, which the compiler warns about.)
[[gnu::always_inline]] inline VELMORA_PLANES_TARGET std::uint64_t lane_sum(__m512i v) {
    const auto w = reinterpret_cast<Lanes>(v);
    const Lanes a = w + __builtin_shufflevector(w, w, 4, 5, 6, 7, 0, 1, 2, 3);
    const Lanes b = a + __builtin_shufflevector(a, a, 2, 3, 0, 1, 6, 7, 4, 5);
    return b[0] + b[1];
}

/// The lane sums of eight vectors at once, lane k holding the sum of a[k]'s lanes.
[[gnu::always_inline]] inline VELMORA_PLANES_TARGET Lanes lane_sums(const __m512i* a) {
    Lanes b[4];
    for (int m = 0; m < 4; ++m) {
        const auto x = reinterpret_cast<Lanes>(a[2 * m]);
        const auto y = reinterpret_cast<Lanes>(a[2 * m + 1]);
        b[m] = __builtin_shufflevector(x, y, 0, 8, 2, 10, 4, 12, 6, 14) +
               __builtin_shufflevector(x, y, 1, 9, 3, 11, 5, 13, 7, 15);
    }
    Lanes c[2];
    for (int q = 0; q < 2; ++q)
        c[q] = __builtin_shufflevector(b[2 * q], b[2 * q + 1], 0, 1, 8, 9, 4, 5, 12, 13) +
               __builtin_shufflevector(b[2 * q], b[2 * q + 1], 2, 3, 10, 11, 6, 7, 14, 15);
    return __builtin_shufflevector(c[0], c[1], 0, 1, 2, 3, 8, 9, 10, 11) +
           __builtin_shufflevector(c[0], c[1], 4, 5, 6, 7, 12, 13, 14, 15);
}

/// Adds to the cells of rows i..i+R-1 and columns j..j+C-1 the observations in which they agree.
template <int P, int R, int C, class Cell>
[[gnu::always_inline]] inline VELMORA_PLANES_TARGET void count_tile(const Planes& c, std::size_t i, std::size_t j,
                                                                    Cell* tri) {
    __m512i acc[R][C];
#pragma GCC unroll 4
    for (int r = 0; r < R; ++r)
#pragma GCC unroll 4
        for (int k = 0; k < C; ++k) acc[r][k] = _mm512_setzero_si512();
    const std::uint8_t* x = c.bytes + i * c.stride;
    const std::uint8_t* y = c.bytes + j * c.stride;
    for (std::size_t b = 0; b < c.blocks; ++b) {
        const std::size_t at = b * P * vector_bytes;
        __m512i diff[R][C];
        __m512i xv[R], yv[C];
#pragma GCC unroll 8
        for (int r = 0; r < R; ++r) xv[r] = _mm512_load_si512(x + r * c.stride + at);
#pragma GCC unroll 8
        for (int k = 0; k < C; ++k) yv[k] = _mm512_load_si512(y + k * c.stride + at);
#pragma GCC unroll 8
        for (int r = 0; r < R; ++r)
#pragma GCC unroll 4
            for (int k = 0; k < C; ++k) diff[r][k] = _mm512_xor_si512(xv[r], yv[k]);
#pragma GCC unroll 8
        for (int p = 1; p < P; ++p) {
            const std::size_t off = at + static_cast<std::size_t>(p) * vector_bytes;
#pragma GCC unroll 8
            for (int r = 0; r < R; ++r) xv[r] = _mm512_load_si512(x + r * c.stride + off);
#pragma GCC unroll 8
            for (int k = 0; k < C; ++k) yv[k] = _mm512_load_si512(y + k * c.stride + off);
// diff |= x ^ y in one instruction.
#pragma GCC unroll 8
            for (int r = 0; r < R; ++r)
#pragma GCC unroll 4
                for (int k = 0; k < C; ++k) diff[r][k] = _mm512_ternarylogic_epi64(diff[r][k], xv[r], yv[k], 0xF6);
        }
#pragma GCC unroll 8
        for (int r = 0; r < R; ++r)
#pragma GCC unroll 4
            for (int k = 0; k < C; ++k) acc[r][k] = _mm512_add_epi64(acc[r][k], _mm512_popcnt_epi64(diff[r][k]));
    }
    if constexpr (R * C == 8) {
        const Lanes sums = lane_sums(&acc[0][0]);
        for (int r = 0; r < R; ++r) {
            const std::size_t ir = i + static_cast<std::size_t>(r);
            Cell* cells = tri + ir * (ir - 1) / 2 + j;
            for (int k = 0; k < C; ++k)
                cells[k] = static_cast<Cell>(cells[k] + (c.count - static_cast<std::size_t>(sums[r * C + k])));
        }
    } else {
        for (int r = 0; r < R; ++r) {
            const std::size_t ir = i + static_cast<std::size_t>(r);
            Cell* cells = tri + ir * (ir - 1) / 2 + j;
            for (int k = 0; k < C; ++k)
                cells[k] = static_cast<Cell>(cells[k] + (c.count - static_cast<std::size_t>(lane_sum(acc[r][k]))));
        }
    }
}

/// Counts the chunk into the rows [row_from, row_to): blocks of rows stay in the second-level cache while
/// the columns pass by in groups small enough for the first-level cache.
template <int P, class Cell>
VELMORA_PLANES_TARGET void count_chunk(const Planes& c, std::size_t row_from, std::size_t row_to, Cell* tri) {
    constexpr int R = 4;
    constexpr int C = 2;
    const std::size_t indiv_bytes = c.blocks * P * vector_bytes;
    const std::size_t row_group = std::max<std::size_t>(R, (256 << 10) / indiv_bytes);
    const std::size_t col_group = std::max<std::size_t>(C, (24 << 10) / indiv_bytes) & ~std::size_t{1};
    for (std::size_t r0 = row_from; r0 < row_to; r0 += row_group) {
        const std::size_t r1 = std::min(r0 + row_group, row_to);
        for (std::size_t c0 = 0; c0 + 1 < r1; c0 += col_group) {
            const std::size_t c1 = c0 + col_group;
            std::size_t i = std::max(r0, c0 + 1);
            // Rows i..i+R-1 share the columns below i; the few from i on are counted one by one.
            for (; i + R <= r1; i += R) {
                // The cells of later rows lie far apart: fetch those two blocks of rows ahead.
                for (std::size_t r = 2 * R; r < 3 * R && i + r < r1; ++r)
                    __builtin_prefetch(tri + (i + r) * (i + r - 1) / 2 + c0, 1);
                const std::size_t j_end = std::min(i, c1);
                std::size_t j = c0;
                for (; j + C <= j_end; j += C) count_tile<P, R, C>(c, i, j, tri);
                for (; j < j_end; ++j) count_tile<P, R, 1>(c, i, j, tri);
                for (std::size_t r = 1; r < R; ++r)
                    for (std::size_t jj = j_end; jj < std::min(i + r, c1); ++jj) count_tile<P, 1, 1>(c, i + r, jj, tri);
            }
            for (; i < r1; ++i) {
                const std::size_t j_end = std::min(i, c1);
                std::size_t j = c0;
                for (; j + C <= j_end; j += C) count_tile<P, 1, C>(c, i, j, tri);
                for (; j < j_end; ++j) count_tile<P, 1, 1>(c, i, j, tri);
            }
        }
    }
}

template <class Cell>
using ChunkCounter = void (*)(const Planes&, std::size_t, std::size_t, Cell*);

template <class Cell>
ChunkCounter<Cell> chunk_counter(int planes) {
    static constexpr ChunkCounter<Cell> counters[] = {count_chunk<1, Cell>, count_chunk<2, Cell>, count_chunk<3, Cell>,
                                                      count_chunk<4, Cell>, count_chunk<5, Cell>, count_chunk<6, Cell>,
                                                      count_chunk<7, Cell>, count_chunk<8, Cell>};
    return counters[std::clamp(planes, 1, 8) - 1];
}

/// Writes the planes of the chunk's block b for individuals [0, row_to), turning the observations around a
/// group of individuals at a time through `turned` (turn_group x 512 bytes).
VELMORA_PLANES_TARGET void make_planes(const MC_Sample& store, const std::vector<std::int32_t>& obs,
                                       const BitChunk& chunk, std::size_t b, std::size_t row_to,
                                       const std::uint8_t* zero_row, std::uint8_t* turned, std::uint8_t* planes,
                                       std::size_t stride) {
    const std::uint8_t* data = store.data();
    const std::size_t row_stride = store.stride();
    const auto P = static_cast<std::size_t>(chunk.planes);
    for (std::size_t g0 = 0; g0 < row_to; g0 += turn_group) {
        const std::size_t g1 = std::min(row_to, g0 + turn_group);
        for (std::size_t t0 = 0; t0 < block_draws; t0 += 16) {
            const std::uint8_t* rows[16];
            for (std::size_t t = 0; t < 16; ++t) {
                const std::size_t d = b * block_draws + t0 + t;
                rows[t] =
                    d < chunk.count ? data + static_cast<std::size_t>(obs[chunk.first + d]) * row_stride + 1 : zero_row;
            }
            for (std::size_t i = g0; i < g1; ++i) {
                std::uint8_t group[16];
                for (std::size_t t = 0; t < 16; ++t) group[t] = rows[t][i];
                std::memcpy(turned + (i - g0) * block_draws + t0, group, 16);
            }
        }
        for (std::size_t i = g0; i < g1; ++i) {
            const std::uint8_t* src = turned + (i - g0) * block_draws;
            auto* dst = reinterpret_cast<std::uint64_t*>(planes + i * stride + b * P * vector_bytes);
            for (std::size_t s = 0; s < block_draws / vector_bytes; ++s) {
                const __m512i v = _mm512_loadu_si512(src + s * vector_bytes);
                for (std::size_t p = 0; p < P; ++p)
                    dst[p * 8 + s] = _mm512_test_epi8_mask(v, _mm512_set1_epi8(static_cast<char>(1u << p)));
            }
        }
    }
}

}  // namespace

template <class Cell>
void count_band_bits(const CountBand& band, const std::vector<BitChunk>& chunks, Cell* tri) {
    const std::size_t row_to = band.row_to;
    if (row_to <= band.row_from || row_to < 2) return;
    // Each individual's planes take the room of the largest chunk: few draws take little.
    std::size_t stride = vector_bytes;
    for (const BitChunk& chunk : chunks)
        stride = std::max(stride, (chunk.count + block_draws - 1) / block_draws *
                                      static_cast<std::size_t>(chunk.planes) * vector_bytes);
    std::unique_ptr<Line[]> planes;
    std::unique_ptr<Line[]> turned;
    try {
        planes = std::make_unique_for_overwrite<Line[]>(row_to * stride / sizeof(Line));
        turned = std::make_unique_for_overwrite<Line[]>(turn_group * block_draws / sizeof(Line));
    } catch (const std::bad_alloc&) {
        raise_out_of_memory("a working copy of the draws for counting pairs", static_cast<double>(row_to * stride));
    }
    auto* plane_bytes = reinterpret_cast<std::uint8_t*>(planes.get());
    auto* turned_bytes = reinterpret_cast<std::uint8_t*>(turned.get());
    const std::vector<std::uint8_t> zero_row(band.store->stride(), 0);
    for (const BitChunk& chunk : chunks) {
        const Planes c{plane_bytes, stride, chunk.count, (chunk.count + block_draws - 1) / block_draws};
        for (std::size_t b = 0; b < c.blocks; ++b)
            make_planes(*band.store, *band.observations, chunk, b, row_to, zero_row.data(), turned_bytes, plane_bytes,
                        stride);
        // In slices of rows, so that progress moves and a cancel is heard while a large chunk is counted.
        const ChunkCounter<Cell> count = chunk_counter<Cell>(chunk.planes);
        for (std::size_t r = band.row_from; r < row_to;) {
            const std::size_t next = slice_end(r, row_to);
            count(c, r, next, tri);
            r = next;
            if (band.shared != nullptr) {
                band.shared->chunks_done.fetch_add(1, std::memory_order_relaxed);
                if (band.shared->stop.load(std::memory_order_relaxed)) return;
            }
        }
    }
}

#endif

template void count_band_bits<std::uint8_t>(const CountBand&, const std::vector<BitChunk>&, std::uint8_t*);
template void count_band_bits<std::uint16_t>(const CountBand&, const std::vector<BitChunk>&, std::uint16_t*);
template void count_band_bits<std::uint32_t>(const CountBand&, const std::vector<BitChunk>&, std::uint32_t*);
