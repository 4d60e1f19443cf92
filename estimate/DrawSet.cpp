#include "estimate/DrawSet.h"

#include "estimate/Workers.h"
#include "sample/Exceptions.h"
#include "sample/RunChecks.h"

#include <algorithm>
#include <array>
#include <cstring>

DrawSet make_draw_set(const MC_Sample& store, const std::vector<std::int32_t>& observations, std::int32_t n_indivs,
                      int threads, const std::atomic<bool>* cancel) {
    DrawSet set;
    const auto n = static_cast<std::size_t>(std::max<std::int32_t>(n_indivs, 0));
    const std::size_t m = observations.size();
    set.n_indivs = static_cast<std::int32_t>(n);
    set.n_draws = static_cast<std::int32_t>(m);
    try {
        set.labels.resize(n * m);
    } catch (const std::bad_alloc&) {
        raise_out_of_memory(
            "the estimate's copy of " + std::to_string(m) + " draws of " + std::to_string(n) + " individuals",
            static_cast<double>(n * m) * sizeof(set.labels[0]));
    }
    set.label_base.assign(m + 1, 0);

    // Draws are renumbered a block at a time into rows, then each individual's bytes of the block are
    // copied out together, so that both the store and the set are walked in order. Blocks write apart.
    constexpr std::size_t block = 64;
    std::vector<std::vector<std::uint8_t>> rows(static_cast<std::size_t>(std::max(threads, 1)));
    run_tasks(static_cast<std::int64_t>((m + block - 1) / block), threads,
              [&](std::int64_t task, int worker) {
                  if (cancel && cancel->load(std::memory_order_relaxed)) return;
                  std::vector<std::uint8_t>& buffer = rows[static_cast<std::size_t>(worker)];
                  buffer.resize(block * n);
                  const std::size_t d0 = static_cast<std::size_t>(task) * block;
                  const std::size_t len = std::min(block, m - d0);
                  std::array<std::uint8_t, 256> renumber{};
                  for (std::size_t t = 0; t < len; ++t) {
                      const std::uint8_t* row =
                          store.data() + static_cast<std::size_t>(observations[d0 + t]) * store.stride() + 1;
                      std::uint8_t* out = buffer.data() + t * n;
                      renumber.fill(0xFF);
                      std::uint32_t used = 0;
                      for (std::size_t i = 0; i < n; ++i) {
                          std::uint8_t& r = renumber[row[i]];
                          if (r == 0xFF) r = static_cast<std::uint8_t>(used++);
                          out[i] = r;
                      }
                      set.label_base[d0 + t + 1] = used;
                  }
                  for (std::size_t i = 0; i < n; ++i) {
                      std::uint8_t* dst = set.labels.data() + i * m + d0;
                      for (std::size_t t = 0; t < len; ++t) dst[t] = buffer[t * n + i];
                  }
              },
              {});
    if (cancel && cancel->load(std::memory_order_relaxed)) return {};
    for (std::size_t d = 0; d < m; ++d) set.label_base[d + 1] += set.label_base[d];
    return set;
}

std::vector<std::int32_t> evenly_spaced(const std::vector<std::int32_t>& observations, std::int64_t count) {
    const auto size = static_cast<std::int64_t>(observations.size());
    if (count >= size) return observations;
    std::vector<std::int32_t> out;
    if (count <= 0) return out;
    out.reserve(static_cast<std::size_t>(count));
    for (std::int64_t j = 0; j < count; ++j)
        out.push_back(observations[static_cast<std::size_t>((2 * j + 1) * size / (2 * count))]);
    return out;
}
