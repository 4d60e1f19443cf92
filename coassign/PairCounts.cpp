#include "coassign/PairCounts.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <thread>

namespace {

// The counts compare the cluster bytes of two individuals over a chunk of observations at a time. Each
// chunk is first turned around so that the bytes of one individual lie side by side; a pair then costs
// one comparison and one subtraction per 16 observations, kept in byte-sized lanes that are summed once
// per chunk. The compiler maps these vectors onto the SIMD of the target (SSE2 on any x86-64).
using Bytes = std::uint8_t __attribute__((vector_size(16)));
using Words = std::uint64_t __attribute__((vector_size(16)));
constexpr std::size_t lane_count = sizeof(Bytes);

/// Vectors per individual and chunk: a byte lane counts at most one per vector, so at most 255.
constexpr std::size_t max_vectors = 255;

struct alignas(16) Block {
    Bytes v;
};

/// Sum of the 16 byte lanes (each at most 255).
inline std::uint32_t lane_sum(Bytes acc) {
    const Words w = reinterpret_cast<Words>(acc);
    const std::uint64_t low_bytes = 0x00FF00FF00FF00FFull;
    const Words pairs = (w & low_bytes) + ((w >> 8) & low_bytes);  // four 16-bit sums per word
    const Words total = (pairs * 0x0001000100010001ull) >> 48;
    return static_cast<std::uint32_t>(total[0] + total[1]);
}

/// Adds to cells[0..3] the number of equal bytes of x against y0..y3 over `vectors` vectors, less `pad`.
inline void count_four(const Block* x, const Block* y0, const Block* y1, const Block* y2, const Block* y3,
                       std::size_t vectors, std::uint32_t pad, std::uint32_t* cells) {
    Bytes a0{}, a1{}, a2{}, a3{};
    for (std::size_t v = 0; v < vectors; ++v) {
        const Bytes xv = x[v].v;
        // A comparison gives 0xFF (that is -1) in every equal lane.
        a0 -= reinterpret_cast<Bytes>(xv == y0[v].v);
        a1 -= reinterpret_cast<Bytes>(xv == y1[v].v);
        a2 -= reinterpret_cast<Bytes>(xv == y2[v].v);
        a3 -= reinterpret_cast<Bytes>(xv == y3[v].v);
    }
    cells[0] += lane_sum(a0) - pad;
    cells[1] += lane_sum(a1) - pad;
    cells[2] += lane_sum(a2) - pad;
    cells[3] += lane_sum(a3) - pad;
}

inline void count_one(const Block* x, const Block* y, std::size_t vectors, std::uint32_t pad, std::uint32_t* cell) {
    Bytes a{};
    for (std::size_t v = 0; v < vectors; ++v) a -= reinterpret_cast<Bytes>(x[v].v == y[v].v);
    *cell += lane_sum(a) - pad;
}

/// Counts the pairs of the rows (second individual, from 0) in [row_from, row_to) over all observations.
void count_rows(const MC_Sample& store, const std::vector<std::int32_t>& observations, std::size_t row_from,
                std::size_t row_to, std::size_t chunk_bytes, std::uint32_t* tri) {
    if (row_to <= row_from || row_to < 2) return;
    // The chunk of the individuals 0..row_to-1 should stay near the core: 8..255 vectors per individual.
    const std::size_t per_chunk = std::clamp<std::size_t>(chunk_bytes / (row_to * lane_count), 8, max_vectors);
    const std::size_t chunk_obs = per_chunk * lane_count;
    std::vector<Block> turned(row_to * per_chunk);
    auto* bytes = reinterpret_cast<std::uint8_t*>(turned.data());
    const std::uint8_t* data = store.data();
    const std::size_t stride = store.stride();
    // Columns are taken in groups small enough to stay in the first-level cache while rows stream past.
    const std::size_t col_group = std::max<std::size_t>(4, 16 * 1024 / (per_chunk * lane_count)) & ~std::size_t{3};

    for (std::size_t first = 0; first < observations.size(); first += chunk_obs) {
        const std::size_t len = std::min(chunk_obs, observations.size() - first);
        const std::size_t vectors = (len + lane_count - 1) / lane_count;
        const auto pad = static_cast<std::uint32_t>(vectors * lane_count - len);  // zero bytes, equal in every pair
        const std::size_t row_bytes = per_chunk * lane_count;
        if (pad != 0)
            for (std::size_t i = 0; i < row_to; ++i) std::fill_n(bytes + i * row_bytes + len, pad, std::uint8_t{0});
        for (std::size_t t = 0; t < len; ++t) {
            const std::uint8_t* row = data + static_cast<std::size_t>(observations[first + t]) * stride + 1;
            for (std::size_t i = 0; i < row_to; ++i) bytes[i * row_bytes + t] = row[i];
        }

        for (std::size_t col0 = 0; col0 < row_to - 1; col0 += col_group) {
            const std::size_t col_end = col0 + col_group;
            for (std::size_t i = std::max(row_from, col0 + 1); i < row_to; ++i) {
                const Block* x = turned.data() + i * per_chunk;
                std::uint32_t* cells = tri + i * (i - 1) / 2;
                const std::size_t j_end = std::min(i, col_end);
                std::size_t j = col0;
                for (; j + 4 <= j_end; j += 4) {
                    const Block* y = turned.data() + j * per_chunk;
                    count_four(x, y, y + per_chunk, y + 2 * per_chunk, y + 3 * per_chunk, vectors, pad, cells + j);
                }
                for (; j < j_end; ++j) count_one(x, turned.data() + j * per_chunk, vectors, pad, cells + j);
            }
        }
    }
}

}  // namespace

std::vector<std::uint32_t> count_co_assigned_pairs(const MC_Sample& store,
                                                   const std::vector<std::int32_t>& observations, std::int32_t n_indivs,
                                                   int threads, std::size_t chunk_bytes) {
    const auto n = static_cast<std::size_t>(std::max<std::int32_t>(n_indivs, 0));
    std::vector<std::uint32_t> tri(n < 2 ? 0 : n * (n - 1) / 2, 0);
    if (tri.empty() || observations.empty()) return tri;

    // Workers take bands of rows of equal area of the triangle; each writes only its own rows.
    const int workers = std::clamp(threads, 1, 64);
    if (workers == 1) {
        count_rows(store, observations, 1, n, chunk_bytes, tri.data());
        return tri;
    }
    std::vector<std::size_t> bounds{1};
    for (int w = 1; w < workers; ++w) {
        const double share = static_cast<double>(w) / workers;
        bounds.push_back(std::max(bounds.back(), static_cast<std::size_t>(static_cast<double>(n) * std::sqrt(share))));
    }
    bounds.push_back(n);
    std::vector<std::thread> pool;
    for (int w = 0; w < workers; ++w)
        pool.emplace_back(count_rows, std::cref(store), std::cref(observations), bounds[w], bounds[w + 1], chunk_bytes,
                          tri.data());
    for (auto& t : pool) t.join();
    return tri;
}
