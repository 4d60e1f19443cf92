#include "tree/MapOrder.h"

#include "coassign/PairCounts.h"
#include "sample/Exceptions.h"
#include "tree/LinkageSums.h"

#include <string>
#include <unordered_map>

namespace {

std::size_t pair_at(std::int32_t a, std::int32_t b) { return a < b ? pair_index(a, b) : pair_index(b, a); }

/// Appends `part`, a tree over some leaves, to `whole`: leaf l of part stands for the node leaf_id[l - 1]
/// of whole, part's internal nodes get the next ids of whole. Returns the id part's root has in whole.
std::int32_t append_tree(AverageTree& whole, const AverageTree& part, const std::vector<std::int32_t>& leaf_id) {
    const std::int32_t leaves = part.shape.n_indivs;
    const std::int32_t base = whole.shape.n_indivs + static_cast<std::int32_t>(whole.shape.merges.size()) - leaves;
    auto id = [&](std::int32_t x) { return x <= leaves ? leaf_id[static_cast<std::size_t>(x - 1)] : base + x; };
    for (std::size_t s = 0; s < part.shape.merges.size(); ++s) {
        const Merge& m = part.shape.merges[s];
        whole.shape.merges.push_back(Merge{id(m.child1), id(m.child2), m.level});
        whole.levels.push_back(part.levels[s]);
    }
    return id(part.shape.root());
}

template <class Cell>
EstimateOrder order_of(std::span<const Cell> cells, std::int64_t total, std::int32_t n_indivs,
                       const std::vector<std::int32_t>& cluster, const Progress* progress) {
    check_linkage_input("estimate_order", cells.size(), total, n_indivs);
    const std::int32_t n = n_indivs;
    if (cluster.size() != static_cast<std::size_t>(n))
        raise_exception(("estimate_order: " + std::to_string(cluster.size()) + " cluster numbers for " +
                         std::to_string(n) + " individuals")
                            .c_str());
    // Groups numbered 1..K by smallest member; members ascending.
    std::unordered_map<std::int32_t, std::int32_t> group_of_number;
    std::vector<std::int32_t> number_of_group;
    std::vector<std::int32_t> group_of(static_cast<std::size_t>(n) + 1, 0);
    std::vector<std::vector<std::int32_t>> members;
    for (std::int32_t i = 1; i <= n; ++i) {
        const std::int32_t c = cluster[static_cast<std::size_t>(i - 1)];
        if (c < 1)
            raise_exception(("estimate_order: individual " + std::to_string(i) + " has cluster " + std::to_string(c) +
                             ", not 1 or more")
                                .c_str());
        const auto [it, added] = group_of_number.try_emplace(c, static_cast<std::int32_t>(number_of_group.size()) + 1);
        if (added) {
            number_of_group.push_back(c);
            members.emplace_back();
        }
        group_of[static_cast<std::size_t>(i)] = it->second;
        members[static_cast<std::size_t>(it->second - 1)].push_back(i);
    }
    EstimateOrder out;
    out.tree.shape.n_indivs = n;
    if (n == 0) return out;
    const auto k = static_cast<std::int32_t>(number_of_group.size());
    const auto draws = static_cast<std::uint64_t>(std::max<std::int64_t>(total, 0));

    const std::int64_t all = 3 * std::int64_t{n} - 2;
    std::int64_t offset = 0;
    // The progress of one linkage, placed after the work done so far.
    auto part = [&]() -> Progress {
        if (!progress) return {};
        return {[progress, offset, all](std::int64_t done, std::int64_t) { progress->step(offset + done, all); },
                progress->cancel_flag()};
    };

    // Counts summed between groups, one individual's pairs with those before it at a time.
    LinkageSums between(static_cast<std::size_t>(k) * static_cast<std::size_t>(std::max(k - 1, 0)) / 2);
    {
        std::vector<std::uint64_t> row(static_cast<std::size_t>(k) + 1, 0);
        std::vector<std::int32_t> touched;
        for (std::int32_t b = 2; b <= n; ++b) {
            const Cell* col = cells.data() + pair_index(1, b);
            const std::int32_t gb = group_of[static_cast<std::size_t>(b)];
            for (std::int32_t a = 1; a < b; ++a) {
                const auto ga = static_cast<std::size_t>(group_of[static_cast<std::size_t>(a)]);
                if (row[ga] == 0 && col[a - 1] != 0) touched.push_back(static_cast<std::int32_t>(ga));
                row[ga] += col[a - 1];
            }
            for (const std::int32_t g : touched) {
                if (g != gb) between.add(pair_at(g, gb), row[static_cast<std::size_t>(g)]);
                row[static_cast<std::size_t>(g)] = 0;
            }
            touched.clear();
            if (progress && b % 64 == 0) progress->step(b, all);
        }
        offset = n;
        if (progress) progress->step(offset, all);
    }

    out.tree.shape.merges.reserve(static_cast<std::size_t>(std::max(n - 1, 0)));
    out.tree.levels.reserve(out.tree.shape.merges.capacity());
    std::vector<std::int32_t> root_of(static_cast<std::size_t>(k));
    std::vector<std::uint32_t> sizes(static_cast<std::size_t>(k));
    for (std::int32_t g = 0; g < k; ++g) {
        const std::vector<std::int32_t>& mem = members[static_cast<std::size_t>(g)];
        const auto s = static_cast<std::int32_t>(mem.size());
        sizes[static_cast<std::size_t>(g)] = static_cast<std::uint32_t>(s);
        LinkageSums sums(static_cast<std::size_t>(s) * static_cast<std::size_t>(s - 1) / 2);
        for (std::int32_t b = 2; b <= s; ++b) {
            const std::int32_t mb = mem[static_cast<std::size_t>(b - 1)];
            const std::size_t to = pair_index(1, b);
            for (std::int32_t a = 1; a < b; ++a)
                sums.set(to + static_cast<std::size_t>(a - 1),
                         cells[pair_index(mem[static_cast<std::size_t>(a - 1)], mb)]);
        }
        const Progress within = part();
        const AverageTree tree =
            link_groups(sums, std::vector<std::uint32_t>(mem.size(), 1), draws, progress ? &within : nullptr);
        root_of[static_cast<std::size_t>(g)] = append_tree(out.tree, tree, mem);
        offset += 2 * (std::int64_t{s} - 1);
    }
    const Progress across = part();
    const AverageTree tree = link_groups(between, sizes, draws, progress ? &across : nullptr);
    append_tree(out.tree, tree, root_of);

    out.order = out.tree.shape.leaf_order();
    for (const std::int32_t g : tree.shape.leaf_order())
        out.cluster_order.push_back(number_of_group[static_cast<std::size_t>(g - 1)]);
    if (progress) progress->step(all, all);
    return out;
}

}  // namespace

std::vector<std::int32_t> average_linkage_order(std::span<const std::uint32_t> cells, std::int64_t total,
                                                std::int32_t n_indivs, const Progress* progress) {
    return average_linkage(cells, total, n_indivs, progress).shape.leaf_order();
}

std::vector<std::int32_t> average_linkage_order(const PairCells& cells, std::int64_t total, std::int32_t n_indivs,
                                                const Progress* progress) {
    return average_linkage(cells, total, n_indivs, progress).shape.leaf_order();
}

EstimateOrder estimate_order(std::span<const std::uint32_t> cells, std::int64_t total, std::int32_t n_indivs,
                             const std::vector<std::int32_t>& cluster, const Progress* progress) {
    return order_of(cells, total, n_indivs, cluster, progress);
}

EstimateOrder estimate_order(const PairCells& cells, std::int64_t total, std::int32_t n_indivs,
                             const std::vector<std::int32_t>& cluster, const Progress* progress) {
    return cells.visit([&](auto span) { return order_of(span, total, n_indivs, cluster, progress); });
}
