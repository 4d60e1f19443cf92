#include "coassign/RunAgreement.h"

#include "coassign/PairCounts.h"

#include <algorithm>
#include <cmath>
#include <limits>

std::vector<double> psm_max_diff(const MC_Sample& store, std::int32_t burn_in, std::int32_t k_from, std::int32_t k_to,
                                 int threads, const Progress* progress) {
    const std::int32_t runs = store.n_runs();
    std::vector<double> out(static_cast<std::size_t>(runs), std::numeric_limits<double>::quiet_NaN());
    const std::vector<std::int32_t> all = store.retained_observations(burn_in, k_from, k_to);
    const std::int32_t n = store.n_indivs();
    if (all.empty()) return out;
    // The pooled counts first, then each run's against them: two triangles at most at any time.
    const std::vector<std::uint32_t> pooled =
        count_co_assigned_pairs(store, all, n, threads, std::size_t{8} << 20, true, progress);
    const double total = static_cast<double>(all.size());
    for (std::int32_t r = 0; r < runs; ++r) {
        const MC_Sample::Range range = store.run(r);
        std::vector<std::int32_t> mine;
        for (const std::int32_t j : all)
            if (j >= range.first && j < range.last) mine.push_back(j);
        if (mine.empty()) continue;
        if (n < 2) {
            out[static_cast<std::size_t>(r)] = 0.0;
            continue;
        }
        const std::vector<std::uint32_t> own =
            count_co_assigned_pairs(store, mine, n, threads, std::size_t{8} << 20, true, progress);
        const double m = static_cast<double>(mine.size());
        double worst = 0.0;
        for (std::size_t i = 0; i < own.size(); ++i)
            worst = std::max(worst, std::abs(static_cast<double>(own[i]) / m - static_cast<double>(pooled[i]) / total));
        out[static_cast<std::size_t>(r)] = worst;
    }
    return out;
}
