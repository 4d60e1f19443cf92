#include "sample/SetQuery.h"

#include <algorithm>
#include <limits>

MC_Sample::SetCount MC_Sample::count_set_co_assi(const std::vector<std::int32_t>& members, std::int32_t k_from,
                                                 std::int32_t k_to, std::int32_t first_obs) const {
    SetCount c;
    const bool in_range =
        std::all_of(members.begin(), members.end(), [&](std::int32_t m) { return m >= 1 && m <= n_indivs_; });
    const std::size_t stride = this->stride();
    for (const Range range : retained_ranges(first_obs))
        for (std::int32_t j = range.first; j < range.last; ++j) {
            const std::uint8_t* row = samples_.data() + static_cast<std::size_t>(j) * stride;
            const int k = row[0];
            if (k < k_from || k > k_to) continue;
            ++c.counted;
            if (!in_range) continue;
            bool all = true;
            for (const std::int32_t m : members)
                if (row[static_cast<std::size_t>(m)] != row[static_cast<std::size_t>(members.front())]) {
                    all = false;
                    break;
                }
            if (all) ++c.hits;
        }
    return c;
}

double MC_Sample::calc_set_co_assi_prob(const std::vector<std::int32_t>& members,
                                        const std::vector<std::int32_t>& k_list, std::int32_t first_obs) const {
    if (k_list.empty()) return std::numeric_limits<double>::quiet_NaN();
    const SetCount c = count_set_co_assi(members, k_list.front(), k_list.back(), first_obs);
    if (c.counted == 0) return std::numeric_limits<double>::quiet_NaN();
    return static_cast<double>(c.hits) / static_cast<double>(c.counted);
}

std::vector<MC_Sample::SetCount> count_co_assi_with_all(const MC_Sample& store, std::int32_t n, std::int32_t k_from,
                                                        std::int32_t k_to, std::int32_t first_obs) {
    const std::int32_t n_indivs = store.n_indivs();
    if (n < 1 || n > n_indivs) return {};
    const std::size_t stride = store.stride();
    // 32-bit tallies let the compiler compare many cluster bytes at once; a store holds fewer than 2^31 rows.
    std::vector<std::uint32_t> hits(stride, 0);
    std::int64_t counted = 0;
    for (const MC_Sample::Range range : store.retained_ranges(first_obs))
        for (std::int32_t j = range.first; j < range.last; ++j) {
            const std::uint8_t* row = store.data() + static_cast<std::size_t>(j) * stride;
            if (row[0] < k_from || row[0] > k_to) continue;
            ++counted;
            const std::uint8_t mine = row[n];
            for (std::size_t m = 1; m < stride; ++m) hits[m] += row[m] == mine ? 1U : 0U;
        }
    std::vector<MC_Sample::SetCount> counts(static_cast<std::size_t>(n_indivs));
    for (std::size_t m = 1; m < stride; ++m) counts[m - 1] = {static_cast<std::int64_t>(hits[m]), counted};
    return counts;
}
