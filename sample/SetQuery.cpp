#include "sample/Mc_sample.h"

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
