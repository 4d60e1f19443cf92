#include "coassign/PairCountKernels.h"
#include "sample/Exceptions.h"

#include <algorithm>
#include <cstring>

namespace {
// The counts compare the cluster bytes of two individuals over a chunk of observations at a time. Each
// chunk is first turned around so that the bytes of one individual lie side by side; a pair then costs
// one comparison and one subtraction per vector of 16 or 32 observations, kept in byte-sized lanes that
// are summed once per chunk. The compiler maps the vector types onto the SIMD of the target: SSE2 on
// every x86-64, AVX2 where the processor has it.
using Bytes16 = std::uint8_t __attribute__((vector_size(16)));
using Words16 = std::uint64_t __attribute__((vector_size(16)));
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define VELMORA_AVX2_COUNTS 1
using Bytes32 = std::uint8_t __attribute__((vector_size(32)));
using Words32 = std::uint64_t __attribute__((vector_size(32)));
using Bytes64 = std::uint8_t __attribute__((vector_size(64)));
using Words64 = std::uint64_t __attribute__((vector_size(64)));
#endif

/// Rows of a chunk are whole 64-byte lines. At most 63 lines (4032 observations) a chunk, so that a byte
/// lane of 16-byte vectors counts at most 252.
struct alignas(64) Line {
    std::uint8_t bytes[64];
};
constexpr std::size_t line_bytes = sizeof(Line);
constexpr std::size_t max_lines = 63;

/// One chunk, turned around: individual i's bytes start at bytes + i * row_bytes; `used` of them (a
/// multiple of the vector width) are compared, the last `pad` of those being zeros (equal in every pair).
struct Chunk {
    const std::uint8_t* bytes;
    std::size_t row_bytes;
    std::size_t used;
    std::uint32_t pad;
    std::size_t row_from;
    std::size_t row_to;
    std::size_t row_group;
    std::size_t col_group;
};

template <class Bytes, class Words>
[[gnu::always_inline]] inline std::uint32_t lane_sum(const Bytes& acc) {
    const auto w = reinterpret_cast<Words>(acc);
    const std::uint64_t low_bytes = 0x00FF00FF00FF00FFull;
    const Words pairs = (w & low_bytes) + ((w >> 8) & low_bytes);  // four 16-bit sums per word
    const Words sums = (pairs * 0x0001000100010001ull) >> 48;
    std::uint64_t total = 0;
    for (std::size_t i = 0; i < sizeof(Words) / 8; ++i) total += sums[i];
    return static_cast<std::uint32_t>(total);
}

/// Adds to cells[0..3] the equal bytes of row x against the four rows from y on, less the padding.
template <class Bytes, class Words, class Cell>
[[gnu::always_inline]] inline void count_four(const Chunk& c, const std::uint8_t* x, const std::uint8_t* y,
                                              Cell* cells) {
    Bytes a0{}, a1{}, a2{}, a3{};
    const std::size_t r = c.row_bytes;
    for (std::size_t o = 0; o < c.used; o += sizeof(Bytes)) {
        Bytes xv, y0, y1, y2, y3;
        std::memcpy(&xv, x + o, sizeof xv);
        std::memcpy(&y0, y + o, sizeof y0);
        std::memcpy(&y1, y + r + o, sizeof y1);
        std::memcpy(&y2, y + 2 * r + o, sizeof y2);
        std::memcpy(&y3, y + 3 * r + o, sizeof y3);
        // A comparison gives 0xFF (that is -1) in every equal lane.
        a0 -= reinterpret_cast<Bytes>(xv == y0);
        a1 -= reinterpret_cast<Bytes>(xv == y1);
        a2 -= reinterpret_cast<Bytes>(xv == y2);
        a3 -= reinterpret_cast<Bytes>(xv == y3);
    }
    cells[0] = static_cast<Cell>(cells[0] + (lane_sum<Bytes, Words>(a0) - c.pad));
    cells[1] = static_cast<Cell>(cells[1] + (lane_sum<Bytes, Words>(a1) - c.pad));
    cells[2] = static_cast<Cell>(cells[2] + (lane_sum<Bytes, Words>(a2) - c.pad));
    cells[3] = static_cast<Cell>(cells[3] + (lane_sum<Bytes, Words>(a3) - c.pad));
}

template <class Bytes, class Words, class Cell>
[[gnu::always_inline]] inline void count_one(const Chunk& c, const std::uint8_t* x, const std::uint8_t* y, Cell* cell) {
    Bytes a{};
    for (std::size_t o = 0; o < c.used; o += sizeof(Bytes)) {
        Bytes xv, yv;
        std::memcpy(&xv, x + o, sizeof xv);
        std::memcpy(&yv, y + o, sizeof yv);
        a -= reinterpret_cast<Bytes>(xv == yv);
    }
    *cell = static_cast<Cell>(*cell + (lane_sum<Bytes, Words>(a) - c.pad));
}

/// Adds to cells[r][0..3] the equal bytes of the rows x + r * row_bytes (r < Rows) against the four rows
/// from y on, less the padding: each vector loaded serves several comparisons.
template <class Bytes, class Words, int Rows, class Cell>
[[gnu::always_inline]] inline void count_block(const Chunk& c, const std::uint8_t* x, const std::uint8_t* y,
                                               Cell* const* cells) {
    Bytes acc[Rows][4] = {};
    const std::size_t r = c.row_bytes;
    for (std::size_t o = 0; o < c.used; o += sizeof(Bytes)) {
        Bytes yv[4];
#pragma GCC unroll 4
        for (int k = 0; k < 4; ++k) std::memcpy(&yv[k], y + k * r + o, sizeof(Bytes));
#pragma GCC unroll 4
        for (int row = 0; row < Rows; ++row) {
            Bytes xv;
            std::memcpy(&xv, x + row * r + o, sizeof xv);
#pragma GCC unroll 4
            for (int k = 0; k < 4; ++k) acc[row][k] -= reinterpret_cast<Bytes>(xv == yv[k]);
        }
    }
#pragma GCC unroll 4
    for (int row = 0; row < Rows; ++row)
#pragma GCC unroll 4
        for (int k = 0; k < 4; ++k)
            cells[row][k] = static_cast<Cell>(cells[row][k] + (lane_sum<Bytes, Words>(acc[row][k]) - c.pad));
}

/// Adds the chunk's counts to the rows (second individual, from 0) row_from..row_to-1 of the triangle,
/// taking Rows of them at a time where it can.
template <class Bytes, class Words, int Rows, class Cell>
[[gnu::always_inline]] inline void count_chunk_with(const Chunk& c, Cell* tri) {
    // A block of rows stays in the second-level cache while the columns pass by in groups small enough
    // for the first-level cache.
    for (std::size_t row0 = c.row_from; row0 < c.row_to; row0 += c.row_group) {
        const std::size_t row_end = std::min(row0 + c.row_group, c.row_to);
        for (std::size_t col0 = 0; col0 + 1 < row_end; col0 += c.col_group) {
            const std::size_t col_end = col0 + c.col_group;
            std::size_t i = std::max(row0, col0 + 1);
            // Rows i..i+Rows-1 share the columns below i; the few from i on are counted one by one.
            for (; i + Rows <= row_end; i += Rows) {
                Cell* cells[Rows];
                for (int row = 0; row < Rows; ++row) {
                    const std::size_t ir = i + static_cast<std::size_t>(row);
                    cells[row] = tri + ir * (ir - 1) / 2;
                }
                const std::uint8_t* x = c.bytes + i * c.row_bytes;
                const std::size_t j_end = std::min(i, col_end);
                std::size_t j = col0;
                for (; j + 4 <= j_end; j += 4) {
                    Cell* at[Rows];
                    for (int row = 0; row < Rows; ++row) at[row] = cells[row] + j;
                    count_block<Bytes, Words, Rows, Cell>(c, x, c.bytes + j * c.row_bytes, at);
                }
                for (int row = 0; row < Rows; ++row) {
                    const std::size_t ir = i + static_cast<std::size_t>(row);
                    const std::uint8_t* xr = c.bytes + ir * c.row_bytes;
                    for (std::size_t jj = j; jj < std::min(ir, col_end); ++jj)
                        count_one<Bytes, Words, Cell>(c, xr, c.bytes + jj * c.row_bytes, cells[row] + jj);
                }
            }
            for (; i < row_end; ++i) {
                const std::uint8_t* x = c.bytes + i * c.row_bytes;
                Cell* cells = tri + i * (i - 1) / 2;
                const std::size_t j_end = std::min(i, col_end);
                std::size_t j = col0;
                for (; j + 4 <= j_end; j += 4)
                    count_four<Bytes, Words, Cell>(c, x, c.bytes + j * c.row_bytes, cells + j);
                for (; j < j_end; ++j) count_one<Bytes, Words, Cell>(c, x, c.bytes + j * c.row_bytes, cells + j);
            }
        }
    }
}

template <class Cell>
void count_chunk_16(const Chunk& c, Cell* tri) {
    count_chunk_with<Bytes16, Words16, 1>(c, tri);
}

#ifdef VELMORA_AVX2_COUNTS
template <class Cell>
__attribute__((target("avx2"))) void count_chunk_32(const Chunk& c, Cell* tri) {
    count_chunk_with<Bytes32, Words32, 1>(c, tri);
}
// 64-byte vectors: a byte lane sees one byte per 64-byte line, at most 63 a chunk. Four rows at a time
// keep the loads from limiting the compares (measured about 10% faster than one; with 32-byte vectors,
// whose 16 registers cannot hold the accumulators of more than two rows, blocking did not pay).
template <class Cell>
__attribute__((target("avx512f,avx512bw"))) void count_chunk_64(const Chunk& c, Cell* tri) {
    count_chunk_with<Bytes64, Words64, 4>(c, tri);
}
#endif

template <class Cell>
using ChunkCounter = void (*)(const Chunk&, Cell*);

/// The counter for the widest vectors the processor has (or 16 bytes), and their width in bytes.
template <class Cell>
ChunkCounter<Cell> chunk_counter(bool widest_vectors, std::size_t& width) {
#ifdef VELMORA_AVX2_COUNTS
    if (widest_vectors && __builtin_cpu_supports("avx512bw")) {
        width = 64;
        return count_chunk_64<Cell>;
    }
    if (widest_vectors && __builtin_cpu_supports("avx2")) {
        width = 32;
        return count_chunk_32<Cell>;
    }
#else
    (void)widest_vectors;
#endif
    width = 16;
    return count_chunk_16<Cell>;
}

}  // namespace

std::size_t byte_chunk_size(std::size_t row_to, std::size_t chunk_bytes) {
    std::size_t lines =
        std::clamp<std::size_t>(chunk_bytes / (std::max<std::size_t>(row_to, 1) * line_bytes), 1, max_lines);
    // An odd number of lines keeps the rows of neighbouring individuals off the same cache sets.
    if (lines % 2 == 0) --lines;
    return lines * line_bytes;
}

template <class Cell>
void count_band_bytes(const CountBand& band, std::size_t chunk_bytes, bool widest_vectors, Cell* tri) {
    const std::size_t row_from = band.row_from;
    const std::size_t row_to = band.row_to;
    if (row_to <= row_from || row_to < 2) return;
    const std::vector<std::int32_t>& observations = *band.observations;
    std::size_t width = 16;
    const ChunkCounter<Cell> count_chunk = chunk_counter<Cell>(widest_vectors, width);
    // Long chunks mean few passes over the triangle; `chunk_bytes` bounds the working copy.
    const std::size_t row_bytes = byte_chunk_size(row_to, chunk_bytes);
    const std::size_t lines = row_bytes / line_bytes;
    std::vector<Line> turned;
    try {
        turned.resize(row_to * lines);
    } catch (const std::bad_alloc&) {
        raise_out_of_memory("a working copy of the draws for counting pairs",
                            static_cast<double>(row_to * lines) * sizeof(Line));
    }
    auto* bytes = reinterpret_cast<std::uint8_t*>(turned.data());
    const std::uint8_t* data = band.store->data();
    const std::size_t stride = band.store->stride();
    Chunk c{bytes, row_bytes, 0, 0, row_from, row_to, 0, 0};
    c.row_group = std::max<std::size_t>(4, (256 << 10) / row_bytes);
    c.col_group = std::max<std::size_t>(4, (16 << 10) / row_bytes) & ~std::size_t{3};

    for (std::size_t first = 0; first < observations.size(); first += row_bytes) {
        const std::size_t len = std::min(row_bytes, observations.size() - first);
        c.used = (len + width - 1) / width * width;
        c.pad = static_cast<std::uint32_t>(c.used - len);
        if (c.pad != 0)
            for (std::size_t i = 0; i < row_to; ++i) std::fill_n(bytes + i * row_bytes + len, c.pad, std::uint8_t{0});
        // Turned around 16 observations at a time, so that every individual gets 16 bytes in one go.
        for (std::size_t t0 = 0; t0 < len; t0 += 16) {
            const std::size_t m = std::min<std::size_t>(16, len - t0);
            const std::uint8_t* rows[16];
            for (std::size_t t = 0; t < 16; ++t)
                rows[t] = data + static_cast<std::size_t>(observations[first + t0 + std::min(t, m - 1)]) * stride + 1;
            for (std::size_t i = 0; i < row_to; ++i) {
                std::uint8_t group[16];
                for (std::size_t t = 0; t < 16; ++t) group[t] = rows[t][i];
                std::memcpy(bytes + i * row_bytes + t0, group, m);
            }
        }
        count_chunk(c, tri);
        if (band.shared != nullptr) {
            band.shared->chunks_done.fetch_add(1, std::memory_order_relaxed);
            if (band.shared->stop.load(std::memory_order_relaxed)) return;
        }
    }
}

template void count_band_bytes<std::uint8_t>(const CountBand&, std::size_t, bool, std::uint8_t*);
template void count_band_bytes<std::uint16_t>(const CountBand&, std::size_t, bool, std::uint16_t*);
template void count_band_bytes<std::uint32_t>(const CountBand&, std::size_t, bool, std::uint32_t*);
