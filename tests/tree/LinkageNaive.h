#pragma once

// Average linkage the textbook way, to check tree/AverageLinkage against: every step looks at every pair of
// clusters, sums their counts afresh from the pairs of their members and joins the best pair by the rule of
// average_linkage, ties included.

#include "coassign/PairCounts.h"
#include "tree/AverageLinkage.h"

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

namespace linkagetest {

__extension__ using u128 = unsigned __int128;

struct Naive {
    std::vector<Merge> merges;
    std::vector<double> levels;
};

/// Groups 1..m of sizes[g - 1] individuals; sum(g, h) the counts summed between groups g and h (g != h);
/// `stop_below` ends the joining once the best co-assignment, rounded to a float, is below it.
template <class Sum>
Naive naive_groups(const std::vector<std::uint64_t>& sizes, Sum sum, std::uint64_t total, double stop_below = -1.0) {
    const auto m = static_cast<std::int32_t>(sizes.size());
    struct Cluster {
        std::vector<std::int32_t> groups;  // ascending
        std::uint64_t size = 0;
        std::int32_t node = 0;
    };
    std::vector<Cluster> active;
    for (std::int32_t g = 1; g <= m; ++g) active.push_back({{g}, sizes[static_cast<std::size_t>(g - 1)], g});
    Naive out;
    for (std::int32_t step = 1; step < m; ++step) {
        std::size_t bi = 0, bj = 0;
        std::uint64_t bs = 0, bp = 0;
        bool found = false;
        for (std::size_t i = 0; i < active.size(); ++i)
            for (std::size_t j = 0; j < active.size(); ++j) {
                if (i == j) continue;
                const Cluster& a = active[i];
                const Cluster& b = active[j];
                if (a.groups.front() > b.groups.front()) continue;  // each pair once, a holding the lower minimum
                std::uint64_t s = 0;
                for (const std::int32_t x : a.groups)
                    for (const std::int32_t y : b.groups) s += sum(x, y);
                const std::uint64_t p = a.size * b.size;
                bool better = !found;
                if (found) {
                    const u128 l = static_cast<u128>(s) * bp;
                    const u128 r = static_cast<u128>(bs) * p;
                    const auto key = std::make_pair(a.groups.front(), b.groups.front());
                    const auto best_key = std::make_pair(active[bi].groups.front(), active[bj].groups.front());
                    better = l > r || (l == r && key < best_key);
                }
                if (better) {
                    found = true;
                    bi = i;
                    bj = j;
                    bs = s;
                    bp = p;
                }
            }
        const float level = rounded_ratio_float(bs, bp * total);
        if (static_cast<double>(level) < stop_below) break;
        out.merges.push_back(Merge{active[bi].node, active[bj].node, level});
        out.levels.push_back(rounded_ratio(bs, bp * total));
        Cluster joined;
        joined.groups = active[bi].groups;
        joined.groups.insert(joined.groups.end(), active[bj].groups.begin(), active[bj].groups.end());
        std::sort(joined.groups.begin(), joined.groups.end());
        joined.size = active[bi].size + active[bj].size;
        joined.node = m + step;
        active.erase(active.begin() + static_cast<std::ptrdiff_t>(std::max(bi, bj)));
        active.erase(active.begin() + static_cast<std::ptrdiff_t>(std::min(bi, bj)));
        active.push_back(joined);
    }
    return out;
}

/// The textbook linkage of individuals 1..n from pair counts by pair_index.
inline Naive naive_linkage(const std::vector<std::uint32_t>& cells, std::uint64_t total, std::int32_t n,
                           double stop_below = -1.0) {
    return naive_groups(
        std::vector<std::uint64_t>(static_cast<std::size_t>(n), 1),
        [&](std::int32_t a, std::int32_t b) -> std::uint64_t {
            return cells[a < b ? pair_index(a, b) : pair_index(b, a)];
        },
        total, stop_below);
}

/// Pair counts of n individuals drawn uniformly from lo..hi.
inline std::vector<std::uint32_t> random_cells(std::int32_t n, std::uint32_t lo, std::uint32_t hi, std::mt19937& gen) {
    std::vector<std::uint32_t> cells(static_cast<std::size_t>(n) * static_cast<std::size_t>(std::max(n - 1, 0)) / 2);
    std::uniform_int_distribution<std::uint32_t> pick(lo, hi);
    for (std::uint32_t& c : cells) c = pick(gen);
    return cells;
}

}  // namespace linkagetest
