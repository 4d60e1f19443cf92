#include "estimate/TreeCut.h"

#include <numeric>
#include <unordered_map>

namespace {

/// The cut of `tree` at `level`, merge s reaching it when level_of(s) >= level.
template <typename LevelOf>
std::vector<std::int32_t> cut_at(const TreeShape& tree, double level, LevelOf level_of) {
    const std::int32_t n = std::max(tree.n_indivs, 0);
    const auto steps = static_cast<std::int32_t>(tree.merges.size());
    // A node is taken whole when its own merge reaches the level or its parent is taken whole. Parents come
    // after their children, so one pass from the last merge down settles every node.
    std::vector<char> whole(static_cast<std::size_t>(n) + static_cast<std::size_t>(steps) + 1, 0);
    std::vector<std::int32_t> parent(static_cast<std::size_t>(n), 0);
    std::iota(parent.begin(), parent.end(), 0);
    auto find = [&](std::int32_t x) {
        while (parent[static_cast<std::size_t>(x)] != x)
            x = parent[static_cast<std::size_t>(x)] =
                parent[static_cast<std::size_t>(parent[static_cast<std::size_t>(x)])];
        return x;
    };
    // One leaf under each node stands for it.
    std::vector<std::int32_t> leaf(whole.size(), 0);
    for (std::int32_t i = 1; i <= n; ++i) leaf[static_cast<std::size_t>(i)] = i;
    for (std::int32_t s = 1; s <= steps; ++s)
        leaf[static_cast<std::size_t>(n + s)] =
            leaf[static_cast<std::size_t>(tree.merges[static_cast<std::size_t>(s - 1)].child1)];
    for (std::int32_t s = steps; s >= 1; --s) {
        const Merge& m = tree.merges[static_cast<std::size_t>(s - 1)];
        const auto id = static_cast<std::size_t>(n + s);
        if (level_of(s) >= level) whole[id] = 1;
        if (!whole[id]) continue;
        whole[static_cast<std::size_t>(m.child1)] = 1;
        whole[static_cast<std::size_t>(m.child2)] = 1;
        const std::int32_t a = find(leaf[static_cast<std::size_t>(m.child1)] - 1);
        const std::int32_t b = find(leaf[static_cast<std::size_t>(m.child2)] - 1);
        if (a != b) parent[static_cast<std::size_t>(std::max(a, b))] = std::min(a, b);
    }
    std::vector<std::int32_t> root(static_cast<std::size_t>(n));
    for (std::int32_t i = 0; i < n; ++i) root[static_cast<std::size_t>(i)] = find(i);
    return number_by_first_appearance(root);
}

}  // namespace

std::vector<std::int32_t> cut_tree(const TreeShape& tree, double level) {
    return cut_at(tree, level, [&tree](std::int32_t s) {
        return static_cast<double>(tree.merges[static_cast<std::size_t>(s - 1)].level);
    });
}

std::vector<std::int32_t> cut_tree(const AverageTree& tree, double level) {
    return cut_at(tree.shape, level, [&tree](std::int32_t s) {
        return s <= static_cast<std::int32_t>(tree.levels.size())
                   ? tree.levels[static_cast<std::size_t>(s - 1)]
                   : static_cast<double>(tree.shape.merges[static_cast<std::size_t>(s - 1)].level);
    });
}

std::vector<std::int32_t> number_by_first_appearance(const std::vector<std::int32_t>& cluster) {
    std::unordered_map<std::int32_t, std::int32_t> number;
    std::vector<std::int32_t> out;
    out.reserve(cluster.size());
    for (const std::int32_t c : cluster) {
        const auto [it, added] = number.try_emplace(c, static_cast<std::int32_t>(number.size()) + 1);
        out.push_back(it->second);
    }
    return out;
}
