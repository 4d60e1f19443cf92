#include "coassign/PairCounts.h"

#include "coassign/PairCountKernels.h"
#include "sample/Exceptions.h"
#include "sample/HugePages.h"
#include "sample/RunChecks.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <exception>
#include <limits>
#include <thread>

namespace {

/// Cells of zero for the pairs of n individuals, in memory that takes few page faults to fill.
template <class Cell>
std::shared_ptr<std::vector<Cell>> zero_cells(std::size_t n) {
    const std::size_t pairs = n < 2 ? 0 : n * (n - 1) / 2;
    auto cells = std::make_shared<std::vector<Cell>>();
    try {
        cells->reserve(pairs);
        advise_huge_pages(cells->data(), pairs * sizeof(Cell));
        cells->resize(pairs);
    } catch (const std::bad_alloc&) {
        raise_out_of_memory("the pair counts of " + grouped_digits(static_cast<std::int64_t>(n)) + " individuals",
                            static_cast<double>(pairs) * sizeof(Cell));
    }
    return cells;
}

/// Counts into `tri` (every cell 0) with up to `threads` workers, each taking a band of rows of equal area
/// of the triangle and writing only its own rows.
template <class Cell>
void count_into(const MC_Sample& store, const std::vector<std::int32_t>& observations, std::size_t n, int threads,
                std::size_t chunk_bytes, bool widest_vectors, const Progress* progress, Cell* tri) {
    if (n < 2 || observations.empty()) return;
    const bool bits = widest_vectors && bit_planes_available();
    std::vector<std::int32_t> ordered;
    std::vector<BitChunk> chunks;
    if (bits) chunks = plan_bit_chunks(store, observations, n, ordered);
    const std::vector<std::int32_t>& taken = bits ? ordered : observations;

    const int workers = std::clamp(threads, 1, 64);
    std::vector<std::size_t> bounds{1};
    for (int w = 1; w < workers; ++w) {
        const double share = static_cast<double>(w) / workers;
        bounds.push_back(std::max(bounds.back(), static_cast<std::size_t>(static_cast<double>(n) * std::sqrt(share))));
    }
    bounds.push_back(n);
    // Progress in chunks: each worker passes over all observations once, in chunks sized by its band.
    std::int64_t total_chunks = 0;
    for (int w = 0; w < workers; ++w) {
        if (bounds[w + 1] <= bounds[w] || bounds[w + 1] < 2) continue;
        if (bits) {
            total_chunks += static_cast<std::int64_t>(chunks.size() * bit_band_slices(bounds[w], bounds[w + 1]));
        } else {
            const std::size_t per = byte_chunk_size(bounds[w + 1], chunk_bytes);
            total_chunks += static_cast<std::int64_t>((observations.size() + per - 1) / per);
        }
    }
    CountShared shared;
    const auto count_band = [&](std::size_t from, std::size_t to, CountShared* watch) {
        const CountBand band{&store, &taken, from, to, watch};
        if (bits)
            count_band_bits<Cell>(band, chunks, tri);
        else
            count_band_bytes<Cell>(band, chunk_bytes, widest_vectors, tri);
    };
    if (workers == 1 && progress == nullptr) {
        count_band(1, n, nullptr);
        return;
    }
    std::vector<std::thread> pool;
    pool.reserve(static_cast<std::size_t>(workers));
    shared.running = workers;
    // A failure in a worker (memory running out) stops the others and is raised here once they are done.
    std::vector<std::exception_ptr> failures(static_cast<std::size_t>(workers));
    for (int w = 0; w < workers; ++w)
        pool.emplace_back([&, w] {
            try {
                count_band(bounds[w], bounds[w + 1], &shared);
            } catch (...) {
                failures[static_cast<std::size_t>(w)] = std::current_exception();
                shared.stop.store(true);
            }
            shared.running.fetch_sub(1);
        });
    // The calling thread reports and watches for cancel while the workers count.
    std::int64_t reported = -1;
    for (;;) {
        const std::int64_t done = shared.chunks_done.load(std::memory_order_relaxed);
        if (shared.running.load() == 0) break;
        if (progress != nullptr) {
            // step() throws when cancel comes between the two looks: the workers must be stopped first.
            bool cancelled = progress->cancelled();
            if (!cancelled && done != reported) {
                try {
                    progress->step(done, total_chunks);
                } catch (const Cancelled&) {
                    cancelled = true;
                }
            }
            if (cancelled) {
                shared.stop.store(true);
                break;
            }
            reported = done;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    for (auto& t : pool) t.join();
    for (const std::exception_ptr& failure : failures)
        if (failure) std::rethrow_exception(failure);
    if (progress != nullptr) {
        progress->check();
        progress->step(total_chunks, total_chunks);
    }
}

template <class Cell>
SharedPairCells shared_counts(const MC_Sample& store, const std::vector<std::int32_t>& observations, std::size_t n,
                              int threads, std::size_t chunk_bytes, bool widest_vectors, const Progress* progress) {
    std::shared_ptr<std::vector<Cell>> cells = zero_cells<Cell>(n);
    count_into(store, observations, n, threads, chunk_bytes, widest_vectors, progress, cells->data());
    return SharedPairCells(std::shared_ptr<const std::vector<Cell>>(std::move(cells)));
}

}  // namespace

std::vector<std::uint32_t> count_co_assigned_pairs(const MC_Sample& store,
                                                   const std::vector<std::int32_t>& observations, std::int32_t n_indivs,
                                                   int threads, std::size_t chunk_bytes, bool widest_vectors,
                                                   const Progress* progress) {
    const auto n = static_cast<std::size_t>(std::max<std::int32_t>(n_indivs, 0));
    std::shared_ptr<std::vector<std::uint32_t>> cells = zero_cells<std::uint32_t>(n);
    count_into(store, observations, n, threads, chunk_bytes, widest_vectors, progress, cells->data());
    return std::move(*cells);
}

SharedPairCells count_pair_cells(const MC_Sample& store, const std::vector<std::int32_t>& observations,
                                 std::int32_t n_indivs, int threads, std::size_t chunk_bytes, bool widest_vectors,
                                 const Progress* progress) {
    const auto n = static_cast<std::size_t>(std::max<std::int32_t>(n_indivs, 0));
    const std::size_t entries = observations.size();
    if (entries <= std::numeric_limits<std::uint8_t>::max())
        return shared_counts<std::uint8_t>(store, observations, n, threads, chunk_bytes, widest_vectors, progress);
    if (entries <= std::numeric_limits<std::uint16_t>::max())
        return shared_counts<std::uint16_t>(store, observations, n, threads, chunk_bytes, widest_vectors, progress);
    return shared_counts<std::uint32_t>(store, observations, n, threads, chunk_bytes, widest_vectors, progress);
}
