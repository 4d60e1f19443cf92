#include "tree/TreeShape.h"

#include "tree/Forest.h"

#include <algorithm>
#include <cassert>

std::int32_t TreeShape::root() const {
    if (n_indivs < 1) return 0;
    return n_indivs + static_cast<std::int32_t>(merges.size());
}

std::vector<std::int32_t> TreeShape::members(std::int32_t id) const {
    std::vector<std::int32_t> out;
    std::vector<std::int32_t> stack{id};
    while (!stack.empty()) {
        const std::int32_t x = stack.back();
        stack.pop_back();
        if (x <= n_indivs) {
            out.push_back(x);
            continue;
        }
        const Merge& m = merges[static_cast<std::size_t>(x - n_indivs - 1)];
        stack.push_back(m.child1);
        stack.push_back(m.child2);
    }
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<std::int32_t> TreeShape::leaf_order() const {
    std::vector<std::int32_t> out;
    if (n_indivs < 1) return out;
    out.reserve(static_cast<std::size_t>(n_indivs));
    std::vector<std::int32_t> stack{root()};
    while (!stack.empty()) {
        const std::int32_t x = stack.back();
        stack.pop_back();
        if (x <= n_indivs) {
            out.push_back(x);
            continue;
        }
        const Merge& m = merges[static_cast<std::size_t>(x - n_indivs - 1)];
        stack.push_back(m.child2);  // child1 comes out first
        stack.push_back(m.child1);
    }
    return out;
}

TreeShape tree_shape(const Forest& forest) {
    TreeShape shape;
    shape.n_indivs = forest.n_indivs();
    const std::int32_t n = shape.n_indivs;
    shape.merges.reserve(static_cast<std::size_t>(std::max(n - 1, 0)));
    for (std::int32_t s = 1; s < n; ++s) {
        const Node& node = forest.get_accepted_node(n + s);
        assert(node.get_step() == s);
        shape.merges.push_back(Merge{node.get_child(1), node.get_child(2), node.get_prob_level()});
    }
    return shape;
}
